// Descriptor cache: where it lives, the cache file of each directory, look-ups and writing at exit.
#include "descriptor_cache.h"

#include "descriptor_cache_format.h"

#include <boost/version.hpp>
#include <libxml/xmlversion.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string_view>
#include <unordered_map>
#include <utility>

#ifndef CORVANE_VERSION_STRING
#define CORVANE_VERSION_STRING "unknown"
#endif

namespace Corvane::AutoCli {
namespace DescriptorCache {

namespace {

// Raised whenever the layout of cache files or what an entry means changes.
constexpr const char* kCacheFormat = "1";

FileIdentity IdentityOf(const struct stat& status) {
    FileIdentity id;
    id.device = static_cast<std::uint64_t>(status.st_dev);
    id.inode = static_cast<std::uint64_t>(status.st_ino);
    id.size = static_cast<std::uint64_t>(status.st_size);
    id.mtimeSec = status.st_mtim.tv_sec;
    id.mtimeNsec = status.st_mtim.tv_nsec;
    id.ctimeSec = status.st_ctim.tv_sec;
    id.ctimeNsec = status.st_ctim.tv_nsec;
    return id;
}

bool Earlier(std::int64_t sec, std::int64_t nsec, const timespec& than) {
    return sec < than.tv_sec || (sec == than.tv_sec && nsec < than.tv_nsec);
}

// Owned by the effective user and writable by no one else.
bool IsPrivate(const struct stat& status) {
    return status.st_uid == ::geteuid() && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool ReadFully(int fd, std::uint64_t offset, char* buffer, std::uint64_t size) {
    while (size > 0) {
        const ssize_t got = ::pread(fd, buffer, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        buffer += got;
        offset += static_cast<std::uint64_t>(got);
        size -= static_cast<std::uint64_t>(got);
    }
    return true;
}

bool WriteFully(int fd, std::string_view data) {
    const char* next = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t put = ::write(fd, next, left);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        next += put;
        left -= static_cast<std::size_t>(put);
    }
    return true;
}

std::string FindCacheDirectory(const char* disabled, const char* xdg, const char* home) {
    if (disabled != nullptr && *disabled != '\0' && std::strcmp(disabled, "0") != 0) {
        return {};
    }
    // A relative $XDG_CACHE_HOME is not a cache directory; $HOME/.cache is used instead.
    std::string base;
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else if (home != nullptr && home[0] == '/') {
        base = std::string(home) + "/.cache";
    } else {
        return {};
    }
    std::string directory = base + "/varnok";
    struct stat status {};
    if (::lstat(directory.c_str(), &status) != 0) {
        if (errno != ENOENT) {
            return {};
        }
        ::mkdir(base.c_str(), 0700);
        if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
            return {};
        }
        if (::lstat(directory.c_str(), &status) != 0) {
            return {};
        }
    }
    if (!S_ISDIR(status.st_mode) || !IsPrivate(status)) {
        return {};
    }
    return directory;
}

} // namespace

/// The cache file of one plugin directory: the entries read from it at the first look-up, and what
/// this process learnt since, written back when the process ends.
class DirectoryCache {
public:
    DirectoryCache(const std::string& cacheDirectory, std::string directory)
        : directory(std::move(directory)), path(cacheDirectory + "/" + CacheFileName(this->directory)) {
        Load();
    }

    const EntryData* Find(const std::string& name) const {
        auto found = byName.find(name);
        return found != byName.end() ? &entries[found->second] : nullptr;
    }

    const std::shared_ptr<const TextSource>& Source() const { return source; }

    void Drop(const std::string& name) {
        added.erase(name);
        dropped.insert(name);
        changed = true;
    }

    void Add(const std::string& name, const FileIdentity& identity, std::string registrations,
             std::string text) {
        dropped.erase(name);
        Added& entry = added[name];
        entry.identity = identity;
        entry.registrations = std::move(registrations);
        entry.text = std::move(text);
        changed = true;
    }

    // Entries learnt in this process, and those of the old file that were not looked at and still
    // match their files; written to a new file that then replaces the old one.
    void WriteIfChanged() {
        if (!changed) {
            return;
        }
        changed = false;
        std::vector<std::string> oldTexts;
        std::vector<EntryData> keep;
        oldTexts.reserve(entries.size());
        for (const EntryData& old : entries) {
            const std::string name(old.name);
            if (added.count(name) != 0 || dropped.count(name) != 0 || !StillMatches(name, old.identity)) {
                continue;
            }
            oldTexts.emplace_back();
            if (!source->Read(old.textOffset, old.textSize, oldTexts.back())) {
                continue;
            }
            EntryData entry = old;
            entry.text = oldTexts.back();
            keep.push_back(entry);
        }
        for (const auto& entry : added) {
            EntryData data;
            data.name = entry.first;
            data.identity = entry.second.identity;
            data.registrations = entry.second.registrations;
            data.text = entry.second.text;
            keep.push_back(data);
        }
        std::sort(keep.begin(), keep.end(),
                  [](const EntryData& a, const EntryData& b) { return a.name < b.name; });
        Replace(EncodeIndex(directory, keep), keep);
    }

private:
    struct Added {
        FileIdentity identity;
        std::string registrations;
        std::string text;
    };

