// Tests of commands: lazy specifications, Execute, children refusal and the call objects.
#include <corvane/tree.h>

#include "test_support.h"
#include "tree_test_commands.h"

#include <gtest/gtest.h>

#include <list>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Corvane::AutoCli;
using namespace Corvane::MetaObj;
using Corvane::CorvaneException;
using Corvane::CallSpec::Input;
using Corvane::CallSpec::Output;
using Corvane::CallSpec::ParameterType;
using TreeTest::TestCommand;

namespace {

const std::string kImplementationError = "Implementation error! The output of this command does not match "
                                         "the declared output type, see errors above.";

std::vector<std::string>
Names(const std::vector<std::shared_ptr<Corvane::CallSpec::ParameterSpec>>& parameters) {
    std::vector<std::string> names;
    names.reserve(parameters.size());
    for (const auto& parameter : parameters) {
        names.push_back(parameter->GetName());
    }
    return names;
}

std::shared_ptr<CommandInput> InputFor(const std::list<std::string>& path) {
    auto input = CommandInput::New();
    input->SetDispatcher("varnok");
    input->SetCommandPath(path);
    return input;
}

// root -> system -> version -> get, with `command` as get.
struct CommandTree {
    explicit CommandTree(std::shared_ptr<TestCommand> cmd) : command(std::move(cmd)) {
        root->SubNamespace("system")->SubNamespace("version")->RegisterNamespaceNode(command, "get");
    }
    std::shared_ptr<RootNamespace> root = RootNamespace::New(nullptr);
    std::shared_ptr<TestCommand> command;
};

} // namespace

TEST(CommandSpecification, HelpIsAddedOnceToTheCommandsOwnSpecification) {
    auto command = TestCommand::New();
    command->Declare("zeta", ParameterType::String);
    command->Declare("alpha", ParameterType::Int, true);

    auto spec = command->GetInputSpec();
    EXPECT_EQ(Names(spec->GetParameters()), (std::vector<std::string>{"alpha", "help", "zeta"}));
    EXPECT_EQ(command->GetInputSpec(), spec);
    EXPECT_EQ(spec->GetParameters().size(), 3u);
    EXPECT_EQ(command->inputSpecCalls, 1);

    auto help = spec->FindParameter("help");
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->GetType(), ParameterType::Bool);
    EXPECT_EQ(help->GetShortName(), "h");
    EXPECT_EQ(help->GetDescription(false), "Show the help message.");
    EXPECT_FALSE(help->IsRequired());
    EXPECT_FALSE(help->IsSecret());

    auto output = command->GetOutputSpec();
    EXPECT_EQ(command->GetOutputSpec(), output);
    EXPECT_EQ(command->outputSpecCalls, 1);
}

TEST(CommandSpecification, AClashWithHelpIsReportedOnEveryRequest) {
    auto ownHelp = TestCommand::New();
    ownHelp->Declare("help", ParameterType::Flag);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_THROW_MSG(ownHelp->GetInputSpec(),
                         "Found a duplicate paramater specification for parameter named 'help'");
    }
    EXPECT_EQ(ownHelp->inputSpecCalls, 2);

    auto shortClash = TestCommand::New();
    shortClash->Declare("host", ParameterType::String, false, "h");
    EXPECT_THROW_MSG(shortClash->GetInputSpec(),
                     "Invalid short name specified for --help. The short name -h is already used for --host");
}

TEST(CommandExecution, HelpSkipsTheWorkAndTheRequiredParameters) {
    auto command = TestCommand::New("Show the version.");
    command->Declare("format", ParameterType::String, true, "f");
    command->work = [](const std::shared_ptr<Input>&, const std::shared_ptr<Output>& output) {
        output->AddErrorMessage("must not run");
    };
    CommandTree tree(command);

    auto input = InputFor({"system", "version", "get"});
    input->AddParameter("help", "");
    auto output = CommandOutput::New();
    command->Execute(input, output);

    EXPECT_EQ(command->executeCalls, 0);
    EXPECT_FALSE(output->HasError());
    EXPECT_EQ(output->GetOutputType(), Output::Help);
    auto help = std::dynamic_pointer_cast<MetaStruct>(output->GetRootObject());
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->GetTypeName(), "VarnokCommandHelp");
    EXPECT_EQ(help->GetField("Path")->ToString(), "system version get");
    EXPECT_EQ(help->GetField("Description")->ToString(), "Show the version.");
}

