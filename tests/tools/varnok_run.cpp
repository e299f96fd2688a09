// Runs the varnok binary under test as a separate process, through pipes or a pseudo-terminal.
#include "varnok_run.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace VarnokTest {

namespace {

constexpr int kTimeoutSeconds = 60;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string TempFile(const std::string& content) {
    char name[] = "/tmp/varnok-e2e-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0)
        return "";
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    return name;
}

// In the child after fork: environment, working directory, exec. Never returns.
[[noreturn]] void Exec(const std::string& program, const std::string& argv0,
                       const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                       const std::string& workDir) {
    for (const auto& [name, value] : env) {
        if (value.empty())
            unsetenv(name.c_str());
        else
            setenv(name.c_str(), value.c_str(), 1);
    }
    if (!workDir.empty() && chdir(workDir.c_str()) != 0)
        _exit(126);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(argv0.c_str()));
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    if (program.find('/') != std::string::npos)
        execv(program.c_str(), argv.data());
    else
        execvp(program.c_str(), argv.data());
    _exit(127);
}

int Decode(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

// Waits for the child, killing it after the timeout.
int Wait(pid_t pid) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kTimeoutSeconds);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "process did not end within " << kTimeoutSeconds << " seconds";
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return Decode(status);
}

Result RunWith(const std::string& program, const std::string& argv0, const std::vector<std::string>& args,
               const std::string& stdinText, const std::map<std::string, std::string>& env,
               const std::string& workDir) {
    Result result;
    std::string in = TempFile(stdinText);
    std::string out = TempFile("");
    std::string err = TempFile("");
    if (in.empty() || out.empty() || err.empty()) {
        ADD_FAILURE() << "cannot create temporary files";
        return result;
    }
    pid_t pid = fork();
    if (pid == 0) {
        int inFd = open(in.c_str(), O_RDONLY);
        int outFd = open(out.c_str(), O_WRONLY | O_TRUNC);
        int errFd = open(err.c_str(), O_WRONLY | O_TRUNC);
        if (inFd < 0 || outFd < 0 || errFd < 0 || dup2(inFd, 0) < 0 || dup2(outFd, 1) < 0 ||
            dup2(errFd, 2) < 0)
            _exit(126);
        close(inFd);
        close(outFd);
        close(errFd);
        Exec(program, argv0, args, env, workDir);
    }
    if (pid < 0) {
        ADD_FAILURE() << "fork failed: " << std::strerror(errno);
    } else {
        result.status = Wait(pid);
        result.out = Slurp(out);
        result.err = Slurp(err);
    }
    unlink(in.c_str());
    unlink(out.c_str());
    unlink(err.c_str());
    return result;
}

// Reads from the terminal's master side until `until` appears in `screen` (empty: until the child
// closes the terminal) or the time is up. Returns whether `until` was seen.
bool ReadTerminal(int master, std::string& screen, const std::string& until) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kTimeoutSeconds);
    char buffer[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        if (!until.empty() && screen.find(until) != std::string::npos)
            return true;
        pollfd poller{master, POLLIN, 0};
        int ready = poll(&poller, 1, 100);
        if (ready <= 0)
            continue;
        ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) // EIO once the child side is closed
            return until.empty();
        screen.append(buffer, static_cast<size_t>(n));
    }
    return false;
}

} // namespace

std::string Binary() {
    const char* installed = std::getenv("VARNOK_UNDER_TEST");
    return installed != nullptr && *installed != '\0' ? installed : VARNOK_BUILT;
}

Result RunVarnok(const std::vector<std::string>& args, const std::string& stdinText,
                 const std::map<std::string, std::string>& env, const std::string& workDir) {
    return RunWith(Binary(), "varnok", args, stdinText, env, workDir);
}

Result RunProgram(const std::string& program, const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& env, const std::string& workDir) {
    return RunWith(program, program, args, "", env, workDir);
}

TerminalResult RunOnTerminal(const std::vector<std::string>& args, const std::string& prompt,
                             const std::string& typed, unsigned short columns) {
    TerminalResult result;
    winsize size{};
    size.ws_col = columns;
    size.ws_row = 24;
    int master = -1;
    std::string binary = Binary();
    pid_t pid = forkpty(&master, nullptr, nullptr, &size);
    if (pid == 0)
        Exec(binary, "varnok", args, {}, "");
    if (pid < 0) {
        ADD_FAILURE() << "forkpty failed: " << std::strerror(errno);
        return result;
    }
    result.prompted = ReadTerminal(master, result.screen, prompt);
    if (result.prompted) {
        // The prompt is written before the terminal settings change: wait until echo is off (or
        // give up after a while and report what it is).
        termios settings{};
        for (int i = 0; i < 200; ++i) {
            if (tcgetattr(master, &settings) == 0 && !(settings.c_lflag & ECHO))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        result.echoWhilePrompting = (settings.c_lflag & ECHO) != 0;
        std::string line = typed + "\n";
        if (write(master, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
            ADD_FAILURE() << "cannot type on the terminal";
    }
    ReadTerminal(master, result.screen, "");
    close(master);
    result.status = Wait(pid);

    std::string plain;
    for (size_t i = 0; i < result.screen.size(); ++i) {
        if (result.screen[i] == '\r' && i + 1 < result.screen.size() && result.screen[i + 1] == '\n')
            continue;
        plain += result.screen[i];
    }
    result.screen = plain;
    return result;
}

} // namespace VarnokTest
