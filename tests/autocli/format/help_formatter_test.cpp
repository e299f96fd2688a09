// Tests of CommandHelpFormatter and CliDispatcherHelpFormatter on hand-built help structures.
#include <corvane/format.h>

#include <corvane/callspec.h>
#include <corvane/metaobj.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

using namespace Corvane::AutoCli;
using namespace Corvane::MetaObj;
using Corvane::CallSpec::Output;

namespace {

std::shared_ptr<MetaStruct> Parameter(const std::string& name, const std::string& shortName,
                                      const std::string& description, bool required, bool secret) {
    auto param = MetaStruct::New("VarnokCommandParameter");
    param->SetField("Name", name);
    param->SetField("Short Name", shortName);
    param->SetField("Description", description);
    param->SetField("Required", required);
    param->SetField("Secret", secret);
    return param;
}

std::shared_ptr<MetaStruct> Example(const std::string& description, const std::string& syntax) {
    auto example = MetaStruct::New("VarnokCommandExample");
    example->SetField("Description", description);
    example->SetField("Syntax", syntax);
    return example;
}

// The help data of a command as the command layer builds it: example texts already carry " :" and
// the "# tool path" prefix.
std::shared_ptr<MetaStruct> CommandHelp(bool withParams, bool withExamples) {
    auto help = MetaStruct::New("VarnokCommandHelp");
    help->SetField("Dispatcher", "varnok");
    help->SetField("Path", "storage disk list");
    help->SetField("Description", "List the disks.");
    auto params = MetaList::New(MetaType::Struct, Parameter("", "", "", false, false));
    if (withParams) {
        params->Add(Parameter("device", "d", "The device to list.", true, false));
        params->Add(Parameter("help", "h", "Show the help message.", false, false));
        params->Add(Parameter("password", "", "The array password.", true, true));
    }
    help->SetField("Param List", params);
    auto examples = MetaList::New(MetaType::Struct, Example("", ""));
    if (withExamples) {
        examples->Add(Example("List one disk :", "# varnok storage disk list --device d1"));
    }
    help->SetField("Example List", examples);
    return help;
}

std::shared_ptr<MetaStruct> Node(const std::string& name, const std::string& description,
                                 const std::string& type) {
    auto node = MetaStruct::New("NamespaceNode");
    node->SetField("Name", name);
    node->SetField("Description", description);
    node->SetField("Type", type);
    return node;
}

std::shared_ptr<MetaStruct> Listing(bool withCommands) {
    auto listing = MetaStruct::New("VarnokCommandPrint");
    listing->SetField("Dispatcher", "varnok");
    listing->SetField("Path", std::vector<std::string>{"network", "ip"});
    auto nodes = MetaList::New(MetaType::Struct, Node("", "", ""));
    nodes->Add(Node("addr", "Interface addresses.", "Namespace"));
    if (withCommands) {
        nodes->Add(Node(
            "get", "Show one address of an interface in the system, with all of its flags and lifetimes.",
            "Command"));
        nodes->Add(Node("list", "List addresses.", "Command"));
    }
    nodes->Add(Node("route", "Routing tables.", "Namespace"));
    listing->SetField("NamespaceNodes", nodes);
    return listing;
}

std::string Print(Formatter& formatter, const std::shared_ptr<MetaObject>& root, uint16_t width) {
    auto output = Output::New();
    output->SetRootObject(root);
    FormatParameters params;
    DisplayContext context;
    context.width = width;
    std::ostringstream out;
    EXPECT_TRUE(formatter.Format(output, params, context, out));
    return out.str();
}

} // namespace

TEST(CommandHelpFormatterTest, ParametersSecretsAndExamples) {
    CommandHelpFormatter formatter;
    EXPECT_EQ("commandhelp", formatter.GetName());
    EXPECT_EQ("Handle --help output for commands", formatter.GetDescription());
    EXPECT_TRUE(formatter.GetParams().empty());

    // Longest name 8: names padded to 11, descriptions at column 18, wrapped to 50 columns.
    EXPECT_EQ("Usage: varnok storage disk list <options>\n"
              "\n"
              "Description: List the disks.\n"
              "\n"
              "  -d|--device     The device to list. (required)\n"
              "  -h|--help       Show the help message.\n"
              "     --password   The array password. (required \n"
              "                  secret)\n"
              "                  WARNING: Providing secret \n"
              "                  values on the command line is \n"
              "                  insecure because it may be \n"
              "                  logged or preserved in history \n"
              "                  files. Instead, specify this \n"
              "                  option with no value on the \n"
              "                  command line, and enter the \n"
              "                  value on the supplied prompt.\n"
              "\n"
              "Examples: \n"
              "\n"
              "    List one disk : :\n"
              "# varnok storage disk list # varnok storage disk list --device d1        \n"
              "\n",
              Print(formatter, CommandHelp(true, true), 50));

    // Without a width nothing wraps; the warning still starts its own line at the description column.
    EXPECT_EQ(
        "Usage: varnok storage disk list <options>\n"
        "\n"
        "Description: List the disks.\n"
        "\n"
        "  -d|--device     The device to list. (required)\n"
        "  -h|--help       Show the help message.\n"
        "     --password   The array password. (required secret)\n"
        "                  WARNING: Providing secret values on the command line is insecure because it "
        "may be logged or preserved in history files. Instead, specify this option with no value on the "
        "command line, and enter the value on the supplied prompt.\n",
        Print(formatter, CommandHelp(true, false), 0));
}

