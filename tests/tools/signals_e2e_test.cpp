// varnok end to end under signals: a secret prompt on a real pseudo-terminal interrupted under dash,
// a secret asked for on the terminal while command lines come from standard input, and a running
// program's process group told and reaped when varnok is signalled.
#include "varnok_run.h"

#include "test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

const std::string kSafety = E2E_SAFETY_PLUGIN_DIR;
const std::string kOutput = E2E_OUTPUT_PLUGIN_DIR;

bool EchoIsOn(int fd) {
    termios settings{};
    return tcgetattr(fd, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
}

// Reads the terminal's master side into `screen` until it holds `until` (and, with `echoOff`, the
// terminal's echo is off), or ten seconds pass.
bool ReadUntil(int master, std::string& screen, const std::string& until, bool echoOff) {
    for (const auto deadline = Clock::now() + std::chrono::seconds(10); Clock::now() < deadline;) {
        if (screen.find(until) != std::string::npos && (!echoOff || !EchoIsOn(master))) {
            return true;
        }
        pollfd entry{master, POLLIN, 0};
        char buffer[256];
        const ssize_t n = poll(&entry, 1, 50) > 0 ? read(master, buffer, sizeof buffer) : 0;
        if (n > 0) {
            screen.append(buffer, static_cast<size_t>(n));
        } else if (n < 0) {
            return screen.find(until) != std::string::npos;
        }
    }
    return false;
}

// The process whose parent is `parent`, or 0 when there is none (yet).
pid_t ChildOf(pid_t parent) {
    DIR* proc = opendir("/proc");
    pid_t found = 0;
    while (dirent* entry = proc != nullptr ? readdir(proc) : nullptr) {
        const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
        std::string line;
        if (pid <= 0 || !std::getline(stat, line) || line.rfind(')') == std::string::npos) {
            continue;
        }
        // pid (comm) state ppid ...: the name may hold blanks and parentheses, the last ")" ends it.
        char state = 0;
        int ppid = 0;
        if (std::sscanf(line.c_str() + line.rfind(')') + 1, " %c %d", &state, &ppid) == 2 && ppid == parent) {
            found = pid;
        }
    }
    if (proc != nullptr) {
        closedir(proc);
    }
    return found;
}

// Whether `pid` is gone within five seconds. This process reaps the orphans handed to it as their
// subreaper, so that one that has ended does not linger as a zombie.
bool IsGoneSoon(pid_t pid) {
    for (const auto deadline = Clock::now() + std::chrono::seconds(5); Clock::now() < deadline;) {
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        if (kill(pid, 0) != 0 && errno == ESRCH) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

class Subreaper {
public:
    Subreaper() { prctl(PR_SET_CHILD_SUBREAPER, 1); }
    ~Subreaper() {
        prctl(PR_SET_CHILD_SUBREAPER, 0);
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
    }
};

// The pid a program wrote to `path`, once the file is there (ten seconds at most), else 0.
pid_t PidFrom(const std::string& path) {
    for (const auto deadline = Clock::now() + std::chrono::seconds(10); Clock::now() < deadline;) {
        if (VarnokTest::Exists(path)) {
            return static_cast<pid_t>(std::atoi(CorvaneTest::ReadFile(path).c_str()));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
}

// varnok prompts for a secret under dash, which does not repair the terminal; the signal sent to
// varnok alone ends it by that signal with echo back on, and the command's program never ran.
TEST(VarnokSignals, ASignalAtTheSecretPromptTurnsEchoBackOn) {
    ASSERT_EQ(0, access("/bin/dash", X_OK)) << "dash is needed: scripts/install-deps";
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(sig));
        CorvaneTest::TempDir dir;
        const std::string marker = dir.Path() + "/secret";
        const std::string varnok = VarnokTest::VarnokBinary();
        int master = -1;
        const pid_t dash = forkpty(&master, nullptr, nullptr, nullptr);
        if (dash == 0) {
            execl("/bin/dash", "dash", "-c",
                  "\"$0\" --plugin-dir \"$1\" safety secret --file \"$2\" --password; echo \"status=$?\"",
                  varnok.c_str(), kSafety.c_str(), marker.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        ASSERT_LT(0, dash);
        std::string screen;
        EXPECT_TRUE(ReadUntil(master, screen, "Enter value for 'password': ", true)) << screen;
        const pid_t prompting = ChildOf(dash);
        ASSERT_LT(0, prompting);
        kill(prompting, sig);
        EXPECT_TRUE(ReadUntil(master, screen, "status=" + std::to_string(128 + sig), false)) << screen;
        EXPECT_TRUE(EchoIsOn(master));
        EXPECT_EQ(0, VarnokTest::WaitForStatus(dash));
        close(master);
        EXPECT_FALSE(VarnokTest::Exists(marker));
    }
}

// Command lines from standard input, the secret from the terminal: the next line is not taken for it.
TEST(VarnokSignals, SecretsOfStandardInputLinesAreAskedForOnTheTerminal) {
    CorvaneTest::TempDir dir;
    const std::string secret = dir.Path() + "/secret", marker = dir.Path() + "/marker";
    const std::string commands = dir.WriteFile(
        "commands", "safety secret --file " + secret + " --password\nsafety mark --file " + marker + "\n");
    const std::string varnok = VarnokTest::VarnokBinary();
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        const int in = open(commands.c_str(), O_RDONLY);
        if (in < 0 || dup2(in, STDIN_FILENO) < 0) {
            _exit(126);
        }
        execl(varnok.c_str(), "varnok", "--plugin-dir", kSafety.c_str(), "--input", "-",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_LT(0, pid);
    std::string screen;
    EXPECT_TRUE(ReadUntil(master, screen, "Enter value for 'password': ", true)) << screen;
    const std::string typed = "open sesame\n";
    EXPECT_EQ(static_cast<ssize_t>(typed.size()), write(master, typed.data(), typed.size()));
    EXPECT_TRUE(ReadUntil(master, screen, "mark done\r\n", false)) << screen;
    EXPECT_EQ(0, VarnokTest::WaitForStatus(pid));
    close(master);
    EXPECT_EQ("Enter value for 'password': \r\nsecret done\r\nmark done\r\n", screen);
    EXPECT_EQ("open sesame\n", CorvaneTest::ReadFile(secret));
    EXPECT_EQ("ran\n", CorvaneTest::ReadFile(marker));
}

// The program and the background child it started are gone when varnok, signalled alone, has ended
// by the same signal. A shell starts background children ignoring SIGINT: they end all the same.
TEST(VarnokSignals, ASignalToVarnokReachesTheProgramsProcessGroup) {
    Subreaper subreaper;
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(sig));
        CorvaneTest::TempDir dir;
        const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
        const int err = open(dir.WriteFile("err", "").c_str(), O_WRONLY | O_CLOEXEC);
        const int fds[3] = {null, null, err};
        const pid_t varnok =
            VarnokTest::StartVarnok({"--plugin-dir", kSafety, "safety", "wait", "--dir", dir.Path()}, fds);
        close(null);
        close(err);
        const pid_t grandchild = PidFrom(dir.Path() + "/grandchild");
        const pid_t program = PidFrom(dir.Path() + "/pid");
        ASSERT_LT(0, program);
        ASSERT_LT(0, grandchild);
        kill(varnok, sig);
        EXPECT_EQ(128 + sig, VarnokTest::WaitForStatus(varnok));
        EXPECT_TRUE(IsGoneSoon(program));
        EXPECT_TRUE(IsGoneSoon(grandchild));
        EXPECT_EQ("", CorvaneTest::ReadFile(dir.Path() + "/err"));
    }
}

// A program that starts a string and never ends it: varnok stops at the longest text a document may
// hold, says so, kills the program's group and ends, all within a memory limit far below what the
// text would take whole.
TEST(VarnokOutputBound, AnEndlessTextEndsTheProgramWithTheBoundsMessage) {
    Subreaper subreaper;
    CorvaneTest::TempDir dir;
    const auto start = Clock::now();
    // An instrumented binary reserves its shadow memory up front, which no address-space limit admits.
    const std::string limit = std::string(SANITIZE_FLAGS).empty() ? "ulimit -v 600000 && " : "";
    const VarnokTest::Result result = VarnokTest::RunProgram(
        "/bin/sh", {"-c", limit + "exec \"$0\" \"$@\"", VarnokTest::VarnokBinary(), "--plugin-dir", kOutput,
                    "stream", "endless", "--dir", dir.Path()});
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(60));
    EXPECT_EQ(1, result.status);
    EXPECT_EQ("", result.out);
    EXPECT_EQ(
        "Errors: \nUnable to parse output of Extension Command: Error parsing command output.  A text of "
        "more than 100000000 bytes cannot be read\n",
        result.err);
    const pid_t program = PidFrom(dir.Path() + "/pid");
    ASSERT_LT(0, program);
    EXPECT_TRUE(IsGoneSoon(program));
}

// An "ERROR:" line that never ends is bounded as a text of a document is: the same message, the
// program's group ended, within the same memory limit; the complete line before it is not reported.
TEST(VarnokOutputBound, AnEndlessErrorLineEndsTheProgramWithTheBoundsMessage) {
    Subreaper subreaper;
    CorvaneTest::TempDir dir;
    const auto start = Clock::now();
    const std::string limit = std::string(SANITIZE_FLAGS).empty() ? "ulimit -v 600000 && " : "";
    const VarnokTest::Result result = VarnokTest::RunProgram(
        "/bin/sh", {"-c", limit + "exec \"$0\" \"$@\"", VarnokTest::VarnokBinary(), "--plugin-dir", kOutput,
                    "stream", "complain", "--dir", dir.Path()});
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(60));
    EXPECT_EQ(1, result.status);
    EXPECT_EQ("", result.out);
    EXPECT_EQ(
        "Errors: \nUnable to parse output of Extension Command: Error parsing command output.  A text of "
        "more than 100000000 bytes cannot be read\n",
        result.err);
    const pid_t program = PidFrom(dir.Path() + "/pid");
    ASSERT_LT(0, program);
    EXPECT_TRUE(IsGoneSoon(program));
}

// Records opened inside one another forever: varnok stops at the parser's nesting limit with the
// parser's message, as for a document that ends there, and ends the program's group.
TEST(VarnokOutputBound, EndlessNestingEndsTheProgramWithTheParsersMessage) {
    Subreaper subreaper;
    CorvaneTest::TempDir dir;
    const auto start = Clock::now();
    const VarnokTest::Result result =
        VarnokTest::RunVarnok({"--plugin-dir", kOutput, "stream", "nest", "--dir", dir.Path()});
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(60));
    EXPECT_EQ(1, result.status);
    EXPECT_EQ("", result.out);
    EXPECT_EQ(
        "Errors: \nOutput of the program is not well-formed XML: line 1, column 5147: Excessive depth in "
        "document: 256 use XML_PARSE_HUGE option\nNo root object set for output. The command did not "
        "provide proper output.\nImplementation error! The output of this command does not match the "
        "declared output type, see errors above.\n",
        result.err);
    const pid_t program = PidFrom(dir.Path() + "/pid");
    ASSERT_LT(0, program);
    EXPECT_TRUE(IsGoneSoon(program));
}

// What the json formatter prints for `count` records of `output.sh rows`: fields in name order
// whatever their order in the document, equal tags in many records each printed as their own.
std::string ExpectedRows(int count) {
    const std::string pad(130, 'p');
    std::string text = "\n[\n";
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "disk-%08d", i);
        text += std::string("\n      {\n         \"Mounted\": ") + (i % 2 == 0 ? "true" : "false") +
                ",\n         \"Name\": \"" + name + "\",\n         \"Path\": \"\\/dev\\/disk\\/by-id\\/" +
                pad + std::to_string(i) + "\",\n         \"Size\": " + std::to_string(1000000 + i * 7) +
                ",\n         \"Tags\": \n            [\n            \"ssd\", \n            \"" +
                (i % 3 == 0 ? "boot" : "data") + "\"\n            ]\n      }" +
                (i + 1 < count ? ", \n" : "\n");
    }
    return text + "]\n";
}

