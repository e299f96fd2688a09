// varnok end to end: --where, --sort and --limit on a list of structures, their refusals before the
// program runs, and --dry-run, with commands whose program writes a marker file.
#include "varnok_run.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using VarnokTest::Result;
using Args = std::vector<std::string>;

const std::string kPlugins = QUERY_PLUGIN_DIR;
const std::string kData = E2E_DATA_DIR;

struct MarkedRun {
    Result result;
    bool ran = false;
    std::string marker;
};

// Runs varnok with the hosts plugin; "MARKER" among `args` stands for a fresh file name.
MarkedRun V(std::vector<std::string> args, const std::string& input = "") {
    CorvaneTest::TempDir dir;
    MarkedRun run;
    run.marker = dir.Path() + "/marker";
    for (std::string& arg : args) {
        if (arg == "MARKER") {
            arg = run.marker;
        }
    }
    args.insert(args.begin(), {"--plugin-dir", kPlugins});
    run.result = VarnokTest::RunVarnok(args, input);
    run.ran = VarnokTest::Exists(run.marker);
    return run;
}

#define EXPECT_REFUSED(arguments, expectedErr)                                                               \
    do {                                                                                                     \
        const MarkedRun run_ = V(arguments);                                                                 \
        EXPECT_EQ("", run_.result.out);                                                                      \
        EXPECT_EQ(expectedErr, run_.result.err);                                                             \
        EXPECT_EQ(1, run_.result.status);                                                                    \
        EXPECT_FALSE(run_.ran) << "the program ran";                                                         \
    } while (0)

// Up hosts, most CPUs first, two of them: db1 (16), then cache (8).
Args Query(const std::string& formatter) {
    return {"--formatter", formatter, "--where", "Up == true", "--sort",   "-Cpus",
            "--limit",     "2",       "hosts",   "list",       "--marker", "MARKER"};
}

void ExpectPrinted(const Args& args, const std::string& out) {
    const MarkedRun run = V(args);
    EXPECT_EQ(out, run.result.out);
    EXPECT_EQ("", run.result.err);
    EXPECT_EQ(0, run.result.status);
    EXPECT_TRUE(run.ran);
}

// What a run puts in front of the command when the environment has no LANG.
std::string LangPrefix() {
    return std::getenv("LANG") == nullptr ? "LANG=en_US.UTF-8 " : "";
}

} // namespace

TEST(QueryEndToEnd, SimpleFormatterPrintsTheSelectedRowsInOrder) {
    ExpectPrinted(Query("simple"), "\nHost:\n   Name: db1\n   Cpus: 16\n   Up: true\n\n"
                                   "Host:\n   Name: cache\n   Cpus: 8\n   Up: true\n\n");
}

TEST(QueryEndToEnd, TableFormatterPrintsTheSelectedRowsInOrder) {
    ExpectPrinted(Query("table"), "Name   Cpus  Up\n-----  ----  --\ndb1      16  true\ncache     8  true\n");
}

TEST(QueryEndToEnd, PythonFormatterPrintsTheSelectedRowsInOrder) {
    ExpectPrinted(
        Query("python"),
        "[{\"Cpus\": 16, \"Name\": \"\"\"db1\"\"\", \"Site\": {\"City\": \"\"\"Bergen\"\"\", \"Rack\": 1, }, "
        "\"Up\": True, }, {\"Cpus\": 8, \"Name\": \"\"\"cache\"\"\", \"Site\": {\"City\": "
        "\"\"\"Oslo\"\"\", \"Rack\": 3, }, \"Up\": True, }, ]\n");
}

TEST(QueryEndToEnd, JsonAndXmlFormattersPrintTheSelectedRowsInOrder) {
    ExpectPrinted(Query("json"), CorvaneTest::ReadFile(kData + "/expected/query.json.out"));
    ExpectPrinted(Query("xml"), CorvaneTest::ReadFile(kData + "/expected/query.xml.out"));
}

