// varnok end to end with the descriptor cache: the same output with and without it, output and
// errors in their order when standard output is a pipe, and runs the cache cannot hurt (a file-size
// limit, another user's home, a cache file changed under a run, writers killed while writing).
#include "varnok_run.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using VarnokTest::Result;
using VarnokTest::RunProgram;
using VarnokTest::RunVarnok;

const std::string kPlugins = E2E_PLUGIN_DIR;
const std::string kBroken = std::string(E2E_DATA_DIR) + "/broken";
const std::string kExamples = EXAMPLES_PLUGIN_DIR;

class DescriptorCacheE2e : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_CACHE_HOME", home.Path().c_str(), 1); }
    void TearDown() override {
        ::unsetenv("XDG_CACHE_HOME");
        ::unsetenv("VARNOK_NO_CACHE");
    }
    CorvaneTest::TempDir home;
};

TEST_F(DescriptorCacheE2e, EveryRunPrintsWhatItPrintsWithoutTheCache) {
    std::vector<std::vector<std::string>> runs = {
        {"--plugin-dir", kPlugins},
        {"--plugin-dir", kPlugins, "--formatter", "json", "inventory", "disk", "get", "-n", "nvme0n1"},
        {"--plugin-dir", kPlugins, "inventory", "disk", "get", "--name", "nothere"},
        {"--plugin-dir", kPlugins, "inventory", "disk", "list", "-m", "-1"},
        {"--plugin-dir", kPlugins, "inventory", "secret", "check", "--help"},
        {"--plugin-dir", kPlugins, "--input", std::string(E2E_DATA_DIR) + "/commands.txt"},
        // Broken descriptors are never cached: their messages come on every run.
        {"--plugin-dir", kBroken, "hello", "say"},
        {"--plugin", kBroken + "/b-version.xml"},
    };
    if (EXAMPLES_BUILT) {
        runs.push_back({"--plugin-dir", kExamples, "system", "process", "list", "--help"});
        runs.push_back({"--plugin-dir", kExamples, "system", "network", "interface", "get", "--help"});
        runs.push_back({"--plugin-dir", kExamples, "text", "digest", "compute", "--value", "abc"});
        runs.push_back({"--plugin-dir", kExamples, "varnok", "command", "list", "-n", "system"});
    }
    for (const auto& args : runs) {
        const std::string line = ::testing::PrintToString(args);
        ::setenv("VARNOK_NO_CACHE", "1", 1);
        const Result fresh = RunVarnok(args);
        ::unsetenv("VARNOK_NO_CACHE");
        for (const char* run : {"filling the cache", "using it"}) {
            const Result cached = RunVarnok(args);
            EXPECT_EQ(fresh.out, cached.out) << run << " " << line;
            EXPECT_EQ(fresh.err, cached.err) << run << " " << line;
            EXPECT_EQ(fresh.status, cached.status) << run << " " << line;
        }
    }
}

