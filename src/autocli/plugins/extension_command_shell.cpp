// Shell escaping of parameter values, and the lexer that tells where in /bin/sh text a value lands.
#include <corvane/plugins.h>

#include "extension_command_shell.h"

#include <cstdint>

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

// Where a byte of shell text stands, as far as escaping a value there is concerned.
enum class Place {
    Word,          // unquoted, also inside $(...) and ${...}
    Comment,       // after an unquoted # that starts a word, up to the line end
    Double,        // inside "..."
    Single,        // inside '...'
    Ansi,          // inside $'...' (bash reads backslash escapes there, dash does not)
    HereDoc,       // in the body of a here-document whose delimiter is not quoted
    QuotedHereDoc, // in the body of a here-document whose delimiter is quoted
    Backquoted,    // anywhere inside `...`: refused, the backquote layer rereads backslashes
    Ambiguous,     // after $'...' holding a backslash: dash and bash disagree about what follows
};

bool IsBlankOrOperator(char c) {
    switch (c) {
    case ' ':
    case '\t':
    case '\n':
    case ';':
    case '&':
    case '|':
    case '<':
    case '>':
    case '(':
    case ')':
        return true;
    default:
        return false;
    }
}

// Follows the quoting of shell text byte by byte, the way /bin/sh reads it: backslashes, single,
// double and $'...' quotes, comments, $(...), ${...}, backquotes and here-documents. It is fed the
// real command text, values included, so that the place it reports for the next byte is the place
// the shell will see. It does not follow case patterns inside $(...) (their unbalanced ")" closes
// the substitution early) nor the inner quoting of backquotes (values there are refused).
class ShellLexer {
public:
    ShellLexer() { frames.emplace_back(Kind::Top); }

    Place Current() const {
        if (ambiguous)
            return Place::Ambiguous;
        if (backquotes > 0)
            return Place::Backquoted;
        switch (frames.back().kind) {
        case Kind::Double:
        case Kind::BraceInDouble:
            return Place::Double;
        case Kind::Single:
            return Place::Single;
        case Kind::Ansi:
            return Place::Ansi;
        case Kind::Body:
            return frames.back().quoted ? Place::QuotedHereDoc : Place::HereDoc;
        default:
            return comment ? Place::Comment : Place::Word;
        }
    }

    // True when the previous byte was a backslash that escapes the next one.
    bool EscapePending() const { return escape; }

    // Set once a line that a value helped to write ended a here-document.
    const std::string* HereDocEndedByValue() const { return valueEndedBody ? &endedDelimiter : nullptr; }

    void Feed(char c, bool fromValue) {
        if (!bodies.empty() && bodies.back() + 1 != frames.size()) {
            Frame& body = frames[bodies.back()];
            // Bytes of a substitution inside a here-document line still belong to that line.
            body.line += c;
            body.lineHasValue = body.lineHasValue || fromValue;
        }
        switch (frames.back().kind) {
        case Kind::Top:
        case Kind::CmdSubst:
        case Kind::Brace:
        case Kind::Backquote:
            FeedWord(c);
            break;
        case Kind::Double:
        case Kind::BraceInDouble:
            FeedDouble(c);
            break;
        case Kind::Single:
        case Kind::Ansi:
            FeedSingle(c);
            break;
        case Kind::Body:
            FeedBody(c, fromValue);
            break;
        }
    }

private:
    enum class Kind : std::uint8_t {
        Top,
        CmdSubst,
        Brace,
        Backquote,
        Double,
        BraceInDouble,
        Single,
        Ansi,
        Body
    };

    struct Frame {
        explicit Frame(Kind frameKind) : kind(frameKind) {}

        Kind kind;
        int parens = 0;
        // Here-document bodies only.
        std::string delimiter;
        bool stripTabs = false;
        bool quoted = false;
        std::string line;
        bool lineHasValue = false;
    };

    struct PendingBody {
        std::string delimiter;
        bool stripTabs;
        bool quoted;
    };

    // Reading the delimiter word after <<.
    enum class Operator : std::uint8_t { None, AfterOperator, Blanks, Word };

    std::vector<Frame> frames;
    std::vector<std::size_t> bodies; // indexes of the here-document frames in `frames`
    std::vector<PendingBody> pending;
    std::size_t nextPending = 0;
    int backquotes = 0;
    bool escape = false;
    bool dollar = false;
    bool less = false;
    bool wordStart = true;
    bool comment = false;
    bool ambiguous = false;
    bool valueEndedBody = false;
    std::string endedDelimiter;

