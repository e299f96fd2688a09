// DirectoryCache: reading and rewriting the cache file of one plugin directory.
#include "autocli/cache/descriptor_cache_directory.h"

#include "autocli/cache/object_arena.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <string>
#include <utility>

namespace Corvane::AutoCli {
namespace DescriptorCache {

namespace {

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

// Ignores a signal while it lives, then gives it back the disposition it had.
class SignalIgnored {
public:
    explicit SignalIgnored(int signal) : signal(signal) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        saved = ::sigaction(signal, &ignore, &previous) == 0;
    }
    ~SignalIgnored() {
        if (saved) {
            ::sigaction(signal, &previous, nullptr);
        }
    }
    SignalIgnored(const SignalIgnored&) = delete;
    SignalIgnored& operator=(const SignalIgnored&) = delete;

private:
    int signal;
    struct sigaction previous {};
    bool saved = false;
};

// The process id a temporary cache file's name carries ("NAME.desc.PID.XXXXXX"), 0 for a name of
// another form (those of writers that did not put it there).
pid_t WriterOf(std::string_view name) {
    const std::size_t desc = name.find(".desc.");
    if (desc == std::string_view::npos) {
        return 0;
    }
    std::string_view rest = name.substr(desc + 6);
    const std::size_t dot = rest.find('.');
    if (dot == std::string_view::npos || dot == 0 || dot > 9) {
        return 0;
    }
    pid_t pid = 0;
    for (const char c : rest.substr(0, dot)) {
        if (c < '0' || c > '9') {
            return 0;
        }
        pid = pid * 10 + (c - '0');
    }
    return pid;
}

} // namespace

void RemoveAbandonedTemporaries(const std::string& cacheDirectory) {
    // Writing a cache file takes milliseconds: one untouched for this long was left by a writer
    // that was killed. A writer whose process still runs is waited for, whatever the age.
    constexpr time_t kAbandonedAfter = time_t{10} * 60;
    DIR* dir = ::opendir(cacheDirectory.c_str());
    if (dir == nullptr) {
        return;
    }
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        // Temporaries are the cache files' names and a suffix: "0123456789abcdef.desc.".
        if (name.size() <= 22 || name.compare(16, 6, ".desc.") != 0) {
            continue;
        }
        struct stat status {};
        if (::fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode) ||
            status.st_uid != ::geteuid() || status.st_mtim.tv_sec > now.tv_sec - kAbandonedAfter) {
            continue;
        }
        const pid_t writer = WriterOf(name);
        if (writer > 0 && (::kill(writer, 0) == 0 || errno != ESRCH)) {
            continue;
        }
        ::unlinkat(fd, entry->d_name, 0);
    }
    ::closedir(dir);
}

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

DirectoryCache::DirectoryCache(const std::string& cacheDirectory, std::string directory)
    : directory(std::move(directory)), path(cacheDirectory + "/" + CacheFileName(this->directory)) {
    Load();
}

DirectoryCache::~DirectoryCache() = default;

const EntryData* DirectoryCache::Find(const std::string& name) const {
    // A directory's files are loaded in name order: the entry after the last one found comes first.
    if (next < entries.size() && entries[next].name == name) {
        return &entries[next++];
    }
    auto found =
        std::lower_bound(entries.begin(), entries.end(), name,
                         [](const EntryData& entry, const std::string& key) { return entry.name < key; });
    if (found == entries.end() || found->name != name) {
        return nullptr;
    }
    next = static_cast<std::size_t>(found - entries.begin()) + 1;
    return &*found;
}

const std::vector<std::string_view>* DirectoryCache::Listing(const FileIdentity& identity) {
    if (!listing.known || listing.identity != identity) {
        return nullptr;
    }
    listingUsed = true;
    return &listing.names;
}

void DirectoryCache::KeepListing(const FileIdentity& identity, std::vector<std::string> names) {
    newIdentity = identity;
    newNames = std::move(names);
    newListing = true;
    changed = true;
}

void DirectoryCache::Drop(const std::string& name) {
    added.erase(name);
    dropped.insert(name);
    changed = true;
}

