// Tests of the process runner, its listener and Panic, with a real /bin/sh.
#include <corvane/process.h>

#include "test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <utility>
#include <vector>

using namespace Corvane::AutoCli;

namespace {

std::vector<std::pair<std::string, int>> listenerCalls;

void RecordCommand(const std::string& command, int status) {
    listenerCalls.emplace_back(command, status);
}

class ProcessRunnerTest : public ::testing::Test {
protected:
    void SetUp() override { listenerCalls.clear(); }
    void TearDown() override { SetCommandExecListener(nullptr); }
};

int ExitCode(int status) {
    EXPECT_TRUE(WIFEXITED(status)) << "status " << status;
    return WEXITSTATUS(status);
}

TEST_F(ProcessRunnerTest, StatusInputAndOutput) {
    std::string output = "kept:";
    EXPECT_EQ(0, ExitCode(AutoCli_ShellCmd("echo hello", output, "")));
    EXPECT_EQ("kept:hello\n", output);
    output.clear();
    EXPECT_EQ(3, ExitCode(AutoCli_ShellCmd("printf partial; exit 3", output, "")));
    EXPECT_EQ("partial", output);

    // Standard input arrives byte for byte; standard error is not captured.
    const std::string binary("line1\nline2\0\xFF\x01 no newline at end", 31);
    output.clear();
    auto captured =
        CorvaneTest::CaptureOutErr([&] { AutoCli_ShellCmd("cat; echo err >&2", output, binary); });
    EXPECT_EQ(binary, output);
    EXPECT_EQ("err\n", captured.err);
    EXPECT_EQ("", captured.out);

    // Megabytes both ways do not deadlock, even when the child writes all before it reads.
    output.clear();
    const std::string command = "head -c 4194304 /dev/zero | tr '\\0' z; wc -c";
    EXPECT_EQ(0, ExitCode(AutoCli_ShellCmd(command, output, std::string(4u << 20, 'i'))));
    EXPECT_TRUE(output == std::string(4u << 20, 'z') + "4194304\n") << output.size();
}

volatile sig_atomic_t sigpipeCount = 0;
void CountSigpipe(int) {
    sigpipeCount = sigpipeCount + 1;
}

TEST_F(ProcessRunnerTest, ChildThatStopsReadingDoesNotKillTheTool) {
    // A handler makes any SIGPIPE that reaches us visible (the default action would end the test).
    struct sigaction counting = {}, previous;
    counting.sa_handler = CountSigpipe;
    sigemptyset(&counting.sa_mask);
    ASSERT_EQ(0, sigaction(SIGPIPE, &counting, &previous));
    sigpipeCount = 0;

    const std::string input(4u << 20, 'x');
    std::string output;
    EXPECT_EQ(0, ExitCode(AutoCli_ShellCmd("exec 0<&-; echo x", output, input)));
    EXPECT_EQ(7, ExitCode(AutoCli_ShellCmd("head -c 5; echo; exit 7", output, "first" + input)));
    EXPECT_EQ("x\nfirst\n", output);

    EXPECT_EQ(0, sigpipeCount);
    sigset_t mask, pending;
    pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    sigpending(&pending);
    EXPECT_EQ(0, sigismember(&mask, SIGPIPE)) << "signal mask not restored";
    EXPECT_EQ(0, sigismember(&pending, SIGPIPE)) << "SIGPIPE left pending";
    sigaction(SIGPIPE, &previous, nullptr);
}

// Runs `call` with the descriptor limit lowered so that exactly `freeCount` new descriptors can be
// opened, and returns the message of the CorvaneException it throws.
std::string FailureWithFreeDescriptors(int freeCount, const std::function<void()>& call) {
    int limit = 0;
    for (int seen = 0; fcntl(limit, F_GETFD) >= 0 || seen++ < freeCount;) {
        ++limit;
    }
    struct rlimit saved, lowered;
    getrlimit(RLIMIT_NOFILE, &saved);
    lowered = {static_cast<rlim_t>(limit), saved.rlim_max};
    EXPECT_EQ(0, setrlimit(RLIMIT_NOFILE, &lowered));
    try {
        call();
    } catch (const Corvane::CorvaneException& e) {
        setrlimit(RLIMIT_NOFILE, &saved); // before `e` is touched: the sanitizers' checks need descriptors
        return e.what();
    }
    setrlimit(RLIMIT_NOFILE, &saved);
    return "no exception";
}

TEST_F(ProcessRunnerTest, NoDescriptorOutlivesACallOrReachesTheChild) {
    // An inheritable descriptor of ours must not show up in the child.
    int stray = open("/dev/null", O_RDONLY);
    ASSERT_GE(stray, 0);
    const int before = CorvaneTest::CountOpenFds();
    std::string output;
    AutoCli_ShellCmd("cd /proc/self/fd && echo *", output, "");
    EXPECT_EQ("0 1 2 3\n", output); // 3: the directory the shell opened to list them
    AutoCli_ShellCmd("kill -9 $$", output, std::string(1u << 20, 'k'));
    AutoCli_ShellCmd("true", output, std::string(1u << 20, 'k'));
    EXPECT_EQ(before, CorvaneTest::CountOpenFds());

    // Failing calls throw, leave the output alone, tell no listener and leave no child behind.
    SetCommandExecListener(RecordCommand);
    output = "unchanged";
    auto run = [&] { AutoCli_ShellCmd("echo hi", output, "in"); };
    EXPECT_EQ("Can't create input pipe: Too many open files", FailureWithFreeDescriptors(0, run));
    EXPECT_EQ("Can't create output pipe: Too many open files", FailureWithFreeDescriptors(2, run));
    // Room for the two pipes, none for the spawn's own start-up pipe.
    EXPECT_EQ("Failed to call process 'ZU_USERNAME='ann' echo hi': Cannot create the start-up status pipe: "
              "Too many open files",
              FailureWithFreeDescriptors(
                  4, [&] { AutoCli_ShellCmdWithZuUsername("echo hi", "ann", output, "in"); }));
    EXPECT_EQ(before, CorvaneTest::CountOpenFds());
    EXPECT_EQ("unchanged", output);
    EXPECT_TRUE(listenerCalls.empty());
    EXPECT_EQ(-1, waitpid(-1, nullptr, WNOHANG));
    close(stray);
}

TEST(PanicDeathTest, WritesTheTextAndAborts) {
    EXPECT_EXIT(Panic("code %d: %s", 7, "boom"), ::testing::KilledBySignal(SIGABRT), "^panic: code 7: boom$");
    // Texts are cut to 255 bytes.
    const std::string longText(300, 'x');
    EXPECT_EXIT(Panic("%s", longText.c_str()), ::testing::KilledBySignal(SIGABRT), "^panic: x{255}$");
}

} // namespace
