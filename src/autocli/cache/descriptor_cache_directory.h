// The cache file of one plugin directory, and the file helpers the descriptor cache shares.
#pragma once

#include "autocli/cache/descriptor_cache.h"
#include "autocli/cache/descriptor_cache_format.h"

#include <sys/stat.h>

#include <ctime>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace Corvane::AutoCli {
namespace DescriptorCache {

/// Whether the time `sec`.`nsec` is before `than`.
bool Earlier(std::int64_t sec, std::int64_t nsec, const timespec& than);

/// The directory cache of the absolute directory of `fileName` and, in `baseName`, the name in it;
/// null when the name has no base name or the working directory cannot be had.
std::shared_ptr<DirectoryCache> DirectoryOf(const std::string& cacheDirectory, const std::string& fileName,
                                            std::string& baseName);

/// What `status` says about a file's identity.
FileIdentity IdentityOf(const struct stat& status);

/// Owned by the effective user and writable by no one else.
bool IsPrivate(const struct stat& status);

/// Reads exactly `size` bytes at `offset`; false on an error or a file that ends first.
bool ReadFully(int fd, std::uint64_t offset, char* buffer, std::uint64_t size);

/// Removes from `cacheDirectory` the temporary files of writers that were killed while writing:
/// those untouched for minutes whose writer, when the name tells it, no longer runs.
void RemoveAbandonedTemporaries(const std::string& cacheDirectory);

/// The cache file of one plugin directory: the entries read from it at the first look-up, and what
/// this process learnt since, written back when the process ends.
class DirectoryCache {
public:
    DirectoryCache(const std::string& cacheDirectory, std::string directory);
    ~DirectoryCache();
    DirectoryCache(const DirectoryCache&) = delete;
    DirectoryCache& operator=(const DirectoryCache&) = delete;

    /// The entry of the descriptor `name` read from the file, or null.
    const EntryData* Find(const std::string& name) const;
    const std::shared_ptr<const TextSource>& Source() const { return source; }
    /// Owns the bytes the entries point into.
    const std::shared_ptr<const void>& Index() const { return indexOwner; }
    /// The names of the directory's entries kept from an earlier run, or null when none were kept
    /// for a directory of this identity.
    const std::vector<std::string_view>* Listing(const FileIdentity& identity);
    /// Keeps the names of the directory's entries, read while it had `identity`, for later runs.
    void KeepListing(const FileIdentity& identity, std::vector<std::string> names);
    /// Forgets the entry of `name`: the file is rewritten without it.
    void Drop(const std::string& name);
    /// Keeps a new entry for `name`, written when the process ends.
    void Add(const std::string& name, const FileIdentity& identity, std::string registrations,
             std::string text);
    /// Entries learnt in this process, and those of the old file that were not looked at and still
    /// match their files; written to a new file that then replaces the old one.
    void WriteIfChanged();

private:
    struct Added {
        FileIdentity identity;
        std::string registrations;
        std::string text;
    };
    void Load();
    bool StillMatches(const std::string& name, const FileIdentity& identity) const;
    void Replace(const std::string& index, const std::vector<EntryData>& kept);

    std::string directory;
    std::string path;
    std::shared_ptr<const TextSource> source;
    // The index of the cache file, copied; entries point into it, and so do the descriptors restored
    // from it, which share it.
    std::shared_ptr<const void> indexOwner;
    std::string_view indexText;
    std::vector<EntryData> entries; // in byte-wise order of their names
    DirectoryListing listing;       // read from the file
    bool listingUsed = false;       // and found to be the directory's still
    std::vector<std::string> newNames;
    FileIdentity newIdentity;
    bool newListing = false;
    mutable std::size_t next = 0; // the entry after the one found last
    std::map<std::string, Added> added;
    std::set<std::string> dropped;
    bool changed = false;
};

} // namespace DescriptorCache
} // namespace Corvane::AutoCli