TEST(QueryEndToEnd, NestedFieldsRegexAndStableMultiKeySort) {
    // Oslo hosts whose name starts with "web" or is "cache", by city descending then CPUs: equal keys
    // keep the program's order (web1 before web2).
    ExpectPrinted(
        {"--where", "Site.City == Oslo", "--where", "Name =~ ^(web|ca)", "--sort", "-Site.City,Cpus", "hosts",
         "list", "--marker", "MARKER"},
        "Name   Cpus  Up\n-----  ----  --\nweb1      4  true\nweb2      4  false\ncache     8  true\n");
    ExpectPrinted({"--where", "Site.Rack>=2", "--where", "Cpus!=4", "hosts", "list", "--marker", "MARKER"},
                  "Name   Cpus  Up\n-----  ----  --\ncache     8  true\n");
    ExpectPrinted({"--where", "Up==no", "--sort", "Name", "hosts", "list", "--marker", "MARKER"},
                  "Name  Cpus  Up\n----  ----  --\nweb2     4  false\n");
    ExpectPrinted({"--sort", "Up,-Name", "--limit", "0", "hosts", "list", "--marker", "MARKER"},
                  "Name  Cpus  Up\n----  ----  --\n");
}

TEST(QueryEndToEnd, EachBatchLineCarriesItsOwnQuery) {
    CorvaneTest::TempDir dir;
    const std::string lines = "--where \"Cpus > 4\" --sort Name hosts list --marker " + dir.Path() +
                              "/m1\nhosts list --marker " + dir.Path() +
                              "/m2 \n--limit 1 hosts list --marker " + dir.Path() + "/m3\n";
    const Result result =
        VarnokTest::RunVarnok({"--plugin-dir", kPlugins, "--input", dir.WriteFile("lines", lines)});
    EXPECT_EQ("Name   Cpus  Up\n-----  ----  --\ncache     8  true\ndb1      16  true\n"
              "Name   Cpus  Up\n-----  ----  --\nweb1      4  true\ndb1      16  true\nweb2      4  false\n"
              "cache     8  true\n"
              "Name  Cpus  Up\n----  ----  --\nweb1     4  true\n",
              result.out);
    EXPECT_EQ("", result.err);
    EXPECT_EQ(0, result.status);
}

TEST(QueryEndToEnd, UnknownFieldsAreRefusedWithTheCloseName) {
    EXPECT_REFUSED((Args{"--where", "Cpu == 4", "--sort", "Site.Cty", "hosts", "list", "--marker", "MARKER"}),
                   "Errors: \n"
                   "--where: unknown field 'Cpu': structure Host has no field 'Cpu'\n"
                   "Did you mean 'Cpus'?\n"
                   "--sort: unknown field 'Site.Cty': structure Site has no field 'Cty'\n"
                   "Did you mean 'Site.City'?\n");
    EXPECT_REFUSED((Args{"--sort", "Name,Zzz", "hosts", "list", "--marker", "MARKER"}),
                   "Errors: \n--sort: unknown field 'Zzz': structure Host has no field 'Zzz'\n");
}

TEST(QueryEndToEnd, ValuesOfTheWrongTypeAreRefused) {
    EXPECT_REFUSED((Args{"--where", "Cpus < 4x", "--where", "Up == maybe", "--where",
                         "Cpus == 99999999999999999999", "hosts", "list", "--marker", "MARKER"}),
                   "Errors: \n"
                   "--where: '4x' is not a 64-bit integer, as field 'Cpus' needs\n"
                   "--where: 'maybe' is not a boolean, as field 'Up' needs\n"
                   "--where: '99999999999999999999' is not a 64-bit integer, as field 'Cpus' needs\n");
}

TEST(QueryEndToEnd, SearchOnlyInStringsAndOnlyWithAGoodExpression) {
    EXPECT_REFUSED(
        (Args{"--where", "Cpus =~ 4", "--where", "Name =~ (", "hosts", "list", "--marker", "MARKER"}),
        "Errors: \n"
        "--where: =~ needs a string field; 'Cpus' is an integer\n"
        "--where: '(' is not a valid regular expression\n");
}

