// Tests of OptionParser: option words, dispatcher options, path, command options, line splitting, dump.
#include <corvane/dispatch.h>

#include "test_support.h"

#include <gtest/gtest.h>

using Corvane::AutoCli::OptionParser;
using Corvane::CallSpec::InputSpec;
using Corvane::CallSpec::ParameterSpec;
using Corvane::CallSpec::ParameterType;
using Pairs = OptionParser::ParameterList;
using Words = std::vector<std::string>;

namespace {

// device (string, -d), force (flag, -f), count (int) and the implicit help (bool, -h).
std::shared_ptr<InputSpec> DiskSpec() {
    auto spec = InputSpec::New();
    auto device = ParameterSpec::New("device", ParameterType::String);
    device->SetShortName("d");
    spec->AddParameter(device);
    auto force = ParameterSpec::New("force", ParameterType::Flag);
    force->SetShortName("f");
    spec->AddParameter(force);
    spec->AddParameter(ParameterSpec::New("count", ParameterType::Int));
    auto help = ParameterSpec::New("help", ParameterType::Bool);
    help->SetShortName("h");
    help->SetRequired(false);
    spec->AddParameter(help);
    return spec;
}

std::list<std::string> Path(const Words& words) {
    return {words.begin(), words.end()};
}

// Parses `words` as a command line, hands over DiskSpec() and processes the command options.
OptionParser Processed(const Words& words) {
    OptionParser parser;
    parser.ParseVector(words);
    parser.SetInputSpec(DiskSpec());
    parser.ProcessCommandArguments();
    return parser;
}

} // namespace

TEST(OptionParserTest, OptionWordFilter) {
    for (const char* word : {"-v", "-Z", "--ab", "--dry-run", "--a2", "--a-", "--name=value",
                             "--ab==", "--ab=c d", "--xy=-", "--ab=\n"})
        EXPECT_TRUE(OptionParser::IsParameter(word)) << word;
    for (const char* word : {"", "-", "--", "-5", "-vx", "--a", "--2ab", "---ab", "--ab=", "--a_b", "-v ",
                             " -v", "--ab\n", "x-v", "--=v", "-v=1"})
        EXPECT_FALSE(OptionParser::IsParameter(word)) << word;
}

TEST(OptionParserTest, ParseParameterSplitsWordsAndReportsOthers) {
    OptionParser parser;
    std::string name;
    std::string value = "kept";
    EXPECT_FALSE(parser.ParseParameter("-v", name, value));
    EXPECT_EQ("v", name);
    EXPECT_EQ("kept", value);
    EXPECT_FALSE(parser.ParseParameter("--dry-run", name, value));
    EXPECT_EQ("dry-run", name);
    EXPECT_TRUE(parser.ParseParameter("--format-param=a=b c", name, value));
    EXPECT_EQ("format-param", name);
    EXPECT_EQ("a=b c", value);
    EXPECT_TRUE(parser.GetParseErrors().empty());

    name = "unchanged";
    EXPECT_FALSE(parser.ParseParameter("--a", name, value));
    EXPECT_FALSE(parser.ParseParameter("path", name, value));
    EXPECT_EQ("unchanged", name);
    EXPECT_EQ((Words{"Attempt to parse option failed.  Input was : --a",
                     "Attempt to parse option failed.  Input was : path"}),
              parser.GetParseErrors());
}