TEST_F(DescriptorCacheE2e, OutputAndErrorsKeepTheirOrderOnAPipe) {
    // A batch whose commands print, fail and print: each command's output is out before the next
    // command's errors, although standard output is a pipe written in blocks.
    const CorvaneTest::TempDir dir;
    // Its program writes to standard error itself, past the dispatcher's streams.
    const std::string noisy = dir.WriteFile(
        "noisy.xml",
        R"(<p><version>1.0.0</version><namespaces><namespace path="noisy"><description>N.</description>
        </namespace></namespaces><commands><command path="noisy.say"><input-spec/><output-spec><string/></output-spec>
        <format-parameters><formatter>simple</formatter></format-parameters>
        <execute>echo warning &gt;&amp;2; echo '&lt;output&gt;&lt;string&gt;said&lt;/string&gt;&lt;/output&gt;'</execute>
        </command></commands></p>)");
    const std::vector<std::vector<std::string>> lines = {
        {"inventory", "disk", "get", "--name", "sda"},
        {"inventory", "disk", "get", "--name", "nothere"},
        {"inventory", "disk", "list"},
        {"noisy", "say"},
        {"inventory", "disk", "list", "-m", "-1"},
        {"noisy", "say"},
        {"--formatter", "json", "inventory", "disk", "get", "--name", "sdb"},
    };
    std::string batch;
    std::string expected;
    for (const auto& words : lines) {
        std::vector<std::string> args = {"--plugin-dir", kPlugins, "--plugin", noisy};
        args.insert(args.end(), words.begin(), words.end());
        const Result alone = RunVarnok(args);
        // A command prints either errors or output; in the batch its failing line is named first.
        if (alone.status != 0) {
            expected += "varnok: --input line " + std::to_string(&words - lines.data() + 1) + ":\n";
        }
        expected += alone.err + alone.out;
        for (const auto& word : words) {
            batch += word + " ";
        }
        batch += "\n";
    }
    const std::string input = dir.WriteFile("batch.txt", batch);
    const Result piped =
        RunProgram("/bin/sh", {"-c", "\"$0\" --plugin-dir \"$1\" --plugin \"$3\" --input \"$2\" 2>&1 | cat",
                               VarnokTest::VarnokBinary(), kPlugins, input, noisy});
    EXPECT_EQ(expected, piped.out) << batch;
    EXPECT_EQ(0, piped.status);
}

// A plugin directory of `files` descriptors, each with a description of `padding` bytes, so that
// its cache file is as large as a test needs.
std::string LargePlugins(const CorvaneTest::TempDir& dir, int files, std::size_t padding) {
    std::string plugins = dir.MakeDir("plugins");
    for (int i = 0; i < files; ++i) {
        const std::string ns = "big" + std::to_string(i);
        dir.WriteFile("plugins/" + ns + ".xml",
                      "<p><version>1.0.0</version><namespaces><namespace path=\"" + ns + "\"><description>" +
                          std::string(padding, 'd') + "</description></namespace></namespaces><commands>" +
                          "<command path=\"" + ns + ".say\"><description>Says " + ns +
                          ".</description><input-spec/><output-spec><string/></output-spec>"
                          "<format-parameters/><execute>echo</execute></command></commands></p>");
    }
    return plugins;
}

