// The shell readers of the fuzz targets: where a command holds active syntax, and its words.
#include "fuzz_support.h"

#include <cstring>

namespace Corvane::Fuzz {

std::size_t FindActiveSyntax(const std::string& command, ShellShape* shape) {
    ShellShape seen;
    if (shape == nullptr) {
        shape = &seen;
    }
    enum { Plain, Single, Double, Comment } state = Plain;
    bool wordStart = true;
    // Open ${ expansions outside quotes: inside one a # starts no comment.
    int braces = 0;
    const std::size_t n = command.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = command[i];
        const bool substitution = c == '`' || (c == '$' && i + 1 < n && command[i + 1] == '(');
        switch (state) {
        case Plain:
            if (c == '\\' && i + 1 < n && command[i + 1] == '\n') {
                ++i; // a line continuation: both vanish, and a word start stays one
                continue;
            }
            if (c == '\\') {
                ++i;
            } else if (c == '$' && i + 1 < n && command[i + 1] == '{') {
                ++braces;
                ++i;
            } else if (c == '}' && braces > 0) {
                --braces;
            } else if (c == '\'') {
                state = Single;
            } else if (c == '"') {
                state = Double;
            } else if (c == '#' && wordStart && braces == 0) {
                state = Comment;
                shape->comment = i;
            } else if (c == ' ' || c == '\t') {
                wordStart = true;
                continue;
            } else if (substitution || std::strchr(";|&<>\n()", c) != nullptr) {
                return i;
            }
            wordStart = false;
            break;
        case Single:
            if (c == '\'') {
                state = Plain;
            }
            break;
        case Double:
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                state = Plain;
            } else if (substitution) {
                return i;
            }
            break;
        case Comment:
            if (c == '\n') {
                return i;
            }
            break;
        }
    }
    shape->openQuote = state == Single || state == Double;
    return std::string::npos;
}

std::vector<std::string> ShellWords(const std::string& command) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
            continue;
        }
        if (c == '\\' && i + 1 < command.size() && command[i + 1] == '\n') {
            ++i;
            continue;
        }
        inWord = true;
        if (c == '\\') {
            if (++i < command.size() && command[i] != '\n') {
                word += command[i];
            }
        } else if (c == '\'') {
            while (++i < command.size() && command[i] != '\'') {
                word += command[i];
            }
        } else if (c == '"') {
            while (++i < command.size() && command[i] != '"') {
                if (command[i] == '\\' && i + 1 < command.size() &&
                    std::strchr("$`\"\\\n", command[i + 1]) != nullptr) {
                    if (command[++i] != '\n') {
                        word += command[i];
                    }
                } else {
                    word += command[i];
                }
            }
        } else {
            word += c;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

} // namespace Corvane::Fuzz