    Operator op = Operator::None;
    bool opStrip = false;
    bool opQuoted = false;
    bool opEscape = false;
    char opQuote = 0;
    std::string opWord;

    void Push(Kind kind) {
        frames.emplace_back(kind);
        if (kind == Kind::Backquote)
            ++backquotes;
    }

    void Pop() {
        if (frames.size() <= 1)
            return;
        if (frames.back().kind == Kind::Backquote)
            --backquotes;
        if (frames.back().kind == Kind::Body)
            bodies.pop_back();
        frames.pop_back();
        wordStart = false;
        comment = false;
    }

    // An unescaped backquote closes the innermost `...` whatever quoting was opened inside it.
    void Backquote() {
        if (backquotes == 0) {
            Push(Kind::Backquote);
            wordStart = true;
            return;
        }
        while (frames.back().kind != Kind::Backquote)
            Pop();
        Pop();
    }

    void StartNextBody() {
        if (nextPending >= pending.size()) {
            pending.clear();
            nextPending = 0;
            return;
        }
        const PendingBody& next = pending[nextPending++];
        Frame frame(Kind::Body);
        frame.delimiter = next.delimiter;
        frame.stripTabs = next.stripTabs;
        frame.quoted = next.quoted;
        bodies.push_back(frames.size());
        frames.push_back(std::move(frame));
        escape = dollar = false;
    }

    void FeedWord(char c) {
        if (comment) {
            if (c != '\n')
                return;
            comment = false;
        }
        if (op != Operator::None && FeedOperator(c))
            return;
        if (escape) {
            escape = false;
            if (c != '\n')
                wordStart = false;
            return;
        }
        bool wasDollar = dollar;
        bool wasLess = less;
        dollar = less = false;
        if (c == '\\') {
            escape = true;
            return;
        }
        Frame& frame = frames.back();
        if (wasDollar) {
            if (c == '(') {
                Push(Kind::CmdSubst);
                wordStart = true;
                return;
            }
            if (c == '{') {
                Push(Kind::Brace);
                return;
            }
            if (c == '\'') {
                Push(Kind::Ansi);
                return;
            }
        }
        switch (c) {
        case '$':
            dollar = true;
            wordStart = false;
            return;
        case '\'':
            Push(Kind::Single);
            return;
        case '"':
            Push(Kind::Double);
            return;
        case '`':
            Backquote();
            return;
        case '#':
            if (wordStart && frame.kind != Kind::Brace)
                comment = true;
            else
                wordStart = false;
            return;
        case '(':
            ++frame.parens;
            wordStart = true;
            return;
        case ')':
            if (frame.parens > 0) {
                --frame.parens;
            } else if (frame.kind == Kind::CmdSubst) {
                Pop();
                return;
            }
            wordStart = true;
            return;
        case '}':
            if (frame.kind == Kind::Brace)
                Pop();
            wordStart = false;
            return;
        case '<':
            if (wasLess) {
                op = Operator::AfterOperator;
                opStrip = false;
            } else {
                less = true;
            }
            wordStart = true;
            return;
        case '\n':
            wordStart = true;
            if (nextPending < pending.size())
                StartNextBody();
            return;
        case ' ':
        case '\t':
        case ';':
        case '&':
        case '|':
        case '>':
            wordStart = true;
            return;
        default:
            wordStart = false;
            return;
        }
    }

