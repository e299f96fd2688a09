// Tests of XmlPlugin::RegisterNamespaces when entries change and come back to their parent path.
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
        // Entries below a command of the same descriptor: the command answers, after what came before.
        {NamespaceEntry("a"), CommandEntry("a.run") + CommandEntry("a.run.x") + CommandEntry("a.run.y"), onCommand, "a{run}"},
        // A failure after entries of the descriptor were registered keeps them.
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

} // namespace
