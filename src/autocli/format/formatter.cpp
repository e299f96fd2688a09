// Formatter base class, formatter parameter declarations and indentation.
#include <corvane/format.h>

#include <utility>

namespace Corvane::AutoCli {

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
