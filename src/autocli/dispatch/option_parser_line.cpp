// OptionParser::ParseString: splits one line of a command file into words and parses them.
#include <corvane/dispatch.h>

namespace Corvane::AutoCli {

namespace {

// Blanks as isblank() sees them in the C locale; the line is split the same way whatever locale
// the embedding program has set.
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string WithoutQuotes(const std::string& line, size_t start, size_t end) {
    std::string word;
    word.reserve(end - start);
    for (size_t i = start; i < end; ++i) {
        if (line[i] != '"') {
            word += line[i];
        }
    }
    return word;
}

} // namespace

// Double quotes toggle a quoted section in which blanks belong to the word; the quotes themselves
// are dropped and there is no escape character. Once the first word has begun, every later blank
// run outside quotes ends a word (an empty one for a bare ""), except that an empty last word is
// dropped. A "#" is a comment only before the first word.
bool OptionParser::ParseString(const std::string& line) {
    std::vector<std::string> words;
    bool inWord = false;
    bool inQuotes = false;
    size_t start = 0;
    const size_t length = line.size();
    for (size_t i = 0; i < length; ++i) {
        const char c = line[i];
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (IsBlank(c)) {
            if (!inWord) {
                // Only blanks advance the start of the first word, quotes do not: in a line
                // opening with a quoted blank that blank stays part of the word.
                ++start;
            } else if (!inQuotes) {
                words.push_back(WithoutQuotes(line, start, i));
                size_t next = i + 1;
                while (next < length && IsBlank(line[next])) {
                    ++next;
                }
                // The next word starts at the first non-blank; when only blanks follow, the
                // final word would be empty and is not taken.
                start = next;
                i = next - 1;
                continue;
            }
        } else {
            if (!inWord && c == '#') {
                break;
            }
            inWord = true;
        }
        if (i == length - 1) {
            std::string last = WithoutQuotes(line, start, length);
            if (!last.empty()) {
                words.push_back(std::move(last));
            }
        }
    }
    if (words.empty()) {
        return true;
    }
    ParseVector(std::move(words));
    return false;
}

} // namespace Corvane::AutoCli
