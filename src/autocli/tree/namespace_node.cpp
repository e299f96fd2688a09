// NamespaceNode: naming, child registration, path lookup and the path of a node.
#include <corvane/tree.h>

namespace Corvane::AutoCli {

NamespaceNode::NamespaceNode() = default;

NamespaceNode::~NamespaceNode() = default;

void NamespaceNode::SetName(const std::string& newName) {
    if (!AutoCli_IsValidName(newName)) {
        throw CorvaneException("Invalid name for namespace '" + newName +
                               "', must be a name consisting of letters and numbers and must conform to "
                               "'camel' casing.");
    }
    name = newName;
}

void NamespaceNode::SetDescription(std::string text) {
    description = std::move(text);
}

void NamespaceNode::SetDescription(const char* text) {
    description = text ? text : "";
}

std::string NamespaceNode::PathForMessage() {
    try {
        return GetPathString(' ');
    } catch (const CorvaneException&) {
        // A detached subtree: name what can be named instead of replacing the caller's message.
        std::list<std::string> words;
        std::shared_ptr<NamespaceNode> holder;
        for (NamespaceNode* node = this; node != nullptr; node = holder.get()) {
            if (!node->name.empty()) {
                words.push_front(node->name);
            }
            holder = node->GetParent();
        }
        std::string result;
        for (const std::string& word : words) {
            if (!result.empty()) {
                result += ' ';
            }
            result += word;
        }
        return result;
    }
}

std::list<std::string> NamespaceNode::GetPath() {
    std::shared_ptr<NamespaceNode> parent = GetParent();
    if (!parent) {
        throw CorvaneException("GetPath: Invalid state for Namespace Node with the name '" + name +
                               "' No parent node has been set");
    }
    std::list<std::string> path = parent->GetPath();
    path.push_back(name);
    return path;
}

std::string NamespaceNode::GetPathString(char separator) {
    std::shared_ptr<NamespaceNode> parent = GetParent();
    if (!parent) {
        throw CorvaneException("GetPathString: Invalid state for Namespace Node with the name '" + name +
                               "' No parent node has been set");
    }
    std::string path = parent->GetPathString(separator);
    if (!path.empty()) {
        path += separator;
    }
    path += name;
    return path;
}

bool NamespaceNode::HasNamespaceNode(const std::string& childName) {
    return children.find(childName) != children.end();
}

std::vector<std::string> NamespaceNode::GetNamespaceNodeNames() {
    std::vector<std::string> names;
    names.reserve(children.size());
    for (const auto& entry : children) {
        names.push_back(entry.first);
    }
    return names;
}

std::vector<std::shared_ptr<NamespaceNode>> NamespaceNode::GetNamespaceNodes() {
    std::vector<std::shared_ptr<NamespaceNode>> nodes;
    nodes.reserve(children.size());
    for (const auto& entry : children) {
        nodes.push_back(entry.second);
    }
    return nodes;
}

std::shared_ptr<NamespaceNode> NamespaceNode::GetNamespaceNode(const std::string& childName) {
    auto found = children.find(childName);
    return found == children.end() ? nullptr : found->second;
}

void NamespaceNode::RegisterNamespaceNode(std::shared_ptr<NamespaceNode> node, std::string childName) {
    if (HasNamespaceNode(childName)) {
        throw CorvaneException("Duplicate registration in namespace " + PathForMessage() +
                               " attempt to register two objects with name " + childName);
    }
    if (!node) {
        throw CorvaneException("Null namespace node named '" + childName + "' passed to namespace " +
                               PathForMessage());
    }
    // A node with two parents would sit in two maps under possibly different keys, and a node
    // registered below itself would own itself and never be released. A root is left to its own
    // SetParent, which refuses any parent.
    const bool isRoot = node->GetType() == RootType;
    if (!isRoot && node->GetParent()) {
        throw CorvaneException("Attempt to register the node " + node->PathForMessage() + " again as '" +
                               childName + "' in namespace " + PathForMessage() +
                               ". A node can be registered only once.");
    }
    // A node without children can be an ancestor of nothing but itself: only a namespace that already
    // holds nodes needs the walk up from here.
    std::shared_ptr<NamespaceNode> ancestor;
    NamespaceNode* start = isRoot ? nullptr : this;
    if (start != nullptr && node->children.empty()) {
        start = node.get() == this ? this : nullptr;
    }
    for (NamespaceNode* current = start; current != nullptr; current = ancestor.get()) {
        if (current == node.get()) {
            throw CorvaneException("Attempt to register a node as '" + childName +
                                   "' inside itself in namespace " + PathForMessage() +
                                   ". A node cannot be its own ancestor.");
        }
        ancestor = current->GetParent();
    }

    std::string previousName = node->name;
    node->SetName(childName);
    try {
        node->SetParent(GetThis());
    } catch (...) {
        node->name = std::move(previousName);
        throw;
    }
    children.emplace(std::move(childName), std::move(node));
}

void NamespaceNode::RegisterNamespaceNode(std::shared_ptr<NamespaceNode> node, const char* childName) {
    RegisterNamespaceNode(std::move(node), std::string(childName ? childName : ""));
}

std::shared_ptr<NamespaceNode> NamespaceNode::ResolveNode(std::list<std::string>& path) {
    if (path.empty()) {
        return nullptr;
    }
    std::string word = std::move(path.front());
    path.pop_front();
    std::shared_ptr<NamespaceNode> child = GetNamespaceNode(word);
    if (!child) {
        // The word is not put back: a failed lookup leaves the caller's list shortened.
        throw CorvaneException("Unable to find a command or namespace with the name '" +
                               CallSpec::EchoText(word) + "' in namespace " + PathForMessage());
    }
    std::shared_ptr<NamespaceNode> result = path.empty() ? child : child->ResolveNode(path);
    path.push_front(std::move(word));
    return result;
}

std::shared_ptr<NamespaceNode> NamespaceNode::SubNamespace(const std::string& childName) {
    // GetNamespaceNode, not HasNamespaceNode: a command answers it with its own refusal.
    if (std::shared_ptr<NamespaceNode> existing = GetNamespaceNode(childName)) {
        return existing;
    }
    std::shared_ptr<Namespace> created = Namespace::New();
    RegisterNamespaceNode(created, childName);
    return created;
}

} // namespace Corvane::AutoCli
