// Tests of the process runner and its hooks with a real /bin/sh: statuses, input and output, large
// interleaved transfers, children that stop reading, descriptor hygiene, failures and Panic.
#include <corvane/process.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using Corvane::AutoCli::AutoCli_ShellCmd;
using Corvane::AutoCli::AutoCli_ShellCmdWithZuUsername;
using Corvane::AutoCli::MakeChildRpZelOption;
using Corvane::AutoCli::SetChildRpZelOptionMaker;
using Corvane::AutoCli::SetCommandExecListener;

namespace {

std::vector<std::pair<std::string, int>> listenerCalls;
std::vector<int> makerArguments;

void RecordCommand(const std::string& command, int status) {
    listenerCalls.emplace_back(command, status);
}

std::string MakeErrexitOption(int n) {
    makerArguments.push_back(n);
    return "-e";
}

std::string MakeNoOption(int n) {
    makerArguments.push_back(n);
    return std::string();
}

class ProcessRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        listenerCalls.clear();
        makerArguments.clear();
    }
    void TearDown() override {
        SetCommandExecListener(nullptr);
        SetChildRpZelOptionMaker(nullptr);
    }
};

int ExitCode(int status) {
    EXPECT_TRUE(WIFEXITED(status)) << "status " << status;
    return WEXITSTATUS(status);
}

TEST_F(ProcessRunnerTest, ReturnsExitStatusAndAppendsOutput) {
    std::string output = "kept:";
    int status = AutoCli_ShellCmd("echo hello", output, "");
    EXPECT_EQ(0, ExitCode(status));
    EXPECT_EQ("kept:hello\n", output);

    output.clear();
    EXPECT_EQ(3, ExitCode(AutoCli_ShellCmd("printf partial; exit 3", output, "")));
    EXPECT_EQ("partial", output);

    // Standard error is not captured.
    output.clear();
    CorvaneTest::Captured captured =
        CorvaneTest::CaptureOutErr([&] { AutoCli_ShellCmd("echo out; echo err >&2", output, ""); });
    EXPECT_EQ("out\n", output);
    EXPECT_EQ("err\n", captured.err);
}

TEST_F(ProcessRunnerTest, PassesStandardInputExactly) {
    const std::string binary("line1\nline2\0\xFF\x01 no newline at end", 31);
    std::string output;
    EXPECT_EQ(0, ExitCode(AutoCli_ShellCmd("cat", output, binary)));
    EXPECT_EQ(binary, output);

    output.clear();
    EXPECT_EQ(0, ExitCode(AutoCli_ShellCmd("wc -c", output, "")));
    EXPECT_EQ("0\n", output);
}

TEST_F(ProcessRunnerTest, LargeInputAndOutputDoNotDeadlock) {
    std::string input;
    input.reserve(8u << 20);
    while (input.size() < (8u << 20))
        input += "line " + std::to_string(input.size()) + "\n";
    std::string output;
    EXPECT_EQ(0, ExitCode(AutoCli_ShellCmd("cat", output, input)));
    EXPECT_EQ(input.size(), output.size());
    EXPECT_TRUE(output == input);

    // Writes 4 MiB before it reads a byte of its 4 MiB input.
    output.clear();
    std::string zeros(4u << 20, 'i');
    EXPECT_EQ(0, ExitCode(AutoCli_ShellCmd("head -c 4194304 /dev/zero | tr '\\0' z; wc -c", output, zeros)));
    EXPECT_EQ(std::string(4u << 20, 'z') + "4194304\n", output);
}

volatile sig_atomic_t sigpipeCount = 0;
void CountSigpipe(int) {
    sigpipeCount = sigpipeCount + 1;
}

