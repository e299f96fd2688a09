// The per-user cache of loaded descriptors: what XmlPlugin::Initialize produced, one file per directory.
#pragma once

#include <corvane/plugins.h>

#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Corvane::AutoCli {

class ObjectArena;

namespace DescriptorCache {

/// What decides whether a descriptor is still the one a cache entry was made from. The change time
/// is checked as well as the modification time: a file replaced and given back its old modification
/// time still gets a new change time.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t mtimeSec = 0;
    std::int64_t mtimeNsec = 0;
    std::int64_t ctimeSec = 0;
    std::int64_t ctimeNsec = 0;

    bool operator==(const FileIdentity& other) const;
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

class DirectoryCache;

/// A cache file kept open for the texts of its entries, which are read only when a command restored
/// from it is used. The file is replaced by rename, never written in place, so what this descriptor
/// reads stays the file it was opened as; one written in place all the same (its size or
/// modification time no longer those it was opened with) gives nothing.
class TextSource {
public:
    explicit TextSource(int fd);
    ~TextSource();
    TextSource(const TextSource&) = delete;
    TextSource& operator=(const TextSource&) = delete;

    /// The `count` bytes at `offset`; false when the file is shorter or was written since it was
    /// opened.
    bool Read(std::uint64_t offset, std::uint64_t count, std::string& text) const;
    /// The file still has the size and modification time it was opened with.
    bool Unchanged() const;

private:
    int fd;
    bool known = false;
    std::uint64_t size = 0;
    std::int64_t mtimeSec = 0;
    std::int64_t mtimeNsec = 0;
};

/// A valid entry of a cache file, as Lookup::Restore finds it: what the descriptor declares, still in
/// cache form, and where its text is. It keeps the index it points into alive.
struct RestoredDescriptor {
    std::shared_ptr<const void> index; ///< owns the bytes `registrations` points into
    std::string_view registrations;    ///< checked when the file was opened
    std::shared_ptr<const TextSource> source;
    std::uint64_t textOffset = 0;
    std::uint64_t textSize = 0;
    std::string fileName;               ///< the descriptor's path as given to XmlPlugin
    FileIdentity identity;              ///< the descriptor's, as the entry has it
    std::shared_ptr<ObjectArena> arena; ///< where objects made for the entry go; null for the heap

    /// The registrations as nodes, in the order they were read from the file.
    std::vector<XmlPlugin::Registration> Decode() const;
};

/// One descriptor's look-up, made by XmlPlugin::Initialize:
///
///     DescriptorCache::Lookup cached(fileName);
///     if (cached.Restore(restored)) return;  // a valid entry: the file is neither read nor parsed
///     ... read and check the file into `text` and `pending` ...
///     cached.Store(text, pending);           // only after a load without error
///
/// Nothing here throws and nothing is printed: a cache that cannot be used is simply not used, and
/// what Initialize does without it is unchanged. The cache is off when VARNOK_NO_CACHE is set to
/// anything but "" or "0", and when no private cache directory can be had.
class Lookup {
public:
    explicit Lookup(const std::string& fileName);
    ~Lookup();
    Lookup(const Lookup&) = delete;
    Lookup& operator=(const Lookup&) = delete;

    /// Sets `restored` to the valid entry of the file and returns true; false, with `restored`
    /// untouched, when there is none.
    bool Restore(RestoredDescriptor& restored);

