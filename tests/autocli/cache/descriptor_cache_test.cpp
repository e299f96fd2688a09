// Tests of the descriptor cache: restored loads equal fresh ones, and every stale, foreign or damaged
// entry is noticed, ignored and rewritten.
#include <corvane/dispatch.h>
#include <corvane/plugins.h>

#include "autocli/test_hooks.h"
#include "test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>
#include <typeinfo>

using namespace Corvane::AutoCli;
using Corvane::CallSpec::Input;

namespace {

const std::string kCommand = R"(<command path="a.b"><description>Bee.</description>
  <input-spec><parameter name="num" shortname="n" type="int" required="true"><description>N.</description>
    <constraint type="range"><range min="1" max="9"/></constraint></parameter>
  <parameter name="sort" type="string" required="false"><description>S.</description>
    <constraint type="stringenum"><enum><enum-value value="x">ex</enum-value></enum></constraint></parameter>
  <context-supported>user</context-supported></input-spec>
  <output-spec><list type="structure"><structure typeName="R"><field name="F"><int/></field></structure></list></output-spec>
  <format-parameters><formatter>table</formatter><format-parameter name="fields:R">F</format-parameter>
    <format-parameter name="k">v</format-parameter></format-parameters>
  <execute>echo $val{num}</execute><stdin>in $val{sort}</stdin></command>)";

std::string Descriptor(const std::string& commands, const std::string& description = "Ay.") {
    return "<p><version>1.0.0</version><namespaces><namespace path=\"a\"><description>" + description +
           "</description></namespace></namespaces><commands>" + commands + "</commands></p>";
}

// The cache's own command class is internal to the library; its name is enough to recognise it.
bool IsRestored(const NamespaceNode& node) {
    return std::string(typeid(node).name()).find("CachedExtensionCommand") != std::string::npos;
}

// A load: the registrations as text (each command through its specifications, filled templates and
// defaults), or the message it failed with, and whether its commands came from the cache.
struct Load {
    std::string outcome;
    bool restored = false;
};

Load LoadOnce(const std::string& file) {
    Load load;
    try {
        auto plugin = XmlPlugin::New(file);
        plugin->Initialize();
        for (const auto& [path, node] : plugin->GetPendingRegistrations()) {
            load.outcome += path + ":" + node->GetDescription() + ";";
            auto command = std::dynamic_pointer_cast<ExtensionCommand>(node);
            if (!command) {
                continue;
            }
            load.restored = IsRestored(*command);
            auto input = Input::New();
            input->SetInputSpec(command->GetInputSpec());
            for (const auto& parameter : command->GetInputSpec()->GetParameters()) {
                load.outcome += " " + parameter->GetName() + "=" + parameter->GetDescription(false) +
                                (parameter->GetConstraint() ? parameter->GetConstraint()->ToString() : "");
            }
            const auto format = command->GetDefaultOutputFormatParameters();
            load.outcome += " " + format.GetFormatter() + "[";
            for (const auto& [key, value] : format.GetParameters()) {
                load.outcome.append(key).append("=").append(value).append(",");
            }
            const auto root = command->GetOutputSpec()->GetRootObject();
            load.outcome += "] " + (root ? root->ToString() : "-") + " " +
                            command->SubstituteInput(input, false) + "|" +
                            command->SubstituteInput(input, true) +
                            (command->GetInputSpec()->IsContextSupported("user") ? " user" : "") + ";";
        }
    } catch (const Corvane::CorvaneException& e) {
        load.outcome = e.what();
    }
    // What the end of a process does: later look-ups read the cache files afresh.
    DescriptorCache::WriteChanges();
    return load;
}

class DescriptorCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("XDG_CACHE_HOME", home.Path().c_str(), 1);
        ::unsetenv("VARNOK_NO_CACHE");
    }
    void TearDown() override { ::unsetenv("XDG_CACHE_HOME"); }

    // Writes a descriptor and lets the clock pass its change time: a file changed in the very tick
    // it is read is not cached, as a later change in that tick could not be told apart.
    std::string Write(const std::string& name, const std::string& content) {
        std::string file = plugins.WriteFile(name, content);
        Settle();
        return file;
    }
    static void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(30)); }

    // The one cache file: all descriptors of these tests are in one directory.
    std::string CacheFile() const {
        const std::string directory = home.Path() + "/varnok";
        std::string found;
        DIR* dir = ::opendir(directory.c_str());
        while (const dirent* entry = dir != nullptr ? ::readdir(dir) : nullptr) {
            if (std::string(entry->d_name).size() > 5 &&
                std::string(entry->d_name).find(".desc") != std::string::npos) {
                EXPECT_EQ("", found);
                found = directory + "/" + entry->d_name;
            }
        }
        if (dir != nullptr) {
            ::closedir(dir);
        }
        return found;
    }

    CorvaneTest::TempDir home;
    CorvaneTest::TempDir plugins;
};

TEST_F(DescriptorCacheTest, CacheDirectoryIsPrivateAndOnlyUsedWhenItIs) {
    const std::string file = Write("d.xml", Descriptor(kCommand));
    LoadOnce(file);
    const std::string directory = home.Path() + "/varnok";
    struct stat status {};
    ASSERT_EQ(0, ::stat(directory.c_str(), &status));
    EXPECT_EQ(0700u, status.st_mode & 0777u);
    ASSERT_TRUE(LoadOnce(file).restored);
    // A directory others may write is not used at all; switched off, the cache is not read either.
    ::chmod(directory.c_str(), 0770);
    EXPECT_FALSE(LoadOnce(file).restored);
    ::chmod(directory.c_str(), 0700);
    ::setenv("VARNOK_NO_CACHE", "1", 1);
    EXPECT_FALSE(LoadOnce(file).restored);
    ::unsetenv("VARNOK_NO_CACHE");
    EXPECT_TRUE(LoadOnce(file).restored);
}

TEST_F(DescriptorCacheTest, EditedTouchedReplacedAndDeletedFilesAreNoticed) {
    const std::string file = Write("d.xml", Descriptor(kCommand));
    const std::string before = LoadOnce(file).outcome;
    ASSERT_TRUE(LoadOnce(file).restored);
    const std::string same = Descriptor(kCommand, "Ax."); // same size, other text
    const struct {
        const char* change;
        std::function<void()> apply;
        std::string expected;
    } cases[] = {
        {"edited in place", [&] { std::ofstream(file) << same; }, LoadOnce(Write("x.xml", same)).outcome},
        {"touched", [&] { ::utimensat(AT_FDCWD, file.c_str(), nullptr, 0); }, ""},
        {"replaced by rename",
         [&] {
             plugins.WriteFile("new.xml", Descriptor(kCommand));
             ::rename((plugins.Path() + "/new.xml").c_str(), file.c_str());
         },
         ""},
        {"given back its old times",
         [&] {
             struct stat old {};
             ::stat(file.c_str(), &old);
             std::ofstream(file) << Descriptor(kCommand, "Az.");
             const timespec times[2] = {old.st_atim, old.st_mtim};
             ::utimensat(AT_FDCWD, file.c_str(), times, 0);
         },
         ""},
    };
    for (const auto& c : cases) {
        c.apply();
        Settle();
        const std::string expected =
            c.expected.empty() ? LoadOnce(Write("y.xml", CorvaneTest::ReadFile(file))).outcome : c.expected;
        const Load changed = LoadOnce(file);
        EXPECT_FALSE(changed.restored) << c.change;
        EXPECT_EQ(expected, changed.outcome) << c.change;
        const Load again = LoadOnce(file);
        EXPECT_TRUE(again.restored) << c.change;
        EXPECT_EQ(expected, again.outcome) << c.change;
    }
    EXPECT_NE(before, LoadOnce(file).outcome);
    ::unlink(file.c_str());
    EXPECT_EQ("Unable to handle XML Plugin " + file +
                  ".  There was an error while parsing: Unable to parse XML descriptor: " + file,
              LoadOnce(file).outcome);
}

