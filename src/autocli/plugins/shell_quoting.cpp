// The quoting of a parameter value for the place of the shell text where it lands, and the escaping
// helpers of ExtensionCommand.
#include "shell_quoting.h"

#include <corvane/plugins.h>

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
const char kSingleQuote[] = {'\''};
const char kSingleQuoteBackslash[] = {'\'', '\\'};

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

std::string EscapeForDouble(const std::string& value) {
    std::string result;
    result.reserve(value.size() + value.size() / 8 + 2);
    for (char c : value) {
        if (c == '$' || c == '`' || c == '\\') {
            result += '\\';
        }
        result += c;
    }
    return result;
}

// A quote that the template opened but never closes does not protect a value: the shell refuses the
// text or the value closes it, so the value is escaped as a word.
std::string QuoteFor(const std::string& value, Place place, bool quoteClosed) {
    switch (place) {
    case Place::Comment:
        return Without(value, kLineFeed, 1);
    case Place::Single:
        return quoteClosed ? Without(value, kSingleQuote, 1) : EscapeForWord(value);
    case Place::Ansi:
        return quoteClosed ? Without(value, kSingleQuoteBackslash, 2) : EscapeForWord(value);
    case Place::HereDoc:
        return EscapeForDouble(Without(value, kLineFeed, 1));
    case Place::QuotedHereDoc:
        return Without(value, kLineFeed, 1);
    default:
        return EscapeForWord(value);
    }
}

} // namespace ShellText

} // namespace Corvane::AutoCli
