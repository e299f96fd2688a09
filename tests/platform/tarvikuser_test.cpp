// Tests of the libtarvikuser stand-in: spawning a real /bin/sh with exact arguments, descriptors and
// environment, and the texts of start failures.
#include <tarvikuser.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    void Close() {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

// A pipe whose ends are deliberately inheritable: the spawn must close them in the child anyway.
// With `lowestFd` its ends get numbers at or above it.
struct TestPipe {
    Fd readEnd;
    Fd writeEnd;
    explicit TestPipe(int lowestFd = 0) {
        int fds[2];
        EXPECT_EQ(0, pipe(fds));
        for (int& fd : fds) {
            if (fd < lowestFd) {
                int moved = fcntl(fd, F_DUPFD, lowestFd);
                close(fd);
                fd = moved;
            }
        }
        new (&readEnd) Fd(fds[0]);
        new (&writeEnd) Fd(fds[1]);
    }
};

std::string ReadToEnd(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return text;
        text.append(buffer, static_cast<size_t>(n));
    }
}

int WaitFor(int pid) {
    int status = -1;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

std::string Describe(int status) {
    char buffer[200];
    TarvikStatus_Describe(status, buffer, sizeof buffer, 0);
    return buffer;
}

struct ShellResult {
    int spawnStatus = -1;
    int exitStatus = -1;
    std::string out;
};

// Runs /bin/sh -c `script` with standard input from /dev/null, standard output captured and the
// caller's standard error.
ShellResult RunShell(const std::string& script, const char* const* envp = nullptr, int dirFd = -1,
                     int flags = 0) {
    ShellResult result;
    Fd devNull(open("/dev/null", O_RDONLY));
    TestPipe out;
    const char* argv[] = {"/bin/sh", "-c", script.c_str(), nullptr};
    int map[3] = {devNull.Get(), out.writeEnd.Get(), 2};
    int pid = -1;
    result.spawnStatus = TarvikProc_Spawn("/bin/sh", argv, envp, dirFd, map, 3, -1, -1, flags, &pid);
    out.writeEnd.Close();
    if (result.spawnStatus != 0)
        return result;
    result.out = ReadToEnd(out.readEnd.Get());
    result.exitStatus = WaitFor(pid);
    return result;
}

TEST(TarvikProcSpawnTest, PassesTheArgumentVectorExactly) {
    TestPipe out;
    const char* argv[] = {"custom-name", "-c",   "cat /proc/$$/cmdline", "zero", "a b", "", "it's",
                          "line\nbreak", nullptr};
    int map[3] = {0, out.writeEnd.Get(), 2};
    int pid = -1;
    ASSERT_EQ(0, TarvikProc_Spawn("/bin/sh", argv, nullptr, -1, map, 3, -1, -1, 0, &pid));
    EXPECT_GT(pid, 0);
    out.writeEnd.Close();
    std::string expected;
    for (const char* const* arg = argv; *arg != nullptr; ++arg)
        expected += std::string(*arg) + '\0';
    EXPECT_EQ(expected, ReadToEnd(out.readEnd.Get()));
    int status = WaitFor(pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
}

TEST(TarvikProcSpawnTest, ChildHoldsOnlyTheMappedDescriptors) {
    // Inheritable descriptors that must not reach the child.
    TestPipe unrelated;
    Fd unrelatedFile(open("/dev/null", O_RDONLY));
    TestPipe in;
    TestPipe out;
    const char* argv[] = {"/bin/sh", "-c", "read line; echo \"in:$line\"; cd /proc/self/fd && echo *",
                          nullptr};
    int map[3] = {in.readEnd.Get(), out.writeEnd.Get(), 2};
    int pid = -1;
    ASSERT_EQ(0, TarvikProc_Spawn("/bin/sh", argv, nullptr, -1, map, 3, -1, -1, 0, &pid));
    in.readEnd.Close();
    out.writeEnd.Close();
    ASSERT_EQ(6, write(in.writeEnd.Get(), "hello\n", 6));
    in.writeEnd.Close();
    // The listing shows 0, 1 and 2 and the directory the shell opened to read it (the lowest free, 3).
    EXPECT_EQ("in:hello\n0 1 2 3\n", ReadToEnd(out.readEnd.Get()));
    EXPECT_EQ(0, WaitFor(pid));
}

// Returns up to `count` descriptor numbers in 3..9 that are free here, for the shell's `>&N` syntax.
std::vector<int> FreeLowDescriptors(size_t count) {
    std::vector<int> free;
    for (int fd = 3; fd <= 9 && free.size() < count; ++fd) {
        if (fcntl(fd, F_GETFD) < 0)
            free.push_back(fd);
    }
    return free;
}

TEST(TarvikProcSpawnTest, MapEntriesMayNameTargetsAndThemselves) {
    // The pipes stay clear of 3..9, where the shell can name descriptors.
    TestPipe pipeA(20), pipeB(20), pipeC(20), listing(20);
    std::vector<int> numbers = FreeLowDescriptors(3);
    if (numbers.size() < 3)
        GTEST_SKIP() << "needs three free descriptors below 10";
    const int a = numbers[0], b = numbers[1], c = numbers[2];
    ASSERT_EQ(a, dup2(pipeA.writeEnd.Get(), a));
    ASSERT_EQ(b, dup2(pipeB.writeEnd.Get(), b));
    ASSERT_EQ(c, dup2(pipeC.writeEnd.Get(), c));
    Fd fixedA(a), fixedB(b), fixedC(c);
    pipeA.writeEnd.Close();
    pipeB.writeEnd.Close();
    pipeC.writeEnd.Close();

    // a and b swap places, c stays where it is, 0 and the rest stay closed.
    std::vector<int> map(10, -1);
    map[1] = listing.writeEnd.Get();
    map[2] = 2;
    map[a] = b;
    map[b] = a;
    map[c] = c;
    std::string script = "echo A >&" + std::to_string(a) + "; echo B >&" + std::to_string(b) + "; echo C >&" +
                         std::to_string(c) + "; cd /proc/self/fd && echo *";
    const char* argv[] = {"/bin/sh", "-c", script.c_str(), nullptr};
    int pid = -1;
    ASSERT_EQ(0, TarvikProc_Spawn("/bin/sh", argv, nullptr, -1, map.data(), 10, -1, -1, 0, &pid));
    fixedA.Close();
    fixedB.Close();
    fixedC.Close();
    listing.writeEnd.Close();

    // With 0 closed the shell's directory descriptor for the listing is 0.
    std::string expected =
        "0 1 2 " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + "\n";
    EXPECT_EQ(expected, ReadToEnd(listing.readEnd.Get()));
    EXPECT_EQ("B\n", ReadToEnd(pipeA.readEnd.Get()));
    EXPECT_EQ("A\n", ReadToEnd(pipeB.readEnd.Get()));
    EXPECT_EQ("C\n", ReadToEnd(pipeC.readEnd.Get()));
    EXPECT_EQ(0, WaitFor(pid));
}

TEST(TarvikProcSpawnTest, InheritsOrReplacesTheEnvironment) {
    ASSERT_EQ(0, setenv("TARVIK_SPAWN_TEST", "value with 'quotes'", 1));
    ShellResult inherited = RunShell("printf %s \"$TARVIK_SPAWN_TEST\"");
    EXPECT_EQ(0, inherited.spawnStatus);
    EXPECT_EQ("value with 'quotes'", inherited.out);

    const char* envp[] = {"ONLY=this", nullptr};
    ShellResult replaced = RunShell("printf %s \"$ONLY-${TARVIK_SPAWN_TEST-unset}\"", envp);
    EXPECT_EQ(0, replaced.spawnStatus);
    EXPECT_EQ("this-unset", replaced.out);
    unsetenv("TARVIK_SPAWN_TEST");
}

TEST(TarvikProcSpawnTest, WorkingDirectoryAndNewSession) {
    CorvaneTest::TempDir dir;
    Fd dirFd(open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ShellResult moved = RunShell("pwd -P", nullptr, dirFd.Get());
    char real[4096];
    ASSERT_NE(nullptr, realpath(dir.Path().c_str(), real));
    EXPECT_EQ(std::string(real) + "\n", moved.out);

    // Field 6 of /proc/PID/stat is the session id: the process's own id when it leads a new session.
    const std::string script =
        "read -r stat < /proc/$$/stat; set -- $stat; [ \"$6\" = \"$$\" ] && echo leader";
    EXPECT_EQ("leader\n", RunShell(script, nullptr, -1, TARVIK_SPAWN_NEW_SESSION).out);
    EXPECT_EQ("", RunShell(script).out);
}

TEST(TarvikProcSpawnTest, ReportsStartFailuresWithoutLeaks) {
    CorvaneTest::TempDir dir;
    std::string notExecutable = dir.WriteFile("script", "#!/bin/sh\necho no\n", 0644);
    int before = CorvaneTest::CountOpenFds();
    const char* argv[] = {"x", nullptr};
    int map[3] = {0, 1, 2};
    int pid = 4242;

    int missing = TarvikProc_Spawn("/nonexistent/program", argv, nullptr, -1, map, 3, -1, -1, 0, &pid);
    EXPECT_EQ(TARVIK_STAGE_EXEC, TARVIK_STATUS_STAGE(missing));
    EXPECT_EQ(ENOENT, TARVIK_STATUS_ERRNO(missing));
    EXPECT_EQ("Cannot execute the program: No such file or directory", Describe(missing));

    int denied = TarvikProc_Spawn(notExecutable.c_str(), argv, nullptr, -1, map, 3, -1, -1, 0, &pid);
    EXPECT_EQ("Cannot execute the program: Permission denied", Describe(denied));

    int closedFd[3] = {0, 1, 987};
    int badMap = TarvikProc_Spawn("/bin/sh", argv, nullptr, -1, closedFd, 3, -1, -1, 0, &pid);
    EXPECT_EQ("Cannot set up the descriptors of the process: Bad file descriptor", Describe(badMap));

    EXPECT_EQ("Invalid arguments to start a process: Invalid argument",
              Describe(TarvikProc_Spawn("/bin/sh", nullptr, nullptr, -1, map, 3, -1, -1, 0, &pid)));
    EXPECT_NE(0, TarvikProc_Spawn("/bin/sh", argv, nullptr, -1, map, 3, -1, -1, 0x100, &pid));
    EXPECT_NE(0, TarvikProc_Spawn("/bin/sh", argv, nullptr, -1, map, -1, -1, -1, 0, &pid));
    EXPECT_NE(0, TarvikProc_Spawn("/bin/sh", argv, nullptr, -1, map, 3, -1, -1, 0, nullptr));

    EXPECT_EQ(4242, pid); // untouched on failure
    EXPECT_EQ(before, CorvaneTest::CountOpenFds());
    // Children whose exec failed have been reaped.
    errno = 0;
    EXPECT_EQ(-1, waitpid(-1, nullptr, WNOHANG));
    EXPECT_EQ(ECHILD, errno);
}

TEST(TarvikStatusDescribeTest, TextsAndTruncation) {
    EXPECT_EQ("Success", Describe(0));
    EXPECT_EQ("Unknown status -5", Describe(-5));
    EXPECT_EQ("Unknown status 3801088", Describe(TARVIK_STATUS_MAKE(58, 0)));
    EXPECT_EQ("Cannot create a process: Resource temporarily unavailable",
              Describe(TARVIK_STATUS_MAKE(TARVIK_STAGE_FORK, EAGAIN)));

    const int code = TARVIK_STATUS_MAKE(TARVIK_STAGE_EXEC, ENOENT);
    const std::string full = "Cannot execute the program: No such file or directory";
    char small[8];
    EXPECT_EQ(static_cast<int>(full.size()), TarvikStatus_Describe(code, small, sizeof small, 0));
    EXPECT_STREQ("Cannot ", small);
    EXPECT_EQ(static_cast<int>(full.size()), TarvikStatus_Describe(code, nullptr, 0, 0));
}

} // namespace
