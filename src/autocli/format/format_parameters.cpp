// FormatParameters: the formatter name and key/value options steering a formatter, and the field lists
// chosen from them.
#include <corvane/format.h>

#include "autocli/format/format_internal.h"

#include <utility>

namespace Corvane::AutoCli {

namespace Detail {

std::vector<std::string> SplitItems(const std::string& text, char separator) {
    std::vector<std::string> items;
    std::string::size_type start = 0;
    while (start < text.size()) {
        std::string::size_type end = text.find(separator, start);
        if (end == std::string::npos) {
            items.emplace_back(text, start);
            return items;
        }
        items.emplace_back(text, start, end - start);
        start = end + 1;
    }
    // The loop stops at the end of the text, so empty text and a final separator add no empty item.
    return items;
}

std::optional<std::vector<std::string>> ChosenFields(const FormatParameters& params,
                                                     const std::string& typeName) {
    const auto& map = params.GetParameters();
    auto it = map.find("fields:" + typeName);
    if (it == map.end()) {
        it = map.find("fields");
    }
    if (it == map.end()) {
        return std::nullopt;
    }
    return SplitItems(it->second, ',');
}

} // namespace Detail

namespace {
const std::string kEmptyValue;
} // namespace

FormatParameters::FormatParameters() = default;

void FormatParameters::SetFormatter(std::string name) {
    formatterName = std::move(name);
}

void FormatParameters::SetFormatter(const char* name) {
    formatterName = name != nullptr ? name : "";
}

const std::string& FormatParameters::GetFormatter() const {
    return formatterName;
}

const std::map<std::string, std::string>& FormatParameters::GetParameters() const {
    return parameters;
}

bool FormatParameters::HasParameter(const std::string& key) const {
    return parameters.count(key) != 0;
}

const std::string& FormatParameters::GetParameter(const std::string& key) const {
    auto it = parameters.find(key);
    return it != parameters.end() ? it->second : kEmptyValue;
}

void FormatParameters::SetParameter(const char* key, const char* value) {
    SetParameter(std::string(key != nullptr ? key : ""), std::string(value != nullptr ? value : ""));
}

void FormatParameters::SetParameter(std::string key, std::string value) {
    parameters[std::move(key)] = std::move(value);
}

void FormatParameters::OverrideValues(FormatParameters& other) {
    if (!other.formatterName.empty()) {
        formatterName = other.formatterName;
    }
    for (const auto& entry : other.parameters) {
        parameters[entry.first] = entry.second;
    }
}

std::vector<std::string> FormatParameters::GetParameterAsList(const std::string& key) const {
    return Detail::SplitItems(GetParameter(key), ',');
}

} // namespace Corvane::AutoCli
