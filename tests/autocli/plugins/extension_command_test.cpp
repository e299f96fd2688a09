// Tests of ExtensionCommand: specifications, template filling, escaping helpers and running real shells.
#include <corvane/plugins.h>

#include "test_support.h"

#include <corvane/process.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <random>
#include <regex>

namespace {

using Corvane::AutoCli::CommandInput;
using Corvane::AutoCli::ExtensionCommand;
using Corvane::AutoCli::FindPairedTokenSize;
using Corvane::AutoCli::isBadChar;
using Corvane::CallSpec::Input;
using Corvane::CallSpec::InputSpec;
using Corvane::CallSpec::Output;
using Corvane::CallSpec::OutputSpec;
using Corvane::CallSpec::ParameterSpec;
using Corvane::CallSpec::ParameterType;
using Corvane::MetaObj::MetaString;

// A command declaring the given parameters (none required) with the given command template.
std::shared_ptr<ExtensionCommand>
MakeCommand(const std::vector<std::pair<std::string, ParameterType>>& params,
            const std::string& commandTemplate, const std::string& stdinTemplate = std::string()) {
    auto spec = InputSpec::New();
    for (const auto& [name, type] : params) {
        auto parameter = ParameterSpec::New(name, type);
        parameter->SetRequired(false);
        spec->AddParameter(parameter);
    }
    auto outputSpec = OutputSpec::New();
    outputSpec->SetRootObject(MetaString::New("x"));
    auto command = ExtensionCommand::New();
    command->SetInputSpec(spec);
    command->SetOutputSpec(outputSpec);
    command->SetExecuteCommand(commandTemplate);
    command->SetStdin(stdinTemplate);
    return command;
}

// An input for `command` holding the given (name, value) pairs in order, specification attached.
std::shared_ptr<Input> MakeInput(const std::shared_ptr<ExtensionCommand>& command,
                                 const std::vector<std::pair<std::string, std::string>>& values) {
    auto input = Input::New();
    for (const auto& [name, value] : values)
        input->AddParameter(name, value);
    input->SetInputSpec(command->GetInputSpec());
    return input;
}

std::string Fill(const std::string& commandTemplate,
                 const std::vector<std::pair<std::string, ParameterType>>& params,
                 const std::vector<std::pair<std::string, std::string>>& values, bool forStdin = false) {
    auto command =
        MakeCommand(params, forStdin ? std::string() : commandTemplate, forStdin ? commandTemplate : "");
    return command->SubstituteInput(MakeInput(command, values), forStdin);
}

// Sets or unsets an environment variable for the lifetime of the object, restoring it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

const auto S = ParameterType::String;
const auto L = ParameterType::StringList;
const auto F = ParameterType::Flag;

TEST(ExtensionCommand, SpecificationsAndSetters) {
    auto command = ExtensionCommand::New();
    EXPECT_THROW_MSG(command->GetInputSpecInternal(),
                     "Request for NULL InputSpec.  Extension command is incomplete and will not work");
    EXPECT_THROW_MSG(command->GetOutputSpecInternal(),
                     "Request for NULL OutputSpec.  Extension command is incomplete and will not work");
    // Empty templates come back unchanged without needing any specification.
    EXPECT_EQ("", command->SubstituteInput(Input::New(), false));
    EXPECT_EQ("", command->SubstituteInput(Input::New(), true));

    auto spec = InputSpec::New();
    auto outputSpec = OutputSpec::New();
    command->SetInputSpec(spec);
    command->SetOutputSpec(outputSpec);
    EXPECT_EQ(spec, command->GetInputSpecInternal());
    EXPECT_EQ(outputSpec, command->GetOutputSpecInternal());
    // GetInputSpec() adds the implicit help parameter to the declared ones.
    EXPECT_EQ(1u, command->GetInputSpec()->GetParameters().size());

    command->SetExecuteCommand("echo 'no dollar; here' | cat");
    command->SetStdin("plain `text` ;");
    auto input = Input::New();
    input->AddParameter("help", "");
    EXPECT_EQ("echo 'no dollar; here' | cat", command->SubstituteInput(input, false));
    EXPECT_EQ("plain `text` ;", command->SubstituteInput(input, true));
}

TEST(ExtensionCommand, BadCharsAndEscapingHelpers) {
    const std::string bad = std::string("\n") + "!\"$&'()*;<>\\^`|";
    for (int c = 0; c < 256; ++c) {
        char ch = static_cast<char>(c);
        EXPECT_EQ(bad.find(ch) != std::string::npos && c != 0, isBadChar(ch)) << "byte " << c;
    }
    EXPECT_EQ(16u, bad.size());

    auto command = ExtensionCommand::New();
    EXPECT_EQ("\\\n\\!\\\"\\$\\&\\'\\(\\)\\*\\;\\<\\>\\\\\\^\\`\\|", command->SanitizeInput(bad));
    // '#' is escaped too, so that no value can start a comment; these stay as they are.
    EXPECT_EQ("a\\#b", command->SanitizeInput("a#b"));
    const std::string plain = " \t%?~[]{}=,-\xc3\xa9\x7f\x01";
    EXPECT_EQ(plain, command->SanitizeInput(plain));
    EXPECT_EQ("", command->SanitizeInput(""));

    EXPECT_EQ("ab", command->SanitizeChar("a'b", '\''));
    EXPECT_EQ("56", command->SanitizeChar("\"5\"6\"", '"'));
    EXPECT_EQ("a\\b", command->SanitizeChar("a\\b", '\''));
    EXPECT_EQ("", command->SanitizeChar("''''", '\''));
}

// The pairing as the recursive definition states it, for comparison on small inputs.
std::pair<size_t, size_t> PairedReference(const char* text, size_t start, size_t length, char open,
                                          char close) {
    size_t i = start;
    if (text[start] == open)
        ++i;
    while (i < length) {
        if (text[i] == open) {
            auto inner = PairedReference(text, i, length, open, close);
            i += inner.second > 0 ? inner.second : 1;
        } else if (text[i] == close) {
            return {start, i - start + 1};
        } else {
            ++i;
        }
    }
    return {0, 0};
}

TEST(ExtensionCommand, FindPairedTokenSize) {
    const std::string text = "a{b{c}d}e}";
    EXPECT_EQ(std::make_pair(size_t{1}, size_t{7}),
              FindPairedTokenSize(text.c_str(), 1, text.size(), '{', '}'));
    EXPECT_EQ(std::make_pair(size_t{3}, size_t{3}),
              FindPairedTokenSize(text.c_str(), 3, text.size(), '{', '}'));
    // Not starting on an opening brace: up to the first closing brace at depth zero.
    EXPECT_EQ(std::make_pair(size_t{0}, size_t{10}),
              FindPairedTokenSize(text.c_str(), 0, text.size(), '{', '}'));
    EXPECT_EQ(std::make_pair(size_t{8}, size_t{2}),
              FindPairedTokenSize(text.c_str(), 8, text.size(), '{', '}'));
    EXPECT_EQ(std::make_pair(size_t{0}, size_t{0}), FindPairedTokenSize("{{}", 0, 3, '{', '}'));
    EXPECT_EQ(std::make_pair(size_t{0}, size_t{0}), FindPairedTokenSize("{}", 0, 1, '{', '}'));
    EXPECT_EQ(std::make_pair(size_t{0}, size_t{0}), FindPairedTokenSize("{}", 5, 2, '{', '}'));

    // Same results as the recursive definition on every kind of small text.
    std::mt19937 random(7);
    const char alphabet[] = "{}x";
    for (int round = 0; round < 3000; ++round) {
        std::string sample(random() % 14 + 1, 'x');
        for (char& c : sample)
            c = alphabet[random() % 3];
        for (size_t start = 0; start < sample.size(); ++start) {
            ASSERT_EQ(PairedReference(sample.c_str(), start, sample.size(), '{', '}'),
                      FindPairedTokenSize(sample.c_str(), start, sample.size(), '{', '}'))
                << sample << " from " << start;
        }
    }

    // Many unmatched braces: linear, not exponential.
    std::string braces(10000, '{');
    auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(std::make_pair(size_t{0}, size_t{0}),
              FindPairedTokenSize(braces.c_str(), 0, braces.size(), '{', '}'));
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(1));
}

