// Fuzz target of the option parser: command-file lines (ParseString) and argument vectors
// (ParseVector), with the command options parsed against a small input specification.
#include "fuzz_support.h"

#include <corvane/dispatch.h>

#include <boost/regex.hpp>

#include <string>
#include <vector>

namespace {

using Corvane::AutoCli::OptionParser;
using Corvane::CallSpec::InputSpec;
using Corvane::CallSpec::ParameterSpec;
using Corvane::CallSpec::ParameterType;
using Corvane::Fuzz::Fail;

// A flag, a string and an integer option with short names; never a secret one, whose value would
// be read from standard input.
std::shared_ptr<InputSpec> MakeSpec() {
    auto spec = InputSpec::New();
    auto verbose = ParameterSpec::New("verbose", ParameterType::Flag);
    verbose->SetShortName("v");
    spec->AddParameter(verbose);
    auto name = ParameterSpec::New("name", ParameterType::String);
    name->SetShortName("n");
    spec->AddParameter(name);
    spec->AddParameter(ParameterSpec::New("count", ParameterType::Int));
    return spec;
}

// Everything the parser made of its input, in one text; two parses agree when their texts do.
std::string Parse(OptionParser& parser, const std::string& input, bool asLine, bool withSpec) {
    if (asLine) {
        parser.ParseString(input);
    } else {
        std::vector<std::string> words;
        std::string::size_type start = 0;
        for (std::string::size_type end; (end = input.find('\n', start)) != std::string::npos;
             start = end + 1) {
            words.push_back(input.substr(start, end - start));
        }
        words.push_back(input.substr(start));
        parser.ParseVector(words);
    }
    if (withSpec) {
        parser.SetInputSpec(MakeSpec());
    }
    parser.ProcessCommandArguments();
    std::string text = parser.ToString();
    for (const auto& error : parser.GetParseErrors()) {
        text += "\nerror: " + error;
    }
    return text;
}

bool IsOptionName(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    for (const char c : name) {
        if (!(c == '-' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
            return false;
        }
    }
    return name[0] != '-' && (name.size() == 1 ? OptionParser::IsParameter("-" + name)
                                               : OptionParser::IsParameter("--" + name));
}

void CheckOptions(const OptionParser::ParameterList& options, bool asLine, const std::string& dump) {
    for (const auto& [name, value] : options) {
        if (!IsOptionName(name)) {
            Fail("an option name is not one an option word can carry", dump);
        }
        if (asLine && value.find('"') != std::string::npos) {
            Fail("a double quote survived line splitting", dump);
        }
    }
}

// The parser matches option words by hand; they must be exactly the words of this grammar, split
// the same way.
void CheckWordGrammar(const std::string& word) {
    static const boost::regex flag("^-([a-zA-Z])$|^--([a-zA-Z][a-zA-Z0-9-]+)$");
    static const boost::regex withValue("^--([a-zA-Z][a-zA-Z0-9-]+)=(.+)$");
    boost::smatch match;
    std::string name;
    std::string value;
    bool matches = true;
    if (boost::regex_match(word, match, flag)) {
        name = match[1].matched ? match.str(1) : match.str(2);
    } else if (boost::regex_match(word, match, withValue)) {
        name = match.str(1);
        value = match.str(2);
    } else {
        matches = false;
    }
    if (OptionParser::IsParameter(word) != matches) {
        Fail("the option-word test disagrees with the grammar", word);
    }
    std::string parsedName;
    std::string parsedValue;
    OptionParser parser;
    parser.ParseParameter(word, parsedName, parsedValue);
    if (parser.GetParseErrors().empty() != matches || parsedName != name || parsedValue != value) {
        Fail("an option word is split otherwise than the grammar splits it", word);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Corvane::Fuzz::ByteReader reader(data, size);
    const std::uint8_t mode = reader.Byte();
    const bool asLine = (mode & 1) == 0;
    const bool withSpec = (mode & 2) != 0;
    const std::string input = reader.Rest();
    CheckWordGrammar(input);

    OptionParser parser;
    const std::string dump = Parse(parser, input, asLine, withSpec);
    for (const auto& word : parser.GetCommandPath()) {
        if (OptionParser::IsParameter(word)) {
            Fail("a path word is an option word", dump);
        }
        if (asLine && word.find('"') != std::string::npos) {
            Fail("a double quote survived line splitting", dump);
        }
    }
    CheckOptions(parser.GetDispatcherParameters(), asLine, dump);
    CheckOptions(parser.GetCommandParameters(), asLine, dump);
    // Dispatcher options come first: without them there is no path, and a path needs a first word.
    if (parser.GetCommandPath().empty() && !parser.GetCommandParameters().empty()) {
        Fail("command options without a command path", dump);
    }

    OptionParser again;
    if (Parse(again, input, asLine, withSpec) != dump) {
        Fail("parsing the same input twice gave different results", dump);
    }
    return 0;
}