// The names in `directory`, "." and ".." left out, in byte-wise order.
std::vector<std::string> Entries(const std::string& directory) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(directory.c_str());
    while (const dirent* entry = dir != nullptr ? ::readdir(dir) : nullptr) {
        if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") {
            names.emplace_back(entry->d_name);
        }
    }
    if (dir != nullptr) {
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(DescriptorCacheE2e, AFileSizeLimitFailsTheCacheWriteNotTheRun) {
    const CorvaneTest::TempDir dir;
    const std::string plugins = LargePlugins(dir, 40, 4000); // a cache file of about 160 kB
    const std::vector<std::string> args = {"--plugin-dir", plugins, "varnok", "command", "list"};
    ::setenv("VARNOK_NO_CACHE", "1", 1);
    const Result fresh = RunVarnok(args);
    ::unsetenv("VARNOK_NO_CACHE");
    ASSERT_EQ(0, fresh.status);
    std::vector<std::string> limited = {"-c", "ulimit -f 64 && exec \"$0\" \"$@\"",
                                        VarnokTest::VarnokBinary()};
    limited.insert(limited.end(), args.begin(), args.end());
    const Result run = RunProgram("/bin/sh", limited);
    EXPECT_EQ(fresh.out, run.out);
    EXPECT_EQ("", run.err);
    EXPECT_EQ(0, run.status);
    // The file that could not be written whole is gone, temporary or not.
    EXPECT_EQ(std::vector<std::string>{}, Entries(home.Path() + "/varnok"));
    // Without the limit the cache is written and used as ever.
    EXPECT_EQ(fresh.out, RunVarnok(args).out);
    EXPECT_EQ(1u, Entries(home.Path() + "/varnok").size());
}

// Runs varnok as root with another user's home or cache directory: nothing is created or used there.
TEST_F(DescriptorCacheE2e, ACacheBaseOfAnotherUserIsNotUsed) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a directory to another user";
    }
    const std::vector<std::string> args = {"--plugin-dir", kPlugins, "inventory", "disk", "list"};
    ::setenv("VARNOK_NO_CACHE", "1", 1);
    const Result fresh = RunVarnok(args);
    ::unsetenv("VARNOK_NO_CACHE");
    constexpr uid_t kOther = 65534;
    const char* previous = std::getenv("HOME");
    const std::string ownHome = previous != nullptr ? previous : "";
    const struct {
        const char* what;
        bool xdg;            // the base is $XDG_CACHE_HOME, else $HOME/.cache
        bool baseExists;     // else only the directory that would hold it
        bool ownedByOther;   // the base, or the directory that would hold it
        const char* created; // what a run leaves below the home, relative to it
    } cases[] = {
        {"another user's home without .cache", false, false, true, ""},
        {"another user's .cache", false, true, true, ".cache"},
        {"another user's XDG_CACHE_HOME", true, true, true, "xdg"},
        {"a home of one's own without .cache", false, false, false, ".cache .cache/varnok"},
        {"an XDG_CACHE_HOME of one's own", true, true, false, "xdg xdg/varnok"},
    };
    for (const auto& c : cases) {
        const CorvaneTest::TempDir user;
        const std::string base = user.Path() + (c.xdg ? "/xdg" : "/.cache");
        if (c.baseExists) {
            ASSERT_EQ(0, ::mkdir(base.c_str(), 0755)) << c.what;
        }
        ASSERT_EQ(0, ::chmod(user.Path().c_str(), 0755)) << c.what;
        if (c.ownedByOther) {
            ASSERT_EQ(0, ::chown((c.baseExists ? base : user.Path()).c_str(), kOther, kOther)) << c.what;
        }
        ::setenv("HOME", user.Path().c_str(), 1);
        if (c.xdg) {
            ::setenv("XDG_CACHE_HOME", base.c_str(), 1);
        } else {
            ::unsetenv("XDG_CACHE_HOME");
        }
        for (const char* run : {"first", "second"}) {
            const Result cached = RunVarnok(args);
            EXPECT_EQ(fresh.out, cached.out) << c.what << " " << run;
            EXPECT_EQ(fresh.err, cached.err) << c.what << " " << run;
            EXPECT_EQ(fresh.status, cached.status) << c.what << " " << run;
        }
        std::string found;
        for (const std::string& top : Entries(user.Path())) {
            found += (found.empty() ? "" : " ") + top;
            for (const std::string& below : Entries(user.Path() + "/" + top)) {
                if (below.find(".desc") == std::string::npos) {
                    found += " " + top + "/" + below;
                }
            }
        }
        EXPECT_EQ(c.created, found) << c.what;
        if (std::string(c.created).find("/varnok") != std::string::npos) {
            EXPECT_EQ(1u, Entries(base + "/varnok").size()) << c.what; // the cache file
        }
    }
    if (previous != nullptr) {
        ::setenv("HOME", ownHome.c_str(), 1);
    } else {
        ::unsetenv("HOME");
    }
}