TEST(OptionParserTest, ArgvSplitsDispatcherOptionsPathAndCommandOptions) {
    const char* argv[] = {"./bin/varnok", "--formatter", "json", "storage", "disk", "list", "--device", "d1"};
    OptionParser parser("other");
    parser.ParseArgv(8, argv);
    EXPECT_EQ("./bin/varnok", parser.GetDispatcher());
    EXPECT_EQ((Pairs{{"formatter", "json"}}), parser.GetDispatcherParameters());
    EXPECT_EQ(Path({"storage", "disk", "list"}), parser.GetCommandPath());
    EXPECT_EQ(&parser.GetCommandPath(), &parser.GetNamespaces());
    EXPECT_EQ((Pairs{{"device", "d1"}}), parser.GetCommandParameters());
    EXPECT_TRUE(parser.GetParseErrors().empty());
    EXPECT_FALSE(parser.IsParsed());

    const char* inline_argv[] = {"varnok", "--formatter=json", "-h"};
    OptionParser inlined;
    inlined.ParseArgv(3, inline_argv);
    EXPECT_EQ((Pairs{{"formatter", "json"}, {"h", ""}}), inlined.GetDispatcherParameters());
    EXPECT_TRUE(inlined.GetCommandPath().empty());
    EXPECT_TRUE(inlined.GetCommandParameters().empty());

    // Only the tool name: it is taken, nothing else changes.
    const char* bare[] = {"/usr/sbin/varnok", nullptr};
    OptionParser alone;
    alone.ParseArgv(1, bare);
    EXPECT_EQ("/usr/sbin/varnok", alone.GetDispatcher());
    EXPECT_TRUE(alone.GetDispatcherParameters().empty());
}

TEST(OptionParserTest, OptionTakesNextNonOptionWordAsValue) {
    OptionParser parser;
    parser.ParseVector({"--screen-width", "-5", "-h", "--plugin", "--formatter", "a=b", "ns", "cmd",
                        "--force", "yes", "-d", "--count", "--x=1", "-f"});
    EXPECT_EQ("varnok", parser.GetDispatcher());
    EXPECT_EQ((Pairs{{"screen-width", "-5"}, {"h", ""}, {"plugin", ""}, {"formatter", "a=b"}}),
              parser.GetDispatcherParameters());
    EXPECT_EQ(Path({"ns", "cmd"}), parser.GetCommandPath());
    // No input specification: options without a value are kept without a message. "--x=1" is no option
    // word (a long name has two characters at least), so it is a value.
    EXPECT_EQ((Pairs{{"force", "yes"}, {"d", ""}, {"count", "--x=1"}, {"f", ""}}),
              parser.GetCommandParameters());
    EXPECT_TRUE(parser.GetParseErrors().empty());
}

TEST(OptionParserTest, CommandOptionsAreProcessedOnFirstRequestOnly) {
    OptionParser parser;
    parser.ParseVector({"disk", "show", "--device"});
    EXPECT_TRUE(parser.GetParseErrors().empty());
    // The input specification arrives after parsing and still decides the missing-value error.
    parser.SetInputSpec(DiskSpec());
    EXPECT_TRUE(parser.HasCommandParameter("device"));
    EXPECT_EQ(Words{"--device must have value"}, parser.GetParseErrors());
    // Later requests find nothing left to process: no second message.
    EXPECT_EQ(Words{""}, parser.GetCommandParameter("device"));
    EXPECT_EQ((Pairs{{"device", ""}}), parser.GetCommandParameters());
    parser.ProcessCommandArguments();
    EXPECT_EQ(1u, parser.GetParseErrors().size());

    for (auto request :
         {+[](OptionParser& p) { p.GetCommandParameters(); },
          +[](OptionParser& p) { p.HasCommandParameter("x"); },
          +[](OptionParser& p) { p.GetCommandParameter("x"); }, +[](OptionParser& p) { p.ToString(); }}) {
        OptionParser lazy;
        lazy.ParseVector({"cmd", "--count"});
        lazy.SetInputSpec(DiskSpec());
        request(lazy);
        EXPECT_EQ(Words{"--count must have value"}, lazy.GetParseErrors());
    }
}

TEST(OptionParserTest, MissingValueErrorsNameTheWordAsTyped) {
    EXPECT_EQ(Words{"-d must have value"}, Processed({"cmd", "-d"}).GetParseErrors());
    // An option word after it leaves the value empty as well.
    auto parser = Processed({"cmd", "--device", "--force", "--count", "-f"});
    EXPECT_EQ((Words{"--device must have value", "--count must have value"}), parser.GetParseErrors());
    EXPECT_EQ((Pairs{{"device", ""}, {"force", ""}, {"count", ""}, {"f", ""}}),
              parser.GetCommandParameters());

    // Flags, help by either name and undeclared options: no message.
    for (const Words& words : {Words{"cmd", "--force"}, Words{"cmd", "-h"}, Words{"cmd", "--help"},
                               Words{"cmd", "--bogus"}, Words{"cmd", "-q", "--force"}})
        EXPECT_TRUE(Processed(words).GetParseErrors().empty()) << words[1];
    // With a value, nothing is missing.
    EXPECT_TRUE(Processed({"cmd", "--device", "d1", "--count=3"}).GetParseErrors().empty());
}

