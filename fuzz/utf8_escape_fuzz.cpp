// Fuzz target of UTF-8 validation and escaping: the platform's escaped rendering and the string
// values built from untrusted bytes through it.
#include "fuzz_support.h"

#include <corvane/metaobj.h>

#include <tarvik.h>

#include <cstdlib>
#include <string>

namespace {

using Corvane::Fuzz::Fail;

bool IsValid(const std::string& text) {
    return TarvikText_IsValid(text.data(), static_cast<long>(text.size()), TARVIK_ENCODING_UTF8) != 0;
}

std::string Escape(const std::string& text) {
    char* escaped = TarvikText_Escape(text.data(), static_cast<long>(text.size()), TARVIK_ENCODING_UTF8);
    if (escaped == nullptr) {
        Fail("escaping failed", text);
    }
    std::string result(escaped);
    std::free(escaped);
    return result;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The documented decoding: "\\" is one backslash and "\xNN" (upper-case hex) one byte. Returns
// false for any other backslash sequence, which a rendering must never hold.
bool Unescape(const std::string& text, std::string& bytes) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '\\') {
            bytes += '\\';
            ++i;
        } else if (i + 3 < text.size() && text[i + 1] == 'x' && HexDigit(text[i + 2]) >= 0 &&
                   HexDigit(text[i + 3]) >= 0) {
            bytes += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const bool valid = IsValid(text);

    const std::string escaped = Escape(text);
    if (!IsValid(escaped) || escaped.find('\0') != std::string::npos) {
        Fail("the rendering is not valid UTF-8 free of NUL", text);
    }
    std::string decoded;
    if (!Unescape(escaped, decoded) || decoded != text) {
        Fail("decoding the rendering does not give the bytes back", text + "\n----\n" + escaped);
    }
    const bool plain = text.find('\\') == std::string::npos && text.find('\0') == std::string::npos;
    if (valid && plain && escaped != text) {
        Fail("valid text without backslash or NUL changed", text);
    }
    // A NUL-terminated call sees the text up to its first NUL.
    const std::string head = text.substr(0, text.find('\0'));
    char* terminated = TarvikText_Escape(head.c_str(), -1, TARVIK_ENCODING_UTF8);
    if (terminated == nullptr || Escape(head) != terminated) {
        Fail("the NUL-terminated call differs from the explicit length", text);
    }
    std::free(terminated);

    // String values read their text as a C string: a valid text (up to its first NUL) is kept byte
    // for byte, NULs and all, anything else becomes the rendering of that prefix; building a value
    // from a value's text changes nothing.
    auto value = Corvane::MetaObj::MetaString::NewUtf8WithEscapes(std::string(text));
    const std::string& stored = value->GetValue();
    if (!IsValid(stored.substr(0, stored.find('\0')))) {
        Fail("a string value holds invalid UTF-8", text);
    }
    if (IsValid(head) ? stored != text : stored != Escape(head)) {
        Fail("a string value is neither the text nor its rendering", text + "\n----\n" + stored);
    }
    if (Corvane::MetaObj::MetaString::NewUtf8WithEscapes(std::string(stored))->GetValue() != stored) {
        Fail("building a string value is not idempotent", text);
    }
    return 0;
}