    void Load() {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) {
            return;
        }
        source = std::make_shared<TextSource>(fd);
        struct stat status {};
        std::string index(4096, '\0');
        // Anything that is not a valid cache file of ours is ignored, and replaced when this process
        // has something to write.
        changed = true;
        if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || !IsPrivate(status)) {
            return;
        }
        const auto size = static_cast<std::uint64_t>(status.st_size);
        index.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size, index.size())));
        if (!ReadFully(fd, 0, &index[0], index.size())) {
            return;
        }
        const std::uint64_t indexEnd = IndexEnd(index);
        if (indexEnd == 0 || indexEnd > size) {
            return;
        }
        // The index is mapped in one call rather than copied into fresh memory page by page: with
        // thousands of descriptors it is megabytes, read at every start. The file is never written
        // in place (see Replace), so the mapping keeps what was opened.
        void* mapped =
            ::mmap(nullptr, static_cast<std::size_t>(indexEnd), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (mapped != MAP_FAILED) {
            indexMapping.reset(new MappedIndex{mapped, static_cast<std::size_t>(indexEnd)});
            indexText =
                std::string_view(static_cast<const char*>(mapped), static_cast<std::size_t>(indexEnd));
        } else {
            const std::size_t head = index.size();
            index.resize(static_cast<std::size_t>(indexEnd));
            if (indexEnd > head && !ReadFully(fd, head, &index[head], indexEnd - head)) {
                return;
            }
            indexCopy = std::move(index);
            indexText = indexCopy;
        }
        if (!DecodeIndex(indexText, size, directory, entries)) {
            entries.clear();
            return;
        }
        byName.reserve(entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            byName.emplace(std::string(entries[i].name), i);
        }
        changed = false;
    }

    bool StillMatches(const std::string& name, const FileIdentity& identity) const {
        struct stat status {};
        const std::string file = directory == "/" ? "/" + name : directory + "/" + name;
        return ::stat(file.c_str(), &status) == 0 && IdentityOf(status) == identity;
    }

    // Writes the index, then the texts where they already are, instead of joining megabytes first.
    void Replace(const std::string& index, const std::vector<EntryData>& entries) {
        std::string temporary = path + ".XXXXXX";
        const int fd = ::mkstemp(&temporary[0]);
        if (fd < 0) {
            return;
        }
        bool written = WriteFully(fd, index);
        for (auto entry = entries.begin(); written && entry != entries.end(); ++entry) {
            written = WriteFully(fd, entry->text);
        }
        if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
            ::unlink(temporary.c_str());
        }
    }

    std::string directory;
    std::string path;
    std::shared_ptr<const TextSource> source;
    // The index of the cache file, mapped or (where mapping fails) copied; entries point into it.
    struct MappedIndex {
        void* address;
        std::size_t size;
        ~MappedIndex() { ::munmap(address, size); }
    };
    std::unique_ptr<MappedIndex> indexMapping;
    std::string indexCopy;
    std::string_view indexText;
    std::vector<EntryData> entries;
    std::unordered_map<std::string, std::size_t> byName;
    std::map<std::string, Added> added;
    std::set<std::string> dropped;
    bool changed = false;
};

namespace {

// Every directory cache of the process, written back when the process ends (after main returns
// or from exit(); a forked child leaves with _exit and writes nothing).
class Registry {
public:
    static Registry& Get() {
        static Registry registry;
        return registry;
    }

    ~Registry() {
        // What the process printed leaves before the cache is written.
        std::cout.flush();
        WriteAll();
    }
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    std::shared_ptr<DirectoryCache> Find(const std::string& cacheDirectory, const std::string& directory) {
        // The descriptors of one directory come one after the other: the last answer is kept.
        if (last && lastCacheDirectory == cacheDirectory && lastDirectory == directory) {
            return last;
        }
        std::string key = cacheDirectory;
        key += '\0';
        key += directory;
        std::shared_ptr<DirectoryCache>& slot = directories[key];
        if (!slot) {
            slot = std::make_shared<DirectoryCache>(cacheDirectory, directory);
        }
        last = slot;
        lastCacheDirectory = cacheDirectory;
        lastDirectory = directory;
        return slot;
    }

    void WriteAll() {
        for (auto& entry : directories) {
            try {
                entry.second->WriteIfChanged();
            } catch (const std::exception&) {
                // A cache that cannot be written is only a slower next run.
            }
        }
        directories.clear();
        last.reset();
        decided = false;
    }