TEST(ExtensionCommand, SubstituteExamples) {
    // No $ at all: unchanged, whatever the values.
    EXPECT_EQ("echo 'a;b' x", Fill("echo 'a;b' x", {{"xx", S}}, {{"xx", "a;b|c"}}));
    EXPECT_EQ("echo a\\'b", Fill("echo $val{xx}", {{"xx", S}}, {{"xx", "a'b"}}));
    EXPECT_EQ("echo 'ab'", Fill("echo '$val{xx}'", {{"xx", S}}, {{"xx", "a'b"}}));
    EXPECT_EQ("cmd a b\\;c", Fill("cmd $val{xx}", {{"xx", S}}, {{"xx", "a b;c"}}));
    EXPECT_EQ("run --verbose", Fill("run $if{vv,--verbose}", {{"vv", F}}, {{"vv", ""}}));
    EXPECT_EQ("run ", Fill("run $if{vv,--verbose}", {{"vv", F}}, {}));
    EXPECT_EQ("run  end", Fill("run $if{nn,--name $val{nn}} end", {{"nn", S}}, {}));
    EXPECT_EQ("run --name bob end", Fill("run $if{nn,--name $val{nn}} end", {{"nn", S}}, {{"nn", "bob"}}));
    EXPECT_EQ("set --ip \"1.2.3.4\" --ip \"56\"",
              Fill("set$multilist{ip,--ip,true}", {{"ip", L}}, {{"ip", "1.2.3.4"}, {"ip", "5\"6"}}));
    EXPECT_EQ("set --ip 1.2.3.4 --ip 5\\\"6",
              Fill("set$multilist{ip,--ip,false}", {{"ip", L}}, {{"ip", "1.2.3.4"}, {"ip", "5\"6"}}));
    EXPECT_EQ("set", Fill("set$multilist{ip,--ip,true}", {{"ip", L}}, {{"ip", "x"}}).substr(0, 3));
    EXPECT_EQ("a,b\\;c", Fill("$list{ip,',',false}", {{"ip", L}}, {{"ip", "a"}, {"ip", "b;c"}}));
    EXPECT_EQ("\"a,b\\;c\"", Fill("$list{ip,',',true}", {{"ip", L}}, {{"ip", "a"}, {"ip", "b;c"}}));
    EXPECT_EQ("ab\\;c", Fill("$list{ip,'',false}", {{"ip", L}}, {{"ip", "a"}, {"ip", "b;c"}}));
    EXPECT_EQ("echo $val{xx} $list{yy,',',false}",
              Fill("echo $val{xx} $list{yy,',',false}", {{"xx", S}, {"yy", L}}, {}));
    EXPECT_EQ("in a'b;$(c) \"a\"", Fill("in $val{xx} $list{yy,'',true}", {{"xx", S}, {"yy", L}},
                                        {{"xx", "a'b;$(c)"}, {"yy", "a"}}, true));
    EXPECT_EQ(" -x \"v\"1\" -x \"2\"",
              Fill("$multilist{yy,-x,true}", {{"yy", L}}, {{"yy", "v\"1"}, {"yy", "2"}}, true));

    // The last construct supplies separator, prefix and quoting for every occurrence.
    EXPECT_EQ("\"a\\;b\" \"a\\;b\"",
              Fill("$list{ll,'-',false} $list{ll,';',true}", {{"ll", L}}, {{"ll", "a"}, {"ll", "b"}}));
    EXPECT_EQ(" -y \"1\" -y \"1\"",
              Fill("$multilist{ll,-x,false}$multilist{ll,-y,true}", {{"ll", L}}, {{"ll", "1"}}));
    // Present without values: $multilist gives nothing, $list the empty text (quoted when asked).
    auto empty = MakeCommand({{"ll", L}}, "a $multilist{ll,-x,true} b $list{ll,',',true}");
    auto emptyInput = MakeInput(empty, {});
    emptyInput->GetParameters()["ll"];
    EXPECT_EQ("a  b \"\"", empty->SubstituteInput(emptyInput, false));
    // Leftover $if constructs go whole, nested braces included; unknown $ text stays.
    EXPECT_EQ("x  y ${HOME} z", Fill("x $if{flag,--flag $val{flag}} y ${HOME} z", {{"flag", S}, {"other", S}},
                                     {{"other", "1"}}));
    EXPECT_EQ("a b", Fill("a $if{zz,{{}}}b", {{"zz", S}, {"other", S}}, {{"other", "1"}}));
}

