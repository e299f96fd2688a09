// Property tests of command templates run by real shells (dash and bash): values stay data and reach the
// program, byte for byte wherever they stand in quotes.
#include <corvane/plugins.h>

#include "test_support.h"

#include <corvane/process.h>

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <random>
#include <tuple>

namespace {

using namespace Corvane::AutoCli;
using namespace Corvane::CallSpec;
using Args = std::vector<std::string>;

std::string Without(const std::string& text, const std::string& drop) {
    std::string out;
    for (char c : text) {
        if (drop.find(c) == std::string::npos) {
            out += c;
        }
    }
    return out;
}

// What a program receives from a value in a plain word: the value less its line feeds.
std::string NoLf(const std::string& value) {
    return Without(value, "\n");
}

struct Call {
    std::string aa;
    std::optional<std::string> bb;
    std::vector<std::string> ll;
    bool zz = false;
};

std::string Joined(const Call& c, const std::string& separator) {
    std::string joined;
    for (std::size_t i = 0; i < c.ll.size(); ++i) {
        joined += (i ? separator : "") + c.ll[i];
    }
    return joined;
}

std::string Describe(const Call& c) {
    return ::testing::PrintToString(std::make_tuple(c.aa, c.bb.value_or("<absent>"), c.ll, c.zz));
}

// The template's @ stands for the shell's own printf, which prints a marker and then each argument, every
// one ended by a NUL byte; Printed(args) is what it prints for these arguments.
const std::string kProgram = "printf '%s\\0' ARGV";
std::string Printed(const Args& args) {
    std::string out("ARGV\0", 5);
    for (const std::string& arg : args) {
        out += arg + '\0';
    }
    return out;
}

// What the two shells printed for one filled command.
using Printouts = std::array<std::string, 2>;
const char* const kShells[] = {"/bin/sh (dash)", "bash"};

class TemplateSecurity : public ::testing::Test {
protected:
    CorvaneTest::TempDir dir;
    const std::string canary = dir.Path() + "/canary";
    std::mt19937 random{424242};

    int Below(int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); }

    // Any bytes but NUL, weighted towards what shells and the template language read, with attempts to
    // run `touch canary` in every way a quote, comment, line or construct could allow. A `word` value is
    // one the shells neither split, glob nor brace-expand where it stands escaped (no blank, tab, glob
    // byte, tilde or brace) and that is not empty without its line feeds.
    std::string Value(bool word) {
        const std::string t = "touch " + canary, specials = "\\'\"{}()<>#!*~?[]%^$;|&` \t\r\n\x01\x7f\xff";
        // clang-format off
        const std::string snippets[] = {
            ";" + t, "|" + t, "&" + t + "&", "$(" + t + ")", "`" + t + "`", "';" + t + ";'", "EOF",
            "\";" + t + ";\"", "'$(" + t + ")'", "#x\n" + t + "\n", "\n" + t + "\n", ">" + canary,
            "\nEOF\n" + t + "\n", "$if{bb,;" + t + "}", "$multilist{ll,;" + t + ",false}", "$val{bb}",
            "$if{zz,x}", "'\\''", "\\'", "$list{ll,';',false}", "${IFS}", "\xc3\xa9", "<<", "$'", "$\"",
            "\\\n", "'\\\n'", "\"$(" + t + ")\"", "\\\"", "\\\\", "\n"};
        // clang-format on
        for (;;) {
            std::string value;
            for (int i = Below(4) + 1; i > 0; --i) {
                if (int kind = Below(3); kind == 0) {
                    value += snippets[random() % std::size(snippets)];
                } else {
                    for (int j = Below(4) + kind - 1; j > 0; --j) {
                        value += kind == 1 ? specials[random() % specials.size()] : char(Below(255) + 1);
                    }
                }
            }
            if (!word || !NoLf(value = Without(value, " \t?[*~{")).empty()) {
                return value;
            }
        }
    }

    Call RandomCall(bool word) {
        Call call;
        call.aa = Value(word);
        if (random() % 2) {
            call.bb = Value(word);
        }
        for (int i = Below(3) + 1; i > 0; --i) {
            call.ll.push_back(Value(word));
        }
        call.zz = random() % 2;
        return call;
    }

