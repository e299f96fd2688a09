// Descriptor linter: reading a descriptor as the loader does, with line numbers and the parser's
// first message.
#include "autocli/lint/descriptor_lint_internal.h"

#include "autocli/os/file_access.h"

namespace Corvane::AutoCli {
namespace DescriptorLint {

ParsedDescriptor ParseDescriptor(const std::string& path) {
    ParsedDescriptor parsed;
    // Only what the loader reads is parsed; it reports the other files with its own message.
    std::string text;
    if (ReadRegularFile(path, XmlPlugin::MaxDescriptorBytes, text) != FileReadResult::Ok) {
        return parsed;
    }
    XmlDiagnostic problem;
    parsed.doc = ParseXmlDocument(text, path, &problem);
    // A document with errors the parser recovered from is one the loader accepts as well.
    if (parsed.doc && xmlDocGetRootElement(parsed.doc.get()) != nullptr) {
        return parsed;
    }
    parsed.doc.reset();
    const bool said = !problem.message.empty();
    parsed.errorLine = said ? problem.line : 1;
    parsed.errorMessage = said ? problem.message : "Document is empty";
    return parsed;
}

long LineOf(const xmlNode* node) {
    return node != nullptr ? xmlGetLineNo(node) : 0;
}

std::vector<xmlNode*> ElementChildren(const xmlNode* node) {
    std::vector<xmlNode*> children;
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE) {
            children.push_back(child);
        }
    }
    return children;
}

} // namespace DescriptorLint
} // namespace Corvane::AutoCli
