// The command catalog end to end: varnok-doc --schema writing schemas and catalog.json, the real json
// output of the bundled examples checked against them by a JSON Schema validator, a declared effect
// in help and manual pages, and varnok-lint --compat on catalogs of two plugin directories.
#include "varnok_run.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using VarnokTest::Result;
using VarnokTest::RunProgram;
using VarnokTest::RunVarnok;

const std::string kData = SOURCE_DIR "/tests/data/catalog";

// varnok-doc and varnok-lint sit beside the varnok under test, built or installed.
std::string Tool(const std::string& name) {
    return std::filesystem::path(VarnokTest::VarnokBinary()).parent_path().string() + "/" + name;
}

std::string Examples() {
    const char* installed = std::getenv("VARNOK_EXAMPLES_DIR");
    return installed != nullptr && *installed != '\0' ? installed : EXAMPLES_PLUGIN_DIR;
}

// Writes the schema directory of the plugins `args` name into `dir`/`name` and returns its path.
std::string Schemas(const CorvaneTest::TempDir& dir, const std::string& name, std::vector<std::string> args) {
    std::string out = dir.Path() + "/" + name;
    std::filesystem::create_directories(out);
    args.insert(args.begin(), {"--no-default-plugins", "--schema", out});
    const Result run = RunProgram(Tool("varnok-doc"), args);
    EXPECT_EQ("", run.out + run.err);
    EXPECT_EQ(0, run.status);
    return out;
}

std::vector<std::string> Entries(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Validates each JSON file of a pair against the schema file of the pair with Debian's
// python3-jsonschema (the python3 of the system: another one on PATH may lack the module), after
// checking the schema against the 2020-12 meta-schema. One process for all: each verdict is "valid" or
// "invalid: " and the first failure.
std::vector<std::string> Validate(const std::vector<std::pair<std::string, std::string>>& schemaAndInstance) {
    static const char program[] =
        "import json, sys\n"
        "from jsonschema import Draft202012Validator\n"
        "for schema, instance in zip(sys.argv[1::2], sys.argv[2::2]):\n"
        "    schema = json.load(open(schema))\n"
        "    Draft202012Validator.check_schema(schema)\n"
        "    errors = sorted(Draft202012Validator(schema).iter_errors(json.load(open(instance))), key=str)\n"
        "    print('valid' if not errors else 'invalid: ' + errors[0].message)\n";
    std::vector<std::string> args{"-c", program};
    for (const auto& [schema, instance] : schemaAndInstance) {
        args.push_back(schema);
        args.push_back(instance);
    }
    const Result run = RunProgram("/usr/bin/python3", args);
    EXPECT_EQ("", run.err);
    EXPECT_EQ(0, run.status);
    std::vector<std::string> verdicts;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        verdicts.push_back(line);
    }
    return verdicts;
}

TEST(Catalog, SchemaDirectoryHoldsBothSchemasOfEveryCommandAndTheCatalog) {
    CorvaneTest::TempDir dir;
    const std::string schemas = Schemas(dir, "schemas", {"--plugin-dir", kData + "/small"});
    EXPECT_EQ((std::vector<std::string>{"catalog.json", "shop.order.cancel.input.json",
                                        "shop.order.cancel.output.json", "shop.order.count.input.json",
                                        "shop.order.count.output.json", "shop.order.list.input.json",
                                        "shop.order.list.output.json", "varnok.command.list.input.json",
                                        "varnok.command.list.output.json"}),
              Entries(schemas));
    EXPECT_EQ(CorvaneTest::ReadFile(kData + "/expected/small-catalog.json"),
              CorvaneTest::ReadFile(schemas + "/catalog.json"));
    EXPECT_EQ("{\n"
              "  \"$schema\": \"https://json-schema.org/draft/2020-12/schema\",\n"
              "  \"description\": \"The result of varnok shop order count.\",\n"
              "  \"type\": \"array\",\n"
              "  \"items\": {\n"
              "    \"type\": \"integer\",\n"
              "    \"minimum\": -9223372036854775808,\n"
              "    \"maximum\": 9223372036854775807\n"
              "  }\n"
              "}\n",
              CorvaneTest::ReadFile(schemas + "/shop.order.count.output.json"));
}

