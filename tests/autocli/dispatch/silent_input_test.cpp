// Tests of secret prompting: GetSilentString and the prompt through a pipe and on a real pseudo-terminal.
#include <corvane/dispatch.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdio_ext.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <iostream>

using Corvane::AutoCli::OptionParser;
using Corvane::CallSpec::InputSpec;
using Corvane::CallSpec::ParameterSpec;
using Corvane::CallSpec::ParameterType;
using Pairs = OptionParser::ParameterList;

namespace {

// GetSilentString reads through std::cin, which reads through C stdio's stdin: drop whatever a
// previous reader buffered and forget its end-of-file, so each test starts from its own input.
void ResetStandardInput() {
    __fpurge(stdin);
    clearerr(stdin);
    std::cin.clear();
}

// Standard input reads `content` from a pipe for the lifetime of the object.
class StdinFromPipe {
public:
    explicit StdinFromPipe(const std::string& content) {
        int fds[2];
        EXPECT_EQ(0, pipe(fds));
        EXPECT_EQ(static_cast<ssize_t>(content.size()), write(fds[1], content.data(), content.size()));
        close(fds[1]);
        // When descriptor 0 was closed, pipe() has already put the read end there.
        if (fds[0] != STDIN_FILENO) {
            saved_ = dup(STDIN_FILENO);
            dup2(fds[0], STDIN_FILENO);
            close(fds[0]);
        }
        ResetStandardInput();
    }
    StdinFromPipe(const StdinFromPipe&) = delete;
    StdinFromPipe& operator=(const StdinFromPipe&) = delete;
    ~StdinFromPipe() {
        if (saved_ >= 0) {
            dup2(saved_, STDIN_FILENO);
            close(saved_);
        } else {
            close(STDIN_FILENO);
        }
        ResetStandardInput();
    }

private:
    int saved_ = -1;
};

// password (secret, -p), pin (secret) and device (plain string).
std::shared_ptr<InputSpec> SecretSpec() {
    auto spec = InputSpec::New();
    auto password = ParameterSpec::New("password", ParameterType::String);
    password->SetShortName("p");
    password->SetSecret(true);
    spec->AddParameter(password);
    auto pin = ParameterSpec::New("pin", ParameterType::String);
    pin->SetSecret(true);
    spec->AddParameter(pin);
    spec->AddParameter(ParameterSpec::New("device", ParameterType::String));
    return spec;
}

struct Prompted {
    std::string out;
    Pairs parameters;
    std::vector<std::string> errors;
};

// Parses `words` with SecretSpec(), standard input reading `typed`, and captures standard output.
Prompted ParseWithInput(const std::vector<std::string>& words, const std::string& typed) {
    StdinFromPipe input(typed);
    OptionParser parser;
    parser.ParseVector(words);
    parser.SetInputSpec(SecretSpec());
    Prompted result;
    result.out = CorvaneTest::CaptureFd(1, [&] { result.parameters = parser.GetCommandParameters(); });
    result.errors = parser.GetParseErrors();
    return result;
}

} // namespace

TEST(SilentInputTest, ReadsLinesFromNonTerminalInput) {
    StdinFromPipe input("hunter2\n\nlast line without newline");
    EXPECT_EQ("hunter2", OptionParser::GetSilentString());
    EXPECT_EQ("", OptionParser::GetSilentString());
    EXPECT_EQ("last line without newline", OptionParser::GetSilentString());
    EXPECT_EQ("", OptionParser::GetSilentString());
}

TEST(SilentInputTest, SecretWithoutValueIsPromptedFor) {
    auto prompted = ParseWithInput({"user", "add", "--device", "d1", "-p", "--pin"}, "s3cret pass\n1234\n");
    EXPECT_EQ("Enter value for 'password': \nEnter value for 'pin': \n", prompted.out);
    EXPECT_EQ((Pairs{{"device", "d1"}, {"p", "s3cret pass"}, {"pin", "1234"}}), prompted.parameters);
    EXPECT_TRUE(prompted.errors.empty());

    // End of input: the value stays empty and no missing-value message is added.
    prompted = ParseWithInput({"cmd", "--password"}, "");
    EXPECT_EQ("Enter value for 'password': \n", prompted.out);
    EXPECT_EQ((Pairs{{"password", ""}}), prompted.parameters);
    EXPECT_TRUE(prompted.errors.empty());
}

TEST(SilentInputTest, SecretWithValueIsNotPromptedForAndInputIsLeftUnread) {
    StdinFromPipe input("unread\n");
    OptionParser parser;
    parser.ParseVector({"cmd", "--password", "given", "--pin=1234", "--device"});
    parser.SetInputSpec(SecretSpec());
    Pairs parameters;
    EXPECT_EQ("", CorvaneTest::CaptureFd(1, [&] { parameters = parser.GetCommandParameters(); }));
    EXPECT_EQ((Pairs{{"password", "given"}, {"pin", "1234"}, {"device", ""}}), parameters);
    EXPECT_EQ(std::vector<std::string>{"--device must have value"}, parser.GetParseErrors());
    EXPECT_EQ("unread", OptionParser::GetSilentString());
}

