// Tests of XmlPlugin: descriptor reading with its checks and messages, path splitting, registration.
#include <corvane/plugins.h>

#include "test_support.h"

#include <boost/algorithm/string/replace.hpp>

#include <chrono>
#include <map>

using namespace Corvane::AutoCli;
using Corvane::CallSpec::Input;

namespace {

const CorvaneTest::TempDir dir;
const std::string kTail = "<output-spec/><format-parameters/><execute>x</execute>";

// A descriptor file: `body` after the version element, or the whole text when `raw`.
std::string Write(const std::string& body, bool raw = false) {
    static int count = 0;
    return dir.WriteFile(std::to_string(++count) + ".xml",
                         raw ? body : "<p><version>1.0.0</version>" + body + "</p>");
}

std::shared_ptr<XmlPlugin> Load(const std::string& body) {
    auto plugin = XmlPlugin::New(Write(body));
    plugin->Initialize();
    return plugin;
}

// A loaded descriptor as text: each pending path with its node's name and description, and for a command
// its default format, execute and stdin templates, declared output and contexts.
std::string Summary(const XmlPlugin& plugin) {
    std::string text;
    for (const auto& [path, node] : plugin.GetPendingRegistrations()) {
        text += path + ":" + node->GetName() + ":" + node->GetDescription() + ";";
        if (auto command = std::dynamic_pointer_cast<ExtensionCommand>(node)) {
            const auto format = command->GetDefaultOutputFormatParameters();
            const auto root = command->GetOutputSpecInternal()->GetRootObject();
            text += " " + format.GetFormatter() + "[";
            for (const auto& [key, value] : format.GetParameters()) {
                text.append(key).append("=").append(value).append(",");
            }
            text += "] " + command->SubstituteInput(Input::New(), false) + "|" +
                    command->SubstituteInput(Input::New(), true) + "| " +
                    (root ? root->ToString() : "no root") +
                    (command->GetInputSpec()->IsContextSupported("user") ? " user" : "");
        }
    }
    return text;
}

// The parameters of the first pending command: name, type, flags, short name, description and constraint.
std::string Parameters(const XmlPlugin& plugin) {
    static const char* types[] = {"string", "int", "bool", "flag", "string-list", "int-list", "bool-list"};
    std::string text;
    auto command = std::dynamic_pointer_cast<ExtensionCommand>(plugin.GetPendingRegistrations().at(0).second);
    for (const auto& p : command->GetInputSpecInternal()->GetParameters()) {
        text += p->GetName() + " " + types[p->GetType()] + (p->IsRequired() ? " required" : "") +
                (p->IsSecret() ? " secret" : "") + " -" + p->GetShortName() + " " + p->GetDescription(false) +
                (p->GetConstraint() ? ": " + p->GetConstraint()->ToString() : "") + ";";
    }
    return text;
}

// Rows are "kind|part|outcome", %F standing for the file. The kind puts the part in place: R is the whole
// file, D follows the version, C is inside command a.b, O after its input-spec, P inside that, S and I inside
// its string or int parameter cp. The outcome is the inner message, with the wrappings of the kind added, or
// "+" and the Summary (for P, S and I the Parameters) of the loaded descriptor. Initialize must wrap every
// message in its own, print nothing, and not take long on hostile documents.
void ExpectRows(const std::vector<std::string>& rows) {
    // clang-format off
    const std::string command = R"(<commands><command path="a.b">)", end = "</command></commands>", wrap = "Unable to register the command 'varnok a.b'  Error was ";
    const std::string param = R"(<input-spec><parameter name="cp" required="true" type=")", description = R"("><description>d</description>)";
    const std::string inConstraint = wrap + "Unable to build parameter constraint for parameter cp.  Error was: ", close = "</parameter></input-spec>" + kTail + end;
    const std::map<char, std::vector<std::string>> kinds = {
        {'R', {"", "", ""}}, {'D', {"", "", ""}}, {'C', {command, end, wrap}}, {'O', {command + "<input-spec/>", end, wrap}},
        {'P', {command + "<input-spec>", "</input-spec>" + kTail + end, wrap}},
        {'S', {command + param + "string" + description, close, inConstraint}}, {'I', {command + param + "int" + description, close, inConstraint}}};
    // clang-format on
    for (const auto& row : rows) {
        const auto bar = row.find('|', 2);
        const auto& kind = kinds.at(row[0]);
        const std::string file = Write(kind[0] + row.substr(2, bar - 2) + kind[1], row[0] == 'R');
        const std::string prefix =
            "Unable to handle XML Plugin " + file + ".  There was an error while parsing: ";
        const std::string expected = row.substr(bar + 1);
        std::string outcome;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ("", CorvaneTest::CaptureFd(2, [&] {
                      try {
                          auto plugin = XmlPlugin::New(file);
                          plugin->Initialize();
                          outcome = "+" + (std::string("PSI").find(row[0]) == std::string::npos
                                               ? Summary(*plugin)
                                               : Parameters(*plugin));
                      } catch (const Corvane::CorvaneException& e) {
                          outcome = e.what();
                      }
                  }));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_EQ(expected[0] == '+' ? expected
                                     : boost::replace_all_copy(
                                           std::string(prefix).append(kind[2]).append(expected), "%F", file),
                  outcome)
            << row;
    }
}

} // namespace