TEST_F(ProcessRunnerTest, ChildThatStopsReadingDoesNotKillTheTool) {
    // A handler makes any SIGPIPE that reaches us visible (the default action would end the test).
    struct sigaction counting = {};
    struct sigaction previous;
    counting.sa_handler = CountSigpipe;
    sigemptyset(&counting.sa_mask);
    ASSERT_EQ(0, sigaction(SIGPIPE, &counting, &previous));
    sigpipeCount = 0;
    SetCommandExecListener(RecordCommand);

    const std::string input(4u << 20, 'x');
    std::string output;
    EXPECT_EQ(0, ExitCode(AutoCli_ShellCmd("true", output, input)));
    EXPECT_EQ(0, ExitCode(AutoCli_ShellCmd("exec 0<&-; echo x", output, input)));
    EXPECT_EQ(7, ExitCode(AutoCli_ShellCmd("head -c 5; echo; exit 7", output, "first" + input)));
    EXPECT_EQ("x\nfirst\n", output);
    EXPECT_EQ(3u, listenerCalls.size());

    EXPECT_EQ(0, sigpipeCount);
    sigset_t mask;
    sigset_t pending;
    pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    sigpending(&pending);
    EXPECT_EQ(0, sigismember(&mask, SIGPIPE)) << "signal mask not restored";
    EXPECT_EQ(0, sigismember(&pending, SIGPIPE)) << "SIGPIPE left pending";
    sigaction(SIGPIPE, &previous, nullptr);
}

TEST_F(ProcessRunnerTest, KilledChildReturnsRawStatus) {
    SetCommandExecListener(RecordCommand);
    std::string output;
    int status = AutoCli_ShellCmd("echo before; kill -9 $$", output, "");
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(SIGKILL, WTERMSIG(status));
    EXPECT_EQ("before\n", output);
    ASSERT_EQ(1u, listenerCalls.size());
    EXPECT_EQ(status, listenerCalls[0].second);
}

TEST_F(ProcessRunnerTest, ListenerGetsEveryCommandAndStatus) {
    std::string output;
    AutoCli_ShellCmd("exit 0", output, "");
    EXPECT_TRUE(listenerCalls.empty()); // none installed yet

    SetCommandExecListener(RecordCommand);
    int first = AutoCli_ShellCmd("exit 4", output, "");
    int second = AutoCli_ShellCmd("echo ok", output, "in");
    ASSERT_EQ(2u, listenerCalls.size());
    EXPECT_EQ(std::make_pair(std::string("exit 4"), first), listenerCalls[0]);
    EXPECT_EQ(std::make_pair(std::string("echo ok"), second), listenerCalls[1]);

    SetCommandExecListener(nullptr);
    AutoCli_ShellCmd("exit 0", output, "");
    EXPECT_EQ(2u, listenerCalls.size());
}

TEST_F(ProcessRunnerTest, MakerOptionReachesTheShell) {
    EXPECT_EQ("", MakeChildRpZelOption(-1));
    const std::string command =
        "false; printf '%s|' \"$0\"; case $- in *e*) echo errexit;; *) echo plain;; esac";
    std::string output;
    EXPECT_EQ(0, ExitCode(AutoCli_ShellCmd(command, output, "")));
    EXPECT_EQ("/bin/sh|plain\n", output);

    // With -e the shell stops at `false`.
    SetChildRpZelOptionMaker(MakeErrexitOption);
    EXPECT_EQ("-e", MakeChildRpZelOption(12));
    output.clear();
    EXPECT_EQ(1, ExitCode(AutoCli_ShellCmd(command, output, "")));
    EXPECT_EQ("", output);
    output.clear();
    EXPECT_EQ(0, ExitCode(AutoCli_ShellCmd("printf '%s|' \"$0\"; case $- in *e*) echo errexit;; esac", output,
                                           "")));
    EXPECT_EQ("/bin/sh|errexit\n", output);
    EXPECT_EQ((std::vector<int>{12, -1, -1}), makerArguments);

    // An empty option is left out, not passed as an empty word.
    SetChildRpZelOptionMaker(MakeNoOption);
    output.clear();
    EXPECT_EQ(0, ExitCode(AutoCli_ShellCmd(command, output, "")));
    EXPECT_EQ("/bin/sh|plain\n", output);
}

TEST_F(ProcessRunnerTest, UserNameIsQuotedIntoTheCommand) {
    SetCommandExecListener(RecordCommand);
    // The prefix sets the variable in the environment of the program the command runs (the shell
    // expands the command's own words before that), so a program has to show it.
    std::string output;
    EXPECT_EQ(0, ExitCode(AutoCli_ShellCmdWithZuUsername("printenv ZU_USERNAME", "O'Brien", output, "")));
    EXPECT_EQ("O'Brien\n", output);
    ASSERT_EQ(1u, listenerCalls.size());
    EXPECT_EQ("ZU_USERNAME='O'\\''Brien' printenv ZU_USERNAME", listenerCalls[0].first);

    const std::string hostile = "a b$(echo no)`echo no`\"\\'';x";
    output.clear();
    AutoCli_ShellCmdWithZuUsername("printenv ZU_USERNAME", hostile, output, "");
    EXPECT_EQ(hostile + "\n", output);

    // An empty name runs the command as it is.
    output.clear();
    AutoCli_ShellCmdWithZuUsername("echo plain", "", output, "");
    EXPECT_EQ("plain\n", output);
    EXPECT_EQ("echo plain", listenerCalls.back().first);
}