TEST(Catalog, EveryBundledExampleResultValidatesAgainstItsSchema) {
    if (!EXAMPLES_BUILT) {
        GTEST_SKIP() << "the examples are not built";
    }
    CorvaneTest::TempDir dir;
    const std::string schemas = Schemas(dir, "schemas", {"--plugin-dir", Examples()});
    const std::vector<std::vector<std::string>> calls = {
        {"system", "filesystem", "list"},
        {"system", "network", "interface", "list"},
        {"system", "network", "interface", "get", "--name", "lo"},
        {"system", "process", "list", "--limit", "3", "--sort", "rss"},
        {"system", "info", "get"},
        {"system", "load", "show"},
        {"system", "user", "list", "--min-uid", "0"},
        {"text", "digest", "compute", "--value", "abc", "--algorithm", "md5"},
        {"varnok", "command", "list", "-n", "system"},
    };
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const auto& call : calls) {
        std::string stem;
        std::vector<std::string> args{"--plugin-dir", Examples(), "--formatter", "json"};
        for (const std::string& word : call) {
            if (word[0] == '-') {
                break;
            }
            stem += (stem.empty() ? "" : ".") + word;
        }
        args.insert(args.end(), call.begin(), call.end());
        const Result run = RunVarnok(args);
        ASSERT_EQ(0, run.status) << stem << "\n" << run.err;
        pairs.emplace_back(schemas + "/" + stem + ".output.json", dir.WriteFile(stem + ".json", run.out));
    }
    EXPECT_EQ(std::vector<std::string>(calls.size(), "valid"), Validate(pairs));
}

TEST(Catalog, SchemaOptionBesideManualPagesAndItsMisuse) {
    CorvaneTest::TempDir dir;
    const std::string doc = Tool("varnok-doc");
    const Result both = RunProgram(doc, {"--no-default-plugins", "--man", dir.MakeDir("man"), "--schema",
                                         dir.MakeDir("schemas"), "--plugin-dir", kData + "/small"});
    EXPECT_EQ("", both.out + both.err);
    EXPECT_EQ(0, both.status);
    EXPECT_EQ(5u, Entries(dir.Path() + "/man").size());
    EXPECT_EQ(9u, Entries(dir.Path() + "/schemas").size());

    const Result twice = RunProgram(doc, {"--schema", dir.Path(), "--schema", dir.Path()});
    EXPECT_EQ(2, twice.status);
    EXPECT_EQ(0u, twice.err.find("varnok-doc: --schema can be given once only\nUsage: varnok-doc"))
        << twice.err;
    const Result bare = RunProgram(doc, {"--schema"});
    EXPECT_EQ(2, bare.status);
    EXPECT_EQ(0u, bare.err.find("varnok-doc: --schema needs a value\nUsage: varnok-doc")) << bare.err;
    const Result missing = RunProgram(doc, {"--no-default-plugins", "--schema", dir.Path() + "/none"});
    EXPECT_RUN(missing, "",
               "varnok-doc: unable to write " + dir.Path() + "/none/varnok.command.list.input.json\n", 1);
}

// Results of every kind, with the extreme integers, escapes and text beyond ASCII, as varnok prints them.
TEST(Catalog, ResultsOfEveryKindValidateAsPrinted) {
    CorvaneTest::TempDir dir;
    const std::string schemas = Schemas(dir, "schemas", {"--plugin-dir", kData + "/small"});
    const std::vector<std::vector<std::string>> calls = {
        {"list", "--token", "t"},
        {"cancel", "--id", "1"},
        {"count"},
    };
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const auto& call : calls) {
        std::vector<std::string> args{"--plugin-dir", kData + "/small", "--formatter",
                                      "json",         "shop",           "order"};
        args.insert(args.end(), call.begin(), call.end());
        const Result run = RunVarnok(args);
        ASSERT_EQ(0, run.status) << call[0] << "\n" << run.err;
        pairs.emplace_back(schemas + "/shop.order." + call[0] + ".output.json",
                           dir.WriteFile(call[0] + ".json", run.out));
    }
    EXPECT_EQ(std::vector<std::string>(calls.size(), "valid"), Validate(pairs));
}

// Every bundled example only reads; the built-in command declares nothing.
TEST(Catalog, TheBundledExamplesDeclareTheirEffect) {
    if (!EXAMPLES_BUILT) {
        GTEST_SKIP() << "the examples are not built";
    }
    CorvaneTest::TempDir dir;
    const std::string catalog =
        CorvaneTest::ReadFile(Schemas(dir, "schemas", {"--plugin-dir", Examples()}) + "/catalog.json");
    const auto count = [&catalog](const std::string& text) {
        int found = 0;
        for (auto at = catalog.find(text); at != std::string::npos; at = catalog.find(text, at + 1)) {
            ++found;
        }
        return found;
    };
    EXPECT_EQ(8, count("\n      \"effect\": \"read\",\n"));
    EXPECT_EQ(1, count("\n      \"effect\": null,\n"));
    EXPECT_EQ(9, count("\n      \"effect\": "));
}

