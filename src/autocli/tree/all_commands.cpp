// AllCommands: a depth-first walk collecting the commands of a tree.
#include "autocli/tree/all_commands.h"

namespace Corvane::AutoCli {

namespace {

void CollectCommands(const std::shared_ptr<NamespaceNode>& node,
                     std::vector<std::shared_ptr<Command>>& commands) {
    for (const auto& child : node->GetNamespaceNodes()) {
        if (child->GetType() == CommandType) {
            if (auto command = std::dynamic_pointer_cast<Command>(child)) {
                commands.push_back(command);
            }
        } else {
            CollectCommands(child, commands);
        }
    }
}

} // namespace

std::vector<std::shared_ptr<Command>> AllCommands(const std::shared_ptr<NamespaceNode>& root) {
    std::vector<std::shared_ptr<Command>> commands;
    CollectCommands(root, commands);
    return commands;
}

} // namespace Corvane::AutoCli
