// varnok end to end: calls refused before their program runs, calls whose printed result reports a
// problem, and the "Did you mean" lines, with commands whose program writes a marker file.
#include "varnok_run.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using VarnokTest::Result;

const std::string kPlugins = PREFLIGHT_PLUGIN_DIR;

// One run of varnok, and whether the command's program wrote its marker.
struct MarkedRun {
    Result result;
    bool ran = false;
};

// Runs varnok with the demo plugin; "MARKER" among `args` stands for a fresh file name, and the run
// tells whether the command's program wrote it.
MarkedRun V(std::vector<std::string> args) {
    CorvaneTest::TempDir dir;
    const std::string marker = dir.Path() + "/marker";
    for (std::string& arg : args) {
        if (arg == "MARKER") {
            arg = marker;
        }
    }
    args.insert(args.begin(), {"--plugin-dir", kPlugins});
    MarkedRun run;
    run.result = VarnokTest::RunVarnok(args);
    run.ran = VarnokTest::Exists(marker);
    return run;
}

// A refusal: nothing on standard output, `err` on standard error, status 1, and the program never ran.
#define EXPECT_REFUSED(arguments, expectedErr)                                                               \
    do {                                                                                                     \
        const MarkedRun run_ = V(arguments);                                                                 \
        EXPECT_EQ("", run_.result.out);                                                                      \
        EXPECT_EQ(expectedErr, run_.result.err);                                                             \
        EXPECT_EQ(1, run_.result.status);                                                                    \
        EXPECT_FALSE(run_.ran) << "the program ran";                                                         \
    } while (0)

using Args = std::vector<std::string>;

const std::string kList =
    "Name   Size  Owner.Name\n-----  ----  ----------\nalpha     5  root\nbeta      4  root\n";

} // namespace

// The marker shows what runs: the same calls with good names run and print.
TEST(Preflight, CallsThatCanBePrintedRunAndPrint) {
    MarkedRun run = V({"demo", "list", "--marker", "MARKER"});
    EXPECT_EQ(kList, run.result.out);
    EXPECT_EQ("", run.result.err);
    EXPECT_EQ(0, run.result.status);
    EXPECT_TRUE(run.ran);
    // json reads no field list, so the command's table columns do not stand in its way.
    run = V({"--formatter", "json", "demo", "touch", "--marker", "MARKER"});
    EXPECT_EQ(0, run.result.status) << run.result.err;
    EXPECT_TRUE(run.ran);
    run = V({"--formatter", "json", "demo", "list", "--marker", "MARKER"});
    EXPECT_EQ(0, run.result.status) << run.result.err;
    run = V({"--format-param", "printf:Entry.Size=%03ld", "--format-param", "units:Entry.Owner.Name=!",
             "demo", "list", "--marker", "MARKER"});
    EXPECT_EQ("Name   Size  Owner.Name\n-----  ----  ----------\nalpha   005  root !\nbeta    004  root !\n",
              run.result.out);
    EXPECT_EQ(0, run.result.status) << run.result.err;
}

TEST(Preflight, UnknownFormatterIsRefusedBeforeTheProgramRuns) {
    EXPECT_REFUSED((Args{"--formatter", "jsn", "demo", "touch", "--marker", "MARKER"}),
                   "Errors: \nUnable to find requested formatter: jsn\nDid you mean 'json'?\n");
    EXPECT_REFUSED((Args{"--formatter", "nothinglike", "demo", "touch", "--marker", "MARKER"}),
                   "Errors: \nUnable to find requested formatter: nothinglike\n");
}

TEST(Preflight, MisspeltDefaultFormatterIsRefusedBeforeTheProgramRuns) {
    EXPECT_REFUSED((Args{"demo", "typo", "--marker", "MARKER"}),
                   "Errors: \nUnable to find requested formatter: tabel\nDid you mean 'table'?\n");
}

TEST(Preflight, TableOfOneStructureIsRefusedBeforeTheProgramRuns) {
    EXPECT_REFUSED(
        (Args{"--formatter", "table", "demo", "touch", "--marker", "MARKER"}),
        "Errors: \nError: Unexpected type for output, formatter, table, expected a List of structs\n");
}

TEST(Preflight, FormatParametersNamingNothingAreRefusedBeforeTheProgramRuns) {
    const struct {
        Args args;
        const char* err;
    } cases[] = {
        {{"--format-param", "fields:Entry=Name,Sise"},
         "Errors: \nError: Unknown field in field list: Sise\nDid you mean 'Size'?\n"},
        {{"--format-param", "fields:Entry=Name,Owner.Nme"},
         "Errors: \nError: Unknown field in field list: Owner.Nme\nDid you mean 'Owner.Name'?\n"},
        {{"--format-param", "fields:Entri=Name"},
         "Errors: \nUnable to find structure type Entri of format parameter fields:Entri\nDid you mean "
         "'Entry'?\n"},
        {{"--format-param", "units:Entry.Sise=kB"},
         "Errors: \nUnable to find field Sise of type Entry in format parameter units:Entry.Sise\nDid you "
         "mean 'Size'?\n"},
        {{"--format-param", "header:Ownr=x"},
         "Errors: \nUnable to find structure type Ownr of format parameter header:Ownr\nDid you mean "
         "'Owner'?\n"},
        {{"--format-param", "printf:Entry.Size=%s"},
         "Errors: \nError while handling formatting parameter printf:Entry.Size.  Unable to format field: "
         "the format does not fit an integer value\n"},
        // simple follows no dotted path: the command's own table columns name one.
        {{"--formatter", "simple"}, "Errors: \nError getting field Owner.Name\n"},
    };
    for (const auto& c : cases) {
        Args args = c.args;
        args.insert(args.end(), {"demo", "list", "--marker", "MARKER"});
        SCOPED_TRACE(c.args.back());
        EXPECT_REFUSED(args, c.err);
    }
}

