// The piecewise pass that finds a start tag with too many attributes.
#include "autocli/xml/xml_attribute_scan.h"

#include <array>
#include <cstring>
#include <string_view>

namespace Corvane::AutoCli {

namespace {

// Whether `open` (which starts with "<!") may still turn out to begin with `prefix`, and whether it does.
bool MayBe(const std::string& open, std::string_view prefix) {
    const std::size_t n = std::min(open.size(), prefix.size());
    return std::string_view(open).substr(0, n) == prefix.substr(0, n);
}

} // namespace

bool AttributeScan::Add(const char* data, std::size_t size) {
    std::size_t pos = 0;
    while (pos < size && !found) {
        pos += Step(data + pos, size - pos);
    }
    return found;
}

// Decides what an opening '<' starts once its first bytes tell, and scans those bytes after the
// prefix that decided it in the new state.
void AttributeScan::Decide() {
    static const std::string_view kComment = "<!--", kCdata = "<![CDATA[", kDoctype = "<!DOCTYPE";
    if (openBytes.size() < 2) {
        return;
    }
    std::size_t skip = 0;
    const char next = openBytes[1];
    if (next == '!') {
        const bool comment = MayBe(openBytes, kComment), cdata = MayBe(openBytes, kCdata),
                   doctype = MayBe(openBytes, kDoctype);
        if ((comment && openBytes.size() < kComment.size()) || (cdata && openBytes.size() < kCdata.size()) ||
            (doctype && openBytes.size() < kDoctype.size())) {
            return; // not yet known
        }
        if (comment) {
            state = State::Seek, terminator = "-->", skip = kComment.size();
        } else if (cdata) {
            state = State::Seek, terminator = "]]>", skip = kCdata.size();
        } else if (doctype) {
            state = State::Subset, skip = kDoctype.size();
        } else {
            state = State::Tag, startTag = false, skip = 2;
        }
    } else if (next == '?') {
        state = State::Seek, terminator = "?>", skip = 2;
    } else if (next == '/') {
        state = State::Tag, startTag = false, skip = 2;
    } else {
        state = State::Tag, startTag = true, skip = 1;
    }
    equals = 0;
    matched = 0;
    const std::string rest = openBytes.substr(skip);
    openBytes.clear();
    Add(rest.data(), rest.size());
}

std::size_t AttributeScan::Step(const char* data, std::size_t size) {
    static const auto kMarks = [] {
        std::array<bool, 256> marks{};
        marks['"'] = marks['\''] = marks['='] = marks['>'] = true;
        return marks;
    }();
    switch (state) {
    case State::Text: {
        const void* open = std::memchr(data, '<', size);
        if (open == nullptr) {
            return size;
        }
        state = State::Open;
        openBytes = "<";
        return static_cast<std::size_t>(static_cast<const char*>(open) - data) + 1;
    }
    case State::Open:
        openBytes += data[0];
        Decide();
        return 1;
    case State::Tag: {
        std::size_t pos = 0;
        while (pos < size && !kMarks[static_cast<unsigned char>(data[pos])]) {
            ++pos;
        }
        if (pos == size) {
            return size;
        }
        const char c = data[pos];
        if (c == '>') {
            state = State::Text;
        } else if (c == '=') {
            found = startTag && ++equals > kMaxAttributesPerElement;
        } else {
            state = State::Literal;
            quote = c;
        }
        return pos + 1;
    }
    case State::Literal: {
        const void* close = std::memchr(data, quote, size);
        if (close == nullptr) {
            return size;
        }
        state = State::Tag;
        return static_cast<std::size_t>(static_cast<const char*>(close) - data) + 1;
    }
    case State::Seek: {
        const std::size_t length = std::strlen(terminator);
        for (std::size_t pos = 0; pos < size; ++pos) {
            const char c = data[pos];
            if (c == terminator[matched]) {
                if (++matched == length) {
                    state = State::Text;
                    return pos + 1;
                }
            } else if (matched == 2 && c == terminator[0] && terminator[1] == terminator[0]) {
                // "--->" or "]]]>": the last two bytes may still begin the terminator
            } else {
                matched = c == terminator[0] ? 1 : 0;
            }
        }
        return size;
    }
    case State::Subset: {
        for (std::size_t pos = 0; pos < size; ++pos) {
            if (data[pos] == '[' || data[pos] == '>') {
                state = State::Text;
                return pos + 1;
            }
        }
        return size;
    }
    }
    return size;
}

} // namespace Corvane::AutoCli
