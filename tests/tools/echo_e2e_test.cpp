// varnok end to end on messages that repeat what the caller gave: long words are cut with a mark and
// control bytes reach standard error escaped, from the command line and from command files.
#include "varnok_run.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using VarnokTest::Result;
using VarnokTest::RunVarnok;

const std::string kPlugins = E2E_PLUGIN_DIR;

Result V(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {"--plugin-dir", kPlugins});
    return RunVarnok(args, input);
}

const std::string kSetError =
    "Errors: \nInvalid data constraint for parameter 'mode'. Expected a single value "
    "from the set [fast, slow] got '";

// A value near the kernel's bound for one argument is repeated as its first 200 bytes and its length.
TEST(VarnokEcho, LongArgumentIsCutWithItsLength) {
    EXPECT_RUN(V({"inventory", "echo", "run", "--mode", std::string(100000, 'x')}), "",
               kSetError + std::string(200, 'x') + "... (100000 bytes)'\n", 1);
}

// A megabyte word on a command-file line: standard error holds a few hundred bytes, not the megabyte.
TEST(VarnokEcho, MegabyteValueOnAnInputLineIsCut) {
    CorvaneTest::TempDir dir;
    const std::string line = "inventory echo run --mode " + std::string(1048576, 'x') + "\n";
    EXPECT_RUN(V({"--input", dir.WriteFile("commands", line)}), "",
               "varnok: --input line 1:\n" + kSetError + std::string(200, 'x') + "... (1048576 bytes)'\n", 1);
}

TEST(VarnokEcho, ControlBytesAndInvalidUtf8InAValueAreEscaped) {
    EXPECT_RUN(V({"inventory", "echo", "run", "--mode", "a\x1b[2J\x1b]0;t\x07\x01\x7f\xff\xc3("}), "",
               kSetError + "a\\x1B[2J\\x1B]0;t\\x07\\x01\\x7F\\xFF\\xC3('\n", 1);
}

// A binary line of a command file: its words reach the terminal only as escapes.
TEST(VarnokEcho, BinaryInputLineIsEscaped) {
    CorvaneTest::TempDir dir;
    static const char kBinary[] = "inventory \x1b[?1049h\x9b\xfe\x00z\x08\n";
    const std::string lines =
        std::string(kBinary, sizeof kBinary - 1) + "inventory echo run --text \x1b]2;x\x07 extra\x1b\n";
    EXPECT_RUN(
        V({"--input", dir.WriteFile("commands", lines)}), "",
        "varnok: --input line 1:\n"
        "varnok: Unable to find a command or namespace with the name '\\x1B[?1049h\\x9B\\xFE\\x00z\\x08' "
        "in namespace inventory\n"
        "varnok: --input line 2:\n"
        "Errors: \nFound Extra non-parameter arguments at the end of input: 'extra\\x1B' \n",
        1);
}

// Every message that repeats a word or value of the command line, each with a control byte in it.
TEST(VarnokEcho, EachRepeatedWordIsEscaped) {
    const std::string esc = "\x1b";
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"inventory", "echo", "run", "--count", "1" + esc},
         "Errors: \nInvalid data '1\\x1B' for parameter count expected type Integer\n"},
        {{"inventory", "echo", "run", "--enabled", "y" + esc},
         "Errors: \nInvalid data 'y\\x1B' for parameter enabled expected one of [1, 0, y, n, true, false, "
         "True, False, yes, no, t, f, T, F]\n"},
        {{"--formatter", "j" + esc, "inventory", "echo", "run"},
         "Errors: \nUnable to find requested formatter: j\\x1B\n"},
        {{"--format-param", "a\tb", "inventory", "echo", "run"},
         "Errors: \nUnable to read format parameter a\\x09b\n"},
        {{"--format-param", "fields:Disk=Name,N" + esc, "inventory", "disk", "list"},
         "Errors: \nError: Unknown field in field list: N\\x1B\n"},
        {{"inventory", "echo", "run", "--text", "a", "b", esc},
         "Errors: \nFound Extra non-parameter arguments at the end of input: 'b' '\\x1B' \n"},
        {{"inventory", "no" + esc},
         "varnok: Unable to find a command or namespace with the name 'no\\x1B' in "
         "namespace inventory\n"},
        {{"--input", "/nonexistent/" + esc}, "Unable to open file /nonexistent/\\x1B\n"},
        {{"--plugin", "/nonexistent/" + esc + "[2J.xml"},
         "varnok: Unable to handle XML Plugin /nonexistent/\\x1B[2J.xml.  There was an error while parsing: "
         "Unable to parse XML descriptor: /nonexistent/\\x1B[2J.xml\n"},
        {{"--plugin", "/nonexistent/" + esc + "[2J.so"},
         "varnok: Unable to load plugin from /nonexistent/\\x1B[2J.so : /nonexistent/\\x1B[2J.so: cannot "
         "open "
         "shared object file: No such file or directory\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        EXPECT_RUN(V(c.args), "", c.err, 1);
    }
}

// A file of a plugin directory is named by whoever could write there.
TEST(VarnokEcho, PluginFileNamesAreEscaped) {
    CorvaneTest::TempDir dir;
    dir.WriteFile("\x1b[2J.xml", "");
    const std::string shown = dir.Path() + "/\\x1B[2J.xml";
    const Result run = V({"--plugin-dir", dir.Path(), "inventory", "echo", "run", "--mode", "fast"});
    EXPECT_EQ("Error loading plugin " + shown + " skipping.  Error was: Unable to handle XML Plugin " +
                  shown + ".  There was an error while parsing: Unable to parse XML descriptor: " + shown +
                  "\n",
              run.err);
    EXPECT_EQ(0, run.status);
}

// Option names cannot hold control bytes, but they can be long.
TEST(VarnokEcho, LongOptionNamesAreCut) {
    const std::string name(250, 'q');
    const std::string cut = std::string(200, 'q') + "... (250 bytes)";
    EXPECT_RUN(V({"inventory", "echo", "run", "--" + name}), "",
               "Errors: \nUnknown parameter : " + cut + "\n", 1);
    const Result run = V({"--" + name, "x", "inventory", "echo", "run"});
    EXPECT_EQ("Errors: \nUnknown dispatcher parameter: " + cut + "\n", run.err);
    EXPECT_EQ(1, run.status);
}

} // namespace