// A plugin whose command `cut.now` changes the cache files under the run with `change` (given the
// file as $1), and whose other commands, with those of `other.xml`, are used after it.
std::string ChangingPlugins(const CorvaneTest::TempDir& dir, const std::string& cacheDirectory,
                            std::string change) {
    for (std::size_t at = change.find('<'); at != std::string::npos; at = change.find('<', at)) {
        change.replace(at, 1, "&lt;");
    }
    std::string plugins = dir.MakeDir("plugins");
    dir.WriteFile(
        "plugins/cut.xml",
        R"(<p><version>1.0.0</version><namespaces><namespace path="cut"><description>C.</description>
        </namespace></namespaces><commands><command path="cut.now"><description>Changes the cache.</description>
        <input-spec/><output-spec><string/></output-spec><format-parameters><formatter>simple</formatter></format-parameters>
        <execute>for f in )" +
            cacheDirectory + R"(/varnok/*.desc; do [ -f "$f" ] &amp;&amp; sh -c ')" + change +
            R"(' - "$f"; done; echo '&lt;output&gt;&lt;string&gt;changed&lt;/string&gt;&lt;/output&gt;'</execute>
        </command></commands></p>)");
    dir.WriteFile(
        "plugins/other.xml",
        R"(<p><version>1.0.0</version><namespaces><namespace path="other"><description>O.</description>
        </namespace></namespaces><commands><command path="other.say"><description>Says it.</description>
        <input-spec><parameter name="word" shortname="w" type="string" required="true"><description>W.</description>
        </parameter></input-spec><output-spec><string/></output-spec><format-parameters><formatter>simple</formatter>
        </format-parameters><execute>echo "&lt;output&gt;&lt;string&gt;$val{word}&lt;/string&gt;&lt;/output&gt;"</execute>
        </command><command path="other.list"><description>Lists.</description><input-spec/>
        <output-spec><string/></output-spec><format-parameters/><execute>echo</execute></command></commands></p>)");
    return plugins;
}

TEST_F(DescriptorCacheE2e, ACacheFileChangedWhileABatchRunsNeitherCrashesNorMisleadsIt) {
    const struct {
        const char* what;
        const char* change;
    } cases[] = {
        {"emptied in place", ": > \"$1\""},
        {"cut in half in place", "truncate -s $(($(wc -c < \"$1\") / 2)) \"$1\""},
        {"overwritten with zeros in place",
         "dd if=/dev/zero of=\"$1\" bs=$(wc -c < \"$1\") count=1 conv=notrunc 2>/dev/null"},
    };
    for (const auto& c : cases) {
        const CorvaneTest::TempDir dir;
        const CorvaneTest::TempDir cache;
        ::setenv("XDG_CACHE_HOME", cache.Path().c_str(), 1);
        const std::string plugins = ChangingPlugins(dir, cache.Path(), c.change);
        // The change comes first; then a listing from the cache, and commands not built yet.
        const std::string input =
            dir.WriteFile("batch.txt", "cut now\nvarnok command list\nother say -w one\n"
                                       "other list --help\nother say -w two\n");
        const std::vector<std::string> args = {"--plugin-dir", plugins, "--input", input};
        ::setenv("VARNOK_NO_CACHE", "1", 1);
        const Result fresh = RunVarnok(args);
        ::unsetenv("VARNOK_NO_CACHE");
        ASSERT_EQ(0, fresh.status) << c.what << fresh.err;
        ASSERT_NE(std::string::npos, fresh.out.find("two")) << c.what;
        for (const char* run : {"filling the cache", "with the cache changed under it", "after that"}) {
            const Result cached = RunVarnok(args);
            EXPECT_EQ(fresh.out, cached.out) << c.what << ": " << run;
            EXPECT_EQ(fresh.err, cached.err) << c.what << ": " << run;
            EXPECT_EQ(fresh.status, cached.status) << c.what << ": " << run;
        }
    }
}

