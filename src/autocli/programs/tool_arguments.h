// ToolArguments: the argument loop of the programs beside varnok (varnok-lint, varnok-doc).
#pragma once

#include <ostream>
#include <string>

namespace Corvane::AutoCli {

// Hands out a program's words in order after its name. An option that takes a value takes the next
// word, or, where the program allows it, the text after "=" in the same word. A misuse is reported
// the same way by every program: "PROGRAM: MESSAGE", then the usage text, status 2.
class ToolArguments {
public:
    ToolArguments(int argc, const char* const* argv, const char* program, const char* usage)
        : argc(argc), argv(argv), program(program), usage(usage) {}

    void PrintUsage(std::ostream& out) const { out << usage; }
    // Writes the misuse `message` and the usage text to `err`; returns the status of a misuse, 2.
    int UsageError(std::ostream& err, const std::string& message) const;

    // The next word in `word`; false after the last one.
    bool Next(std::string& word);

    // Whether `word` is the option `name`: exactly, or with `inlineValue` also as name=VALUE.
    static bool IsOption(const std::string& word, const std::string& name, bool inlineValue);
    static bool IsHelp(const std::string& word) { return word == "-h" || word == "--help"; }

    // The value of the option `word` that Next just gave: the text after its "=" when it has one,
    // otherwise the next word, which is then used up. False, with nothing used up, when no word
    // follows.
    bool TakeValue(const std::string& word, std::string& value);

private:
    int argc;
    const char* const* argv;
    const char* program;
    const char* usage;
    int next = 1;
};

} // namespace Corvane::AutoCli
