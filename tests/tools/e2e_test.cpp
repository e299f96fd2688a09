// varnok end to end: the binary run as a user runs it, with stdout, stderr and exit status compared
// exactly on a fixed test plugin, and smoke runs of the bundled examples.
#include "varnok_run.h"

#include "test_support.h"

#include <boost/algorithm/string/replace.hpp>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using VarnokTest::Result;
using VarnokTest::RunVarnok;

const std::string kPlugins = E2E_PLUGIN_DIR;

// varnok with the fixed test plugin loaded first.
Result V(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {"--plugin-dir", kPlugins});
    return RunVarnok(args, input);
}

// Compares a run's standard output, standard error and status exactly, reporting the caller's line.
#define EXPECT_RUN(run, expectedOut, expectedErr, expectedStatus)                                            \
    do {                                                                                                     \
        const Result run_ = (run);                                                                           \
        EXPECT_EQ(expectedOut, run_.out);                                                                    \
        EXPECT_EQ(expectedErr, run_.err);                                                                    \
        EXPECT_EQ(expectedStatus, run_.status);                                                              \
    } while (0)

const std::string kData = E2E_DATA_DIR;
const std::string kNoDisk = "Errors: \n No disk named nothere\n Known disks: sda, sdb, nvme0n1\n";

// An expected output kept under tests/data/e2e/expected, with @DATA@ standing for that data directory.
std::string Expected(const std::string& name) {
    return boost::replace_all_copy(CorvaneTest::ReadFile(kData + "/expected/" + name), "@DATA@", kData);
}

