// Tests of the libtarvikuser stand-in: processes that cannot start, and the texts of statuses; what
// a started /bin/sh receives is checked through the process runner.
#include <tarvikuser.h>

#include "test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {

std::string Describe(int status) {
    char buffer[200];
    TarvikStatus_Describe(status, buffer, sizeof buffer, 0);
    return buffer;
}

int Spawn(const char* path, const char* const* argv, const int* map, int count, int* pid) {
    return TarvikProc_Spawn(path, argv, nullptr, -1, map, count, -1, -1, 0, pid);
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

// With TARVIK_SPAWN_NEW_GROUP the child leads a group of its own as soon as the call returns; without it
// the child stays in the caller's group.
TEST(TarvikProcSpawnTest, NewGroupFlagMakesTheChildAGroupLeader) {
    const char* argv[] = {"/bin/sh", "-c", "read line", nullptr};
    for (const bool newGroup : {true, false}) {
        int fds[2];
        ASSERT_EQ(0, pipe(fds));
        int map[3] = {fds[0], 1, 2}, pid = -1;
        ASSERT_EQ(0, TarvikProc_Spawn("/bin/sh", argv, nullptr, -1, map, 3, -1, -1,
                                      newGroup ? TARVIK_SPAWN_NEW_GROUP : 0, &pid));
        EXPECT_EQ(newGroup ? pid : getpgrp(), getpgid(pid));
        close(fds[0]);
        close(fds[1]); // the child's read ends
        int status = -1;
        EXPECT_EQ(pid, waitpid(pid, &status, 0));
        EXPECT_TRUE(WIFEXITED(status));
    }
    EXPECT_EQ("Cannot start a new process group: Operation not permitted",
              Describe(TARVIK_STATUS_MAKE(TARVIK_STAGE_GROUP, EPERM)));
}

} // namespace
