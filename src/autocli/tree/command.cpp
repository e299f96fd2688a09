// Command::Execute: help requests, the command's own work, and validation of its result.
#include <corvane/tree.h>

namespace Corvane::AutoCli {

Command::Command() = default;

Command::~Command() = default;

void Command::Execute(const std::shared_ptr<CallSpec::Input>& input,
                      const std::shared_ptr<CallSpec::Output>& output) {
    if (!input || !output) {
        throw CorvaneException("Command '" + GetName() + "' was executed without an input or an output");
    }
    if (input->HasParameter("help")) {
        GenerateHelpOutput(input, output);
        return;
    }

    try {
        ExecuteInternal(input, output);
    } catch (const std::exception& e) {
        const auto* commandInput = dynamic_cast<const CommandInput*>(input.get());
        output->AddErrorMessage("Error on command " +
                                (commandInput ? commandInput->GetCommandPathString() : GetName()) + " : " +
                                e.what());
    }
    // A failed command explains itself; checking its partial result would only add noise.
    if (output->HasError()) {
        return;
    }
    AddOutputValidationErrors(output);
}

void Command::AddOutputValidationErrors(const std::shared_ptr<CallSpec::Output>& output) {
    std::vector<std::string> errors;
    std::shared_ptr<CallSpec::OutputSpec> spec = GetOutputSpec();
    bool valid = false;
    if (spec) {
        valid = spec->Validate(output, &errors);
    } else {
        errors.emplace_back("No root object set for output spec. Root object for output spec must be set for "
                            "proper validation of output.");
    }
    if (!valid) {
        for (std::string& error : errors) {
            output->AddErrorMessage(std::move(error));
        }
        output->AddErrorMessage(
            "Implementation error! The output of this command does not match the declared "
            "output type, see errors above.");
    }
}

} // namespace Corvane::AutoCli