TEST(CommandHelpFormatterTest, ParameterColumnsAndFlags) {
    auto help = MetaStruct::New("VarnokCommandHelp");
    help->SetField("Dispatcher", "tool");
    help->SetField("Path", "x");
    help->SetField("Description", "d");
    auto params = MetaList::New(MetaType::Struct, Parameter("", "", "", false, false));
    params->Add(Parameter("name", "n", "The name.", true, false));
    params->Add(Parameter("verbose", "", "Be verbose.", false, false));
    params->Add(Parameter("key", "k", "The key.", false, true));
    help->SetField("Param List", params);

    CommandHelpFormatter formatter;
    const std::string text = Print(formatter, help, 80);
    EXPECT_EQ("Usage: tool x <options>\n"
              "\n"
              "Description: d\n"
              "\n"
              "  -n|--name      The name. (required)\n"
              "     --verbose   Be verbose.\n"
              "  -k|--key       The key. (secret)\n"
              "                 WARNING: Providing secret values on the command line is \n"
              "                 insecure because it may be logged or preserved in history \n"
              "                 files. Instead, specify this option with no value on the \n"
              "                 command line, and enter the value on the supplied prompt.\n",
              text);

    // Without parameters and examples only the usage and description blocks remain; missing
    // strings read as empty.
    auto bare = MetaStruct::New("VarnokCommandHelp");
    bare->SetField("Description", 5);
    EXPECT_EQ("Usage:   <options>\n\nDescription: \n\n", Print(formatter, bare, 80));
    EXPECT_EQ("Usage: varnok storage disk list <options>\n\nDescription: List the disks.\n\n",
              Print(formatter, CommandHelp(false, false), 80));
}

TEST(CommandHelpFormatterTest, RejectsOtherRoots) {
    CommandHelpFormatter formatter;
    const char* message =
        "Error: Unexpected type for output, formatter expected a struct with help information";
    EXPECT_THROW_MSG(Print(formatter, MetaStruct::New("VarnokCommandPrint"), 80), message);
    EXPECT_THROW_MSG(Print(formatter, MetaList::New(MetaType::String), 80), message);
    EXPECT_THROW_MSG(Print(formatter, nullptr, 80), message);
}

TEST(CliDispatcherHelpFormatterTest, ListsNamespacesAndCommands) {
    CliDispatcherHelpFormatter formatter;
    EXPECT_EQ("clihelp", formatter.GetName());
    EXPECT_EQ("Format the --help output for all commands.", formatter.GetDescription());
    EXPECT_TRUE(formatter.GetParams().empty());

    EXPECT_EQ("Usage: varnok [disp options] network ip <namespaces> <command>\n"
              "\n"
              "For help please run varnok --help\n"
              "\n"
              "Available Namespaces: \n"
              "\n"
              "addr   Interface addresses.\n"
              "route  Routing tables.\n"
              "\n"
              "Available Commands: \n"
              "\n"
              "get   Show one address of an interface in the system, with \n"
              "      all of its flags and lifetimes.\n"
              "list  List addresses.\n"
              "\n",
              Print(formatter, Listing(true), 60));

    // No commands: the heading and an empty table still appear.
    EXPECT_EQ("Usage: varnok [disp options] network ip <namespaces> <command>\n"
              "\n"
              "For help please run varnok --help\n"
              "\n"
              "Available Namespaces: \n"
              "\n"
              "addr   Interface addresses.\n"
              "route  Routing tables.\n"
              "\n"
              "Available Commands: \n"
              "\n"
              "\n",
              Print(formatter, Listing(false), 0));
}

TEST(CliDispatcherHelpFormatterTest, MissingPartsAndStringHelpers) {
    CliDispatcherHelpFormatter formatter;
    auto listing = MetaStruct::New("VarnokCommandPrint");
    listing->SetField("Path", std::vector<std::string>{});
    EXPECT_EQ("Usage: <Dispatcher> [disp options] <namespaces> <command>\n"
              "\n"
              "For help please run <Dispatcher> --help\n"
              "\n"
              "Available Namespaces: \n"
              "\n"
              "ERROR, list is bad\n"
              "Available Commands: \n"
              "\n"
              "ERROR, list is bad\n",
              Print(formatter, listing, 80));

    const char* message =
        "Error: Unexpected type for help output, formatter expected a struct with help data";
    EXPECT_THROW_MSG(Print(formatter, MetaStruct::New("VarnokCommandHelp"), 80), message);
    EXPECT_THROW_MSG(Print(formatter, MetaList::New(MetaType::Struct, Node("", "", "")), 80), message);
    EXPECT_THROW_MSG(Print(formatter, nullptr, 80), message);

    auto node = Node("n", "d", "Command");
    node->SetField("Count", 3);
    std::string result = "old";
    EXPECT_TRUE(CliDispatcherHelpFormatter::ExtractString("Name", node, result));
    EXPECT_EQ("n", result);
    EXPECT_FALSE(CliDispatcherHelpFormatter::ExtractString("Count", node, result));
    EXPECT_EQ("<Count>", result);
    EXPECT_FALSE(CliDispatcherHelpFormatter::ExtractString("Nope", node, result));
    EXPECT_EQ("<Nope>", result);

    EXPECT_EQ("d", GetStringField(node, "Description"));
    EXPECT_EQ("", GetStringField(node, "Count"));
    EXPECT_EQ("", GetStringField(node, "Nope"));
    EXPECT_EQ("", GetStringField(nullptr, "Name"));

    // One section on its own, filtered by the node type.
    DisplayContext context;
    std::ostringstream out;
    formatter.HandleList("Command",
                         std::dynamic_pointer_cast<MetaList>(Listing(true)->GetField("NamespaceNodes")),
                         context, out);
    EXPECT_EQ("Available Commands: \n"
              "\n"
              "get   Show one address of an interface in the system, with all of its flags and lifetimes.\n"
              "list  List addresses.\n"
              "\n",
              out.str());
}