namespace {

using Clock = std::chrono::steady_clock;

// Reads from `fd` into `screen` until `done` holds, the other side is gone, or ten seconds pass.
bool ReadUntil(int fd, std::string& screen, const std::function<bool()>& done) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, 50) <= 0)
            continue;
        char buffer[256];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return done(); // EIO on the master once the child has closed the terminal
        screen.append(buffer, static_cast<size_t>(n));
    }
    return true;
}

bool EchoIsOn(int fd) {
    termios settings{};
    return tcgetattr(fd, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
}

// Moves a descriptor above the standard three, which the child's terminal takes over (a test
// run with descriptor 0 closed would otherwise get one of them back from pipe()).
int AboveStandardDescriptors(int fd) {
    if (fd > STDERR_FILENO)
        return fd;
    int moved = fcntl(fd, F_DUPFD, STDERR_FILENO + 1);
    close(fd);
    return moved;
}

struct TerminalRun {
    std::string screen; // everything the terminal showed
    std::string report; // what the child saw: echo before, echo after, read failed, value
    bool echoWentOff = false;
    int status = -1;
};

// Runs the secret prompt for --password in a child whose controlling terminal is a new
// pseudo-terminal, waits for the prompt and for echo to be switched off, then types `typed`.
TerminalRun PromptOnTerminal(const std::string& typed) {
    TerminalRun run;
    int report[2];
    if (pipe(report) != 0)
        return run;
    report[0] = AboveStandardDescriptors(report[0]);
    report[1] = AboveStandardDescriptors(report[1]);
    std::cout.flush();
    std::fflush(nullptr);
    int master = -1;
    pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        close(report[0]);
        ResetStandardInput();
        std::string seen = EchoIsOn(STDIN_FILENO) ? "1" : "0";
        OptionParser parser;
        parser.ParseVector({"user", "login", "--password"});
        parser.SetInputSpec(SecretSpec());
        const Pairs& parameters = parser.GetCommandParameters();
        seen += EchoIsOn(STDIN_FILENO) ? "1" : "0";
        seen += std::cin.fail() ? "1" : "0";
        seen += parameters.size() == 1 ? parameters[0].second : "?";
        if (write(report[1], seen.data(), seen.size()) < 0)
            _exit(2);
        _exit(0);
    }
    close(report[1]);
    if (pid < 0) {
        ADD_FAILURE() << "forkpty failed";
        close(report[0]);
        return run;
    }
    const std::string prompt = "Enter value for 'password': ";
    EXPECT_TRUE(ReadUntil(master, run.screen, [&] { return run.screen.find(prompt) != std::string::npos; }))
        << "no prompt, screen: " << run.screen;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    // Typing before echo is off would show the secret whatever the parser does afterwards.
    while (EchoIsOn(master) && Clock::now() < deadline)
        usleep(1000);
    run.echoWentOff = !EchoIsOn(master);
    if (write(master, typed.data(), typed.size()) != static_cast<ssize_t>(typed.size()))
        ADD_FAILURE() << "typing failed";
    ReadUntil(master, run.screen, [] { return false; });
    char buffer[256];
    ssize_t n;
    while ((n = read(report[0], buffer, sizeof buffer)) > 0)
        run.report.append(buffer, static_cast<size_t>(n));
    close(report[0]);
    // A child stuck in its read must not hang the suite.
    const auto exitDeadline = Clock::now() + std::chrono::seconds(10);
    while (waitpid(pid, &run.status, WNOHANG) == 0) {
        if (Clock::now() > exitDeadline) {
            ADD_FAILURE() << "the prompting child did not end";
            kill(pid, SIGKILL);
            waitpid(pid, &run.status, 0);
            break;
        }
        usleep(1000);
    }
    close(master);
    return run;
}

} // namespace

TEST(SilentInputTest, TerminalPromptDoesNotEchoTheSecret) {
    auto run = PromptOnTerminal("s3cr3t-Value\n");
    EXPECT_TRUE(run.echoWentOff);
    // Only the prompt and the parser's own newline; the terminal turns "\n" into "\r\n".
    EXPECT_EQ("Enter value for 'password': \r\n", run.screen);
    EXPECT_EQ(std::string::npos, run.screen.find("s3cr3t"));
    // Echo on before and after, the read succeeded and the child got the secret.
    EXPECT_EQ("110s3cr3t-Value", run.report);
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0);
}

TEST(SilentInputTest, TerminalSettingsAreRestoredWhenTheReadFails) {
    // End of file typed at the start of the line (the terminal's EOF character, ^D).
    auto run = PromptOnTerminal("\x04");
    EXPECT_TRUE(run.echoWentOff);
    EXPECT_EQ("Enter value for 'password': \r\n", run.screen);
    EXPECT_EQ("111", run.report);
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0);
}
