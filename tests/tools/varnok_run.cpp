// Runs the varnok binary under test as a separate process, on files or on a pseudo-terminal.
#include "varnok_run.h"

#include "test_support.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace VarnokTest {

namespace {

// Starts `program` with descriptors 0, 1 and 2 taken from `fds` (which should be close-on-exec).
pid_t Start(const std::string& program, std::string argv0, std::vector<std::string> args,
            std::array<int, 3> fds) {
    std::vector<char*> words{argv0.data()};
    for (std::string& word : args)
        words.push_back(word.data());
    words.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        for (int fd = 0; fd < 3; ++fd)
            if (dup2(fds[fd], fd) < 0)
                _exit(126);
        execv(program.c_str(), words.data());
        _exit(127);
    }
    EXPECT_LT(0, pid) << "fork failed";
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool Echo(int terminal) {
    termios settings{};
    return tcgetattr(terminal, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
}

Result Run(const std::string& program, const std::string& argv0, const std::vector<std::string>& args,
           const std::string& input) {
    CorvaneTest::TempDir dir;
    const std::string out = dir.Path() + "/out", err = dir.Path() + "/err";
    const std::array<int, 3> fds = {open(dir.WriteFile("in", input).c_str(), O_RDONLY | O_CLOEXEC),
                                    open(out.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600),
                                    open(err.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600)};
    Result result;
    result.status = Wait(Start(program, argv0, args, fds));
    for (int fd : fds)
        close(fd);
    result.out = CorvaneTest::ReadFile(out);
    result.err = CorvaneTest::ReadFile(err);
    return result;
}

} // namespace

std::string VarnokBinary() {
    const char* installed = std::getenv("VARNOK_UNDER_TEST");
    return installed != nullptr && *installed != '\0' ? installed : VARNOK_BUILT;
}

Result RunProgram(const std::string& program, const std::vector<std::string>& args) {
    return Run(program, program, args, "");
}

Result RunVarnok(const std::vector<std::string>& args, const std::string& input) {
    return Run(VarnokBinary(), "varnok", args, input);
}

Result RunVarnokOnTerminal(const std::vector<std::string>& args, const std::string& typed) {
    Result result;
    int master = -1, slave = -1;
    winsize size{24, 80, 0, 0};
    if (openpty(&master, &slave, nullptr, nullptr, &size) != 0 || fcntl(master, F_SETFD, FD_CLOEXEC) != 0 ||
        fcntl(slave, F_SETFD, FD_CLOEXEC) != 0) {
        ADD_FAILURE() << "no pseudo-terminal";
        return result;
    }
    pid_t pid = Start(VarnokBinary(), "varnok", args, {slave, slave, slave});
    close(slave);
    // The prompt is written before echo is switched off: type only once it is off.
    for (int i = 0; i < 1000 && Echo(master); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    result.echoOff = !Echo(master);
    const std::string line = typed + "\n";
    EXPECT_EQ(static_cast<ssize_t>(line.size()), write(master, line.data(), line.size()));
    result.status = Wait(pid);
    result.echoOnAfter = Echo(master);
    char buffer[4096];
    for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) // EIO once the program is gone
        result.out.append(buffer, static_cast<size_t>(n));
    close(master);
    for (size_t at; (at = result.out.find("\r\n")) != std::string::npos;)
        result.out.erase(at, 1);
    return result;
}

} // namespace VarnokTest
