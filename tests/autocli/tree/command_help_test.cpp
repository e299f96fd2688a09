// Tests of the help data a command produces for --help.
#include <corvane/tree.h>

#include "test_support.h"
#include "tree_test_commands.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace Corvane::AutoCli;
using namespace Corvane::MetaObj;
using Corvane::CallSpec::Input;
using Corvane::CallSpec::Output;
using Corvane::CallSpec::ParameterConstraint;
using Corvane::CallSpec::ParameterConstraintType;
using Corvane::CallSpec::ParameterType;
using TreeTest::TestCommand;

namespace {

std::shared_ptr<MetaStruct> HelpOf(const std::shared_ptr<Output>& output) {
    EXPECT_EQ(output->GetOutputType(), Output::Help);
    auto help = std::dynamic_pointer_cast<MetaStruct>(output->GetRootObject());
    EXPECT_NE(help, nullptr);
    if (help) {
        EXPECT_EQ(help->GetTypeName(), "VarnokCommandHelp");
    }
    return help;
}

std::shared_ptr<MetaList> ListField(const std::shared_ptr<MetaStruct>& help, const std::string& name) {
    auto list = std::dynamic_pointer_cast<MetaList>(help->GetField(name));
    EXPECT_NE(list, nullptr) << name;
    return list;
}

std::string Text(const std::shared_ptr<MetaObject>& element, const std::string& field) {
    auto value = std::dynamic_pointer_cast<MetaString>(
        std::dynamic_pointer_cast<MetaStruct>(element)->GetField(field));
    EXPECT_NE(value, nullptr) << field;
    return value ? value->GetValue() : std::string();
}

bool Flag(const std::shared_ptr<MetaObject>& element, const std::string& field) {
    auto value =
        std::dynamic_pointer_cast<MetaBool>(std::dynamic_pointer_cast<MetaStruct>(element)->GetField(field));
    EXPECT_NE(value, nullptr) << field;
    return value && value->GetValue();
}

// storage disk list with a constrained required device, a secret password and one example.
std::shared_ptr<TestCommand> DiskList() {
    auto command = TestCommand::New("List the disks.");
    auto device = command->Declare("device", ParameterType::String, true, "d");
    auto devices = ParameterConstraint::New(ParameterConstraintType::StringEnum);
    devices->AddStringEnum("d1");
    devices->AddStringEnum("d2");
    device->SetConstraint(devices);
    device->SetDescription("The device, one of %ENUM%.");
    command->Declare("password", ParameterType::String)->SetSecret(true);
    command->AddExample("--device d1", "List one disk");
    return command;
}

} // namespace

