// ToolArguments: walking a program's words, taking option values and reporting a misuse.
#include "autocli/programs/tool_arguments.h"

namespace Corvane::AutoCli {

bool ToolArguments::Next(std::string& word) {
    if (next >= argc) {
        return false;
    }
    word = argv[next++];
    return true;
}

int ToolArguments::UsageError(std::ostream& err, const std::string& message) const {
    err << program << ": " << message << "\n" << usage;
    return 2;
}

bool ToolArguments::IsOption(const std::string& word, const std::string& name, bool inlineValue) {
    return word == name || (inlineValue && word.size() > name.size() && word[name.size()] == '=' &&
                            word.compare(0, name.size(), name) == 0);
}

bool ToolArguments::TakeValue(const std::string& word, std::string& value) {
    const std::string::size_type equals = word.find('=');
    if (equals != std::string::npos) {
        value = word.substr(equals + 1);
        return true;
    }
    if (next >= argc) {
        return false;
    }
    value = argv[next++];
    return true;
}

} // namespace Corvane::AutoCli
