// Standard output of the command-line front end: a buffer over descriptor 1 that keeps the reason of a failed
// write.
#include "autocli/dispatch/standard_output.h"

#include "autocli/os/error_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <streambuf>

namespace Corvane::AutoCli {

namespace {

// Writes whole blocks to a descriptor. The first failure is kept; from then on everything written
// is dropped and reported as failed, so the stream goes bad and later output does not pretend to
// have left.
class DescriptorBuffer : public std::streambuf {
public:
    explicit DescriptorBuffer(int fd) : fd(fd) { setp(space.data(), space.data() + space.size()); }

    int Error() const { return error; }

protected:
    int_type overflow(int_type c) override {
        if (!Drain()) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    std::streamsize xsputn(const char* text, std::streamsize count) override {
        if (count < epptr() - pptr()) {
            std::memcpy(pptr(), text, static_cast<std::size_t>(count));
            pbump(static_cast<int>(count));
            return count;
        }
        if (!Drain()) {
            return 0;
        }
        if (count >= static_cast<std::streamsize>(space.size())) {
            return WriteAll(text, static_cast<std::size_t>(count)) ? count : 0;
        }
        std::memcpy(pptr(), text, static_cast<std::size_t>(count));
        pbump(static_cast<int>(count));
        return count;
    }

    int sync() override { return Drain() ? 0 : -1; }

private:
    bool Drain() {
        const std::size_t size = static_cast<std::size_t>(pptr() - pbase());
        setp(space.data(), space.data() + space.size());
        return size == 0 ? error == 0 : WriteAll(space.data(), size);
    }

    bool WriteAll(const char* text, std::size_t size) {
        while (error == 0 && size > 0) {
            const ssize_t n = ::write(fd, text, size);
            if (n < 0) {
                if (errno != EINTR) {
                    error = errno;
                }
                continue;
            }
            text += n;
            size -= static_cast<std::size_t>(n);
        }
        return error == 0;
    }

    int fd;
    int error = 0;
    std::array<char, 65536> space{};
};

DescriptorBuffer* installed = nullptr;
std::streambuf* replaced = nullptr;
bool reported = false;

// Opens /dev/null on `fd` when it is closed; `flags` is the direction that fails on it.
void TakeIfClosed(int fd, int flags) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) {
        return;
    }
    const int opened = ::open("/dev/null", flags);
    if (opened >= 0 && opened != fd) {
        ::dup2(opened, fd);
        ::close(opened);
    }
}

void PutBack() {
    if (installed != nullptr) {
        std::cout.rdbuf(replaced);
        installed = nullptr;
    }
}

} // namespace

CheckedStandardOutput::CheckedStandardOutput() {
    TakeIfClosed(STDIN_FILENO, O_WRONLY);
    TakeIfClosed(STDOUT_FILENO, O_RDONLY);
    std::cout.flush();
    // Static storage: the buffer outlives every path out of the process, std::exit included.
    static DescriptorBuffer buffer(STDOUT_FILENO);
    installed = &buffer;
    replaced = std::cout.rdbuf(&buffer);
}

CheckedStandardOutput::~CheckedStandardOutput() {
    FinishStandardOutput();
    PutBack();
}

bool FinishStandardOutput() {
    std::cout.flush();
    int error = 0;
    if (installed != nullptr) {
        error = installed->Error();
    } else if (std::cout.fail()) {
        error = EIO; // a buffer of someone else's: it failed, but does not say why
    }
    if (error == 0) {
        return true;
    }
    if (!reported) {
        reported = true;
        std::cerr << "varnok: write error: " << ErrorText(error) << std::endl;
    }
    return false;
}

void ExitProcess(int status) {
    if (!FinishStandardOutput()) {
        status = 1;
    }
    PutBack();
    std::exit(status);
}

} // namespace Corvane::AutoCli