// Runs varnok until a run is killed while it writes its cache file, and returns the name of the
// temporary file it left behind, or "" when no attempt caught a writer at work.
std::string KillAWriter(const std::string& cacheDirectory, const std::vector<std::string>& args,
                        pid_t& writer) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        for (const std::string& name : Entries(cacheDirectory)) {
            ::unlink((cacheDirectory + "/" + name).c_str());
        }
        const int watch = ::inotify_init1(IN_CLOEXEC);
        if (watch < 0 || ::inotify_add_watch(watch, cacheDirectory.c_str(), IN_CREATE) < 0) {
            return "";
        }
        std::vector<std::string> words = args;
        std::vector<char*> argv{const_cast<char*>("varnok")};
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        const std::string binary = VarnokTest::VarnokBinary();
        writer = ::fork();
        if (writer == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::execv(binary.c_str(), argv.data());
            ::_exit(127);
        }
        // The first file made in the cache directory is the writer's temporary file.
        alignas(inotify_event) char events[4096];
        const ssize_t got = ::read(watch, events, sizeof events);
        ::kill(writer, SIGKILL);
        int status = 0;
        ::waitpid(writer, &status, 0);
        ::close(watch);
        if (got <= 0 || !WIFSIGNALED(status)) {
            continue;
        }
        for (const std::string& name : Entries(cacheDirectory)) {
            if (name.find(".desc.") != std::string::npos) {
                return name;
            }
        }
    }
    return "";
}

TEST_F(DescriptorCacheE2e, TheTemporaryFileOfAKilledWriterIsRemovedByALaterWriterOnceAbandoned) {
    const CorvaneTest::TempDir dir;
    const std::string plugins = LargePlugins(dir, 300, 20000); // a cache file of about 6 MB
    const std::vector<std::string> args = {"--plugin-dir", plugins, "varnok", "command", "list", "-c", "zzz"};
    const std::string cacheDirectory = home.MakeDir("varnok");
    ASSERT_EQ(0, ::chmod(cacheDirectory.c_str(), 0700));
    pid_t writer = 0;
    const std::string left = KillAWriter(cacheDirectory, args, writer);
    ASSERT_NE("", left) << "no writer was caught writing";
    // Its name tells whose it was.
    EXPECT_NE(std::string::npos, left.find(".desc." + std::to_string(writer) + ".")) << left;
    const std::string leftPath = cacheDirectory + "/" + left;
    // The file of a writer still running, however old, stays; so does a recent one.
    const std::string running =
        left.substr(0, left.find(".desc.")) + ".desc." + std::to_string(::getpid()) + ".Abc123";
    const std::string runningPath = dir.WriteFile("running", "partial");
    ASSERT_EQ(0, ::rename(runningPath.c_str(), (cacheDirectory + "/" + running).c_str()));
    const auto age = [&](const std::string& path) {
        struct timespec times[2] = {};
        ::clock_gettime(CLOCK_REALTIME, &times[0]);
        times[0].tv_sec -= static_cast<time_t>(11) * 60;
        times[1] = times[0];
        ASSERT_EQ(0, ::utimensat(AT_FDCWD, path.c_str(), times, 0)) << path;
    };
    age(cacheDirectory + "/" + running);
    Result next = RunVarnok(args); // writes the cache file: the killed writer's file is recent
    EXPECT_EQ(0, next.status);
    EXPECT_TRUE(VarnokTest::Exists(leftPath));
    EXPECT_TRUE(VarnokTest::Exists(cacheDirectory + "/" + running));
    age(leftPath);
    EXPECT_EQ(0, RunVarnok(args).status); // a warm run writes nothing, and removes nothing
    EXPECT_TRUE(VarnokTest::Exists(leftPath));
    // Once a writer comes, the abandoned file goes and the running writer's stays.
    for (const std::string& name : Entries(cacheDirectory)) {
        if (name.find(".desc.") == std::string::npos) {
            ::unlink((cacheDirectory + "/" + name).c_str());
        }
    }
    next = RunVarnok(args);
    EXPECT_EQ(0, next.status);
    EXPECT_EQ("", next.err);
    EXPECT_FALSE(VarnokTest::Exists(leftPath));
    EXPECT_TRUE(VarnokTest::Exists(cacheDirectory + "/" + running));
    EXPECT_EQ(2u, Entries(cacheDirectory).size()); // the new cache file and the running writer's
}

} // namespace
