// Tests of XmlPlugin: descriptor reading with its checks and messages, path splitting, registration.
#include <corvane/plugins.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

using Corvane::CorvaneException;
using Corvane::AutoCli::ExtensionCommand;
using Corvane::AutoCli::Namespace;
using Corvane::AutoCli::NamespaceNode;
using Corvane::AutoCli::RootNamespace;
using Corvane::AutoCli::XmlPlugin;
using Corvane::CallSpec::Input;
using Corvane::CallSpec::ParameterConstraintType;
using Corvane::CallSpec::ParameterType;
using Corvane::MetaObj::MetaType;
using CorvaneTest::TempDir;

namespace {

const std::string kCommandTail = "<output-spec/><format-parameters/><execute>true</execute>";

std::string Descriptor(const std::string& inner) {
    return "<?xml version=\"1.0\"?>\n<plugin>\n  <version>1.0.0</version>\n" + inner + "\n</plugin>\n";
}

std::string Namespaces(const std::string& inner) {
    return "<namespaces>" + inner + "</namespaces>";
}

std::string NamespaceXml(const std::string& path, const std::string& description) {
    return "<namespace path=\"" + path + "\"><description>" + description + "</description></namespace>";
}

std::string CommandXml(const std::string& path, const std::string& body) {
    return "<command path=\"" + path + "\">" + body + "</command>";
}

// A descriptor with one command "t.run" whose input-spec holds `parameters`.
std::string WithParameters(const std::string& parameters) {
    return Descriptor("<commands>" +
                      CommandXml("t.run", "<input-spec>" + parameters + "</input-spec>" + kCommandTail) +
                      "</commands>");
}

std::string CommandMessage(const std::string& path, const std::string& inner) {
    return "Unable to register the command 'varnok " + path + "'  Error was " + inner;
}

std::string ConstraintMessage(const std::string& parameter, const std::string& inner) {
    return "Unable to build parameter constraint for parameter " + parameter + ".  Error was: " + inner;
}

std::shared_ptr<ExtensionCommand> CommandAt(const XmlPlugin& plugin, std::size_t index) {
    auto command =
        std::dynamic_pointer_cast<ExtensionCommand>(plugin.GetPendingRegistrations().at(index).second);
    EXPECT_TRUE(command) << "entry " << index << " is not a command";
    return command;
}

class XmlPluginTest : public ::testing::Test {
protected:
    std::string Write(const std::string& text) {
        return dir.WriteFile("d" + std::to_string(++count) + ".xml", text);
    }

    std::shared_ptr<XmlPlugin> Load(const std::string& text) {
        auto plugin = XmlPlugin::New(Write(text));
        plugin->Initialize();
        return plugin;
    }

    // The message Initialize throws for `text`, without the plugin's own wrapping (which is checked
    // here, once). Nothing may reach standard error on the way.
    std::string InnerError(const std::string& text) { return InnerErrorOfFile(Write(text)); }

    std::string InnerErrorOfFile(const std::string& file) {
        auto plugin = XmlPlugin::New(file);
        std::string message;
        bool thrown = false;
        const std::string err = CorvaneTest::CaptureFd(2, [&] {
            try {
                plugin->Initialize();
            } catch (const CorvaneException& e) {
                thrown = true;
                message = e.what();
            }
        });
        EXPECT_EQ("", err);
        if (!thrown) {
            ADD_FAILURE() << "descriptor " << file << " loaded";
            return std::string();
        }
        const std::string prefix =
            "Unable to handle XML Plugin " + file + ".  There was an error while parsing: ";
        EXPECT_EQ(prefix, message.substr(0, prefix.size()));
        return message.substr(std::min(prefix.size(), message.size()));
    }

