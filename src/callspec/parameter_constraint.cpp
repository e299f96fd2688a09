// ParameterConstraint: ranges, sets and patterns restricting parameter values, with their texts.
#include <corvane/callspec.h>

#include "regex/regex_pattern.h"

#include <algorithm>
#include <utility>

namespace Corvane::CallSpec {

namespace {

void AppendError(const std::shared_ptr<Output>& output, std::string&& message) {
    if (output) {
        output->AddErrorMessage(std::move(message));
    }
}

} // namespace

std::shared_ptr<ParameterConstraint> ParameterConstraint::New(ParameterConstraintType type) {
    return std::make_shared<ParameterConstraint>(type);
}

ParameterConstraint::ParameterConstraint(ParameterConstraintType type) : type(type) {}

ParameterConstraintType ParameterConstraint::GetType() const {
    return type;
}

void ParameterConstraint::SetIntRange(long min, long max) {
    if (min > max) {
        throw CorvaneException(
            "Invalid values for SetIntRange, constraints must have a min value <= max value");
    }
    this->min = min;
    this->max = max;
}

void ParameterConstraint::GetIntRange(long& min, long& max) const {
    min = this->min;
    max = this->max;
}

void ParameterConstraint::AddIntEnum(long value) {
    if (std::find(intEnum.begin(), intEnum.end(), value) != intEnum.end()) {
        throw CorvaneException("Duplicate Value found in ParameterConstraint::AddIntEnum");
    }
    intEnum.push_back(value);
}

void ParameterConstraint::AddStringEnum(std::string value, std::string description) {
    if (std::find(stringEnum.begin(), stringEnum.end(), value) != stringEnum.end()) {
        throw CorvaneException("Duplicate Value found in ParameterConstraint::AddStringEnum: " + value);
    }
    stringEnum.push_back(value);
    if (!description.empty()) {
        try {
            stringEnumWithDesc[std::move(value)] = std::move(description);
        } catch (...) {
            stringEnum.pop_back(); // an allocation failure must not leave a half-added value
            throw;
        }
    }
}

void ParameterConstraint::AddStringEnum(const char* value, const char* description) {
    AddStringEnum(std::string(value ? value : ""), std::string(description ? description : ""));
}

void ParameterConstraint::AddStringEnum(const char* value) {
    AddStringEnum(std::string(value ? value : ""), std::string());
}

const std::vector<long>& ParameterConstraint::GetIntEnum() const {
    return intEnum;
}
const std::vector<std::string>& ParameterConstraint::GetStringEnum() const {
    return stringEnum;
}
const std::map<std::string, std::string>& ParameterConstraint::GetStringEnumWithDesc() const {
    return stringEnumWithDesc;
}

void ParameterConstraint::SetStringRegex(const std::string& pattern) {
    stringRegex = pattern;
}
const std::string& ParameterConstraint::GetStringRegex() const {
    return stringRegex;
}

std::string ParameterConstraint::ToString() const {
    switch (type) {
    case None:
        return "no constraint";
    case IntRange:
        return "integer in the range " + std::to_string(min) + "-" + std::to_string(max);
    case IntEnum: {
        std::string text = "[";
        for (size_t i = 0; i < intEnum.size(); ++i) {
            if (i > 0) {
                text += ", ";
            }
            text += std::to_string(intEnum[i]);
        }
        return text + "]";
    }
    case StringEnum: {
        std::string text = "[";
        for (size_t i = 0; i < stringEnum.size(); ++i) {
            if (i > 0) {
                text += ", ";
            }
            text += stringEnum[i];
        }
        return text + "]";
    }
    case StringRegex:
        return "a string matching the regular expression " + stringRegex;
    }
    return "unknown";
}

bool ParameterConstraint::Validate(const std::string& value, const std::string& name,
                                   const std::shared_ptr<Output>& output) const {
    switch (type) {
    case None:
        return true;
    case IntRange:
    case IntEnum: {
        long number = 0;
        if (!ParameterSpec::GetInt(value, number)) {
            AppendError(output, "Invalid data type for parameter '" + name + "'. Expected an Integer");
            return false;
        }
        if (type == IntRange) {
            if (number < min || number > max) {
                AppendError(output,
                            "Invalid data constraint for parameter '" + name + "'. Expected " + ToString());
                return false;
            }
            return true;
        }
        if (std::find(intEnum.begin(), intEnum.end(), number) == intEnum.end()) {
            AppendError(output, "Invalid data constraint for parameter '" + name +
                                    "'. Expected a single value from the set " + ToString());
            return false;
        }
        return true;
    }
    case StringEnum:
        if (std::find(stringEnum.begin(), stringEnum.end(), value) == stringEnum.end()) {
            AppendError(output, "Invalid data constraint for parameter '" + name +
                                    "'. Expected a single value from the set " + ToString() + " got '" +
                                    EchoText(value) + "'");
            return false;
        }
        return true;
    case StringRegex: {
        // Compiled on each call: a pattern is usually checked once per call of its command, and an
        // invalid pattern must surface here as boost::regex_error rather than when it is set.
        const Detail::RegexPattern pattern(stringRegex);
        if (!pattern.FullMatch(value)) {
            AppendError(output, "Invalid data constraint for parameter '" + name +
                                    "'. Value does not match the expected regular expression (" +
                                    stringRegex + ")");
            return false;
        }
        return true;
    }
    }
    return false;
}

} // namespace Corvane::CallSpec