TEST(ExtensionCommand, EachValOccurrenceEscapedForItsPlace) {
    // Inside single quotes only the single quotes go; outside, the value is escaped as a word, also
    // when the last occurrence stands inside quotes.
    EXPECT_EQ("p a\\;b\\'c 'a;bc'", Fill("p $val{xx} '$val{xx}'", {{"xx", S}}, {{"xx", "a;b'c"}}));
    // Quotes next to the value that do not enclose it give no protection.
    EXPECT_EQ("p 'x'a\\;b'y'", Fill("p 'x'$val{xx}'y'", {{"xx", S}}, {{"xx", "a;b"}}));
    // A quote that is never closed does not either.
    EXPECT_EQ("p 'x a\\;b", Fill("p 'x $val{xx}", {{"xx", S}}, {{"xx", "a;b"}}));
    // A single quote inside double quotes opens nothing.
    EXPECT_EQ("p \"it's a\\;b\" 'z'", Fill("p \"it's $val{xx}\" 'z'", {{"xx", S}}, {{"xx", "a;b"}}));
    // In a comment a value only loses its line feeds.
    EXPECT_EQ("p # a;b'c", Fill("p # $val{xx}", {{"xx", S}}, {{"xx", "a;b\n'c"}}));
    // A template backslash before the value is taken up by a line continuation.
    EXPECT_EQ("p \\\n\\;x", Fill("p \\$val{xx}", {{"xx", S}}, {{"xx", ";x"}}));
    // Quoted $multilist items keep $, ` and \ from the shell; inside the template's double quotes
    // they are escaped as words, since the added quotes close and reopen the template's.
    EXPECT_EQ("p -i \"\\$(a)\\`b\\`\\\\\"",
              Fill("p$multilist{ll,-i,true}", {{"ll", L}}, {{"ll", "$(a)`b`\\"}}));
    EXPECT_EQ("p \" -i \"a\\;\\$b\"\"", Fill("p \"$multilist{ll,-i,true}\"", {{"ll", L}}, {{"ll", "a;$b"}}));
}

