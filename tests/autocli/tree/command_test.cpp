// Tests of commands: Execute, refusal of children and the listing command; help pages are compared by
// the varnok end-to-end tests.
#include <corvane/tree.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <exception>
#include <list>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Corvane::AutoCli;
using namespace Corvane::CallSpec;
using namespace Corvane::MetaObj;
using Lines = std::vector<std::string>;
using Filters = std::map<std::string, std::string>;

namespace {

// A command whose parameters, declared output and outcome are set by the test.
class TestCommand : public Command {
public:
    std::shared_ptr<InputSpec> GetInputSpecInternal() override { return ownInput; }
    std::shared_ptr<OutputSpec> GetOutputSpecInternal() override { return ownOutput; }
    void ExecuteInternal(const std::shared_ptr<Input>&, const std::shared_ptr<Output>& output) override {
        if (!error.empty()) {
            output->AddErrorMessage(error);
        }
        output->SetRootObject(result);
        if (thrown) {
            std::rethrow_exception(thrown);
        }
    }
    std::shared_ptr<InputSpec> ownInput = InputSpec::New();
    std::shared_ptr<OutputSpec> ownOutput = OutputSpec::New();
    std::shared_ptr<MetaObject> result;
    std::string error;
    std::exception_ptr thrown;
};

// root -> system -> version -> get, with a fresh TestCommand as get.
struct CommandTest : ::testing::Test {
    void SetUp() override {
        root->SubNamespace("system")->SubNamespace("version")->RegisterNamespaceNode(command, "get");
    }
    std::shared_ptr<RootNamespace> root = RootNamespace::New(nullptr);
    std::shared_ptr<TestCommand> command = std::make_shared<TestCommand>();
};

std::shared_ptr<CommandInput> InputFor(const std::list<std::string>& path) {
    auto input = CommandInput::New();
    input->SetDispatcher("varnok");
    input->SetCommandPath(path);
    return input;
}

// Renders a value with its kinds: structures and list element definitions by type name, strings quoted.
std::string Dump(const std::shared_ptr<MetaObject>& object) {
    std::string text;
    auto record = std::dynamic_pointer_cast<MetaStruct>(object);
    for (const auto& name : record ? record->GetFieldNames() : Lines()) {
        text += name + "=" + Dump(record->GetField(name)) + ";";
    }
    auto list = std::dynamic_pointer_cast<MetaList>(object);
    for (const auto& item : list ? list->GetObjects() : std::vector<std::shared_ptr<MetaObject>>()) {
        text += " " + Dump(item);
    }
    return record ? record->GetTypeName() + "{" + text + "}"
           : list ? "[" + list->GetListStructure()->GetTypeName() + ":" + text + "]"
           : object->GetType() == MetaType::String ? "'" + object->ToString() + "'"
                                                   : object->ToString();
}

// Runs a listing through Execute, which also checks the rows against the declared output.
std::string Listed(const std::shared_ptr<CommandList>& listing, const Filters& filters) {
    auto input = CommandInput::New();
    for (const auto& filter : filters) {
        input->AddParameter(filter.first, filter.second);
    }
    input->SetInputSpec(listing->GetInputSpec());
    auto output = CommandOutput::New();
    listing->Execute(input, output);
    EXPECT_EQ(output->GetErrors(), Lines());
    return Dump(output->GetRootObject());
}

} // namespace

// The example rows carry " :" and the tool and path before the syntax; the rest of the page is compared
// by the varnok end-to-end tests.
TEST_F(CommandTest, HelpIsAnsweredWithRequiredParametersMissing) {
    command->ownInput->AddParameter(ParameterSpec::New("device", ParameterType::String));
    command->AddExample("--device d1", "List one disk");
    command->error = "must not run";
    auto input = InputFor({"storage", "disk", "list"});
    input->AddParameter("help", "");
    auto output = CommandOutput::New();
    command->Execute(input, output);
    EXPECT_FALSE(output->HasError()); // the work did not run
    EXPECT_EQ(output->GetOutputType(), Output::Help);
    auto help = std::dynamic_pointer_cast<MetaStruct>(output->GetRootObject());
    ASSERT_TRUE(help);
    EXPECT_EQ(Dump(help->GetField("Example List")),
              "[VarnokCommandExample: VarnokCommandExample{Description='List one disk :';"
              "Syntax='# varnok storage disk list --device d1';}]");
}

