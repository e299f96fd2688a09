// Terminal access: echo-less line reading, the prompt stream and the window size of standard output.
#include "autocli/dispatch/terminal.h"

#include <corvane/dispatch.h>

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <iostream>

namespace Corvane::AutoCli {

namespace {

// Switches echo off on descriptor 0 for its lifetime and puts the saved settings back when it ends,
// however the read in between ends (short line, end of file, or a stream exception).
class EchoOff {
public:
    EchoOff() {
        // Not a terminal (a pipe, a file, /dev/null): nothing to switch, the line is read as is.
        if (tcgetattr(STDIN_FILENO, &saved_) != 0) {
            return;
        }
        termios silent = saved_;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        // TCSANOW rather than TCSAFLUSH: input the user typed ahead must not be thrown away.
        active_ = tcsetattr(STDIN_FILENO, TCSANOW, &silent) == 0;
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
    ~EchoOff() {
        if (active_) {
            tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
        }
    }

private:
    termios saved_{};
    bool active_ = false;
};

} // namespace

// The line is read through std::cin, the same buffered standard input the command-file reader
// uses, so a secret prompted for while command lines come from standard input is taken from the
// next line of that stream and nothing read ahead by one reader is lost to the other.
std::string OptionParser::GetSilentString() {
    std::string line;
    EchoOff echoOff;
    std::getline(std::cin, line);
    return line;
}

std::ostream& PromptStream() {
    return isatty(STDOUT_FILENO) != 0 ? std::cout : std::cerr;
}

bool GetTerminalSize(uint16_t& columns, uint16_t& rows) {
    struct winsize size {};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) {
        return false;
    }
    columns = size.ws_col;
    rows = size.ws_row;
    return true;
}

} // namespace Corvane::AutoCli