void DirectoryCache::Add(const std::string& name, const FileIdentity& identity, std::string registrations,
                         std::string text) {
    dropped.erase(name);
    Added& entry = added[name];
    entry.identity = identity;
    entry.registrations = std::move(registrations);
    entry.text = std::move(text);
    changed = true;
}

void DirectoryCache::WriteIfChanged() {
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
    // The listing learnt now, else the one read that was found to be still true, else none.
    DirectoryListing kept;
    if (newListing) {
        kept.known = true;
        kept.identity = newIdentity;
        kept.names.assign(newNames.begin(), newNames.end());
    } else if (listingUsed) {
        kept = listing;
    }
    Replace(EncodeIndex(directory, kept, keep), keep);
}

void DirectoryCache::Load() {
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
    // The index is copied into memory: a mapping of the file would turn a file cut short under this
    // process into a SIGBUS. The file is replaced by rename, never written in place by a writer of
    // ours; one changed in place while it was read is not used. With thousands of descriptors the
    // index is megabytes, read at every start: it then goes to memory in huge pages, left
    // uninitialised before the read, which costs about what mapping the file did.
    constexpr std::size_t kLargeIndex = std::size_t{1} << 20;
    const auto length = static_cast<std::size_t>(indexEnd);
    std::shared_ptr<char> copy = length >= kLargeIndex
                                     ? MapHugeBlocks(length)
                                     : std::shared_ptr<char>(new char[length], std::default_delete<char[]>());
    if (!ReadFully(fd, 0, copy.get(), length) || !source->Unchanged()) {
        return;
    }
    indexText = std::string_view(copy.get(), length);
    indexOwner = std::move(copy);
    if (!DecodeIndex(indexText, size, directory, listing, entries)) {
        entries.clear();
        return;
    }
    changed = false;
}

bool DirectoryCache::StillMatches(const std::string& name, const FileIdentity& identity) const {
    struct stat status {};
    const std::string file = directory == "/" ? "/" + name : directory + "/" + name;
    return ::stat(file.c_str(), &status) == 0 && IdentityOf(status) == identity;
}

// Writes the index, then the texts where they already are, instead of joining megabytes first.
void DirectoryCache::Replace(const std::string& index, const std::vector<EntryData>& kept) {
    RemoveAbandonedTemporaries(path.substr(0, path.rfind('/')));
    // The writer's process id is in the name, so that a later writer can tell a file left by a
    // writer that was killed from one still being written.
    std::string temporary = path + "." + std::to_string(::getpid()) + ".XXXXXX";
    const int fd = ::mkstemp(&temporary[0]);
    if (fd < 0) {
        return;
    }
    bool written = false;
    {
        // A file-size limit makes the write fail (EFBIG) instead of ending the process.
        const SignalIgnored sizeLimit(SIGXFSZ);
        written = WriteFully(fd, index);
        for (auto entry = kept.begin(); written && entry != kept.end(); ++entry) {
            written = WriteFully(fd, entry->text);
        }
    }
    if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
    }
}

TextSource::TextSource(int fd) : fd(fd) {
    struct stat status {};
    if (::fstat(fd, &status) == 0) {
        size = static_cast<std::uint64_t>(status.st_size);
        mtimeSec = status.st_mtim.tv_sec;
        mtimeNsec = status.st_mtim.tv_nsec;
        known = true;
    }
}

TextSource::~TextSource() {
    ::close(fd);
}

bool TextSource::Read(std::uint64_t offset, std::uint64_t count, std::string& text) const {
    text.assign(static_cast<std::size_t>(count), '\0');
    return (count == 0 || ReadFully(fd, offset, &text[0], count)) && Unchanged();
}

bool TextSource::Unchanged() const {
    // Not the change time: that moves when the file is only renamed over or removed, which leaves
    // its bytes as they were.
    struct stat status {};
    return known && ::fstat(fd, &status) == 0 && static_cast<std::uint64_t>(status.st_size) == size &&
           status.st_mtim.tv_sec == mtimeSec && status.st_mtim.tv_nsec == mtimeNsec;
}

} // namespace DescriptorCache
} // namespace Corvane::AutoCli