    // The directory is decided again only when the variables that choose it change.
    const std::string& CacheDirectory() {
        const char* disabled = std::getenv("VARNOK_NO_CACHE");
        const char* xdg = std::getenv("XDG_CACHE_HOME");
        const char* home = std::getenv("HOME");
        if (!decided || !environment[0].Is(disabled) || !environment[1].Is(xdg) || !environment[2].Is(home)) {
            environment[0].Set(disabled);
            environment[1].Set(xdg);
            environment[2].Set(home);
            cacheDirectory = FindCacheDirectory(disabled, xdg, home);
            decided = true;
        }
        return cacheDirectory;
    }

private:
    Registry() = default;

    // The value of an environment variable as last seen, unset apart from empty.
    struct Variable {
        bool set = false;
        std::string value;

        bool Is(const char* now) const { return now == nullptr ? !set : set && value == now; }
        void Set(const char* now) {
            set = now != nullptr;
            value = now != nullptr ? now : "";
        }
    };

    std::map<std::string, std::shared_ptr<DirectoryCache>> directories;
    std::shared_ptr<DirectoryCache> last;
    std::string lastCacheDirectory;
    std::string lastDirectory;
    Variable environment[3];
    std::string cacheDirectory;
    bool decided = false;
};

} // namespace

TextSource::TextSource(int fd) : fd(fd) {}

TextSource::~TextSource() {
    ::close(fd);
}

bool TextSource::Read(std::uint64_t offset, std::uint64_t size, std::string& text) const {
    text.assign(static_cast<std::size_t>(size), '\0');
    return size == 0 || ReadFully(fd, offset, &text[0], size);
}

const std::string& CacheDirectory() {
    return Registry::Get().CacheDirectory();
}

const std::string& CacheVersion() {
    // Never destroyed: the cache files are written while the process ends, after function-local
    // statics made later than the registry are gone.
    static const std::string* const version =
        new std::string(std::string(CORVANE_VERSION_STRING) + " cache " + kCacheFormat + " boost " +
                        BOOST_LIB_VERSION + " libxml2 " + LIBXML_DOTTED_VERSION);
    return *version;
}

std::string CacheFileName(const std::string& directory) {
    // FNV-1a: the name only has to be stable; the file itself names its directory.
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : directory) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    static const char digits[] = "0123456789abcdef";
    std::string name(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4) {
        name[static_cast<std::size_t>(i)] = digits[hash & 0xf];
    }
    return name + ".desc";
}

void WriteChanges() {
    Registry::Get().WriteAll();
}

Lookup::Lookup(const std::string& fileName) : fileName(fileName) {
    try {
        const std::string& cacheDirectory = CacheDirectory();
        if (cacheDirectory.empty() || fileName.empty()) {
            return;
        }
        std::string absolute = fileName;
        if (absolute[0] != '/') {
            char cwd[PATH_MAX];
            if (::getcwd(cwd, sizeof cwd) == nullptr) {
                return;
            }
            absolute = std::string(cwd) + "/" + fileName;
        }
        const std::size_t slash = absolute.rfind('/');
        baseName = absolute.substr(slash + 1);
        if (baseName.empty()) {
            return;
        }
        // The clock first: a change after this moment gives the file a later change time, so an
        // entry is made only for a file last changed before it (see Store).
        timespec now{};
        struct stat status {};
        if (::clock_gettime(CLOCK_REALTIME_COARSE, &now) != 0 || ::stat(fileName.c_str(), &status) != 0 ||
            !S_ISREG(status.st_mode)) {
            return;
        }
        identity = IdentityOf(status);
        identityKnown = true;
        storable = Earlier(identity.mtimeSec, identity.mtimeNsec, now) &&
                   Earlier(identity.ctimeSec, identity.ctimeNsec, now);
        directory = Registry::Get().Find(cacheDirectory, slash == 0 ? "/" : absolute.substr(0, slash));
    } catch (const std::exception&) {
        directory.reset();
    }
}

Lookup::~Lookup() = default;

bool Lookup::Restore(std::vector<XmlPlugin::Registration>& pending) {
    if (!directory || !identityKnown) {
        return false;
    }
    try {
        const EntryData* entry = directory->Find(baseName);
        if (entry == nullptr) {
            return false;
        }
        if (entry->identity != identity || entry->textSize != identity.size ||
            !DecodeRegistrations(entry->registrations, directory->Source(), *entry, fileName, pending)) {
            directory->Drop(baseName);
            return false;
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void Lookup::Store(const std::string& text, const std::vector<XmlPlugin::Registration>& pending) {
    if (!directory || !storable || text.size() != identity.size) {
        return;
    }
    try {
        // The file must still be the one looked at before it was read.
        struct stat status {};
        std::string registrations;
        if (::stat(fileName.c_str(), &status) != 0 || IdentityOf(status) != identity ||
            !EncodeRegistrations(pending, registrations)) {
            directory->Drop(baseName);
            return;
        }
        directory->Add(baseName, identity, std::move(registrations), text);
    } catch (const std::exception&) {
        // Not kept: the next run reads the file again.
    }
}

} // namespace DescriptorCache
} // namespace Corvane::AutoCli
