// varnok end to end on command files, secrets without a terminal, standard output that cannot be
// written, and shared-object plugins named without a directory.
#include "varnok_run.h"

#include "test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

namespace {

using VarnokTest::Exists;
using VarnokTest::Result;

const std::string kSafety = E2E_SAFETY_PLUGIN_DIR;

// Runs varnok with the safety plugin loaded first, standard input read from `input` (closed when
// `closeInput`), standard output written to `outPath` (a file of `dir` when empty).
Result RunSafety(const CorvaneTest::TempDir& dir, std::vector<std::string> args,
                 const std::string& input = "", const std::string& outPath = "", bool closeInput = false) {
    args.insert(args.begin(), {"--plugin-dir", kSafety});
    const std::string out = outPath.empty() ? dir.Path() + "/out" : outPath;
    const int in = open(dir.WriteFile("in", input).c_str(), O_RDONLY | O_CLOEXEC);
    const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int errFd = open((dir.Path() + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int fds[3] = {closeInput ? -1 : in, outFd, errFd};
    Result result;
    result.status = VarnokTest::WaitForStatus(VarnokTest::StartVarnok(args, fds));
    for (int fd : {in, outFd, errFd}) {
        close(fd);
    }
    result.out = outPath.empty() ? CorvaneTest::ReadFile(out) : "";
    result.err = CorvaneTest::ReadFile(dir.Path() + "/err");
    return result;
}

const std::string kListing =
    "Usage: varnok [disp options] safety <namespaces> <command>\n\n"
    "For help please run varnok --help\n\n"
    "Available Namespaces: \n\n\n"
    "Available Commands: \n\n"
    "mark    Append a line to a marker file.\n"
    "secret  Write the secret read on standard input to a marker file.\n"
    "wait    Write the program's pid and its background child's pid to a directory and "
    "wait.\n\n";

// Line numbers count every line; a failing line is named before its errors and the next lines run.
TEST(VarnokBatch, FailingLinesAreNamedAndTheBatchGoesOn) {
    CorvaneTest::TempDir dir;
    const std::string first = dir.Path() + "/first", second = dir.Path() + "/second";
    const std::string commands = "# a comment\n"
                                 "safety mark --file " +
                                 first +
                                 "\n"
                                 "safety zzzzzz\n"
                                 "\n"
                                 "safety mark --file\n"
                                 "safety mark --file " +
                                 second +
                                 "\n"
                                 "safety";
    EXPECT_RUN(RunSafety(dir, {"--input", dir.WriteFile("commands", commands)}),
               "mark done\nmark done\n" + kListing,
               "varnok: --input line 3:\n"
               "varnok: Unable to find a command or namespace with the name 'zzzzzz' in namespace safety\n"
               "varnok: --input line 5:\nErrors: \n--file must have value\n"
               "varnok: --input line 7:\n",
               1);
    EXPECT_EQ("ran\n", CorvaneTest::ReadFile(first));
    EXPECT_EQ("ran\n", CorvaneTest::ReadFile(second));
}

TEST(VarnokBatch, StatusIsZeroOnlyWhenEveryLineSucceeded) {
    CorvaneTest::TempDir dir;
    const std::string marker = dir.Path() + "/marker";
    const std::string good = "safety mark --file " + marker + "\n\n# done\n";
    for (const char* source : {"-", "STDIN"}) {
        SCOPED_TRACE(source);
        EXPECT_RUN(RunSafety(dir, {"--input", source}, good), "mark done\n", "", 0);
        // The failing line comes first: the last line no longer decides.
        EXPECT_RUN(RunSafety(dir, {"--input", source}, "safety mark\n" + good), "mark done\n",
                   "varnok: --input line 1:\nErrors: \nMissing required parameter --file\n", 1);
    }
    EXPECT_EQ("ran\nran\nran\nran\n", CorvaneTest::ReadFile(marker));
}

TEST(VarnokBatch, ACommandFileThatCannotBeReadIsNotTakenForAnEmptyOne) {
    CorvaneTest::TempDir dir;
    const std::string directory = dir.MakeDir("commands");
    EXPECT_RUN(RunSafety(dir, {"--input", directory}), "",
               "varnok: --input: " + directory + ": Is a directory\n", 1);
    EXPECT_RUN(RunSafety(dir, {"--input", "-"}, "", "", true), "",
               "varnok: --input: -: Bad file descriptor\n", 1);
    // The messages of a file that cannot be opened and of a repeated --input stay as they are.
    EXPECT_RUN(RunSafety(dir, {"--input", dir.Path() + "/none"}), "",
               "Unable to open file " + dir.Path() + "/none\n", 1);
}

// Without a terminal the secret cannot be asked for: the next command line is never taken for it.
TEST(VarnokBatch, SecretsOfStandardInputLinesNeedATerminal) {
    CorvaneTest::TempDir dir;
    const std::string secret = dir.Path() + "/secret", marker = dir.Path() + "/marker";
    EXPECT_RUN(
        RunSafety(dir, {"--input", "-"},
                  "safety secret --file " + secret + " --password\nsafety mark --file " + marker + "\n"),
        "mark done\n",
        "varnok: --input line 1:\nErrors: \nUnable to read the value of 'password': no terminal to ask on, "
        "standard input holds the command lines (/dev/tty: No such device or address)\n",
        1);
    EXPECT_FALSE(Exists(secret));
    EXPECT_EQ("ran\n", CorvaneTest::ReadFile(marker));
}

TEST(VarnokSecret, EndOfInputOrAReadErrorAtThePromptRunsNothing) {
    CorvaneTest::TempDir dir;
    const std::string secret = dir.Path() + "/secret";
    const std::vector<std::string> args{"safety", "secret", "--file", secret, "--password"};
    EXPECT_RUN(
        RunSafety(dir, args, ""), "",
        "Enter value for 'password': \nErrors: \nUnable to read the value of 'password': end of input\n", 1);
    EXPECT_RUN(RunSafety(dir, args, "", "", true), "",
               "Enter value for 'password': \nErrors: \nUnable to read the value of 'password': Bad file "
               "descriptor\n",
               1);
    EXPECT_FALSE(Exists(secret));
    // An empty line is an empty value, and a last line without its newline a value.
    EXPECT_RUN(RunSafety(dir, args, "\n"), "secret done\n", "Enter value for 'password': \n", 0);
    EXPECT_RUN(RunSafety(dir, args, "no newline"), "secret done\n", "Enter value for 'password': \n", 0);
    EXPECT_EQ("\nno newline\n", CorvaneTest::ReadFile(secret));
}

// Results, listings, the usage text and batches: a write that fails is reported with its reason.
TEST(VarnokWrite, AFailedWriteOfStandardOutputIsReported) {
    CorvaneTest::TempDir dir;
    const std::string marker = dir.Path() + "/marker";
    const std::string full = "varnok: write error: No space left on device\n";
    const std::vector<std::string> commands[] = {
        {"safety", "mark", "--file", marker}, {"safety"}, {"-h"}, {"--version"}};
    for (const auto& args : commands) {
        SCOPED_TRACE(args.front() + " " + args.back());
        EXPECT_RUN(RunSafety(dir, args, "", "/dev/full"), "", full, 1);
    }
    // The batch stops at the first result that could not be written.
    EXPECT_RUN(RunSafety(dir, {"--input", "-"},
                         "safety mark --file " + marker + "\nsafety mark --file " + marker + "\n",
                         "/dev/full"),
               "", full, 1);
    EXPECT_EQ("ran\nran\n", CorvaneTest::ReadFile(marker));
}

TEST(VarnokWrite, AClosedStandardOutputIsReported) {
    CorvaneTest::TempDir dir;
    const std::string marker = dir.Path() + "/marker";
    const int fds[3] = {-1, -1, open(dir.WriteFile("err", "").c_str(), O_WRONLY | O_CLOEXEC)};
    const int status = VarnokTest::WaitForStatus(
        VarnokTest::StartVarnok({"--plugin-dir", kSafety, "safety", "mark", "--file", marker}, fds));
    close(fds[2]);
    EXPECT_EQ(1, status);
    EXPECT_EQ("varnok: write error: Bad file descriptor\n", CorvaneTest::ReadFile(dir.Path() + "/err"));
    // The program ran: nothing else took descriptor 1 and received the result.
    EXPECT_EQ("ran\n", CorvaneTest::ReadFile(marker));
}

TEST(VarnokWrite, ABrokenPipeStillEndsByItsSignal) {
    CorvaneTest::TempDir dir;
    int pipeFds[2];
    ASSERT_EQ(0, pipe2(pipeFds, O_CLOEXEC));
    close(pipeFds[0]);
    const int fds[3] = {-1, pipeFds[1], open(dir.WriteFile("err", "").c_str(), O_WRONLY | O_CLOEXEC)};
    const int status =
        VarnokTest::WaitForStatus(VarnokTest::StartVarnok({"--plugin-dir", kSafety, "safety"}, fds));
    close(fds[1]);
    close(fds[2]);
    EXPECT_EQ(128 + SIGPIPE, status);
    EXPECT_EQ("", CorvaneTest::ReadFile(dir.Path() + "/err"));
}

TEST(VarnokPlugin, ASharedObjectNamedWithoutADirectoryIsTakenFromTheCurrentOne) {
    CorvaneTest::TempDir dir;
    dir.WriteFile("petshop.so", CorvaneTest::ReadFile(CORVANE_TEST_PETSHOP_PLUGIN), 0755);
    const int fds[3] = {-1, open(dir.WriteFile("out", "").c_str(), O_WRONLY | O_CLOEXEC),
                        open(dir.WriteFile("err", "").c_str(), O_WRONLY | O_CLOEXEC)};
    const int status = VarnokTest::WaitForStatus(VarnokTest::StartVarnok(
        {"--plugin", "petshop.so", "--formatter", "json", "petshop", "status"}, fds, dir.Path()));
    close(fds[1]);
    close(fds[2]);
    EXPECT_EQ("", CorvaneTest::ReadFile(dir.Path() + "/err"));
    EXPECT_EQ("\n{\n   \"Keeper\": \"Mara\",\n   \"Open\": true\n}\n",
              CorvaneTest::ReadFile(dir.Path() + "/out"));
    EXPECT_EQ(0, status);
}

} // namespace
