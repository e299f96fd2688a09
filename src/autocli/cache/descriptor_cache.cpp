// Descriptor cache: where it lives, the cache files of the process, look-ups and writing at exit.
#include "autocli/cache/descriptor_cache.h"

#include "autocli/cache/descriptor_cache_directory.h"
#include "autocli/cache/descriptor_cache_format.h"

#include <boost/version.hpp>
#include <libxml/xmlversion.h>

#include <fcntl.h>
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
constexpr const char* kCacheFormat = "4";

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
    // The base directory must be the effective user's: run with another user's home (as a
    // privileged tool may leave it), nothing is created or used there. One not made yet is made only
    // in a directory of the effective user's own.
    struct stat status {};
    if (::stat(base.c_str(), &status) != 0) {
        if (errno != ENOENT) {
            return {};
        }
        const std::size_t last = base.find_last_not_of('/');
        const std::size_t slash = last == std::string::npos ? 0 : base.rfind('/', last);
        const std::string parent = slash == 0 || slash == std::string::npos ? "/" : base.substr(0, slash);
        if (::stat(parent.c_str(), &status) != 0 || status.st_uid != ::geteuid()) {
            return {};
        }
        ::mkdir(base.c_str(), 0700);
    } else if (!S_ISDIR(status.st_mode) || status.st_uid != ::geteuid()) {
        return {};
    }
    std::string directory = base + "/varnok";
    if (::lstat(directory.c_str(), &status) != 0) {
        if (errno != ENOENT) {
            return {};
        }
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

    std::shared_ptr<DirectoryCache> Find(const std::string& cacheDirectory, std::string_view directory) {
        // The descriptors of one directory come one after the other: the last answer is kept.
        if (last && lastCacheDirectory == cacheDirectory && lastDirectory == directory) {
            return last;
        }
        std::string key = cacheDirectory;
        key += '\0';
        key += directory;
        std::shared_ptr<DirectoryCache>& slot = directories[key];
        if (!slot) {
            slot = std::make_shared<DirectoryCache>(cacheDirectory, std::string(directory));
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

bool Earlier(std::int64_t sec, std::int64_t nsec, const timespec& than) {
    return sec < than.tv_sec || (sec == than.tv_sec && nsec < than.tv_nsec);
}

std::shared_ptr<DirectoryCache> DirectoryOf(const std::string& cacheDirectory, const std::string& fileName,
                                            std::string& baseName) {
    std::string absolute;
    if (fileName[0] != '/') {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd) == nullptr) {
            return nullptr;
        }
        absolute = std::string(cwd) + "/" + fileName;
    }
    const std::string_view path = absolute.empty() ? std::string_view(fileName) : std::string_view(absolute);
    const std::size_t slash = path.rfind('/');
    baseName = path.substr(slash + 1);
    if (baseName.empty()) {
        return nullptr;
    }
    return Registry::Get().Find(cacheDirectory, slash == 0 ? std::string_view("/") : path.substr(0, slash));
}

Lookup::Lookup(const std::string& fileName) : fileName(fileName) {
    try {
        // The clock first: a change after this moment gives the file a later change time, so an
        // entry is made only for a file last changed before it (see Store).
        timespec now{};
        struct stat status {};
        std::shared_ptr<DirectoryCache> found;
        // A file of the directory being loaded is looked up by name in it, and the directory's
        // cache is found once for all its files.
        if (const DirectoryScan* scan = DirectoryScan::Of(fileName)) {
            baseName = fileName.substr(scan->directory.size() + 1);
            found = scan->cache;
            arena = scan->arena;
            if (!found || ::clock_gettime(CLOCK_REALTIME_COARSE, &now) != 0 ||
                ::fstatat(scan->fd, baseName.c_str(), &status, 0) != 0) {
                return;
            }
        } else {
            const std::string& cacheDirectory = CacheDirectory();
            if (cacheDirectory.empty() || fileName.empty()) {
                return;
            }
            found = DirectoryOf(cacheDirectory, fileName, baseName);
            if (!found || ::clock_gettime(CLOCK_REALTIME_COARSE, &now) != 0 ||
                ::stat(fileName.c_str(), &status) != 0) {
                return;
            }
        }
        if (!S_ISREG(status.st_mode)) {
            return;
        }
        identity = IdentityOf(status);
        identityKnown = true;
        storable = Earlier(identity.mtimeSec, identity.mtimeNsec, now) &&
                   Earlier(identity.ctimeSec, identity.ctimeNsec, now);
        directory = std::move(found);
    } catch (const std::exception&) {
        directory.reset();
    }
}

Lookup::~Lookup() = default;

bool Lookup::Restore(RestoredDescriptor& restored) {
    if (!directory || !identityKnown) {
        return false;
    }
    try {
        const EntryData* entry = directory->Find(baseName);
        if (entry == nullptr) {
            return false;
        }
        if (entry->identity != identity || entry->textSize != identity.size) {
            directory->Drop(baseName);
            return false;
        }
        restored.index = directory->Index();
        restored.registrations = entry->registrations;
        restored.source = directory->Source();
        restored.textOffset = entry->textOffset;
        restored.textSize = entry->textSize;
        restored.fileName = fileName;
        restored.identity = identity;
        restored.arena = arena;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::vector<XmlPlugin::Registration> RestoredDescriptor::Decode() const {
    std::vector<XmlPlugin::Registration> nodes;
    if (!DecodeRegistrations(*this, nodes)) {
        // The index was checked when the file was opened and is never written in place.
        throw CorvaneException("Unable to read the cached declarations of " + fileName +
                               ".  Remove the cache to read the descriptor again.");
    }
    return nodes;
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