// What validation reports comes first, as without the format problem.
TEST(Preflight, ValidationMessagesComeBeforeTheFormatProblems) {
    EXPECT_REFUSED(
        (Args{"--formatter", "jsn", "demo", "touch"}),
        "Errors: \nMissing required parameter --marker\nUnable to find requested formatter: jsn\nDid "
        "you mean 'json'?\n");
}

TEST(Preflight, HelpIsPrintedWhateverTheFormatParametersSay) {
    const MarkedRun run = V({"--format-param", "fields:Nope=x", "demo", "typo", "--help"});
    EXPECT_EQ(0, run.result.status) << run.result.err;
    EXPECT_EQ("", run.result.err);
    EXPECT_NE(std::string::npos, run.result.out.find("the default formatter is misspelt")) << run.result.out;
}

// Where the declaration leaves the structure open, the program runs and the formatter reports inline,
// on standard output as before; the status says the call failed.
TEST(Preflight, ProblemsReportedWhilePrintingGiveStatusOne) {
    const struct {
        Args args;
        const char* out;
    } cases[] = {
        {{"--format-param", "fields:Entry=Name,Nope"},
         "\nEntry:\n   Name: alpha\nError getting field Nope\n\nEntry:\n   Name: beta\nError getting field "
         "Nope\n\n"},
        {{"--format-param", "fields:Entry=Owner.Name"},
         "\nEntry:\nError getting field Owner.Name\n\nEntry:\nError getting field Owner.Name\n\n"},
        {{"--format-param", "fields:Entry=Size", "--format-param", "printf:Entry.Size=%s"},
         "\nEntry:\n   Size: Error while handling formatting parameter printf:Entry.Size.  Unable to format "
         "field: the format does not fit an integer value\n\nEntry:\n   Size: Error while handling "
         "formatting "
         "parameter printf:Entry.Size.  Unable to format field: the format does not fit an integer "
         "value\n\n"},
        {{"--formatter", "table", "--format-param", "fields:Entry=Name,Nope"},
         "Error: Unknown field in field list: Nope\n"},
        {{"--formatter", "table", "--format-param", "fields:Entry=Name,Size", "--format-param",
          "printf:Entry.Size=%d%d"},
         // An integer cell is followed by two blanks, whatever its text.
         "Name   Size\n-----  ----\n"
         "alpha  Error while handling formatting parameter printf:Entry.Size.  Unable to format field: the "
         "format has more than one conversion  \n"
         "beta   Error while handling formatting parameter printf:Entry.Size.  Unable to format field: the "
         "format has more than one conversion  \n"},
    };
    for (const auto& c : cases) {
        Args args = c.args;
        args.insert(args.end(), {"demo", "loose", "--marker", "MARKER"});
        SCOPED_TRACE(c.args.back());
        const MarkedRun run = V(args);
        EXPECT_EQ(c.out, run.result.out);
        EXPECT_EQ("", run.result.err);
        EXPECT_EQ(1, run.result.status);
        EXPECT_TRUE(run.ran);
    }
    // Without a problem the same command succeeds.
    const MarkedRun run = V({"--format-param", "fields:Entry=Name", "demo", "loose", "--marker", "MARKER"});
    EXPECT_EQ("\nEntry:\n   Name: alpha\n\nEntry:\n   Name: beta\n\n", run.result.out);
    EXPECT_EQ(0, run.result.status);
}

TEST(DidYouMean, UnknownPathWordIsFollowedByTheClosestName) {
    EXPECT_REFUSED(
        (Args{"demo", "tuch", "--marker", "MARKER"}),
        "varnok: Unable to find a command or namespace with the name 'tuch' in namespace demo\nDid "
        "you mean 'touch'?\n");
    EXPECT_REFUSED((Args{"dem", "touch", "--marker", "MARKER"}),
                   "varnok: Unable to find a command or namespace with the name 'dem' in namespace \nDid you "
                   "mean 'demo'?\n");
    // Nothing close: the message alone, as before.
    EXPECT_REFUSED(
        (Args{"demo", "zzzzzz", "--marker", "MARKER"}),
        "varnok: Unable to find a command or namespace with the name 'zzzzzz' in namespace demo\n");
}

TEST(DidYouMean, UnknownCommandOptionIsFollowedByTheClosestOption) {
    EXPECT_REFUSED(
        (Args{"demo", "touch", "--markr", "MARKER"}),
        "Errors: \nUnknown parameter : markr\nDid you mean '--marker'?\nMissing required parameter "
        "--marker\n");
    EXPECT_REFUSED((Args{"demo", "touch", "--marker", "MARKER", "--zzzzzz", "1"}),
                   "Errors: \nUnknown parameter : zzzzzz\n");
}

TEST(DidYouMean, DispatcherOptionAfterThePathIsSaidToBelongBeforeIt) {
    EXPECT_REFUSED((Args{"demo", "touch", "--marker", "MARKER", "--formatter", "json"}),
                   "Errors: \nUnknown parameter : formatter\n'--formatter' is a dispatcher option: give it "
                   "before the namespaces.\n");
}

TEST(DidYouMean, UnknownDispatcherOptionIsFollowedByTheClosestOption) {
    EXPECT_REFUSED((Args{"--formater", "json", "demo", "touch", "--marker", "MARKER"}),
                   "Errors: \nUnknown dispatcher parameter: formater\nDid you mean '--formatter'?\n");
    EXPECT_REFUSED((Args{"--zzzzzz", "json", "demo", "touch", "--marker", "MARKER"}),
                   "Errors: \nUnknown dispatcher parameter: zzzzzz\n");
}
