// Namespace and RootNamespace: the inner nodes of the command tree and its top.
#include <corvane/tree.h>

namespace Corvane::AutoCli {

std::shared_ptr<Namespace> Namespace::New() {
    return std::make_shared<Namespace>();
}

Namespace::Namespace() = default;

Namespace::~Namespace() = default;

std::shared_ptr<NamespaceNode> Namespace::GetThis() {
    return shared_from_this();
}

NamespaceNodeType Namespace::GetType() {
    return NamespaceType;
}

Dispatcher* Namespace::GetDispatcher() {
    std::shared_ptr<NamespaceNode> owner = GetParent();
    if (!owner) {
        throw CorvaneException("Invalid state for namespace '" + GetName() +
                               "no parent has been set while attempting to get dispathcer reference.");
    }
    return owner->GetDispatcher();
}

void Namespace::SetParent(std::shared_ptr<NamespaceNode> newParent) {
    parent = newParent;
}

std::shared_ptr<NamespaceNode> Namespace::GetParent() {
    return parent.lock();
}

std::shared_ptr<RootNamespace> RootNamespace::New(Dispatcher* dispatcher) {
    return std::make_shared<RootNamespace>(dispatcher);
}

RootNamespace::RootNamespace(Dispatcher* owner) : dispatcher(owner) {}

RootNamespace::~RootNamespace() = default;

std::shared_ptr<NamespaceNode> RootNamespace::GetThis() {
    return shared_from_this();
}

NamespaceNodeType RootNamespace::GetType() {
    return RootType;
}

std::list<std::string> RootNamespace::GetPath() {
    return {};
}

std::string RootNamespace::GetPathString(char /*separator*/) {
    return {};
}

Dispatcher* RootNamespace::GetDispatcher() {
    return dispatcher;
}

void RootNamespace::SetParent(std::shared_ptr<NamespaceNode> /*parent*/) {
    throw CorvaneException("Error, Root namespace cannot be assigned a parent node");
}

std::shared_ptr<NamespaceNode> RootNamespace::GetParent() {
    return nullptr;
}

} // namespace Corvane::AutoCli