TEST_F(ProcessRunnerTest, NoDescriptorOutlivesACallOrReachesTheChild) {
    // An inheritable descriptor of ours must not show up in the child.
    int stray = open("/dev/null", O_RDONLY);
    ASSERT_GE(stray, 0);
    const int before = CorvaneTest::CountOpenFds();
    std::string output;
    AutoCli_ShellCmd("cd /proc/self/fd && echo *", output, "");
    // 0, 1, 2 and the directory the shell opened to list them.
    EXPECT_EQ("0 1 2 3\n", output);
    AutoCli_ShellCmd("exit 1", output, "input");
    AutoCli_ShellCmd("kill -9 $$", output, std::string(1u << 20, 'k'));
    AutoCli_ShellCmd("true", output, std::string(1u << 20, 'k'));
    EXPECT_EQ(before, CorvaneTest::CountOpenFds());
    close(stray);
}

// Runs `call` with the descriptor limit lowered so that exactly `freeCount` new descriptors can be
// opened, and returns the message of the CorvaneException it throws. The limit is back in place before
// the exception is looked at: the sanitizer runtimes need descriptors of their own for that.
std::string FailureWithFreeDescriptors(int freeCount, const std::function<void()>& call) {
    struct rlimit saved;
    getrlimit(RLIMIT_NOFILE, &saved);
    int seen = 0;
    int limit = 0;
    for (;; ++limit) {
        if (fcntl(limit, F_GETFD) < 0 && seen++ == freeCount)
            break;
    }
    struct rlimit lowered = saved;
    lowered.rlim_cur = static_cast<rlim_t>(limit);
    EXPECT_EQ(0, setrlimit(RLIMIT_NOFILE, &lowered));
    try {
        call();
    } catch (const Corvane::CorvaneException& e) {
        setrlimit(RLIMIT_NOFILE, &saved);
        return e.what();
    }
    setrlimit(RLIMIT_NOFILE, &saved);
    return "no exception";
}

TEST_F(ProcessRunnerTest, FailuresThrowAndReleaseEverything) {
    SetCommandExecListener(RecordCommand);
    const int before = CorvaneTest::CountOpenFds();
    std::string output = "unchanged";
    EXPECT_EQ("Can't create input pipe: Too many open files",
              FailureWithFreeDescriptors(0, [&] { AutoCli_ShellCmd("echo hi", output, "in"); }));
    EXPECT_EQ("Can't create output pipe: Too many open files",
              FailureWithFreeDescriptors(2, [&] { AutoCli_ShellCmd("echo hi", output, "in"); }));
    // Room for the two pipes, none for the spawn's own start-up pipe.
    EXPECT_EQ(
        "Failed to call process 'ZU_USERNAME='ann' echo hi': Cannot create the start-up status pipe: Too "
        "many open files",
        FailureWithFreeDescriptors(4,
                                   [&] { AutoCli_ShellCmdWithZuUsername("echo hi", "ann", output, "in"); }));
    EXPECT_EQ(before, CorvaneTest::CountOpenFds());
    EXPECT_EQ("unchanged", output);
    EXPECT_TRUE(listenerCalls.empty());
    // No child was left behind.
    EXPECT_EQ(-1, waitpid(-1, nullptr, WNOHANG));
}

TEST(PanicDeathTest, WritesTheTextAndAborts) {
    EXPECT_EXIT(Panic("code %d: %s", 7, "boom"), ::testing::KilledBySignal(SIGABRT), "^panic: code 7: boom$");
    // Texts are cut to 255 bytes.
    const std::string longText(300, 'x');
    EXPECT_EXIT(Panic("%s", longText.c_str()), ::testing::KilledBySignal(SIGABRT), "^panic: x{255}$");
}

} // namespace
