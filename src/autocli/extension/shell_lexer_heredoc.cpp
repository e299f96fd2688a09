// ShellLexer, here-documents: the delimiter word after <<, the body lines, and where a body ends.
#include "autocli/extension/shell_lexer.h"

namespace Corvane::AutoCli::ShellText {

namespace {

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

} // namespace

void ShellLexer::StartNextBody() {
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

// Reads the here-document operator's delimiter word; false hands the byte back to FeedWord.
bool ShellLexer::FeedOperator(char c) {
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
        if (c == ' ' || c == '\t') {
            return true;
        }
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
            if (c == '\'') {
                opQuote = 0;
            } else {
                opWord += c;
            }
            return true;
        }
        if (opQuote == '"') {
            if (c == '\\') {
                opEscape = true;
            } else if (c == '"') {
                opQuote = 0;
            } else {
                opWord += c;
            }
            return true;
        }
        if (c == '\\' || c == '\'' || c == '"') {
            opQuoted = true;
            if (c == '\\') {
                opEscape = true;
            } else {
                opQuote = c;
            }
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

void ShellLexer::FeedBody(char c, bool fromValue) {
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
    if (body.quoted) {
        return;
    }
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

void ShellLexer::EndBodyLine() {
    Frame& body = frames.back();
    std::size_t first = 0;
    if (body.stripTabs) {
        while (first < body.line.size() && body.line[first] == '\t') {
            ++first;
        }
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

} // namespace Corvane::AutoCli::ShellText