    TempDir dir;
    int count = 0;
};

TEST_F(XmlPluginTest, ReadsEveryPartOfADescriptor) {
    // The commands element comes first; the namespaces are still pending first.
    auto plugin = Load(Descriptor(R"(
  <commands>
    <command path="net.fw.get">
      <description> Shows the firewall
</description>
      <meta-data><meta-data-entry name="owner">net team</meta-data-entry><!-- note --><meta-data-entry/></meta-data>
      <input-spec>
        <parameter name="zone" type="string" required="true" shortname="z">
          <description>Zone</description>
          <constraint type="stringenum"><enum><enum-value value="public">Open zone</enum-value><!-- c --><enum-value value="home">Home</enum-value><enum-value value="lab"/></enum></constraint>
        </parameter>
        <parameter name="count" type="int" required="false"><description>How many</description>
          <constraint type="range"><range min="1" max="5"/><range min=" 1" max="10abc"/></constraint></parameter>
        <parameter name="level" type="int-list" required="false"><description>Levels</description>
          <constraint type="intenum"><enum><enum-value value="+3">three</enum-value><enum-value value="-2">minus</enum-value></enum></constraint></parameter>
        <parameter name="addr" type="string-list" required="false"><description>Addresses</description>
          <constraint type="regex"><regex>[0-9.]+</regex></constraint></parameter>
        <parameter name="verbose" type="flag" required="false"><description>Talk</description></parameter>
        <parameter name="password" type="string" required="false" secret="true"><description>Pw</description></parameter>
        <parameter name="on" type="bool" required="false" secret="false" shortname=""><description>On</description></parameter>
        <parameter name="bools" type="bool-list" required="false" unknown="x"><description>Bools</description></parameter>
        <context-supported>user</context-supported>
        <something-else/>
      </input-spec>
      <output-spec>
        <!-- the declared type -->
        <structure typeName="Rule"><field name="name"><string/></field><field name="port"><int>0</int></field></structure>
      </output-spec>
      <format-parameters>
        <formatter>table</formatter>
        <format-parameter name="columns">a</format-parameter>
        <format-parameter name="columns">name,port</format-parameter>
        <ignored/>
      </format-parameters>
      <execute>fw-get --all</execute>
      <stdin>hello
</stdin>
    </command>
    <command path="net.up"><input-spec/><output-spec/><format-parameters/><execute>up</execute></command>
  </commands>
  <namespaces>
    <namespace path="net"><description>Networking</description></namespace>
    <other/>
    <namespace path="net.fw"><description>Firewall</description></namespace>
  </namespaces>)"));

    const auto& pending = plugin->GetPendingRegistrations();
    ASSERT_EQ(4u, pending.size());
    EXPECT_EQ("net", pending[0].first);
    EXPECT_EQ("net.fw", pending[1].first);
    EXPECT_EQ("net.fw.get", pending[2].first);
    EXPECT_EQ("net.up", pending[3].first);
    EXPECT_EQ("Networking", pending[0].second->GetDescription());
    EXPECT_EQ(Corvane::AutoCli::NamespaceType, pending[1].second->GetType());
    EXPECT_EQ("", pending[0].second->GetName()) << "names are given at registration";

    auto command = CommandAt(*plugin, 2);
    ASSERT_TRUE(command);
    EXPECT_EQ(" Shows the firewall\n", command->GetDescription()) << "text is not trimmed";

    auto spec = command->GetInputSpecInternal();
    std::vector<std::string> names;
    for (const auto& parameter : spec->GetParameters()) {
        names.push_back(parameter->GetName());
    }
    EXPECT_EQ(
        (std::vector<std::string>{"addr", "bools", "count", "level", "on", "password", "verbose", "zone"}),
        names);
    EXPECT_TRUE(spec->IsContextSupported("user"));

    auto zone = spec->FindParameter("zone");
    EXPECT_EQ(ParameterType::String, zone->GetType());
    EXPECT_EQ("z", zone->GetShortName());
    EXPECT_TRUE(zone->IsRequired());
    EXPECT_FALSE(zone->IsSecret());
    EXPECT_EQ("Zone", zone->GetDescription(false));
    ASSERT_TRUE(zone->GetConstraint());
    EXPECT_EQ(ParameterConstraintType::StringEnum, zone->GetConstraint()->GetType());
    // The empty enum-value gives no entry.
    EXPECT_EQ((std::vector<std::string>{"public", "home"}), zone->GetConstraint()->GetStringEnum());
    EXPECT_EQ("Home", zone->GetConstraint()->GetStringEnumWithDesc().at("home"));

    auto countParam = spec->FindParameter("count");
    EXPECT_EQ(ParameterType::Int, countParam->GetType());
    EXPECT_FALSE(countParam->IsRequired());
    long min = 0;
    long max = 0;
    countParam->GetConstraint()->GetIntRange(min, max);
    EXPECT_EQ(1, min) << "the last range wins";
    EXPECT_EQ(10, max) << "10abc reads as 10";

    auto level = spec->FindParameter("level");
    EXPECT_EQ(ParameterType::IntList, level->GetType());
    EXPECT_EQ((std::vector<long>{3, -2}), level->GetConstraint()->GetIntEnum());

    auto addr = spec->FindParameter("addr");
    EXPECT_EQ(ParameterType::StringList, addr->GetType());
    EXPECT_EQ(ParameterConstraintType::StringRegex, addr->GetConstraint()->GetType());
    EXPECT_EQ("[0-9.]+", addr->GetConstraint()->GetStringRegex());

    EXPECT_EQ(ParameterType::Flag, spec->FindParameter("verbose")->GetType());
    EXPECT_TRUE(spec->FindParameter("password")->IsSecret());
    EXPECT_EQ(ParameterType::Bool, spec->FindParameter("on")->GetType());
    EXPECT_EQ("", spec->FindParameter("on")->GetShortName());
    EXPECT_EQ(ParameterType::BoolList, spec->FindParameter("bools")->GetType());

    auto root = command->GetOutputSpecInternal()->GetRootObject();
    ASSERT_TRUE(root);
    EXPECT_EQ(MetaType::Struct, root->GetType());

    auto format = command->GetDefaultOutputFormatParameters();
    EXPECT_EQ("table", format.GetFormatter());
    EXPECT_EQ("name,port", format.GetParameter("columns")) << "the later format-parameter wins";
    EXPECT_EQ(1u, format.GetParameters().size());

    EXPECT_EQ("fw-get --all", command->SubstituteInput(Input::New(), false));
    EXPECT_EQ("hello\n", command->SubstituteInput(Input::New(), true));

    auto up = CommandAt(*plugin, 3);
    ASSERT_TRUE(up);
    EXPECT_EQ("", up->GetDescription());
    EXPECT_TRUE(up->GetInputSpecInternal()->GetParameters().empty());
    EXPECT_FALSE(up->GetOutputSpecInternal()->GetRootObject())
        << "an output-spec without element has no root";
    EXPECT_EQ("", up->GetDefaultOutputFormatParameters().GetFormatter());
    EXPECT_EQ("", up->SubstituteInput(Input::New(), true));
}

TEST_F(XmlPluginTest, FileAndVersionFailures) {
    const std::string missing = dir.Path() + "/missing.xml";
    EXPECT_EQ("Unable to parse XML descriptor: " + missing, InnerErrorOfFile(missing));
    const std::string empty = Write("");
    EXPECT_EQ("Unable to parse XML descriptor: " + empty, InnerErrorOfFile(empty));
    const std::string truncated = Write("<plugin><version>1.0.0</version><namespaces>");
    EXPECT_EQ("Unable to parse XML descriptor: " + truncated, InnerErrorOfFile(truncated));
    const std::string directory = dir.MakeDir("sub.xml");
    EXPECT_EQ("Unable to parse XML descriptor: " + directory, InnerErrorOfFile(directory));

    // A descriptor past the size limit is refused before it is parsed.
    std::string huge = Descriptor(Namespaces(NamespaceXml("big", "x")));
    huge.insert(huge.size() - 11, std::string(XmlPlugin::MaxDescriptorBytes, ' '));
    const std::string hugeFile = Write(huge);
    EXPECT_EQ("Unable to parse XML descriptor: " + hugeFile + ".  It is larger than " +
                  std::to_string(XmlPlugin::MaxDescriptorBytes) + " bytes",
              InnerErrorOfFile(hugeFile));

    const std::string versionMessage = "Unknown varnok extention version.  Valid versions are: '1.0.0'";
    const std::string body = Namespaces(NamespaceXml("a", "b"));
    EXPECT_EQ(versionMessage, InnerError("<p><version> 1.0.0</version>" + body + "</p>"));
    EXPECT_EQ(versionMessage, InnerError("<p><version>1.0</version>" + body + "</p>"));
    EXPECT_EQ(versionMessage, InnerError("<p>" + body + "</p>"));
    EXPECT_EQ("Illegal Duplicate tags found.  The tag version was expected only once, but was found multiple "
              "times.",
              InnerError("<p><version>1.0.0</version><version>2</version>" + body + "</p>"));
    // An empty version followed by the right one is accepted: the later text wins.
    EXPECT_NO_THROW(Load("<p><version/><version>1.0.0</version>" + body + "</p>"));

    const std::string bare = Write(Descriptor("<other/>"));
    EXPECT_EQ("Unable to find any namespaces or commands to register for plugin " + bare,
              InnerErrorOfFile(bare));
    EXPECT_EQ("More than one instance of namespaces found, expected only one.",
              InnerError(Descriptor(Namespaces("") + Namespaces(""))));
    EXPECT_EQ("More than one instance of commands found, expected only one.",
              InnerError(Descriptor("<commands/><commands/>")));

    // Empty namespaces or commands elements are enough to load, with nothing to register.
    EXPECT_TRUE(Load(Descriptor(Namespaces("")))->GetPendingRegistrations().empty());
    EXPECT_TRUE(Load(Descriptor("<commands/>"))->GetPendingRegistrations().empty());
}

TEST_F(XmlPluginTest, NamespaceChecks) {
    const std::string message =
        "Unable to register a namespace without valid 'path' attribute or <description> being present.";
    EXPECT_EQ(message,
              InnerError(Descriptor(Namespaces("<namespace><description>d</description></namespace>"))));
    EXPECT_EQ(message, InnerError(Descriptor(Namespaces(NamespaceXml("", "d")))));
    EXPECT_EQ(message, InnerError(Descriptor(Namespaces(NamespaceXml("a", "")))));
    EXPECT_EQ(message, InnerError(Descriptor(Namespaces("<namespace path=\"a\"/>"))));
    EXPECT_EQ("Illegal Duplicate tags found.  The tag description was expected only once, but was found "
              "multiple times.",
              InnerError(Descriptor(
                  Namespaces("<namespace path=\"a\"><description>a</description><description>b</description>"
                             "</namespace>"))));
    auto plugin = Load(Descriptor(
        Namespaces("<namespace path=\"a\"><description/><description>b</description></namespace>")));
    EXPECT_EQ("b", plugin->GetPendingRegistrations().at(0).second->GetDescription());
}

TEST_F(XmlPluginTest, CommandChecksAndTheirWrapping) {
    auto commands = [](const std::string& path, const std::string& body) {
        return Descriptor("<commands>" + CommandXml(path, body) + "</commands>");
    };
    const std::string input = "<input-spec/>";
    const std::string output = "<output-spec/>";
    const std::string format = "<format-parameters/>";
    const std::string execute = "<execute>run</execute>";

    // The path and description checks come before the command's own wrapping.
    EXPECT_EQ("Invalid command specification found.  <command> tags must have a non-empty 'path' attribute",
              InnerError(commands("", input + output + format + execute)));
    EXPECT_EQ("Illegal Duplicate tags found.  The tag description was expected only once, but was found "
              "multiple times.",
              InnerError(commands("a.b", "<description>a</description><description>b</description>" + input +
                                             output + format + execute)));

    EXPECT_EQ(CommandMessage("a.b", "Unable to find <input-spec> element, which is required for a command."),
              InnerError(commands("a.b", output + format + execute)));
    EXPECT_EQ(CommandMessage("a.b", "Unable to find <output-spec> element, which is required for a command."),
              InnerError(commands("a.b", input + format + execute)));
    EXPECT_EQ(
        CommandMessage("a.b", "Unable to find <format-parameters> element, which is required for a command."),
        InnerError(commands("a.b", input + output + execute)));
    const std::string noExecute = CommandMessage(
        "a.b",
        "Missing or empty <execute> tag.  This tag must specify a valid execution string for this command.");
    EXPECT_EQ(noExecute, InnerError(commands("a.b", input + output + format)));
    EXPECT_EQ(noExecute, InnerError(commands("a.b", input + output + format + "<execute></execute>")));
    EXPECT_EQ(CommandMessage("a.b.c", "More than one instance of input-spec found, expected only one."),
              InnerError(commands("a.b.c", input + input + output + format + execute)));
    EXPECT_EQ(
        CommandMessage("a.b", "Illegal Duplicate tags found.  The tag stdin was expected only once, but "
                              "was found multiple times."),
        InnerError(commands("a.b", input + output + format + execute + "<stdin>x</stdin><stdin>y</stdin>")));
    auto plugin = Load(commands("a.b", input + output + format + execute + "<stdin/><stdin>y</stdin>"));
    EXPECT_EQ("y", CommandAt(*plugin, 0)->SubstituteInput(Input::New(), true));

    // A failure in a later command stops the file, whatever came before it.
    EXPECT_EQ(
        CommandMessage("z.two", "Unable to find <input-spec> element, which is required for a command."),
        InnerError(Descriptor("<commands>" + CommandXml("z.one", input + output + format + execute) +
                              CommandXml("z.two", output + format + execute) + "</commands>")));
}

TEST_F(XmlPluginTest, MetaDataChecks) {
    auto withMetaData = [](const std::string& metaData) {
        return Descriptor(
            "<commands>" +
            CommandXml("m.c", "<meta-data>" + metaData + "</meta-data><input-spec/>" + kCommandTail) +
            "</commands>");
    };
    EXPECT_EQ(CommandMessage("m.c",
                             "Found unexpected tag while building meta-data set.  Unexpected tag was: entry"),
              InnerError(withMetaData("<meta-data-entry name=\"a\">x</meta-data-entry><entry/>")));
    EXPECT_EQ(CommandMessage("m.c", "Error parsing 'meta-data-entry', missing required attribute 'name'"),
              InnerError(withMetaData("<meta-data-entry>x</meta-data-entry>")));
    EXPECT_EQ(CommandMessage("m.c", "Error parsing 'meta-data-entry', missing required attribute 'name'"),
              InnerError(withMetaData(
                  "<meta-data-entry name=\"\"><!-- a comment is content --></meta-data-entry>")));
    EXPECT_NO_THROW(
        Load(withMetaData(" <!-- c --> <meta-data-entry/><meta-data-entry name=\"k\">v</meta-data-entry>"
                          "<![CDATA[raw]]>")));
    EXPECT_EQ(CommandMessage("m.c", "More than one instance of meta-data found, expected only one."),
              InnerError(Descriptor(
                  "<commands>" + CommandXml("m.c", "<meta-data/><meta-data/><input-spec/>" + kCommandTail) +
                  "</commands>")));
}

TEST_F(XmlPluginTest, ParameterChecksInOrder) {
    auto parameterError = [this](const std::string& parameter) {
        return InnerError(WithParameters(parameter));
    };
    EXPECT_EQ(CommandMessage("t.run", "Unable to parse Input Parameter.  Missing required attribute: 'name'"),
              parameterError("<parameter type=\"nonsense\"/>"));
    const std::string badType =
        "Unable to parse Input Parameter p1. Missing or invalid required attribute: "
        "'type'.  Must be one of [string, string-list, bool, bool-list, int, int-list]";
    EXPECT_EQ(CommandMessage("t.run", badType),
              parameterError("<parameter name=\"p1\" required=\"maybe\"/>"));
    EXPECT_EQ(CommandMessage("t.run", badType), parameterError("<parameter name=\"p1\" type=\"String\"/>"));
    EXPECT_EQ(CommandMessage("t.run",
                             "Unable to parse Input Paramter p1. Missing or invalid 'required', must be "
                             "one of ['true', 'false']"),
              parameterError("<parameter name=\"p1\" type=\"int\" required=\"yes\"/>"));
    EXPECT_EQ(CommandMessage("t.run", "Unable to parse Input Paramter p1. Missing command description"),
              parameterError("<parameter name=\"p1\" type=\"int\" required=\"true\" secret=\"maybe\"/>"));
    EXPECT_EQ(CommandMessage("t.run", "Unable to parse Input Paramter p1. Invalid 'secret', must be one of "
                                      "['true', 'false']"),
              parameterError("<parameter name=\"p1\" type=\"int\" required=\"true\" secret=\"yes\">"
                             "<description>d</description></parameter>"));
    EXPECT_EQ(CommandMessage("t.run",
                             "Unable to parse Input Paramter p1. Invalid type int for secret, must be "
                             "'string'"),
              parameterError("<parameter name=\"p1\" type=\"int\" required=\"true\" secret=\"true\">"
                             "<description>d</description></parameter>"));
    EXPECT_EQ(CommandMessage("t.run",
                             "Unable to parse Input Paramter p1. Invalid type flag for secret, must be "
                             "'string'"),
              parameterError("<parameter name=\"p1\" type=\"flag\" required=\"true\" secret=\"true\">"
                             "<description>d</description></parameter>"));
    // A duplicate description fails while the attributes are read, before any check.
    EXPECT_EQ(
        CommandMessage("t.run", "Illegal Duplicate tags found.  The tag description was expected only once, "
                                "but was found multiple times."),
        parameterError("<parameter><description>a</description><description>b</description></parameter>"));

    // The checks of the parameter specification itself come through unchanged.
    EXPECT_EQ(
        CommandMessage("t.run", "Invalid Parameter name 'Bad' parameter names can only contain lower-case "
                                "alphanumeric characters, numbers and '-'"),
        parameterError("<parameter name=\"Bad\" type=\"int\" required=\"true\"><description>d</description>"
                       "</parameter>"));
    EXPECT_EQ(
        CommandMessage("t.run", "Invalid value for shortName, must be a single character a-z, A-Z or 0-9"),
        parameterError("<parameter name=\"pp\" type=\"int\" required=\"true\" shortname=\"xy\">"
                       "<description>d</description></parameter>"));
    EXPECT_EQ(
        CommandMessage("t.run", "Found a duplicate paramater specification for parameter named 'pp'"),
        parameterError("<parameter name=\"pp\" type=\"int\" required=\"true\"><description>d</description>"
                       "</parameter><parameter name=\"pp\" type=\"string\" required=\"false\">"
                       "<description>e</description></parameter>"));
}

TEST_F(XmlPluginTest, ConstraintChecks) {
    auto constraintError = [this](const std::string& type, const std::string& constraint) {
        return InnerError(WithParameters("<parameter name=\"cp\" type=\"" + type +
                                         "\" required=\"true\"><description>d</description>" + constraint +
                                         "</parameter>"));
    };
    auto wrapped = [](const std::string& inner) {
        return CommandMessage("t.run", ConstraintMessage("cp", inner));
    };

    EXPECT_EQ(
        wrapped("Missing or invalid constraint 'type', must be one of [stringenum, intenum, regex, range] "
                "got 'enum'"),
        constraintError("string", "<constraint type=\"enum\"><enum/></constraint>"));
    EXPECT_EQ(
        wrapped("Missing or invalid constraint 'type', must be one of [stringenum, intenum, regex, range] "
                "got ''"),
        constraintError("string", "<constraint/>"));

    const std::string noData = "Error parsing parameter constraint.  There was no data included inside the "
                               "<constraint> tag for the given constraint type";
    EXPECT_EQ(wrapped(noData),
              constraintError("string", "<constraint type=\"stringenum\"><enum><enum-value value=\"a\"/>"
                                        "<enum-value value=\"b\"></enum-value></enum></constraint>"));
    // A child of another kind than the type asks for is not data.
    EXPECT_EQ(wrapped(noData),
              constraintError("int", "<constraint type=\"range\"><regex>x</regex></constraint>"));

    const std::string badRange = "Error parsing 'range' parameter constraint.  Range requires both 'min' and "
                                 "'max' attributes and that both are integers.";
    EXPECT_EQ(wrapped(badRange),
              constraintError("int", "<constraint type=\"range\"><range min=\"1\" max=\"x\"/>"
                                     "</constraint>"));
    EXPECT_EQ(wrapped(badRange),
              constraintError("int", "<constraint type=\"range\"><range min=\"1\"/></constraint>"));
    EXPECT_EQ(wrapped(badRange), constraintError("int", "<constraint type=\"range\"><range min=\"1\" "
                                                        "max=\"99999999999999999999\"/></constraint>"));
    EXPECT_EQ(wrapped("Invalid values for SetIntRange, constraints must have a min value <= max value"),
              constraintError("int", "<constraint type=\"range\"><range min=\"5\" max=\"1\"/></constraint>"));

    EXPECT_EQ(wrapped("Error parsing regex from parameter constraint.Missing or empty 'regex' tag"),
              constraintError("string", "<constraint type=\"regex\"><regex>a</regex><regex/></constraint>"));
    EXPECT_EQ(wrapped("Error parsing integer enumeration. Expected integer, but got x1"),
              constraintError("int",
                              "<constraint type=\"intenum\"><enum><enum-value value=\"x1\">d</enum-value>"
                              "</enum></constraint>"));
    EXPECT_EQ(wrapped("Error parsing 'enum-value', missing required attribute 'value'"),
              constraintError("string",
                              "<constraint type=\"stringenum\"><enum><enum-value>d</enum-value></enum>"
                              "</constraint>"));
    EXPECT_EQ(wrapped("Found unexpected tag while building an enum.  Unexpected tag was: value"),
              constraintError("string", "<constraint type=\"stringenum\"><enum><!-- c --> <value/></enum>"
                                        "</constraint>"));
    // Text interrupted by a comment gives one entry per piece, all with the same value.
    EXPECT_EQ(wrapped("Duplicate Value found in ParameterConstraint::AddStringEnum: a"),
              constraintError("string", "<constraint type=\"stringenum\"><enum><enum-value value=\"a\">one"
                                        "<!-- c -->two</enum-value></enum></constraint>"));
    // A constraint that does not fit the parameter's type is refused by the parameter.
    EXPECT_EQ(
        wrapped("Invalid constraint specified for parameter cp.  The parameter constraint specified is not "
                "allowed for a parameter of this type."),
        constraintError("string", "<constraint type=\"range\"><range min=\"1\" max=\"2\"/></constraint>"));

    // Several constraints: the last one stays. A later empty enum replaces an earlier full one.
    auto plugin = Load(
        WithParameters("<parameter name=\"cp\" type=\"string\" required=\"true\"><description>d</description>"
                       "<constraint type=\"regex\"><regex>a+</regex></constraint>"
                       "<constraint type=\"stringenum\"><enum><enum-value "
                       "value=\"x\">X</enum-value></enum><enum/></constraint>"
                       "</parameter>"));
    auto constraint = CommandAt(*plugin, 0)->GetInputSpecInternal()->FindParameter("cp")->GetConstraint();
    EXPECT_EQ(ParameterConstraintType::StringEnum, constraint->GetType());
    EXPECT_TRUE(constraint->GetStringEnum().empty());
}

TEST_F(XmlPluginTest, OutputSpecAndFormatParameterChecks) {
    auto withTail = [](const std::string& tail) {
        return Descriptor("<commands>" + CommandXml("o.c", "<input-spec/>" + tail) + "</commands>");
    };
    const std::string format = "<format-parameters/><execute>x</execute>";
    EXPECT_EQ(CommandMessage("o.c", "Found more than one node under 'output-spec', where only one node is "
                                    "supported.  The tag was int"),
              InnerError(withTail("<output-spec><string/> <!-- c --> <int/></output-spec>" + format)));
    EXPECT_EQ(CommandMessage("o.c",
                             "Unable to build output spec.  Error was Unable to make a MetaObject from a "
                             "node with tag 'integer'"),
              InnerError(withTail("<output-spec><integer/></output-spec>" + format)));
    EXPECT_EQ(
        CommandMessage("o.c", "Unable to build output spec.  Error was Unable to read an int value from: "
                              "'abc'"),
        InnerError(withTail("<output-spec><list type=\"int\"><int>abc</int></list></output-spec>" + format)));
    EXPECT_EQ(CommandMessage("o.c",
                             "Unable to build output spec.  Error was Trying to make a meta object from a "
                             "CDATA section"),
              InnerError(withTail("<output-spec><string/><![CDATA[x]]></output-spec>" + format)));

    const std::string output = "<output-spec><list type=\"string\"/></output-spec>";
    EXPECT_EQ(CommandMessage("o.c", "Invalid plugin format.  Duplicate <formatter> tags found"),
              InnerError(withTail(output + "<format-parameters><formatter>json</formatter><formatter/>"
                                           "</format-parameters><execute>x</execute>")));
    auto plugin =
        Load(withTail(output + "<format-parameters><format-parameter name=\"k\">1</format-parameter>"
                               "<format-parameter>unnamed</format-parameter>"
                               "<format-parameter name=\"k\">2</format-parameter></format-parameters>"
                               "<execute>x</execute>"));
    auto command = CommandAt(*plugin, 0);
    EXPECT_EQ(MetaType::List, command->GetOutputSpecInternal()->GetRootObject()->GetType());
    auto params = command->GetDefaultOutputFormatParameters();
    EXPECT_EQ("2", params.GetParameter("k"));
    EXPECT_EQ("unnamed", params.GetParameter(""));
    EXPECT_EQ("", params.GetFormatter());
}

TEST(XmlPluginSplitPath, SplitsAtEveryFullStop) {
    using List = std::list<std::string>;
    EXPECT_EQ((List{"network", "firewall", "get"}), XmlPlugin::SplitPath("network.firewall.get"));
    EXPECT_EQ((List{"one"}), XmlPlugin::SplitPath("one"));
    EXPECT_EQ((List{}), XmlPlugin::SplitPath(""));
    EXPECT_EQ((List{"", "a"}), XmlPlugin::SplitPath(".a"));
    EXPECT_EQ((List{"a", "", "b"}), XmlPlugin::SplitPath("a..b"));
    EXPECT_EQ((List{"a"}), XmlPlugin::SplitPath("a."));
    EXPECT_EQ((List{"a b", "c"}), XmlPlugin::SplitPath("a b.c"));
}

TEST_F(XmlPluginTest, PluginIdentityAndFormatters) {
    const std::string file = Write(Descriptor(Namespaces(NamespaceXml("a", "b"))));
    auto plugin = XmlPlugin::New(file);
    EXPECT_EQ(file, plugin->GetName());
    EXPECT_TRUE(plugin->GetPendingRegistrations().empty()) << "nothing is read before Initialize";
    EXPECT_FALSE(plugin->HasFormatter("json"));
    EXPECT_TRUE(plugin->GetFormatters().empty());
    EXPECT_THROW_MSG(plugin->GetFormatter("json"), "Xml Plugin doesn't not support formatters");
    EXPECT_THROW_MSG(plugin->GetFormatter("no-such-formatter"), "Xml Plugin doesn't not support formatters");
    plugin->Initialize();
    plugin->Initialize();
    EXPECT_EQ(1u, plugin->GetPendingRegistrations().size()) << "a second Initialize reads the file afresh";
}

TEST_F(XmlPluginTest, HostileDocumentsFailQuietlyAndReleaseEverything) {
    const int fdsBefore = CorvaneTest::CountOpenFds();

    // An external entity is neither loaded nor expanded: the description stays empty.
    const std::string secret = dir.WriteFile("secret.txt", "secret description");
    EXPECT_EQ("Unable to register a namespace without valid 'path' attribute or <description> being present.",
              InnerError(
                  "<!DOCTYPE p [<!ENTITY x SYSTEM \"file://" + secret + "\">]>\n<p><version>1.0.0</version>" +
                  Namespaces("<namespace path=\"a\"><description>&x;</description></namespace>") + "</p>"));
    // So is an external DTD, which would otherwise be fetched.
    EXPECT_NO_THROW(Load("<!DOCTYPE p SYSTEM \"http://127.0.0.1:9/none.dtd\">\n<p><version>1.0.0</version>" +
                         Namespaces(NamespaceXml("a", "b")) + "</p>"));

    // Exponential entity expansion in an attribute is refused instead of being expanded.
    std::string entities = "<!ENTITY e0 \"0123456789\">";
    for (int i = 1; i <= 9; ++i) {
        std::string refs;
        for (int j = 0; j < 10; ++j) {
            refs += "&e" + std::to_string(i - 1) + ";";
        }
        entities += "<!ENTITY e" + std::to_string(i) + " \"" + refs + "\">";
    }
    const auto start = std::chrono::steady_clock::now();
    const std::string inner = InnerError("<!DOCTYPE p [" + entities + "]>\n<p><version>1.0.0</version>" +
                                         Namespaces("<namespace path=\"&e9;\"><description>d</description>"
                                                    "</namespace>") +
                                         "</p>");
    EXPECT_FALSE(inner.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    // Elements nested beyond libxml2's depth limit make the document unreadable.
    std::string deep;
    for (int i = 0; i < 300; ++i) {
        deep += "<d>";
    }
    for (int i = 0; i < 300; ++i) {
        deep += "</d>";
    }
    const std::string deepFile = Write(Descriptor(Namespaces(NamespaceXml("a", "b")) + deep));
    EXPECT_EQ("Unable to parse XML descriptor: " + deepFile, InnerErrorOfFile(deepFile));

    EXPECT_EQ(fdsBefore, CorvaneTest::CountOpenFds());
}

TEST_F(XmlPluginTest, RegistersBelowTheRootAndSharesTopLevelNamespaces) {
    auto root = RootNamespace::New(nullptr);
    // The command comes before its namespace in the file; the pending list has namespaces first.
    auto first = Load(
        Descriptor("<commands>" + CommandXml("shared.a.run", "<input-spec/>" + kCommandTail) + "</commands>" +
                   Namespaces(NamespaceXml("shared", "Shared things") + NamespaceXml("shared.a", "A"))));
    first->RegisterNamespaces(root);
    auto shared = root->GetNamespaceNode("shared");
    ASSERT_TRUE(shared);
    EXPECT_EQ(first->GetPendingRegistrations().at(0).second, shared);
    EXPECT_EQ("run",
              root->GetNamespaceNode("shared")->GetNamespaceNode("a")->GetNamespaceNode("run")->GetName());

    // A second descriptor with the same top-level namespace and description puts its nodes into the
    // existing one; its own namespace object stays unregistered.
    auto second = Load(
        Descriptor(Namespaces(NamespaceXml("shared", "Shared things") + NamespaceXml("shared.b", "B")) +
                   "<commands>" + CommandXml("shared.b.go", "<input-spec/>" + kCommandTail) + "</commands>"));
    second->RegisterNamespaces(root);
    EXPECT_EQ(shared, root->GetNamespaceNode("shared"));
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), shared->GetNamespaceNodeNames());
    EXPECT_FALSE(second->GetPendingRegistrations().at(0).second->GetParent());
    EXPECT_EQ((std::list<std::string>{"shared", "b", "go"}),
              shared->GetNamespaceNode("b")->GetNamespaceNode("go")->GetPath());

    // Conflicts are found before this plugin registers anything.
    auto differing =
        Load(Descriptor(Namespaces(NamespaceXml("early", "E") + NamespaceXml("shared", "Other"))));
    EXPECT_THROW_MSG(differing->RegisterNamespaces(root),
                     "Duplicate top-level namespaces must have the same description: shared");
    auto nested = Load(Descriptor(Namespaces(NamespaceXml("early", "E") + NamespaceXml("shared.a", "A"))));
    EXPECT_THROW_MSG(nested->RegisterNamespaces(root), "Varnok path is already registered: shared.a");
    auto command =
        Load(Descriptor(Namespaces(NamespaceXml("early", "E")) + "<commands>" +
                        CommandXml("shared.a.run", "<input-spec/>" + kCommandTail) + "</commands>"));
    EXPECT_THROW_MSG(command->RegisterNamespaces(root), "Varnok path is already registered: shared.a.run");
    auto commandOverNamespace =
        Load(Descriptor("<commands>" + CommandXml("shared", "<input-spec/>" + kCommandTail) + "</commands>"));
    EXPECT_THROW_MSG(commandOverNamespace->RegisterNamespaces(root),
                     "Varnok path is already registered: shared");
    EXPECT_FALSE(root->GetNamespaceNode("early"));
    EXPECT_EQ((std::vector<std::string>{"shared"}), root->GetNamespaceNodeNames());
}

TEST_F(XmlPluginTest, RegistrationFailuresFoundWhileRegistering) {
    auto root = RootNamespace::New(nullptr);
    // A command whose namespace no descriptor declares fails once its turn comes; the entries before
    // it stay registered.
    auto orphan = Load(Descriptor(Namespaces(NamespaceXml("kept", "K")) + "<commands>" +
                                  CommandXml("nowhere.b.c", "<input-spec/>" + kCommandTail) + "</commands>"));
    try {
        orphan->RegisterNamespaces(root);
        ADD_FAILURE() << "registered a command without its namespace";
    } catch (const CorvaneException& e) {
        EXPECT_EQ(std::string("Unable to find a command or namespace with the name 'nowhere' in namespace "),
                  std::string(e.what()).substr(0, 76));
    }
    EXPECT_TRUE(root->GetNamespaceNode("kept"));
    EXPECT_FALSE(root->GetNamespaceNode("nowhere"));

    // A namespace must follow its parent in the file.
    auto reversed = Load(Descriptor(Namespaces(NamespaceXml("p.q", "Q") + NamespaceXml("p", "P"))));
    EXPECT_THROW(reversed->RegisterNamespaces(root), CorvaneException);
    EXPECT_FALSE(root->GetNamespaceNode("p"));

    // Names that the tree refuses are refused at registration, not while reading.
    auto badName = Load(Descriptor(Namespaces(NamespaceXml("Bad-Name", "B"))));
    EXPECT_THROW(badName->RegisterNamespaces(root), CorvaneException);
    EXPECT_FALSE(root->GetNamespaceNode("Bad-Name"));
}

} // namespace
