// The completion scripts in real shells: bash through its completion function with COMP_WORDS and
// COMP_CWORD, zsh through its completion system on a terminal, fish through complete -C. Each shell is
// a test of its own, skipped (and so reported) when the shell is not installed. With VARNOK_UNDER_TEST
// the installed varnok, helper and scripts are completed instead of the build tree's.
#include "varnok_run.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <set>
#include <sstream>

namespace {

using VarnokTest::Result;
using VarnokTest::RunProgram;

const std::string kData = SOURCE_DIR "/tests/data/completion";

// What a test completes: varnok, the three scripts, and the bundled examples' plugin directory.
struct Installation {
    std::string varnok;
    std::string bash;   // the bash script
    std::string zshDir; // the directory holding _varnok
    std::string fish;   // the fish script
    std::string examples;
    bool installed = false;
};

Installation UnderTest() {
    const char* installed = std::getenv("VARNOK_UNDER_TEST");
    if (installed == nullptr || *installed == '\0') {
        const std::string scripts = SOURCE_DIR "/tools/completion";
        return {VARNOK_BUILT, scripts + "/varnok.bash", scripts, scripts + "/varnok.fish",
                EXAMPLES_PLUGIN_DIR};
    }
    const std::string varnok = installed;
    const std::string share = varnok.substr(0, varnok.rfind("/bin/")) + "/share";
    const char* examples = std::getenv("VARNOK_EXAMPLES_DIR");
    return {varnok,
            share + "/bash-completion/completions/varnok",
            share + "/zsh/vendor-completions",
            share + "/fish/vendor_completions.d/varnok.fish",
            examples != nullptr ? examples : "",
            true};
}

std::string Shell(const std::string& name) {
    for (const std::string dir : {"/usr/bin/", "/bin/"}) {
        if (access((dir + name).c_str(), X_OK) == 0) {
            return dir + name;
        }
    }
    return "";
}

enum ShellKind { Bash, Zsh, Fish };

// The words offered for each line (cursor at its end), sorted, one a line, each up to its first tab
// (fish puts descriptions after one). Every shell completes all lines in one run and prints "==" after each:
// zsh in one session on one terminal, since starting it and its completion system is what takes the time.
std::vector<std::string> CompleteAll(ShellKind shell, const Installation& tree,
                                     const std::vector<std::string>& lines) {
    std::vector<std::string> args;
    if (shell == Zsh) {
        args = {"-f", kData + "/complete.zsh", tree.zshDir};
    } else if (shell == Bash) {
        args = {"-c",
                "for l in \"${@:2}\"; do bash --norc --noprofile \"$0\" \"$1\" \"$l\" || exit; echo ==; done",
                kData + "/complete.bash", tree.bash};
    } else {
        args = {"--no-config", "-c", "source $argv[1]; and for l in $argv[2..]; complete -C $l; echo ==; end",
                tree.fish};
    }
    args.insert(args.end(), lines.begin(), lines.end());
    const Result result = RunProgram(Shell(shell == Zsh ? "zsh" : shell == Bash ? "bash" : "fish"), args);
    EXPECT_EQ(0, result.status) << result.err;
    EXPECT_EQ("", result.err);
    std::vector<std::set<std::string>> offered(1);
    std::istringstream in(result.out);
    for (std::string line; std::getline(in, line);) {
        if (line == "==") {
            offered.emplace_back();
        } else if (!line.empty()) {
            offered.back().insert(line.substr(0, line.find('\t')));
        }
    }
    EXPECT_EQ(lines.size() + 1, offered.size()) << result.out;
    std::vector<std::string> words(lines.size());
    for (std::size_t i = 0; i < lines.size() && i < offered.size(); ++i) {
        for (const auto& word : offered[i]) {
            words[i] += word + "\n";
        }
    }
    return words;
}

// A plugin directory of the test's own, named with a blank, given on the line with --plugin-dir.
struct PluginDir {
    CorvaneTest::TempDir dir;
    std::string path;
    PluginDir() : path(dir.Path() + "/my plugins") {
        dir.WriteFile("my plugins/store.xml", CorvaneTest::ReadFile(kData + "/plugins/store.xml"));
        dir.WriteFile("my plugins/stock.txt", "");
        // Fails to load: what loading says about it must not reach the terminal.
        dir.WriteFile("my plugins/broken.xml", "<plugin>");
        dir.MakeDir("my plugins/stash");
    }
};

// Expected words per shell: bash offers only its own part of a word it split at "=", and names files
// in full (readline adds the slash of a directory); zsh's file completion offers path components, the
// directories on the way included, so for files the zsh words are the ones that must be among them.
struct Case {
    std::string line; // after "<varnok> --plugin-dir <examples> "; @ is the test's plugin directory
    std::string bash;
    std::string zsh;
    std::string fish;
    bool files = false;
};

// Whether every line of `some` is a line of `all` (both sorted).
bool Includes(const std::string& all, const std::string& some) {
    std::istringstream in(some);
    for (std::string line; std::getline(in, line);) {
        if (("\n" + all).find("\n" + line + "\n") == std::string::npos) {
            return false;
        }
    }
    return true;
}

// The helper's candidates are pinned by the completion tests; these are what each script makes of
// them: words split at "=", a quoted directory with a blank, files and directories. The first case is
// the smoke test of an installed copy.
const Case kCases[] = {
    {"--plugin-dir '@' store volume list --mode ", "fast\nsafe\n", "fast\nsafe\n", "fast\nsafe\n"},
    {"system process list --sort=r", "rss\n", "--sort=rss\n", "--sort=rss\n"},
    {"--plugin '@/st", "@/stash\n@/stock.txt\n@/store.xml\n", "stash\nstock.txt\nstore.xml\n",
     "@/stash/\n@/stock.txt\n@/store.xml\n", true},
    {"--input=/dev/nu", "/dev/null\n", "null\n", "--input=/dev/null\n", true},
};

std::string Replace(std::string text, const std::string& with) {
    for (std::size_t at; (at = text.find('@')) != std::string::npos;) {
        text.replace(at, 1, with);
    }
    return text;
}

// Every case against the build tree; the installed copy only has to find its scripts and helper.
void CompleteEveryCase(ShellKind shell, const char* name) {
    if (Shell(name).empty()) {
        GTEST_SKIP() << name << " is not installed: its completion was not tried";
    }
    const Installation tree = UnderTest();
    const PluginDir plugins;
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < (tree.installed ? 1 : std::size(kCases)); ++i) {
        lines.push_back(tree.varnok + " --plugin-dir " + tree.examples + " " +
                        Replace(kCases[i].line, plugins.path));
    }
    const std::vector<std::string> offered = CompleteAll(shell, tree, lines);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Case& c = kCases[i];
        const std::string& expected = shell == Bash ? c.bash : shell == Zsh ? c.zsh : c.fish;
        if (shell == Zsh && c.files) {
            EXPECT_TRUE(Includes(offered[i], expected)) << c.line << ":\n" << offered[i];
        } else {
            EXPECT_EQ(Replace(expected, plugins.path), offered[i]) << name << ": " << c.line;
        }
    }
}

TEST(CompletionShell, Bash) {
    CompleteEveryCase(Bash, "bash");
}

TEST(CompletionShell, Zsh) {
    CompleteEveryCase(Zsh, "zsh");
}

TEST(CompletionShell, Fish) {
    CompleteEveryCase(Fish, "fish");
}

} // namespace