TEST(ExtensionCommand, ValuesAreNeverReadAsTemplateText) {
    const std::vector<std::pair<std::string, ParameterType>> params{{"aa", S}, {"bb", S}, {"ll", L}};
    EXPECT_EQ("p \\$val{bb} X", Fill("p $val{aa} $val{bb}", params, {{"aa", "$val{bb}"}, {"bb", "X"}}));
    EXPECT_EQ("p \\$if{bb,x} ", Fill("p $val{aa} $if{bb,-b}", params, {{"aa", "$if{bb,x}"}}));
    EXPECT_EQ("p \\$list{ll,\\',\\',false} 1",
              Fill("p $val{aa} $list{ll,',',false}", params, {{"aa", "$list{ll,',',false}"}, {"ll", "1"}}));
    // A value with a closing brace inside $if does not end the construct early.
    EXPECT_EQ("p -a x}y", Fill("p $if{aa,-a $val{aa}}", params, {{"aa", "x}y"}}));
    // The standard-input template takes values as they are, but never rereads them either.
    EXPECT_EQ("$val{bb} X", Fill("$val{aa} $val{bb}", params, {{"aa", "$val{bb}"}, {"bb", "X"}}, true));
    // A template that uses every byte the tokens could be made of still works: its own 0x01 bytes
    // are kept aside.
    std::string all;
    for (int c = 1; c < 256; ++c) {
        if (std::string("\"'\\`$#<>(){}|;&").find(static_cast<char>(c)) == std::string::npos)
            all += static_cast<char>(c);
    }
    EXPECT_EQ(all + " v\\;", Fill(all + " $val{aa}", params, {{"aa", "v;"}}));
    EXPECT_EQ(all + " v;", Fill(all + " $val{aa}", params, {{"aa", "v;"}}, true));
}

TEST(ExtensionCommand, RefusesPlacesWhereNoEscapingHolds) {
    const std::vector<std::pair<std::string, ParameterType>> params{{"aa", S}};
    EXPECT_THROW_MSG(
        Fill("echo `echo $val{aa}`", params, {{"aa", "x"}}),
        "Unable to fill the command template: a parameter value would stand inside backquotes; the "
        "template must use $(...) instead");
    EXPECT_THROW_MSG(
        Fill("echo $'a\\'' $val{aa}", params, {{"aa", "x"}}),
        "Unable to fill the command template: a parameter value would follow $'...' quoting that holds "
        "a backslash, which shells read in different ways");
    EXPECT_THROW_MSG(Fill("cat <<EOF\n$val{aa}\nEOF\necho hi", params, {{"aa", "EOF"}}),
                     "Unable to fill the command template: a parameter value would end the here-document "
                     "delimited by EOF");
    // The same places are fine without values, and after a closed backquote.
    EXPECT_EQ("echo `date` x", Fill("echo `date` $val{aa}", params, {{"aa", "x"}}));
    EXPECT_EQ("cat <<EOF\nEOFx\nEOF\n", Fill("cat <<EOF\nEOF$val{aa}\nEOF\n", params, {{"aa", "x"}}));
    EXPECT_EQ("echo $'ab'", Fill("echo $'a$val{aa}'", params, {{"aa", "'\\b"}}));
}

