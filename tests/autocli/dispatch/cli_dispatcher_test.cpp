// CliDispatcher in process: audit scope, dispatcher options, listings, stream input and error printing.
#include <corvane/dispatch.h>

#include <corvane/metaobj.h>
#include <tarvikaudit.h>

#include "test_support.h"

#include <cstdlib>
#include <sstream>

namespace {

using namespace Corvane;
using namespace Corvane::AutoCli;
using CorvaneTest::CaptureFd;
using CorvaneTest::CaptureOutErr;
using MetaObj::MetaList;
using MetaObj::MetaString;
using MetaObj::MetaStruct;

// A command that notes the audit user it ran under and answers "ok", or fails with a message.
class Probe : public Command {
public:
    explicit Probe(bool fail) : fail(fail) { SetDefaultOutputFormatter("simple"); }

    std::shared_ptr<CallSpec::InputSpec> GetInputSpecInternal() override {
        auto spec = CallSpec::InputSpec::New();
        auto secret = CallSpec::ParameterSpec::New("secret", CallSpec::ParameterType::String);
        secret->SetRequired(false);
        secret->SetSecret(true);
        spec->AddParameter(secret);
        return spec;
    }
    std::shared_ptr<CallSpec::OutputSpec> GetOutputSpecInternal() override {
        auto spec = CallSpec::OutputSpec::New();
        spec->SetRootObject(MetaString::New());
        return spec;
    }
    void ExecuteInternal(const std::shared_ptr<CallSpec::Input>& input,
                         const std::shared_ptr<CallSpec::Output>& output) override {
        ++runs;
        seenUser = TarvikAudit::GetAuditParam("user");
        if (fail) {
            output->AddErrorMessage("probe failed");
            return;
        }
        output->SetRootObject(
            MetaString::New(input->HasParameter("secret") ? input->GetParameter("secret") : "ok"));
    }

    static int runs;
    static std::string seenUser;

private:
    bool fail;
};

int Probe::runs = 0;
std::string Probe::seenUser;

class CliDispatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto probe = Namespace::New();
        probe->SetDescription("Probe commands.");
        probe->RegisterNamespaceNode(std::make_shared<Probe>(false), "run");
        probe->RegisterNamespaceNode(std::make_shared<Probe>(true), "fail");
        dispatcher.GetRootNamespace()->RegisterNamespaceNode(probe, "probe");
        Probe::runs = 0;
        Probe::seenUser.clear();
        CliDispatcher::SetScreenWidth(0);
        unsetenv("ZU_USERNAME");
    }

    // Runs one command line of words (no stream input) and keeps what it printed.
    bool Handle(const std::vector<std::string>& words) {
        OptionParser parser;
        parser.ParseVector(words);
        bool result = false;
        auto printed = CaptureOutErr([&] { result = dispatcher.HandleOptions(parser, false); });
        out = printed.out;
        err = printed.err;
        return result;
    }

    CliDispatcher dispatcher;
    std::string out;
    std::string err;
};

TEST_F(CliDispatcherTest, RunsACommandAndPrintsItWithItsDefaultsOrTheOverride) {
    EXPECT_TRUE(Handle({"probe", "run"}));
    EXPECT_EQ("ok\n", out);
    EXPECT_EQ("", err);
    EXPECT_EQ(1, Probe::runs);
    EXPECT_EQ("varnok", dispatcher.GetName());

    EXPECT_TRUE(Handle({"--formatter", "json", "probe", "run"}));
    EXPECT_EQ("\"ok\"\n", out);

    EXPECT_FALSE(Handle({"--formatter", "nope", "probe", "run"}));
    EXPECT_EQ("", out);
    EXPECT_EQ("Errors: \nUnable to find requested formatter: nope\n", err);
    EXPECT_EQ(3, Probe::runs);
}

TEST_F(CliDispatcherTest, AuditUserIsSetForTheCallAndRestoredOnEveryWayOut) {
    TarvikAudit::SetAuditParam("user", "before");

    EXPECT_TRUE(Handle({"probe", "run"}));
    EXPECT_EQ("@component", Probe::seenUser);
    EXPECT_EQ("before", TarvikAudit::GetAuditParam("user"));

    setenv("ZU_USERNAME", "", 1); // empty counts as unset
    EXPECT_TRUE(Handle({"probe", "run"}));
    EXPECT_EQ("@component", Probe::seenUser);

    setenv("ZU_USERNAME", "alice", 1);
    EXPECT_FALSE(Handle({"probe", "fail"}));
    EXPECT_EQ("alice", Probe::seenUser);
    EXPECT_EQ("before", TarvikAudit::GetAuditParam("user"));
    EXPECT_EQ("Errors: \nprobe failed\n", err);

    // An unknown path word throws out of HandleOptions; the guard still restores the value.
    OptionParser parser;
    parser.ParseVector({"probe", "nosuch"});
    EXPECT_THROW(CaptureOutErr([&] { dispatcher.HandleOptions(parser, false); }), CorvaneException);
    EXPECT_EQ("before", TarvikAudit::GetAuditParam("user"));

    TarvikAudit::SetAuditParam("user", "");
}

