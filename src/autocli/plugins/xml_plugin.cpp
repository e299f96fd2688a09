// XmlPlugin: reading a descriptor file, its namespaces, and registering what it declares.
#include <corvane/plugins.h>

#include "autocli/cache/descriptor_cache.h"
#include "autocli/cache/object_arena.h"
#include "autocli/cache/restored_registrations.h"
#include "autocli/os/file_access.h"
#include "autocli/plugins/xml_plugin_internal.h"
#include "autocli/xml/xml_document.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstddef>
#include <list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Corvane::AutoCli {

namespace {

const std::vector<std::shared_ptr<Formatter>>& NoFormatters() {
    static const std::vector<std::shared_ptr<Formatter>> empty;
    return empty;
}

// A path split the way XmlPlugin::SplitPath splits it, into words kept from one entry to the next so
// that thousands of registrations do not allocate a list per path.
class TargetPath {
public:
    void Split(const std::string& path) {
        count = 0;
        std::size_t start = 0;
        while (start < path.size()) {
            const std::size_t stop = std::min(path.find('.', start), path.size());
            if (count == words.size()) {
                words.emplace_back();
            }
            words[count++].assign(path, start, stop - start);
            start = stop + 1;
        }
    }

    std::size_t ParentSize() const { return count == 0 ? 0 : count - 1; }
    const std::string& Name() const { return count == 0 ? Empty() : words[count - 1]; }

    bool SameParent(const TargetPath& other) const {
        return ParentSize() == other.ParentSize() &&
               std::equal(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(ParentSize()),
                          other.words.begin());
    }

    std::list<std::string> ParentList() const {
        return {words.begin(), words.begin() + static_cast<std::ptrdiff_t>(ParentSize())};
    }

    // The node the parent words lead to from `root`, or null where ResolveNode would throw: pass 1
    // skips those entries, and thousands of descriptors make the exceptions cost more than the whole
    // look-up.
    std::shared_ptr<NamespaceNode> FindParent(const std::shared_ptr<Namespace>& root) const {
        std::shared_ptr<NamespaceNode> node = root;
        for (std::size_t i = 0; i < ParentSize(); ++i) {
            if (!node->HasNamespaceNode(words[i])) {
                return nullptr;
            }
            node = node->GetNamespaceNode(words[i]);
        }
        return node;
    }

private:
    static const std::string& Empty() {
        static const std::string empty;
        return empty;
    }

    std::vector<std::string> words;
    std::size_t count = 0;
};

// The one case in which a path may be declared twice: a top-level namespace, shared by every
// descriptor that declares it.
bool IsTopLevelNamespacePair(NamespaceNode& parent, NamespaceNode& existing, NamespaceNode& node) {
    return parent.GetType() == RootType && existing.GetType() == NamespaceType &&
           node.GetType() == NamespaceType;
}

} // namespace

std::shared_ptr<XmlPlugin> XmlPlugin::New(const std::string& fileName) {
    // One allocation for the plugin and its count, in the arena of a large directory being loaded.
    struct Made : XmlPlugin {
        explicit Made(const std::string& fileName) : XmlPlugin(fileName) {}
    };
    return MakeSharedIn<Made>(DescriptorCache::DirectoryScan::ArenaFor(fileName), fileName);
}

XmlPlugin::XmlPlugin(const std::string& fileName) : fileName(fileName) {}

XmlPlugin::~XmlPlugin() = default;

std::string ReadDescriptorText(const std::string& fileName) {
    std::string text;
    switch (ReadRegularFile(fileName, XmlPlugin::MaxDescriptorBytes, text)) {
    case FileReadResult::TooLarge:
        throw CorvaneException("Unable to parse XML descriptor: " + CallSpec::EchoText(fileName) +
                               ".  It is larger than " + std::to_string(XmlPlugin::MaxDescriptorBytes) +
                               " bytes");
    case FileReadResult::Unreadable:
        throw CorvaneException("Unable to parse XML descriptor: " + CallSpec::EchoText(fileName));
    case FileReadResult::Ok:
        break;
    }
    return text;
}

XmlDocPtr ParseDescriptorText(const std::string& text, const std::string& fileName, XmlDiagnostic* problem) {
    XmlDocPtr doc = ParseXmlDocument(text, fileName, problem);
    if (!doc || xmlDocGetRootElement(doc.get()) == nullptr) {
        throw CorvaneException("Unable to parse XML descriptor: " + CallSpec::EchoText(fileName));
    }
    return doc;
}

void XmlPlugin::Initialize() {
    // A second Initialize reads the file afresh instead of declaring everything twice.
    pending.clear();
    restored.reset();
    DescriptorCache::Lookup cached(fileName);
    DescriptorCache::RestoredDescriptor entry;
    if (cached.Restore(entry)) {
        std::shared_ptr<ObjectArena> arena = entry.arena;
        restored = MakeSharedIn<DescriptorCache::RestoredRegistrations>(arena, std::move(entry));
        return;
    }
    LIBXML_TEST_VERSION
    try {
        // The text is kept for the cache, which stores it once everything it declares has loaded.
        const std::string text = ReadDescriptorText(fileName);
        const XmlDocPtr doc = ParseDescriptorText(text, fileName, nullptr);
        xmlNode* root = xmlDocGetRootElement(doc.get());
        if (XmlUtil_GetContentForChildByTag(root, "version") != "1.0.0") {
            throw CorvaneException("Unknown varnok extention version.  Valid versions are: '1.0.0'");
        }
        xmlNode* namespaces = XmlUtil_FindChildNode(root, "namespaces");
        if (namespaces != nullptr) {
            AddNamespaces(namespaces);
        }
        xmlNode* commands = XmlUtil_FindChildNode(root, "commands");
        if (commands != nullptr) {
            AddCommands(commands);
        }
        if (namespaces == nullptr && commands == nullptr) {
            throw CorvaneException("Unable to find any namespaces or commands to register for plugin " +
                                   fileName);
        }
        cached.Store(text, pending);
    } catch (const CorvaneException& e) {
        throw CorvaneException("Unable to handle XML Plugin " + CallSpec::EchoText(fileName) +
                               ".  There was an error while parsing: " + e.what());
    }
}