// The filling exactly as its defining steps read, with regular expressions, for comparison.
std::string Escape16(const std::string& value) {
    std::string out;
    for (char c : value) {
        if (isBadChar(c))
            out += '\\';
        out += c;
    }
    return out;
}

std::string DollarsEscaped(const std::string& text) {
    return std::regex_replace(text, std::regex("\\$"), "$$$$");
}

std::pair<size_t, size_t> ReferencePair(const std::string& text, size_t start) {
    return PairedReference(text.c_str(), start, text.size(), '{', '}');
}

// The patterns of one parameter name, compiled once.
struct NamePatterns {
    explicit NamePatterns(const std::string& n)
        : val("(" + any + "*)\\$val\\{" + n + "\\}(" + any + "*)"), valKey("\\$val\\{" + n + "\\}"),
          ifWhole(any + "*\\$if\\{" + n + ",(" + any + "+?)\\}" + any + "*"),
          ifOne("\\$if\\{" + n + ",(" + any + "+?)\\}"),
          listWhole(any + "*\\$list\\{" + n + ",'(" + any + "?)',(true|false)\\}" + any + "*"),
          listOne("\\$list\\{" + n + ",'(" + any + "?)',(true|false)\\}"),
          multiWhole(any + "*\\$multilist\\{" + n + ",(" + any + "+?),(true|false)\\}" + any + "*"),
          multiOne("\\$multilist\\{" + n + ",(" + any + "+?),(true|false)\\}") {}

    static inline const std::string any = "[\\s\\S]";
    std::regex val, valKey, ifWhole, ifOne, listWhole, listOne, multiWhole, multiOne;
};

const NamePatterns& PatternsFor(const std::string& name) {
    static std::map<std::string, NamePatterns> cache;
    return cache.try_emplace(name, name).first->second;
}

std::string ReferenceFill(const std::string& tmpl, const std::vector<std::string>& names, const Input& input,
                          bool forStdin) {
    if (tmpl.empty() || tmpl.find('$') == std::string::npos)
        return tmpl;
    std::string result = tmpl;
    const std::string& any = NamePatterns::any;
    for (const std::string& n : names) {
        if (!input.HasParameter(n))
            continue;
        const NamePatterns& p = PatternsFor(n);
        std::smatch m;
        if (std::regex_match(result, m, p.val)) {
            std::string value = input.GetParameter(n);
            if (!forStdin) {
                std::string before = m[1], after = m[2];
                if (!before.empty() && before.back() == '\'' && !after.empty() && after.front() == '\'')
                    value = ExtensionCommand::New()->SanitizeChar(value, '\'');
                else
                    value = Escape16(value);
            }
            result = std::regex_replace(result, p.valKey, DollarsEscaped(value));
        }
        if (std::regex_match(result, p.ifWhole))
            result = std::regex_replace(result, p.ifOne, "$1");
        if (std::regex_match(result, m, p.listWhole)) {
            std::vector<std::string> values;
            input.GetParameterList(n, values);
            std::string joined;
            for (size_t i = 0; i < values.size(); ++i)
                joined += (i ? m[1].str() : "") + values[i];
            if (!forStdin)
                joined = Escape16(joined);
            if (m[2] == "true")
                joined = "\"" + joined + "\"";
            result = std::regex_replace(result, p.listOne, DollarsEscaped(joined));
        }
        if (std::regex_match(result, m, p.multiWhole)) {
            std::vector<std::string> values;
            input.GetParameterList(n, values);
            bool q = m[2] == "true";
            std::string acc;
            for (const std::string& v : values) {
                std::string s = forStdin ? v
                                : q      ? ExtensionCommand::New()->SanitizeChar(v, '"')
                                         : Escape16(v);
                acc += " " + m[1].str() + " " + (q ? "\"" + s + "\"" : s);
            }
            result = std::regex_replace(result, p.multiOne, DollarsEscaped(acc));
        }
    }
    static const std::regex r(any + "*\\$if\\{[a-z0-9-]+," + any + "+?\\}" + any + "*");
    if (!std::regex_match(result, r))
        return result;
    size_t pos = result.find('{');
    while (pos != std::string::npos) {
        auto [start, size] = ReferencePair(result, pos);
        size_t d = result.rfind('$', start);
        if (d == std::string::npos) {
            pos = result.find('{', pos + std::max<size_t>(size, 1));
            continue;
        }
        if (std::regex_match(result.substr(d, start + size - d), r)) {
            result.erase(d, start + size - d);
            pos = result.find('{', pos);
        } else {
            pos = result.find('{', pos + std::max<size_t>(size, 1));
        }
    }
    return result;
}

