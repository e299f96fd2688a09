// Tests of CommandHelpFormatter and CliDispatcherHelpFormatter on incomplete and wrong help structures;
// whole help pages are compared by the varnok end-to-end tests.
#include "format_test_helpers.h"

TEST(CommandHelpFormatterTest, MissingPartsAndWrongRoot) {
    CommandHelpFormatter formatter;
    // No parameters or examples: only the usage and description blocks; missing strings read as empty.
    auto bare = MetaStruct::New("VarnokCommandHelp");
    bare->SetField("Description", 5);
    EXPECT_EQ("Usage:   <options>\n\nDescription: \n\n", Text(formatter, bare, {}, 80));

    EXPECT_THROW_MSG(Text(formatter, MetaStruct::New("VarnokCommandPrint")),
                     "Error: Unexpected type for output, formatter expected a struct with help information");
}

TEST(CliDispatcherHelpFormatterTest, MissingListsAndWrongRoot) {
    CliDispatcherHelpFormatter formatter;
    auto listing = MetaStruct::New("VarnokCommandPrint");
    listing->SetField("Path", std::vector<std::string>{});
    EXPECT_EQ("Usage: <Dispatcher> [disp options] <namespaces> <command>\n\n"
              "For help please run <Dispatcher> --help\n\n"
              "Available Namespaces: \n\nERROR, list is bad\nAvailable Commands: \n\nERROR, list is bad\n",
              Text(formatter, listing, {}, 80));

    EXPECT_THROW_MSG(Text(formatter, MetaStruct::New("VarnokCommandHelp")),
                     "Error: Unexpected type for help output, formatter expected a struct with help data");
}
