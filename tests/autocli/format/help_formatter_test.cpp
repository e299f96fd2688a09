// Tests of CommandHelpFormatter and CliDispatcherHelpFormatter on hand-built help structures.
#include "format_test_helpers.h"

#include <tuple>

// Help data as the command layer builds it: example texts already carry " :" and "# tool path".
static std::shared_ptr<MetaStruct> CommandHelp() {
    auto help =
        Struct("VarnokCommandHelp",
               {{"Dispatcher", "varnok"}, {"Path", "storage disk list"}, {"Description", "List the disks."}});
    std::shared_ptr<MetaList> params;
    for (const auto& [name, shortName, description, required, secret] :
         {std::tuple("device", "d", "The device to list.", true, false),
          std::tuple("help", "h", "Show the help message.", false, false),
          std::tuple("password", "", "The array password.", false, true)}) {
        auto param = Struct("VarnokCommandParameter",
                            {{"Name", name}, {"Short Name", shortName}, {"Description", description}});
        param->SetField("Required", required);
        param->SetField("Secret", secret);
        params = params ? params : MetaList::New(MetaType::Struct, param);
        params->Add(param);
    }
    help->SetField("Param List", params);
    auto example = Struct("VarnokCommandExample", {{"Description", "List one disk :"},
                                                   {"Syntax", "# varnok storage disk list --device d1"}});
    auto examples = MetaList::New(MetaType::Struct, example);
    examples->Add(example);
    help->SetField("Example List", examples);
    return help;
}

static std::shared_ptr<MetaStruct> Listing() {
    auto listing = Struct("VarnokCommandPrint", {{"Dispatcher", "varnok"}});
    listing->SetField("Path", std::vector<std::string>{"network", "ip"});
    std::shared_ptr<MetaList> nodes;
    // Commands between the namespaces: each section keeps only its own kind, in order.
    for (const auto& [name, description, type] :
         {std::tuple("addr", "Interface addresses.", "Namespace"),
          std::tuple("get", "Show one address of an interface in the system, with all of its flags.",
                     "Command"),
          std::tuple("list", "List addresses.", "Command"),
          std::tuple("route", "Routing tables.", "Namespace")}) {
        auto node = Struct("NamespaceNode", {{"Name", name}, {"Description", description}, {"Type", type}});
        nodes = nodes ? nodes : MetaList::New(MetaType::Struct, node);
        nodes->Add(node);
    }
    listing->SetField("NamespaceNodes", nodes);
    return listing;
}

const std::string kUsage = "Usage: varnok storage disk list <options>\n\nDescription: List the disks.\n\n";
const std::string kExamples = "\nExamples: \n\n    List one disk : :\n"
                              "# varnok storage disk list # varnok storage disk list --device d1        \n\n";

TEST(CommandHelpFormatterTest, ParametersSecretsAndExamples) {
    CommandHelpFormatter formatter;
    // Longest name 8: names padded to 11, descriptions at column 18, wrapped to 50 columns.
    EXPECT_EQ(kUsage +
                  "  -d|--device     The device to list. (required)\n"
                  "  -h|--help       Show the help message.\n"
                  "     --password   The array password. (secret)\n"
                  "                  WARNING: Providing secret \n"
                  "                  values on the command line is \n"
                  "                  insecure because it may be \n"
                  "                  logged or preserved in history \n"
                  "                  files. Instead, specify this \n"
                  "                  option with no value on the \n"
                  "                  command line, and enter the \n"
                  "                  value on the supplied prompt.\n" +
                  kExamples,
              Text(formatter, CommandHelp(), {}, 50));
    // No parameters or examples: only the usage and description blocks; missing strings read as empty.
    auto bare = MetaStruct::New("VarnokCommandHelp");
    bare->SetField("Description", 5);
    EXPECT_EQ("Usage:   <options>\n\nDescription: \n\n", Text(formatter, bare, {}, 80));

    EXPECT_THROW_MSG(Text(formatter, MetaStruct::New("VarnokCommandPrint")),
                     "Error: Unexpected type for output, formatter expected a struct with help information");
}

TEST(CliDispatcherHelpFormatterTest, ListsNamespacesAndCommands) {
    CliDispatcherHelpFormatter formatter;
    const std::string head =
        "Usage: varnok [disp options] network ip <namespaces> <command>\n\n"
        "For help please run varnok --help\n\nAvailable Namespaces: \n\n"
        "addr   Interface addresses.\nroute  Routing tables.\n\nAvailable Commands: \n\n";
    EXPECT_EQ(head +
                  "get   Show one address of an interface in the system, with \n      all of its flags.\n" +
                  "list  List addresses.\n\n",
              Text(formatter, Listing(), {}, 60));

    auto listing = MetaStruct::New("VarnokCommandPrint");
    listing->SetField("Path", std::vector<std::string>{});
    EXPECT_EQ("Usage: <Dispatcher> [disp options] <namespaces> <command>\n\n"
              "For help please run <Dispatcher> --help\n\n"
              "Available Namespaces: \n\nERROR, list is bad\nAvailable Commands: \n\nERROR, list is bad\n",
              Text(formatter, listing, {}, 80));

    EXPECT_THROW_MSG(Text(formatter, MetaStruct::New("VarnokCommandHelp")),
                     "Error: Unexpected type for help output, formatter expected a struct with help data");
}