TEST(ExtensionCommand, SameAsTheDefiningStepsWhereNoValueIsAtRisk) {
    // Templates built from the language's pieces, with values that hold nothing the shell or the
    // template language reads: the result must be the defining steps' result, byte for byte.
    const std::vector<std::string> pieces{
        "$val{aa}",
        "$val{bb}",
        "$if{aa,",
        "$if{bb,",
        "$if{cc,",
        "$if{zz,",
        "$list{ll,','",
        "$list{ll,''",
        "$list{cc,'x'",
        ",true}",
        ",false}",
        "$multilist{ll,",
        "$multilist{cc,",
        "-x",
        "{",
        "}",
        "$",
        "'",
        "\"",
        ",",
        " ",
        "x",
        "#",
        "\n",
        "$(",
        ")",
        "}}",
        "{{",
    };
    const std::vector<std::pair<std::string, ParameterType>> params{
        {"aa", S}, {"bb", S}, {"cc", L}, {"ll", L}, {"zz", F}};
    const std::vector<std::string> names{"aa", "bb", "cc", "help", "ll", "zz"};
    std::mt19937 random(20240611);
    const std::string safe = "abcxyz019-_.:/+@";
    auto value = [&] {
        std::string v(random() % 5, 'a');
        for (char& c : v)
            c = safe[random() % safe.size()];
        return v;
    };
    int compared = 0;
    for (int round = 0; round < 800; ++round) {
        std::string tmpl;
        for (int i = random() % 10 + 1; i > 0; --i)
            tmpl += pieces[random() % pieces.size()];
        auto command = MakeCommand(params, tmpl, tmpl);
        auto input = Input::New();
        for (const char* n : {"aa", "bb"})
            if (random() % 3)
                input->AddParameter(n, value());
        for (const char* n : {"cc", "ll"})
            for (int i = random() % 4; i > 0; --i)
                input->AddParameter(n, value());
        if (random() % 2)
            input->AddParameter("zz", "");
        input->SetInputSpec(command->GetInputSpec());
        for (bool forStdin : {false, true}) {
            std::string expected = ReferenceFill(tmpl, names, *input, forStdin);
            std::string actual;
            try {
                actual = command->SubstituteInput(input, forStdin);
            } catch (const Corvane::CorvaneException& e) {
                // Only the refusals of places where a value would not be safe.
                EXPECT_NE(std::string::npos,
                          std::string(e.what()).find("Unable to fill the command template"));
                continue;
            }
            ASSERT_EQ(expected, actual) << "template: " << tmpl << (forStdin ? " (stdin)" : "");
            ++compared;
        }
    }
    EXPECT_GT(compared, 1400);
}

TEST(ExtensionCommand, CleanupStaysFastOnHostileTemplates) {
    const std::vector<std::pair<std::string, ParameterType>> params{{"aa", S}, {"bb", S}};
    auto timed = [&](const std::string& tmpl) {
        auto began = std::chrono::steady_clock::now();
        std::string result = Fill(tmpl, params, {{"bb", "v"}});
        EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(2)) << tmpl.substr(0, 40);
        return result;
    };
    // 10,000 unmatched braces after a leftover $if; the last brace pairs with the final one.
    EXPECT_EQ(" " + std::string(10000, '{') + " }", timed("$if{aa,x} " + std::string(10000, '{') + " }"));
    // Many leftover constructs, each removed.
    std::string many;
    for (int i = 0; i < 20000; ++i)
        many += "$if{aa,x}";
    EXPECT_EQ("", timed(many));
    // One construct spanning deep nesting, behind an unpaired brace.
    EXPECT_EQ("$ ", timed("$ $if{aa,x" + std::string(20000, '{') + std::string(20000, '}')));
    // A $ far away from many brace pairs that are not constructs.
    std::string pairs = "$";
    for (int i = 0; i < 20000; ++i)
        pairs += "{}";
    EXPECT_EQ(pairs, timed(pairs + "$if{aa,y}"));
    // Many starts of constructs that never end.
    std::string starts;
    for (int i = 0; i < 20000; ++i)
        starts += "$multilist{bb,$list{bb,'$if{bb,";
    EXPECT_EQ(starts.size(), timed(starts).size());
}

