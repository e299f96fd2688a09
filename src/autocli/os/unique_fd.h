// UniqueFd: the one owner of an operating-system file descriptor.
#pragma once

#include <unistd.h>

#include <cerrno>

namespace Corvane::AutoCli {

// Owns one descriptor and closes it when reset or destroyed, so that no exit path leaks it.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }
    void Adopt(int fd) {
        Reset();
        fd_ = fd;
    }
    // Keeps errno, so a caller can still report the failure that led to the close.
    void Reset() {
        if (fd_ < 0) {
            return;
        }
        const int saved = errno;
        ::close(fd_);
        fd_ = -1;
        errno = saved;
    }

private:
    int fd_ = -1;
};

} // namespace Corvane::AutoCli
