// CommandLineReader: the lines of a command file (--input), with its end told apart from a read error.
#include "autocli/dispatch/command_lines.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace Corvane::AutoCli {

CommandLineReader::Result CommandLineReader::Next(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        const auto first = buffer.begin() + static_cast<std::ptrdiff_t>(begin);
        const auto last = buffer.begin() + static_cast<std::ptrdiff_t>(end);
        const auto newline = std::find(first, last, '\n');
        line.append(first, newline);
        any = any || first != last;
        if (newline != last) {
            begin = static_cast<std::size_t>(newline - buffer.begin()) + 1;
            return Result::Line;
        }
        begin = end = 0;
        if (!Fill()) {
            if (error != 0) {
                return Result::Error;
            }
            return any ? Result::Line : Result::End;
        }
    }
}

// False at the end of the input or on a read error (then error is set); commands run between two
// reads, so a terminal or pipe is read as lines arrive.
bool CommandLineReader::Fill() {
    if (ended || error != 0) {
        return false;
    }
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n > 0) {
            end = static_cast<std::size_t>(n);
            return true;
        }
        if (n == 0) {
            ended = true;
            return false;
        }
        if (errno != EINTR) {
            error = errno;
            return false;
        }
    }
}

} // namespace Corvane::AutoCli