// ---- running real shells ----

class ExtensionRun : public ::testing::Test {
protected:
    CorvaneTest::TempDir dir;
    ScopedEnv lang{"LANG", "C.UTF-8"};

    std::shared_ptr<Output> Run(const std::shared_ptr<ExtensionCommand>& command,
                                const std::vector<std::pair<std::string, std::string>>& values,
                                const std::string& user = std::string()) {
        auto input = MakeInput(command, values);
        if (!user.empty())
            input->SetContext("user", user);
        auto output = Output::New();
        command->ExecuteInternal(input, output);
        return output;
    }

    static std::string RootString(const std::shared_ptr<Output>& output) {
        auto root = std::dynamic_pointer_cast<MetaString>(output->GetRootObject());
        return root ? root->GetValue() : std::string("<no string root>");
    }
};

TEST_F(ExtensionRun, XmlResultBecomesTheRoot) {
    auto command = MakeCommand({{"name", S}}, "printf '<o><string>%s</string></o>' $val{name}");
    auto output = Run(command, {{"name", "a;b|c$(x)"}});
    EXPECT_TRUE(output->GetErrors().empty());
    EXPECT_EQ("a;b|c$(x)", RootString(output));

    // Through Execute the result is validated against the declared string output.
    auto commandInput = CommandInput::New();
    commandInput->AddParameter("name", "v");
    commandInput->SetInputSpec(command->GetInputSpec());
    auto executed = Output::New();
    command->Execute(commandInput, executed);
    EXPECT_TRUE(executed->GetErrors().empty());
    EXPECT_EQ("v", RootString(executed));

    // The standard-input template reaches the program unescaped.
    auto fromStdin = MakeCommand({{"name", S}}, "cat", "<o><string>$val{name}</string></o>");
    EXPECT_EQ("it's a;b `c`", RootString(Run(fromStdin, {{"name", "it's a;b `c`"}})));

    // Output that is not XML gives neither a value nor an error here; Execute then reports the
    // missing root.
    auto notXml = MakeCommand({}, "echo not xml");
    auto plain = Run(notXml, {});
    EXPECT_TRUE(plain->GetErrors().empty());
    EXPECT_EQ(nullptr, plain->GetRootObject());

    auto badTag = MakeCommand({}, "echo '<o><integer>1</integer></o>'");
    auto bad = Run(badTag, {});
    ASSERT_EQ(1u, bad->GetErrors().size());
    EXPECT_EQ(
        "Unable to parse output of Extension Command: Error parsing command output.  Unable to build a "
        "proper metaobject from output tag.  output must contain properly formatted tags of type bool, int, "
        "string, structure and list. Error was : Unable to make a MetaObject from a node with tag 'integer'",
        bad->GetErrors()[0]);
}

TEST_F(ExtensionRun, LeadingErrorLines) {
    auto output = Run(MakeCommand({}, "printf 'ERROR: disk full\\nsecond line\\nERROR:late\\n'"), {});
    EXPECT_EQ(std::vector<std::string>{" disk full"}, output->GetErrors());
    EXPECT_EQ(nullptr, output->GetRootObject());

    output = Run(MakeCommand({}, "printf 'ERROR:a\\nERROR:\\nERROR:last'"), {});
    EXPECT_EQ((std::vector<std::string>{"a", "", "last"}), output->GetErrors());

    output = Run(MakeCommand({}, "printf 'ERROR:only\\n'"), {});
    EXPECT_EQ(std::vector<std::string>{"only"}, output->GetErrors());

    // A later ERROR: line is no error; the document is read.
    output = Run(MakeCommand({}, "printf '<o>\\nERROR: y\\n<string>ERROR:x</string></o>\\n'"), {});
    EXPECT_TRUE(output->GetErrors().empty());
    EXPECT_EQ("ERROR:x", RootString(output));
    output = Run(MakeCommand({}, "printf 'error: lower\\n'"), {});
    EXPECT_TRUE(output->GetErrors().empty());
}