    // Reads the here-document operator's delimiter word; false hands the byte back to FeedWord.
    bool FeedOperator(char c) {
        switch (op) {
        case Operator::AfterOperator:
            if (c == '<') { // <<< is a here-string, not a here-document
                op = Operator::None;
                return true;
            }
            if (c == '-') {
                opStrip = true;
                op = Operator::Blanks;
                return true;
            }
            op = Operator::Blanks;
            [[fallthrough]];
        case Operator::Blanks:
            if (c == ' ' || c == '\t')
                return true;
            if (IsBlankOrOperator(c)) {
                op = Operator::None;
                return false;
            }
            op = Operator::Word;
            opWord.clear();
            opQuoted = opEscape = false;
            opQuote = 0;
            [[fallthrough]];
        case Operator::Word:
            if (opEscape) {
                opWord += c;
                opEscape = false;
                return true;
            }
            if (opQuote == '\'') {
                if (c == '\'')
                    opQuote = 0;
                else
                    opWord += c;
                return true;
            }
            if (opQuote == '"') {
                if (c == '\\')
                    opEscape = true;
                else if (c == '"')
                    opQuote = 0;
                else
                    opWord += c;
                return true;
            }
            if (c == '\\' || c == '\'' || c == '"') {
                opQuoted = true;
                if (c == '\\')
                    opEscape = true;
                else
                    opQuote = c;
                return true;
            }
            if (IsBlankOrOperator(c)) {
                pending.push_back(PendingBody{opWord, opStrip, opQuoted});
                op = Operator::None;
                return false;
            }
            opWord += c;
            return true;
        case Operator::None:
            break;
        }
        return false;
    }

    void FeedDouble(char c) {
        if (escape) {
            escape = false;
            return;
        }
        bool wasDollar = dollar;
        dollar = false;
        if (c == '\\') {
            escape = true;
            return;
        }
        if (wasDollar && c == '(') {
            Push(Kind::CmdSubst);
            wordStart = true;
            return;
        }
        if (wasDollar && c == '{') {
            Push(Kind::BraceInDouble);
            return;
        }
        switch (c) {
        case '$':
            dollar = true;
            return;
        case '`':
            Backquote();
            return;
        case '"':
            if (frames.back().kind == Kind::Double)
                Pop();
            else
                Push(Kind::Double);
            return;
        case '}':
            if (frames.back().kind == Kind::BraceInDouble)
                Pop();
            return;
        default:
            return;
        }
    }

    // Single quotes and $'...'. Inside backquotes the closing backquote is found before quotes are
    // read, and a backslash there protects the next byte from that search.
    void FeedSingle(char c) {
        bool ansi = frames.back().kind == Kind::Ansi;
        if (escape) {
            escape = false;
            return;
        }
        if (c == '\\' && (ansi || backquotes > 0)) {
            escape = true;
            // bash reads $'\'' as one quote, dash as the end of the quotes: nothing after this can
            // be placed the same way for both.
            ambiguous = ambiguous || ansi;
            return;
        }
        if (c == '`' && backquotes > 0) {
            Backquote();
            return;
        }
        if (c == '\'')
            Pop();
    }

    void FeedBody(char c, bool fromValue) {
        Frame& body = frames.back();
        if (escape) {
            escape = false;
            if (c == '\n') { // a continued line: the backslash and line feed vanish
                body.line.pop_back();
                return;
            }
            body.line += c;
            body.lineHasValue = body.lineHasValue || fromValue;
            return;
        }
        if (c == '\n') {
            EndBodyLine();
            return;
        }
        body.line += c;
        body.lineHasValue = body.lineHasValue || fromValue;
        if (body.quoted)
            return;
        bool wasDollar = dollar;
        dollar = false;
        if (c == '\\') {
            escape = true;
        } else if (wasDollar && c == '(') {
            Push(Kind::CmdSubst);
            wordStart = true;
        } else if (wasDollar && c == '{') {
            Push(Kind::BraceInDouble);
        } else if (c == '$') {
            dollar = true;
        } else if (c == '`') {
            Backquote();
        }
    }

    void EndBodyLine() {
        Frame& body = frames.back();
        std::size_t first = 0;
        if (body.stripTabs) {
            while (first < body.line.size() && body.line[first] == '\t')
                ++first;
        }
        bool ends = body.line.compare(first, std::string::npos, body.delimiter) == 0;
        if (ends && body.lineHasValue && !valueEndedBody) {
            valueEndedBody = true;
            endedDelimiter = body.delimiter;
        }
        body.line.clear();
        body.lineHasValue = false;
        dollar = false;
        if (ends) {
            Pop();
            wordStart = true;
            StartNextBody();
        }
    }
};

const char kLineFeed[] = {'\n'};
const char kSingleQuote[] = {'\''};
const char kSingleQuoteBackslash[] = {'\'', '\\'};
const char kDoubleQuote[] = {'"'};

// Backslash before the bytes that stay special inside double quotes or an unquoted here-document.
std::string EscapeForDouble(const std::string& value) {
    std::string result;
    result.reserve(value.size() + value.size() / 8 + 2);
    for (char c : value) {
        if (c == '$' || c == '`' || c == '\\')
            result += '\\';
        result += c;
    }
    return result;
}

