// CommandSpec::GenerateHelpOutput: a command's description, parameters and examples as typed data.
#include <corvane/tree.h>

namespace Corvane::AutoCli {

using MetaObj::MetaBool;
using MetaObj::MetaList;
using MetaObj::MetaString;
using MetaObj::MetaStruct;
using MetaObj::MetaType;

namespace {

std::shared_ptr<MetaStruct> ParameterDefinition() {
    std::shared_ptr<MetaStruct> definition = MetaStruct::New("VarnokCommandParameter");
    definition->SetField("Name", MetaString::New());
    definition->SetField("Short Name", MetaString::New());
    definition->SetField("Description", MetaString::New());
    definition->SetField("Required", MetaBool::New(false));
    definition->SetField("Secret", MetaBool::New(false));
    return definition;
}

std::shared_ptr<MetaStruct> ExampleDefinition() {
    std::shared_ptr<MetaStruct> definition = MetaStruct::New("VarnokCommandExample");
    definition->SetField("Description", MetaString::New());
    definition->SetField("Syntax", MetaString::New());
    return definition;
}

} // namespace

void CommandSpec::GenerateHelpOutput(const std::shared_ptr<CallSpec::Input>& input,
                                     const std::shared_ptr<CallSpec::Output>& output) {
    // Everything is built before `output` is touched, so a failure leaves it as it was.
    std::shared_ptr<MetaStruct> help = MetaStruct::New("VarnokCommandHelp");
    std::string prefix;
    if (const auto* commandInput = dynamic_cast<const CommandInput*>(input.get())) {
        std::string path = commandInput->GetCommandPathString();
        prefix = commandInput->GetDispatcher() + " " + path;
        help->SetField("Dispatcher", commandInput->GetDispatcher());
        help->SetField("Path", std::move(path));
    }
    help->SetField("Description", GetDescription());
    // Only a declared effect is shown, so the help of every other command keeps its fields.
    const std::string effect = GetEffect();
    if (!effect.empty()) {
        help->SetField("Effect", effect);
    }

    const std::vector<std::shared_ptr<CallSpec::ParameterSpec>> parameters = GetInputSpec()->GetParameters();
    std::shared_ptr<MetaList> parameterList = MetaList::New(MetaType::Struct, ParameterDefinition());
    parameterList->Reserve(parameters.size());
    for (const std::shared_ptr<CallSpec::ParameterSpec>& parameter : parameters) {
        std::shared_ptr<MetaStruct> element = MetaStruct::New("VarnokCommandParameter");
        element->SetField("Name", parameter->GetName());
        element->SetField("Short Name", parameter->GetShortName());
        element->SetField("Description", parameter->GetDescription(true));
        element->SetField("Required", parameter->IsRequired());
        element->SetField("Secret", parameter->IsSecret());
        parameterList->Add(element);
    }
    help->SetField("Param List", parameterList);

    std::shared_ptr<MetaList> exampleList = MetaList::New(MetaType::Struct, ExampleDefinition());
    exampleList->Reserve(examples.size());
    for (const std::pair<std::string, std::string>& example : examples) {
        std::shared_ptr<MetaStruct> element = MetaStruct::New("VarnokCommandExample");
        element->SetField("Description", example.second + " :");
        element->SetField("Syntax", "# " + prefix + " " + example.first);
        exampleList->Add(element);
    }
    help->SetField("Example List", exampleList);

    output->SetRootObject(help);
    output->SetOutputType(CallSpec::Output::Help);
}

} // namespace Corvane::AutoCli
