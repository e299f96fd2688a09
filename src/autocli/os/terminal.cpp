// Terminal access: echo-less line reading, secret prompts, the prompt stream and the window size of standard
// output.
#include "autocli/os/terminal.h"

#include "autocli/os/error_text.h"
#include "autocli/os/termination_signals.h"
#include "autocli/os/unique_fd.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <optional>

namespace Corvane::AutoCli {

namespace {

// The terminal whose echo is off and its settings from before, for the signal handler below.
volatile sig_atomic_t echoOffFd = -1;
termios echoOffSaved{};

// A signal that ends the process at a prompt must not leave the terminal without echo: shells such
// as dash do not repair it, and the user would type blind from then on.
void RestoreEchoAndResignal(int sig) {
    const int fd = echoOffFd;
    if (fd >= 0) {
        tcsetattr(fd, TCSANOW, &echoOffSaved);
    }
    TerminationSignals::Resignal(sig);
}

// Switches echo off on a terminal descriptor for its lifetime and puts the saved settings back when
// it ends, however the read in between ends (a line, end of file, an error, or a signal that ends
// the process).
class EchoOff {
public:
    explicit EchoOff(int fd) : fd(fd) {
        // Not a terminal (a pipe, a file, /dev/null): nothing to switch, the line is read as is.
        if (tcgetattr(fd, &saved) != 0) {
            return;
        }
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        echoOffSaved = saved;
        echoOffFd = fd;
        signals.emplace(&RestoreEchoAndResignal);
        // TCSANOW rather than TCSAFLUSH: input the user typed ahead must not be thrown away.
        active = tcsetattr(fd, TCSANOW, &silent) == 0;
        if (!active) {
            signals.reset();
            echoOffFd = -1;
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
    ~EchoOff() {
        if (active) {
            tcsetattr(fd, TCSANOW, &saved);
        }
        // The handlers stay until echo is back: a signal in between restores it once more.
        signals.reset();
        echoOffFd = -1;
    }

private:
    int fd;
    termios saved{};
    bool active = false;
    std::optional<TerminationSignals> signals;
};

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return; // a prompt that cannot be shown does not stop the answer from being read
        }
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

bool ReadSilentLine(int fd, std::string& line, int& error) {
    line.clear();
    error = 0;
    EchoOff echoOff(fd);
    bool any = false;
    for (;;) {
        char c = 0;
        const ssize_t n = read(fd, &c, 1);
        if (n == 1) {
            any = true;
            if (c == '\n') {
                return true;
            }
            line.push_back(c);
        } else if (n == 0) {
            return any;
        } else if (errno != EINTR) {
            error = errno;
            return false;
        }
    }
}

bool AskForSecret(const std::string& name, bool fromTerminal, std::string& value, std::string& failure) {
    const std::string prompt = "Enter value for '" + name + "': ";
    bool ok = false;
    int error = 0;
    if (fromTerminal) {
        UniqueFd terminal(open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY));
        if (!terminal.IsOpen()) {
            failure = "Unable to read the value of '" + name +
                      "': no terminal to ask on, standard input holds the command lines (/dev/tty: " +
                      ErrorText(errno) + ")";
            return false;
        }
        WriteAll(terminal.Get(), prompt);
        ok = ReadSilentLine(terminal.Get(), value, error);
        // Echo was off, so the user's Enter left the cursor on the prompt line.
        WriteAll(terminal.Get(), "\n");
    } else {
        std::ostream& out = PromptStream();
        out << prompt << std::flush;
        ok = ReadSilentLine(STDIN_FILENO, value, error);
        out << '\n' << std::flush;
    }
    if (!ok) {
        failure =
            "Unable to read the value of '" + name + "': " + (error == 0 ? "end of input" : ErrorText(error));
    }
    return ok;
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