// A declared effect adds the one field "Effect"; any other value of the entry adds nothing.
TEST_F(CommandTest, HelpCarriesTheEffectOnlyWhenOneIsDeclared) {
    const auto helpFields = [this]() {
        auto input = InputFor({"system", "version", "get"});
        input->AddParameter("help", "");
        auto output = CommandOutput::New();
        command->Execute(input, output);
        auto help = std::dynamic_pointer_cast<MetaStruct>(output->GetRootObject());
        std::string names;
        for (const std::string& name : help->GetFieldNames()) {
            names += name + (name == "Effect" ? "=" + help->GetField(name)->ToString() : "") + ";";
        }
        return names;
    };
    const std::string without = "Description;Dispatcher;Example List;Param List;Path;";
    EXPECT_EQ(without, helpFields());
    command->SetMetaData("effect", "destroyed");
    EXPECT_EQ(without, helpFields());
    command->SetMetaData("effect", "change");
    EXPECT_EQ("Description;Dispatcher;Effect=change;Example List;Param List;Path;", helpFields());
}

TEST_F(CommandTest, ErrorsAndWrongResultsAreReported) {
    auto declared = MetaStruct::New("Answer");
    declared->SetField("Value", MetaString::New());
    command->ownOutput->SetRootObject(declared);
    auto answer = MetaStruct::New("Answer");
    answer->SetField("Value", "42");
    const std::string mismatch =
        "Implementation error! The output of this command does not match the declared "
        "output type, see errors above.\n";
    auto boom = std::make_exception_ptr(Corvane::CorvaneException("boom"));
    struct Case {
        std::shared_ptr<Input> input;
        std::shared_ptr<MetaObject> result;
        std::string error;
        std::exception_ptr thrown;
        std::string expected; // the errors, each followed by a newline
    } cases[] = {
        {InputFor({"system", "version", "get"}), answer, "", boom,
         "Error on command system version get : boom\n"},
        {Input::New(), answer, "", boom, "Error on command get : boom\n"},
        {InputFor({}), nullptr, "first", std::make_exception_ptr(std::out_of_range("range")),
         "first\nError on command  : range\n"},
        {Input::New(), nullptr, "", nullptr,
         "No root object set for output. The command did not provide proper output.\n" + mismatch},
        {Input::New(), nullptr, "Disk d1 is offline.", nullptr, "Disk d1 is offline.\n"},
        {Input::New(), answer, "", nullptr, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        command->result = c.result;
        command->error = c.error;
        command->thrown = c.thrown;
        auto output = Output::New();
        command->Execute(c.input, output);
        std::string errors;
        for (const auto& error : output->GetErrors()) {
            errors += error + "\n";
        }
        EXPECT_EQ(errors, c.expected);
        EXPECT_EQ(output->GetOutputType(), Output::Normal);
    }
    command->thrown = std::make_exception_ptr(42);
    EXPECT_THROW(command->Execute(Input::New(), Output::New()), int);
}

TEST_F(CommandTest, ACommandRefusesChildrenNamingItsPath) {
    const std::string tail = " 'system version get'. Commands cannot have sub-commands or sub-namespaces.";
    const std::string notFound = "Unable to find a namespace or command with the name '";
    EXPECT_THROW_MSG(command->RegisterNamespaceNode(Namespace::New(), "x"),
                     "Attempt to register a command or namespace 'x' on command" + tail);
    EXPECT_THROW_MSG(command->GetNamespaceNode("x"), notFound + "x' on the command" + tail);
    std::list<std::string> toCommand{"system", "version", "get"};
    EXPECT_EQ(root->ResolveNode(toCommand), command);
    std::list<std::string> past{"system", "version", "get", "extra", "more"};
    EXPECT_THROW_MSG(root->ResolveNode(past), notFound + "extra more' on the command" + tail);
    EXPECT_EQ(past, (std::list<std::string>{"extra", "more"}));
    root.reset(); // the command outlives its tree
    EXPECT_THROW_MSG(command->GetDispatcher(),
                     "Invalid state for command with name 'get'. No parent node has been set.");
}

TEST(CommandList, ListsInDepthFirstNameOrderFiltersAndDeclaresItsShape) {
    // Under root: empty -> deeper (no commands); status; storage -> zed, alpha, disk -> (show, list -> all);
    // varnok -> command -> list. The leaves are listings too, each with its own description.
    auto root = RootNamespace::New(nullptr);
    auto list = CommandList::New(root);
    auto add = [&root](const std::shared_ptr<NamespaceNode>& parent, const char* name,
                       const char* description) {
        auto command = CommandList::New(root);
        command->SetDescription(description);
        parent->RegisterNamespaceNode(command, name);
    };
    root->SubNamespace("empty")->SubNamespace("deeper");
    add(root, "status", "Show the system status.");
    add(root->SubNamespace("storage"), "zed", "Last storage command.");
    add(root->SubNamespace("storage"), "alpha", "First storage command.");
    add(root->SubNamespace("storage")->SubNamespace("disk"), "show", "Show one Disk.");
    add(root->SubNamespace("storage")->SubNamespace("disk")->SubNamespace("list"), "all", "List all disks.");
    root->SubNamespace("varnok")->SubNamespace("command")->RegisterNamespaceNode(list, "list");
    const Lines all = {
        " VarnokCommand{Command='status';Description='Show the system status.';Namespace='';}",
        " VarnokCommand{Command='alpha';Description='First storage command.';Namespace='storage';}",
        " VarnokCommand{Command='all';Description='List all disks.';Namespace='storage.disk.list';}",
        " VarnokCommand{Command='show';Description='Show one Disk.';Namespace='storage.disk';}",
        " VarnokCommand{Command='zed';Description='Last storage command.';Namespace='storage';}",
        std::string(" VarnokCommand{Command='list';Description='List all of the varnok ") +
            "commands.';Namespace='varnok.command';}",
    };
    struct Case {
        Filters filters;
        std::vector<int> rows; // indices into all
    } cases[] = {
        {{}, {0, 1, 2, 3, 4, 5}},
        {{{"namespace-filter", "disk.li"}}, {2}},
        {{{"namespace-filter", "disk list"}}, {}},
        {{{"namespace-filter", "s"}}, {1, 2, 3, 4}}, // the command under the root has an empty path
        {{{"command-filter", "l"}}, {1, 2, 5}},
        {{{"description-filter", "Disk"}}, {3}},
        {{{"description-filter", "disk"}}, {2}},
        {{{"n", "storage"}, {"c", "a"}, {"d", "command"}}, {1}},
    };
    for (const auto& c : cases) {
        std::string expected = "[VarnokCommand:";
        for (int row : c.rows) {
            expected += all[row];
        }
        SCOPED_TRACE(testing::PrintToString(c.filters));
        EXPECT_EQ(Listed(list, c.filters), expected + "]");
    }
    // A listing rooted below the top still reports full paths.
    auto storage = std::dynamic_pointer_cast<Namespace>(root->GetNamespaceNode("storage"));
    EXPECT_EQ(Listed(CommandList::New(storage), {}),
              "[VarnokCommand:" + all[1] + all[2] + all[3] + all[4] + "]");
    // The listing points at its tree without owning it.
    std::weak_ptr<RootNamespace> watchRoot = root;
    root.reset();
    EXPECT_TRUE(watchRoot.expired());
}