// The value escaped for `place`. A quote that the template opened but never closes does not protect
// a value: the shell refuses the text or the value closes it, so the value is escaped as a word.
std::string EscapeFor(const std::string& value, Place place, bool quoteClosed) {
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

std::string Render(const Piece& piece, Place place, bool quoteClosed) {
    switch (piece.form) {
    case ValueForm::ListQuoted:
        return '"' + EscapeFor(piece.text, place, quoteClosed) + '"';
    case ValueForm::ItemQuoted: {
        std::string value = Without(piece.text, kDoubleQuote, 1);
        // In a word the added quotes hold the value; inside double quotes they close and reopen the
        // template's, so the value stands unquoted between them.
        return '"' + (place == Place::Word ? EscapeForDouble(value) : EscapeFor(value, place, quoteClosed)) +
               '"';
    }
    default:
        return EscapeFor(piece.text, place, quoteClosed);
    }
}

// Reads the token that starts at work[pos] (a mark); returns the piece and moves pos past the token.
const Piece& ReadToken(const std::string& work, char mark, const std::vector<Piece>& pieces,
                       std::size_t& pos) {
    std::size_t index = 0;
    std::size_t i = pos + 1;
    while (work[i] != mark)
        index = index * 10 + static_cast<std::size_t>(work[i++] - '0');
    pos = i + 1;
    return pieces[index];
}

} // namespace

std::string EscapeForWord(const std::string& value) {
    std::string result;
    result.reserve(value.size() + value.size() / 8 + 2);
    for (char c : value) {
        if (isBadChar(c) || c == '#')
            result += '\\';
        result += c;
    }
    return result;
}

std::string Without(const std::string& value, const char* drop, std::size_t dropCount) {
    std::string result;
    result.reserve(value.size());
    for (char c : value) {
        bool dropped = false;
        for (std::size_t i = 0; i < dropCount; ++i)
            dropped = dropped || c == drop[i];
        if (!dropped)
            result += c;
    }
    return result;
}

std::string FillRaw(const std::string& work, char mark, const std::vector<Piece>& pieces) {
    std::string result;
    result.reserve(work.size());
    for (std::size_t pos = 0; pos < work.size();) {
        if (work[pos] != mark) {
            result += work[pos++];
            continue;
        }
        const Piece& piece = ReadToken(work, mark, pieces, pos);
        if (piece.form == ValueForm::ListQuoted || piece.form == ValueForm::ItemQuoted)
            result += '"' + piece.text + '"';
        else
            result += piece.text;
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
    for (std::size_t pos = 0; pos < work.size();) {
        char c = work[pos];
        if (c != mark) {
            result += c;
            lexer.Feed(c, false);
            ++pos;
            continue;
        }
        const Piece& piece = ReadToken(work, mark, pieces, pos);
        if (piece.form == ValueForm::Template) {
            for (char t : piece.text) {
                result += t;
                lexer.Feed(t, false);
            }
            continue;
        }
        Place place = lexer.Current();
        if (place == Place::Backquoted) {
            throw CorvaneException(refusal + "a parameter value would stand inside backquotes; the template "
                                             "must use $(...) instead");
        }
        if (place == Place::Ambiguous) {
            throw CorvaneException(refusal + "a parameter value would follow $'...' quoting that holds a "
                                             "backslash, which shells read in different ways");
        }
        bool quoteClosed = false;
        if (place == Place::Single || place == Place::Ansi) {
            if (quoteAt != std::string::npos && quoteAt < pos)
                quoteAt = work.find('\'', pos);
            quoteClosed = quoteAt != std::string::npos;
        }
        std::string text = Render(piece, place, quoteClosed);
        // A template backslash right before the value would escape the value's first byte; a line
        // feed after it is a line continuation, which removes both in words, double quotes and
        // here-documents alike.
        if (lexer.EscapePending() && !text.empty())
            text.insert(text.begin(), '\n');
        for (char v : text) {
            result += v;
            lexer.Feed(v, true);
        }
    }
    if (const std::string* delimiter = lexer.HereDocEndedByValue()) {
        throw CorvaneException(refusal + "a parameter value would end the here-document delimited by " +
                               *delimiter);
    }
    return result;
}

} // namespace ShellText

} // namespace Corvane::AutoCli