// varnok itself refuses a result that does not fit the declaration, so the broken results are the
// real one changed the ways a program could get it wrong.
TEST(Catalog, AResultBreakingItsDeclarationFailsValidation) {
    CorvaneTest::TempDir dir;
    const std::string schemas = Schemas(dir, "schemas", {"--plugin-dir", kData + "/small"});
    const std::string schema = schemas + "/shop.order.list.output.json";
    const std::string order = R"({"Customer": {"Email": "e", "Name": "n"}, "Id": 7, "Items": ["a"])";
    const struct {
        std::string result;
        std::string verdict;
    } cases[] = {
        {"[" + order + R"(, "Paid": true}])", "valid"},
        {"[]", "valid"},
        {"[" + order + "}]", "invalid: 'Paid' is a required property"},
        {"[" + order + R"(, "Paid": true, "Extra": 1}])",
         "invalid: Additional properties are not allowed ('Extra' was unexpected)"},
        {"[" + order + R"(, "Paid": "yes"}])", "invalid: 'yes' is not of type 'boolean'"},
        {R"([{"Customer": {"Name": "n"}, "Id": 7, "Items": [], "Paid": true}])",
         "invalid: 'Email' is a required property"},
        {R"([{"Customer": {"Email": "e", "Name": "n"}, "Id": 9223372036854775808, "Items": [], "Paid": true}])",
         "invalid: 9223372036854775808 is greater than the maximum of 9223372036854775807"},
        {R"([{"Customer": {"Email": "e", "Name": "n"}, "Id": 1, "Items": [2], "Paid": true}])",
         "invalid: 2 is not of type 'string'"},
        {"[" + order + R"(, "Paid": true}, 3])", "invalid: 3 is not of type 'object'"},
        {order + R"(, "Paid": true})", "invalid: {'Customer': {'Email': 'e', 'Name': 'n'}, 'Id': 7, 'Items': "
                                       "['a'], 'Paid': True} is not of type 'array'"},
    };
    std::vector<std::pair<std::string, std::string>> pairs;
    std::vector<std::string> verdicts;
    for (const auto& c : cases) {
        pairs.emplace_back(schema,
                           dir.WriteFile("result" + std::to_string(pairs.size()) + ".json", c.result));
        verdicts.push_back(c.verdict);
    }
    EXPECT_EQ(verdicts, Validate(pairs));
}

TEST(Catalog, InputSchemaAcceptsExactlyWhatTheOptionsAccept) {
    CorvaneTest::TempDir dir;
    const std::string schema =
        Schemas(dir, "schemas", {"--plugin-dir", kData + "/small"}) + "/shop.order.list.input.json";
    const struct {
        std::string input;
        std::string verdict;
    } cases[] = {
        {R"({"token": "t"})", "valid"},
        {R"({"token": "t", "status": "paid", "limit": 100, "tag": ["ab", "c"], "page": [2, 1], "paid": false,
             "verbose": true})",
         "valid"},
        {R"({"status": "paid"})", "invalid: 'token' is a required property"},
        {R"({"token": "t", "status": "lost"})", "invalid: 'lost' is not one of ['new', 'paid', 'sent']"},
        {R"({"token": "t", "limit": 0})", "invalid: 0 is less than the minimum of 1"},
        {R"({"token": "t", "limit": 101})", "invalid: 101 is greater than the maximum of 100"},
        {R"({"token": "t", "tag": ["ab1"]})", "invalid: 'ab1' does not match '^(?:[a-z]+)$'"},
        {R"({"token": "t", "tag": "ab"})", "invalid: 'ab' is not of type 'array'"},
        {R"({"token": "t", "page": [3]})", "invalid: 3 is not one of [1, 2]"},
        {R"({"token": "t", "verbose": false})", "invalid: True was expected"},
        {R"({"token": "t", "help": true})",
         "invalid: Additional properties are not allowed ('help' was unexpected)"},
    };
    std::vector<std::pair<std::string, std::string>> pairs;
    std::vector<std::string> verdicts;
    for (const auto& c : cases) {
        pairs.emplace_back(schema, dir.WriteFile("input" + std::to_string(pairs.size()) + ".json", c.input));
        verdicts.push_back(c.verdict);
    }
    EXPECT_EQ(verdicts, Validate(pairs));
}

class CatalogEffect : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_CACHE_HOME", home.Path().c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_CACHE_HOME"); }
    CorvaneTest::TempDir home;
};

