// Tests of plugin loading: single files, directory scans with their order and messages, and
// descriptor commands run end to end through the dispatcher.
#include <corvane/dispatch.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

using Corvane::CorvaneException;
using Corvane::AutoCli::CommandInput;
using Corvane::AutoCli::CommandOutput;
using Corvane::AutoCli::Dispatcher;
using Corvane::AutoCli::DisplayContext;
using Corvane::AutoCli::FormatParameters;
using CorvaneTest::CaptureFd;
using CorvaneTest::TempDir;

namespace {

using Names = std::vector<std::string>;

std::string Descriptor(const std::string& inner) {
    return "<?xml version=\"1.0\"?>\n<plugin>\n  <version>1.0.0</version>\n" + inner + "\n</plugin>\n";
}

std::string NamespaceDescriptor(const std::string& path, const std::string& description) {
    return Descriptor("<namespaces><namespace path=\"" + path + "\"><description>" + description +
                      "</description></namespace></namespaces>");
}

std::string CommandDescriptor(const std::string& path) {
    return Descriptor("<commands><command path=\"" + path +
                      "\"><input-spec/><output-spec/><format-parameters/><execute>true</execute></command>"
                      "</commands>");
}

// Copies the test build's shared-object plugin to `name` inside `dir`.
std::string CopyModule(const TempDir& dir, const std::string& name) {
    return dir.WriteFile(name, CorvaneTest::ReadFile(CORVANE_PLUGIN_LOADING_MODULE), 0755);
}

std::string LoadFailure(const std::string& path, const std::string& message) {
    return "Error loading plugin " + path + " skipping.  Error was: " + message + "\n";
}

std::string ParseFailure(const std::string& path) {
    return "Unable to handle XML Plugin " + path +
           ".  There was an error while parsing: Unable to parse XML descriptor: " + path;
}

Names PluginNames(Dispatcher& dispatcher) {
    return dispatcher.GetPluginNames();
}

TEST(PluginLoading, ScansLib64FirstThenTheDirectoryInByteOrder) {
    TempDir dir;
    const std::string d = dir.Path();
    dir.WriteFile("lib64/z.xml", NamespaceDescriptor("zed", "From lib64"));
    dir.WriteFile("b.xml", CommandDescriptor("zed.run"));
    CopyModule(dir, "a.so");
    dir.WriteFile("notes.txt", "not a plugin");
    dir.WriteFile("x.so.1", "not a plugin either");
    dir.MakeDir("c.xml");
    // Names starting with a dot are kept, and sort before letters.
    dir.WriteFile(".e.xml", NamespaceDescriptor("hidden", "Dot file"));
    // Repeats a path b.xml registered first: the earlier file wins.
    dir.WriteFile("d.xml", CommandDescriptor("zed.run"));

    Dispatcher dispatcher;
    const Names before = PluginNames(dispatcher);
    const std::string err = CaptureFd(2, [&] { dispatcher.AddExternalDirectory(d); });

    Names expected = before;
    expected.push_back(d + "/lib64/z.xml");
    expected.push_back(d + "/.e.xml");
    expected.push_back(d + "/a.so");
    expected.push_back(d + "/b.xml");
    EXPECT_EQ(expected, PluginNames(dispatcher));

    const std::string dPath = d + "/d.xml";
    EXPECT_EQ(LoadFailure(d + "/c.xml", ParseFailure(d + "/c.xml")) +
                  LoadFailure(dPath, "Error while trying to register the plugin " + dPath +
                                         " Varnok path is already registered: zed.run The functionality in " +
                                         dPath + " will not be available until this issue is resolved."),
              err);

    auto root = dispatcher.GetRootNamespace();
    EXPECT_TRUE(root->GetNamespaceNode("sotest"));
    EXPECT_TRUE(root->GetNamespaceNode("hidden"));
    ASSERT_TRUE(root->GetNamespaceNode("zed"));
    EXPECT_EQ("From lib64", root->GetNamespaceNode("zed")->GetDescription());
    EXPECT_TRUE(root->GetNamespaceNode("zed")->GetNamespaceNode("run"));
}

TEST(PluginLoading, DirectoryOpenFailures) {
    TempDir dir;
    Dispatcher dispatcher;
    const Names before = PluginNames(dispatcher);

    const std::string missing = dir.Path() + "/missing";
    EXPECT_EQ("Unable to open directory " + missing + " for plugin registration\n",
              CaptureFd(2, [&] { dispatcher.AddExternalDirectory(missing); }));
    EXPECT_EQ("", CaptureFd(2, [&] { dispatcher.AddExternalDirectoryInt(missing, false); }));

    // A directory without lib64, and an empty one, load quietly.
    dir.WriteFile("only/n.xml", NamespaceDescriptor("only", "Only"));
    EXPECT_EQ("", CaptureFd(2, [&] { dispatcher.AddExternalDirectory(dir.Path() + "/only"); }));
    dir.MakeDir("empty");
    EXPECT_EQ("", CaptureFd(2, [&] { dispatcher.AddExternalDirectory(dir.Path() + "/empty"); }));

    Names expected = before;
    expected.push_back(dir.Path() + "/only/n.xml");
    EXPECT_EQ(expected, PluginNames(dispatcher));
}

TEST(PluginLoading, BrokenFilesAmongGoodOnesLoseNothing) {
    TempDir dir;
    const std::string d = dir.Path();
    dir.WriteFile("1-good.xml", NamespaceDescriptor("first", "First"));
    dir.WriteFile("2-empty.xml", "");
    dir.WriteFile("3-truncated.xml", "<plugin><version>1.0.0</version><namespaces><namespace path=\"x\">");
    // Reads a namespace, then fails on a command: none of it may reach the tree.
    dir.WriteFile("4-halfway.xml",
                  Descriptor("<namespaces><namespace path=\"half\"><description>H</description>"
                             "</namespace></namespaces><commands><command path=\"half.c\"/>"
                             "</commands>"));
    dir.WriteFile("5-notso.so", "this is no shared object");
    dir.WriteFile("6-good.xml", NamespaceDescriptor("second", "Second"));

    Dispatcher dispatcher;
    const Names before = PluginNames(dispatcher);
    const std::string err = CaptureFd(2, [&] { dispatcher.AddExternalDirectory(d); });

    Names expected = before;
    expected.push_back(d + "/1-good.xml");
    expected.push_back(d + "/6-good.xml");
    EXPECT_EQ(expected, PluginNames(dispatcher));
    EXPECT_EQ((std::vector<std::string>{"first", "second", "varnok"}),
              dispatcher.GetRootNamespace()->GetNamespaceNodeNames());

    std::istringstream lines(err);
    std::vector<std::string> reported;
    for (std::string line; std::getline(lines, line);) {
        reported.push_back(line);
    }
    ASSERT_EQ(4u, reported.size()) << err;
    EXPECT_EQ(LoadFailure(d + "/2-empty.xml", ParseFailure(d + "/2-empty.xml")), reported[0] + "\n");
    EXPECT_EQ(LoadFailure(d + "/3-truncated.xml", ParseFailure(d + "/3-truncated.xml")), reported[1] + "\n");
    const std::string half = d + "/4-halfway.xml";
    EXPECT_EQ(
        LoadFailure(half, "Unable to handle XML Plugin " + half +
                              ".  There was an error while parsing: Unable to register the command "
                              "'varnok half.c'  Error was Unable to find <input-spec> element, which is "
                              "required for a command."),
        reported[2] + "\n");
    const std::string prefix = "Error loading plugin " + d +
                               "/5-notso.so skipping.  Error was: Unable to load "
                               "plugin from " +
                               d + "/5-notso.so : ";
    EXPECT_EQ(prefix, reported[3].substr(0, prefix.size()));
}

TEST(PluginLoading, AddPluginChoosesByTheEndOfThePath) {
    TempDir dir;
    Dispatcher dispatcher;
    const Names before = PluginNames(dispatcher);

    // Names without either suffix are ignored without a word, existing or not.
    const std::string quiet = CaptureFd(2, [&] {
        dispatcher.AddPlugin(dir.WriteFile("notes.txt", "x"));
        dispatcher.AddPlugin(dir.WriteFile("lib.so.1", "x"));
        dispatcher.AddPlugin(dir.WriteFile("desc.xml.bak", "x"));
        dispatcher.AddPlugin(".so");
        dispatcher.AddPlugin(".xml");
        dispatcher.AddPlugin(dir.Path() + "/absent.txt");
    });
    EXPECT_EQ("", quiet);
    EXPECT_EQ(before, PluginNames(dispatcher));

    // Failures of a single file propagate to the caller.
    const std::string missing = dir.Path() + "/missing.xml";
    EXPECT_THROW_MSG(dispatcher.AddPlugin(missing), ParseFailure(missing));
    EXPECT_THROW(dispatcher.AddPlugin(dir.Path() + "/missing.so"), CorvaneException);

    const std::string good = dir.WriteFile("good.xml", NamespaceDescriptor("good", "Good"));
    const std::string module = CopyModule(dir, "module.so");
    dispatcher.AddPlugin(good);
    dispatcher.AddPlugin(module);
    Names expected = before;
    expected.push_back(good);
    expected.push_back(module);
    EXPECT_EQ(expected, PluginNames(dispatcher));

    // A second descriptor repeating a top-level namespace with another description is refused whole.
    const std::string clash =
        dir.WriteFile("clash.xml", Descriptor("<namespaces><namespace path=\"extra\">"
                                              "<description>E</description></namespace>"
                                              "<namespace path=\"good\"><description>Bad"
                                              "</description></namespace></namespaces>"));
    EXPECT_THROW_MSG(
        dispatcher.AddPlugin(clash),
        "Error while trying to register the plugin " + clash +
            " Duplicate top-level namespaces must have the same description: good The functionality "
            "in " +
            clash + " will not be available until this issue is resolved.");
    EXPECT_FALSE(dispatcher.GetRootNamespace()->GetNamespaceNode("extra"));
    EXPECT_EQ(expected, PluginNames(dispatcher));
}

TEST(PluginLoading, AddDefaultDirectoriesScansTheInstallationDirectories) {
    // An installation directory that is absent gives its one line; its lib64 is never reported.
    Dispatcher dispatcher;
    const std::string err = CaptureFd(2, [&] { dispatcher.AddDefaultDirectories(); });
    std::string expected;
    bool allAbsent = true;
    for (const std::string directory : {"/usr/lib/tarvik/varnok", "/usr/lib/tarvik/varnok/ext"}) {
        if (::access(directory.c_str(), F_OK) == 0) {
            allAbsent = false;
        } else {
            expected += "Unable to open directory " + directory + " for plugin registration\n";
        }
    }
    if (allAbsent) {
        EXPECT_EQ(expected, err);
    }
    EXPECT_EQ(std::string::npos, err.find("lib64 for plugin registration"));
}

// A descriptor whose commands run real shell scripts; the script prints an output document built from
// its arguments and from the line the standard-input template gives it.
class DescriptorCommandsEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string script = dir.WriteFile("show.sh", R"(#!/bin/sh
read -r line
if [ "$2" = yes ]; then loud=true; else loud=false; fi
printf '<output><structure typeName="Show"><field name="name"><string>%s</string></field><field name="loud"><bool>%s</bool></field><field name="input"><string>%s</string></field></structure></output>\n' "$1" "$loud" "$line"
)",
                                                 0755);
        const std::string descriptor = Descriptor(R"(
  <namespaces><namespace path="e2e"><description>End to end</description></namespace></namespaces>
  <commands>
    <command path="e2e.show">
      <description>Shows its input</description>
      <input-spec>
        <parameter name="name" type="string" required="true"><description>A name</description></parameter>
        <parameter name="count" type="int" required="false"><description>A count</description>
          <constraint type="range"><range min="1" max="9"/></constraint></parameter>
        <parameter name="loud" type="flag" required="false"><description>Louder</description></parameter>
      </input-spec>
      <output-spec>
        <structure typeName="Show"><field name="name"><string/></field><field name="loud"><bool/></field><field name="input"><string/></field></structure>
      </output-spec>
      <format-parameters><formatter>json</formatter></format-parameters>
      <execute>sh )" + script + R"( '$val{name}' $if{loud,yes}</execute>
      <stdin>count=$val{count}
</stdin>
    </command>
    <command path="e2e.fail">
      <input-spec/>
      <output-spec><string/></output-spec>
      <format-parameters><formatter>simple</formatter></format-parameters>
      <execute>printf 'ERROR: disk full\nERROR:second\nplain\nERROR: later\n'</execute>
    </command>
  </commands>)");
        file = dir.WriteFile("e2e.xml", descriptor);
        dispatcher.AddPlugin(file);
    }

    std::shared_ptr<CommandInput> Call(const std::string& command) {
        auto input = CommandInput::New();
        input->SetDispatcher("varnok");
        input->SetCommandPath({"e2e", command});
        return input;
    }

    TempDir dir;
    std::string file;
    Dispatcher dispatcher;
};

