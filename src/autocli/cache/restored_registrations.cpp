// RestoredRegistrations and RestoredNamespace: registering a restored descriptor's top-level
// namespaces at once and the rest when first looked into.
#include "autocli/cache/restored_registrations.h"

#include "autocli/cache/descriptor_cache_format.h"
#include "autocli/cache/object_arena.h"

#include <algorithm>
#include <string_view>
#include <typeinfo>

namespace Corvane::AutoCli {
namespace DescriptorCache {

namespace {

[[noreturn]] void ThrowMissingNamespace(const std::string& path, const std::string& fileName) {
    throw CorvaneException("Unable to find the namespace of " + path + " in the cached declarations of " +
                           fileName);
}

} // namespace

RestoredRegistrations::RestoredRegistrations(RestoredDescriptor descriptor)
    : descriptor(std::move(descriptor)) {}

RestoredRegistrations::~RestoredRegistrations() = default;

bool RestoredRegistrations::RegisterDeferred(const std::shared_ptr<Namespace>& root) {
    EntryParts parts;
    if (registered || decoded || !root || typeid(*root) != typeid(RootNamespace) ||
        !SplitEntry(descriptor.registrations, parts) || !parts.planned) {
        return false;
    }
    const std::uint32_t count = parts.tops;
    // Calls `use` with each top-level namespace the plan names, in order; false when the plan does
    // not match the registrations. They usually come first, so the walks are short.
    const auto forEachTop = [&](const auto& use) {
        RegistrationCursor cursor(parts.registrations);
        RegistrationView view;
        std::uint32_t found = 0;
        for (std::uint32_t i = 0; found < count && cursor.Next(view); ++i) {
            if (i == PlanPlace(parts.places, found)) {
                use(i, found, view);
                ++found;
            }
        }
        return found == count;
    };
    // Into the real root as into an empty one: none of the top-level names may be there yet.
    bool fresh = true;
    if (!forEachTop([&](std::uint32_t, std::uint32_t, const RegistrationView& top) {
            fresh = fresh && !root->HasNamespaceNode(std::string(top.path));
        }) ||
        !fresh) {
        return false;
    }
    registered = true;
    forEachTop([&](std::uint32_t place, std::uint32_t top, const RegistrationView& view) {
        auto node = MakeSharedIn<RestoredNamespace>(descriptor.arena, shared_from_this(), place, top);
        node->SetDescription(std::string(view.description));
        root->RegisterNamespaceNode(node, std::string(view.path));
        if (first.expired() && more.empty()) {
            first = node;
            firstPlace = place;
        } else {
            more.emplace_back(place, node);
        }
    });
    return true;
}

const std::vector<XmlPlugin::Registration>& RestoredRegistrations::Nodes() {
    if (!decoded) {
        nodes = descriptor.Decode();
        decoded = true;
    }
    // The deferred namespaces still there take the places of their entries and make their subtrees.
    // They let go of this object (which its caller keeps) first: `nodes` holds them, and a
    // registration that fails half-way must not leave one holding it in turn.
    std::vector<std::shared_ptr<RestoredNamespace>> waiting;
    const auto take = [&](std::size_t place, const std::weak_ptr<RestoredNamespace>& deferred) {
        if (std::shared_ptr<RestoredNamespace> node = deferred.lock()) {
            nodes.at(place).second = node;
            if (!node->IsExpanded()) {
                waiting.push_back(std::move(node));
            }
        }
    };
    take(firstPlace, first);
    for (const auto& [place, deferred] : more) {
        take(place, deferred);
    }
    for (const auto& node : waiting) {
        node->owner.reset();
    }
    for (const auto& node : waiting) {
        node->RegisterBelow(nodes, descriptor.fileName);
    }
    return nodes;
}

RestoredNamespace::RestoredNamespace(std::shared_ptr<RestoredRegistrations> owner, std::size_t place,
                                     std::uint32_t top)
    : owner(std::move(owner)), place(place), top(top) {}

RestoredNamespace::~RestoredNamespace() = default;

void RestoredNamespace::Expand() {
    if (owner) {
        // Every deferred namespace of the descriptor makes its subtree now.
        const std::shared_ptr<RestoredRegistrations> registrations = owner;
        registrations->Nodes();
    }
}

void RestoredNamespace::RegisterBelow(const std::vector<XmlPlugin::Registration>& nodes,
                                      const std::string& fileName) {
    const std::string& name = GetName();
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const std::string& path = nodes[i].first;
        if (i == place || path.size() <= name.size() || path.compare(0, name.size(), name) != 0 ||
            path[name.size()] != '.') {
            continue;
        }
        // The plan made sure every parent is registered before its children.
        std::shared_ptr<NamespaceNode> parent = GetThis();
        std::size_t start = name.size() + 1;
        for (std::size_t dot = path.find('.', start); dot != std::string::npos; dot = path.find('.', start)) {
            parent = parent->GetNamespaceNode(path.substr(start, dot - start));
            if (!parent) {
                ThrowMissingNamespace(path, fileName);
            }
            start = dot + 1;
        }
        parent->RegisterNamespaceNode(nodes[i].second, path.substr(start));
    }
}

void RestoredNamespace::ListCommands(const CommandFilters& filters, CommandVisitor& visitor) {
    if (!owner) {
        return; // built: its commands are in the tree
    }
    // The entry lists the commands below each top-level namespace in the order of the walk.
    ForEachListed(owner->Descriptor().registrations, top,
                  [&](std::string_view path, std::string_view name, std::string_view description) {
                      if (filters.Pass(path, name, description)) {
                          visitor.Visit(path, name, description);
                      }
                  });
}

bool RestoredNamespace::HasNamespaceNode(const std::string& name) {
    Expand();
    return DeferredNamespace::HasNamespaceNode(name);
}

std::vector<std::string> RestoredNamespace::GetNamespaceNodeNames() {
    Expand();
    return DeferredNamespace::GetNamespaceNodeNames();
}

std::vector<std::shared_ptr<NamespaceNode>> RestoredNamespace::GetNamespaceNodes() {
    Expand();
    return DeferredNamespace::GetNamespaceNodes();
}

std::shared_ptr<NamespaceNode> RestoredNamespace::GetNamespaceNode(const std::string& name) {
    Expand();
    return DeferredNamespace::GetNamespaceNode(name);
}

void RestoredNamespace::RegisterNamespaceNode(std::shared_ptr<NamespaceNode> node, std::string name) {
    Expand();
    DeferredNamespace::RegisterNamespaceNode(std::move(node), std::move(name));
}

std::shared_ptr<NamespaceNode> RestoredNamespace::ResolveNode(std::list<std::string>& path) {
    Expand();
    return DeferredNamespace::ResolveNode(path);
}

std::shared_ptr<NamespaceNode> RestoredNamespace::SubNamespace(const std::string& name) {
    Expand();
    return DeferredNamespace::SubNamespace(name);
}

} // namespace DescriptorCache
} // namespace Corvane::AutoCli