TEST_F(DescriptorCacheTest, ForeignWritableAndDamagedEntriesAreIgnoredAndRewritten) {
    const std::string file = Write("d.xml", Descriptor(kCommand));
    const std::string expected = LoadOnce(file).outcome;
    ASSERT_TRUE(LoadOnce(file).restored);
    // An entry: its name, then the file's identity (seven 64-bit numbers), text offset and size.
    constexpr std::size_t kIdentityBytes = 7 * sizeof(std::uint64_t);
    const std::string cache = CacheFile();
    const std::string good = CorvaneTest::ReadFile(cache);
    const auto damage = [&](std::size_t at, const std::string& bytes, std::size_t keep) {
        return [=] {
            std::string text = good.substr(0, keep);
            text.replace(std::min(at, text.size()), bytes.size(), bytes);
            std::ofstream(cache, std::ios::binary | std::ios::trunc) << text;
        };
    };
    std::vector<std::pair<std::string, std::function<void()>>> cases = {
        {"writable by the group", [&] { ::chmod(cache.c_str(), 0620); }},
        {"writable by others", [&] { ::chmod(cache.c_str(), 0602); }},
        {"truncated in the header", damage(0, "", 12)},
        {"truncated in the index", damage(0, "", good.size() / 10)},
        {"truncated in the texts", damage(0, "", good.size() - 1)},
        {"another version", damage(good.find("cache 4"), "cache 3", good.size())},
        {"index end past the file", damage(8, std::string(8, '\x7f'), good.size())},
        {"entry text past the file",
         damage(good.find("d.xml") + 5 + kIdentityBytes, std::string(8, '\x7f'), good.size())},
        // Then, as one string, the plan (one top-level namespace, the registration at place 0), the
        // registrations as one string, and where the listed command's texts are.
        {"plan count too large",
         damage(good.find("d.xml") + 5 + kIdentityBytes + 20, "\xff\xff", good.size())},
        {"plan naming a command", damage(good.find("d.xml") + 5 + kIdentityBytes + 24, "\x01", good.size())},
        {"registration count too large",
         damage(good.find("d.xml") + 5 + kIdentityBytes + 32, "\xff\xff", good.size())},
        {"listed description past the registrations",
         damage(good.find("<p><version>") - 4, "\xff\xff", good.size())},
        {"a symbolic link", [&] {
             ::rename(cache.c_str(), (cache + ".real").c_str());
             ::symlink((cache + ".real").c_str(), cache.c_str());
         }}};
    if (::geteuid() == 0) {
        cases.emplace_back("owned by another user",
                           [&] { ASSERT_EQ(0, ::chown(cache.c_str(), 65534, 65534)); });
    }
    for (const auto& [what, apply] : cases) {
        apply();
        const Load ignored = LoadOnce(file);
        EXPECT_FALSE(ignored.restored) << what;
        EXPECT_EQ(expected, ignored.outcome) << what;
        const Load rewritten = LoadOnce(file);
        EXPECT_TRUE(rewritten.restored) << what;
        EXPECT_EQ(expected, rewritten.outcome) << what;
        struct stat status {};
        ASSERT_EQ(0, ::lstat(cache.c_str(), &status)) << what;
        EXPECT_TRUE(S_ISREG(status.st_mode)) << what;
        EXPECT_EQ(0600u, status.st_mode & 0777u) << what;
        EXPECT_EQ(::geteuid(), status.st_uid) << what;
    }
}

TEST_F(DescriptorCacheTest, RestoredCommandsReadTheKeptTextAndReleaseIt) {
    const std::string file = Write("d.xml", Descriptor(kCommand));
    const std::string expected = LoadOnce(file).outcome;
    const int fdsBefore = CorvaneTest::CountOpenFds();
    {
        auto plugin = XmlPlugin::New(file);
        plugin->Initialize();
        DescriptorCache::WriteChanges();
        // The descriptor and the cache file may both go: the command reads the text kept open.
        ::unlink(file.c_str());
        ::unlink(CacheFile().c_str());
        auto command =
            std::dynamic_pointer_cast<ExtensionCommand>(plugin->GetPendingRegistrations().at(1).second);
        ASSERT_TRUE(IsRestored(*command));
        EXPECT_EQ(3u, command->GetInputSpec()->GetParameters().size()); // num, sort and help
        EXPECT_EQ(fdsBefore + 1, CorvaneTest::CountOpenFds());
    }
    EXPECT_EQ(fdsBefore, CorvaneTest::CountOpenFds());
}

