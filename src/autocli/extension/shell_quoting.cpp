// The quoting of a parameter value for the place of the shell text where it lands, and the escaping
// helpers of ExtensionCommand.
#include "autocli/extension/shell_quoting.h"

#include <corvane/plugins.h>

#include <cstring>

namespace Corvane::AutoCli {

bool isBadChar(char c) {
    switch (c) {
    case '\n':
    case '!':
    case '"':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':
    case ';':
    case '<':
    case '>':
    case '\\':
    case '^':
    case '`':
    case '|':
        return true;
    default:
        return false;
    }
}

std::string ExtensionCommand::SanitizeInput(const std::string& value) const {
    return ShellText::EscapeForWord(value);
}

std::string ExtensionCommand::SanitizeChar(const std::string& value, char c) const {
    return ShellText::Without(value, &c, 1);
}

namespace ShellText {

namespace {

const char kLineFeed[] = {'\n'};
const char kSingleQuoteBackslash[] = {'\'', '\\'};

// A backslash before every byte listed in `special`.
std::string BackslashBefore(const std::string& value, const char* special) {
    std::string result;
    result.reserve(value.size() + value.size() / 8 + 2);
    for (char c : value) {
        if (c != '\0' && std::strchr(special, c) != nullptr) {
            result += '\\';
        }
        result += c;
    }
    return result;
}

// Inside single quotes nothing can be escaped: each single quote of the value closes the quotes,
// stands escaped, and opens them again.
std::string EscapeForSingle(const std::string& value) {
    std::string result;
    result.reserve(value.size() + value.size() / 8 + 2);
    for (char c : value) {
        if (c == '\'') {
            result += "'\\''";
        } else {
            result += c;
        }
    }
    return result;
}

} // namespace

std::string EscapeForWord(const std::string& value) {
    std::string result;
    result.reserve(value.size() + value.size() / 8 + 2);
    for (char c : value) {
        if (isBadChar(c) || c == '#') {
            result += '\\';
        }
        result += c;
    }
    return result;
}

std::string Without(const std::string& value, const char* drop, std::size_t dropCount) {
    std::string result;
    result.reserve(value.size());
    for (char c : value) {
        bool dropped = false;
        for (std::size_t i = 0; i < dropCount; ++i) {
            dropped = dropped || c == drop[i];
        }
        if (!dropped) {
            result += c;
        }
    }
    return result;
}

// A quote that the template opened but never closes does not protect a value: the shell refuses the
// text or the value closes it, so the value is escaped as a word. Inside single and double quotes
// the value arrives byte for byte, except in a here-document body, where it loses its line feeds.
std::string QuoteFor(const std::string& value, Place place, bool quoteClosed, bool inHereDocBody) {
    std::string withoutLineFeeds;
    const std::string& text = inHereDocBody ? (withoutLineFeeds = Without(value, kLineFeed, 1)) : value;
    switch (place) {
    case Place::Comment:
        return Without(value, kLineFeed, 1);
    case Place::Single:
        return quoteClosed ? EscapeForSingle(text) : EscapeForWord(value);
    case Place::Ansi:
        return quoteClosed ? Without(text, kSingleQuoteBackslash, 2) : EscapeForWord(value);
    case Place::Double:
        return BackslashBefore(text, "$`\"\\");
    case Place::HereDoc:
        return BackslashBefore(Without(value, kLineFeed, 1), "$`\\");
    case Place::QuotedHereDoc:
        return Without(value, kLineFeed, 1);
    default:
        return EscapeForWord(value);
    }
}

} // namespace ShellText

} // namespace Corvane::AutoCli