TEST(XmlPluginTest, EveryCheckHasItsOwnNestedMessage) {
    const int fdsBefore = CorvaneTest::CountOpenFds();
    std::string laughs = "<!DOCTYPE p [<!ENTITY e0 '0123456789'>";
    for (int i = 1; i <= 9; ++i) {
        laughs += "<!ENTITY e" + std::to_string(i) + " '" +
                  boost::replace_all_copy(std::string("&;&;&;&;&;&;&;&;&;&;"), ";",
                                          "e" + std::to_string(i - 1) + ";") +
                  "'>";
    }
    // clang-format off
    const std::string unparsable = "Unable to parse XML descriptor: %F", p1 = R"(<parameter name="p1" type="int" required="true")";
    const std::string version = "Unknown varnok extention version.  Valid versions are: '1.0.0'", d = "<description>d</description>";
    const std::string dup = "Illegal Duplicate tags found.  The tag %s was expected only once, but was found multiple times.";
    const std::string ns = "Unable to register a namespace without valid 'path' attribute or <description> being present.";
    const std::string type = "Missing or invalid constraint 'type', must be one of [stringenum, intenum, regex, range] got '";
    const std::string range = "Error parsing 'range' parameter constraint.  Range requires both 'min' and 'max' attributes and that both are integers.";
    const std::string noData = "Error parsing parameter constraint.  There was no data included inside the <constraint> tag for the given constraint type";
    const std::string noName = "Error parsing 'meta-data-entry', missing required attribute 'name'", noInput = "Unable to find <input-spec> element, which is required for a command.";
    const std::string bad = "Unable to parse Input Paramter p1. ", spec = "Unable to build output spec.  Error was ", tail = "<format-parameters/><execute>x</execute>";
    ExpectRows({
        // The file, its version and the top-level elements.
        "R||" + unparsable, "D|<namespaces/>" + boost::replace_all_copy(std::string(300, '.'), ".", "<d>") + boost::replace_all_copy(std::string(300, '.'), ".", "</d>") + "|" + unparsable,
        "R|<p><version> 1.0.0</version><namespaces/></p>|" + version, "R|<p><namespaces/></p>|" + version,
        "R|<p><version>1.0.0</version><version>2</version></p>|" + boost::replace_all_copy(dup, "%s", "version"), "R|<p><version/><version>1.0.0</version><namespaces/></p>|+",
        "D|<namespaces/>|+", "D|<commands/>|+", "D|<other/>|Unable to find any namespaces or commands to register for plugin %F",
        // Namespaces come first, in document order; names are given at registration; the last non-empty text wins.
        R"(D|<commands><command path="n.up"><input-spec/>)" + kTail + R"(</command></commands><namespaces><namespace path="n"><description>N</description></namespace>)"
            R"(<other/><namespace path="n.f"><description/><description>F</description></namespace></namespaces>|+n::N;n.f::F;n.up::; [] x|| no root)",
        // Namespaces, and what is checked outside a command's own wrapping.
        "D|<namespaces><namespace>" + d + "</namespace></namespaces>|" + ns, R"(D|<namespaces><namespace path="a"><description/></namespace></namespaces>|)" + ns,
        R"(D|<commands><command path=""><input-spec/>)" + kTail + "</command></commands>|Invalid command specification found.  <command> tags must have a non-empty 'path' attribute",
        R"(D|<commands><command path="a.b">)" + d + d + "<input-spec/>" + kTail + "</command></commands>|" + boost::replace_all_copy(dup, "%s", "description"),
        // Commands. Texts are not trimmed; unknown children are ignored; later format parameters and stdin win.
        "C|<description> Shows\n</description><input-spec><context-supported>user</context-supported><x/></input-spec><output-spec/><format-parameters>"
            R"(<formatter>table</formatter><format-parameter name="c">a</format-parameter><format-parameter name="c">n,p</format-parameter><format-parameter>u)"
            "</format-parameter><ignored/></format-parameters><execute>run --all</execute><stdin/><stdin>hi\n</stdin>|+a.b:: Shows\n; table[=u,c=n,p,] run --all|hi\n| no root user",
        R"(C|<description/><description>b</description><input-spec/><output-spec><!-- t --><structure typeName="R"><field name="port"><int>0</int></field>)"
            "</structure></output-spec>" + tail + "|+a.b::b; [] x|| {'port' => '0', }",
        "C|<output-spec/>" + tail + "|" + noInput, "C|<input-spec/>" + tail + "|Unable to find <output-spec> element, which is required for a command.",
        "C|<input-spec/><output-spec/><execute>x</execute>|Unable to find <format-parameters> element, which is required for a command.",
        "C|<input-spec/><output-spec/><format-parameters/><execute></execute>|Missing or empty <execute> tag.  This tag must specify a valid execution string for this command.",
        "C|<input-spec/><input-spec/>" + kTail + "|More than one instance of input-spec found, expected only one.",
        "C|<input-spec/>" + kTail + "<stdin>x</stdin><stdin>y</stdin>|" + boost::replace_all_copy(dup, "%s", "stdin"),
        R"(C|<meta-data><meta-data-entry name="a">x</meta-data-entry><entry/></meta-data><input-spec/>)" + kTail + "|Found unexpected tag while building meta-data set.  Unexpected tag was: entry",
        "C|<meta-data><meta-data-entry>x</meta-data-entry></meta-data><input-spec/>" + kTail + "|" + noName,
        R"(C|<meta-data> <!-- c --> <meta-data-entry/><meta-data-entry name="k">v</meta-data-entry><![CDATA[raw]]></meta-data><input-spec/>)" + kTail + "|+a.b::; [] x|| no root",
        // Parameters: all seven types, and their checks in this order.
        "P|" + p1 + ">" + d + R"(</parameter><parameter name="pw" type="string" required="false" secret="true" shortname="w"><description>Pw</description>)"
            R"(</parameter><parameter name="on" type="bool" required="false" secret="false" shortname="" x="y">)" + d + "</parameter>|+on bool - d;p1 int required - d;pw string secret -w Pw;",
        R"(P|<parameter name="ff" type="flag" required="false">)" + d + R"(</parameter><parameter name="sl" type="string-list" required="false">)" + d +
            R"(</parameter><parameter name="il" type="int-list" required="false">)" + d + R"(</parameter><parameter name="bl" type="bool-list" required="false">)" + d +
            "</parameter>|+bl bool-list - d;ff flag - d;il int-list - d;sl string-list - d;",
        R"(P|<parameter type="nonsense"/>|Unable to parse Input Parameter.  Missing required attribute: 'name')",
        R"(P|<parameter name="p1" type="String"/>|Unable to parse Input Parameter p1. Missing or invalid required attribute: 'type'.  Must be one of [string, string-list, bool, bool-list, int, int-list])",
        R"(P|<parameter name="p1" type="int" required="yes"/>|)" + bad + "Missing or invalid 'required', must be one of ['true', 'false']",
        "P|" + p1 + R"( secret="maybe"/>|)" + bad + "Missing command description",
        "P|" + p1 + R"( secret="yes">)" + d + "</parameter>|" + bad + "Invalid 'secret', must be one of ['true', 'false']",
        "P|" + p1 + R"( secret="true">)" + d + "</parameter>|" + bad + "Invalid type int for secret, must be 'string'",
        // Constraints: of several constraints, enums and ranges the last one wins, even empty; an empty enum-value adds nothing.
        R"(S|<constraint type="stringenum"><enum><enum-value value="a">A</enum-value><!-- c --><enum-value value="b">B</enum-value><enum-value value="c"/></enum>)"
            "</constraint>|+cp string required - d: [a, b];",
        R"(S|<constraint type="regex"><regex>[0-9.]+</regex></constraint>|+cp string required - d: a string matching the regular expression [0-9.]+;)",
        R"(S|<constraint type="regex"><regex>a+</regex></constraint><constraint type="stringenum"><enum><enum-value value="x">X</enum-value></enum><enum/></constraint>|+cp string required - d: [];)",
        R"(I|<constraint type="range"><range min="1" max="5"/><range min=" 1" max="10abc"/></constraint>|+cp int required - d: integer in the range 1-10;)",
        R"(I|<constraint type="intenum"><enum><enum-value value="7">s</enum-value></enum><enum><enum-value value="+3">t</enum-value><enum-value value="-2">m</enum-value>)"
            "</enum></constraint>|+cp int required - d: [3, -2];",
        R"(S|<constraint type="enum"><enum/></constraint>|)" + type + "enum'", "S|<constraint/>|" + type + "'",
        R"(S|<constraint type="stringenum"><enum><enum-value value="a"/><enum-value value="b"></enum-value></enum></constraint>|)" + noData,
        R"(I|<constraint type="range"><range min="1" max="99999999999999999999"/></constraint>|)" + range,
        R"(S|<constraint type="regex"><regex>a</regex><regex/></constraint>|Error parsing regex from parameter constraint.Missing or empty 'regex' tag)",
        R"(I|<constraint type="intenum"><enum><enum-value value="x1">d</enum-value></enum></constraint>|Error parsing integer enumeration. Expected integer, but got x1)",
        R"(S|<constraint type="stringenum"><enum><enum-value>d</enum-value></enum></constraint>|Error parsing 'enum-value', missing required attribute 'value')",
        R"(S|<constraint type="stringenum"><enum><!-- c --> <value/></enum></constraint>|Found unexpected tag while building an enum.  Unexpected tag was: value)",
        // Text interrupted by a comment gives one entry per piece, all with the same value.
        R"(S|<constraint type="stringenum"><enum><enum-value value="a">one<!-- c -->two</enum-value></enum></constraint>|Duplicate Value found in ParameterConstraint::AddStringEnum: a)",
        // Output specification and format parameters.
        "O|<output-spec><string/> <!-- c --> <int/></output-spec>" + tail + "|Found more than one node under 'output-spec', where only one node is supported.  The tag was int",
        "O|<output-spec><integer/></output-spec>" + tail + "|" + spec + "Unable to make a MetaObject from a node with tag 'integer'",
        "O|<output-spec/><format-parameters><formatter>json</formatter><formatter/></format-parameters><execute>x</execute>|Invalid plugin format.  Duplicate <formatter> tags found",
        // Hostile documents: external entities and DTDs are not read, entity expansion and deep nesting are
        // refused, a file past the size limit is refused unread.
        R"(R|<!DOCTYPE p [<!ENTITY x SYSTEM "file:///etc/passwd">]><p><version>1.0.0</version><namespaces><namespace path="a"><description>&x;</description></namespace></namespaces></p>|)" + ns,
        R"(R|<!DOCTYPE p SYSTEM "http://127.0.0.1:9/none.dtd"><p><version>1.0.0</version><namespaces/></p>|+)",
        "R|" + laughs + R"(]><p><version>1.0.0</version><namespaces><namespace path="&e9;">)" + d + "</namespace></namespaces></p>|" + unparsable,
        "D|<namespaces/>" + std::string(XmlPlugin::MaxDescriptorBytes, ' ') + "|" + unparsable + ".  It is larger than " + std::to_string(XmlPlugin::MaxDescriptorBytes) + " bytes"});
    // clang-format on
    EXPECT_EQ(fdsBefore, CorvaneTest::CountOpenFds());
}