TEST(CommandExecution, AnExceptionBecomesOneErrorNamingTheCommand) {
    auto command = TestCommand::New();
    command->work = [](const std::shared_ptr<Input>&, const std::shared_ptr<Output>&) {
        throw CorvaneException("boom");
    };
    CommandTree tree(command);

    auto output = Output::New();
    command->Execute(InputFor({"system", "version", "get"}), output);
    EXPECT_EQ(output->GetErrors(), (std::vector<std::string>{"Error on command system version get : boom"}));
    EXPECT_EQ(output->GetRootObject(), nullptr);

    // A plain Input carries no path: the command's own name stands in.
    auto plain = Output::New();
    command->Execute(Input::New(), plain);
    EXPECT_EQ(plain->GetErrors(), (std::vector<std::string>{"Error on command get : boom"}));

    command->work = [](const std::shared_ptr<Input>&, const std::shared_ptr<Output>& out) {
        out->AddErrorMessage("first");
        throw std::out_of_range("range");
    };
    auto both = Output::New();
    command->Execute(InputFor({}), both);
    EXPECT_EQ(both->GetErrors(), (std::vector<std::string>{"first", "Error on command  : range"}));

    command->work = [](const std::shared_ptr<Input>&, const std::shared_ptr<Output>&) { throw 42; };
    EXPECT_THROW(command->Execute(Input::New(), Output::New()), int);
}

TEST(CommandExecution, AWrongResultIsReportedAfterItsValidationMessages) {
    auto declared = MetaStruct::New("Answer");
    declared->SetField("Value", MetaString::New());
    auto command = TestCommand::New();
    command->declaredOutput = declared;
    CommandTree tree(command);

    command->work = [](const std::shared_ptr<Input>&, const std::shared_ptr<Output>& output) {
        output->SetRootObject(MetaInt::New(5));
    };
    auto wrongKind = Output::New();
    command->Execute(Input::New(), wrongKind);
    EXPECT_EQ(
        wrongKind->GetErrors(),
        (std::vector<std::string>{"Type Mismatch in MetaStruct Validation: Expected type Struct got type Int",
                                  kImplementationError}));

    command->work = [](const std::shared_ptr<Input>&, const std::shared_ptr<Output>& output) {
        auto answer = MetaStruct::New("Answer");
        answer->SetField("Value", 7);
        answer->SetField("Extra", "x");
        output->SetRootObject(answer);
    };
    auto wrongShape = Output::New();
    command->Execute(Input::New(), wrongShape);
    EXPECT_EQ(wrongShape->GetErrors(),
              (std::vector<std::string>{"Mismatch on number of fields set in struct. Expected 1 found 2",
                                        "Type mismatch on field: Value", kImplementationError}));

    command->work = nullptr;
    auto missing = Output::New();
    command->Execute(Input::New(), missing);
    EXPECT_EQ(
        missing->GetErrors(),
        (std::vector<std::string>{"No root object set for output. The command did not provide proper output.",
                                  kImplementationError}));

    command->work = [](const std::shared_ptr<Input>&, const std::shared_ptr<Output>& output) {
        auto answer = MetaStruct::New("Answer");
        answer->SetField("Value", "42");
        output->SetRootObject(answer);
    };
    auto good = Output::New();
    command->Execute(Input::New(), good);
    EXPECT_FALSE(good->HasError());
    EXPECT_EQ(good->GetRootObject()->ToString(), "{'Value' => '42', }");
    EXPECT_EQ(good->GetOutputType(), Output::Normal);
}

TEST(CommandExecution, ACommandsOwnErrorIsTheOnlyError) {
    auto command = TestCommand::New();
    command->work = [](const std::shared_ptr<Input>&, const std::shared_ptr<Output>& output) {
        output->AddErrorMessage("Disk d1 is offline.");
    };
    auto output = Output::New();
    command->Execute(InputFor({"storage", "disk", "show"}), output);
    EXPECT_EQ(output->GetErrors(), (std::vector<std::string>{"Disk d1 is offline."}));
    EXPECT_EQ(output->GetRootObject(), nullptr);
    EXPECT_EQ(command->executeCalls, 1);

    EXPECT_THROW_MSG(command->Execute(nullptr, output),
                     "Command '' was executed without an input or an output");
}

