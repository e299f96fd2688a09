// Tests of the command listing: order, filters and the shape of its result.
#include <corvane/tree.h>

#include "test_support.h"
#include "tree_test_commands.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace Corvane::AutoCli;
using namespace Corvane::MetaObj;
using Corvane::CallSpec::Output;
using TreeTest::TestCommand;

namespace {

// root: empty -> deeper (no commands); status; storage -> alpha, disk -> (list -> all), show; zed;
// varnok -> command -> list (the listing itself).
struct ListedTree {
    ListedTree() {
        root->SubNamespace("empty")->SubNamespace("deeper");
        root->RegisterNamespaceNode(TestCommand::New("Show the system status."), "status");
        auto storage = root->SubNamespace("storage");
        storage->RegisterNamespaceNode(TestCommand::New("Last storage command."), "zed");
        storage->RegisterNamespaceNode(TestCommand::New("First storage command."), "alpha");
        auto disk = storage->SubNamespace("disk");
        disk->RegisterNamespaceNode(TestCommand::New("Show one Disk."), "show");
        disk->SubNamespace("list")->RegisterNamespaceNode(TestCommand::New("List all disks."), "all");
        root->SubNamespace("varnok")->SubNamespace("command")->RegisterNamespaceNode(list, "list");
    }

    // Runs the listing through Execute with the given filters and returns one "namespace|command|
    // description" line per row.
    std::vector<std::string> Run(const std::map<std::string, std::string>& filters) {
        auto input = CommandInput::New();
        input->SetCommandPath({"varnok", "command", "list"});
        for (const auto& filter : filters) {
            input->AddParameter(filter.first, filter.second);
        }
        input->SetInputSpec(list->GetInputSpec());
        auto output = CommandOutput::New();
        list->Execute(input, output);
        EXPECT_EQ(output->GetErrors(), std::vector<std::string>());
        auto rows = std::dynamic_pointer_cast<MetaList>(output->GetRootObject());
        std::vector<std::string> lines;
        if (!rows) {
            ADD_FAILURE() << "no list result";
            return lines;
        }
        for (const auto& row : rows->GetObjects()) {
            auto element = std::dynamic_pointer_cast<MetaStruct>(row);
            EXPECT_EQ(element->GetTypeName(), "VarnokCommand");
            EXPECT_EQ(element->GetFieldNames(),
                      (std::vector<std::string>{"Command", "Description", "Namespace"}));
            lines.push_back(element->GetField("Namespace")->ToString() + "|" +
                            element->GetField("Command")->ToString() + "|" +
                            element->GetField("Description")->ToString());
        }
        return lines;
    }

    std::shared_ptr<RootNamespace> root = RootNamespace::New(nullptr);
    std::shared_ptr<CommandList> list = CommandList::New(root);
};

const std::vector<std::string> kAll = {
    "|status|Show the system status.",       "storage|alpha|First storage command.",
    "storage.disk.list|all|List all disks.", "storage.disk|show|Show one Disk.",
    "storage|zed|Last storage command.",     "varnok.command|list|List all of the varnok commands.",
};

} // namespace

TEST(CommandList, ListsEveryCommandDepthFirstInNameOrder) {
    ListedTree tree;
    EXPECT_EQ(tree.Run({}), kAll);
    // An empty filter given explicitly changes nothing.
    EXPECT_EQ(tree.Run({{"namespace-filter", ""}, {"command-filter", ""}, {"description-filter", ""}}), kAll);
}

TEST(CommandList, NamespaceFilterMatchesTheDottedPath) {
    ListedTree tree;
    EXPECT_EQ(tree.Run({{"namespace-filter", "disk.li"}}),
              (std::vector<std::string>{"storage.disk.list|all|List all disks."}));
    EXPECT_TRUE(tree.Run({{"namespace-filter", "disk list"}}).empty());
    EXPECT_EQ(tree.Run({{"namespace-filter", "disk"}}),
              (std::vector<std::string>{"storage.disk.list|all|List all disks.",
                                        "storage.disk|show|Show one Disk."}));
    // The command under the root has an empty path, so any namespace filter drops it.
    EXPECT_EQ(tree.Run({{"namespace-filter", "s"}}),
              (std::vector<std::string>{
                  "storage|alpha|First storage command.", "storage.disk.list|all|List all disks.",
                  "storage.disk|show|Show one Disk.", "storage|zed|Last storage command."}));
}

