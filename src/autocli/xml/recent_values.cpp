// RecentValues: the tables of recent short strings and integers.
#include "autocli/xml/recent_values.h"

#include <cstdint>

namespace Corvane::AutoCli {

using MetaObj::MetaInt;
using MetaObj::MetaString;

std::shared_ptr<MetaString> RecentValues::String(std::string&& text) {
    if (text.empty() || text.size() > kShortBytes) {
        return MetaString::New(std::move(text));
    }
    std::uint32_t hash = 2166136261U; // FNV-1a
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619U;
    }
    std::shared_ptr<MetaString>& slot = strings[hash % kSlots];
    if (!slot || slot->GetValue() != text) {
        slot = MetaString::New(std::move(text));
    }
    return slot;
}

std::shared_ptr<MetaInt> RecentValues::Int(long value) {
    const auto bits = static_cast<std::uint64_t>(value);
    std::shared_ptr<MetaInt>& slot = ints[(bits * 0x9E3779B97F4A7C15ULL) >> 56];
    if (!slot || slot->GetValue() != value) {
        slot = MetaInt::New(value);
    }
    return slot;
}

} // namespace Corvane::AutoCli
