// Reading whole regular files with a size bound.
#include "autocli/os/file_access.h"

#include "autocli/os/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace Corvane::AutoCli {

FileReadResult ReadRegularFile(const std::string& fileName, std::size_t maxBytes, std::string& text) {
    const UniqueFd fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.Get() < 0) {
        return FileReadResult::Unreadable;
    }
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return FileReadResult::Unreadable;
    }
    if (static_cast<unsigned long long>(status.st_size) > maxBytes) {
        return FileReadResult::TooLarge;
    }
    text.resize(static_cast<std::size_t>(status.st_size));
    std::size_t filled = 0;
    // The file may grow while it is read; one byte past the limit is enough to refuse it.
    for (;;) {
        if (filled == text.size()) {
            if (text.size() > maxBytes) {
                return FileReadResult::TooLarge;
            }
            text.resize(std::min(text.size() + 4096, maxBytes + 1));
        }
        const ssize_t got = ::read(fd.Get(), &text[filled], text.size() - filled);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return FileReadResult::Unreadable;
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    text.resize(filled);
    return FileReadResult::Ok;
}

bool HasSuffixAfterSomething(const std::string& path, std::string_view suffix) {
    return path.size() > suffix.size() &&
           std::string_view(path).substr(path.size() - suffix.size()) == suffix;
}

} // namespace Corvane::AutoCli