TEST_F(DescriptorCommandsEndToEnd, RunsTheScriptAndPrintsItsResult) {
    auto input = Call("show");
    input->AddParameter("name", "a b;c");
    input->AddParameter("count", "7");
    input->AddParameter("loud", "");
    auto output = CommandOutput::New();
    ASSERT_TRUE(dispatcher.ExecuteCommand(input, output))
        << (output->GetErrors().empty() ? "" : output->GetErrors()[0]);

    FormatParameters params = dispatcher.GetDefaultOutputFormatParameters(input, output);
    EXPECT_EQ("json", params.GetFormatter());
    DisplayContext context;
    std::ostringstream printed;
    EXPECT_TRUE(dispatcher.FormatOutput(output, params, context, printed));
    EXPECT_EQ("\n{\n   \"input\": \"count=7\",\n   \"loud\": true,\n   \"name\": \"a b;c\"\n}\n",
              printed.str());

    // Without the flag and the optional count, the $if disappears and $val stays as written.
    auto quiet = Call("show");
    quiet->AddParameter("name", "plain");
    auto quietOutput = CommandOutput::New();
    ASSERT_TRUE(dispatcher.ExecuteCommand(quiet, quietOutput));
    std::ostringstream quietPrinted;
    dispatcher.FormatOutput(quietOutput, params, context, quietPrinted);
    EXPECT_EQ("\n{\n   \"input\": \"count=$val{count}\",\n   \"loud\": false,\n   \"name\": \"plain\"\n}\n",
              quietPrinted.str());
}

TEST_F(DescriptorCommandsEndToEnd, ChecksInputAndReportsProgramErrors) {
    // The declared constraint is checked before anything runs.
    auto input = Call("show");
    input->AddParameter("name", "n");
    input->AddParameter("count", "12");
    auto output = CommandOutput::New();
    EXPECT_FALSE(dispatcher.ExecuteCommand(input, output));
    EXPECT_FALSE(output->GetRootObject());
    EXPECT_FALSE(output->GetErrors().empty());

    // Leading ERROR: lines become the call's errors; later ones do not.
    auto failing = Call("fail");
    auto failed = CommandOutput::New();
    EXPECT_FALSE(dispatcher.ExecuteCommand(failing, failed));
    EXPECT_EQ((std::vector<std::string>{" disk full", "second"}), failed->GetErrors());

    // Help comes from the descriptor's declarations.
    auto help = Call("show");
    help->AddParameter("help", "");
    auto helpOutput = CommandOutput::New();
    EXPECT_TRUE(dispatcher.ExecuteCommand(help, helpOutput));
    EXPECT_TRUE(helpOutput->GetRootObject());
}

} // namespace
