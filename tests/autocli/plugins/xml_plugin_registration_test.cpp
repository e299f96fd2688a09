// Tests of XmlPlugin::RegisterNamespaces when entries share, change and come back to their parent path.
#include <corvane/dispatch.h>
#include <corvane/plugins.h>

#include "test_support.h"

#include <functional>

using namespace Corvane::AutoCli;

namespace {

const CorvaneTest::TempDir dir;

std::string NamespaceEntry(const std::string& path) {
    return R"(<namespace path=")" + path + R"("><description>D</description></namespace>)";
}

std::string CommandEntry(const std::string& path) {
    return R"(<command path=")" + path +
           R"("><input-spec/><output-spec/><format-parameters/><execute>x</execute></command>)";
}

std::shared_ptr<XmlPlugin> Load(const std::string& namespaces, const std::string& commands) {
    static int count = 0;
    auto plugin = XmlPlugin::New(dir.WriteFile("r" + std::to_string(++count) + ".xml",
                                               "<p><version>1.0.0</version><namespaces>" + namespaces +
                                                   "</namespaces><commands>" + commands + "</commands></p>"));
    plugin->Initialize();
    return plugin;
}

// The tree below a node: each child's name, its children in braces.
std::string Tree(NamespaceNode& node) {
    std::string text;
    for (const auto& child : node.GetNamespaceNodes()) {
        text += child->GetName() + (child->GetType() == CommandType ? "" : "{" + Tree(*child) + "}");
    }
    return text;
}

TEST(XmlPluginRegistrationTest, ParentsAreFoundAgainWheneverThePathBeforeTheLastWordChanges) {
    const std::string onCommand = "Unable to find a namespace or command with the name 'x' on the command "
                                  "'a run'. Commands cannot have sub-commands or sub-namespaces.";
    struct Row {
        std::string namespaces, commands, message, tree;
    };
    // clang-format off
    const Row rows[] = {
        // Back and forth between two parents, and a namespace registered between its children.
        {NamespaceEntry("a") + NamespaceEntry("a.b"), CommandEntry("a.b.c1") + CommandEntry("a.b.c2") + CommandEntry("a.c3") + CommandEntry("a.b.c4"),
         "", "a{b{c1c2c4}c3}"},
        {NamespaceEntry("a") + NamespaceEntry("a.b") + NamespaceEntry("a.b.d") + NamespaceEntry("a.e"), CommandEntry("a.b.d.c") + CommandEntry("a.e.c"),
         "", "a{b{d{c}}e{c}}"},
        // A trailing full stop ends no word: a.b. and a.c share the parent a.
        {NamespaceEntry("a") + NamespaceEntry("a.b.") + NamespaceEntry("a.c"), CommandEntry("a.b.x") + CommandEntry("a.c.y"),
         "", "a{b{x}c{y}}"},
        // Entries below a command of the same descriptor: the command answers, after what came before.
        {NamespaceEntry("a"), CommandEntry("a.run") + CommandEntry("a.run.x") + CommandEntry("a.run.y"), onCommand, "a{run}"},
        // An empty word in the middle names no node.
        {NamespaceEntry("a"), CommandEntry("a..b") + CommandEntry("a..c"),
         "Unable to find a command or namespace with the name '' in namespace a", "a{}"},
        {NamespaceEntry("a") + NamespaceEntry("a.b"), CommandEntry("a.b.c") + CommandEntry("z.y.x") + CommandEntry("a.b.d"),
         "Unable to find a command or namespace with the name 'z' in namespace ", "a{b{c}}"},
    };
    // clang-format on
    for (const Row& row : rows) {
        auto root = RootNamespace::New(nullptr);
        auto plugin = Load(row.namespaces, row.commands);
        std::string message;
        try {
            plugin->RegisterNamespaces(root);
        } catch (const Corvane::CorvaneException& e) {
            message = e.what();
        }
        EXPECT_EQ(row.message, message) << row.commands;
        EXPECT_EQ(row.tree, Tree(*root)) << row.commands;
    }
}

TEST(XmlPluginRegistrationTest, AnotherPluginsCommandOnThePathRefusesBeforeAnythingIsRegistered) {
    auto root = RootNamespace::New(nullptr);
    Load(NamespaceEntry("a"), CommandEntry("a.run"))->RegisterNamespaces(root);
    auto second = Load(NamespaceEntry("early") + NamespaceEntry("a"),
                       CommandEntry("a.other") + CommandEntry("a.run.x"));
    EXPECT_THROW_MSG(second->RegisterNamespaces(root),
                     "Unable to find a namespace or command with the name 'x' on the command 'a run'. "
                     "Commands cannot have sub-commands or sub-namespaces.");
    EXPECT_EQ("a{run}", Tree(*root));
}

TEST(XmlPluginRegistrationTest, PluginFileNamesNeedOneByteBeforeTheirSuffix) {
    // Any byte counts, a line feed included; a suffix followed by anything does not.
    CorvaneTest::TempDir names;
    names.WriteFile("\n.xml",
                    "<p><version>1.0.0</version><namespaces>" + NamespaceEntry("lf") + "</namespaces></p>");
    names.WriteFile(".xml",
                    "<p><version>1.0.0</version><namespaces>" + NamespaceEntry("bare") + "</namespaces></p>");
    names.WriteFile("t.xml\n", "not loaded");
    names.WriteFile("t.xmlx", "not loaded");
    names.WriteFile("t.so.1", "not loaded");
    Dispatcher dispatcher;
    const std::string err = CorvaneTest::CaptureFd(2, [&] { dispatcher.AddExternalDirectory(names.Path()); });
    EXPECT_EQ("", err);
    EXPECT_EQ((std::vector<std::string>{"Internal", names.Path() + "/\n.xml", names.Path() + "/.xml"}),
              dispatcher.GetPluginNames());
    EXPECT_EQ((std::vector<std::string>{"bare", "lf", "varnok"}),
              dispatcher.GetRootNamespace()->GetNamespaceNodeNames());
}

} // namespace
