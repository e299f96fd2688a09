// Finding a start tag with too many attributes in text that arrives in pieces.
#pragma once

#include <cstddef>
#include <string>

namespace Corvane::AutoCli {

// libxml2 (2.9) checks each attribute of a start tag against all earlier ones, so one element with n
// attributes costs n^2 steps. No element of the value grammar has more than one attribute; a document
// with an element of more than this many is refused before it reaches the parser.
constexpr std::size_t kMaxAttributesPerElement = 256;

// The linear lexical pass of the whole-text reader, fed piece by piece: the same markup is passed over
// (comments, CDATA sections, processing instructions, the head of a DOCTYPE; a quoted literal inside a
// tag), and a start tag is found too large as soon as its attribute count passes the bound, whether or
// not the tag is ever closed. Markup the pass cannot make sense of (an unclosed comment or literal)
// ends the pass, as it ends the whole-text one.
class AttributeScan {
public:
    // Scans the next piece; returns true once a start tag with too many attributes has been seen.
    bool Add(const char* data, std::size_t size);
    bool Found() const { return found; }

private:
    enum class State : unsigned char { Text, Open, Tag, Literal, Seek, Subset };

    std::size_t Step(const char* data, std::size_t size);
    void Decide();

    State state = State::Text;
    bool found = false;
    bool startTag = false;
    std::size_t equals = 0;
    char quote = 0;
    // Open: the markup's first bytes until they tell its kind. Seek: the terminator looked for and how
    // many of its bytes the text seen so far ends with.
    std::string openBytes;
    const char* terminator = nullptr;
    std::size_t matched = 0;
};

} // namespace Corvane::AutoCli
