// DeferredNamespace: a namespace whose subtree is made only when something looks inside it.
#pragma once

#include <corvane/tree.h>

#include <string_view>

namespace Corvane::AutoCli {

/// A namespace registered with its subtree still in another form (a cache entry, say). Every
/// operation that reads or changes its children first builds the subtree exactly as registering it
/// at once would have, so callers see no difference; the command listing alone can walk the commands
/// of a subtree not built yet.
class DeferredNamespace : public Namespace {
public:
    /// What a walk over the commands of a subtree not built yet does with each, given the path of
    /// the namespace holding it, its name and its description.
    class CommandVisitor {
    public:
        /// Whether the command is wanted: only wanted commands are put in order and visited.
        virtual bool Wants(std::string_view path, std::string_view name, std::string_view description) = 0;
        virtual void Visit(std::string_view path, std::string_view name, std::string_view description) = 0;

    protected:
        ~CommandVisitor() = default;
    };

    /// True once the subtree has been built.
    virtual bool IsExpanded() const = 0;
    /// Visits every wanted command below this namespace, depth first in name order, as a walk over
    /// the built subtree would meet them. Only while the subtree is not built.
    virtual void ListCommands(CommandVisitor& visitor) = 0;
};

} // namespace Corvane::AutoCli