std::string Plugin(const std::string& namespaces, const std::string& commands) {
    return "<p><version>1.0.0</version><namespaces>" + namespaces + "</namespaces><commands>" + commands +
           "</commands></p>";
}
std::string Ns(const std::string& path, const std::string& description) {
    return "<namespace path=\"" + path + "\"><description>" + description + "</description></namespace>";
}
std::string Cmd(const std::string& path) {
    return "<command path=\"" + path + "\"><description>Does " + path +
           ".</description><input-spec/><output-spec><string/></output-spec><format-parameters/>"
           "<execute>echo</execute></command>";
}

// The tree below `node`: every node's path, kind and description, and whether its parent is `node`.
std::string DumpTree(const std::shared_ptr<NamespaceNode>& node) {
    std::string text;
    for (const auto& child : node->GetNamespaceNodes()) {
        text += child->GetPathString('.') + " " + std::to_string(child->GetType()) + " " +
                child->GetDescription() + (child->GetParent() == node ? "" : " (parent?)") + "\n" +
                DumpTree(child);
    }
    return text;
}

std::string Listed(Dispatcher& dispatcher, const std::string& filter, const std::string& value) {
    std::list<std::string> path = {"varnok", "command", "list"};
    auto listing = std::dynamic_pointer_cast<Command>(dispatcher.GetRootNamespace()->ResolveNode(path));
    auto input = CommandInput::New();
    if (!filter.empty()) {
        input->AddParameter(filter, value);
    }
    input->SetInputSpec(listing->GetInputSpec());
    auto output = CommandOutput::New();
    listing->Execute(input, output);
    std::string text;
    auto rows = std::dynamic_pointer_cast<Corvane::MetaObj::MetaList>(output->GetRootObject());
    for (const auto& row : rows->GetObjects()) {
        auto record = std::dynamic_pointer_cast<Corvane::MetaObj::MetaStruct>(row);
        text += record->GetField("Namespace")->ToString() + "|" + record->GetField("Command")->ToString() +
                "|" + record->GetField("Description")->ToString() + "\n";
    }
    return text;
}

bool IsDeferred(const std::shared_ptr<NamespaceNode>& node) {
    return std::string(typeid(*node).name()).find("RestoredNamespace") != std::string::npos;
}

// Runs `load` without the cache, filling it and using it, the cache files written after each run,
// expects the same outcome every time and returns it.
std::string SameEachWay(const std::function<std::string(const std::string& run)>& load) {
    std::string expected;
    for (const char* run : {"without the cache", "filling it", "using it"}) {
        if (std::string(run) == "without the cache") {
            ::setenv("VARNOK_NO_CACHE", "1", 1);
        } else {
            ::unsetenv("VARNOK_NO_CACHE");
        }
        const std::string outcome = load(run);
        if (expected.empty()) {
            expected = outcome;
        }
        EXPECT_EQ(expected, outcome) << run;
    }
    return expected;
}

