// Property tests of command templates run by real shells: values stay data and reach the program as promised.
#include <corvane/plugins.h>

#include "test_support.h"

#include <corvane/process.h>

#include <unistd.h>

#include <functional>
#include <optional>
#include <random>
#include <sstream>

namespace {

using Corvane::AutoCli::ExtensionCommand;
using Corvane::AutoCli::isBadChar;
using Corvane::CallSpec::Input;
using Corvane::CallSpec::InputSpec;
using Corvane::CallSpec::Output;
using Corvane::CallSpec::OutputSpec;
using Corvane::CallSpec::ParameterSpec;
using Corvane::CallSpec::ParameterType;
using Args = std::vector<std::string>;

std::string Printable(const std::string& text) {
    std::ostringstream out;
    for (unsigned char c : text) {
        if (c >= 32 && c < 127 && c != '\\')
            out << c;
        else
            out << "\\x" << std::hex << static_cast<int>(c) << std::dec;
    }
    return out.str();
}

std::string Without(const std::string& text, const std::string& drop) {
    std::string out;
    for (char c : text) {
        if (drop.find(c) == std::string::npos)
            out += c;
    }
    return out;
}

// What a program receives from SanitizeInput's text inside double quotes: there a backslash only
// escapes " $ ` \ and line feed (a continuation, which removes both); before other bytes it stays.
std::string SeenInDoubleQuotes(const std::string& value) {
    std::string out;
    for (char c : value) {
        if (c == '\n')
            continue;
        if ((isBadChar(c) || c == '#') && std::string("\"$`\\").find(c) == std::string::npos)
            out += '\\';
        out += c;
    }
    return out;
}

// The parameters every template below may use.
const std::vector<std::pair<std::string, ParameterType>> kParams{{"aa", ParameterType::String},
                                                                 {"bb", ParameterType::String},
                                                                 {"ll", ParameterType::StringList},
                                                                 {"zz", ParameterType::Flag}};

struct Call {
    std::string aa;
    std::optional<std::string> bb;
    std::vector<std::string> ll;
    bool zz = false;
};

class TemplateSecurity : public ::testing::Test {
protected:
    CorvaneTest::TempDir dir;
    std::string canary = dir.Path() + "/canary";
    std::string argsFile = dir.Path() + "/args";
    std::string argv = dir.WriteFile("argv",
                                     "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > " +
                                         dir.Path() + "/args\nprintf '<o><string>ok</string></o>'\n",
                                     0755);
    std::mt19937 random{424242};
    int runs = 0;

    // Anything but NUL, weighted towards what shells and the template language read, with
    // attempts to run `touch canary` in every way a quote, comment, line or construct could allow.
    std::string AttackValue() {
        const std::string c = canary;
        const std::vector<std::string> snippets{";touch " + c,
                                                "|touch " + c,
                                                "&touch " + c + "&",
                                                "$(touch " + c + ")",
                                                "`touch " + c + "`",
                                                "';touch " + c + ";'",
                                                "\";touch " + c + ";\"",
                                                "'$(touch " + c + ")'",
                                                "\"$(touch " + c + ")\"",
                                                "#x\ntouch " + c + "\n",
                                                "\ntouch " + c + "\n",
                                                ">" + c,
                                                "\\",
                                                "'",
                                                "\"",
                                                "'\\''",
                                                "\\'",
                                                "$val{bb}",
                                                "$val{aa}",
                                                "$if{bb,;touch " + c + "}",
                                                "$if{zz,x}",
                                                "$list{ll,';',false}",
                                                "$multilist{ll,;touch " + c + ",false}",
                                                "{",
                                                "}",
                                                "EOF",
                                                "\nEOF\ntouch " + c + "\n",
                                                "${IFS}",
                                                "\r",
                                                "\t",
                                                " ",
                                                "\xc3\xa9",
                                                "\xff",
                                                "<<",
                                                "(",
                                                ")",
                                                "#",
                                                "!",
                                                "*",
                                                "~",
                                                "?",
                                                "[",
                                                "]",
                                                "$'",
                                                "$\"",
                                                "\\\n",
                                                "%",
                                                "^"};
        std::string value;
        for (int i = random() % 4 + 1; i > 0; --i) {
            if (random() % 3 == 0) {
                for (int j = random() % 6; j > 0; --j)
                    value += static_cast<char>(random() % 255 + 1);
            } else {
                value += snippets[random() % snippets.size()];
            }
        }
        return value;
    }