TEST_F(ExtensionRun, EmptyOutputReportsTheExitStatus) {
    auto output = Run(MakeCommand({{"code", S}}, "exit $val{code}"), {{"code", "3"}});
    EXPECT_EQ(
        std::vector<std::string>{"Got no data from process.\nCommand \"exit 3\"\nexited with error code: 3"},
        output->GetErrors());
    output = Run(MakeCommand({}, "true"), {});
    EXPECT_EQ(
        std::vector<std::string>{"Got no data from process.\nCommand \"true\"\nexited with error code: 0"},
        output->GetErrors());
    // A shell killed by a signal has no exit code: the message names the signal instead.
    output = Run(MakeCommand({}, "kill -9 $$"), {});
    EXPECT_EQ(
        std::vector<std::string>{"Got no data from process.\nCommand \"kill -9 $$\"\nterminated by signal 9"},
        output->GetErrors());
    // Output on standard error does not count as data.
    std::string err =
        CorvaneTest::CaptureFd(2, [&] { output = Run(MakeCommand({}, "echo oops >&2; exit 4"), {}); });
    EXPECT_EQ("oops\n", err);
    ASSERT_EQ(1u, output->GetErrors().size());
    EXPECT_EQ("exited with error code: 4",
              output->GetErrors()[0].substr(output->GetErrors()[0].rfind('\n') + 1));
}

TEST_F(ExtensionRun, LangPrefix) {
    auto command = MakeCommand(
        {},
        dir.WriteFile("lang.sh", "#!/bin/sh\nprintf '<o><string>%s</string></o>' \"${LANG-unset}\"\n", 0755));
    {
        ScopedEnv unset("LANG", nullptr);
        EXPECT_EQ("en_US.UTF-8", RootString(Run(command, {})));
        auto output = Run(MakeCommand({}, "exit 2"), {});
        EXPECT_EQ(std::vector<std::string>{"Got no data from process.\nCommand \"LANG=en_US.UTF-8 exit 2\"\n"
                                           "exited with error code: 2"},
                  output->GetErrors());
    }
    {
        // Set but empty counts as set.
        ScopedEnv empty("LANG", "");
        EXPECT_EQ("", RootString(Run(command, {})));
    }
    {
        ScopedEnv set("LANG", "C");
        EXPECT_EQ("C", RootString(Run(command, {})));
    }
}

TEST_F(ExtensionRun, UserContext) {
    ScopedEnv clear("ZU_USERNAME", nullptr);
    auto command = MakeCommand(
        {},
        dir.WriteFile(
            "user.sh",
            "#!/bin/sh\nv=$(printenv ZU_USERNAME) || v=none\nprintf '<o><string>%s</string></o>' \"$v\"\n",
            0755));
    // Without the declared context the user name is not passed.
    EXPECT_EQ("none", RootString(Run(command, {}, "alice")));
    command->GetInputSpec()->SetContextSupported("user");
    EXPECT_EQ("O'Brien $(x) `y`;", RootString(Run(command, {}, "O'Brien $(x) `y`;")));
    EXPECT_EQ("none", RootString(Run(command, {})));
    // The prefix is not part of the command text shown in messages.
    auto silent = MakeCommand({}, "exit 1");
    silent->GetInputSpec()->SetContextSupported("user");
    EXPECT_EQ(
        std::vector<std::string>{"Got no data from process.\nCommand \"exit 1\"\nexited with error code: 1"},
        Run(silent, {}, "bob")->GetErrors());
}

TEST_F(ExtensionRun, FailuresBecomeErrorsOfTheCall) {
    auto command = MakeCommand({{"verbose", F}}, "run $val{verbose}");
    auto input = CommandInput::New();
    input->SetCommandPath({"tool", "run"});
    input->AddParameter("verbose", "");
    input->SetInputSpec(command->GetInputSpec());
    auto output = Output::New();
    command->Execute(input, output);
    EXPECT_EQ(std::vector<std::string>{"Error on command tool run : Request for GetParameter on a flag type "
                                       "parameter: verbose"},
              output->GetErrors());

    auto refused = MakeCommand({{"aa", S}}, "echo `echo $val{aa}`");
    auto refusedInput = CommandInput::New();
    refusedInput->SetCommandPath({"r"});
    refusedInput->AddParameter("aa", "x");
    refusedInput->SetInputSpec(refused->GetInputSpec());
    auto refusedOutput = Output::New();
    refused->Execute(refusedInput, refusedOutput);
    ASSERT_EQ(1u, refusedOutput->GetErrors().size());
    EXPECT_EQ(0u,
              refusedOutput->GetErrors()[0].find("Error on command r : Unable to fill the command template"));
}

} // namespace
