// AutoCli_FormatField: display text of one scalar field with its units and printf parameters.
#include <corvane/format.h>

#include "autocli/format/format_internal.h"

#include <corvane/metaobj.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace Corvane::AutoCli {

using MetaObj::MetaBool;
using MetaObj::MetaInt;
using MetaObj::MetaObject;
using MetaObj::MetaString;
using MetaObj::MetaType;

namespace {

// The format comes from the user, so the compiler cannot check it against the argument.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"

// Applies a user-supplied printf format to one value. Returns false (with errno set by the C
// library) when the formatting call reports an error.
bool ApplyPrintf(const MetaObject& value, const std::string& text, const std::string& format,
                 std::string& result) {
    // The buffer bounds the result; anything the format produces beyond it is cut off.
    std::vector<char> buffer(format.size() + text.size() + 65);
    int written = 0;
    switch (value.GetType()) {
    case MetaType::Int: {
        auto* integer = dynamic_cast<const MetaInt*>(&value);
        if (integer == nullptr) {
            result.clear();
            return true;
        }
        written = std::snprintf(buffer.data(), buffer.size(), format.c_str(), integer->GetValue());
        break;
    }
    case MetaType::Bool: {
        auto* boolean = dynamic_cast<const MetaBool*>(&value);
        if (boolean == nullptr) {
            result.clear();
            return true;
        }
        written = std::snprintf(buffer.data(), buffer.size(), format.c_str(), boolean->GetValue() ? 1 : 0);
        break;
    }
    case MetaType::String: {
        auto* string = dynamic_cast<const MetaString*>(&value);
        if (string == nullptr) {
            result.clear();
            return true;
        }
        written = std::snprintf(buffer.data(), buffer.size(), format.c_str(), string->GetValue().c_str());
        break;
    }
    default:
        result.clear();
        return true;
    }
    if (written < 0) {
        return false;
    }
    std::size_t length = static_cast<std::size_t>(written);
    if (length > buffer.size() - 1) {
        length = buffer.size() - 1;
    }
    result.assign(buffer.data(), length);
    return true;
}

#pragma GCC diagnostic pop

} // namespace

namespace Detail {

std::string FormatFieldValue(const MetaObject& value, const FieldFormatKeys& keys) {
    std::string result = value.ToString();
    if (keys.printfFormat != nullptr) {
        std::string formatted;
        errno = 0;
        if (!ApplyPrintf(value, result, *keys.printfFormat, formatted)) {
            int error = errno;
            return "Error while handling formatting parameter " + keys.printfKey +
                   ".  Unable to format field: " + std::strerror(error);
        }
        result = std::move(formatted);
    }
    if (keys.units != nullptr) {
        result += ' ';
        result += *keys.units;
    }
    return result;
}

} // namespace Detail

std::string AutoCli_FormatField(const std::string& typeName, const std::string& fieldName,
                                std::shared_ptr<MetaObject> value, FormatParameters& params) {
    if (!value) {
        return "NULL Object";
    }
    const std::string suffix = typeName + "." + fieldName;
    Detail::FieldFormatKeys keys;
    keys.printfKey = "printf:" + suffix;
    const auto& map = params.GetParameters();
    auto printfIt = map.find(keys.printfKey);
    if (printfIt != map.end()) {
        keys.printfFormat = &printfIt->second;
    }
    auto unitsIt = map.find("units:" + suffix);
    if (unitsIt != map.end()) {
        keys.units = &unitsIt->second;
    }
    return Detail::FormatFieldValue(*value, keys);
}

} // namespace Corvane::AutoCli