    // A non-empty value that the shell does not split or expand when it stands escaped in a word:
    // no blank, tab or glob byte, no tilde. Line feeds are allowed: they vanish (a backslash and a
    // line feed are a line continuation).
    std::string WordValue() {
        for (;;) {
            std::string value = Without(AttackValue(), " \t?[*~");
            if (!value.empty())
                return value;
        }
    }

    Call RandomCall(const std::function<std::string()>& make) {
        Call call;
        call.aa = make();
        if (random() % 2)
            call.bb = make();
        for (int i = random() % 3 + 1; i > 0; --i)
            call.ll.push_back(make());
        call.zz = random() % 2;
        return call;
    }

    std::shared_ptr<ExtensionCommand> Command(const std::string& commandTemplate,
                                              const std::string& stdinTemplate = "") {
        auto spec = InputSpec::New();
        for (const auto& [name, type] : kParams) {
            auto parameter = ParameterSpec::New(name, type);
            parameter->SetRequired(false);
            spec->AddParameter(parameter);
        }
        auto outputSpec = OutputSpec::New();
        auto command = ExtensionCommand::New();
        command->SetInputSpec(spec);
        command->SetOutputSpec(outputSpec);
        command->SetExecuteCommand(commandTemplate);
        command->SetStdin(stdinTemplate);
        return command;
    }

    static std::shared_ptr<Input> MakeInput(const std::shared_ptr<ExtensionCommand>& command,
                                            const Call& call) {
        auto input = Input::New();
        input->AddParameter("aa", call.aa);
        if (call.bb)
            input->AddParameter("bb", *call.bb);
        for (const std::string& v : call.ll)
            input->AddParameter("ll", v);
        if (call.zz)
            input->AddParameter("zz", "");
        input->SetInputSpec(command->GetInputSpec());
        return input;
    }

    static std::string Describe(const Call& call) {
        std::string text = "aa=" + Printable(call.aa);
        if (call.bb)
            text += " bb=" + Printable(*call.bb);
        for (const std::string& v : call.ll)
            text += " ll=" + Printable(v);
        return text + (call.zz ? " zz" : "");
    }

    // Fails, and removes it, when the canary exists.
    void ExpectNoCanary(const std::string& what) {
        if (access(canary.c_str(), F_OK) == 0) {
            ADD_FAILURE() << "a value ran a command: " << what;
            unlink(canary.c_str());
        }
    }

    Args ReadArgs() {
        Args args;
        if (access(argsFile.c_str(), F_OK) != 0)
            return {"<program did not run>"};
        std::string data = CorvaneTest::ReadFile(argsFile);
        for (std::size_t start = 0; start < data.size();) {
            std::size_t end = data.find('\0', start);
            args.push_back(data.substr(start, end - start));
            start = end + 1;
        }
        return args;
    }

    // Runs the filled command through ExecuteInternal (/bin/sh) and, filled the same way, through
    // bash; returns the arguments the program received from /bin/sh, or nothing when filling refused.
    std::optional<Args> Run(const std::shared_ptr<ExtensionCommand>& command, const Call& call) {
        ++runs;
        unlink(argsFile.c_str());
        auto input = MakeInput(command, call);
        auto output = Output::New();
        std::string err = CorvaneTest::CaptureFd(2, [&] { command->ExecuteInternal(input, output); });
        ExpectNoCanary("/bin/sh, " + Describe(call));
        Args args = ReadArgs();

        // bash reads a few things differently from dash (brace expansion, $'...'); every other
        // call is also run through it to check that no value runs a command there either.
        if (runs % 2 == 1)
            return args;
        std::string filled = command->SubstituteInput(input, false);
        std::string quoted = "'";
        for (char c : filled)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        std::string out;
        unlink(argsFile.c_str());
        CorvaneTest::CaptureFd(2, [&] {
            Corvane::AutoCli::AutoCli_ShellCmd("exec /bin/bash -c " + quoted + "'", out,
                                               command->SubstituteInput(input, true));
        });
        ExpectNoCanary("bash, " + Describe(call));
        return args;
    }

    // For `rounds` calls made by `make`: no canary, and when `expected` is given, the program's
    // arguments equal expected(call).
    void Check(const std::string& commandTemplate, const std::function<std::string()>& make, int rounds,
               const std::function<Args(const Call&)>& expected = nullptr) {
        auto command = Command(commandTemplate);
        for (int round = 0; round < rounds; ++round) {
            Call call = RandomCall(make);
            std::optional<Args> args = Run(command, call);
            if (expected && args) {
                ASSERT_EQ(expected(call), *args) << commandTemplate << " with " << Describe(call);
            }
        }
    }