TEST(QueryEndToEnd, MalformedQueriesAreRefused) {
    EXPECT_REFUSED(
        (Args{"--where", "Cpus 4", "--where", "Site == x", "--sort", "Name,,Cpus", "--limit", "-1", "hosts",
              "list", "--marker", "MARKER"}),
        "Errors: \n"
        "--limit: '-1' is not a number of rows (0 or more)\n"
        "--where: unable to read 'Cpus 4': expected FIELD OP VALUE with OP one of == != < <= > >= =~\n"
        "--where: field 'Site' is a structure, not a string, integer or boolean\n"
        "--sort: unable to read 'Name,,Cpus': expected [-]FIELD[,[-]FIELD...]\n");
    EXPECT_REFUSED((Args{"--sort", "Name", "--sort", "Cpus", "--limit", "1", "--limit", "2", "hosts", "list",
                         "--marker", "MARKER"}),
                   "Errors: \nOnly one --sort option can be passed to a command\n"
                   "Only one --limit option can be passed to a command\n");
}

TEST(QueryEndToEnd, AQueryOnAResultThatIsNoListOfStructuresIsRefused) {
    EXPECT_REFUSED((Args{"--limit", "1", "hosts", "show", "--marker", "MARKER"}),
                   "Errors: \n--where, --sort and --limit need a result that is a list of structures; this "
                   "command's result is a structure\n");
}

TEST(QueryEndToEnd, QueryProblemsFollowValidationAndFormatProblems) {
    EXPECT_REFUSED((Args{"--formatter", "jsn", "--where", "Cpu == 1", "hosts", "list"}),
                   "Errors: \nMissing required parameter --marker\n"
                   "Unable to find requested formatter: jsn\nDid you mean 'json'?\n"
                   "--where: unknown field 'Cpu': structure Host has no field 'Cpu'\nDid you mean 'Cpus'?\n");
}

TEST(DryRunEndToEnd, ShowsTheShellTextAndStandardInputWithSecretsMasked) {
    const MarkedRun run = V({"--dry-run", "--formatter", "json", "hosts", "deploy", "--marker", "MARKER",
                             "--host", "s3cr", "--token", "s3cr", "--note", "key=s3cr!"});
    const std::string shell = LangPrefix() + "/bin/sh '" + kData + "/scripts/hosts.sh' show " + run.marker +
                              " --host *** --token *** --note key=***\\!";
    const auto json = [](const std::string& text) {
        std::string escaped;
        for (const char c : text) {
            escaped += c == '/' || c == '\\' ? std::string(1, '\\') + c : std::string(1, c);
        }
        return escaped;
    };
    EXPECT_EQ(
        "\n{\n   \"Command\": \"hosts deploy\",\n   \"Kind\": \"shell\",\n   \"Parameters\": \n   [\n   \n"
        "            {\n               \"Name\": \"host\",\n               \"Value\": \"***\"\n            "
        "}, \n   \n"
        "            {\n               \"Name\": \"marker\",\n               \"Value\": \"" +
            json(run.marker) +
            "\"\n            }, \n   \n"
            "            {\n               \"Name\": \"note\",\n               \"Value\": \"key=***!\"\n"
            "            }, \n   \n"
            "            {\n               \"Name\": \"token\",\n               \"Value\": \"***\"\n"
            "            }\n   ],\n"
            "   \"Shell\": \"" +
            json(shell) + "\",\n   \"Stdin\": \"token=***\\nnote=key=***!\\n\"\n}\n",
        run.result.out);
    EXPECT_EQ("", run.result.err);
    EXPECT_EQ(0, run.result.status);
    EXPECT_FALSE(run.ran) << "the program ran";
}

