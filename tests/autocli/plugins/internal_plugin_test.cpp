// Tests of InternalPlugin: the built-in formatters and the registration of the listing command.
#include <corvane/plugins.h>

#include "test_support.h"

#include <memory>
#include <string>
#include <vector>

using namespace Corvane::AutoCli;

namespace {

std::vector<std::string> FormatterNames(const std::vector<std::shared_ptr<Formatter>>& formatters) {
    std::vector<std::string> names;
    names.reserve(formatters.size());
    for (const auto& formatter : formatters) {
        names.push_back(formatter->GetName());
    }
    return names;
}

} // namespace

TEST(InternalPluginTest, InitializeCreatesTheSixFormattersInOrder) {
    auto plugin = InternalPlugin::New();
    EXPECT_EQ("Internal", plugin->GetName());
    EXPECT_EQ(&plugin->GetName(), &InternalPlugin::New()->GetName());
    EXPECT_TRUE(plugin->GetFormatters().empty());
    EXPECT_FALSE(plugin->HasFormatter("table"));

    plugin->Initialize();
    const auto& formatters = plugin->GetFormatters();
    ASSERT_EQ((std::vector<std::string>{"table", "simple", "xml", "python", "json", "commandhelp"}),
              FormatterNames(formatters));
    EXPECT_NE(nullptr, std::dynamic_pointer_cast<TableFormatter>(formatters[0]));
    EXPECT_NE(nullptr, std::dynamic_pointer_cast<SimpleFormatter>(formatters[1]));
    EXPECT_NE(nullptr, std::dynamic_pointer_cast<XmlFormatter>(formatters[2]));
    EXPECT_NE(nullptr, std::dynamic_pointer_cast<PythonFormatter>(formatters[3]));
    EXPECT_NE(nullptr, std::dynamic_pointer_cast<JsonFormatter>(formatters[4]));
    EXPECT_NE(nullptr, std::dynamic_pointer_cast<CommandHelpFormatter>(formatters[5]));

    for (const auto& formatter : formatters) {
        EXPECT_TRUE(plugin->HasFormatter(formatter->GetName()));
        EXPECT_EQ(formatter, plugin->GetFormatter(formatter->GetName()));
    }
    // The namespace listing formatter belongs to the command-line front end; names match exactly.
    EXPECT_FALSE(plugin->HasFormatter("clihelp"));
    EXPECT_FALSE(plugin->HasFormatter("JSON"));
    EXPECT_FALSE(plugin->HasFormatter(""));
    EXPECT_EQ(nullptr, plugin->GetFormatter("clihelp"));
    EXPECT_EQ(nullptr, plugin->GetFormatter("yaml"));

    // A second Initialize appends a second set; lookups keep answering with the first.
    auto first = plugin->GetFormatter("json");
    plugin->Initialize();
    ASSERT_EQ(12u, plugin->GetFormatters().size());
    EXPECT_EQ("commandhelp", plugin->GetFormatters()[11]->GetName());
    EXPECT_EQ(first, plugin->GetFormatter("json"));
    EXPECT_NE(first, plugin->GetFormatters()[10]);
}

TEST(InternalPluginTest, RegistersTheListingCommandUnderVarnokCommand) {
    auto root = RootNamespace::New(nullptr);
    auto plugin = InternalPlugin::New();
    plugin->RegisterNamespaces(root);

    EXPECT_EQ(std::vector<std::string>{"varnok"}, root->GetNamespaceNodeNames());
    auto varnok = root->GetNamespaceNode("varnok");
    EXPECT_EQ(NamespaceType, varnok->GetType());
    EXPECT_EQ(
        "Commands that operate on the varnok system itself allowing users to get additional information.",
        varnok->GetDescription());
    EXPECT_EQ(std::vector<std::string>{"command"}, varnok->GetNamespaceNodeNames());
    auto command = varnok->GetNamespaceNode("command");
    EXPECT_EQ(NamespaceType, command->GetType());
    EXPECT_EQ("Operations to get information about commands.", command->GetDescription());
    EXPECT_EQ(std::vector<std::string>{"list"}, command->GetNamespaceNodeNames());
    auto list = std::dynamic_pointer_cast<CommandList>(command->GetNamespaceNode("list"));
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(CommandType, list->GetType());
    EXPECT_EQ("varnok command list", list->GetPathString(' '));

    // The listing walks the root it was registered on.
    auto input = CommandInput::New();
    input->SetInputSpec(list->GetInputSpec());
    auto output = CommandOutput::New();
    list->Execute(input, output);
    ASSERT_FALSE(output->HasError());
    auto listed = std::dynamic_pointer_cast<Corvane::MetaObj::MetaList>(output->GetRootObject());
    ASSERT_NE(nullptr, listed);
    ASSERT_EQ(1u, listed->GetCount());
    auto entry = std::dynamic_pointer_cast<Corvane::MetaObj::MetaStruct>(listed->GetItem(0));
    EXPECT_EQ("varnok.command", GetStringField(entry, "Namespace"));
    EXPECT_EQ("list", GetStringField(entry, "Command"));
    EXPECT_EQ("List all of the varnok commands.", GetStringField(entry, "Description"));

    // A second internal plugin on the same root is refused and changes nothing.
    EXPECT_THROW_MSG(InternalPlugin::New()->RegisterNamespaces(root),
                     "Duplicate registration in namespace  attempt to register two objects with name varnok");
    EXPECT_EQ(varnok, root->GetNamespaceNode("varnok"));
    EXPECT_EQ(std::vector<std::string>{"varnok"}, root->GetNamespaceNodeNames());
}