TEST(CommandHelp, DescribesACommandCalledThroughTheDispatcher) {
    auto command = DiskList();
    auto input = CommandInput::New();
    input->SetDispatcher("varnok");
    input->SetCommandPath({"storage", "disk", "list"});
    input->AddParameter("help", "");
    auto output = CommandOutput::New();
    command->Execute(input, output);
    EXPECT_EQ(command->executeCalls, 0);
    EXPECT_FALSE(output->HasError());

    auto help = HelpOf(output);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->GetFieldNames(),
              (std::vector<std::string>{"Description", "Dispatcher", "Example List", "Param List", "Path"}));
    EXPECT_EQ(Text(help, "Dispatcher"), "varnok");
    EXPECT_EQ(Text(help, "Path"), "storage disk list");
    EXPECT_EQ(Text(help, "Description"), "List the disks.");

    auto parameters = ListField(help, "Param List");
    ASSERT_NE(parameters, nullptr);
    ASSERT_EQ(parameters->GetListType(), MetaType::Struct);
    ASSERT_NE(parameters->GetListStructure(), nullptr);
    EXPECT_EQ(parameters->GetListStructure()->GetTypeName(), "VarnokCommandParameter");
    EXPECT_EQ(parameters->GetListStructure()->GetFieldNames(),
              (std::vector<std::string>{"Description", "Name", "Required", "Secret", "Short Name"}));
    ASSERT_EQ(parameters->GetCount(), 3u);

    const auto& device = (*parameters)[0];
    EXPECT_EQ(std::dynamic_pointer_cast<MetaStruct>(device)->GetTypeName(), "VarnokCommandParameter");
    EXPECT_EQ(Text(device, "Name"), "device");
    EXPECT_EQ(Text(device, "Short Name"), "d");
    EXPECT_EQ(Text(device, "Description"), "The device, one of [d1, d2].");
    EXPECT_TRUE(Flag(device, "Required"));
    EXPECT_FALSE(Flag(device, "Secret"));

    const auto& helpParameter = (*parameters)[1];
    EXPECT_EQ(Text(helpParameter, "Name"), "help");
    EXPECT_EQ(Text(helpParameter, "Short Name"), "h");
    EXPECT_EQ(Text(helpParameter, "Description"), "Show the help message.");
    EXPECT_FALSE(Flag(helpParameter, "Required"));
    EXPECT_FALSE(Flag(helpParameter, "Secret"));

    const auto& password = (*parameters)[2];
    EXPECT_EQ(Text(password, "Name"), "password");
    EXPECT_EQ(Text(password, "Short Name"), "");
    EXPECT_FALSE(Flag(password, "Required"));
    EXPECT_TRUE(Flag(password, "Secret"));

    auto examples = ListField(help, "Example List");
    ASSERT_NE(examples, nullptr);
    ASSERT_NE(examples->GetListStructure(), nullptr);
    EXPECT_EQ(examples->GetListStructure()->GetTypeName(), "VarnokCommandExample");
    EXPECT_EQ(examples->GetListStructure()->GetFieldNames(),
              (std::vector<std::string>{"Description", "Syntax"}));
    ASSERT_EQ(examples->GetCount(), 1u);
    EXPECT_EQ(std::dynamic_pointer_cast<MetaStruct>((*examples)[0])->GetTypeName(), "VarnokCommandExample");
    EXPECT_EQ(Text((*examples)[0], "Description"), "List one disk :");
    EXPECT_EQ(Text((*examples)[0], "Syntax"), "# varnok storage disk list --device d1");
}

TEST(CommandHelp, APlainInputHasNoToolNameOrPath) {
    auto command = DiskList();
    auto output = Output::New();
    output->AddErrorMessage("kept");
    command->GenerateHelpOutput(Input::New(), output);

    auto help = HelpOf(output);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->GetFieldNames(), (std::vector<std::string>{"Description", "Example List", "Param List"}));
    auto examples = ListField(help, "Example List");
    ASSERT_EQ(examples->GetCount(), 1u);
    EXPECT_EQ(Text((*examples)[0], "Syntax"), "#  --device d1");
    EXPECT_EQ(output->GetErrors(), (std::vector<std::string>{"kept"}));
}

TEST(CommandHelp, ACommandWithoutParametersOrExamplesStillListsHelp) {
    auto command = TestCommand::New();
    auto input = CommandInput::New();
    input->AddParameter("help", "");
    auto output = Output::New();
    command->Execute(input, output);

    auto help = HelpOf(output);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(Text(help, "Description"), "");
    EXPECT_EQ(Text(help, "Dispatcher"), "");
    EXPECT_EQ(Text(help, "Path"), "");
    EXPECT_EQ(ListField(help, "Example List")->GetCount(), 0u);
    auto parameters = ListField(help, "Param List");
    ASSERT_EQ(parameters->GetCount(), 1u);
    EXPECT_EQ(Text((*parameters)[0], "Name"), "help");
    EXPECT_EQ(Text((*parameters)[0], "Short Name"), "h");
    EXPECT_EQ(Text((*parameters)[0], "Description"), "Show the help message.");
    EXPECT_FALSE(Flag((*parameters)[0], "Required"));
    EXPECT_FALSE(Flag((*parameters)[0], "Secret"));
}