namespace {

// The tree below a node: each child's name and description, its children in braces.
std::string Tree(NamespaceNode& node) {
    std::string text;
    for (const auto& child : node.GetNamespaceNodes()) {
        text += child->GetName() + "(" + child->GetDescription() + ")" +
                (child->GetType() == CommandType ? "" : "{" + Tree(*child) + "}");
    }
    return text;
}

std::string NamespaceEntry(const std::string& path, const std::string& description) {
    return R"(<namespace path=")" + path + R"("><description>)" + description + "</description></namespace>";
}

std::string CommandEntry(const std::string& path) {
    return R"(<command path=")" + path + R"("><input-spec/>)" + kTail + "</command>";
}

// Loads a descriptor of these entries and registers it in `root`: the message it fails with, or "".
std::string Register(const std::shared_ptr<RootNamespace>& root, const std::string& namespaces,
                     const std::string& commands, std::shared_ptr<XmlPlugin>* loaded = nullptr) {
    auto plugin = Load("<namespaces>" + namespaces + "</namespaces><commands>" + commands + "</commands>");
    if (loaded) {
        *loaded = plugin;
    }
    try {
        plugin->RegisterNamespaces(root);
    } catch (const Corvane::CorvaneException& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(XmlPluginTest, RegistrationSharesTopLevelNamespacesAndRefusesConflictsUpFront) {
    auto ns = NamespaceEntry;
    auto command = CommandEntry;
    auto root = RootNamespace::New(nullptr);
    // Rows: namespaces, commands, the message of RegisterNamespaces or nothing, and the tree after it. The
    // second descriptor puts its nodes into the first one's top-level namespace of the same description;
    // conflicts are found before a descriptor registers anything, so "early" never appears; the rest only
    // while registering, which keeps the entries before.
    const std::string both = "s(S){a(A){run()}b(B){go()}}",
                      unknown = "Unable to find a command or namespace with the name '";
    // clang-format off
    const std::vector<std::string> rows[] = {
        {ns("s", "S") + ns("s.a", "A"), command("s.a.run"), "", "s(S){a(A){run()}}"}, {ns("s", "S") + ns("s.b", "B"), command("s.b.go"), "", both},
        {ns("early", "E") + ns("s", "Other"), "", "Duplicate top-level namespaces must have the same description: s", both},
        {ns("early", "E") + ns("s.a", "A"), "", "Varnok path is already registered: s.a", both},
        {ns("p.q", "Q") + ns("p", "P"), "", unknown + "p' in namespace ", both}};
    // clang-format on
    std::vector<std::shared_ptr<XmlPlugin>> plugins(std::size(rows));
    for (const auto& row : rows) {
        EXPECT_EQ(row[2], Register(root, row[0], row[1], &plugins[&row - rows])) << row[0];
        EXPECT_EQ(row[3], Tree(*root)) << row[0];
    }
    EXPECT_EQ(nullptr, plugins[1]->GetPendingRegistrations().at(0).second->GetParent())
        << "the shared one stays out";

    EXPECT_THROW_MSG(XmlPlugin::New(Write("<namespaces/>"))->GetFormatter("json"),
                     "Xml Plugin doesn't not support formatters");
    EXPECT_EQ((std::list<std::string>{"", "a", "", "b c"}), XmlPlugin::SplitPath(".a..b c."));
    EXPECT_TRUE(XmlPlugin::SplitPath("").empty());
}

// Parents are found again whenever the path before an entry's last word changes.
TEST(XmlPluginRegistrationTest, ParentsAreFoundAgainWheneverThePathBeforeTheLastWordChanges) {
    const std::string onCommand = "Unable to find a namespace or command with the name 'x' on the command "
                                  "'a run'. Commands cannot have sub-commands or sub-namespaces.";
    const std::string ab = NamespaceEntry("a", "A") + NamespaceEntry("a.b", "B");
    // clang-format off
    const std::vector<std::string> rows[] = {
        // Back and forth between two parents.
        {ab, CommandEntry("a.b.c1") + CommandEntry("a.b.c2") + CommandEntry("a.c3") + CommandEntry("a.b.c4"), "", "a(A){b(B){c1()c2()c4()}c3()}"},
        // Entries below a command of the same descriptor: the command answers, after what came before.
        {NamespaceEntry("a", "A"), CommandEntry("a.run") + CommandEntry("a.run.x") + CommandEntry("a.run.y"), onCommand, "a(A){run()}"},
        // A failure after entries of the descriptor were registered keeps them.
        {ab, CommandEntry("a.b.c") + CommandEntry("z.y.x") + CommandEntry("a.b.d"), "Unable to find a command or namespace with the name 'z' in namespace ", "a(A){b(B){c()}}"}};
    // clang-format on
    for (const auto& row : rows) {
        auto root = RootNamespace::New(nullptr);
        EXPECT_EQ(row[2], Register(root, row[0], row[1])) << row[1];
        EXPECT_EQ(row[3], Tree(*root)) << row[1];
    }
}

namespace {

// The meta-data of the first pending command as name=value lines, then its effect.
std::string MetaData(const std::string& entries) {
    auto plugin = Load(R"(<commands><command path="a.b"><meta-data>)" + entries +
                       "</meta-data><input-spec/>" + kTail + "</command></commands>");
    auto command =
        std::dynamic_pointer_cast<ExtensionCommand>(plugin->GetPendingRegistrations().at(0).second);
    std::string text;
    for (const auto& [name, value] : command->GetMetaData()) {
        text += name + "=" + value + "\n";
    }
    return text + "effect: " + command->GetEffect();
}

// Entries with content are kept as written, the later of two winning; only three words are effects.
TEST(XmlPluginTest, MetaDataEntriesAreKeptAndAnEffectIsOneOfThreeWords) {
    const struct {
        std::string entries;
        std::string expected;
    } cases[] = {
        {R"(<meta-data-entry name="effect">read</meta-data-entry>)", "effect=read\neffect: read"},
        {R"(<meta-data-entry name="effect">change</meta-data-entry>)", "effect=change\neffect: change"},
        {R"(<meta-data-entry name="effect">destroy</meta-data-entry>)", "effect=destroy\neffect: destroy"},
        {R"(<meta-data-entry name="effect">Read</meta-data-entry>)", "effect=Read\neffect: "},
        {R"(<meta-data-entry name="effect"> read</meta-data-entry>)", "effect= read\neffect: "},
        {R"(<meta-data-entry name="effect">read</meta-data-entry><meta-data-entry name="effect">destroy</meta-data-entry>)",
         "effect=destroy\neffect: destroy"},
        {R"(<meta-data-entry name="effect"/><meta-data-entry name="owner">ops</meta-data-entry>)",
         "owner=ops\neffect: "},
        {R"(<meta-data-entry name="effect">re<!-- c -->ad</meta-data-entry>)", "effect=ad\neffect: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entries);
        EXPECT_EQ(c.expected, MetaData(c.entries));
    }
}

} // namespace
