// ShellLexer, words: reserved words written by the template and the parts of a case command.
#include "autocli/extension/shell_lexer.h"

#include <cstring>

namespace Corvane::AutoCli::ShellText {

// Word and case bookkeeping for an unquoted byte of a Top, CmdSubst or Backquote frame. True when
// the byte is fully read here: a ( before a case pattern, or the ) that ends one.
bool ShellLexer::FeedSeparator(char c, Frame& frame, bool wasSemicolon) {
    switch (c) {
    case ' ':
    case '\t':
    case '<':
    case '>':
        EndWord(frame);
        return false;
    case '\n':
    case '|':
        EndWord(frame);
        frame.commandPosition = true;
        return false;
    case ';':
    case '&':
        EndWord(frame);
        frame.commandPosition = true;
        frame.semicolon = c == ';';
        // ;; (and ;& of some shells) ends a case item: a pattern follows.
        if (wasSemicolon && !frame.cases.empty() && frame.cases.back() == CaseStep::Body) {
            frame.cases.back() = CaseStep::Pattern;
            frame.patternFresh = true;
        }
        return false;
    case '(':
        EndWord(frame);
        frame.commandPosition = true;
        if (InPattern(frame)) {
            wordStart = true;
            return true;
        }
        return false;
    case ')':
        EndWord(frame);
        frame.commandPosition = true;
        if (InPattern(frame)) {
            frame.cases.back() = CaseStep::Body;
            wordStart = true;
            return true;
        }
        return false;
    case '#':
        if (!wordStart) {
            WordByte(frame, c);
        }
        return false;
    default:
        WordByte(frame, c);
        return false;
    }
}

void ShellLexer::WordByte(Frame& frame, char c) {
    frame.wordOpen = true;
    if (feedingValue || std::strchr("\\$'\"`", c) != nullptr) {
        frame.wordPlain = false;
        frame.word.clear();
    } else if (frame.wordPlain) {
        frame.word += c;
    }
}

// A word ended: a reserved word at a command position, or the next part of a case command. Only
// words written plainly by the template count: a quoted, escaped or value-made word is no reserved
// word for the shell either, but for an empty value before the template's letters.
void ShellLexer::EndWord(Frame& frame) {
    if (!frame.wordOpen) {
        return;
    }
    const bool plain = frame.wordPlain;
    const bool atCommand = frame.commandPosition;
    std::string word;
    word.swap(frame.word);
    frame.wordOpen = false;
    frame.wordPlain = true;
    frame.commandPosition = false;
    if (!frame.cases.empty()) {
        CaseStep& step = frame.cases.back();
        switch (step) {
        case CaseStep::Subject:
            step = CaseStep::In;
            return;
        case CaseStep::In:
            if (plain && word == "in") {
                step = CaseStep::Pattern;
                frame.patternFresh = true;
            }
            return;
        case CaseStep::Pattern:
            if (plain && frame.patternFresh && word == "esac") {
                frame.cases.pop_back();
            }
            frame.patternFresh = false;
            return;
        case CaseStep::Body:
            break;
        }
    }
    if (!plain || !atCommand) {
        return;
    }
    if (word == "case") {
        frame.cases.push_back(CaseStep::Subject);
        return;
    }
    if (word == "esac" && !frame.cases.empty()) {
        frame.cases.pop_back();
        return;
    }
    // Reserved words after which a command name comes.
    static const char* const leading[] = {"!",  "{",    "do",   "elif",  "else",
                                          "if", "then", "time", "until", "while"};
    for (const char* reserved : leading) {
        if (word == reserved) {
            frame.commandPosition = true;
        }
    }
}

} // namespace Corvane::AutoCli::ShellText