// 60,000 records of some 480 bytes of text each (29 MB) are read, checked and printed exactly within
// an address space of 100 MB, program and libraries included: the values take well under twice the
// text. (The limit is left out for an instrumented binary, whose shadow memory no such limit admits.)
TEST(VarnokOutputBound, ALongListOfRecordsIsReadWithinAnAddressSpaceOf100MB) {
    const std::string limit = std::string(SANITIZE_FLAGS).empty() ? "ulimit -v 100000 && " : "";
    const VarnokTest::Result result =
        VarnokTest::RunProgram("/bin/sh", {"-c", limit + "exec \"$0\" \"$@\"", VarnokTest::VarnokBinary(),
                                           "--plugin-dir", kOutput, "stream", "rows", "--count", "60000"});
    EXPECT_EQ("", result.err);
    EXPECT_EQ(0, result.status);
    EXPECT_TRUE(result.out == ExpectedRows(60000)) << result.out.substr(0, 2000);
}

// What the table formatter prints for `count` (at least 1) records of `output.sh rows`: each column as
// wide as its widest cell, which only the last record may reach.
std::string ExpectedTable(int count) {
    const auto left = [](const std::string& text, std::size_t width) {
        return text + std::string(width - text.size(), ' ');
    };
    const std::string pad(130, 'p');
    const std::size_t pathWidth =
        std::string("/dev/disk/by-id/").size() + pad.size() + std::to_string(count - 1).size() + 2;
    const std::size_t widths[] = {9, 15, pathWidth, 9};
    std::string text =
        left("Mounted", 9) + left("Name", 15) + left("Path", pathWidth) + left("Size", 9) + "Tags\n";
    for (const std::size_t width : widths) {
        text += std::string(width - 2, '-') + "  ";
    }
    text += "----\n";
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "disk-%08d", i);
        const std::string size = std::to_string(1000000 + i * 7);
        text += left(i % 2 == 0 ? "true" : "false", 9) + left(name, 15) +
                left("/dev/disk/by-id/" + pad + std::to_string(i), pathWidth) +
                std::string(7 - size.size(), ' ') + size + "  ssd, " + (i % 3 == 0 ? "boot" : "data") + "\n";
    }
    return text;
}