    /// Keeps `pending`, read from `text`, for later runs, unless the file changed since the look-up
    /// began or was changed too recently for its times to tell a later change apart. The entry is
    /// written when the process ends.
    void Store(const std::string& text, const std::vector<XmlPlugin::Registration>& pending);

private:
    std::shared_ptr<DirectoryCache> directory; // empty when the cache is off
    std::shared_ptr<ObjectArena> arena;
    std::string fileName;
    std::string baseName;
    FileIdentity identity;
    bool identityKnown = false;
    bool storable = false;
};

/// The loading of one plugin directory. It gives the names of the directory's entries, kept in the
/// cache while the directory stays the same (device, inode, size, modification and change times),
/// and while it lives, look-ups of files named `directory` + "/" + name find them by name in the
/// open directory instead of by their whole path, and share what the cache has for the directory.
/// Scans nest.
class DirectoryScan {
public:
    /// `dir` is the open directory; it stays open and owned by the caller.
    DirectoryScan(const std::string& directory, DIR* dir);
    ~DirectoryScan();
    DirectoryScan(const DirectoryScan&) = delete;
    DirectoryScan& operator=(const DirectoryScan&) = delete;

    /// The names of the directory's entries, "." and ".." left out, in byte-wise order.
    const std::vector<std::string_view>& Names();

    /// The innermost scan of the directory `fileName` is directly in, or null.
    static const DirectoryScan* Of(const std::string& fileName);
    /// Where the objects loaded from the file `fileName` are best made: the arena of the scan of its
    /// directory when that directory is large, else null (the heap).
    static std::shared_ptr<ObjectArena> ArenaFor(const std::string& fileName);

private:
    friend class Lookup;

    void MakeArena(std::size_t files);

    const std::string& directory;
    DIR* dir;
    int fd;
    const DirectoryScan* outer;
    std::string cacheDirectory;            // decided when the scan begins
    std::shared_ptr<DirectoryCache> cache; // empty when the cache is off
    std::shared_ptr<ObjectArena> arena;    // for a large directory
    std::vector<std::string> read;         // the names read from the directory
    std::vector<std::string_view> names;
};

// Below: the pieces the look-up is made of, shared by the sources of the cache and its tests.

/// The cache directory ($XDG_CACHE_HOME/varnok, else $HOME/.cache/varnok), created 0700 when
/// missing; empty when the cache is off, the base directory ($XDG_CACHE_HOME or $HOME/.cache, or,
/// while it does not exist, the directory that would hold it) belongs to another user, or the
/// directory is not private to the effective user. Decided once per process.
const std::string& CacheDirectory();

/// The version an entry must carry: the library's version, the layout of the cache files and the
/// versions of the libraries whose behaviour the entries depend on.
const std::string& CacheVersion();

/// The name of the cache file of the absolute directory `directory`.
std::string CacheFileName(const std::string& directory);

/// Writes the cache files that changed in this process now instead of when it ends, and forgets
/// what was read, so that later look-ups read the files again. Exported for the tests.
CORVANE_API void WriteChanges();

/// Where the kept text of one descriptor is: shared by the commands restored from it.
struct KeptText {
    std::shared_ptr<const TextSource> source;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::string fileName;  ///< the descriptor's path as given to XmlPlugin
    FileIdentity identity; ///< the descriptor's, when the text was kept
};

/// A command restored from the cache: its description and default format parameters are set at
/// once, its specifications and templates are read from the kept descriptor text the first time
/// anything asks for them, by the same code that reads them without the cache.
class CachedExtensionCommand : public ExtensionCommand {
public:
    /// `ordinal` counts the `command` children of the descriptor's `commands` element from 0.
    CachedExtensionCommand(std::shared_ptr<const KeptText> text, unsigned ordinal);
    ~CachedExtensionCommand() override;

    std::shared_ptr<CallSpec::InputSpec> GetInputSpecInternal() override;
    std::shared_ptr<CallSpec::OutputSpec> GetOutputSpecInternal() override;
    const std::map<std::string, std::string>& GetMetaData() override;
    void ExecuteInternal(const std::shared_ptr<CallSpec::Input>& input,
                         const std::shared_ptr<CallSpec::Output>& output) override;

private:
    void Materialize();

    std::shared_ptr<const KeptText> text;
    unsigned ordinal;
    bool materialized = false;
};

} // namespace DescriptorCache
} // namespace Corvane::AutoCli
