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

// The one conversion of a printf format, as far as the choice of argument depends on it.
struct Conversion {
    char letter = '\0';
    std::size_t longs = 0;    // how many 'l' length modifiers
    bool otherLength = false; // a length modifier other than "l" and "ll"
};

// Reads a user-supplied printf format: any number of "%%" and exactly one conversion of the form
// %[flags][width][.precision][length]letter, where the flags are "-+ #0'" and the width and precision
// are decimal. Returns null and fills `conversion` when the format has that shape, else the reason it
// cannot be used. Like the C library, reading stops at a NUL byte.
const char* ReadConversion(const std::string& format, Conversion& conversion) {
    std::size_t count = 0;
    for (const char* p = format.c_str(); *p != '\0'; ++p) {
        if (*p != '%') {
            continue;
        }
        ++p;
        if (*p == '%') {
            continue;
        }
        while (*p != '\0' && std::strchr("-+ #0'", *p) != nullptr) {
            ++p;
        }
        while (*p >= '0' && *p <= '9') {
            ++p;
        }
        if (*p == '.') {
            ++p;
            while (*p >= '0' && *p <= '9') {
                ++p;
            }
        }
        Conversion found;
        while (*p != '\0' && std::strchr("hlLqjzt", *p) != nullptr) {
            found.longs += *p == 'l' ? 1 : 0;
            found.otherLength = found.otherLength || *p != 'l';
            ++p;
        }
        if (*p == '*') {
            return "the format takes a width or precision from the argument list";
        }
        if (*p == '\0') {
            return "the format ends inside a conversion";
        }
        found.letter = *p;
        conversion = found;
        ++count;
    }
    if (count == 0) {
        return "the format has no conversion";
    }
    if (count > 1) {
        return "the format has more than one conversion";
    }
    return nullptr;
}

bool IsOneOf(char letter, const char* letters) {
    return letter != '\0' && std::strchr(letters, letter) != nullptr;
}

// Why `format` cannot print a scalar of `kind`, or null when its one conversion is one of the kind's
// letters with no more 'l' modifiers than the kind allows and no other length modifier. Null for the
// kinds that printf never formats.
const char* Misfit(const std::string& format, MetaType kind, Conversion& conversion) {
    const char* letters = nullptr;
    std::size_t maxLongs = 0;
    const char* misfit = nullptr;
    switch (kind) {
    case MetaType::Int:
        letters = "diouxX";
        maxLongs = 2;
        misfit = "the format does not fit an integer value";
        break;
    case MetaType::Bool:
        letters = "diouxXc";
        misfit = "the format does not fit a boolean value";
        break;
    case MetaType::String:
        letters = "s";
        misfit = "the format does not fit a string value";
        break;
    default:
        return nullptr;
    }
    const char* reason = ReadConversion(format, conversion);
    if (reason == nullptr &&
        (!IsOneOf(conversion.letter, letters) || conversion.otherLength || conversion.longs > maxLongs)) {
        reason = misfit;
    }
    return reason;
}

// The format comes from the user, so the compiler cannot check it against the argument; the
// conversion is checked against the value's kind before the call instead.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"

// Applies a user-supplied printf format to one value. `reason` is set when the format does not fit
// the value, `failed` (with errno set by the C library) when the formatting call reports an error; a
// value of another kind than the three scalars gives an empty result.
struct PrintfApplier {
    PrintfApplier(const std::string& format, std::size_t bufferSize) : format(format), buffer(bufferSize) {}

    const std::string& format;
    std::vector<char> buffer;
    std::string result;
    Conversion conversion;
    const char* reason = nullptr;
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

    void operator()(const MetaInt& value) {
        if ((reason = Misfit(format, MetaType::Int, conversion)) != nullptr) {
            return;
        }
        // The argument has the size the length modifier names, and is unsigned for the unsigned
        // conversions; the bits are those of the value cut to that size.
        const long number = value.GetValue();
        const bool isSigned = IsOneOf(conversion.letter, "di");
        switch (conversion.longs) {
        case 0:
            return isSigned ? Print(static_cast<int>(number)) : Print(static_cast<unsigned>(number));
        case 1:
            return isSigned ? Print(number) : Print(static_cast<unsigned long>(number));
        default:
            return isSigned ? Print(static_cast<long long>(number))
                            : Print(static_cast<unsigned long long>(number));
        }
    }
    void operator()(const MetaBool& value) {
        if ((reason = Misfit(format, MetaType::Bool, conversion)) == nullptr) {
            Print(value.GetValue() ? 1 : 0);
        }
    }
    void operator()(const MetaString& value) {
        if ((reason = Misfit(format, MetaType::String, conversion)) == nullptr) {
            Print(value.GetValue().c_str());
        }
    }
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

const char* PrintfMisfit(const std::string& format, MetaType kind) {
    Conversion conversion;
    return Misfit(format, kind, conversion);
}

std::string PrintfErrorText(const std::string& printfKey, const char* reason) {
    return "Error while handling formatting parameter " + printfKey + ".  Unable to format field: " + reason;
}

std::string FormatFieldValue(const MetaObject& value, const FieldFormatKeys& keys, bool* failed) {
    std::string result = value.ToString();
    if (keys.printfFormat != nullptr) {
        PrintfApplier applier(*keys.printfFormat, keys.printfFormat->size() + result.size() + 65);
        errno = 0;
        VisitByKind(value, applier);
        if (applier.reason != nullptr || applier.failed) {
            const int error = errno;
            if (failed != nullptr) {
                *failed = true;
            }
            return PrintfErrorText(keys.printfKey,
                                   applier.reason != nullptr ? applier.reason : std::strerror(error));
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
