// Assembling the filled command: each piece of value text quoted for the place where it lands.
#include "autocli/extension/extension_command_shell.h"

#include "autocli/extension/shell_lexer.h"
#include "autocli/extension/shell_quoting.h"

#include <corvane/exception.h>

#include <cstring>

namespace Corvane::AutoCli::ShellText {

namespace {

// Reads the token that starts at work[pos] (a mark); returns the piece and moves pos past the token.
const Piece& ReadToken(const std::string& work, char mark, const std::vector<Piece>& pieces,
                       std::size_t& pos) {
    std::size_t index = 0;
    std::size_t i = pos + 1;
    while (work[i] != mark) {
        index = index * 10 + static_cast<std::size_t>(work[i++] - '0');
    }
    pos = i + 1;
    return pieces[index];
}

// True when `text` ends with a $ that no backslash escapes.
bool EndsWithActiveDollar(const std::string& text) {
    if (text.empty() || text.back() != '$') {
        return false;
    }
    std::size_t backslashes = 0;
    for (std::size_t i = text.size() - 1; i > 0 && text[i - 1] == '\\'; --i) {
        ++backslashes;
    }
    return backslashes % 2 == 0;
}

// True when the template byte at `pos` is shell syntax at `place` that a backslash before it would
// turn into a plain byte: a template backslash before an empty value would reach it, and join
// words or lines, open no quote, or run no operator.
bool EscapesSyntax(const std::string& work, std::size_t pos, char mark, Place place) {
    if (pos >= work.size() || work[pos] == mark || work[pos] == '\0') {
        return false;
    }
    return std::strchr(place == Place::Word ? " \t\n;&|<>()'\"`$\\" : "\n\"`$\\", work[pos]) != nullptr;
}

} // namespace

std::string FillRaw(const std::string& work, char mark, const std::vector<Piece>& pieces) {
    std::string result;
    result.reserve(work.size());
    for (std::size_t pos = 0; pos < work.size();) {
        if (work[pos] != mark) {
            result += work[pos++];
            continue;
        }
        const Piece& piece = ReadToken(work, mark, pieces, pos);
        if (piece.form == ValueForm::Quoted) {
            result += '"' + piece.text + '"';
        } else {
            result += piece.text;
        }
    }
    return result;
}

std::string FillCommand(const std::string& work, char mark, const std::vector<Piece>& pieces) {
    static const std::string refusal = "Unable to fill the command template: ";
    ShellLexer lexer;
    std::string result;
    result.reserve(work.size() + work.size() / 2);
    // The next single quote of the working text at or after the current position; tokens hold none.
    std::size_t quoteAt = work.find('\'');
    std::size_t pos = 0;
    auto emit = [&](const std::string& text, bool fromValue) {
        for (char v : text) {
            result += v;
            lexer.Feed(v, fromValue);
        }
    };
    auto quoteFor = [&](const std::string& value) {
        Place at = lexer.Current();
        bool quoteClosed = false;
        if (at == Place::Single || at == Place::Ansi) {
            if (quoteAt != std::string::npos && quoteAt < pos) {
                quoteAt = work.find('\'', pos);
            }
            quoteClosed = quoteAt != std::string::npos;
        }
        return QuoteFor(value, at, quoteClosed, lexer.InHereDocBody());
    };
    while (pos < work.size()) {
        char c = work[pos];
        if (c != mark) {
            result += c;
            lexer.Feed(c, false);
            ++pos;
            continue;
        }
        const Piece& piece = ReadToken(work, mark, pieces, pos);
        if (piece.form == ValueForm::Template) {
            emit(piece.text, false);
            continue;
        }
        // The shell gets its command as a C string: a NUL would silently cut off the rest of it.
        if (piece.text.find('\0') != std::string::npos) {
            throw CorvaneException(refusal + "a parameter value holds a NUL byte, which a shell command "
                                             "cannot carry");
        }
        const Place place = lexer.Current();
        if (place == Place::Backquoted) {
            throw CorvaneException(refusal + "a parameter value would stand inside backquotes; the template "
                                             "must use $(...) instead");
        }
        if (place == Place::Ambiguous) {
            throw CorvaneException(refusal + "a parameter value would follow $'...' quoting that holds a "
                                             "backslash, which shells read in different ways");
        }
        switch (lexer.UnreadPlace()) {
        case Unread::Expansion:
            throw CorvaneException(refusal + "a parameter value would stand inside ${...}, whose quoting "
                                             "shells read in different ways");
        case Unread::Arithmetic:
            throw CorvaneException(refusal + "a parameter value would stand inside $((...)), which the "
                                             "shell reads as arithmetic");
        case Unread::CasePattern:
            throw CorvaneException(refusal + "a parameter value would stand in a case pattern, which the "
                                             "shell reads as a pattern");
        case Unread::None:
            break;
        }
        // Inside double quotes and here-documents a value keeps its ( and {: after a $ of the
        // template they would open a command substitution or an expansion.
        if ((place == Place::Double || place == Place::HereDoc) && piece.form != ValueForm::Quoted &&
            EndsWithActiveDollar(result) && !piece.text.empty() &&
            (piece.text.front() == '(' || piece.text.front() == '{')) {
            throw CorvaneException(refusal + "a parameter value would follow a $ of the template and "
                                             "start a substitution with it");
        }
        // A template backslash right before the value would escape the value's first byte; a line
        // feed after it is a line continuation, which removes both in words, double quotes and
        // here-documents alike.
        if (piece.form == ValueForm::Quoted) {
            emit(lexer.EscapePending() ? "\n\"" : "\"", true);
            // The value is quoted for the place after the added quote: inside it in a plain word,
            // outside it where it closes the template's own double quotes.
            emit(quoteFor(piece.text), true);
            emit("\"", true);
        } else {
            std::string text = quoteFor(piece.text);
            if (lexer.EscapePending() && (!text.empty() || EscapesSyntax(work, pos, mark, place))) {
                text.insert(text.begin(), '\n');
            }
            emit(text, true);
            // A value that leaves a word start behind it (empty, only line feeds, which vanish, or
            // ending in a blank) would turn a template # glued to it into a comment that hides the
            // rest of the line; an empty quoted word keeps the # inside the word.
            if (pos < work.size() && work[pos] == '#' && lexer.HashStartsComment()) {
                emit("''", true);
            }
        }
    }
    if (const std::string* delimiter = lexer.HereDocEndedByValue()) {
        throw CorvaneException(refusal + "a parameter value would end the here-document delimited by " +
                               *delimiter);
    }
    return result;
}

} // namespace Corvane::AutoCli::ShellText