// Standard error stays empty: nothing is said about default plugin directories this host lacks.
TEST(Varnok, ListingsHelpAndEveryFormatterPrintExactly) {
    EXPECT_RUN(RunVarnok({"-h"}), Expected("usage.out"), "", 1);
    const struct {
        std::vector<std::string> args;
        const char* expected;
        int status;
    } cases[] = {
        {{}, "root-listing.out", 1},
        {{"--formatter", "json"}, "root-listing.out", 1}, // listings ignore --formatter
        {{"inventory", "disk"}, "disk-listing.out", 1},
        {{"--bogus", "-h", "inventory", "disk", "list"}, "usage.out", 1},   // usage wins over other errors
        {{"inventory", "secret", "check", "--help"}, "secret-help.out", 0}, // after the path: its own help
        {{"inventory", "disk", "list"}, "table.out", 0},
        {{"inventory", "disk", "get", "--name", "sdb"}, "simple.out", 0},
        {{"--formatter", "json", "inventory", "disk", "get", "-n", "nvme0n1"}, "json.out", 0},
        {{"--formatter", "xml", "inventory", "disk", "get", "--name", "sda"}, "xml.out", 0},
        // The width is read with base prefixes: 0x1e is 30.
        {{"--screen-width", "0x1e", "--format-param", "wrap-last=true", "--format-param",
          "fields:Disk=Name,Location.Rack,Tags", "inventory", "disk", "list"},
         "table-wrapped.out",
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_RUN(V(c.args), Expected(c.expected), "", c.status);
    }
}

TEST(Varnok, FormatterOverridesKeepTheOtherCommandDefaults) {
    // --formatter replaces only the name: the command's column list stays and names a nested field.
    EXPECT_RUN(
        V({"--formatter", "simple", "inventory", "disk", "list", "--min-size", "10000"}),
        "\nDisk:\n   Name: sdb\n   Size: 12000 GB\n   Healthy: false\nError getting field Location.Rack\n\n",
        "", 0);
}

// The malformed format parameters, which only the tool reports, reach standard error in order, and
// nothing runs; validation messages and their order are pinned by the input and dispatcher tests.
TEST(Varnok, BadOptionsAndInputAreReportedAndNothingRuns) {
    EXPECT_RUN(
        V({"--format-param", "fields_Disk=Name", "--format-param", "x=", "--format-param", "noequals",
           "--formatter", "json", "--formatter", "xml", "inventory", "disk", "list"}),
        "",
        "Errors: \nOnly one --formatter option can be passed to a command\nUnable to read format parameter "
        "fields_Disk=Name\nUnable to read format parameter x=\nUnable to read format parameter noequals\n",
        1);
}

// The messages are pinned by the tests of the command tree and of the process runner.
TEST(Varnok, FailuresAndUnknownPathsEndWithStatusOne) {
    EXPECT_RUN(V({"inventory", "disk", "get", "--name", "nothere"}), "", kNoDisk, 1);
    EXPECT_RUN(V({"inventory", "tape", "list"}), "",
               "varnok: Unable to find a command or namespace with the name 'tape' in namespace inventory\n",
               1);
}

// The prompt on a terminal, with echo off, is pinned by the option parser's tests.
TEST(Varnok, SecretsArePromptedForAndReachTheProgramOnlyOnItsInput) {
    // With standard output on a pipe the prompt goes to standard error: the result stays readable.
    EXPECT_RUN(
        VarnokTest::RunProgram(
            "/bin/sh", {"-c",
                        "printf 'open sesame\\n' | \"$0\" --plugin-dir \"$1\" --formatter json inventory "
                        "secret check --user bob --password | python3 -m json.tool",
                        VarnokTest::VarnokBinary(), kPlugins}),
        "{\n    \"Accepted\": true,\n    \"Length\": 11,\n    \"User\": \"bob\"\n}\n",
        "Enter value for 'password': \n", 0);
}

TEST(Varnok, VersionIsPrintedBeforeAnythingElseHappens) {
    const std::string version = "varnok " VARNOK_VERSION "\n";
    CorvaneTest::TempDir dir;
    // No plugin is loaded, so no missing directory is reported; --version takes "inventory" as its value.
    EXPECT_RUN(RunVarnok({"--plugin-dir", dir.Path() + "/missing", "--bogus", "--version", "inventory", "x"}),
               version, "", 0);
    EXPECT_RUN(RunVarnok({"--version", "-h"}), Expected("usage.out"), "", 1);
}

TEST(Varnok, CommandFilesRunLineByLineAndAFailedLineIsNamed) {
    CorvaneTest::TempDir dir;
    const std::string commands = kData + "/commands.txt";
    EXPECT_RUN(V({"--input", commands}),
               R"({"Arguments": ["""--tag""", """two""", """words""", """--tag""", """x""", ], "Count": 5, })"
               "\n",
               "varnok: --input line 3:\n" + kNoDisk, 1);
    // A plugin directory loaded by one line serves the lines after it.
    EXPECT_RUN(RunVarnok({"--input", "STDIN"}, "--plugin-dir " + kPlugins +
                                                   " inventory disk get -n nothere\n"
                                                   "--formatter python inventory disk list -m 10000\n"),
               Expected("python.out"), "varnok: --input line 1:\n" + kNoDisk, 1);

    EXPECT_RUN(V({"--input", dir.Path() + "/missing.txt"}), "",
               "Unable to open file " + dir.Path() + "/missing.txt\n", 1);
    EXPECT_RUN(V({"--input", commands, "--input", commands}), "",
               "Only one --input dispatch parameter is allowed\n", 1);
    EXPECT_RUN(V({"--input", dir.WriteFile("empty.txt", "# nothing\n\n")}), "", "", 0);
}

TEST(Varnok, BrokenPluginsAreReportedAndTheOthersWork) {
    const std::string broken = kData + "/broken/";
    EXPECT_RUN(RunVarnok({"--plugin-dir", kData + "/broken", "hello", "say"}), "hello\n",
               Expected("broken-plugins.err"), 0);
    // One failing --plugin ends the tool.
    EXPECT_RUN(RunVarnok({"--plugin", broken + "c-garbage.so", "hello", "say"}), "",
               "varnok: Unable to load plugin from " + broken + "c-garbage.so : " + broken +
                   "c-garbage.so: invalid ELF header\n",
               1);
}

} // namespace

namespace {

// What the dynamic loader reports loading for one varnok command line (LD_DEBUG=files).
std::string LoadedFiles(const std::string& arguments) {
    return VarnokTest::RunShell("VARNOK_NO_CACHE=1 LD_DEBUG=files '" + VarnokTest::VarnokBinary() + "' " +
                                arguments + " 2>&1 >/dev/null | grep -o 'file=[^ ]*' || true");
}

} // namespace

// Start-up loads neither libxml2 nor Boost.Regex: a descriptor read loads the one, a pattern checked
// the other.
TEST(Varnok, XmlAndRegexLibrariesAreLoadedOnFirstUse) {
    std::string files = LoadedFiles("varnok command list");
    EXPECT_EQ(std::string::npos, files.find("libxml2")) << files;
    EXPECT_EQ(std::string::npos, files.find("corvane-regex.so")) << files;
    files = LoadedFiles("--plugin-dir '" + kPlugins + "' inventory disk");
    EXPECT_NE(std::string::npos, files.find("file=libxml2.so.2")) << files;
    EXPECT_EQ(std::string::npos, files.find("corvane-regex.so")) << files;
    files = LoadedFiles("--plugin-dir '" + kPlugins + "' inventory disk get --name sdb");
    EXPECT_NE(std::string::npos, files.find("/corvane/modules/corvane-regex.so")) << files;
}