TEST(CommandTreeNode, ACommandRefusesChildrenNamingItsPath) {
    CommandTree tree(TestCommand::New());
    auto& command = tree.command;
    const std::string tail = "'. Commands cannot have sub-commands or sub-namespaces.";

    EXPECT_EQ(command->GetType(), CommandType);
    EXPECT_EQ(command->GetPath(), (std::list<std::string>{"system", "version", "get"}));
    EXPECT_FALSE(command->HasNamespaceNode("x"));
    EXPECT_TRUE(command->GetNamespaceNodeNames().empty());
    EXPECT_TRUE(command->GetNamespaceNodes().empty());

    EXPECT_THROW_MSG(command->RegisterNamespaceNode(Corvane::AutoCli::Namespace::New(), "x"),
                     "Attempt to register a command or namespace 'x' on command 'system version get" + tail);
    EXPECT_THROW_MSG(command->RegisterNamespaceNode(TestCommand::New(), std::string("y")),
                     "Attempt to register a command or namespace 'y' on command 'system version get" + tail);
    EXPECT_THROW_MSG(
        command->GetNamespaceNode("x"),
        "Unable to find a namespace or command with the name 'x' on the command 'system version get" + tail);
    EXPECT_THROW_MSG(
        command->SubNamespace("x"),
        "Unable to find a namespace or command with the name 'x' on the command 'system version get" + tail);

    std::list<std::string> toCommand{"system", "version", "get"};
    EXPECT_EQ(tree.root->ResolveNode(toCommand), command);
    EXPECT_EQ(toCommand.size(), 3u);

    std::list<std::string> past{"system", "version", "get", "extra", "more"};
    EXPECT_THROW_MSG(
        tree.root->ResolveNode(past),
        "Unable to find a namespace or command with the name 'extra more' on the command 'system "
        "version get" +
            tail);
    EXPECT_EQ(past, (std::list<std::string>{"extra", "more"}));

    // An existing command is handed back by SubNamespace of its parent, not replaced.
    auto version = tree.root->SubNamespace("system")->SubNamespace("version");
    EXPECT_EQ(version->SubNamespace("get"), command);
}

TEST(CommandTreeNode, DispatcherComesFromTheTree) {
    auto command = TestCommand::New();
    EXPECT_THROW_MSG(command->GetDispatcher(),
                     "Invalid state for command with name ''. No parent node has been set.");
    EXPECT_EQ(command->GetParent(), nullptr);

    int marker = 0;
    auto* dispatcher = reinterpret_cast<Dispatcher*>(&marker);
    {
        auto root = RootNamespace::New(dispatcher);
        root->SubNamespace("system")->RegisterNamespaceNode(command, "status");
        EXPECT_EQ(command->GetDispatcher(), dispatcher);
        EXPECT_EQ(command->GetPathString('.'), "system.status");
    }
    // The tree is gone; the command held here outlived it.
    EXPECT_EQ(command->GetParent(), nullptr);
    EXPECT_THROW_MSG(command->GetDispatcher(),
                     "Invalid state for command with name 'status'. No parent node has been set.");
    EXPECT_THROW_MSG(
        command->GetPath(),
        "GetPath: Invalid state for Namespace Node with the name 'status' No parent node has been set");
    EXPECT_THROW_MSG(
        command->RegisterNamespaceNode(nullptr, "x"),
        "Attempt to register a command or namespace 'x' on command 'status'. Commands cannot have "
        "sub-commands or sub-namespaces.");
}

TEST(CommandDefaults, ExamplesAndFormatSettingsAreKept) {
    auto command = TestCommand::New();
    command->AddExample("--device d1", "List one disk");
    command->AddExample(std::string("--all"), std::string("List every disk"));
    ASSERT_EQ(command->GetExamples().size(), 2u);
    EXPECT_EQ(command->GetExamples()[0],
              std::make_pair(std::string("--device d1"), std::string("List one disk")));
    EXPECT_EQ(command->GetExamples()[1].first, "--all");

    EXPECT_EQ(command->GetDefaultOutputFormatParameters().GetFormatter(), "");
    command->SetDefaultOutputFormatter("table");
    command->SetDefaultOutputParameter("wrap-last", "true");
    command->SetDefaultOutputParameter(std::string("wrap-last"), std::string("false"));
    FormatParameters copy = command->GetDefaultOutputFormatParameters();
    EXPECT_EQ(copy.GetFormatter(), "table");
    EXPECT_EQ(copy.GetParameters().size(), 1u);
    EXPECT_EQ(copy.GetParameter("wrap-last"), "false");
    copy.SetFormatter("json");
    EXPECT_EQ(command->GetDefaultOutputFormatParameters().GetFormatter(), "table");
}

TEST(CallObjects, CommandInputAndOutput) {
    auto input = CommandInput::New();
    EXPECT_EQ(input->GetDispatcher(), "");
    EXPECT_TRUE(input->GetCommandPath().empty());
    EXPECT_EQ(input->GetCommandPathString(), "");
    EXPECT_TRUE(input->GetParameters().empty());
    EXPECT_EQ(input->GetInputSpec(), nullptr);

    std::list<std::string> path{"a", "b"};
    input->SetCommandPath(path);
    path.push_back("c");
    EXPECT_EQ(input->GetCommandPathString(), "a b");
    input->SetDispatcher("varnok");
    EXPECT_EQ(input->GetDispatcher(), "varnok");

    auto output = CommandOutput::New();
    EXPECT_EQ(output->GetFormattedString(), "");
    EXPECT_FALSE(output->HasError());
    EXPECT_EQ(output->GetRootObject(), nullptr);
    output->SetFormattedString("text");
    EXPECT_EQ(output->GetFormattedString(), "text");
}
