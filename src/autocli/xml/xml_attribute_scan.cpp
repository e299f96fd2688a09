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
    while (pos < size && !found_) {
        pos += Step(data + pos, size - pos);
    }
    return found_;
}

// Decides what an opening '<' starts once its first bytes tell, and scans those bytes after the
// prefix that decided it in the new state.
void AttributeScan::Decide() {
    static const std::string_view kComment = "<!--", kCdata = "<![CDATA[", kDoctype = "<!DOCTYPE";
    if (open_.size() < 2) {
        return;
    }
    std::size_t skip = 0;
    const char next = open_[1];
    if (next == '!') {
        const bool comment = MayBe(open_, kComment), cdata = MayBe(open_, kCdata),
                   doctype = MayBe(open_, kDoctype);
        if ((comment && open_.size() < kComment.size()) || (cdata && open_.size() < kCdata.size()) ||
            (doctype && open_.size() < kDoctype.size())) {
            return; // not yet known
        }
        if (comment) {
            state_ = State::Seek, terminator_ = "-->", skip = kComment.size();
        } else if (cdata) {
            state_ = State::Seek, terminator_ = "]]>", skip = kCdata.size();
        } else if (doctype) {
            state_ = State::Subset, skip = kDoctype.size();
        } else {
            state_ = State::Tag, startTag_ = false, skip = 2;
        }
    } else if (next == '?') {
        state_ = State::Seek, terminator_ = "?>", skip = 2;
    } else if (next == '/') {
        state_ = State::Tag, startTag_ = false, skip = 2;
    } else {
        state_ = State::Tag, startTag_ = true, skip = 1;
    }
    equals_ = 0;
    matched_ = 0;
    const std::string rest = open_.substr(skip);
    open_.clear();
    Add(rest.data(), rest.size());
}

std::size_t AttributeScan::Step(const char* data, std::size_t size) {
    static const auto kMarks = [] {
        std::array<bool, 256> marks{};
        marks['"'] = marks['\''] = marks['='] = marks['>'] = true;
        return marks;
    }();
    switch (state_) {
    case State::Text: {
        const void* open = std::memchr(data, '<', size);
        if (open == nullptr) {
            return size;
        }
        state_ = State::Open;
        open_ = "<";
        return static_cast<std::size_t>(static_cast<const char*>(open) - data) + 1;
    }
    case State::Open:
        open_ += data[0];
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
            state_ = State::Text;
        } else if (c == '=') {
            found_ = startTag_ && ++equals_ > kMaxAttributesPerElement;
        } else {
            state_ = State::Literal;
            quote_ = c;
        }
        return pos + 1;
    }
    case State::Literal: {
        const void* close = std::memchr(data, quote_, size);
        if (close == nullptr) {
            return size;
        }
        state_ = State::Tag;
        return static_cast<std::size_t>(static_cast<const char*>(close) - data) + 1;
    }
    case State::Seek: {
        const std::size_t length = std::strlen(terminator_);
        for (std::size_t pos = 0; pos < size; ++pos) {
            const char c = data[pos];
            if (c == terminator_[matched_]) {
                if (++matched_ == length) {
                    state_ = State::Text;
                    return pos + 1;
                }
            } else if (matched_ == 2 && c == terminator_[0] && terminator_[1] == terminator_[0]) {
                // "--->" or "]]]>": the last two bytes may still begin the terminator
            } else {
                matched_ = c == terminator_[0] ? 1 : 0;
            }
        }
        return size;
    }
    case State::Subset: {
        for (std::size_t pos = 0; pos < size; ++pos) {
            if (data[pos] == '[' || data[pos] == '>') {
                state_ = State::Text;
                return pos + 1;
            }
        }
        return size;
    }
    }
    return size;
}

} // namespace Corvane::AutoCli