// Top-level namespaces restored from the cache make their subtrees when first looked into: the
// listing, the tree and every refusal are those of a load without the cache, including where other
// descriptors share, extend or clash with a subtree not made yet.
TEST_F(DescriptorCacheTest, DeferredNamespacesGiveTheTreeOfARegistrationAtOnce) {
    // Commands out of name order, a namespace and a command told apart only by the full stop.
    plugins.WriteFile("a.xml",
                      Plugin(Ns("a", "Ay.") + Ns("a.y", "Why.") + Ns("a.y.deep", "Deep."),
                             Cmd("a.y.z") + Cmd("a.b") + Cmd("a.y.deep.q") + Cmd("a.y.a") + Cmd("a.y0")));
    plugins.WriteFile("b.xml", Plugin(Ns("a", "Ay."), Cmd("a.c")));                       // shares a
    plugins.WriteFile("c.xml", Plugin(Ns("a", "Ay."), Cmd("a.y.z")));                     // clashes below a
    plugins.WriteFile("d.xml", Plugin(Ns("t", "Tee."), Cmd("t.run") + Cmd("t.run.sub"))); // fails alone
    plugins.WriteFile("e.xml", Plugin(Ns("e", "Ee."), Cmd("top") + Cmd("e.x"))); // a top-level command
    plugins.WriteFile("f.xml", Plugin(Ns("f", "Ef.") + Ns("f", "Ef."), Cmd("f.x")));
    plugins.WriteFile("g.xml", Plugin(Ns("a", "Other."), Cmd("a.g"))); // another description
    plugins.WriteFile("h.xml", Plugin(Ns("h", "Aitch."), Cmd("h.x")));
    plugins.WriteFile("i.xml", Plugin(Ns("i", "Eye."), Cmd("h.w"))); // into h from outside
    // Two top-level namespaces, each with its own listing; looking into one makes both.
    plugins.WriteFile("j.xml", Plugin(Ns("jb", "Jb.") + Ns("ja", "Ja.") + Ns("ja.in", "In."),
                                      Cmd("jb.z") + Cmd("ja.in.y") + Cmd("jb.a") + Cmd("ja.x")));
    Settle();
    const std::vector<std::pair<std::string, std::string>> filters = {
        {"", ""}, {"namespace-filter", "a.y"}, {"command-filter", "x"}, {"description-filter", "a.y."}};
    const std::string expected = SameEachWay([&](const std::string& run) {
        std::string outcome;
        {
            Dispatcher dispatcher;
            outcome = CorvaneTest::CaptureFd(2, [&] { dispatcher.AddExternalDirectory(plugins.Path()); });
            const auto root = dispatcher.GetRootNamespace();
            if (run == "using it") {
                EXPECT_TRUE(IsDeferred(root->GetNamespaceNode("f")));
                EXPECT_TRUE(IsDeferred(root->GetNamespaceNode("ja")));
                EXPECT_FALSE(IsDeferred(root->GetNamespaceNode("e")));
            }
            // Listed before anything else looks into the tree.
            for (const auto& [filter, value] : filters) {
                outcome += Listed(dispatcher, filter, value) + "--\n";
            }
            outcome += DumpTree(root);
        }
        DescriptorCache::WriteChanges();
        return outcome;
    });
    EXPECT_NE(std::string::npos, expected.find("a.y.deep|q|Does a.y.deep.q.\na.y|z|Does a.y.z.\na|y0|"));
    EXPECT_NE(std::string::npos, expected.find("Varnok path is already registered: a.y.z"));
    EXPECT_NE(std::string::npos, expected.find("h.w 2 Does h.w."));
    EXPECT_NE(std::string::npos,
              expected.find("ja.in|y|Does ja.in.y.\nja|x|Does ja.x.\njb|a|Does jb.a.\njb|z|"));
    // A restored plugin's registrations are the nodes the tree holds, all in place: every deferred
    // namespace has made its subtree before they are given out.
    for (const char* file : {"a.xml", "j.xml"}) {
        Dispatcher dispatcher;
        auto plugin = XmlPlugin::New(plugins.Path() + "/" + file);
        plugin->Initialize();
        plugin->RegisterNamespaces(dispatcher.GetRootNamespace());
        const auto top = dispatcher.GetRootNamespace()->GetNamespaceNodes().front();
        ASSERT_TRUE(IsDeferred(top)) << file;
        for (const auto& [path, node] : plugin->GetPendingRegistrations()) {
            std::list<std::string> words;
            for (std::size_t start = 0, dot = 0; dot != std::string::npos; start = dot + 1) {
                dot = path.find('.', start);
                words.push_back(path.substr(start, dot - start));
            }
            EXPECT_EQ(node, dispatcher.GetRootNamespace()->ResolveNode(words)) << path;
        }
    }
}

