// ParameterSpec: declaration of one command option, the integer and boolean value syntax, and value checks.
#include <corvane/callspec.h>

#include <cstdlib>
#include <utility>

namespace Corvane::CallSpec {

namespace {

// Parameter names are "[a-z0-9-]+" in full; checked by hand, as no regular expression is needed
// for a set of characters and none need then be compiled while the library loads.
bool FollowsNameRule(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    for (const char c : name) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) {
            return false;
        }
    }
    return true;
}

// The list types are the scalar types with this bit set.
constexpr std::int32_t kListTypeBit = 4;

const char* const kTrueWords[] = {"1", "yes", "y", "true", "True", "t", "T"};
const char* const kFalseWords[] = {"0", "no", "n", "false", "False", "f", "F"};

bool IsAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

void AppendError(const std::shared_ptr<Output>& output, std::string&& message) {
    if (output) {
        output->AddErrorMessage(std::move(message));
    }
}

// Replaces the first occurrence of `placeholder` in `text`; an earlier replacement may have
// consumed it (placeholders can share their percent signs), in which case nothing happens.
void ReplaceFirst(std::string& text, const std::string& placeholder, const std::string& replacement) {
    const std::string::size_type pos = text.find(placeholder);
    if (pos != std::string::npos) {
        text.replace(pos, placeholder.size(), replacement);
    }
}

} // namespace

std::shared_ptr<ParameterSpec> ParameterSpec::New(const std::string& name, ParameterType type) {
    return std::make_shared<ParameterSpec>(name, type);
}

std::shared_ptr<ParameterSpec> ParameterSpec::New(const char* name, ParameterType type) {
    return std::make_shared<ParameterSpec>(std::string(name ? name : ""), type);
}

std::shared_ptr<ParameterSpec> ParameterSpec::New(std::string&& name, ParameterType type) {
    return std::make_shared<ParameterSpec>(std::move(name), type);
}

ParameterSpec::ParameterSpec(std::string name, ParameterType type) : type(type), name(std::move(name)) {
    if (!FollowsNameRule(this->name)) {
        throw CorvaneException(
            "Invalid Parameter name '" + this->name +
            "' parameter names can only contain lower-case alphanumeric characters, numbers "
            "and '-'");
    }
}

const std::string& ParameterSpec::GetName() const {
    return name;
}
const std::string& ParameterSpec::GetShortName() const {
    return shortName;
}
ParameterType ParameterSpec::GetParameterType() const {
    return type;
}
ParameterType ParameterSpec::GetType() const {
    return type;
}
std::shared_ptr<ParameterConstraint> ParameterSpec::GetConstraint() const {
    return constraint;
}
bool ParameterSpec::IsRequired() const {
    return required;
}
bool ParameterSpec::IsSecret() const {
    return secret;
}
bool ParameterSpec::AllowMultiple() const {
    return type == StringList || type == IntList || type == BoolList;
}

std::string ParameterSpec::GetDescription(bool expand) const {
    if (!expand || !constraint) {
        return description;
    }
    static const std::string regexPlaceholder = "%REGEX%";
    static const std::string enumPlaceholder = "%ENUM%";
    static const std::string fullEnumPlaceholder = "%FULLENUM%";

    // The placeholders are looked for in the stored text and replaced in the copy, so a constraint
    // text that itself contains a placeholder is never expanded a second time.
    std::string text = description;
    if (description.find(regexPlaceholder) != std::string::npos) {
        ReplaceFirst(text, regexPlaceholder, constraint->ToString());
    }
    if (description.find(enumPlaceholder) != std::string::npos) {
        ReplaceFirst(text, enumPlaceholder, constraint->ToString());
    }
    if (description.find(fullEnumPlaceholder) != std::string::npos) {
        std::string fullList;
        if (constraint->GetType() == StringEnum) {
            for (const auto& entry : constraint->GetStringEnumWithDesc()) {
                fullList += "\n    ";
                fullList += entry.first;
                fullList += ": ";
                fullList += entry.second;
            }
            if (!fullList.empty()) {
                fullList += "\n";
            }
        }
        ReplaceFirst(text, fullEnumPlaceholder, fullList);
    }
    return text;
}

