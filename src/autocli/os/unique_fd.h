// UniqueFd: the one owner of an operating-system file descriptor.
#pragma once

#include <unistd.h>

#include <cerrno>

namespace Corvane::AutoCli {

// Owns one descriptor and closes it when reset or destroyed, so that no exit path leaks it.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd; }
    bool IsOpen() const { return fd >= 0; }
    void Adopt(int adopted) {
        Reset();
        fd = adopted;
    }
    // Keeps errno, so a caller can still report the failure that led to the close.
    void Reset() {
        if (fd < 0) {
            return;
        }
        const int saved = errno;
        ::close(fd);
        fd = -1;
        errno = saved;
    }

private:
    int fd = -1;
};

} // namespace Corvane::AutoCli