// The names of a plugin directory are kept with it: files added, removed or renamed since are
// noticed, however soon after the listing was kept.
TEST_F(DescriptorCacheTest, APluginDirectoryListingIsReadAgainOnceTheDirectoryChanged) {
    const auto top = [&](const std::string& name) { return Plugin(Ns(name, "N."), Cmd(name + ".run")); };
    const auto loaded = [&] {
        Dispatcher dispatcher;
        const std::string err =
            CorvaneTest::CaptureFd(2, [&] { dispatcher.AddExternalDirectory(plugins.Path()); });
        std::string names;
        for (const auto& name : dispatcher.GetRootNamespace()->GetNamespaceNodeNames()) {
            names += name + " ";
        }
        DescriptorCache::WriteChanges();
        return err + names;
    };
    plugins.WriteFile("a.xml", top("alpha"));
    plugins.WriteFile("b.xml", top("beta"));
    Settle();
    EXPECT_EQ("alpha beta varnok ", loaded());
    EXPECT_EQ("alpha beta varnok ", loaded()); // from the kept listing
    plugins.WriteFile("c.xml", top("gamma"));
    EXPECT_EQ("alpha beta gamma varnok ", loaded());
    ::unlink((plugins.Path() + "/a.xml").c_str());
    EXPECT_EQ("beta gamma varnok ", loaded());
    ::rename((plugins.Path() + "/b.xml").c_str(), (plugins.Path() + "/d.txt").c_str());
    EXPECT_EQ("gamma varnok ", loaded());
    Settle();
    EXPECT_EQ("gamma varnok ", loaded());
    plugins.MakeDir("e.xml");
    EXPECT_EQ("Error loading plugin " + plugins.Path() +
                  "/e.xml skipping.  Error was: Unable to handle XML Plugin " + plugins.Path() +
                  "/e.xml.  There was an error while parsing: Unable to parse XML descriptor: " +
                  plugins.Path() + "/e.xml\ngamma varnok ",
              loaded());
}

// A directory large enough for its restored objects to be made in blocks of their own: the same
// tree as without the cache, usable after the directory is loaded, and every block given back with
// the dispatcher.
TEST_F(DescriptorCacheTest, ALargeDirectoryRestoresAsASmallOneDoesAndReleasesItsMemory) {
    for (int i = 0; i < 1100; ++i) {
        const std::string name = "n" + std::to_string(i);
        plugins.WriteFile(name + ".xml", Plugin(Ns(name, "N.") + Ns(name + ".sub", "S."),
                                                Cmd(name + ".sub.x") + Cmd(name + ".run")));
    }
    Settle();
    const auto mappings = [] {
        std::ifstream maps("/proc/self/maps");
        return std::count(std::istreambuf_iterator<char>(maps), std::istreambuf_iterator<char>(), '\n');
    };
    const std::string expected = SameEachWay([&]([[maybe_unused]] const std::string& run) {
        [[maybe_unused]] const auto before = mappings();
        std::string outcome;
        {
            Dispatcher dispatcher;
            outcome = CorvaneTest::CaptureFd(2, [&] { dispatcher.AddExternalDirectory(plugins.Path()); });
            outcome += Listed(dispatcher, "command-filter", "x").substr(0, 200);
            std::list<std::string> path = {"n777", "sub", "x"};
            outcome += dispatcher.GetRootNamespace()->ResolveNode(path)->GetPathString('.');
            outcome += std::to_string(DumpTree(dispatcher.GetRootNamespace()).size());
        }
        DescriptorCache::WriteChanges();
        // By the last run the libraries read on first use are loaded. The sanitizers' allocator maps
        // memory of its own, and no arena is used under it.
#if !defined(__SANITIZE_ADDRESS__)
        if (run == "using it") {
            EXPECT_EQ(before, mappings());
        }
#endif
        return outcome;
    });
    EXPECT_EQ(0u, expected.find("n0.sub|x|Does n0.sub.x.\nn1.sub|x|")) << expected;
}

