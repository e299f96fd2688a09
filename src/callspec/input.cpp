// Input: the raw parameter values and context of one call, with typed getters.
#include <corvane/callspec.h>

#include <iterator>
#include <utility>

namespace Corvane::CallSpec {

namespace {

std::string FromCString(const char* text) {
    return text ? std::string(text) : std::string();
}

} // namespace

const std::string Input::_emptyString;

std::shared_ptr<Input> Input::New() {
    return std::make_shared<Input>();
}

Input::Input() = default;
Input::~Input() = default;

void Input::AddParameter(const std::string& name, const std::string& value) {
    parameters[name].push_back(value);
}

void Input::SetInputSpec(std::shared_ptr<InputSpec> spec) {
    inputSpec = std::move(spec);
    if (!inputSpec) {
        return;
    }
    for (const auto& parameter : inputSpec->GetParameters()) {
        const std::string& shortName = parameter->GetShortName();
        if (shortName.empty()) {
            continue;
        }
        auto shortEntry = parameters.find(shortName);
        if (shortEntry == parameters.end()) {
            continue;
        }
        std::vector<std::string>& longValues = parameters[parameter->GetName()];
        longValues.insert(longValues.end(), std::make_move_iterator(shortEntry->second.begin()),
                          std::make_move_iterator(shortEntry->second.end()));
        parameters.erase(shortEntry);
    }
}

std::shared_ptr<InputSpec> Input::GetInputSpec() const {
    return inputSpec;
}

void Input::SetContext(const std::string& key, const std::string& value) {
    context[key] = value;
}

const std::string& Input::GetContext(const std::string& key) const {
    const auto it = context.find(key);
    return it == context.end() ? _emptyString : it->second;
}

std::map<std::string, std::vector<std::string>>& Input::GetParameters() {
    return parameters;
}
const std::map<std::string, std::vector<std::string>>& Input::GetParameters() const {
    return parameters;
}

bool Input::HasParameter(const std::string& name) const {
    return parameters.count(name) != 0;
}
bool Input::HasParameter(const char* name) const {
    return HasParameter(FromCString(name));
}
bool Input::IsFlagSet(const std::string& name) const {
    return HasParameter(name);
}
bool Input::IsFlagSet(const char* name) const {
    return HasParameter(FromCString(name));
}

ParameterType Input::GetParameterType(const std::string& name) const {
    // Without a specification nothing is declared, so every name is unknown.
    const std::shared_ptr<ParameterSpec> parameter = inputSpec ? inputSpec->FindParameter(name) : nullptr;
    if (!parameter) {
        throw CorvaneException("Request for unknown parameter: " + name);
    }
    return parameter->GetType();
}

const std::string& Input::GetParameter(const std::string& name) const {
    const ParameterType type = GetParameterType(name);
    if (type == Flag) {
        throw CorvaneException("Request for GetParameter on a flag type parameter: " + name);
    }
    if (type == StringList || type == IntList || type == BoolList) {
        throw CorvaneException("Request for GetParameter on a parameter that can have multiple values: " +
                               name);
    }
    const auto it = parameters.find(name);
    if (it == parameters.end() || it->second.size() != 1) {
        return _emptyString;
    }
    return it->second.front();
}

const std::string& Input::GetParameter(const char* name) const {
    return GetParameter(FromCString(name));
}

long Input::GetParameterInt(const std::string& name) const {
    long value = -1;
    ParameterSpec::GetInt(GetParameter(name), value);
    return value;
}

long Input::GetParameterInt(const char* name) const {
    return GetParameterInt(FromCString(name));
}

bool Input::GetParameterBool(const std::string& name) const {
    bool value = false;
    return ParameterSpec::GetBool(GetParameter(name), value) && value;
}

bool Input::GetParameterBool(const char* name) const {
    return GetParameterBool(FromCString(name));
}

void Input::GetParameterList(const std::string& name, std::vector<std::string>& out) const {
    const auto it = parameters.find(name);
    if (it != parameters.end()) {
        out.insert(out.end(), it->second.begin(), it->second.end());
    }
}

void Input::GetParameterList(const char* name, std::vector<std::string>& out) const {
    GetParameterList(FromCString(name), out);
}

void Input::GetParameterIntList(const std::string& name, std::vector<long>& out) const {
    const auto it = parameters.find(name);
    if (it == parameters.end()) {
        return;
    }
    for (const std::string& text : it->second) {
        long value = 0;
        if (ParameterSpec::GetInt(text, value)) {
            out.push_back(value);
        }
    }
}

void Input::GetParameterBoolList(const std::string& name, std::vector<bool>& out) const {
    const auto it = parameters.find(name);
    if (it == parameters.end()) {
        return;
    }
    for (const std::string& text : it->second) {
        bool value = false;
        out.push_back(ParameterSpec::GetBool(text, value) && value);
    }
}

std::string Input::GetParameterListAsString(const std::string& name, char separator, bool quote) const {
    std::string text;
    if (quote) {
        text += '"';
    }
    const auto it = parameters.find(name);
    if (it != parameters.end()) {
        for (size_t i = 0; i < it->second.size(); ++i) {
            if (i > 0) {
                text += separator;
            }
            text += it->second[i];
        }
    }
    if (quote) {
        text += '"';
    }
    return text;
}

} // namespace Corvane::CallSpec
