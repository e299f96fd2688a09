// The descriptor cache: what loading a descriptor produced, kept per user so that a later run
// neither reads nor parses it.
//
// WHY. Completion runs varnok on every Tab, and a host may carry thousands of descriptors. Loading
// 2,000 of them reads and parses 2,000 XML files: about 2 times `xmllint --noout` on the same
// files. With the cache a warm run of 2,000 descriptors costs 0.03 times that, about 5 start-ups
// (22 M instructions against 200 M before the cache; figures in docs/performance.md).
//
// LAYERS, each only as good as the one below it, with what it buys on that warm 2,000 run:
//  1. Entries (Lookup): per descriptor, the registrations XmlPlugin::Initialize produced and the
//     descriptor's text, used while the file's identity and the library's version match. No XML
//     is read; this is the step from about 2 to 0.15 times xmllint.
//  2. Deferred registration (RestoredRegistrations, restored_registrations.h): when the entry's
//     plan, made when it was stored, shows that registering into an empty root succeeds, only the
//     top-level namespaces go into the tree; their subtrees are made on first look. With the
//     command listing read straight from the entry (ListedCommand) and the kept directory listing
//     (DirectoryScan), 134 M instructions became 22 M.
//  3. Lazy commands (CachedExtensionCommand): specifications and templates are read from the kept
//     text only when a command runs or shows help; a listing never touches libxml2.
//  4. The arena (object_arena.h): the objects restored for a directory of 1,000 files or more are
//     made in 2 MB blocks offered huge pages. Warm 2,000 run: 18.2 ms and 380 page faults with it,
//     22.0 ms and 674 without (17% of the run), so it stays; the sanitizer build uses it too, with
//     its blocks poisoned but for live objects and scanned for leaks.
//
// FORMAT. One file per plugin directory, $XDG_CACHE_HOME/varnok (else $HOME/.cache/varnok), named
// by CacheFileName: an index (magic, version, directory, the kept directory listing, the entries
// with each descriptor's identity, registrations, plan and command listing), then the descriptor
// texts. The layout is spelled out in descriptor_cache_format.h. The index is read into memory with
// pread when the file is opened (not mapped: a file cut short under a run would raise SIGBUS),
// which cost 0.3% more instructions than mapping it.
//
// TRUST. The cache is used only when its base directory ($XDG_CACHE_HOME, else $HOME/.cache)
// belongs to the effective user, the varnok directory is private to it (0700) and each file is
// owned by it and writable by nobody else; otherwise it is off, silently. Every length of the index
// is checked when the file is opened, and a descriptor's entry is used only while the descriptor
// has the device, inode, size, modification and change times the entry was made with. An entry of
// the right form is trusted as the library's own: one edited by hand into another declaration is
// registered as written, and fails with a message when its namespaces are built if it cannot be.
// A kept text is read only while the file keeps the size and modification time it was opened with.
// Nothing here throws or prints: a cache that cannot be used is only a slower run.
//
// THE EXIT-TIME WRITER. The registry of the files read or changed in the process (descriptor_cache.cpp)
// is a static object; its destructor writes the changed files when the process ends, after main
// returns or on exit() (a forked child leaves with _exit and writes nothing), and after standard
// output is flushed. Each file goes to NAME.desc.PID.XXXXXX and is renamed over the old one, so no
// reader sees half a file; SIGXFSZ is ignored meanwhile, and a failed write (a full disk, a size
// limit) removes the temporary file and changes neither output nor status. A later writer removes
// temporary files untouched for 10 minutes whose writer no longer runs. WriteChanges (test_hooks.h)
// does the same at once.
//
// OWNERSHIP. A DirectoryCache (descriptor_cache_directory.h) is held by the registry and by the
// scans and look-ups of its directory; a restored descriptor holds the index bytes it points into
// (RestoredDescriptor::index) and the open file its text is in (TextSource), so an entry stays
// valid after the registry forgets its file. RestoredRegistrations is held by its XmlPlugin and by
// each deferred namespace until that has made its subtree; it refers to the deferred namespaces only
// weakly, so neither keeps the other alive. Objects in an arena hold the arena through their
// allocator: it goes with the last of them.
#pragma once

#include <corvane/plugins.h>

#include "autocli/test_hooks.h"

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
