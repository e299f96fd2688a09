// Descriptor linter: finding the element behind a refusal of the loader or of registration, by
// running the loader's own readers on single elements.
#include "autocli/lint/descriptor_lint_internal.h"

#include <corvane/xmlutil.h>

#include <cstring>
#include <functional>

namespace Corvane::AutoCli {
namespace DescriptorLint {

namespace {

using Reader = std::function<void(xmlNode*)>;

const char* const kNoConstraintData = "Error parsing parameter constraint.  There was no data";

// The message a reader throws, empty when it throws none.
std::string Refusal(const Reader& read, xmlNode* node) {
    try {
        read(node);
    } catch (const CorvaneException& e) {
        return e.what();
    }
    return std::string();
}

// Copies `parent` without its children, adds copies of `children`, and hands the copy to `read`: the
// refusal of the element made of these children alone.
std::string RefusalOf(const Reader& read, xmlNode* parent, const std::vector<xmlNode*>& children) {
    xmlNode* copy = xmlCopyNode(parent, 2);
    for (xmlNode* child : children) {
        xmlAddChild(copy, xmlCopyNode(child, 1));
    }
    std::string message = Refusal(read, copy);
    xmlFreeNode(copy);
    return message;
}

bool IsConstraintDataMissing(const std::string& message) {
    return message.empty() || message.compare(0, std::strlen(kNoConstraintData), kNoConstraintData) == 0;
}

std::vector<xmlNode*> ChildrenNamed(const xmlNode* node, const char* tag) {
    std::vector<xmlNode*> found;
    for (xmlNode* child : ElementChildren(node)) {
        if (std::strcmp(reinterpret_cast<const char*>(child->name), tag) == 0) {
            found.push_back(child);
        }
    }
    return found;
}

// The second child named `tag` when the loader refuses to read it twice.
xmlNode* Repeated(xmlNode* node, const char* tag, bool textChild) {
    const Reader read = [&](xmlNode* n) {
        if (textChild) {
            XmlUtil_GetContentForChildByTag(n, tag);
        } else {
            XmlUtil_FindChildNode(n, tag);
        }
    };
    if (Refusal(read, node).empty()) {
        return nullptr;
    }
    std::vector<xmlNode*> found = ChildrenNamed(node, tag);
    return found.size() > 1 ? found[1] : node;
}

class ScratchPlugin : public XmlPlugin {
public:
    ScratchPlugin() : XmlPlugin(std::string()) {}
};

long LocateValue(xmlNode* value) {
    for (xmlNode* child : ElementChildren(value)) {
        if (std::strcmp(reinterpret_cast<const char*>(child->name), "field") != 0) {
            if (!Refusal(XmlUtil_BuildMetaObject, child).empty()) {
                return LocateValue(child);
            }
            continue;
        }
        if (XmlUtil_ExtractAttribute(child, "name").empty()) {
            return LineOf(child);
        }
        for (xmlNode* inner : ElementChildren(child)) {
            if (!Refusal(XmlUtil_BuildMetaObject, inner).empty()) {
                return LocateValue(inner);
            }
        }
    }
    return LineOf(value);
}

long LocateConstraint(xmlNode* constraint) {
    const std::string type = XmlUtil_ExtractAttribute(constraint, "type");
    const char* relevant = type == "regex" ? "regex" : type == "range" ? "range" : "enum";
    for (xmlNode* child : ChildrenNamed(constraint, relevant)) {
        if (IsConstraintDataMissing(RefusalOf(ExtractParamConstraint, constraint, {child}))) {
            continue;
        }
        for (xmlNode* entry : ElementChildren(child)) {
            xmlNode* single = xmlCopyNode(child, 2);
            xmlAddChild(single, xmlCopyNode(entry, 1));
            const std::string message = RefusalOf(ExtractParamConstraint, constraint, {single});
            xmlFreeNode(single);
            if (!IsConstraintDataMissing(message)) {
                return LineOf(entry);
            }
        }
        return LineOf(child);
    }
    return LineOf(constraint);
}

long LocateParameter(xmlNode* parameter) {
    if (xmlNode* twice = Repeated(parameter, "description", true)) {
        return LineOf(twice);
    }
    std::vector<xmlNode*> plain;
    for (xmlNode* child = parameter->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE ||
            std::strcmp(reinterpret_cast<const char*>(child->name), "constraint") != 0) {
            plain.push_back(child);
        }
    }
    const Reader alone = [](xmlNode* n) { ExtractInputParam(n, CallSpec::InputSpec::New()); };
    if (RefusalOf(alone, parameter, plain).empty()) {
        for (xmlNode* constraint : ChildrenNamed(parameter, "constraint")) {
            if (!Refusal(ExtractParamConstraint, constraint).empty()) {
                return LocateConstraint(constraint);
            }
        }
    }
    return LineOf(parameter);
}

long LocateCommand(xmlNode* command) {
    for (const char* tag : {"description", "execute", "stdin"}) {
        if (xmlNode* twice = Repeated(command, tag, true)) {
            return LineOf(twice);
        }
    }
    for (const char* tag : {"meta-data", "input-spec", "output-spec", "format-parameters"}) {
        if (xmlNode* twice = Repeated(command, tag, false)) {
            return LineOf(twice);
        }
    }
    if (xmlNode* metaData = XmlUtil_FindChildNode(command, "meta-data")) {
        const Reader read = [](xmlNode* n) { ExtractMetaData(n, nullptr); };
        for (xmlNode* child : ElementChildren(metaData)) {
            if (!RefusalOf(read, metaData, {child}).empty()) {
                return LineOf(child);
            }
        }
    }
    xmlNode* inputSpec = XmlUtil_FindChildNode(command, "input-spec");
    if (inputSpec == nullptr) {
        return LineOf(command);
    }
    std::shared_ptr<CallSpec::InputSpec> spec = CallSpec::InputSpec::New();
    for (xmlNode* parameter : ChildrenNamed(inputSpec, "parameter")) {
        if (!Refusal([&](xmlNode* n) { ExtractInputParam(n, spec); }, parameter).empty()) {
            return LocateParameter(parameter);
        }
    }
    xmlNode* outputSpec = XmlUtil_FindChildNode(command, "output-spec");
    if (outputSpec == nullptr) {
        return LineOf(command);
    }
    if (!Refusal(ExtractOutputSpec, outputSpec).empty()) {
        std::vector<xmlNode*> values = ElementChildren(outputSpec);
        return values.size() > 1 ? LineOf(values[1])
               : values.empty()  ? LineOf(outputSpec)
                                 : LocateValue(values[0]);
    }
    xmlNode* formatParameters = XmlUtil_FindChildNode(command, "format-parameters");
    if (formatParameters == nullptr) {
        return LineOf(command);
    }
    std::vector<xmlNode*> formatters = ChildrenNamed(formatParameters, "formatter");
    if (formatters.size() > 1) {
        return LineOf(formatters[1]);
    }
    std::vector<xmlNode*> execute = ChildrenNamed(command, "execute");
    return execute.empty() ? LineOf(command) : LineOf(execute.back());
}

} // namespace

std::vector<xmlNode*> DeclaredEntries(xmlNode* root) {
    std::vector<xmlNode*> entries;
    for (const auto& [group, tag] :
         {std::pair{"namespaces", "namespace"}, std::pair{"commands", "command"}}) {
        if (xmlNode* list = XmlUtil_FindChildNode(root, group)) {
            for (xmlNode* entry : ChildrenNamed(list, tag)) {
                entries.push_back(entry);
            }
        }
    }
    return entries;
}

long LocateLoadFault(xmlNode* root) {
    for (const char* tag : {"version"}) {
        if (xmlNode* twice = Repeated(root, tag, true)) {
            return LineOf(twice);
        }
    }
    std::vector<xmlNode*> versions = ChildrenNamed(root, "version");
    if (XmlUtil_GetContentForChildByTag(root, "version") != "1.0.0") {
        return versions.empty() ? LineOf(root) : LineOf(versions.back());
    }
    for (const char* tag : {"namespaces", "commands"}) {
        if (xmlNode* twice = Repeated(root, tag, false)) {
            return LineOf(twice);
        }
    }
    ScratchPlugin scratch;
    for (xmlNode* entry : DeclaredEntries(root)) {
        const bool isCommand = std::strcmp(reinterpret_cast<const char*>(entry->name), "command") == 0;
        const Reader read = [&](xmlNode* n) {
            if (isCommand) {
                scratch.AddCommand(n);
            } else {
                scratch.AddNamespace(n);
            }
        };
        if (Refusal(read, entry).empty()) {
            continue;
        }
        if (isCommand) {
            return LocateCommand(entry);
        }
        xmlNode* twice = Repeated(entry, "description", true);
        return LineOf(twice != nullptr ? twice : entry);
    }
    return LineOf(root);
}

long LocateRegistrationFault(xmlNode* root, XmlPlugin& plugin, NamespaceNode& tree,
                             const std::string& message) {
    const std::vector<xmlNode*> entries = DeclaredEntries(root);
    const auto& pending = plugin.GetPendingRegistrations();
    // The first pass refuses a clash with what was there before, naming the path.
    for (const char* clash : {"Varnok path is already registered: ",
                              "Duplicate top-level namespaces must have the same description: "}) {
        for (std::size_t i = 0; i < pending.size() && i < entries.size(); ++i) {
            if (message.find(clash + pending[i].first + " ") != std::string::npos) {
                return LineOf(entries[i]);
            }
        }
    }
    // The second pass stops at the first entry it cannot register; those before it are in the tree,
    // or are top-level namespaces shared with an earlier plugin.
    for (std::size_t i = 0; i < pending.size() && i < entries.size(); ++i) {
        const auto& node = pending[i].second;
        if (!node || node->GetParent()) {
            continue;
        }
        std::shared_ptr<NamespaceNode> shared = pending[i].first.find('.') == std::string::npos
                                                    ? tree.GetNamespaceNode(pending[i].first)
                                                    : nullptr;
        if (shared && shared->GetType() == NamespaceType && node->GetType() == NamespaceType &&
            shared->GetDescription() == node->GetDescription()) {
            continue;
        }
        return LineOf(entries[i]);
    }
    return LineOf(root);
}

} // namespace DescriptorLint
} // namespace Corvane::AutoCli
