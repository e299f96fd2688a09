// Bounds-checked reading of descriptor cache files, and the values their layout uses.
#pragma once

#include "descriptor_cache.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace Corvane::AutoCli {
namespace DescriptorCache {

constexpr std::uint8_t kNamespace = 0;
constexpr std::uint8_t kCommand = 1;
/// The plan count of an entry that cannot be registered in deferred form.
constexpr std::uint32_t kNoPlan = 0xffffffff;

/// Reads from a byte range; after the first read past its end every read fails.
class Reader {
public:
    explicit Reader(std::string_view data) : data(data) {}

    template <typename T> bool Get(T& value) {
        if (!ok || data.size() - pos < sizeof value) {
            return ok = false;
        }
        std::memcpy(&value, data.data() + pos, sizeof value);
        pos += sizeof value;
        return true;
    }

    /// A u32 length and that many bytes.
    bool GetString(std::string_view& text) {
        std::uint32_t size = 0;
        if (!Get(size) || data.size() - pos < size) {
            return ok = false;
        }
        text = std::string_view(data.data() + pos, size);
        pos += size;
        return true;
    }

    bool GetIdentity(FileIdentity& id) {
        return Get(id.device) && Get(id.inode) && Get(id.size) && Get(id.mtimeSec) && Get(id.mtimeNsec) &&
               Get(id.ctimeSec) && Get(id.ctimeNsec);
    }

    std::size_t Position() const { return pos; }
    bool AtEnd() const { return ok && pos == data.size(); }

private:
    std::string_view data;
    std::size_t pos = 0;
    bool ok = true;
};

/// Reads the format defaults a command keeps after its description, as one string so that walks
/// over the registrations step over them at once: the formatter, the parameter count and the
/// key/value pairs, exactly. False when they are malformed.
template <typename Formatter, typename Parameter>
bool ReadDefaults(std::string_view kept, const Formatter& formatter, const Parameter& parameter) {
    Reader in(kept);
    std::string_view name;
    std::uint32_t count = 0;
    if (!in.GetString(name) || !in.Get(count)) {
        return false;
    }
    formatter(name);
    for (std::uint32_t p = 0; p < count; ++p) {
        std::string_view key;
        std::string_view value;
        if (!in.GetString(key) || !in.GetString(value)) {
            return false;
        }
        parameter(key, value);
    }
    return in.AtEnd();
}

} // namespace DescriptorCache
} // namespace Corvane::AutoCli