TEST(OptionParserTest, ExtraWordsAfterCommandOptionsAreOneError) {
    auto parser = Processed({"storage", "disk", "list", "--device", "d1", "extra", "more"});
    EXPECT_EQ((Pairs{{"device", "d1"}}), parser.GetCommandParameters());
    EXPECT_EQ(Words{"Found Extra non-parameter arguments at the end of input: 'extra' 'more' "},
              parser.GetParseErrors());
    // Words after an inline value cannot be its value.
    EXPECT_EQ(Words{"Found Extra non-parameter arguments at the end of input: 'x' "},
              Processed({"cmd", "--count=1", "x"}).GetParseErrors());
}

TEST(OptionParserTest, RepeatedOptionsKeepEveryValueInOrder) {
    OptionParser parser;
    parser.ParseVector({"--plugin", "a.so", "--plugin=b.so", "--formatter", "json", "--plugin", "ns", "--tag",
                        "x", "--tag=y", "-t"});
    EXPECT_TRUE(parser.HasDispatcherParameter("plugin"));
    EXPECT_FALSE(parser.HasDispatcherParameter("plugin-dir"));
    EXPECT_EQ((Words{"a.so", "b.so", "ns"}), parser.GetDispatcherParameter("plugin"));
    EXPECT_TRUE(parser.GetDispatcherParameter("input").empty());
    EXPECT_TRUE(parser.GetCommandPath().empty());
    // A path-less line: "ns" went to --plugin, so the rest is dispatcher options too.
    EXPECT_EQ((Words{"x", "y"}), parser.GetDispatcherParameter("tag"));

    OptionParser command;
    command.ParseVector({"ns", "--tag", "x", "--other", "--tag=y", "-t", "z"});
    EXPECT_EQ((Words{"x", "y"}), command.GetCommandParameter("tag"));
    EXPECT_EQ(Words{"z"}, command.GetCommandParameter("t"));
    EXPECT_FALSE(command.HasCommandParameter("absent"));
    EXPECT_TRUE(command.GetCommandParameter("absent").empty());
}

TEST(OptionParserTest, StepsWorkOnTheGivenStack) {
    OptionParser parser;
    std::stack<std::string> words;
    for (const char* word : {"--bb", "a", "--aa", "cmd", "ns"}) // "ns" on top
        words.push(word);
    EXPECT_TRUE(parser.ParseParameters(words).empty());
    EXPECT_EQ(Path({"ns", "cmd"}), parser.ParsePath(words));
    EXPECT_EQ(3u, words.size());
    EXPECT_TRUE(parser.ParsePath(words).empty());
    EXPECT_EQ((Pairs{{"aa", "a"}, {"bb", ""}}), parser.ParseParameters(words));
    EXPECT_TRUE(words.empty());

    // Parsing an empty stack keeps what an earlier parse found.
    parser.ParseVector({"--xy", "1", "ns"});
    parser.ParseStack({});
    parser.ParseVector({});
    EXPECT_EQ((Pairs{{"xy", "1"}}), parser.GetDispatcherParameters());
    EXPECT_EQ(Path({"ns"}), parser.GetCommandPath());
}

TEST(OptionParserTest, ParsingAgainReplacesOptionsAndPathButKeepsErrorsAndCommandParameters) {
    OptionParser parser;
    parser.ParseVector({"--formatter", "json", "ns", "cmd", "--device", "d1", "stray"});
    parser.GetCommandParameters();
    parser.ParseVector({"--plugin", "p.so", "other", "--pending"});
    EXPECT_EQ((Pairs{{"plugin", "p.so"}}), parser.GetDispatcherParameters());
    EXPECT_EQ(Path({"other"}), parser.GetCommandPath());
    EXPECT_EQ(Words{"Found Extra non-parameter arguments at the end of input: 'stray' "},
              parser.GetParseErrors());
    EXPECT_EQ((Pairs{{"pending", ""}}), parser.GetCommandParameters());

    // A line without command options leaves the processed ones in place.
    parser.ParseVector({"last"});
    EXPECT_EQ(Path({"last"}), parser.GetCommandPath());
    EXPECT_EQ((Pairs{{"pending", ""}}), parser.GetCommandParameters());
}

