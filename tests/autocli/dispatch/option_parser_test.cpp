// Tests of OptionParser: grammar, errors, line splitting, dump, secret prompts through a pipe and a terminal.
#include <corvane/dispatch.h>

#include "test_support.h"

#include <poll.h>
#include <pty.h>
#include <stdio_ext.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <iostream>

using Corvane::AutoCli::OptionParser;
using Corvane::CallSpec::ParameterSpec;
using Corvane::CallSpec::ParameterType;
using Clock = std::chrono::steady_clock;

namespace {

// device (-d), force (flag, -f), count, help (-h), password (secret, -p) and pin (secret).
std::shared_ptr<Corvane::CallSpec::InputSpec> Spec() {
    auto spec = Corvane::CallSpec::InputSpec::New();
    for (const std::string name : {"device", "force", "count", "help", "password", "pin"}) {
        auto param = ParameterSpec::New(name, name == "force" ? ParameterType::Flag : ParameterType::String);
        if (name != "count" && name != "pin") {
            param->SetShortName(name == "password" ? "p" : name.substr(0, 1));
        }
        if (name[0] == 'p') {
            param->SetSecret(true);
        }
        spec->AddParameter(param);
    }
    return spec;
}

// Parses `line` (split by ParseString), then hands over the parameters of Spec().
OptionParser Parsed(const std::string& line) {
    OptionParser parser;
    parser.ParseString(line);
    parser.SetInputSpec(Spec());
    return parser;
}

// "dispatcher options | path | command options | errors" of a copy whose command options are processed.
std::string Summary(OptionParser parser) {
    std::string text;
    auto add = [&](const OptionParser::ParameterList& pairs) {
        for (const auto& [name, value] : pairs) {
            text.append(" ").append(name).append("=").append(value);
        }
    };
    add(parser.GetDispatcherParameters());
    text += " | ";
    for (const auto& word : parser.GetCommandPath()) {
        text += "'" + word + "'";
    }
    text += " |";
    add(parser.GetCommandParameters());
    for (const auto& error : parser.GetParseErrors()) {
        text += " | " + error;
    }
    return text;
}

// GetSilentString reads through std::cin over C stdio: drop what an earlier reader buffered.
void ResetStandardInput() {
    __fpurge(stdin);
    clearerr(stdin);
    std::cin.clear();
}

// From here on, standard input reads `content` from a pipe.
void FeedStdin(const std::string& content) {
    int fds[2];
    ASSERT_EQ(0, pipe(fds));
    EXPECT_EQ(static_cast<ssize_t>(content.size()), write(fds[1], content.data(), content.size()));
    close(fds[1]);
    dup2(fds[0], STDIN_FILENO);
    if (fds[0] != STDIN_FILENO) { // pipe() takes descriptor 0 itself when it was closed
        close(fds[0]);
    }
    ResetStandardInput();
}

bool EchoIsOn(int fd) {
    termios settings{};
    return tcgetattr(fd, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
}

// Reads `fd` into `screen` until it holds `until` with echo off (true), the other side is gone (true
// when `until` is empty) or ten seconds pass (false).
bool ReadUntil(int fd, std::string& screen, const std::string& until) {
    for (const auto deadline = Clock::now() + std::chrono::seconds(10); Clock::now() < deadline;) {
        if (!until.empty() && screen.find(until) != std::string::npos && !EchoIsOn(fd)) {
            return true;
        }
        pollfd entry{fd, POLLIN, 0};
        char buffer[256];
        ssize_t n = poll(&entry, 1, 50) > 0 ? read(fd, buffer, sizeof buffer) : 0;
        if (n < 0 || (n == 0 && entry.revents != 0)) {
            return until.empty(); // EIO on the master once the child has closed the terminal
        }
        screen.append(buffer, static_cast<size_t>(n));
    }
    return false;
}

} // namespace

TEST(OptionParserTest, GrammarErrorsAndLineSplitting) {
    for (const char* word : {"-Z", "--a2", "--dry-run", "--a-", "--ab==", "--ab=c d", "--ab=\n"}) {
        EXPECT_TRUE(OptionParser::IsParameter(word)) << word;
    }
    for (const char* word : {"", "-", "--", "-5", "-vx", "--a", "--2ab", "---ab", "--ab=", "--a_b", " -v",
                             "--ab\n", "--=v", "-v=1"}) {
        EXPECT_FALSE(OptionParser::IsParameter(word)) << word;
    }

    // Command lines and their summaries. Missing values name the word as typed; flags, help, undeclared
    // and dispatcher options need none; an option takes the next non-option word as its value.
    // clang-format off
    const std::pair<const char*, const char*> table[] = {
        {"--formatter json storage disk list --device d1",
         " formatter=json | 'storage''disk''list' | device=d1"},
        {"--formatter=json -h", " formatter=json h= |  |"},
        {"--screen-width -5 -h --plugin --formatter a=b ns --count --x=1",
         " screen-width=-5 h= plugin= formatter=a=b | 'ns' | count=--x=1"},
        {"cmd --device --force --count -d", " | 'cmd' | device= force= count= d= | --device must have value"
                                            " | --count must have value | -d must have value"},
        {"cmd --force -h --help --bogus -f yes --tag x --tag=y=z",
         " | 'cmd' | force= h= help= bogus= f=yes tag=x tag=y=z"},
        {"storage --device d1 extra more",
         " | 'storage' | device=d1 | Found Extra non-parameter arguments at the end of input: 'extra' "
         "'more' "}};
    // clang-format on
    for (const auto& [line, summary] : table) {
        EXPECT_EQ(summary, Summary(Parsed(line))) << line;
    }

    // Lines without words change nothing.
    OptionParser parser("tool");
    parser.ParseVector({"--formatter", "json", "ns", "--device", "d1"});
    const std::string before = parser.ToString();
    for (const char* line : {"", " \t  ", "# ns cmd", "  \t# comment", "\"\" # x", "\"#\""}) {
        EXPECT_TRUE(parser.ParseString(line)) << '[' << line << ']';
    }
    EXPECT_EQ(before, parser.ToString());
    // Quotes group blanks into a word and vanish; "#" starts a comment only before the first word.
    // clang-format off
    const std::pair<const char*, const char*> splits[] = {
        {"storage # list", "'storage''#''list'"}, {"\t storage\t\tdisk \t list\t ", "'storage''disk''list'"},
        {"a \"\" b", "'a''''b'"}, {"a \"\"", "'a'"}, {"a \"\" ", "'a'''"}, {"ab\"c d\"e #f", "'abc de''#f'"},
        {"a \"b\tc  d", "'a''b\tc  d'"}, {"a\\ b", "'a\\''b'"}, {"a\r", "'a\r'"}};
    // clang-format on
    for (const auto& [line, words] : splits) {
        EXPECT_EQ(" | " + std::string(words) + " |", Summary(Parsed(line))) << line;
    }
    EXPECT_FALSE(parser.ParseString(" --formatter xml  ls --device \"d 1\" --name=\"a b\" -f"));
    EXPECT_EQ(" formatter=xml | 'ls' | device=d 1 name=a b f=", Summary(parser));
    // A word that is no option, handed over as one, is reported.
    std::string name, value;
    OptionParser direct;
    direct.ParseParameter("--a", name, value);
    EXPECT_EQ(std::vector<std::string>{"Attempt to parse option failed.  Input was : --a"},
              direct.GetParseErrors());
}

TEST(OptionParserTest, SecretsArePromptedForWithoutEcho) {
    // Standard output is no terminal here: the prompts go to standard error and leave the result clean. End
    // of input before the first byte is an error naming the parameter, and the secrets after it are not asked
    // for.
    for (const char* typed : {"s3cret pass\n1234\nunread\n", ""}) {
        FeedStdin(typed);
        std::string got;
        const CorvaneTest::Captured printed =
            CorvaneTest::CaptureOutErr([&] { got = Summary(Parsed("user add --device d1 -p --pin")); });
        EXPECT_EQ("", printed.out);
        EXPECT_EQ(*typed ? "Enter value for 'password': \nEnter value for 'pin': \n"
                         : "Enter value for 'password': \n",
                  printed.err);
        EXPECT_EQ(
            *typed
                ? " | 'user''add' | device=d1 p=s3cret pass pin=1234"
                : " | 'user''add' | device=d1 p= pin= | Unable to read the value of 'password': end of input",
            got);
        // With a value there is no prompt and the input is left unread.
        EXPECT_EQ("", CorvaneTest::CaptureFd(
                          2, [&] { got = Summary(Parsed("x --password given --pin=1 --device")); }));
        EXPECT_EQ(" | 'x' | password=given pin=1 device= | --device must have value", got);
        EXPECT_EQ(*typed ? "unread" : "", OptionParser::GetSilentString());
    }

    // A child whose controlling terminal is a new pseudo-terminal prompts for --password, with standard
    // output on that terminal or on a pipe; the other of standard output and standard error is a pipe that
    // must stay empty. The test waits for the prompt and for echo to go off, then types a line, or end of
    // file (^D) at its start.
    const std::pair<std::string, bool> cases[] = {
        {"s3cr3t-Value\n", true}, {"\x04", true}, {"piped value\n", false}};
    for (const auto& [typed, stdoutOnTerminal] : cases) {
        SCOPED_TRACE(stdoutOnTerminal ? "standard output on the terminal" : "standard output on a pipe");
        const std::string expected = typed.substr(0, typed.size() - 1);
        std::fflush(nullptr);
        int master = -1;
        pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
        if (pid ==
            0) { // exit status bits: echo on before, echo on after, read failed, summary right, pipe empty
            const int piped = stdoutOnTerminal ? STDERR_FILENO : STDOUT_FILENO;
            int fds[2];
            if (pipe(fds) != 0 || dup2(fds[1], piped) != piped) {
                _exit(64);
            }
            close(fds[1]);
            ResetStandardInput();
            int code = EchoIsOn(STDIN_FILENO) ? 1 : 0;
            const std::string got = Summary(Parsed("login --password"));
            const std::string failure = " | Unable to read the value of 'password': end of input";
            code |= (EchoIsOn(STDIN_FILENO) ? 2 : 0) | (got.find(failure) != std::string::npos ? 4 : 0);
            code |= got == " | 'login' | password=" + expected + (expected.empty() ? failure : "") ? 8 : 0;
            std::cout.flush();
            close(piped);
            char c;
            _exit(code | (read(fds[0], &c, 1) == 0 ? 16 : 0));
        }
        ASSERT_LT(0, pid);
        std::string screen;
        // Typing before echo is off would show the secret whatever the parser does afterwards.
        EXPECT_TRUE(ReadUntil(master, screen, "Enter value for 'password': ")) << screen;
        EXPECT_EQ(static_cast<ssize_t>(typed.size()), write(master, typed.data(), typed.size()));
        if (!ReadUntil(master, screen, "")) {
            ADD_FAILURE() << "the prompting child did not end";
            kill(pid, SIGKILL);
        }
        int status = -1;
        waitpid(pid, &status, 0);
        close(master);
        // Only the prompt and the parser's newline, which the terminal turns into "\r\n".
        EXPECT_EQ("Enter value for 'password': \r\n", screen);
        EXPECT_EQ(1 | 2 | (expected.empty() ? 4 : 0) | 8 | 16, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
}