    // Fills the template and runs the command through /bin/sh (dash here), then through bash with the
    // same text after -c; returns what each printed. After each, no value may have run `touch canary`.
    // Refusals to fill propagate.
    Printouts Run(std::string tmpl, const Call& call) {
        for (std::size_t at; (at = tmpl.find('@')) != std::string::npos;) {
            tmpl.replace(at, 1, kProgram);
        }
        auto command = ExtensionCommand::New();
        command->SetInputSpec(InputSpec::New());
        for (const char* name : {"aa", "bb", "ll", "zz"}) {
            auto parameter = ParameterSpec::New(name, name[0] == 'l'   ? ParameterType::StringList
                                                      : name[0] == 'z' ? ParameterType::Flag
                                                                       : ParameterType::String);
            parameter->SetRequired(false);
            command->GetInputSpecInternal()->AddParameter(parameter);
        }
        command->SetExecuteCommand(tmpl);
        auto input = Input::New();
        input->AddParameter("aa", call.aa);
        if (call.bb) {
            input->AddParameter("bb", *call.bb);
        }
        for (const std::string& v : call.ll) {
            input->AddParameter("ll", v);
        }
        if (call.zz) {
            input->AddParameter("zz", "");
        }
        input->SetInputSpec(command->GetInputSpec());
        const std::string filled = command->SubstituteInput(input, false);
        setenv("CORVANE_FILLED_COMMAND", filled.c_str(), 1);
        const std::string commands[] = {filled, "exec /bin/bash -c \"$CORVANE_FILLED_COMMAND\""};
        Printouts printed;
        for (std::size_t shell = 0; shell < printed.size(); ++shell) {
            CorvaneTest::CaptureFd(2, [&] { AutoCli_ShellCmd(commands[shell], printed[shell], ""); });
            EXPECT_NE(0, access(canary.c_str(), F_OK))
                << "a value ran a command in " << kShells[shell] << ": " << ::testing::PrintToString(filled);
            unlink(canary.c_str());
        }
        unsetenv("CORVANE_FILLED_COMMAND");
        return printed;
    }
};

// Expects both shells to have printed `expected`.
#define EXPECT_PRINTED(expected, printouts, call)                                                            \
    for (std::size_t shell_ = 0; shell_ < 2; ++shell_)                                                       \
    EXPECT_EQ(expected, (printouts)[shell_]) << kShells[shell_] << ", values " << Describe(call)

TEST_F(TemplateSecurity, ValuesStayDataAndArriveAsPromised) {
    struct Case {
        const char* tmpl;
        // The program's arguments; with `wordsOnly` checked in every other round, on word values, and
        // the rounds between take any value unchecked (no command may run in any round).
        Args (*expected)(const Call&);
        bool wordsOnly = false;
    };
    using C = const Call&;
    // clang-format off
    const Case cases[] = {
        {"@ \\$val{aa}", [](C c) { return Args{NoLf(c.aa)}; }, true},
        // Quotes beside the value that do not enclose it do not protect it.
        {"@ \"it's\" 'x'$val{aa}'y'", [](C c) { return Args{"it's", "x" + NoLf(c.aa) + "y"}; }, true},
        // In quotes a value arrives byte for byte.
        {"@ x\"$val{aa}\"'$val{aa}'\"\\\"$val{aa}\"",
         [](C c) { return Args{"x" + c.aa + c.aa + "\"" + c.aa}; }},
        {"@ $val{aa} '$val{aa}' \"$val{aa}\" x$val{aa}",
         [](C c) { return Args{NoLf(c.aa), c.aa, c.aa, "x" + NoLf(c.aa)}; }, true},
        {"@ '$val{aa}' '$val{bb}'", [](C c) { return Args{c.aa, c.bb.value_or("$val{bb}")}; }},
        {"@ $if{bb,-b '$val{bb}'} end", [](C c) { return c.bb ? Args{"-b", *c.bb, "end"} : Args{"end"}; }},
        {"@ $list{ll,',',false}", [](C c) { return Args{NoLf(Joined(c, ","))}; }, true},
        {"@ $list{ll,';',true}", [](C c) { return Args{Joined(c, ";")}; }},
        {"@ '$list{ll,'',false}'", [](C c) { return Args{Joined(c, "")}; }},
        {"@ '$list{ll,'',true}'", [](C c) { return Args{"\"" + Joined(c, "") + "\""}; }},
        {"@$multilist{ll,--ip,true}", [](C c) {
             Args args;
             for (const std::string& v : c.ll) {
                 args.insert(args.end(), {"--ip", v});
}
             return args; }},
        {"@ ok # $val{aa} $list{ll,';',false}\n@ again", [](C) { return Args{"ok", "ARGV", "again"}; }},
        {"@ \"$(printf '%s' $val{aa})\"", [](C c) { return Args{NoLf(c.aa)}; }, true},
        {"@ \"$(cat <<'EOF'\nX$val{aa}X\nEOF\n)\"", [](C c) { return Args{"X" + NoLf(c.aa) + "X"}; }}};
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tmpl);
        for (int round = 0; round < 10; ++round) {
            const bool checked = !c.wordsOnly || round % 2;
            const Call call = RandomCall(c.wordsOnly && checked);
            const Printouts printed = Run(c.tmpl, call);
            if (checked) {
                EXPECT_PRINTED(Printed(c.expected(call)), printed, call);
            }
        }
    }
}

