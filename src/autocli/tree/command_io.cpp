// CommandInput and CommandOutput: the call objects the dispatcher hands to a command.
#include <corvane/tree.h>

#include <boost/algorithm/string/join.hpp>

namespace Corvane::AutoCli {

std::shared_ptr<CommandInput> CommandInput::New() {
    return std::make_shared<CommandInput>();
}

CommandInput::CommandInput() = default;

CommandInput::~CommandInput() = default;

void CommandInput::SetDispatcher(const std::string& name) {
    dispatcher = name;
}

void CommandInput::SetCommandPath(const std::list<std::string>& path) {
    commandPath = path;
}

std::string CommandInput::GetCommandPathString() const {
    return boost::algorithm::join(commandPath, " ");
}

std::shared_ptr<CommandOutput> CommandOutput::New() {
    return std::make_shared<CommandOutput>();
}

CommandOutput::CommandOutput() = default;

CommandOutput::~CommandOutput() = default;

void CommandOutput::SetFormattedString(const std::string& text) {
    formattedString = text;
}

} // namespace Corvane::AutoCli
