// Formatter base class, formatter parameter declarations, indentation, and the texts written for
// values that do not match their kind.
#include <corvane/format.h>

#include "autocli/format/format_internal.h"

#include <utility>

namespace Corvane::AutoCli {

namespace Detail {

const char* MismatchText(MetaType kind) {
    switch (kind) {
    case MetaType::Bool:
        return "Error reading a bool";
    case MetaType::Int:
        return "Error reading a int";
    case MetaType::String:
        return "Error reading a string";
    case MetaType::Struct:
        return "Error reading a struct from output.";
    case MetaType::List:
        return "Error reading a List";
    }
    return "";
}

const char kUnknownKindText[] = "Unknown data type";

} // namespace Detail

FormatterParam::FormatterParam(std::string name, std::string description, bool marked)
    : name(std::move(name)), description(std::move(description)), marked(marked) {}

Formatter::Formatter(const std::string& name) : name(name) {}

Formatter::~Formatter() = default;

const std::string& Formatter::GetName() const {
    return name;
}

const std::string& Formatter::GetDescription() const {
    return description;
}

const std::vector<FormatterParam>& Formatter::GetParams() const {
    return params;
}

void Formatter::SetDescription(const std::string& text) {
    description = text;
}

void Formatter::AddParam(const std::string& paramName, const std::string& paramDescription, bool marked) {
    params.emplace_back(paramName, paramDescription, marked);
}

std::string GetIndent(int level) {
    if (level <= 0) {
        return std::string();
    }
    return std::string(static_cast<std::string::size_type>(level) * 3, ' ');
}

} // namespace Corvane::AutoCli
