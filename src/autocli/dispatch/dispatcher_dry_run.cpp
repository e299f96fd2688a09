// Dispatcher: calls with a query, and dry runs that say what a call would run without running it.
#include <corvane/dispatch.h>

#include <boost/algorithm/string/replace.hpp>

#include <algorithm>
#include <exception>

namespace Corvane::AutoCli {

namespace {

const char* const kMask = "***";

// Stands in for a secret value while the templates are filled, so that wherever the template puts
// the value, however it is quoted there, the mask can replace it. Letters only: no quoting changes it.
std::string Placeholder(std::size_t index) {
    std::string text = "VarnokDryRunSecretValue";
    for (std::size_t n = index + 1; n > 0; n /= 26) {
        text += static_cast<char>('a' + n % 26);
    }
    return text;
}

// Every occurrence of each of `secrets` in `text` becomes the mask, the longest secrets first so that
// one holding another is masked whole.
void MaskAll(std::string& text, std::vector<std::string> secrets) {
    std::sort(secrets.begin(), secrets.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& secret : secrets) {
        if (!secret.empty()) {
            boost::replace_all(text, secret, kMask);
        }
    }
}

std::shared_ptr<MetaObj::MetaStruct> ParameterDefinition() {
    auto definition = MetaObj::MetaStruct::New("VarnokDryRunParameter");
    definition->SetField("Name", MetaObj::MetaString::New(""), "The parameter's long name.");
    definition->SetField("Value", MetaObj::MetaString::New(""), "The value given, *** for a secret.");
    return definition;
}

} // namespace

bool Dispatcher::CheckQuery(const std::shared_ptr<Command>& command, ResultQuery& query,
                            const std::shared_ptr<CallSpec::Output>& output) {
    if (query.IsEmpty()) {
        return true;
    }
    const std::shared_ptr<CallSpec::OutputSpec> spec = command ? command->GetOutputSpec() : nullptr;
    std::vector<std::string> errors;
    const bool accepted = query.Prepare(spec ? spec->GetRootObject() : nullptr, errors);
    for (std::string& error : errors) {
        output->AddErrorMessage(std::move(error));
    }
    return accepted;
}

bool Dispatcher::ExecuteCommand(std::shared_ptr<CommandInput> input, std::shared_ptr<CommandOutput> output,
                                ResultQuery& query) {
    if (query.IsEmpty()) {
        return ExecuteCommand(std::move(input), std::move(output));
    }
    std::shared_ptr<Command> command = GetCommand(input, output);
    if (!command) {
        return false;
    }
    if (!input->HasParameter("help") && !CheckQuery(command, query, output)) {
        return false;
    }
    const bool ok = ExecuteCommand(input, output);
    if (ok && output->GetOutputType() == CallSpec::Output::Normal) {
        query.Apply(output->GetRootObject());
    }
    return ok;
}

bool Dispatcher::DryRun(std::shared_ptr<CommandInput> input, std::shared_ptr<CommandOutput> output) {
    std::shared_ptr<Command> command = GetCommand(input, output);
    if (!command) {
        return false;
    }
    std::shared_ptr<CallSpec::InputSpec> spec = command->GetInputSpec();
    input->SetInputSpec(spec);
    if (!spec->Validate(input, output)) {
        return false;
    }

    std::vector<std::string> secrets;
    for (const auto& entry : input->GetParameters()) {
        const std::shared_ptr<CallSpec::ParameterSpec> parameter = spec->FindParameter(entry.first);
        if (parameter && parameter->IsSecret()) {
            secrets.insert(secrets.end(), entry.second.begin(), entry.second.end());
        }
    }

    auto result = MetaObj::MetaStruct::New("VarnokDryRun");
    result->SetField("Command", input->GetCommandPathString());
    std::string shellText;
    std::string stdinText;
    if (auto extension = std::dynamic_pointer_cast<ExtensionCommand>(command)) {
        try {
            // Filled once with the real values, so that a value the run would refuse is refused here,
            // then again with placeholders for the secrets, whose places are then masked.
            extension->PlanRun(input, shellText, stdinText);
            std::vector<std::string> placeholders;
            std::vector<std::string> masked = secrets;
            for (auto& entry : input->GetParameters()) {
                const std::shared_ptr<CallSpec::ParameterSpec> parameter = spec->FindParameter(entry.first);
                if (!parameter || !parameter->IsSecret()) {
                    continue;
                }
                for (std::string& value : entry.second) {
                    masked.push_back(extension->SanitizeInput(value));
                    value = Placeholder(placeholders.size());
                    placeholders.push_back(value);
                }
            }
            if (!placeholders.empty()) {
                extension->PlanRun(input, shellText, stdinText);
                masked.insert(masked.end(), placeholders.begin(), placeholders.end());
                MaskAll(shellText, masked);
                MaskAll(stdinText, masked);
            }
        } catch (const std::exception& e) {
            output->AddErrorMessage("Error on command " + input->GetCommandPathString() + " : " + e.what());
            return false;
        }
        result->SetField("Kind", "shell");
    } else {
        result->SetField("Kind", "in-process");
    }
    result->SetField("Shell", std::move(shellText));
    result->SetField("Stdin", std::move(stdinText));

    auto parameters = MetaObj::MetaList::New(MetaObj::MetaType::Struct, ParameterDefinition());
    for (const auto& entry : input->GetParameters()) {
        const std::shared_ptr<CallSpec::ParameterSpec> parameter = spec->FindParameter(entry.first);
        const bool secret = parameter && parameter->IsSecret();
        for (const std::string& value : entry.second) {
            auto row = MetaObj::MetaStruct::New(parameters->GetListStructure());
            row->SetField("Name", entry.first);
            std::string shown = secret ? std::string(kMask) : value;
            if (!secret) {
                MaskAll(shown, secrets);
            }
            row->SetField("Value", std::move(shown));
            parameters->Add(row);
        }
    }
    result->SetField("Parameters", parameters);
    output->SetRootObject(result);
    return true;
}

} // namespace Corvane::AutoCli
