// The layout of a descriptor cache file: encoding and bounds-checked decoding.
#pragma once

#include "descriptor_cache.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Corvane::AutoCli {
namespace DescriptorCache {

// A cache file, all numbers in the host's byte order (the magic tells another order apart):
//   magic (8 bytes), index end (u64: where the texts begin), version, directory, entry count (u32),
//   entries: name, identity (7 x u64), text offset and size (u64, from the start of the file),
//            registrations: count (u32), then for each: kind (u8: 0 namespace, 1 command), path,
//            description, and for a command its formatter and parameter count (u32) with
//            key/value pairs,
//   then the descriptor texts.
// Strings are a u32 length and the bytes. Commands are numbered by their order among the
// registrations, which is the order of the `command` elements of the descriptor.

/// One entry of a cache file: the views point into the decoded index or into the caller's strings.
struct EntryData {
    std::string_view name;
    FileIdentity identity;
    std::string_view registrations;
    std::uint64_t textOffset = 0; ///< where the text is in the file the entry was decoded from
    std::uint64_t textSize = 0;
    std::string_view text; ///< for writing: the text itself
};

/// The registrations in cache form; false when one of them is not a namespace or a command read
/// from a descriptor.
bool EncodeRegistrations(const std::vector<XmlPlugin::Registration>& pending, std::string& out);

/// Rebuilds the registrations; false, with `out` unchanged, when `data` is malformed.
bool DecodeRegistrations(std::string_view data, const std::shared_ptr<const TextSource>& source,
                         const EntryData& entry, const std::string& fileName,
                         std::vector<XmlPlugin::Registration>& out);

/// The index of the file for `entries` (each with its `text`) of the absolute directory `directory`:
/// the file is the index followed by the entries' texts in the same order.
std::string EncodeIndex(const std::string& directory, const std::vector<EntryData>& entries);

/// Where the index of a file whose first bytes are `head` ends; 0 when `head` is not the start of a
/// cache file.
std::uint64_t IndexEnd(std::string_view head);

/// Decodes the index (the file up to IndexEnd) of a file `fileSize` bytes long; false when it is not
/// an index of this version for `directory`, or any entry lies outside the file.
bool DecodeIndex(std::string_view index, std::uint64_t fileSize, const std::string& directory,
                 std::vector<EntryData>& entries);

} // namespace DescriptorCache
} // namespace Corvane::AutoCli
