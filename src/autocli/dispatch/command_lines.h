// CommandLineReader: the lines of a command file (--input), with its end told apart from a read error.
#pragma once

#include <string>
#include <vector>

namespace Corvane::AutoCli {

// Reads newline-separated lines from a descriptor it does not own. Unlike a stream, it says why
// reading stopped: a directory or an I/O error is not the end of the file.
class CommandLineReader {
public:
    enum class Result { Line, End, Error };

    explicit CommandLineReader(int fd) : fd(fd) {}

    // The next line without its newline; a last line without one counts. After End or Error every
    // further call returns the same.
    Result Next(std::string& line);
    // The errno value of the failed read after Error.
    int Error() const { return error; }

private:
    bool Fill();

    int fd;
    int error = 0;
    bool ended = false;
    std::vector<char> buffer = std::vector<char>(65536);
    std::size_t begin = 0;
    std::size_t end = 0;
};

} // namespace Corvane::AutoCli