// Twice: once reading the descriptor, once from the descriptor cache.
TEST_F(CatalogEffect, HelpShowsADeclaredEffectAndNothingElseChanges) {
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        EXPECT_RUN(RunVarnok({"--plugin-dir", kData + "/small", "shop", "order", "cancel", "--help"}),
                   "Usage: varnok shop order cancel <options>\n\nDescription: Cancel an order.\n\nEffect: "
                   "destroy\n\n  -h|--help   Show the help message.\n     --id     The order. (required)\n",
                   "", 0);
        // "Read" is not an effect: the help is what it was without the entry.
        EXPECT_RUN(RunVarnok({"--plugin-dir", kData + "/small", "shop", "order", "count", "--help"}),
                   "Usage: varnok shop order count <options>\n\nDescription: Count the orders.\n\n"
                   "  -h|--help   Show the help message.\n",
                   "", 0);
        const Result json = RunVarnok(
            {"--plugin-dir", kData + "/small", "--formatter", "json", "shop", "order", "cancel", "--help"});
        EXPECT_NE(std::string::npos, json.out.find("\n   \"Effect\": \"destroy\",\n")) << json.out;
    }
}

TEST(Catalog, ManualPagesShowADeclaredEffect) {
    CorvaneTest::TempDir dir;
    const Result run = RunProgram(
        Tool("varnok-doc"), {"--no-default-plugins", "--man", dir.Path(), "--plugin-dir", kData + "/small"});
    ASSERT_EQ(0, run.status) << run.err;
    const std::string cancel = CorvaneTest::ReadFile(dir.Path() + "/varnok-shop-order-cancel.1");
    EXPECT_NE(
        std::string::npos,
        cancel.find(".SH DESCRIPTION\nCancel an order.\n.TP\n\\fBEffect: destroy\\fR\nThe command removes or "
                    "destroys something; it may not be undone.\n.SH OPTIONS\n"))
        << cancel;
    EXPECT_EQ(std::string::npos,
              CorvaneTest::ReadFile(dir.Path() + "/varnok-shop-order-count.1").find("Effect"));
}

Result Compat(const std::string& oldCatalog, const std::string& newCatalog) {
    return RunProgram(Tool("varnok-lint"), {"--compat", oldCatalog, newCatalog});
}

TEST(Compat, EveryKindOfBreakIsAnErrorAndEveryAdditionANote) {
    CorvaneTest::TempDir dir;
    const std::string before = Schemas(dir, "old", {"--plugin-dir", kData + "/old"}) + "/catalog.json";
    const std::string after = Schemas(dir, "new", {"--plugin-dir", kData + "/new"}) + "/catalog.json";
    std::string expected = CorvaneTest::ReadFile(kData + "/expected/compat.out");
    for (std::string::size_type at; (at = expected.find("NEW")) != std::string::npos;) {
        expected.replace(at, 3, after);
    }
    EXPECT_RUN(Compat(before, after), expected, "", 1);
}

TEST(Compat, AdditionsAloneAreNotesWithStatusZero) {
    CorvaneTest::TempDir dir;
    const std::string before = Schemas(dir, "old", {"--plugin-dir", kData + "/small"}) + "/catalog.json";
    const std::string after =
        Schemas(dir, "new", {"--plugin-dir", kData + "/small", "--plugin", kData + "/grown.xml"}) +
        "/catalog.json";
    EXPECT_RUN(Compat(before, before), "", "", 0);
    EXPECT_RUN(Compat(before, after), after + ": note: command 'shop stock show' added\n", "", 0);
}

TEST(Compat, ACatalogThatCannotBeReadIsAMisuse) {
    CorvaneTest::TempDir dir;
    const std::string good = Schemas(dir, "good", {"--plugin-dir", kData + "/small"}) + "/catalog.json";
    const std::string missing = dir.Path() + "/missing.json";
    const std::string text =
        dir.WriteFile("text.json", "{\n  \"catalogVersion\": 1,\n  \"commands\": [\n}\n");
    const std::string other = dir.WriteFile("other.json", "{\"catalogVersion\": 2, \"commands\": []}\n");
    const std::string pathless = dir.WriteFile("pathless.json", R"({"catalogVersion": 1, "commands": [{}]})");
    EXPECT_RUN(Compat(missing, good), "",
               missing + ": error: unable to read the catalog: No such file or directory\n", 2);
    EXPECT_RUN(Compat(good, text), "", text + ":4: error: not a catalog: the text is not JSON\n", 2);
    EXPECT_RUN(Compat(good, other), "",
               other + ": error: not a catalog: catalogVersion 1 and a commands array are expected\n", 2);
    EXPECT_RUN(Compat(pathless, good), "",
               pathless + ": error: not a catalog: every command needs a path, an input and an output\n", 2);
    const Result once = RunProgram(Tool("varnok-lint"), {"--compat", good});
    EXPECT_EQ(2, once.status);
    EXPECT_EQ("", once.out);
    EXPECT_EQ(0u,
              once.err.find("varnok-lint: --compat needs an old and a new catalog file\nUsage: varnok-lint"))
        << once.err;
}

} // namespace
