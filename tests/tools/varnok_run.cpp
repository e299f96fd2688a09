// Runs the varnok binary under test, or another program, as a separate process on files.
#include "varnok_run.h"

#include "test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace VarnokTest {

namespace {

// Runs `program` as `argv0` with standard input read from a file holding `input`, and standard output
// and error written to files.
Result Run(const std::string& program, std::string argv0, std::vector<std::string> args,
           const std::string& input) {
    CorvaneTest::TempDir dir;
    const std::string out = dir.Path() + "/out", err = dir.Path() + "/err";
    const int fds[3] = {open(dir.WriteFile("in", input).c_str(), O_RDONLY | O_CLOEXEC),
                        open(out.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600),
                        open(err.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600)};
    std::vector<char*> words{argv0.data()};
    for (std::string& word : args) {
        words.push_back(word.data());
    }
    words.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        for (int fd = 0; fd < 3; ++fd) {
            if (dup2(fds[fd], fd) < 0) {
                _exit(126);
            }
        }
        execv(program.c_str(), words.data());
        _exit(127);
    }
    Result result;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid) {
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    EXPECT_LT(0, pid) << "fork failed";
    for (int fd : fds) {
        close(fd);
    }
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

std::string RunShell(const std::string& command) {
    const Result result = RunProgram("/bin/sh", {"-c", command});
    EXPECT_EQ(0, result.status) << command << "\n" << result.out << result.err;
    return result.out;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

int StartVarnok(const std::vector<std::string>& args, const int (&fds)[3], const std::string& directory) {
    std::string program = VarnokBinary();
    std::string argv0 = "varnok";
    std::vector<std::string> words = args;
    std::vector<char*> argv{argv0.data()};
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        // Copies above 2 first, so that moving one into place cannot overwrite another.
        int copies[3];
        for (int fd = 0; fd < 3; ++fd) {
            copies[fd] = fds[fd] < 0 ? -1 : fcntl(fds[fd], F_DUPFD_CLOEXEC, 3);
        }
        for (int fd = 0; fd < 3; ++fd) {
            if (copies[fd] < 0) {
                close(fd);
            } else if (dup2(copies[fd], fd) < 0) {
                _exit(126);
            }
        }
        if (!directory.empty() && chdir(directory.c_str()) != 0) {
            _exit(125);
        }
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    EXPECT_LT(0, pid) << "fork failed";
    return pid;
}

int WaitForStatus(int pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

Result RunVarnok(const std::vector<std::string>& args, const std::string& input) {
    return Run(VarnokBinary(), "varnok", args, input);
}

} // namespace VarnokTest
