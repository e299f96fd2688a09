// Tests of ExtensionCommand: template filling, escaping helpers and running real shells.
#include <corvane/plugins.h>

#include "test_support.h"

#include <cstdlib>
#include <optional>

namespace {

using namespace Corvane::AutoCli;
using namespace Corvane::CallSpec;
using Corvane::MetaObj::MetaString;
using Values = std::vector<std::pair<std::string, std::string>>;

// A command declaring these optional parameters, with the given templates.
std::shared_ptr<ExtensionCommand> MakeCommand(const std::string& commandTemplate,
                                              const std::string& stdinTemplate = "") {
    const auto S = ParameterType::String, L = ParameterType::StringList, F = ParameterType::Flag;
    const std::pair<const char*, ParameterType> params[] = {{"xx", S}, {"yy", S}, {"nn", S},
                                                            {"ip", L}, {"ll", L}, {"vv", F}};
    auto spec = InputSpec::New();
    for (const auto& [name, type] : params) {
        auto parameter = ParameterSpec::New(name, type);
        parameter->SetRequired(false);
        spec->AddParameter(parameter);
    }
    auto command = ExtensionCommand::New();
    command->SetInputSpec(spec);
    command->SetOutputSpec(OutputSpec::New());
    command->SetExecuteCommand(commandTemplate);
    command->SetStdin(stdinTemplate);
    return command;
}

std::shared_ptr<Input> MakeInput(const std::shared_ptr<ExtensionCommand>& command, const Values& values) {
    auto input = Input::New();
    for (const auto& [name, value] : values) {
        input->AddParameter(name, value);
    }
    input->SetInputSpec(command->GetInputSpec());
    return input;
}

std::string Fill(const std::string& tmpl, const Values& values, bool forStdin = false) {
    auto command = MakeCommand(forStdin ? "" : tmpl, forStdin ? tmpl : "");
    return command->SubstituteInput(MakeInput(command, values), forStdin);
}

// Sets (or with null unsets) an environment variable for the lifetime of the object.
struct ScopedEnv {
    ScopedEnv(const char* name, const char* value) : name(name) {
        if (const char* current = std::getenv(name)) {
            old = current;
        }
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { old ? setenv(name, old->c_str(), 1) : unsetenv(name); }
    const char* name;
    std::optional<std::string> old;
};

TEST(ExtensionCommand, BadCharsAndEscapingHelpers) {
    const std::string bad = std::string("\n") + "!\"$&'()*;<>\\^`|";
    for (int c = 0; c < 256; ++c) {
        EXPECT_EQ(c != 0 && bad.find(static_cast<char>(c)) != std::string::npos,
                  isBadChar(static_cast<char>(c)))
            << "byte " << c;
    }

    auto command = ExtensionCommand::New();
    EXPECT_EQ("\\\n\\!\\\"\\$\\&\\'\\(\\)\\*\\;\\<\\>\\\\\\^\\`\\|", command->SanitizeInput(bad));
    // '#' is escaped too, so that no value can start a comment; these stay as they are.
    EXPECT_EQ("a\\#b", command->SanitizeInput("a#b"));
    const std::string plain = " \t%?~[]{}=,-\xc3\xa9\x7f\x01";
    EXPECT_EQ(plain, command->SanitizeInput(plain));

    EXPECT_EQ("ab", command->SanitizeChar("a'b", '\''));
}

TEST(ExtensionCommand, FillsTemplatesAsDocumentedOrRefuses) {
    struct Case {
        std::string tmpl;
        Values values;
        std::string expected;
        bool forStdin = false;
    };
    const Values ab{{"ip", "a"}, {"ip", "b;c"}}, ips{{"ip", "1.2.3.4"}, {"ip", "5\"6"}};
    const Case cases[] = {
        {"plain `text` ;", {{"xx", "a;b|c"}}, "plain `text` ;", true},
        {"echo '$val{xx}'", {{"xx", "a'b"}}, "echo 'a'\\''b'"},
        {"run $if{nn,--name $val{nn}} end", {{"nn", "bob"}}, "run --name bob end"},
        {"set$multilist{ip,--ip,true}", ips, "set --ip \"1.2.3.4\" --ip \"5\\\"6\""},
        {"$list{ip,',',false}", ab, "a,b\\;c"},
        {"$list{ip,',',true}", ab, "\"a,b;c\""},
        {"echo $val{xx} $list{ip,',',false}", {}, "echo $val{xx} $list{ip,',',false}"},
        // The last construct supplies separator, prefix and quoting for every occurrence.
        {"$list{ip,'-',false} $list{ip,';',true}", {{"ip", "a"}, {"ip", "b"}}, "\"a;b\" \"a;b\""},
        {"$multilist{ip,-x,false}$multilist{ip,-y,true}", {{"ip", "1"}}, " -y \"1\" -y \"1\""},
        // The standard-input template takes values as they are.
        {"in $val{xx} $list{ip,'',true}", {{"xx", "a'b;$(c)"}, {"ip", "a"}}, "in a'b;$(c) \"a\"", true},
        // Leftover $if constructs go whole, nested braces included; other $ text stays.
        {"x $if{nn,--flag $val{nn}} y ${HOME} z", {{"xx", "1"}}, "x  y ${HOME} z"},
        {"a $if{nn,{{}}}b", {{"xx", "1"}}, "a b"},
        {"p $if{xx,-a $val{xx}}", {{"xx", "x}y"}}, "p -a x}y"},
        // A glued template # stays in its word after a value that leaves a word start behind it.
        {"p $multilist{ll,X,false}# rest", {{"ll", "\n"}}, "p  X \\\n''# rest"},
        {"p $val{xx}#t $val{yy}#u $val{nn} #", {{"xx", ""}, {"yy", "a\t"}, {"nn", ""}}, "p ''#t a\t''#u  #"},
        {"p $val{xx}# \\$val{yy}# ${v:-#}", {{"xx", "a\n"}, {"yy", "\n"}}, "p a\\\n# \\\n\\\n''# ${v:-#}"},
        // A template backslash before an empty value is undone only where it would escape syntax.
        {"p \\$val{xx};\\$val{yy}a \"\\$val{xx}\" # c", {{"xx", ""}, {"yy", ""}}, "p \\\n;\\a \"\\\n\" # c"},
        // Inside $'...' a value loses its quotes and backslashes.
        {"echo $'a$val{xx}'", {{"xx", "'\\b"}}, "echo $'ab'"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tmpl);
        EXPECT_EQ(c.expected, Fill(c.tmpl, c.values, c.forStdin));
    }

    // Present without values: $multilist gives nothing, $list the empty text (quoted when asked).
    auto command = MakeCommand("a $multilist{ll,-x,true} b $list{ll,',',true}");
    auto input = MakeInput(command, {});
    input->GetParameters()["ll"];
    EXPECT_EQ("a  b \"\"", command->SubstituteInput(input, false));

    // A template holding every byte but the shell's and the template's own still works.
    std::string all;
    for (int c = 1; c < 256; ++c) {
        if (std::string("\"'\\`$#<>(){}|;&").find(static_cast<char>(c)) == std::string::npos) {
            all += static_cast<char>(c);
        }
    }
    EXPECT_EQ(all + " v\\;", Fill(all + " $val{xx}", {{"xx", "v;"}}));
    EXPECT_EQ(all + " v;", Fill(all + " $val{xx}", {{"xx", "v;"}}, true));

    // $val on a flag parameter, and values where no escaping holds, end the filling.
    EXPECT_THROW_MSG(Fill("run $val{vv}", {{"vv", ""}}),
                     "Request for GetParameter on a flag type parameter: vv");
    const std::string refused = "Unable to fill the command template: a parameter value would ";
    EXPECT_THROW_MSG(Fill("echo `echo $val{xx}`", {{"xx", "x"}}),
                     refused + "stand inside backquotes; the template must use $(...) instead");
    EXPECT_THROW_MSG(Fill("echo $'a\\'' $val{xx}", {{"xx", "x"}}),
                     refused + "follow $'...' quoting that holds a backslash, "
                               "which shells read in different ways");
    EXPECT_THROW_MSG(Fill("cat <<EOF\n$val{xx}\nEOF\necho hi", {{"xx", "EOF"}}),
                     refused + "end the here-document delimited by EOF");
    EXPECT_THROW_MSG(Fill("echo \"$$val{xx}\"", {{"xx", "(id)"}}),
                     refused + "follow a $ of the template and start a substitution with it");
    // Where shells read quoting in different ways, or not as words at all.
    const std::pair<const char*, const char*> unread[] = {
        {"echo \"${HOME:-$val{xx}}\"", "stand inside ${...}, whose quoting shells read in different ways"},
        {"echo ${x#$val{xx}}", "stand inside ${...}, whose quoting shells read in different ways"},
        {"echo ${$val{xx}}", "stand inside ${...}, whose quoting shells read in different ways"},
        {"echo $((1 + $val{xx}))", "stand inside $((...)), which the shell reads as arithmetic"},
        {"case $1 in $val{xx}) echo y;; esac", "stand in a case pattern, which the shell reads as a pattern"},
        {"x=$(case $1 in a) ;; \"$val{xx}\") echo y;; esac)",
         "stand in a case pattern, which the shell reads as a pattern"},
        {"case $1 in a) ;; (b|$list{ll,',',true}) ;; esac",
         "stand in a case pattern, which the shell reads as a pattern"}};
    for (const auto& [tmpl, why] : unread) {
        EXPECT_THROW_MSG(Fill(tmpl, {{"xx", "v"}, {"ll", "v"}}), refused + why);
    }
    // Next to those places values are filled as before.
    const std::pair<const char*, const char*> followed[] = {
        {"echo ${HOME} $val{xx} $((1+2))", "echo ${HOME} a\\;b $((1+2))"},
        {"case $val{xx} in a) echo $val{xx};; esac; echo $val{xx}",
         "case a\\;b in a) echo a\\;b;; esac; echo a\\;b"},
        {"echo case x in $val{xx})", "echo case x in a\\;b)"},
        {"echo \"$(case x in x) echo '$val{xx}';; esac)\"", "echo \"$(case x in x) echo 'a;b';; esac)\""}};
    for (const auto& [tmpl, filled] : followed) {
        EXPECT_EQ(filled, Fill(tmpl, {{"xx", "a;b"}})) << tmpl;
    }
    // A NUL would end the C string the shell gets: `rm -rf /data/$val{x}/cache` would lose "/cache".
    EXPECT_THROW_MSG(Fill("rm -rf /data/$val{xx}/cache", {{"xx", std::string("a\0b", 3)}}),
                     "Unable to fill the command template: a parameter value holds a NUL byte, which a "
                     "shell command cannot carry");
}

TEST(ExtensionRun, OutputBecomesTheResultOrErrors) {
    CorvaneTest::TempDir dir;
    ScopedEnv clearUser("ZU_USERNAME", nullptr);
    const std::string env = dir.WriteFile("env.sh",
                                          "#!/bin/sh\nu=$(printenv ZU_USERNAME) || u=none\n"
                                          "printf '<o><string>%s|%s</string></o>' \"${LANG-unset}\" \"$u\"\n",
                                          0755);
    const std::string none = "<no string root>", head = "Got no data from process.\nCommand \"";
    const std::string noSpec = "No root object set for output spec. Root object for output spec must be set "
                               "for proper validation of output.",
                      implementation = "Implementation error! The output of this command does not match "
                                       "the declared output type, see errors above.";
    struct Case {
        std::string tmpl;
        std::vector<std::string> errors;
        std::string root;
        const char* lang = "C";
        const char* user = nullptr; // null: no user context declared, and the call's user is alice
    };
    const Case cases[] = {
        // $val{xx} is it's;a|`c`$(x) and the standard-input template <o><string>$val{xx}</string></o>.
        {"cat", {}, "it's;a|`c`$(x)"},
        {"printf 'ERROR: disk full\\nsecond line\\nERROR:late\\n'", {" disk full"}, none},
        {"printf 'ERROR:a\\nERROR:\\nERROR:last'", {"a", "", "last"}, none},
        // A later ERROR: line is no error; the document is read.
        {"printf '<o>\\nERROR: y\\n<string>ERROR:x</string></o>\\n'", {}, "ERROR:x"},
        // Output that is not a document says why before the messages of the output check.
        {"echo not xml",
         {"Output of the program is not well-formed XML: line 1, column 1: Document is empty", noSpec,
          implementation},
         none},
        {"printf '<o>\\n <!-- c -->\\n</o>\\n'",
         {"Output of the program is not a valid output document: line 1: root element <o> holds no value "
          "element",
          noSpec, implementation},
         none},
        {"printf '<o>\\n<integer>1</integer></o>'",
         {"Output of the program is not a valid output document: line 2: element <integer> is refused",
          "Unable to parse output of Extension Command: Error parsing command output.  Unable to build "
          "a proper metaobject from output tag.  output must contain properly formatted tags of type "
          "bool, int, string, structure and list. Error was : Unable to make a MetaObject from a node "
          "with tag 'integer'"},
         none},
        {"exit 3", {head + "exit 3\"\nexited with error code: 3"}, none},
        {"kill -9 $$", {head + "kill -9 $$\"\nterminated by signal 9"}, none},
        {"exit 2", {head + "LANG=en_US.UTF-8 exit 2\"\nexited with error code: 2"}, none, nullptr},
        {"exit 1", {head + "exit 1\"\nexited with error code: 1"}, none, "C", "bob"},
        {env, {}, "en_US.UTF-8|none", nullptr},
        {env, {}, "|none", ""}, // set but empty counts as set
        {env, {}, "C|none"},
        {env, {}, "C|O'Brien $(x) `y`;", "C", "O'Brien $(x) `y`;"},
        {env, {}, "C|none", "C", ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tmpl + " user " + (c.user ? c.user : "(none)"));
        ScopedEnv lang("LANG", c.lang);
        auto command = MakeCommand(c.tmpl, "<o><string>$val{xx}</string></o>");
        if (c.user) {
            command->GetInputSpec()->SetContextSupported("user");
        }
        auto input = MakeInput(command, {{"xx", "it's;a|`c`$(x)"}});
        input->SetContext("user", c.user ? c.user : "alice");
        auto output = Output::New();
        CorvaneTest::CaptureFd(2, [&] { command->ExecuteInternal(input, output); });
        EXPECT_EQ(c.errors, output->GetErrors());
        auto root = std::dynamic_pointer_cast<MetaString>(output->GetRootObject());
        EXPECT_EQ(c.root, root ? root->GetValue() : none);
    }
}

} // namespace

namespace {

// The command in the no-data message holds each value as messages repeat it; the template's text,
// its line feed included, stays as written.
TEST(ExtensionCommandTest, NoDataMessageShowsValuesCutAndEscaped) {
    ScopedEnv lang("LANG", "C");
    auto command = MakeCommand("true $val{xx}\ntrue '$val{yy}'");
    auto input = MakeInput(command, {{"xx", std::string(300, 'x')}, {"yy", "a\x1b[2Jb"}});
    auto output = Output::New();
    command->ExecuteInternal(input, output);
    EXPECT_EQ(std::vector<std::string>{"Got no data from process.\nCommand \"true " + std::string(200, 'x') +
                                       "... \\(300 bytes\\)\ntrue 'a\\x1B[2Jb'\"\nexited with error code: 0"},
              output->GetErrors());
}

} // namespace

TEST(ExtensionCommand, PlanRunGivesTheShellTextAndStandardInputOfARun) {
    auto command = MakeCommand("prog $val{xx}", "in=$val{xx}\n");
    auto input = MakeInput(command, {{"xx", "a b"}});
    std::string shell;
    std::string stdinText;
    {
        ScopedEnv lang("LANG", nullptr);
        command->PlanRun(input, shell, stdinText);
        EXPECT_EQ("LANG=en_US.UTF-8 prog a b", shell);
        EXPECT_EQ("in=a b\n", stdinText);
    }
    ScopedEnv lang("LANG", "C");
    command->GetInputSpec()->SetContextSupported("user");
    input->SetContext("user", "o'k");
    command->PlanRun(input, shell, stdinText);
    EXPECT_EQ("ZU_USERNAME='o'\\''k' prog a b", shell);
    // Without a user name the command is run unchanged.
    input->SetContext("user", "");
    command->PlanRun(input, shell, stdinText);
    EXPECT_EQ("prog a b", shell);
}
