// Tests of the libtarvikuser stand-in: a real /bin/sh spawned with exact arguments and descriptors.
#include <tarvikuser.h>

#include "test_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <set>

namespace {

// A pipe with inheritable ends numbered from `lowest` on: the spawn must keep them out of the child.
struct Pipe {
    int read, write;
    explicit Pipe(int lowest = 0) {
        int fds[2];
        EXPECT_EQ(0, pipe(fds));
        read = fcntl(fds[0], F_DUPFD, lowest), write = fcntl(fds[1], F_DUPFD, lowest);
        close(fds[0]), close(fds[1]);
    }
    ~Pipe() { close(read), CloseWrite(); }
    void CloseWrite() { close(write), write = -1; } // closing -1 again is a harmless EBADF
};

std::string ReadToEnd(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

std::string Describe(int status) {
    char buffer[200];
    TarvikStatus_Describe(status, buffer, sizeof buffer, 0);
    return buffer;
}

int Spawn(const char* path, const char* const* argv, const int* map, int count, int* pid, int flags = 0) {
    return TarvikProc_Spawn(path, argv, nullptr, -1, map, count, -1, -1, flags, pid);
}

TEST(TarvikProcSpawnTest, PassesTheArgumentVectorExactly) {
    Pipe out;
    const char* argv[] = {"name0", "-c", "cat /proc/$$/cmdline", "", "a b", "it's", "line\nbreak", nullptr};
    int map[3] = {0, out.write, 2}, pid = -1, status = -1;
    ASSERT_EQ(0, Spawn("/bin/sh", argv, map, 3, &pid));
    out.CloseWrite();
    std::string expected;
    for (const char* const* arg = argv; *arg != nullptr; ++arg) {
        expected += std::string(*arg) + '\0';
    }
    EXPECT_EQ(expected, ReadToEnd(out.read));
    EXPECT_TRUE(waitpid(pid, &status, 0) == pid && status == 0) << status;
}

TEST(TarvikProcSpawnTest, ChildHoldsExactlyTheMappedDescriptors) {
    Pipe in(20), out(20), pa(20), pb(20), pc(20);
    int pid = -1, status = -1, unrelated = open("/dev/null", O_RDONLY); // stays out of the child
    // Entries naming other targets (a and b swap) and themselves (c), below 10 so the shell can name them.
    int a = fcntl(pa.write, F_DUPFD, 3), b = fcntl(pb.write, F_DUPFD, 3), c = fcntl(pc.write, F_DUPFD, 3);
    ASSERT_LT(c, 10) << "needs three free descriptors below 10";
    std::vector<int> map(10, -1);
    map[0] = in.read, map[1] = out.write, map[2] = 2, map[a] = b, map[b] = a, map[c] = c;
    const std::string na = std::to_string(a), nb = std::to_string(b), nc = std::to_string(c);
    const char* script = "read l; echo $l; echo A >&$1; echo B >&$2; echo C >&$3; ls /proc/$$/fd; true";
    const char* argv[] = {"/bin/sh", "-c", script, "sh", na.c_str(), nb.c_str(), nc.c_str(), nullptr};
    ASSERT_EQ(6, write(in.write, "hello\n", 6));
    ASSERT_EQ(0, Spawn("/bin/sh", argv, map.data(), 10, &pid));
    std::string expected = "hello\n";
    for (int fd : std::set<int>{0, 1, 2, a, b, c}) {
        expected += std::to_string(fd) + "\n";
    }
    for (int* fd : {&a, &b, &c, &unrelated, &in.write, &out.write, &pa.write, &pb.write, &pc.write}) {
        close(*fd), *fd = -1;
    }
    EXPECT_EQ(expected, ReadToEnd(out.read));
    EXPECT_EQ("B\n|A\n|C\n", ReadToEnd(pa.read) + "|" + ReadToEnd(pb.read) + "|" + ReadToEnd(pc.read));
    EXPECT_TRUE(waitpid(pid, &status, 0) == pid && status == 0) << status;
}

TEST(TarvikProcSpawnTest, StartFailuresAndStatusTexts) {
    const int before = CorvaneTest::CountOpenFds();
    const char* argv[] = {"x", nullptr};
    int map[3] = {0, 1, 2}, badMap[3] = {0, 1, 987}, pid = 4242;
    const int missing = Spawn("/nonexistent/program", argv, map, 3, &pid);
    EXPECT_EQ("Cannot execute the program: No such file or directory", Describe(missing));
    EXPECT_EQ("Cannot set up the descriptors of the process: Bad file descriptor",
              Describe(Spawn("/bin/sh", argv, badMap, 3, &pid)));
    EXPECT_EQ("Invalid arguments to start a process: Invalid argument",
              Describe(Spawn("/bin/sh", nullptr, map, 3, &pid)));
    EXPECT_EQ(4242, pid); // untouched on failure
    EXPECT_EQ(before, CorvaneTest::CountOpenFds());
    errno = 0; // children whose exec failed have been reaped
    EXPECT_EQ(-1, waitpid(-1, nullptr, WNOHANG));
    EXPECT_EQ(ECHILD, errno);
    EXPECT_EQ("Success", Describe(0));
    EXPECT_EQ("Unknown status -5", Describe(-5));
    char small[8];
    EXPECT_EQ(53, TarvikStatus_Describe(missing, small, sizeof small, 0));
    EXPECT_STREQ("Cannot ", small); // cut to fit; the full length is returned, as by snprintf
}

} // namespace