TEST(OptionParserTest, ParseStringSkipsLinesWithoutWords) {
    OptionParser parser("tool");
    parser.ParseVector({"--formatter", "json", "ns", "--device", "d1"});
    const std::string before = parser.ToString();
    for (const char* line : {"", " ", " \t  ", "#", "# ns cmd", "  \t# comment", "\"\"", "\"\" # x", "\"#\""})
        EXPECT_TRUE(parser.ParseString(line)) << '[' << line << ']';
    EXPECT_EQ(before, parser.ToString());
    EXPECT_EQ("tool", parser.GetDispatcher());
}

TEST(OptionParserTest, ParseStringSplitsWords) {
    auto words = [](const std::string& line) {
        OptionParser parser;
        EXPECT_FALSE(parser.ParseString(line)) << line;
        auto path = parser.GetCommandPath();
        return Words(path.begin(), path.end());
    };
    EXPECT_EQ((Words{"storage", "my disk", "list"}), words("storage \"my disk\" list"));
    EXPECT_EQ((Words{"storage", "#", "list", "#x"}), words("storage # list #x"));
    EXPECT_EQ((Words{"storage", "disk", "list"}), words("\t storage\t\tdisk \t list\t "));
    EXPECT_EQ((Words{"a", "", "b"}), words("a \"\" b"));
    EXPECT_EQ((Words{"a"}), words("a \"\""));
    EXPECT_EQ((Words{"a", ""}), words("a \"\" "));
    EXPECT_EQ((Words{"abc de", "f"}), words("ab\"c d\"e f"));
    EXPECT_EQ((Words{"a", "b\tc  d"}), words("a \"b\tc  d"));
    EXPECT_EQ((Words{"x"}), words("\"x\""));
    EXPECT_EQ((Words{" "}), words("\" \""));
    EXPECT_EQ((Words{"a\\", "b"}), words("a\\ b"));
    EXPECT_EQ((Words{"a\r"}), words("a\r"));

    OptionParser parser;
    EXPECT_FALSE(parser.ParseString("  --formatter json  storage list --device \"d 1\" --name=\"a b\" -f"));
    EXPECT_EQ("varnok", parser.GetDispatcher());
    EXPECT_EQ((Pairs{{"formatter", "json"}}), parser.GetDispatcherParameters());
    EXPECT_EQ(Path({"storage", "list"}), parser.GetCommandPath());
    EXPECT_EQ((Pairs{{"device", "d 1"}, {"name", "a b"}, {"f", ""}}), parser.GetCommandParameters());
}

TEST(OptionParserTest, ToStringDumpsEverySection) {
    OptionParser empty;
    EXPECT_EQ("Parsed: 0\nDispatcher: varnok\nErrors: \nPath: \nDispatch Params: \nCommand Params: \n",
              empty.ToString());

    OptionParser parser("vk");
    std::string name, value;
    parser.ParseParameter("--a", name, value);
    parser.ParseVector(
        {"-h", "--formatter", "json", "storage", "my disk", "--device", "d1", "-f", "--xy=a b", "left"});
    EXPECT_EQ("Parsed: 0\n"
              "Dispatcher: vk\n"
              "Errors: \n"
              "   Attempt to parse option failed.  Input was : --a\n"
              "Path: 'storage''my disk'\n"
              "Dispatch Params: \n"
              "   --h = ''\n"
              "   --formatter = 'json'\n"
              "Command Params: \n"
              "   --device = 'd1'\n"
              "   --f = ''\n"
              "   --xy = 'a b'\n",
              parser.ToString());
    // The error found while the dump processed the command options shows up in the next dump.
    EXPECT_EQ(2u, parser.GetParseErrors().size());
    EXPECT_NE(std::string::npos,
              parser.ToString().find(
                  "\n   Found Extra non-parameter arguments at the end of input: 'left' \nPath: 'storage'"));
}
