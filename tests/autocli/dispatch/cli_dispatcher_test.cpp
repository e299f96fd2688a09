// CliDispatcher in process: audit scope, dispatcher options, stream input and error printing.
#include <corvane/dispatch.h>
#include <corvane/metaobj.h>
#include <tarvikaudit.h>

#include "test_support.h"

#include <cstdlib>
#include <sstream>

namespace {

using namespace Corvane;
using namespace Corvane::AutoCli;
using Strings = std::vector<std::string>;

// Answers with the audit user it runs under, or fails naming it.
struct Probe : Command {
    explicit Probe(bool fail) : fail(fail) { SetDefaultOutputFormatter("simple"); }
    std::shared_ptr<CallSpec::InputSpec> GetInputSpecInternal() override {
        return CallSpec::InputSpec::New();
    }
    std::shared_ptr<CallSpec::OutputSpec> GetOutputSpecInternal() override {
        auto spec = CallSpec::OutputSpec::New();
        spec->SetRootObject(MetaObj::MetaString::New());
        return spec;
    }
    void ExecuteInternal(const std::shared_ptr<CallSpec::Input>&,
                         const std::shared_ptr<CallSpec::Output>& output) override {
        const std::string user = TarvikAudit::GetAuditParam("user");
        if (fail) {
            output->AddErrorMessage("probe failed as " + user);
        } else {
            output->SetRootObject(MetaObj::MetaString::New(user));
        }
    }
    bool fail;
};

class CliDispatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto probe = Namespace::New();
        probe->RegisterNamespaceNode(std::make_shared<Probe>(false), "run");
        probe->RegisterNamespaceNode(std::make_shared<Probe>(true), "fail");
        dispatcher.GetRootNamespace()->RegisterNamespaceNode(probe, "probe");
        CliDispatcher::SetScreenWidth(0);
        unsetenv("ZU_USERNAME");
    }

    // The result of `body`, then what it wrote to standard output and to standard error, joined by "|".
    std::string Shown(const std::function<bool()>& body) {
        bool result = false;
        const CorvaneTest::Captured printed = CorvaneTest::CaptureOutErr([&] { result = body(); });
        return (result ? "true|" : "false|") + printed.out + "|" + printed.err;
    }

    // Runs one command line of words, without stream input.
    std::string Handle(const Strings& words) {
        OptionParser parser;
        parser.ParseVector(words);
        return Shown([&] { return dispatcher.HandleOptions(parser, false); });
    }

    // Applies the dispatcher options of `words`; returns the errors they left in a fresh output.
    Strings Options(const Strings& words, FormatParameters& overrides) {
        auto output = CallSpec::Output::New();
        OptionParser parser;
        parser.ParseVector(words);
        EXPECT_TRUE(dispatcher.HandleDispatcherOptions(parser, overrides, output));
        return output->GetErrors();
    }

    CliDispatcher dispatcher;
};

TEST_F(CliDispatcherTest, RunsACommandUnderTheAuditUserAndRestoresItOnEveryWayOut) {
    TarvikAudit::SetAuditParam("user", "before");
    EXPECT_EQ("true|@component\n|", Handle({"probe", "run"}));
    setenv("ZU_USERNAME", "", 1); // empty counts as unset
    EXPECT_EQ("true|\"@component\"\n|", Handle({"--formatter", "json", "probe", "run"}));
    setenv("ZU_USERNAME", "alice", 1);
    EXPECT_EQ("false||Errors: \nprobe failed as alice\n", Handle({"probe", "fail"}));
    EXPECT_EQ("before", TarvikAudit::GetAuditParam("user"));
    // An unknown path word throws out of HandleOptions; the guard still restores the value.
    EXPECT_THROW(Handle({"probe", "nosuch"}), CorvaneException);
    EXPECT_EQ("before", TarvikAudit::GetAuditParam("user"));
    TarvikAudit::SetAuditParam("user", "");
}

TEST_F(CliDispatcherTest, DispatcherOptionsAndTheirErrors) {
    // Dispatcher option errors are printed together with the command's parse errors; nothing runs.
    EXPECT_EQ("false||Errors: \nUnknown dispatcher parameter: bogus\n"
              "Found Extra non-parameter arguments at the end of input: 'extra' \n",
              Handle({"--bogus", "1", "probe", "fail", "--tag", "x", "extra"}));

    FormatParameters overrides;
    // The end-to-end tests pin the malformed --format-param values; here the ones that are taken.
    EXPECT_EQ((Strings{"Unknown dispatcher parameter: bogus", "Unknown dispatcher parameter: h2",
                       "--formatter requires the name of the formatter to use for this command"}),
              Options({"--formatter", "", "--format-param", "a=b=c", "--format-param", "fields:T.F x-y=1",
                       "--format-param", "a=d", "--bogus", "--h2", "x"},
                      overrides));
    EXPECT_EQ("", overrides.GetFormatter());
    EXPECT_EQ((std::map<std::string, std::string>{{"a", "d"}, {"fields:T.F x-y", "1"}}),
              overrides.GetParameters());

    // The last screen width counts, parsed with base 0; standard output is no terminal while captured, so
    // only the width applies.
    for (const auto& [value, stored, width] : std::vector<std::tuple<const char*, int, int>>{
             {"0x50", 80, 80}, {"010", 8, 8}, {"10000", 10000, 7}, {"abc", 0, 7}, {"-5", -5, 7}}) {
        EXPECT_TRUE(Options({"--screen-width", "100", "--screen-width", value}, overrides).empty());
        EXPECT_EQ(stored, CliDispatcher::GetScreenWidth()) << value;
        DisplayContext context;
        context.width = 7;
        CorvaneTest::CaptureFd(1, [&] { dispatcher.GetDisplayContext(context); });
        EXPECT_EQ(width, context.width) << value;
    }
}

TEST_F(CliDispatcherTest, EachStreamLineStandsAlone) {
    // A line's override does not reach the next; --input is no option on a line, and its line is named.
    std::istringstream in("--formatter json probe run\nprobe run\n--input x probe run\n");
    EXPECT_EQ("false|\"@component\"\n@component\n|varnok: --input line 3:\nErrors: \nUnknown dispatcher "
              "parameter: input\n",
              Shown([&] { return dispatcher.ParseStreamInput(in); }));
    // A failing line fails the stream even when the lines after it succeed; blank lines are counted.
    std::istringstream failingFirst("\n--input x probe run\nprobe run\n");
    EXPECT_EQ("false|@component\n|varnok: --input line 2:\nErrors: \nUnknown dispatcher parameter: input\n",
              Shown([&] { return dispatcher.ParseStreamInput(failingFirst); }));
}

} // namespace
