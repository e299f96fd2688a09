// DeferredNamespace: a namespace whose subtree is made only when something looks inside it.
#pragma once

#include <corvane/tree.h>

#include <string_view>

namespace Corvane::AutoCli {

/// A namespace registered with its subtree still in another form (a cache entry, say). Every
/// operation that reads or changes its children first builds the subtree exactly as registering it
/// at once would have, so callers see no difference; the command listing alone can walk the commands
/// of a subtree not built yet.
/// The listing's test of one field against one filter: a case-sensitive substring search, which the
/// empty filter always passes.
inline bool PassesFilter(std::string_view text, std::string_view filter) {
    return filter.empty() || text.find(filter) != std::string_view::npos;
}

/// The three filters of a command listing, each tested with PassesFilter.
struct CommandFilters {
    std::string_view namespacePath; ///< against the path of the namespace holding the command
    std::string_view command;       ///< against the command's name
    std::string_view description;   ///< against the command's description

    bool Pass(std::string_view path, std::string_view name, std::string_view text) const {
        return PassesFilter(path, namespacePath) && PassesFilter(name, command) &&
               PassesFilter(text, description);
    }
};

class DeferredNamespace : public Namespace {
public:
    /// Receives the commands a walk over a subtree not built yet lists: the path of the namespace
    /// holding each, its name and its description.
    class CommandVisitor {
    public:
        virtual void Visit(std::string_view path, std::string_view name, std::string_view description) = 0;

    protected:
        ~CommandVisitor() = default;
    };

    /// True once the subtree has been built.
    virtual bool IsExpanded() const = 0;
    /// Visits every command below this namespace that passes `filters`, depth first in name order,
    /// as a walk over the built subtree would meet them. Only while the subtree is not built.
    virtual void ListCommands(const CommandFilters& filters, CommandVisitor& visitor) = 0;
};

} // namespace Corvane::AutoCli