// The table needs every row before its first line; the same list fits in the same space.
TEST(VarnokOutputBound, ALongTableIsPrintedWithinAnAddressSpaceOf100MB) {
    const std::string limit = std::string(SANITIZE_FLAGS).empty() ? "ulimit -v 100000 && " : "";
    const VarnokTest::Result result = VarnokTest::RunProgram(
        "/bin/sh", {"-c", limit + "exec \"$0\" \"$@\"", VarnokTest::VarnokBinary(), "--plugin-dir", kOutput,
                    "--formatter", "table", "stream", "rows", "--count", "60000"});
    EXPECT_EQ("", result.err);
    EXPECT_EQ(0, result.status);
    EXPECT_TRUE(result.out == ExpectedTable(60000)) << result.out.substr(0, 2000);
    EXPECT_RUN(VarnokTest::RunVarnok(
                   {"--plugin-dir", kOutput, "--formatter", "table", "stream", "rows", "--count", "11"}),
               ExpectedTable(11), "", 0);
}

// A list of no records, and of one, print as they always did.
TEST(VarnokOutputBound, ShortListsOfRecordsPrintExactly) {
    EXPECT_RUN(VarnokTest::RunVarnok({"--plugin-dir", kOutput, "stream", "rows", "--count", "0"}), "\n[\n]\n",
               "", 0);
    EXPECT_RUN(VarnokTest::RunVarnok({"--plugin-dir", kOutput, "stream", "rows", "--count", "1"}),
               ExpectedRows(1), "", 0);
}

// A document written one byte at a time, its declaration, comment and reference cut across writes,
// gives the bytes the same document gives written at once.
TEST(VarnokOutputBound, ADocumentInOneByteWritesReadsAsWhole) {
    const VarnokTest::Result pieces =
        VarnokTest::RunVarnok({"--plugin-dir", kOutput, "stream", "trickle", "--pieces", "1"});
    const VarnokTest::Result whole =
        VarnokTest::RunVarnok({"--plugin-dir", kOutput, "stream", "trickle", "--pieces", "0"});
    EXPECT_EQ("a & b z\n", whole.out);
    EXPECT_EQ(whole.out, pieces.out);
    EXPECT_EQ("", pieces.err);
    EXPECT_EQ(0, pieces.status);
}

} // namespace
