// UTF-8 decoding and hex digits for the string escapers of the json and python formatters.
#include "autocli/format/format_internal.h"

#include <tarvik.h>

namespace Corvane::AutoCli::Detail {

std::size_t DecodeAt(const std::string& text, std::size_t pos, unsigned long& codePoint) {
    const int length =
        TarvikText_DecodeOne(text.data() + pos, static_cast<long>(text.size() - pos), &codePoint);
    return static_cast<std::size_t>(length);
}

bool IsPlainKey(const std::string& name) {
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7e || byte == '"' || byte == '\\') {
            return false;
        }
    }
    return true;
}

void AppendHex(std::string& out, unsigned long value, int digits) {
    static const char kHex[] = "0123456789abcdef";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        out += kHex[(value >> shift) & 0x0f];
    }
}

} // namespace Corvane::AutoCli::Detail
