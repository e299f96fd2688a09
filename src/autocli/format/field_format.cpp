// AutoCli_FormatField: display text of one scalar field with its units and printf parameters.
#include <corvane/format.h>

#include "autocli/format/format_internal.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace Corvane::AutoCli {

namespace {

// The format comes from the user, so the compiler cannot check it against the argument.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"

// Applies a user-supplied printf format to one value. `failed` is set (with errno set by the C
// library) when the formatting call reports an error; a value of another kind than the three
// scalars gives an empty result.
struct PrintfApplier {
    PrintfApplier(const std::string& format, std::size_t bufferSize) : format(format), buffer(bufferSize) {}

    const std::string& format;
    std::vector<char> buffer;
    std::string result;
    bool failed = false;

    template <typename Argument> void Print(Argument argument) {
        const int written = std::snprintf(buffer.data(), buffer.size(), format.c_str(), argument);
        if (written < 0) {
            failed = true;
            return;
        }
        // The buffer bounds the result; anything the format produces beyond it is cut off.
        result.assign(buffer.data(), std::min(static_cast<std::size_t>(written), buffer.size() - 1));
    }

    void operator()(const MetaInt& value) { Print(value.GetValue()); }
    void operator()(const MetaBool& value) { Print(value.GetValue() ? 1 : 0); }
    void operator()(const MetaString& value) { Print(value.GetValue().c_str()); }
    void operator()(const MetaStruct& /*value*/) {}
    void operator()(const MetaList& /*value*/) {}
    void Mismatch(MetaType /*kind*/) {}
    void Unknown() {}
};

#pragma GCC diagnostic pop

} // namespace

namespace Detail {

FieldFormatKeys LookUpFieldKeys(const FormatParameters& params, const std::string& typeName,
                                const std::string& fieldName) {
    const std::string suffix = typeName + "." + fieldName;
    const auto& map = params.GetParameters();
    FieldFormatKeys keys;
    keys.printfKey = "printf:" + suffix;
    auto printfIt = map.find(keys.printfKey);
    if (printfIt != map.end()) {
        keys.printfFormat = &printfIt->second;
    }
    auto unitsIt = map.find("units:" + suffix);
    if (unitsIt != map.end()) {
        keys.units = &unitsIt->second;
    }
    return keys;
}

std::string FormatFieldValue(const MetaObject& value, const FieldFormatKeys& keys) {
    std::string result = value.ToString();
    if (keys.printfFormat != nullptr) {
        PrintfApplier applier(*keys.printfFormat, keys.printfFormat->size() + result.size() + 65);
        errno = 0;
        VisitByKind(value, applier);
        if (applier.failed) {
            const int error = errno;
            return "Error while handling formatting parameter " + keys.printfKey +
                   ".  Unable to format field: " + std::strerror(error);
        }
        result = std::move(applier.result);
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
    return Detail::FormatFieldValue(*value, Detail::LookUpFieldKeys(params, typeName, fieldName));
}

} // namespace Corvane::AutoCli
