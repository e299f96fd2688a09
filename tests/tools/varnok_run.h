// Runs the varnok binary under test, or another program, as a separate process on files.
#pragma once

#include <string>
#include <vector>

namespace VarnokTest {

struct Result {
    std::string out;
    std::string err;
    int status = -1; // exit status; 128 + signal number when killed by a signal
};

// The binary under test: $VARNOK_UNDER_TEST when set (an installed copy), else the one built here.
std::string VarnokBinary();

// Runs `program` with `args` and an empty file as standard input.
Result RunProgram(const std::string& program, const std::vector<std::string>& args);

// Runs `command` with /bin/sh -c and returns its standard output; a failure is shown with all it printed.
std::string RunShell(const std::string& command);

// Whether `path` names anything, a dangling link included.
bool Exists(const std::string& path);

// Starts the binary under test as "varnok" in a new session (no controlling terminal), with the
// descriptors `fds` as its standard input, output and error (-1 leaves one closed), in `directory`
// when not empty. The caller waits for it.
int StartVarnok(const std::vector<std::string>& args, const int (&fds)[3], const std::string& directory = "");

// Waits for `pid` and returns its exit status, or 128 + the signal number that killed it.
int WaitForStatus(int pid);

// Runs the binary under test as "varnok" with a file
// holding `input` as standard input, so that a prompt meets its end instead of blocking.
Result RunVarnok(const std::vector<std::string>& args, const std::string& input = "");

} // namespace VarnokTest

// Compares a run's standard output, standard error and status exactly, reporting the caller's line.
#define EXPECT_RUN(run, expectedOut, expectedErr, expectedStatus)                                            \
    do {                                                                                                     \
        const ::VarnokTest::Result run_ = (run);                                                             \
        EXPECT_EQ(expectedOut, run_.out);                                                                    \
        EXPECT_EQ(expectedErr, run_.err);                                                                    \
        EXPECT_EQ(expectedStatus, run_.status);                                                              \
    } while (0)
