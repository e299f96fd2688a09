// ShellLexer: follows the quoting of /bin/sh text byte by byte and tells the Place of the next byte.
#include "autocli/extension/shell_lexer.h"

namespace Corvane::AutoCli::ShellText {

Place ShellLexer::Current() const {
    if (ambiguous) {
        return Place::Ambiguous;
    }
    if (backquotes > 0) {
        return Place::Backquoted;
    }
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

Unread ShellLexer::UnreadPlace() const {
    bool innermostWords = true;
    for (auto frame = frames.rbegin(); frame != frames.rend(); ++frame) {
        switch (frame->kind) {
        case Kind::Brace:
        case Kind::BraceInDouble:
            return Unread::Expansion;
        case Kind::Double:
        case Kind::Single:
        case Kind::Ansi:
            continue;
        case Kind::Body:
            innermostWords = false;
            continue;
        default:
            break;
        }
        if (frame->arithmetic) {
            return Unread::Arithmetic;
        }
        if (innermostWords && InPattern(*frame) && !(comment && frame == frames.rbegin())) {
            return Unread::CasePattern;
        }
        innermostWords = false;
    }
    return Unread::None;
}

void ShellLexer::Feed(char c, bool fromValue) {
    feedingValue = fromValue;
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

void ShellLexer::Push(Kind kind) {
    frames.emplace_back(kind);
    if (kind == Kind::Backquote) {
        ++backquotes;
    }
}

void ShellLexer::Pop() {
    if (frames.size() <= 1) {
        return;
    }
    if (frames.back().kind == Kind::Backquote) {
        --backquotes;
    }
    if (frames.back().kind == Kind::Body) {
        bodies.pop_back();
    }
    frames.pop_back();
    wordStart = false;
    comment = false;
}

// An unescaped backquote closes the innermost `...` whatever quoting was opened inside it.
void ShellLexer::Backquote() {
    if (backquotes == 0) {
        Push(Kind::Backquote);
        wordStart = true;
        return;
    }
    while (frames.back().kind != Kind::Backquote) {
        Pop();
    }
    Pop();
}

void ShellLexer::FeedWord(char c) {
    if (comment) {
        if (c != '\n') {
            return;
        }
        comment = false;
    }
    if (op != Operator::None && FeedOperator(c)) {
        return;
    }
    Frame& frame = frames.back();
    const bool words = frame.kind != Kind::Brace;
    if (escape) {
        escape = false;
        if (c != '\n') {
            wordStart = false;
        }
        return;
    }
    bool wasDollar = dollar;
    bool wasLess = less;
    bool wasSemicolon = frame.semicolon;
    bool fresh = frame.fresh;
    dollar = less = frame.semicolon = frame.fresh = false;
    if (c == '\\') {
        escape = true;
        if (words) {
            WordByte(frame, c);
        }
        return;
    }
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
    if (words && FeedSeparator(c, frame, wasSemicolon)) {
        return;
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
        if (wordStart && frame.kind != Kind::Brace) {
            comment = true;
        } else {
            wordStart = false;
        }
        return;
    case '(':
        if (fresh && frame.kind == Kind::CmdSubst) {
            frame.arithmetic = true;
        }
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
        if (frame.kind == Kind::Brace) {
            Pop();
        }
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
        if (nextPending < pending.size()) {
            StartNextBody();
        }
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

void ShellLexer::FeedDouble(char c) {
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
        if (frames.back().kind == Kind::Double) {
            Pop();
        } else {
            Push(Kind::Double);
        }
        return;
    case '}':
        if (frames.back().kind == Kind::BraceInDouble) {
            Pop();
        }
        return;
    default:
        return;
    }
}

// Single quotes and $'...'. Inside backquotes the closing backquote is found before quotes are
// read, and a backslash there protects the next byte from that search.
void ShellLexer::FeedSingle(char c) {
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
    if (c == '\'') {
        Pop();
    }
}

} // namespace Corvane::AutoCli::ShellText
