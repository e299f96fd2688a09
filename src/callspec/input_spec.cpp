// InputSpec: a command's parameters in name order, its context names, and validation of a call's input.
#include <corvane/callspec.h>

#include <algorithm>
#include <utility>

namespace Corvane::CallSpec {

namespace {

bool NameLess(const std::shared_ptr<ParameterSpec>& parameter, const std::string& name) {
    return parameter->GetName() < name;
}

} // namespace

std::shared_ptr<InputSpec> InputSpec::New() {
    return std::make_shared<InputSpec>();
}

InputSpec::InputSpec() = default;

void InputSpec::AddParameter(const std::shared_ptr<ParameterSpec>& parameter) {
    if (!parameter) {
        throw CorvaneException("Invalid NULL parameter specification passed to InputSpec::AddParameter");
    }
    const std::string& name = parameter->GetName();
    if (name.size() < 2) {
        throw CorvaneException("Parameter name must be at least 2 characters");
    }
    const std::string& shortName = parameter->GetShortName();
    // Checked in list order, so a clash is reported against the first parameter it meets.
    for (const auto& present : parameters) {
        if (present->GetName() == name) {
            throw CorvaneException("Found a duplicate paramater specification for parameter named '" + name +
                                   "'");
        }
        if (!shortName.empty() && shortName == present->GetShortName()) {
            std::string message = "Invalid short name specified for --" + name;
            message += ". The short name -";
            message += shortName;
            message += " is already used for --";
            message += present->GetName();
            throw CorvaneException(std::move(message));
        }
    }
    // Inserting at the sorted position keeps the list in name order without re-sorting it.
    parameters.insert(std::lower_bound(parameters.begin(), parameters.end(), name, NameLess), parameter);
}

std::vector<std::shared_ptr<ParameterSpec>> InputSpec::GetParameters() const {
    return parameters;
}

std::shared_ptr<ParameterSpec> InputSpec::FindParameter(const std::string& name) const {
    const auto it = std::lower_bound(parameters.begin(), parameters.end(), name, NameLess);
    if (it != parameters.end() && (*it)->GetName() == name) {
        return *it;
    }
    return nullptr;
}

void InputSpec::SetContextSupported(const std::string& name) {
    supportedContexts.insert(name);
}

bool InputSpec::IsContextSupported(const std::string& name) const {
    return supportedContexts.count(name) != 0;
}

bool InputSpec::Validate(const std::shared_ptr<Input>& input, const std::shared_ptr<Output>& output) const {
    static const std::map<std::string, std::vector<std::string>> noParameters;
    const auto& given = input ? static_cast<const Input&>(*input).GetParameters() : noParameters;
    // A help request is answered with help output, whatever else the call holds.
    if (given.count("help") != 0) {
        return true;
    }
    bool valid = true;
    for (const auto& entry : given) {
        const std::shared_ptr<ParameterSpec> parameter = FindParameter(entry.first);
        if (!parameter) {
            if (output) {
                output->AddErrorMessage("Unknown parameter : " + EchoText(entry.first));
            }
            valid = false;
        } else if (!parameter->Validate(entry.second, output)) {
            valid = false;
        }
    }
    for (const auto& parameter : parameters) {
        if (parameter->IsRequired() && given.count(parameter->GetName()) == 0) {
            if (output) {
                output->AddErrorMessage("Missing required parameter --" + parameter->GetName());
            }
            valid = false;
        }
    }
    return valid;
}

} // namespace Corvane::CallSpec
