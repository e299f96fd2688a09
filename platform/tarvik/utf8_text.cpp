// UTF-8 validation, decoding of one sequence, and the escaped, always valid rendering of arbitrary bytes.
#include "tarvik.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Length of the well-formed UTF-8 sequence starting at p (at most `left` bytes available), or 0 when
// the byte at p does not start one. Follows the table of well-formed byte sequences: the second byte
// range of E0, ED, F0 and F4 excludes overlong forms, surrogates and code points above U+10FFFF.
size_t SequenceLength(const unsigned char* p, size_t left) {
    unsigned char lead = p[0];
    if (lead < 0x80) {
        return 1;
    }
    size_t length;
    unsigned char secondLow = 0x80;
    unsigned char secondHigh = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) {
            secondLow = 0xA0;
        } else if (lead == 0xED) {
            secondHigh = 0x9F;
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) {
            secondLow = 0x90;
        } else if (lead == 0xF4) {
            secondHigh = 0x8F;
        }
    } else {
        return 0; // continuation byte, C0/C1 (always overlong) or F5..FF
    }
    if (left < length || p[1] < secondLow || p[1] > secondHigh) {
        return 0;
    }
    for (size_t i = 2; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

// Resolves the (text, length) pair of the public functions; false on a length below -1.
bool ResolveText(const char* text, long length, const unsigned char*& bytes, size_t& size) {
    if (length < -1) {
        return false;
    }
    if (text == nullptr) {
        bytes = reinterpret_cast<const unsigned char*>("");
        size = 0;
        return true;
    }
    bytes = reinterpret_cast<const unsigned char*>(text);
    size = length == -1 ? std::strlen(text) : static_cast<size_t>(length);
    return true;
}

const char hexDigits[] = "0123456789ABCDEF";

} // namespace

extern "C" int TarvikText_IsValid(const char* text, long length, int encoding) {
    const unsigned char* bytes;
    size_t size;
    if (encoding != TARVIK_ENCODING_UTF8 || !ResolveText(text, length, bytes, size)) {
        return 0;
    }
    size_t i = 0;
    while (i < size) {
        if (bytes[i] < 0x80) { // ASCII runs are the common case
            ++i;
            continue;
        }
        size_t n = SequenceLength(bytes + i, size - i);
        if (n == 0) {
            return 0;
        }
        i += n;
    }
    return 1;
}

extern "C" int TarvikText_DecodeOne(const char* text, long length, unsigned long* codePoint) {
    if (text == nullptr || length < 1 || codePoint == nullptr) {
        return 0;
    }
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    size_t n = SequenceLength(bytes, static_cast<size_t>(length));
    if (n == 0) {
        return 0;
    }
    // The lead byte keeps 7, 5, 4 or 3 payload bits for sequences of 1 to 4 bytes, each continuation 6.
    static const unsigned char leadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    unsigned long value = bytes[0] & leadMask[n];
    for (size_t i = 1; i < n; ++i) {
        value = (value << 6) | (bytes[i] & 0x3F);
    }
    *codePoint = value;
    return static_cast<int>(n);
}

extern "C" char* TarvikText_Escape(const char* text, long length, int encoding) {
    const unsigned char* bytes;
    size_t size;
    if (encoding != TARVIK_ENCODING_UTF8 || !ResolveText(text, length, bytes, size)) {
        errno = EINVAL;
        return nullptr;
    }
    // Worst case every byte becomes a four-character escape.
    if (size > (static_cast<size_t>(-1) - 1) / 4) {
        errno = ENOMEM;
        return nullptr;
    }
    char* result = static_cast<char*>(std::malloc(size * 4 + 1));
    if (result == nullptr) {
        errno = ENOMEM;
        return nullptr;
    }
    char* out = result;
    size_t i = 0;
    while (i < size) {
        unsigned char byte = bytes[i];
        size_t n = SequenceLength(bytes + i, size - i);
        if (n == 0 || byte == 0) {
            *out++ = '\\';
            *out++ = 'x';
            *out++ = hexDigits[byte >> 4];
            *out++ = hexDigits[byte & 0x0F];
            ++i;
        } else if (byte == '\\') {
            *out++ = '\\';
            *out++ = '\\';
            ++i;
        } else {
            std::memcpy(out, bytes + i, n);
            out += n;
            i += n;
        }
    }
    *out = '\0';
    return result;
}