TEST(CommandList, CommandAndDescriptionFiltersAreCaseSensitiveSubstrings) {
    ListedTree tree;
    EXPECT_EQ(tree.Run({{"command-filter", "l"}}),
              (std::vector<std::string>{"storage|alpha|First storage command.",
                                        "storage.disk.list|all|List all disks.",
                                        "varnok.command|list|List all of the varnok commands."}));
    EXPECT_TRUE(tree.Run({{"command-filter", "Show"}}).empty());
    EXPECT_EQ(tree.Run({{"description-filter", "Disk"}}),
              (std::vector<std::string>{"storage.disk|show|Show one Disk."}));
    EXPECT_EQ(tree.Run({{"description-filter", "disk"}}),
              (std::vector<std::string>{"storage.disk.list|all|List all disks."}));
    // All three must pass; short option names reach the same filters.
    EXPECT_EQ(tree.Run({{"n", "storage"}, {"c", "a"}, {"d", "command"}}),
              (std::vector<std::string>{"storage|alpha|First storage command."}));
    EXPECT_EQ(tree.Run({{"n", "storage"}, {"d", "command"}}),
              (std::vector<std::string>{"storage|alpha|First storage command.",
                                        "storage|zed|Last storage command."}));
    EXPECT_TRUE(tree.Run({{"n", "varnok"}, {"c", "status"}}).empty());
}

TEST(CommandList, DeclaresItsParametersOutputAndDefaults) {
    ListedTree tree;
    auto spec = tree.list->GetInputSpec();
    std::vector<std::string> lines;
    for (const auto& parameter : spec->GetParameters()) {
        lines.push_back(parameter->GetName() + " -" + parameter->GetShortName() + " " +
                        std::to_string(parameter->GetType()) +
                        (parameter->IsRequired() ? " required " : " ") + parameter->GetDescription(false));
    }
    EXPECT_EQ(lines,
              (std::vector<std::string>{
                  "command-filter -c 0 Show only commands containing the specified string in their name.",
                  "description-filter -d 0 Show only commands containing the specified string in their "
                  "description.",
                  "help -h 2 Show the help message.",
                  "namespace-filter -n 0 Show only commands containing the specified string in their "
                  "namespace path.",
              }));

    auto declared = std::dynamic_pointer_cast<MetaList>(tree.list->GetOutputSpec()->GetRootObject());
    ASSERT_NE(declared, nullptr);
    EXPECT_EQ(declared->GetListType(), MetaType::Struct);
    ASSERT_NE(declared->GetListStructure(), nullptr);
    EXPECT_EQ(declared->GetListStructure()->GetTypeName(), "VarnokCommand");
    EXPECT_EQ(declared->GetListStructure()->ToString(),
              "{'Command' => '', 'Description' => '', 'Namespace' => '', }");
    EXPECT_NE(tree.list->GetOutputStructure(), tree.list->GetOutputStructure());

    EXPECT_EQ(tree.list->GetDescription(), "List all of the varnok commands.");
    FormatParameters defaults = tree.list->GetDefaultOutputFormatParameters();
    EXPECT_EQ(defaults.GetFormatter(), "table");
    EXPECT_EQ(defaults.GetParameters(), (std::map<std::string, std::string>{
                                            {"fields:VarnokCommand", "Namespace,Command,Description"},
                                            {"wrap-last", "true"},
                                        }));
}

TEST(CommandList, NamespacesWithoutCommandsGiveAnEmptyList) {
    auto root = RootNamespace::New(nullptr);
    root->SubNamespace("empty")->SubNamespace("deeper");
    auto list = CommandList::New(root);
    auto input = Corvane::CallSpec::Input::New();
    input->SetInputSpec(list->GetInputSpec());
    auto output = Output::New();
    list->Execute(input, output);
    EXPECT_FALSE(output->HasError());
    auto rows = std::dynamic_pointer_cast<MetaList>(output->GetRootObject());
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(rows->GetCount(), 0u);
    EXPECT_EQ(rows->GetListStructure()->GetTypeName(), "VarnokCommand");
}

TEST(CommandList, ListsBelowAnyNamespaceWithFullPaths) {
    ListedTree tree;
    auto storage = std::dynamic_pointer_cast<Namespace>(tree.root->GetNamespaceNode("storage"));
    ASSERT_NE(storage, nullptr);
    auto sublist = CommandList::New(storage);
    auto input = Corvane::CallSpec::Input::New();
    input->SetInputSpec(sublist->GetInputSpec());
    auto output = Output::New();
    sublist->Execute(input, output);
    auto rows = std::dynamic_pointer_cast<MetaList>(output->GetRootObject());
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(
        rows->ToString(),
        "{'Command' => 'alpha', 'Description' => 'First storage command.', 'Namespace' => 'storage', }, "
        "{'Command' => 'all', 'Description' => 'List all disks.', 'Namespace' => 'storage.disk.list', }, "
        "{'Command' => 'show', 'Description' => 'Show one Disk.', 'Namespace' => 'storage.disk', }, "
        "{'Command' => 'zed', 'Description' => 'Last storage command.', 'Namespace' => 'storage', }");
}

TEST(CommandList, TheListingDoesNotKeepItsTreeAlive) {
    std::weak_ptr<CommandList> watchList;
    std::weak_ptr<RootNamespace> watchRoot;
    {
        ListedTree tree;
        watchList = tree.list;
        watchRoot = tree.root;
    }
    EXPECT_TRUE(watchList.expired());
    EXPECT_TRUE(watchRoot.expired());
}
