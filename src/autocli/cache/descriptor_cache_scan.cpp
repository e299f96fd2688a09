// DirectoryScan: loading one plugin directory with the cache, its names kept while it is unchanged.
#include "autocli/cache/descriptor_cache.h"

#include "autocli/cache/descriptor_cache_directory.h"
#include "autocli/cache/object_arena.h"
#include "autocli/os/directory_listing.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <exception>

namespace Corvane::AutoCli {
namespace DescriptorCache {

namespace {

const DirectoryScan* innermostScan = nullptr;

} // namespace

DirectoryScan::DirectoryScan(const std::string& directory, DIR* dir)
    : directory(directory), dir(dir), fd(::dirfd(dir)), outer(innermostScan),
      cacheDirectory(CacheDirectory()) {
    innermostScan = this;
    if (!cacheDirectory.empty() && !directory.empty()) {
        try {
            std::string name;
            cache = DirectoryOf(cacheDirectory, directory + "/-", name);
        } catch (const std::exception&) {
            cache.reset();
        }
    }
}

DirectoryScan::~DirectoryScan() {
    innermostScan = outer;
}

const std::vector<std::string_view>& DirectoryScan::Names() {
    // The clock first, as for descriptors: a listing is kept only when the directory last changed
    // before it, so that a change after it always gives the directory other times.
    timespec now{};
    struct stat status {};
    const bool known =
        cache && ::clock_gettime(CLOCK_REALTIME_COARSE, &now) == 0 && ::fstat(fd, &status) == 0;
    const FileIdentity identity = known ? IdentityOf(status) : FileIdentity{};
    if (known) {
        if (const std::vector<std::string_view>* kept = cache->Listing(identity)) {
            MakeArena(kept->size());
            return *kept; // the cache, and so the names, live as long as this scan
        }
    }
    const bool complete = ListDirectory(dir, read); // one cut short by an error is used, never kept
    names.assign(read.begin(), read.end());
    MakeArena(names.size());
    if (known && complete && Earlier(identity.mtimeSec, identity.mtimeNsec, now) &&
        Earlier(identity.ctimeSec, identity.ctimeNsec, now)) {
        try {
            cache->KeepListing(identity, read);
        } catch (const std::exception&) {
            // Listed again next time.
        }
    }
    return names;
}

void DirectoryScan::MakeArena(std::size_t files) {
    // Only descriptors restored from the cache are many small objects that live together.
    constexpr std::size_t kArenaFiles = 1000;
    if (cache && files >= kArenaFiles) {
        arena = ObjectArena::New();
    }
}

std::shared_ptr<ObjectArena> DirectoryScan::ArenaFor(const std::string& fileName) {
    const DirectoryScan* scan = innermostScan != nullptr ? Of(fileName) : nullptr;
    return scan != nullptr ? scan->arena : nullptr;
}

const DirectoryScan* DirectoryScan::Of(const std::string& fileName) {
    for (const DirectoryScan* scan = innermostScan; scan != nullptr; scan = scan->outer) {
        const std::size_t length = scan->directory.size();
        if (fileName.size() > length + 1 && fileName[length] == '/' &&
            fileName.compare(0, length, scan->directory) == 0 &&
            fileName.find('/', length + 1) == std::string::npos) {
            return scan;
        }
    }
    return nullptr;
}

} // namespace DescriptorCache
} // namespace Corvane::AutoCli
