// RecentValues: one object for equal short strings and integers met again while a document is read.
#pragma once

#include <corvane/metaobj.h>

#include <array>
#include <cstddef>
#include <memory>
#include <string>

namespace Corvane::AutoCli {

// The strings of at most kShortBytes bytes and the integers made last, one per slot of a small table
// chosen by a hash of the value. Documents repeat their states, tags and units in row after row, and
// typed values are immutable, so a value equal to the one in its slot is that object again; any other
// takes the slot. Memory stays a fixed table however long the document.
class RecentValues {
public:
    static constexpr std::size_t kShortBytes = 32;

    std::shared_ptr<MetaObj::MetaString> String(std::string&& text);
    std::shared_ptr<MetaObj::MetaInt> Int(long value);

private:
    static constexpr std::size_t kSlots = 256;

    std::array<std::shared_ptr<MetaObj::MetaString>, kSlots> strings;
    std::array<std::shared_ptr<MetaObj::MetaInt>, kSlots> ints;
};

} // namespace Corvane::AutoCli
