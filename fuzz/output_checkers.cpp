// The output checkers of the fuzz targets: a JSON reader and a Python literal reader.
#include "fuzz_support.h"

#include <tarvik.h>

#include <cstring>

namespace Corvane::Fuzz {

namespace {

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned long HexValue(char c) {
    const unsigned long byte = static_cast<unsigned char>(c);
    return byte <= '9' ? byte - '0' : (byte | 0x20U) - 'a' + 10;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A recursive-descent reader over one text, shared by both checkers. Every Read* returns false
// with `error` set at the first byte that does not fit.
class Reader {
public:
    Reader(const std::string& text, std::string& error) : text(text), error(error) {}

    bool Fails(const std::string& what) {
        error = what + " at byte " + std::to_string(pos);
        return false;
    }
    bool AtEnd() const { return pos >= text.size(); }
    char Peek() const { return AtEnd() ? '\0' : text[pos]; }
    bool Literal(const char* word) {
        const std::size_t length = std::strlen(word);
        if (text.compare(pos, length, word) != 0) {
            return false;
        }
        pos += length;
        return true;
    }
    void SkipBlanks() {
        while (!AtEnd() &&
               (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\n' || text[pos] == '\r')) {
            ++pos;
        }
    }
    // Guards the recursion of both grammars; formatter output of the fuzzed trees stays far below.
    bool Deeper() { return ++depth <= 2000 || Fails("nesting too deep"); }
    void Shallower() { --depth; }

    const std::string& text;
    std::string& error;
    std::size_t pos = 0;
    int depth = 0;
};

// The items of a mapping (key: value) or a sequence after its opening bracket, up to the closing
// one; `trailingComma` admits a comma before the closing bracket.
bool ReadItems(Reader& r, bool mapping, bool trailingComma, bool (*key)(Reader&), bool (*value)(Reader&)) {
    const char close = mapping ? '}' : ']';
    r.SkipBlanks();
    if (r.Peek() == close) {
        ++r.pos;
        return true;
    }
    for (;;) {
        r.SkipBlanks();
        if (mapping) {
            if (!key(r)) {
                return false;
            }
            r.SkipBlanks();
            if (!r.Literal(":")) {
                return r.Fails("expected ':'");
            }
        }
        if (!value(r)) {
            return false;
        }
        r.SkipBlanks();
        if (r.Peek() == close) {
            ++r.pos;
            return true;
        }
        if (!r.Literal(",")) {
            return r.Fails(mapping ? "expected ',' or '}'" : "expected ',' or ']'");
        }
        r.SkipBlanks();
        if (trailingComma && r.Peek() == close) {
            ++r.pos;
            return true;
        }
    }
}

// JSON ------------------------------------------------------------------------------------------

bool ReadJsonValue(Reader& r);

bool ReadJsonString(Reader& r) {
    if (!r.Literal("\"")) {
        return r.Fails("expected a string");
    }
    while (!r.AtEnd()) {
        const char c = r.text[r.pos++];
        if (c == '"') {
            return true;
        }
        if (static_cast<unsigned char>(c) < 0x20) {
            --r.pos;
            return r.Fails("raw control character in a string");
        }
        if (c != '\\') {
            continue;
        }
        const char escape = r.Peek();
        ++r.pos;
        if (escape == 'u') {
            for (int i = 0; i < 4; ++i, ++r.pos) {
                if (!IsHex(r.Peek())) {
                    return r.Fails("bad \\u escape");
                }
            }
        } else if (std::strchr("\"\\/bfnrt", escape) == nullptr || escape == '\0') {
            --r.pos;
            return r.Fails("bad escape");
        }
    }
    return r.Fails("unterminated string");
}

bool ReadJsonNumber(Reader& r) {
    r.Literal("-");
    if (r.Literal("0")) {
    } else if (IsDigit(r.Peek())) {
        while (IsDigit(r.Peek())) {
            ++r.pos;
        }
    } else {
        return r.Fails("bad number");
    }
    if (r.Literal(".")) {
        if (!IsDigit(r.Peek())) {
            return r.Fails("bad fraction");
        }
        while (IsDigit(r.Peek())) {
            ++r.pos;
        }
    }
    if (r.Peek() == 'e' || r.Peek() == 'E') {
        ++r.pos;
        if (r.Peek() == '+' || r.Peek() == '-') {
            ++r.pos;
        }
        if (!IsDigit(r.Peek())) {
            return r.Fails("bad exponent");
        }
        while (IsDigit(r.Peek())) {
            ++r.pos;
        }
    }
    return true;
}

bool ReadJsonValue(Reader& r) {
    r.SkipBlanks();
    if (!r.Deeper()) {
        return false;
    }
    bool ok = false;
    const char c = r.Peek();
    if (c == '{' || c == '[') {
        ++r.pos;
        ok = ReadItems(r, c == '{', false, &ReadJsonString, &ReadJsonValue);
    } else if (c == '"') {
        ok = ReadJsonString(r);
    } else if (c == '-' || IsDigit(c)) {
        ok = ReadJsonNumber(r);
    } else {
        ok = r.Literal("true") || r.Literal("false") || r.Literal("null") || r.Fails("expected a value");
    }
    r.Shallower();
    return ok;
}

// Python ----------------------------------------------------------------------------------------

bool ReadPythonValue(Reader& r);

// The escapes a str literal refuses: \x without two hex digits, \u without four, \U without eight
// or beyond U+10FFFF, and \N, which needs a {name} the formatter never writes.
bool ReadPythonEscape(Reader& r) {
    if (r.AtEnd()) {
        return r.Fails("backslash at the end");
    }
    const char escape = r.Peek();
    ++r.pos;
    int digits = 0;
    if (escape == 'x') {
        digits = 2;
    } else if (escape == 'u') {
        digits = 4;
    } else if (escape == 'U') {
        digits = 8;
    } else if (escape == 'N') {
        return r.Fails("\\N escape");
    }
    unsigned long code = 0;
    for (int i = 0; i < digits; ++i, ++r.pos) {
        if (!IsHex(r.Peek())) {
            return r.Fails(std::string("truncated \\") + escape + " escape");
        }
        code = code * 16 + HexValue(r.Peek());
    }
    if (escape == 'U' && code > 0x10FFFF) {
        return r.Fails("\\U escape beyond U+10FFFF");
    }
    return true;
}

// Single- or triple-quoted, with either quote character; no prefix.
bool ReadPythonString(Reader& r) {
    const char quote = r.Peek();
    if (quote != '"' && quote != '\'') {
        return r.Fails("expected a string");
    }
    const std::string triple(3, quote);
    const bool isTriple = r.Literal(triple.c_str());
    if (!isTriple) {
        ++r.pos;
    }
    while (!r.AtEnd()) {
        if (isTriple ? r.Literal(triple.c_str()) : r.Literal(std::string(1, quote).c_str())) {
            return true;
        }
        const char c = r.text[r.pos++];
        if (c == '\0') {
            --r.pos;
            return r.Fails("NUL byte in the source");
        }
        if (c == '\n' && !isTriple) {
            --r.pos;
            return r.Fails("line feed in a one-line string");
        }
        if (c == '\\' && !ReadPythonEscape(r)) {
            return false;
        }
    }
    return r.Fails("unterminated string");
}

bool ReadPythonValue(Reader& r) {
    r.SkipBlanks();
    if (!r.Deeper()) {
        return false;
    }
    bool ok = false;
    const char c = r.Peek();
    if (c == '{' || c == '[') {
        ++r.pos;
        ok = ReadItems(r, c == '{', true, &ReadPythonValue, &ReadPythonValue);
    } else if (c == '"' || c == '\'') {
        ok = ReadPythonString(r);
    } else if (c == '-' || IsDigit(c)) {
        r.Literal("-");
        // A decimal integer: no leading zero except the number 0 itself.
        if (r.Literal("0")) {
            ok = !IsDigit(r.Peek()) || r.Fails("leading zero");
        } else if (IsDigit(r.Peek())) {
            while (IsDigit(r.Peek())) {
                ++r.pos;
            }
            ok = true;
        } else {
            ok = r.Fails("bad integer");
        }
    } else {
        ok = r.Literal("True") || r.Literal("False") || r.Literal("None") || r.Fails("expected a value");
    }
    r.Shallower();
    return ok;
}

bool IsUtf8(const std::string& text, std::string& error) {
    if (TarvikText_IsValid(text.data(), static_cast<long>(text.size()), TARVIK_ENCODING_UTF8) == 0) {
        error = "not valid UTF-8";
        return false;
    }
    return true;
}

} // namespace

bool IsJsonDocument(const std::string& text, std::string& error) {
    if (!IsUtf8(text, error)) {
        return false;
    }
    Reader r(text, error);
    if (!ReadJsonValue(r)) {
        return false;
    }
    r.SkipBlanks();
    return r.AtEnd() || r.Fails("text after the value");
}

bool IsPythonLiteral(const std::string& text, std::string& error) {
    if (!IsUtf8(text, error)) {
        return false;
    }
    Reader r(text, error);
    if (!ReadPythonValue(r)) {
        return false;
    }
    return r.Literal("\n") && r.AtEnd() ? true : r.Fails("expected one final line feed");
}

} // namespace Corvane::Fuzz
