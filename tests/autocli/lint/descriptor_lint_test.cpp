// The descriptor linter: exact finding lines for a table of broken descriptors, files loaded
// together, directory scans in the tool's order, and the command line's exit statuses.
#include <corvane/lint.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kData = CORVANE_TEST_DATA_DIR "/lint/";

struct LintRun {
    int status;
    std::string out;
    std::string err;
};

// Runs the varnok-lint command line; the data directory is left out of the printed paths.
LintRun Lint(const std::vector<std::string>& words) {
    std::vector<const char*> argv{"varnok-lint"};
    for (const std::string& word : words) {
        argv.push_back(word.c_str());
    }
    std::ostringstream out, err;
    LintRun run{Corvane::AutoCli::AutoCli_LintMain(static_cast<int>(argv.size()), argv.data(), out, err),
                out.str(), err.str()};
    for (std::string::size_type at; (at = run.out.find(kData)) != std::string::npos;) {
        run.out.erase(at, kData.size());
    }
    return run;
}

struct Case {
    std::vector<std::string> files;
    int status;
    std::string expected;
};

// The lines of a multi-line finding list, kept under the data directory's expected/.
std::string Expected(const std::string& name) {
    return CorvaneTest::ReadFile(kData + "expected/" + name);
}

TEST(DescriptorLint, BrokenDescriptorsGiveExactlyTheirLines) {
    const std::string plugin = "Unable to handle XML Plugin ";
    const std::string parsing = ".  There was an error while parsing: ";
    const std::string command = "Unable to register the command 'varnok demo.show'  Error was ";
    const Case cases[] = {
        {{"singular-commands.xml"}, 1, Expected("singular-commands.out")},
        {{"help-collision.xml"}, 1, Expected("help-collision.out")},
        {{"templates.xml"}, 0, Expected("templates.out")},
        // Templates the filler refuses whatever the values, with the parameters given when it does.
        {{"refused-templates.xml"}, 1, Expected("refused-templates.out")},
        {{"malformed.xml"},
         1,
         "malformed.xml:7: error: Opening and ending tag mismatch: command line 5 and commands\n"},
        {{"version.xml"},
         1,
         "version.xml:4: error: " + plugin + "version.xml" + parsing +
             "Unknown varnok extention version.  Valid versions are: '1.0.0'\n"},
        {{"two-input-specs.xml"},
         1,
         "two-input-specs.xml:7: error: " + plugin + "two-input-specs.xml" + parsing + command +
             "More than one instance of input-spec found, expected only one.\n"},
        {{"bad-value.xml"},
         1,
         "bad-value.xml:10: error: " + plugin + "bad-value.xml" + parsing + command +
             "Unable to build output spec.  Error was Unable to read an int value from: 'many'\n"},
        {{"bad-name.xml"},
         1,
         "bad-name.xml:6: error: Error while trying to register the plugin bad-name.xml Invalid name for "
         "namespace 'DiskTools', must be a name consisting of letters and numbers and must conform to "
         "'camel' casing. The functionality in bad-name.xml will not be available until this issue is "
         "resolved.\n"},
        // Loaded together: a refused file registers nothing, the others clash with the files before them
        // and with the internal plugin.
        {{"refusals.xml", "misspelt.xml", "clash.xml", "clash-command.xml", "internal-clash.xml",
          "unresolved.xml"},
         1,
         Expected("together.out")},
        {{"notes.txt", "missing.xml"},
         1,
         "notes.txt: warning: not a plugin file: varnok loads only names ending in .so or .xml and skips "
         "this one\nmissing.xml: error: " +
             plugin + "missing.xml" + parsing + "Unable to parse XML descriptor: missing.xml\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> paths;
        for (const std::string& file : c.files) {
            paths.push_back(kData + file);
        }
        const LintRun run = Lint(paths);
        EXPECT_EQ(c.expected, run.out) << c.files[0];
        EXPECT_EQ(c.status, run.status) << c.files[0];
        EXPECT_EQ("", run.err);
    }
}

TEST(DescriptorLint, DirectoriesAreLintedInTheToolsOrderWithTheirClashes) {
    CorvaneTest::TempDir dir;
    // b.xml shares its top-level namespace with a.xml, and both fail on the same command.
    const std::string ns = CorvaneTest::ReadFile(kData + "unresolved.xml");
    dir.WriteFile("lib64/b.xml", ns);
    dir.WriteFile("a.xml", ns);
    dir.WriteFile("notes.txt", "skipped without a word");
    dir.MakeDir("c.xml");
    const LintRun run = Lint({"--plugin-dir", dir.Path()});
    auto refused = [&](const std::string& name) {
        const std::string file = dir.Path() + "/" + name;
        return file + ":8: error: Error while trying to register the plugin " + file +
               " Unable to find a command or namespace with the name 'disk' in namespace store The "
               "functionality in " +
               file + " will not be available until this issue is resolved.\n";
    };
    const std::string directory = dir.Path() + "/c.xml";
    EXPECT_EQ(refused("lib64/b.xml") + refused("a.xml") + directory +
                  ": error: Unable to handle XML Plugin " + directory +
                  ".  There was an error while parsing: Unable to parse XML descriptor: " + directory + "\n",
              run.out);
    EXPECT_EQ(1, run.status);

    const LintRun missing = Lint({"--plugin-dir=" + dir.Path() + "/none"});
    EXPECT_EQ(dir.Path() + "/none: error: Unable to open directory " + dir.Path() +
                  "/none for plugin registration\n",
              missing.out);
}

TEST(DescriptorLint, ExitStatusAndUsage) {
    const std::string usage = "Usage: varnok-lint [--werror] [--plugin-dir DIR]... [FILE]...\n";
    struct Status {
        std::vector<std::string> words;
        int status;
        std::string outStart;
        std::string err;
    };
    const Status statuses[] = {
        {{"--werror", kData + "templates.xml"}, 1, "templates.xml:16: error: ", ""},
        {{"--help"}, 0, usage, ""},
        {{}, 2, "", "varnok-lint: no plugin file or directory given\n" + usage},
        {{"--strict", "a.xml"}, 2, "", "varnok-lint: unknown option --strict\n" + usage},
        {{"--plugin-dir"}, 2, "", "varnok-lint: --plugin-dir needs a directory\n" + usage},
    };
    for (const Status& s : statuses) {
        const LintRun run = Lint(s.words);
        EXPECT_EQ(s.status, run.status) << run.out << run.err;
        EXPECT_EQ(s.outStart, run.out.substr(0, s.outStart.size()));
        EXPECT_EQ(s.err, run.err.substr(0, s.err.size()));
        EXPECT_EQ(s.err.empty(), run.err.empty());
    }
}

} // namespace

namespace {

// The loader keeps any text; only read, change and destroy are effects, compared as written.
TEST(DescriptorLint, UnknownEffectValuesAreErrorsWithTheirLines) {
    const LintRun run = Lint({kData + "effects.xml"});
    EXPECT_EQ(Expected("effects.out"), run.out);
    EXPECT_EQ("", run.err);
    EXPECT_EQ(1, run.status);
}

} // namespace
