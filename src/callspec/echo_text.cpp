// EchoText: caller input made safe to repeat in a message, cut to a bound and with controls escaped.
#include <corvane/callspec.h>

#include <tarvik.h>

#include <algorithm>

namespace Corvane::CallSpec {

namespace {

void AppendByteEscape(std::string& out, unsigned char byte) {
    static const char kHex[] = "0123456789ABCDEF";
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0f];
}

// One character of `text` at `pos` as it is shown: its length in `text` and its shown form in
// `shown`. A byte that starts no valid sequence is a character of its own.
std::size_t ShowCharacter(const std::string& text, std::size_t pos, std::string& shown) {
    shown.clear();
    unsigned long codePoint = 0;
    const int length =
        TarvikText_DecodeOne(text.data() + pos, static_cast<long>(text.size() - pos), &codePoint);
    if (length <= 0) {
        AppendByteEscape(shown, static_cast<unsigned char>(text[pos]));
        return 1;
    }
    const auto size = static_cast<std::size_t>(length);
    if (codePoint < 0x20 || (codePoint >= 0x7f && codePoint <= 0x9f)) {
        for (std::size_t i = 0; i < size; ++i) {
            AppendByteEscape(shown, static_cast<unsigned char>(text[pos + i]));
        }
    } else {
        shown.assign(text, pos, size);
    }
    return size;
}

} // namespace

std::string EchoText(const std::string& text) {
    std::string out;
    out.reserve(std::min(text.size(), kEchoLimit) + 32);
    std::string shown;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t consumed = ShowCharacter(text, pos, shown);
        if (out.size() + shown.size() > kEchoLimit) {
            // Cut only when what is left does not fit: a text that fits whole is never marked.
            return out + "... (" + std::to_string(text.size()) + " bytes)";
        }
        out += shown;
        pos += consumed;
    }
    return out;
}

} // namespace Corvane::CallSpec
