// Tests of InternalPlugin: the built-in formatters and the registration of the listing command.
#include <corvane/plugins.h>

#include "test_support.h"

using namespace Corvane::AutoCli;

TEST(InternalPluginTest, InitializeCreatesTheSixFormattersInOrder) {
    auto plugin = InternalPlugin::New();
    plugin->Initialize();
    plugin->Initialize(); // appends a second set; lookups keep answering with the first
    const auto& all = plugin->GetFormatters();
    const char* names[] = {"table", "simple", "xml", "python", "json", "commandhelp"};
    ASSERT_EQ(12u, all.size());
    for (size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(names[i % 6], all[i]->GetName());
        EXPECT_TRUE(plugin->HasFormatter(names[i % 6]) && plugin->GetFormatter(names[i % 6]) == all[i % 6])
            << i;
    }
    // The namespace listing formatter belongs to the command-line front end; names match exactly.
    for (const char* absent : {"clihelp", "JSON", ""}) {
        EXPECT_TRUE(!plugin->HasFormatter(absent) && !plugin->GetFormatter(absent)) << absent;
    }
}

TEST(InternalPluginTest, RegistersTheListingCommandUnderVarnokCommand) {
    auto root = RootNamespace::New(nullptr);
    InternalPlugin::New()->RegisterNamespaces(root);
    auto varnok = root->GetNamespaceNode("varnok");
    auto list =
        std::dynamic_pointer_cast<CommandList>(varnok->GetNamespaceNode("command")->GetNamespaceNode("list"));
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(std::vector<std::string>{"varnok"}, root->GetNamespaceNodeNames());
    // The listing walks the root it was registered on, which holds only itself.
    auto input = CommandInput::New();
    input->SetInputSpec(list->GetInputSpec());
    auto output = CommandOutput::New();
    list->Execute(input, output);
    EXPECT_EQ("{'Command' => 'list', 'Description' => 'List all of the varnok commands.', 'Namespace' => "
              "'varnok.command', }",
              output->GetRootObject()->ToString());

    EXPECT_THROW_MSG(InternalPlugin::New()->RegisterNamespaces(root),
                     "Duplicate registration in namespace  attempt to register two objects with name varnok");
    EXPECT_EQ(varnok, root->GetNamespaceNode("varnok"));
}