TEST_F(TemplateSecurity, HereDocumentBodiesTakeValuesWithoutLineFeeds) {
    // bash reads a body line by line before the substitutions in it, so a line feed of a value, even in
    // quotes there, could end the body early and make the next line a command.
    const std::string tmpl = "cat <<EOF\n$(printf %s '$val{aa}')|$(printf %s \"$val{aa}\")|$val{aa}\nEOF\n";
    for (int round = 0; round < 10; ++round) {
        Call call = RandomCall(false);
        if (round == 0) {
            call.aa = "x'\"\nEOF\ntouch " + canary + "\n";
        }
        std::string expected;
        for (const char* end : {"|", "|", "\n"}) {
            expected.append(NoLf(call.aa)).append(end);
        }
        EXPECT_PRINTED(expected, Run(tmpl, call), call);
    }
}

TEST_F(TemplateSecurity, CasePatternInsideSubstitutionKeepsTheQuotesAfterIt) {
    // The ) after a case pattern does not end the $(...): the value stands in the single quotes of the
    // case body, not in the template's double quotes, and reaches the program whole.
    const std::string tmpl =
        "@ \"$(case x in x) printf %s '$val{aa}';; esac)\" \"$(case x in (x) echo '$val{aa}';; esac)\"";
    const std::string hostile = "';touch " + canary + ";'";
    for (const std::string& value : {hostile, std::string("it's \"$(x)\"")}) {
        Call call{value, std::nullopt, {}};
        EXPECT_PRINTED(Printed({value, value}), Run(tmpl, call), call);
    }
}

TEST_F(TemplateSecurity, ValuesNextToExpansionsArithmeticAndCaseCommandsArriveAsPromised) {
    const std::string value = "a;b$(touch " + canary + ")";
    Call call{value, std::string("a;b"), {}};
    EXPECT_PRINTED(
        Printed({"0", value, "3", value, "y"}),
        Run("@ ${#} '$val{aa}' $((1+2)) \"$val{aa}\" $(case $val{bb} in a) ;; *) echo y;; esac)", call),
        call);
}

TEST_F(TemplateSecurity, GluedHashStaysInTheWordOfAnyValue) {
    // A value that vanishes or ends in a blank must not make the # after it start a comment.
    const std::pair<std::string, Args> cases[] = {
        {"", {"#c", "-x", "#d"}}, {"\n\n", {"#c", "-x", "#d"}}, {"a \t\n", {"a", "#c", "-x", "a", "#d"}}};
    for (const auto& [value, args] : cases) {
        Call call{value, std::nullopt, {value}};
        EXPECT_PRINTED(Printed(args), Run("@ $val{aa}#c$multilist{ll,-x,false}#d", call), call);
    }
}

TEST_F(TemplateSecurity, RandomTemplateShapes) {
    // Random shell shapes around constructs that stand as arguments of the program: whatever the quoting
    // around them, no value may run a command. Refused fillings (backquotes, $'...') run nothing.
    // clang-format off
    const std::string pieces[] = {
        " @ x$val{aa}", " @ x $val{bb}", " @ x$list{ll,',',false}", " @ x$multilist{ll,-i,true}",
        " @ x$multilist{ll,-j,false}", " @ x$if{zz,-z $val{aa}}", " @ '$val{aa}'", " @ \"$list{ll,'',true}\"",
        "'", "\"", "\\", "#", "\n", "$(", ")", "${HOME:-", "}", "<<EOF\n", "\nEOF\n", "<<'EOF'\n", "`", "$'",
        ";", " ", "$", "{", "x"};
    // clang-format on
    int refused = 0;
    for (int round = 0; round < 80; ++round) {
        std::string tmpl = "@";
        for (int i = Below(8) + 1; i > 0; --i) {
            tmpl += pieces[random() % std::size(pieces)];
        }
        try {
            Run(tmpl, RandomCall(false));
        } catch (const Corvane::CorvaneException& e) {
            ASSERT_EQ(0u, std::string(e.what()).find("Unable to fill the command template: ")) << e.what();
            ++refused;
        }
    }
    EXPECT_LT(refused, 40);
}

} // namespace