// An entry changed behind the cache's back so that its subtree cannot be registered: building it
// fails with a message, and nothing it made is left holding itself once the tree goes.
TEST_F(DescriptorCacheTest, AnEntryWhoseSubtreeCannotBeBuiltFailsAndLeavesNothingBehind) {
    Write("d.xml", Plugin(Ns("zeta", "Z.") + Ns("alpha", "A."), Cmd("zeta.run") + Cmd("alpha.get")));
    LoadOnce(plugins.Path() + "/d.xml"); // fills the cache
    std::string cache = CorvaneTest::ReadFile(CacheFile());
    const std::size_t at = cache.find("zeta.run"); // in the index, before the kept text
    ASSERT_LT(at, cache.find("<p>"));
    cache.replace(at, 8, "zeta.r!n");
    std::ofstream(CacheFile(), std::ios::binary | std::ios::trunc) << cache;

    std::weak_ptr<NamespaceNode> zeta;
    std::weak_ptr<NamespaceNode> alpha;
    {
        Dispatcher dispatcher;
        EXPECT_EQ("", CorvaneTest::CaptureFd(2, [&] { dispatcher.AddExternalDirectory(plugins.Path()); }));
        zeta = dispatcher.GetRootNamespace()->GetNamespaceNode("zeta");
        alpha = dispatcher.GetRootNamespace()->GetNamespaceNode("alpha");
        ASSERT_TRUE(IsDeferred(zeta.lock()));
        try {
            zeta.lock()->GetNamespaceNodes();
            ADD_FAILURE() << "the subtree was built";
        } catch (const Corvane::CorvaneException& e) {
            EXPECT_NE(std::string::npos, std::string(e.what()).find("Invalid name for namespace 'r!n'"))
                << e.what();
        }
    }
    DescriptorCache::WriteChanges();
    EXPECT_TRUE(zeta.expired());
    EXPECT_TRUE(alpha.expired());
}

std::atomic<int> sizeLimitSignals{0};
void CountSizeLimitSignal(int) {
    ++sizeLimitSignals;
}

// Writing a cache file past the file-size limit: the write fails without the signal reaching the
// process, the signal's own handling is back afterwards, and nothing is left in the cache directory.
TEST_F(DescriptorCacheTest, AWritePastTheFileSizeLimitFailsQuietlyAndLeavesTheSignalAsItWas) {
    const std::string file = Write("d.xml", Descriptor(kCommand, std::string(8192, 'd')));
    struct sigaction counting {};
    counting.sa_handler = CountSizeLimitSignal;
    sigemptyset(&counting.sa_mask);
    struct sigaction before {};
    ASSERT_EQ(0, ::sigaction(SIGXFSZ, &counting, &before));
    rlimit limit{};
    ASSERT_EQ(0, ::getrlimit(RLIMIT_FSIZE, &limit));
    const rlimit unlimited = limit;
    limit.rlim_cur = 4096;
    ASSERT_EQ(0, ::setrlimit(RLIMIT_FSIZE, &limit));
    const std::string expected = LoadOnce(file).outcome; // fills the cache, which cannot be written
    ASSERT_EQ(0, ::setrlimit(RLIMIT_FSIZE, &unlimited));
    struct sigaction after {};
    ASSERT_EQ(0, ::sigaction(SIGXFSZ, &before, &after));
    EXPECT_EQ(0, sizeLimitSignals.load());
    EXPECT_EQ(reinterpret_cast<void*>(&CountSizeLimitSignal), reinterpret_cast<void*>(after.sa_handler));
    EXPECT_EQ("", CacheFile());
    DIR* dir = ::opendir((home.Path() + "/varnok").c_str());
    ASSERT_NE(nullptr, dir);
    int names = 0;
    while (::readdir(dir) != nullptr) {
        ++names;
    }
    ::closedir(dir);
    EXPECT_EQ(2, names); // "." and ".."
    // Without the limit the entry is written and used.
    EXPECT_FALSE(LoadOnce(file).restored);
    const Load restored = LoadOnce(file);
    EXPECT_TRUE(restored.restored);
    EXPECT_EQ(expected, restored.outcome);
}

} // namespace
