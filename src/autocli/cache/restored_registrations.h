// What a descriptor restored from the cache declares, registered as namespaces whose subtrees are
// made from the cache entry when first looked into.
#pragma once

#include <corvane/plugins.h>

#include "autocli/cache/descriptor_cache.h"
#include "autocli/tree/deferred_namespace.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Corvane::AutoCli {
namespace DescriptorCache {

class RestoredNamespace;

/// The registrations of one restored descriptor, kept by its XmlPlugin. They stay in cache form
/// until something needs them as nodes. When the plugin registers them into a dispatcher's root
/// and that registration can be told in advance to succeed without touching anything already in
/// the tree, only the top-level namespaces are registered, as RestoredNamespace nodes that make
/// the rest on first use; the tree then looks exactly as if everything had been registered at once.
///
/// A deferred namespace holds these registrations until it has made its subtree; they refer to it
/// only weakly until then, so neither keeps the other alive.
class RestoredRegistrations : public std::enable_shared_from_this<RestoredRegistrations> {
public:
    explicit RestoredRegistrations(RestoredDescriptor descriptor);
    ~RestoredRegistrations();
    RestoredRegistrations(const RestoredRegistrations&) = delete;
    RestoredRegistrations& operator=(const RestoredRegistrations&) = delete;

    /// Registers the top-level namespaces below `root` as deferred nodes and returns true when that
    /// stands for registering everything at once: this is the first registration, `root` is a plain
    /// RootNamespace holding none of the top-level names, and the entry's plan (made when it was
    /// stored) says that registering into an empty root succeeds. Otherwise does nothing and
    /// returns false.
    bool RegisterDeferred(const std::shared_ptr<Namespace>& root);

    /// Every registration as a node, in the order of the descriptor, after every deferred namespace
    /// still in the tree has made its subtree: the nodes the tree holds.
    const std::vector<XmlPlugin::Registration>& Nodes();

    const RestoredDescriptor& Descriptor() const { return descriptor; }

private:
    RestoredDescriptor descriptor;
    // The deferred namespaces and the places of their entries; usually just one.
    std::weak_ptr<RestoredNamespace> first;
    std::size_t firstPlace = 0;
    std::vector<std::pair<std::size_t, std::weak_ptr<RestoredNamespace>>> more;
    std::vector<XmlPlugin::Registration> nodes;
    bool decoded = false;
    bool registered = false;
};

/// A top-level namespace of a restored descriptor, registered before what lies below it.
class RestoredNamespace : public DeferredNamespace {
public:
    /// `place` is the place of the namespace's own entry among the registrations, `top` its place
    /// among the descriptor's top-level namespaces.
    RestoredNamespace(std::shared_ptr<RestoredRegistrations> owner, std::size_t place, std::uint32_t top);
    ~RestoredNamespace() override;

    bool IsExpanded() const override { return !owner; }
    void ListCommands(const CommandFilters& filters, CommandVisitor& visitor) override;
    /// Registers what the descriptor declares below this namespace (below every top-level namespace
    /// of the descriptor), as registering it at once would have. Does nothing the second time.
    void Expand();

    bool HasNamespaceNode(const std::string& name) override;
    std::vector<std::string> GetNamespaceNodeNames() override;
    std::vector<std::shared_ptr<NamespaceNode>> GetNamespaceNodes() override;
    std::shared_ptr<NamespaceNode> GetNamespaceNode(const std::string& name) override;
    using DeferredNamespace::RegisterNamespaceNode;
    void RegisterNamespaceNode(std::shared_ptr<NamespaceNode> node, std::string name) override;
    std::shared_ptr<NamespaceNode> ResolveNode(std::list<std::string>& path) override;
    std::shared_ptr<NamespaceNode> SubNamespace(const std::string& name) override;

private:
    friend class RestoredRegistrations;

    // Registers the entries below this namespace from `nodes`, the nodes of the descriptor
    // `fileName` in order, once it has let go of the registrations.
    void RegisterBelow(const std::vector<XmlPlugin::Registration>& nodes, const std::string& fileName);

    std::shared_ptr<RestoredRegistrations> owner; // empty once the subtree is made
    std::size_t place;
    std::uint32_t top;
};

} // namespace DescriptorCache
} // namespace Corvane::AutoCli