TEST_F(CliDispatcherTest, ParseErrorsStopTheCommandBeforeItRuns) {
    EXPECT_FALSE(Handle({"probe", "run", "--secret", "x", "extra", "more"}));
    EXPECT_EQ("", out);
    EXPECT_EQ("Errors: \nFound Extra non-parameter arguments at the end of input: 'extra' 'more' \n", err);
    EXPECT_EQ(0, Probe::runs);

    // Dispatcher option errors are printed together with the command's parse errors.
    EXPECT_FALSE(Handle({"--bogus", "1", "probe", "run", "--secret", "x", "extra"}));
    EXPECT_EQ("Errors: \nUnknown dispatcher parameter: bogus\n"
              "Found Extra non-parameter arguments at the end of input: 'extra' \n",
              err);
    EXPECT_EQ(0, Probe::runs);
}

TEST_F(CliDispatcherTest, DispatcherOptionProblemsAreCollectedAndTheCommandIsNotRun) {
    EXPECT_FALSE(Handle({"--formatter", "json", "--formatter", "xml", "probe", "run"}));
    EXPECT_EQ("Errors: \nOnly one --formatter option can be passed to a command\n", err);
    EXPECT_EQ(0, Probe::runs);

    auto output = CallSpec::Output::New();
    FormatParameters overrides;
    OptionParser parser;
    parser.ParseVector({"--formatter", "", "--format-param", "a=b=c", "--format-param", "novalue",
                        "--format-param", "empty=", "--format-param", "under_score=1", "--format-param",
                        "fields:T.F x-y=1", "--format-param", "a=d", "--bogus", "--h2", "x"});
    EXPECT_TRUE(dispatcher.HandleDispatcherOptions(parser, overrides, output));
    EXPECT_EQ((std::vector<std::string>{
                  "Unknown dispatcher parameter: bogus", "Unknown dispatcher parameter: h2",
                  "--formatter requires the name of the formatter to use for this command",
                  "Unable to read format parameter novalue",
                  "Unable to read format parameter empty=", "Unable to read format parameter under_score=1"}),
              output->GetErrors());
    EXPECT_EQ("", overrides.GetFormatter());
    EXPECT_EQ((std::map<std::string, std::string>{{"a", "d"}, {"fields:T.F x-y", "1"}}),
              overrides.GetParameters());
}

TEST_F(CliDispatcherTest, ScreenWidthIsParsedWithBaseZeroAndOnlyPlausibleWidthsApply) {
    auto output = CallSpec::Output::New();
    FormatParameters overrides;
    OptionParser parser;
    parser.ParseVector({"--screen-width", "100", "--screen-width", "0x50"});
    EXPECT_TRUE(dispatcher.HandleDispatcherOptions(parser, overrides, output));
    EXPECT_FALSE(output->HasError());
    EXPECT_EQ(80, CliDispatcher::GetScreenWidth());

    // Standard output is not a terminal while captured: only the screen width changes the context.
    DisplayContext context;
    context.width = 7;
    context.height = 3;
    CaptureFd(1, [&] { dispatcher.GetDisplayContext(context); });
    EXPECT_EQ(80, context.width);
    EXPECT_EQ(3, context.height);

    for (const char* width : {"010", "10000", "abc", "0"}) {
        OptionParser other;
        other.ParseVector({"--screen-width", width});
        dispatcher.HandleDispatcherOptions(other, overrides, output);
        context.width = 7;
        CaptureFd(1, [&] { dispatcher.GetDisplayContext(context); });
        if (std::string(width) == "010") {
            EXPECT_EQ(8, CliDispatcher::GetScreenWidth());
            EXPECT_EQ(8, context.width);
        } else {
            EXPECT_EQ(7, context.width) << width;
        }
    }
    EXPECT_EQ(0, CliDispatcher::GetScreenWidth());
    CliDispatcher::SetScreenWidth(10000);
    CaptureFd(1, [&] { dispatcher.GetDisplayContext(context); });
    EXPECT_EQ(7, context.width);
}

