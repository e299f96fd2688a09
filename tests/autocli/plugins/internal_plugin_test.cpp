// Tests of InternalPlugin: the registration of the listing command.
#include <corvane/plugins.h>

#include "test_support.h"

using namespace Corvane::AutoCli;

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
