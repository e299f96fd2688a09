// AllCommands: every command of a tree, for the documents written about all of them.
#pragma once

#include <corvane/tree.h>

#include <memory>
#include <vector>

namespace Corvane::AutoCli {

// The commands below `root`, depth first in the tree's order (by name at each level), so in path
// order. Subtrees not built yet are built.
std::vector<std::shared_ptr<Command>> AllCommands(const std::shared_ptr<NamespaceNode>& root);

} // namespace Corvane::AutoCli
