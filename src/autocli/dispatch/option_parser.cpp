// OptionParser: option words, dispatcher options, command path, command options and the diagnostic dump.
#include <corvane/dispatch.h>

#include "autocli/os/terminal.h"

#include <unistd.h>

#include <string_view>

namespace Corvane::AutoCli {

namespace {

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The length of the long option name at the start of `text` (after "--"): a letter, then one or
// more letters, digits and hyphens, as many as there are. Zero when there is no such name.
std::size_t LongNameLength(std::string_view text) {
    if (text.empty() || !IsAsciiLetter(text[0])) {
        return 0;
    }
    std::size_t length = 1;
    while (length < text.size() && (IsAsciiLetter(text[length]) ||
                                    (text[length] >= '0' && text[length] <= '9') || text[length] == '-')) {
        ++length;
    }
    return length >= 2 ? length : 0;
}

// The three shapes of an option word, matched in full: "-x" (one letter), "--name" and
// "--name=value" (a name of two or more letters, digits and hyphens starting with a letter, and a
// non-empty value of any bytes). Hand-written: every word of every command line goes through it.
enum class OptionShape { None, Short, Long, LongWithValue };

OptionShape ShapeOf(std::string_view word, std::string_view& name, std::string_view& value) {
    if (word.size() == 2 && word[0] == '-' && IsAsciiLetter(word[1])) {
        name = word.substr(1);
        return OptionShape::Short;
    }
    if (word.size() < 4 || word[0] != '-' || word[1] != '-') {
        return OptionShape::None;
    }
    const std::size_t length = LongNameLength(word.substr(2));
    if (length == 0) {
        return OptionShape::None;
    }
    name = word.substr(2, length);
    if (2 + length == word.size()) {
        return OptionShape::Long;
    }
    if (word[2 + length] == '=' && 3 + length < word.size()) {
        value = word.substr(3 + length);
        return OptionShape::LongWithValue;
    }
    return OptionShape::None;
}

bool HasName(const OptionParser::ParameterList& parameters, const std::string& name) {
    for (const auto& parameter : parameters) {
        if (parameter.first == name) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> ValuesOf(const OptionParser::ParameterList& parameters, const std::string& name) {
    std::vector<std::string> values;
    for (const auto& parameter : parameters) {
        if (parameter.first == name) {
            values.push_back(parameter.second);
        }
    }
    return values;
}

void AppendParameters(std::string& text, const OptionParser::ParameterList& parameters) {
    for (const auto& parameter : parameters) {
        text += "\n   --";
        text += parameter.first;
        text += " = '";
        text += parameter.second;
        text += "'";
    }
}

} // namespace

OptionParser::OptionParser() : dispatcher("varnok") {}

OptionParser::OptionParser(const std::string& dispatcher) : dispatcher(dispatcher) {}

void OptionParser::ParseArgv(int argc, const char* const* argv) {
    if (argc < 1 || argv == nullptr) {
        return;
    }
    if (argv[0] != nullptr) {
        dispatcher = argv[0];
    }
    std::stack<std::string> words;
    for (int i = argc - 1; i >= 1; --i) {
        // A null entry can only be the terminator some callers count into argc.
        if (argv[i] != nullptr) {
            words.push(argv[i]);
        }
    }
    ParseStack(std::move(words));
}

void OptionParser::ParseVector(std::vector<std::string> words) {
    std::stack<std::string> stack;
    for (auto word = words.rbegin(); word != words.rend(); ++word) {
        stack.push(std::move(*word));
    }
    ParseStack(std::move(stack));
}

void OptionParser::ParseStack(std::stack<std::string> words) {
    if (words.empty()) {
        return;
    }
    readingDispatcherOptions = true;
    dispatcherParameters = ParseParameters(words);
    readingDispatcherOptions = false;
    commandPath = ParsePath(words);
    remaining = std::move(words);
}

std::list<std::string> OptionParser::ParsePath(std::stack<std::string>& words) {
    std::list<std::string> path;
    while (!words.empty() && !IsParameter(words.top())) {
        path.push_back(std::move(words.top()));
        words.pop();
    }
    return path;
}

OptionParser::ParameterList OptionParser::ParseParameters(std::stack<std::string>& words) {
    ParameterList parameters;
    while (!words.empty() && IsParameter(words.top())) {
        std::string word = std::move(words.top());
        words.pop();
        std::string name;
        std::string value;
        if (!ParseParameter(word, name, value)) {
            // A dispatcher option that is a switch: the next word begins the command path.
            if (readingDispatcherOptions && name == "dry-run") {
                parameters.emplace_back(std::move(name), std::move(value));
                continue;
            }
            if (!words.empty() && !IsParameter(words.top())) {
                value = std::move(words.top());
                words.pop();
            } else if (inputSpec) {
                for (const auto& spec : inputSpec->GetParameters()) {
                    if (spec->GetName() != name && spec->GetShortName() != name) {
                        continue;
                    }
                    if (spec->IsSecret()) {
                        // Once one secret could not be read the command will not run: the others
                        // are not asked for.
                        std::string failure;
                        if (!secretUnread &&
                            !AskForSecret(spec->GetName(), secretsFromTerminal, value, failure)) {
                            parseErrors.push_back(std::move(failure));
                            secretUnread = true;
                        }
                    } else if (spec->GetType() != CallSpec::ParameterType::Flag &&
                               spec->GetName() != "help") {
                        parseErrors.push_back(CallSpec::EchoText(word) + " must have value");
                    }
                    break;
                }
            }
        }
        parameters.emplace_back(std::move(name), std::move(value));
    }
    return parameters;
}

bool OptionParser::ParseParameter(const std::string& word, std::string& name, std::string& value) {
    std::string_view nameView;
    std::string_view valueView;
    switch (ShapeOf(word, nameView, valueView)) {
    case OptionShape::Short:
    case OptionShape::Long:
        name = nameView;
        return false;
    case OptionShape::LongWithValue:
        name = nameView;
        value = valueView;
        return true;
    case OptionShape::None:
        break;
    }
    parseErrors.push_back("Attempt to parse option failed.  Input was : " + CallSpec::EchoText(word));
    return false;
}

bool OptionParser::IsParameter(const std::string& word) {
    std::string_view name;
    std::string_view value;
    return ShapeOf(word, name, value) != OptionShape::None;
}

void OptionParser::SetSecretsFromTerminal(bool fromTerminal) {
    secretsFromTerminal = fromTerminal;
}

void OptionParser::SetInputSpec(std::shared_ptr<CallSpec::InputSpec> spec) {
    inputSpec = std::move(spec);
}

void OptionParser::ProcessCommandArguments() {
    if (remaining.empty()) {
        return;
    }
    commandParameters = ParseParameters(remaining);
    if (remaining.empty()) {
        return;
    }
    std::string words;
    while (!remaining.empty()) {
        words += "'" + remaining.top() + "' ";
        remaining.pop();
    }
    parseErrors.push_back("Found Extra non-parameter arguments at the end of input: " +
                          CallSpec::EchoText(words));
}

bool OptionParser::HasDispatcherParameter(const std::string& name) const {
    return HasName(dispatcherParameters, name);
}

std::vector<std::string> OptionParser::GetDispatcherParameter(const std::string& name) const {
    return ValuesOf(dispatcherParameters, name);
}

OptionParser::ParameterList& OptionParser::GetCommandParameters() {
    ProcessCommandArguments();
    return commandParameters;
}

bool OptionParser::HasCommandParameter(const std::string& name) {
    ProcessCommandArguments();
    return HasName(commandParameters, name);
}

std::vector<std::string> OptionParser::GetCommandParameter(const std::string& name) {
    ProcessCommandArguments();
    return ValuesOf(commandParameters, name);
}

std::string OptionParser::ToString() {
    std::string text = "Parsed: ";
    text += parsed ? "1" : "0";
    text += "\nDispatcher: " + dispatcher;
    text += "\nErrors: ";
    // Listed before the command options are processed below, so errors found by that processing
    // are not in this dump.
    for (const auto& error : parseErrors) {
        text += "\n   " + error;
    }
    text += "\nPath: ";
    for (const auto& word : commandPath) {
        text += "'" + word + "'";
    }
    text += "\nDispatch Params: ";
    AppendParameters(text, dispatcherParameters);
    text += "\nCommand Params: ";
    AppendParameters(text, GetCommandParameters());
    text += "\n";
    return text;
}

// Byte by byte from descriptor 0, so that nothing after the line is taken from whoever reads
// standard input next.
std::string OptionParser::GetSilentString() {
    std::string line;
    int error = 0;
    ReadSilentLine(STDIN_FILENO, line, error);
    return line;
}

} // namespace Corvane::AutoCli