TEST(DryRunEndToEnd, SecretWithBlanksIsMaskedWhereverTheTemplatePutsIt) {
    const MarkedRun run =
        V({"--dry-run", "hosts", "deploy", "--marker", "MARKER", "--host", "web1", "--token", "a b"});
    const std::string shell = LangPrefix() + "/bin/sh '" + kData + "/scripts/hosts.sh' show " + run.marker +
                              " --host web1 --token ***";
    EXPECT_EQ("VarnokDryRun:\n   Command: hosts deploy\n   Kind: shell\n   Parameters: \n"
              "         VarnokDryRunParameter:\n            Name: host\n            Value: web1\n\n"
              "         VarnokDryRunParameter:\n            Name: marker\n            Value: " +
                  run.marker +
                  "\n\n"
                  "         VarnokDryRunParameter:\n            Name: token\n            Value: ***\n\n"
                  "   Shell: " +
                  shell + "\n   Stdin: token=***\nnote=$val{note}\n\n",
              run.result.out);
    EXPECT_EQ(0, run.result.status) << run.result.err;
    EXPECT_FALSE(run.ran) << "the program ran";
}

TEST(DryRunEndToEnd, InProcessCommandShowsPathAndParameters) {
    const MarkedRun run = V({"--dry-run", "--formatter", "python", "varnok", "command", "list"});
    EXPECT_EQ("{\"Command\": \"\"\"varnok command list\"\"\", \"Kind\": \"\"\"in-process\"\"\", "
              "\"Parameters\": [], "
              "\"Shell\": \"\"\"\"\"\", \"Stdin\": \"\"\"\"\"\", }\n",
              run.result.out);
    EXPECT_EQ(0, run.result.status) << run.result.err;
}

TEST(DryRunEndToEnd, ACallThatWouldNotRunFailsWithItsErrors) {
    EXPECT_REFUSED((Args{"--dry-run", "hosts", "deploy", "--marker", "MARKER", "--host", "h"}),
                   "Errors: \nMissing required parameter --token\n");
    EXPECT_REFUSED((Args{"--dry-run", "--where", "Cpus == x", "hosts", "list", "--marker", "MARKER"}),
                   "Errors: \n--where: 'x' is not a 64-bit integer, as field 'Cpus' needs\n");
    EXPECT_REFUSED((Args{"--dry-run=yes", "hosts", "list", "--marker", "MARKER"}),
                   "Errors: \n--dry-run takes no value: yes\n");
}

TEST(DryRunEndToEnd, TheShownShellTextIsTheCommandThatRuns) {
    CorvaneTest::TempDir dir;
    const std::string marker = dir.Path() + "/marker";
    const MarkedRun dry = V({"--dry-run", "--formatter", "json", "hosts", "show", "--marker", marker});
    ASSERT_EQ(0, dry.result.status) << dry.result.err;
    ASSERT_FALSE(VarnokTest::Exists(marker));
    const std::string key = "\"Shell\": \"";
    const std::size_t start = dry.result.out.find(key) + key.size();
    std::string shell = dry.result.out.substr(start, dry.result.out.find('"', start) - start);
    for (std::size_t at = shell.find("\\/"); at != std::string::npos; at = shell.find("\\/", at + 1)) {
        shell.erase(at, 1);
    }
    // Run by hand, the text writes the marker and prints the document the real call reads.
    const std::string document = VarnokTest::RunShell(shell);
    EXPECT_TRUE(VarnokTest::Exists(marker));
    EXPECT_EQ(0u, document.find("<output><structure typeName=\"Site\">")) << document;
}

TEST(QueryEndToEnd, HelpIsAnsweredWhateverTheQuery) {
    const MarkedRun run = V({"--where", "Nothing == 1", "--dry-run", "hosts", "list", "--help"});
    EXPECT_EQ(0, run.result.status) << run.result.err;
    EXPECT_EQ(0u, run.result.out.find("Usage: varnok hosts list <options>")) << run.result.out;
    EXPECT_FALSE(run.ran);
}

TEST(QueryEndToEnd, AQueryOptionAfterThePathIsPointedBeforeIt) {
    EXPECT_REFUSED(
        (Args{"hosts", "list", "--marker", "MARKER", "--limit", "1"}),
        "Errors: \nUnknown parameter : limit\n'--limit' is a dispatcher option: give it before the "
        "namespaces.\n");
}