void ParameterSpec::SetShortName(std::string shortName) {
    if (shortName.size() != 1 || !IsAsciiAlnum(shortName[0])) {
        throw CorvaneException("Invalid value for shortName, must be a single character a-z, A-Z or 0-9");
    }
    this->shortName = std::move(shortName);
}

void ParameterSpec::SetShortName(const char* shortName) {
    SetShortName(std::string(shortName ? shortName : ""));
}

void ParameterSpec::SetDescription(std::string text) {
    description = std::move(text);
}
void ParameterSpec::SetDescription(const char* text) {
    description = text ? text : "";
}

void ParameterSpec::SetRequired(bool required) {
    this->required = required;
}

void ParameterSpec::SetSecret(bool secret) {
    if (type != String) {
        throw CorvaneException("Cannot be set for parameter " + name);
    }
    this->secret = secret;
}

void ParameterSpec::SetConstraint(const std::shared_ptr<ParameterConstraint>& constraint) {
    if (!constraint) {
        return;
    }
    bool fits = false;
    switch (constraint->GetType()) {
    case IntRange:
    case IntEnum:
        fits = type == Int || type == IntList;
        break;
    case StringEnum:
    case StringRegex:
        fits = type == String || type == StringList;
        break;
    default:
        fits = false;
        break;
    }
    if (!fits) {
        throw CorvaneException(
            "Invalid constraint specified for parameter " + name +
            ".  The parameter constraint specified is not allowed for a parameter of this type.");
    }
    this->constraint = constraint;
}

bool ParameterSpec::GetInt(const std::string& text, long& result) {
    if (text.empty()) {
        return false;
    }
    const char* begin = text.c_str();
    char* end = nullptr;
    // Out-of-range values saturate at LLONG_MIN/LLONG_MAX; errno is deliberately not consulted.
    const long long value = std::strtoll(begin, &end, 10);
    if (end != begin + text.size()) {
        return false;
    }
    result = static_cast<long>(value);
    return true;
}

bool ParameterSpec::GetBool(const std::string& text, bool& result) {
    for (const char* word : kTrueWords) {
        if (text == word) {
            result = true;
            return true;
        }
    }
    for (const char* word : kFalseWords) {
        if (text == word) {
            result = false;
            return true;
        }
    }
    return false;
}

bool ParameterSpec::Validate(const std::vector<std::string>& values,
                             const std::shared_ptr<Output>& output) const {
    if (values.empty()) {
        AppendError(output, "Missing value for parameter " + name);
        return false;
    }
    bool valid = true;
    if (values.size() > 1 && !AllowMultiple()) {
        AppendError(output,
                    "Found multiple values for " + name + " this parameter can only accept a single value.");
        valid = false;
    }
    const ParameterType elementType = static_cast<ParameterType>(type & ~kListTypeBit);
    for (const std::string& value : values) {
        bool typeOk = true;
        switch (elementType) {
        case Int: {
            long number = 0;
            if (!GetInt(value, number)) {
                AppendError(output, "Invalid data '" + EchoText(value) + "' for parameter " + name +
                                        " expected type Integer");
                typeOk = false;
            }
            break;
        }
        case Bool: {
            bool flag = false;
            if (!GetBool(value, flag)) {
                AppendError(
                    output,
                    "Invalid data '" + EchoText(value) + "' for parameter " + name +
                        " expected one of [1, 0, y, n, true, false, True, False, yes, no, t, f, T, F]");
                typeOk = false;
            }
            break;
        }
        case Flag:
            if (!value.empty()) {
                AppendError(output, "Invalid data '" + EchoText(value) + "' for parameter " + name +
                                        ".  This parameter is a flag and cannot accept any values. ");
                typeOk = false;
            }
            break;
        default:
            break;
        }
        // A value that failed its type check never reaches the constraint.
        if (!typeOk || (constraint && !constraint->Validate(value, name, output))) {
            valid = false;
        }
    }
    return valid;
}

} // namespace Corvane::CallSpec