    std::function<std::string()> Attack() {
        return [this] { return AttackValue(); };
    }
    std::function<std::string()> Word() {
        return [this] { return WordValue(); };
    }
    std::string A() const { return argv; }
};

// A value in a plain word: the program gets it whole, less its line feeds.
Args InWord(const std::string& value) {
    std::string seen = Without(value, "\n");
    return seen.empty() ? Args{} : Args{seen};
}

TEST_F(TemplateSecurity, ValUnquoted) {
    Check(A() + " $val{aa}", Attack(), 37);
    Check(A() + " $val{aa}", Word(), 37, [](const Call& c) { return InWord(c.aa); });
    // Quotes beside the value that do not enclose it, and a template backslash before it.
    Check(A() + " 'x'$val{aa}'y'", Word(), 20,
          [](const Call& c) { return Args{"x" + Without(c.aa, "\n") + "y"}; });
    Check(A() + " \\$val{aa}", Word(), 20, [](const Call& c) { return InWord(c.aa); });
    Check(A() + " \"it's\" $val{aa} 'q'", Word(), 20, [](const Call& c) {
        Args args{"it's"};
        for (const std::string& a : InWord(c.aa))
            args.push_back(a);
        args.push_back("q");
        return args;
    });
}

TEST_F(TemplateSecurity, ValQuoted) {
    // Single quotes: the value less its single quotes, whatever it holds.
    Check(A() + " '$val{aa}'", Attack(), 37, [](const Call& c) { return Args{Without(c.aa, "'")}; });
    // Double quotes: escaped as a word; the shell takes away the backslashes it understands there.
    Check(A() + " \"$val{aa}\"", Attack(), 37, [](const Call& c) { return Args{SeenInDoubleQuotes(c.aa)}; });
    // Unterminated single quote: nothing runs.
    Check(A() + " 'x $val{aa} $val{bb}", Attack(), 20);
    Check(A() + " \"${HOME:-$val{aa}}\" $'x$val{bb}y'", Attack(), 20);
}

TEST_F(TemplateSecurity, ValSeveralTimesAndOtherValues) {
    Check(A() + " $val{aa} '$val{aa}' \"$val{aa}\" x$val{aa}x", Attack(), 30);
    Check(A() + " $val{aa} '$val{aa}' \"$val{aa}\" x$val{aa}x", Word(), 30, [](const Call& c) {
        Args args = InWord(c.aa);
        args.push_back(Without(c.aa, "'"));
        args.push_back(SeenInDoubleQuotes(c.aa));
        args.push_back("x" + Without(c.aa, "\n") + "x");
        return args;
    });
    // Values that look like template text stay literal.
    Check(A() + " $val{aa}$val{bb} '$val{bb}' $if{bb,-b $val{bb}}", Attack(), 30);
    Check(A() + " '$val{aa}' '$val{bb}'", Attack(), 30, [](const Call& c) {
        return Args{Without(c.aa, "'"), c.bb ? Without(*c.bb, "'") : std::string("$val{bb}")};
    });
}

TEST_F(TemplateSecurity, IfConstructs) {
    Check(A() + " $if{zz,--z $val{aa}} $if{bb,-b '$val{bb}'} end", Attack(), 37);
    Check(A() + " $if{zz,--z $val{aa}} $if{bb,-b '$val{bb}'} end", Word(), 37, [](const Call& c) {
        Args args;
        if (c.zz) {
            args.push_back("--z");
            for (const std::string& a : InWord(c.aa))
                args.push_back(a);
        }
        if (c.bb) {
            args.push_back("-b");
            args.push_back(Without(*c.bb, "'"));
        }
        args.push_back("end");
        return args;
    });
}

std::string Joined(const Call& c, const std::string& separator) {
    std::string joined;
    for (std::size_t i = 0; i < c.ll.size(); ++i)
        joined += (i ? separator : "") + c.ll[i];
    return joined;
}

TEST_F(TemplateSecurity, Lists) {
    Check(A() + " $list{ll,',',false}", Attack(), 30);
    Check(A() + " $list{ll,',',false}", Word(), 30, [](const Call& c) { return InWord(Joined(c, ",")); });
    Check(A() + " $list{ll,';',true}", Attack(), 30,
          [](const Call& c) { return Args{SeenInDoubleQuotes(Joined(c, ";"))}; });
    Check(A() + " '$list{ll,'',false}'", Attack(), 30,
          [](const Call& c) { return Args{Without(Joined(c, ""), "'")}; });
    // The last construct decides separator and quoting for all of them.
    Check(A() + " $list{ll,'',true} '$list{ll,';',false}'", Attack(), 20);
}

TEST_F(TemplateSecurity, Multilists) {
    // Quoted: every value reaches the program whole, less its double quotes.
    Check(A() + "$multilist{ll,--ip,true}", Attack(), 37, [](const Call& c) {
        Args args;
        for (const std::string& v : c.ll) {
            args.push_back("--ip");
            args.push_back(Without(v, "\""));
        }
        return args;
    });
    Check(A() + "$multilist{ll,--ip,false}", Attack(), 30);
    Check(A() + "$multilist{ll,--ip,false}", Word(), 30, [](const Call& c) {
        Args args;
        for (const std::string& v : c.ll) {
            args.push_back("--ip");
            for (const std::string& a : InWord(v))
                args.push_back(a);
        }
        return args;
    });
    // Inside the template's own double quotes, and inside single quotes.
    Check(A() + " \"$multilist{ll,-i,true}\" '$multilist{ll,-j,true}'", Attack(), 30);
}

TEST_F(TemplateSecurity, CommentsSubstitutionsAndHereDocuments) {
    Check(A() + " ok # $val{aa} $list{ll,';',false}\n" + A() + " again", Attack(), 25,
          [](const Call&) { return Args{"again"}; });
    Check(A() + " \"$(printf '%s' $val{aa})\"", Word(), 20,
          [](const Call& c) { return Args{Without(c.aa, "\n")}; });
    Check(A() + " $(printf '%s' '$val{aa}' \"$val{bb}\")", Attack(), 20);

    const std::string file = dir.Path() + "/heredoc";
    for (const std::string& delimiter : {std::string("EOF"), std::string("'EOF'")}) {
        auto command = Command("cat > " + file + " <<" + delimiter + "\nX$val{aa}X\nEOF\n" + A() + " done\n");
        for (int round = 0; round < 30; ++round) {
            Call call = RandomCall(Attack());
            ASSERT_TRUE(Run(command, call));
            ASSERT_EQ("X" + Without(call.aa, "\n") + "X\n", CorvaneTest::ReadFile(file))
                << delimiter << " with " << Describe(call);
        }
    }
}

TEST_F(TemplateSecurity, RandomTemplateShapes) {
    // Templates of random shell shape around constructs that always stand as arguments of the
    // program: whatever the quoting around them, no value may run a command. Fillings that are
    // refused (backquotes, ambiguous $'...') run nothing at all.
    const std::string arg = " " + A() + " x";
    const std::vector<std::string> pieces{arg + "$val{aa}",
                                          arg + " $val{bb}",
                                          arg + "$list{ll,',',false}",
                                          arg + "$multilist{ll,-i,true}",
                                          arg + "$multilist{ll,-j,false}",
                                          arg + "$if{zz,-z $val{aa}}",
                                          "'",
                                          "\"",
                                          "\\",
                                          "#",
                                          "\n",
                                          "$(",
                                          ")",
                                          "${HOME:-",
                                          "}",
                                          "<<EOF\n",
                                          "\nEOF\n",
                                          "<<'EOF'\n",
                                          "`",
                                          "$'",
                                          ";",
                                          " ",
                                          "$",
                                          "{",
                                          "x"};
    int refused = 0;
    for (int round = 0; round < 150; ++round) {
        std::string tmpl = A();
        for (int i = random() % 8 + 1; i > 0; --i)
            tmpl += pieces[random() % pieces.size()];
        auto command = Command(tmpl);
        Call call = RandomCall(Attack());
        try {
            Run(command, call);
        } catch (const Corvane::CorvaneException& e) {
            ASSERT_EQ(0u, std::string(e.what()).find("Unable to fill the command template: ")) << e.what();
            ++refused;
        }
        ExpectNoCanary(Printable(tmpl) + " with " + Describe(call));
    }
    EXPECT_LT(refused, 100);
}

TEST_F(TemplateSecurity, StandardInputTakesValuesAsTheyAre) {
    const std::string file = dir.Path() + "/stdin";
    auto command = Command("cat > " + file + "; " + A(), "$val{aa}|$list{ll,',',false}|$val{bb}");
    for (int round = 0; round < 30; ++round) {
        Call call = RandomCall(Attack());
        ASSERT_TRUE(Run(command, call));
        ASSERT_EQ(call.aa + "|" + Joined(call, ",") + "|" + (call.bb ? *call.bb : "$val{bb}"),
                  CorvaneTest::ReadFile(file))
            << Describe(call);
    }
    EXPECT_GT(runs, 29);
}

} // namespace
