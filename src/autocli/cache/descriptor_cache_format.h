// The layout of a descriptor cache file: bounds-checked reading, encoding and decoding.
#pragma once

#include "autocli/cache/descriptor_cache.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

// A cache file, all numbers in the host's byte order (the magic tells another order apart):
//   magic (8 bytes), index end (u64: where the texts begin), version, directory,
//   listing: name count (u32; 0xffffffff for none), the directory's identity (7 x u64) and its
//            names in byte-wise order,
//   entry count (u32),
//   entries: name, identity (7 x u64), text offset and size (u64, from the start of the file),
//            and as one string:
//            plan: count (u32; 0xffffffff for none), then the places of the top-level namespaces
//            among the registrations (u32 each, increasing),
//            registrations, as one string: count (u32), then for each: kind (u8: 0 namespace,
//            1 command), path, description, and for a command its format defaults as one string:
//            its formatter and parameter count (u32) with key/value pairs,
//            with a plan, for each top-level namespace: the number of commands below it (u32) and
//            where each one's path, name and description are among the registrations
//            (ListedCommand), in the order a walk of the tree meets them,
//   then the descriptor texts.
// Strings are a u32 length and the bytes. Commands are numbered by their order among the
// registrations, which is the order of the `command` elements of the descriptor.

/// Where a listed command's texts are, in bytes from the start of the registrations.
struct ListedCommand {
    std::uint32_t pathOffset = 0;
    std::uint32_t pathSize = 0;
    std::uint32_t nameStart = 0; ///< where the name begins within the path
    std::uint32_t descriptionOffset = 0;
    std::uint32_t descriptionSize = 0;
};

/// The parts of an entry's registrations string (EntryData::registrations).
struct EntryParts {
    bool planned = false;
    std::uint32_t tops = 0;
    std::string_view places;
    std::string_view registrations; ///< what RegistrationCursor reads
    std::string_view listing;
};

/// Splits an entry's registrations string into its parts; false when it is malformed.
bool SplitEntry(std::string_view blob, EntryParts& parts);

/// The names of a plugin directory's entries ("." and ".." left out) in byte-wise order, as they
/// were while the directory had `identity`.
struct DirectoryListing {
    bool known = false;
    FileIdentity identity;
    std::vector<std::string_view> names;
};

/// One entry of a cache file: the views point into the decoded index or into the caller's strings.
struct EntryData {
    std::string_view name;
    FileIdentity identity;
    std::string_view registrations;
    std::uint64_t textOffset = 0; ///< where the text is in the file the entry was decoded from
    std::uint64_t textSize = 0;
    std::string_view text; ///< for writing: the text itself
};

/// The registrations in cache form, with their plan in front; false when one of them is not a
/// namespace or a command read from a descriptor.
bool EncodeRegistrations(const std::vector<XmlPlugin::Registration>& pending, std::string& out);

/// The plan of registrations in cache form (without a plan): true, with the places of the top-level
/// namespaces in `tops`, when registering them into an empty root would succeed and every path is
/// made of valid names; the registration can then be done by top-level namespaces that make their
/// subtrees later. False otherwise.
bool PlanDeferred(std::string_view registrations, std::vector<std::uint32_t>& tops);

/// The listed commands below top-level namespace `top` (counted in the plan from 0) of an entry, as
/// ListedCommand records, and the registrations they point into; false when there are none.
bool FindListing(std::string_view blob, std::uint32_t top, std::string_view& registrations,
                 std::string_view& listed);

/// A listed command whose path, name and description lie within `size` bytes of registrations.
inline bool IsListedInside(const ListedCommand& where, std::size_t size) {
    return where.pathOffset <= size && where.pathSize <= size - where.pathOffset && where.nameStart > 0 &&
           where.nameStart < where.pathSize && where.descriptionOffset <= size &&
           where.descriptionSize <= size - where.descriptionOffset;
}

/// Calls `use` with the path of the namespace holding it, the name and the description of every
/// command below top-level namespace `top` of an entry, in the order a walk of the tree meets them;
/// false when the entry has no such listing. In the header, to be inlined: listings call `use` for
/// every command of thousands of entries.
template <typename Use> bool ForEachListed(std::string_view blob, std::uint32_t top, const Use& use) {
    std::string_view registrations;
    std::string_view listed;
    if (!FindListing(blob, top, registrations, listed)) {
        return false;
    }
    for (std::size_t at = 0; at < listed.size(); at += sizeof(ListedCommand)) {
        ListedCommand where;
        std::memcpy(&where, listed.data() + at, sizeof where);
        if (!IsListedInside(where, registrations.size())) {
            return false;
        }
        const char* path = registrations.data() + where.pathOffset;
        use(std::string_view(path, where.nameStart - 1),
            std::string_view(path + where.nameStart, where.pathSize - where.nameStart),
            std::string_view(registrations.data() + where.descriptionOffset, where.descriptionSize));
    }
    return true;
}

/// The place of top-level namespace `i` of EntryParts::places.
std::uint32_t PlanPlace(std::string_view places, std::uint32_t i);

/// Rebuilds the registrations of `entry`; false, with `out` unchanged, when they are malformed.
bool DecodeRegistrations(const RestoredDescriptor& entry, std::vector<XmlPlugin::Registration>& out);

/// One registration in cache form, as RegistrationCursor reads it.
struct RegistrationView {
    bool command = false;
    std::string_view path;
    std::string_view description;
    std::string_view defaults; ///< a command's format defaults, for ReadDefaults
};

/// Reads registrations (EntryParts::registrations) one by one, without making anything.
class RegistrationCursor {
public:
    explicit RegistrationCursor(std::string_view registrations) : in(registrations) { in.Get(left); }

    /// The next registration; false at the end, or for a record of an unknown kind or cut short.
    bool Next(RegistrationView& view);
    /// Every registration the count announces was read, and nothing follows them.
    bool Finished() const { return left == 0 && in.AtEnd(); }

private:
    Reader in;
    std::uint32_t left = 0;
};

// In the header, to be inlined: listings call it for every registration of thousands of entries.
inline bool RegistrationCursor::Next(RegistrationView& view) {
    std::uint8_t kind = 0;
    if (left == 0 || !in.Get(kind) || (kind != kNamespace && kind != kCommand) || !in.GetString(view.path) ||
        !in.GetString(view.description)) {
        return false;
    }
    view.command = kind == kCommand;
    view.defaults = {};
    if (view.command && !in.GetString(view.defaults)) {
        return false;
    }
    --left;
    return true;
}

/// The index of the file for `entries` (each with its `text`) of the absolute directory `directory`:
/// the file is the index followed by the entries' texts in the same order.
std::string EncodeIndex(const std::string& directory, const DirectoryListing& listing,
                        const std::vector<EntryData>& entries);

/// Where the index of a file whose first bytes are `head` ends; 0 when `head` is not the start of a
/// cache file.
std::uint64_t IndexEnd(std::string_view head);

/// Decodes the index (the file up to IndexEnd) of a file `fileSize` bytes long; false when it is not
/// an index of this version for `directory`, any entry lies outside the file or is malformed, or the
/// entries are not in strictly increasing byte-wise order of their names.
bool DecodeIndex(std::string_view index, std::uint64_t fileSize, const std::string& directory,
                 DirectoryListing& listing, std::vector<EntryData>& entries);

} // namespace DescriptorCache
} // namespace Corvane::AutoCli