TEST_F(CliDispatcherTest, ListingStructureNamesEveryChildInOrderWithItsKind) {
    EXPECT_FALSE(Handle({"probe"}));
    EXPECT_EQ("", err);
    EXPECT_EQ(0u, out.find("Usage: varnok [disp options] probe <namespaces> <command>\n"));

    auto output = CommandOutput::New();
    out = CaptureFd(1, [&] { dispatcher.PrintChildren(dispatcher.GetRootNamespace(), output); });
    EXPECT_EQ(0u, out.find("Usage: varnok [disp options] <namespaces> <command>\n"));
    EXPECT_EQ(CallSpec::Output::Normal, output->GetOutputType());
    auto listing = std::dynamic_pointer_cast<MetaStruct>(output->GetRootObject());
    ASSERT_TRUE(listing);
    EXPECT_EQ("VarnokCommandPrint", listing->GetTypeName());
    EXPECT_EQ((std::vector<std::string>{"Dispatcher", "NamespaceNodes", "Path"}), listing->GetFieldNames());
    EXPECT_EQ("varnok", listing->GetField("Dispatcher")->ToString());
    auto path = std::dynamic_pointer_cast<MetaList>(listing->GetField("Path"));
    ASSERT_TRUE(path);
    EXPECT_EQ(MetaObj::MetaType::String, path->GetListType());
    EXPECT_EQ(0u, path->GetCount());

    auto nodes = std::dynamic_pointer_cast<MetaList>(listing->GetField("NamespaceNodes"));
    ASSERT_TRUE(nodes);
    ASSERT_TRUE(nodes->GetListStructure());
    EXPECT_EQ("NamespaceNode", nodes->GetListStructure()->GetTypeName());
    EXPECT_EQ("{'Description' => '', 'Name' => '', 'Type' => '', }", nodes->GetListStructure()->ToString());
    EXPECT_EQ("{'Description' => 'Probe commands.', 'Name' => 'probe', 'Type' => 'Namespace', }, "
              "{'Description' => 'Commands that operate on the varnok system itself allowing users to get "
              "additional information.', 'Name' => 'varnok', 'Type' => 'Namespace', }",
              nodes->ToString());

    auto probe = dispatcher.GetRootNamespace()->GetNamespaceNode("probe");
    output = CommandOutput::New();
    CaptureFd(1, [&] { dispatcher.PrintChildren(probe, output); });
    listing = std::dynamic_pointer_cast<MetaStruct>(output->GetRootObject());
    ASSERT_TRUE(listing);
    EXPECT_EQ("probe", listing->GetField("Path")->ToString());
    EXPECT_EQ("{'Description' => '', 'Name' => 'fail', 'Type' => 'Command', }, "
              "{'Description' => '', 'Name' => 'run', 'Type' => 'Command', }",
              listing->GetField("NamespaceNodes")->ToString());
}

TEST_F(CliDispatcherTest, HelpFormatParamsNameTheCommandHelpFormatterOnly) {
    FormatParameters params = dispatcher.GetHelpFormatParams();
    EXPECT_EQ("commandhelp", params.GetFormatter());
    EXPECT_TRUE(params.GetParameters().empty());
}

TEST_F(CliDispatcherTest, StreamResultIsTheLastCommandLineAndEachLineStandsAlone) {
    std::istringstream failThenRun("# a comment\n\n   \nprobe fail\n--formatter json probe run");
    bool result = false;
    auto printed = CaptureOutErr([&] { result = dispatcher.ParseStreamInput(failThenRun); });
    EXPECT_TRUE(result);
    EXPECT_EQ("\"ok\"\n", printed.out);
    EXPECT_EQ("Errors: \nprobe failed\n", printed.err);
    EXPECT_EQ(2, Probe::runs);

    // The json override of one line does not reach the next; --input is no option on a line.
    std::istringstream runThenFail("--formatter json probe run\nprobe run\n--input x probe run\n");
    printed = CaptureOutErr([&] { result = dispatcher.ParseStreamInput(runThenFail); });
    EXPECT_FALSE(result);
    EXPECT_EQ("\"ok\"\nok\n", printed.out);
    EXPECT_EQ("Errors: \nUnknown dispatcher parameter: input\n", printed.err);
    EXPECT_EQ(4, Probe::runs);

    std::istringstream nothing("# only a comment\n");
    printed = CaptureOutErr([&] { result = dispatcher.ParseStreamInput(nothing); });
    EXPECT_TRUE(result);
    EXPECT_EQ("", printed.out + printed.err);
}

TEST_F(CliDispatcherTest, PrintErrorWritesOneLinePerErrorAndNothingWithoutErrors) {
    auto output = CallSpec::Output::New();
    EXPECT_EQ("", CaptureFd(2, [&] { dispatcher.PrintError(output); }));
    output->AddErrorMessage("first");
    output->AddErrorMessage("second line");
    EXPECT_EQ("Errors: \nfirst\nsecond line\n", CaptureFd(2, [&] { dispatcher.PrintError(output); }));
}

} // namespace