const std::vector<XmlPlugin::Registration>& XmlPlugin::GetPendingRegistrations() const {
    return restored ? restored->Nodes() : pending;
}

const std::string& XmlPlugin::GetName() const {
    return fileName;
}

bool XmlPlugin::HasFormatter(const std::string&) {
    return false;
}

std::shared_ptr<Formatter> XmlPlugin::GetFormatter(const std::string&) {
    throw CorvaneException("Xml Plugin doesn't not support formatters");
}

const std::vector<std::shared_ptr<Formatter>>& XmlPlugin::GetFormatters() {
    return NoFormatters();
}

std::list<std::string> XmlPlugin::SplitPath(const std::string& path) {
    // The pieces between full stops: empty ones between adjacent full stops and before a leading
    // one, but no empty piece after a trailing one (what a token split at \. gives, without a regex).
    std::list<std::string> words;
    std::size_t start = 0;
    while (start < path.size()) {
        const std::size_t stop = std::min(path.find('.', start), path.size());
        words.emplace_back(path, start, stop - start);
        start = stop + 1;
    }
    return words;
}

void XmlPlugin::AddNamespaces(xmlNode* node) {
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (XmlDescriptor::IsNamed(child, "namespace")) {
            AddNamespace(child);
        }
    }
}

void XmlPlugin::AddNamespace(xmlNode* node) {
    std::string path = XmlUtil_ExtractAttribute(node, "path");
    std::string description = XmlUtil_GetContentForChildByTag(node, "description");
    if (path.empty() || description.empty()) {
        throw CorvaneException(
            "Unable to register a namespace without valid 'path' attribute or <description> being present.");
    }
    std::shared_ptr<Namespace> created = Namespace::New();
    created->SetDescription(std::move(description));
    pending.emplace_back(std::move(path), std::move(created));
}

void XmlPlugin::RegisterNamespaces(std::shared_ptr<Namespace> root) {
    if (!root) {
        throw CorvaneException("Unable to register the XML plugin " + fileName + " without a root namespace");
    }
    // A restored descriptor that can only succeed registers its top-level namespaces now and the
    // rest when first looked into.
    if (restored && restored->RegisterDeferred(root)) {
        return;
    }
    const std::vector<Registration>& entries = GetPendingRegistrations();
    // Pass 1 checks every entry against the tree as it is before this plugin adds anything, so that a
    // clash with another plugin is found before any of this plugin's nodes are registered. Entries
    // whose parent does not exist yet (it may be declared by this very plugin) are left to pass 2.
    // The tree does not change in this pass, so entries with the parent of the one before share its
    // look-up.
    TargetPath target;
    TargetPath previous;
    std::shared_ptr<NamespaceNode> parent;
    bool havePrevious = false;
    for (const Registration& entry : entries) {
        const std::string& path = entry.first;
        if (path.empty()) {
            throw CorvaneException("Invalid NULL registration found in XML plugin: " + fileName +
                                   " all namespaces and commands must have a valid 'path' field");
        }
        if (!entry.second) {
            throw CorvaneException("Invalid null node: " + path);
        }
        target.Split(path);
        if (!havePrevious || !target.SameParent(previous)) {
            parent = target.FindParent(root);
            havePrevious = true;
        }
        std::swap(target, previous);
        if (!parent) {
            continue;
        }
        std::shared_ptr<NamespaceNode> existing = parent->GetNamespaceNode(previous.Name());
        if (!existing) {
            continue;
        }
        if (!IsTopLevelNamespacePair(*parent, *existing, *entry.second)) {
            throw CorvaneException("Varnok path is already registered: " + path);
        }
        if (existing->GetDescription() != entry.second->GetDescription()) {
            throw CorvaneException("Duplicate top-level namespaces must have the same description: " + path);
        }
    }

    // Pass 2 registers in order; parents are resolved at each step, so a namespace registered just
    // before (or shared with another plugin) receives the entries below it. A resolved path keeps
    // leading to the same node (nodes are only ever added), so the parent of the entry before is
    // reused while the parent words stay the same.
    havePrevious = false;
    for (const Registration& entry : entries) {
        target.Split(entry.first);
        if (!havePrevious || !target.SameParent(previous)) {
            std::list<std::string> words = target.ParentList();
            parent = root->ResolveNode(words);
            if (!parent) {
                parent = root;
            }
            havePrevious = true;
        }
        std::swap(target, previous);
        const std::string& name = previous.Name();
        std::shared_ptr<NamespaceNode> existing = parent->GetNamespaceNode(name);
        if (existing && IsTopLevelNamespacePair(*parent, *existing, *entry.second) &&
            existing->GetDescription() == entry.second->GetDescription()) {
            continue;
        }
        parent->RegisterNamespaceNode(entry.second, name);
    }
}

} // namespace Corvane::AutoCli
