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
    // --formatter replaces only the name: the command's column list stays and names a nested field,
    // which simple does not follow, so the call is refused before the command runs.
    EXPECT_RUN(V({"--formatter", "simple", "inventory", "disk", "list", "--min-size", "10000"}), "",
               "Errors: \nError getting field Location.Rack\n", 1);
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

namespace {

// A descriptor with one namespace "probe" and, per command, its name, parameters and template.
std::string ProbeDescriptor(const std::vector<std::pair<std::string, std::string>>& commands) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plugin>\n  <version>1.0.0</version>\n"
                      "  <namespaces><namespace path=\"probe\"><description>Probes.</description></namespace>"
                      "</namespaces>\n  <commands>\n";
    for (const auto& [name, execute] : commands) {
        xml += "    <command path=\"probe." + name +
               "\"><description>A probe.</description>\n"
               "      <input-spec><parameter name=\"dir\" type=\"string\" required=\"true\">"
               "<description>A directory.</description></parameter></input-spec>\n"
               "      <output-spec><string/></output-spec>\n"
               "      <format-parameters><formatter>simple</formatter></format-parameters>\n"
               "      <execute>" +
               execute + "</execute>\n    </command>\n";
    }
    return xml + "  </commands>\n</plugin>\n";
}

const std::string kNoRoot = "No root object set for output. The command did not provide proper output.\n"
                            "Implementation error! The output of this command does not match the declared "
                            "output type, see errors above.\n";

} // namespace

TEST(Varnok, BrokenProgramOutputSaysWhyAndWhere) {
    CorvaneTest::TempDir dir;
    const std::string script = dir.WriteFile("print.sh", "#!/bin/sh\nprintf '%b' \"$1\"\n", 0755);
    const std::string plugin =
        dir.WriteFile("probe.xml", ProbeDescriptor({{"print", script + " '$val{dir}'"}}));
    auto run = [&](const std::string& document) {
        return RunVarnok({"--plugin", plugin, "probe", "print", "--dir", document});
    };
    EXPECT_RUN(
        run("<output>\\n  <string>x</strin>\\n</output>\\n"), "",
        "Errors: \nOutput of the program is not well-formed XML: line 2, column 20: Opening and ending "
        "tag mismatch: string line 2 and strin\n" +
            kNoRoot,
        1);
    EXPECT_RUN(run("<output>\\n<!-- nothing -->\\n</output>\\n"), "",
               "Errors: \nOutput of the program is not a valid output document: line 1: root element "
               "<output> holds no value element\n" +
                   kNoRoot,
               1);
    EXPECT_RUN(run("<output>\\n<list type=\"int\">\\n<int>1</int>\\n<foo/>\\n</list>\\n</output>\\n"), "",
               "Errors: \nOutput of the program is not a valid output document: line 4: element <foo> is "
               "refused\nUnable to parse output of Extension Command: Error parsing command output.  Unable "
               "to build a proper metaobject from output tag.  output must contain properly formatted tags "
               "of type bool, int, string, structure and list. Error was : Unable to make a MetaObject from "
               "a node with tag 'foo'\n",
               1);
    // A document that is right prints as before.
    EXPECT_RUN(run("<output><string>fine</string></output>"), "fine\n", "", 0);
}

TEST(Varnok, RefusedTemplateRunsNothing) {
    CorvaneTest::TempDir dir;
    const std::string marker = dir.Path() + "/ran";
    const std::string plugin = dir.WriteFile(
        "probe.xml", ProbeDescriptor({{"home", "touch " + marker + "; echo \"${HOME:-$val{dir}}\""},
                                      {"sum", "touch " + marker + "; echo $((1 + $val{dir}))"},
                                      {"match", "touch " + marker + "; case x in $val{dir}) ;; esac"}}));
    const std::string refused = "Errors: \nError on command probe ";
    const std::string why = " : Unable to fill the command template: a parameter value would ";
    EXPECT_RUN(RunVarnok({"--plugin", plugin, "probe", "home", "--dir", "d"}), "",
               refused + "home" + why + "stand inside ${...}, whose quoting shells read in different ways\n",
               1);
    EXPECT_RUN(RunVarnok({"--plugin", plugin, "probe", "sum", "--dir", "2"}), "",
               refused + "sum" + why + "stand inside $((...)), which the shell reads as arithmetic\n", 1);
    EXPECT_RUN(RunVarnok({"--plugin", plugin, "probe", "match", "--dir", "x"}), "",
               refused + "match" + why + "stand in a case pattern, which the shell reads as a pattern\n", 1);
    EXPECT_FALSE(VarnokTest::Exists(marker));

    // varnok-lint, beside varnok, reports each of them with its line.
    const std::string lint = VarnokTest::VarnokBinary() + "-lint";
    const std::string error = ": error: Unable to fill the command template: a parameter value would ";
    EXPECT_RUN(
        VarnokTest::RunProgram(lint, {plugin}),
        plugin + ":10" + error + "stand inside ${...}, whose quoting shells read in different ways " +
            "(with the parameters given: dir)\n" + plugin + ":16" + error +
            "stand inside $((...)), which the shell reads as arithmetic (with the parameters given: dir)\n" +
            plugin + ":22" + error +
            "stand in a case pattern, which the shell reads as a pattern (with the parameters given: dir)\n",
        "", 1);
}
