// Descriptor linter: parsing a descriptor with line numbers and capturing the parser's first
// message through a scoped libxml2 error handler.
#include "descriptor_lint_internal.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <sys/stat.h>

#include <fstream>
#include <iterator>

namespace Corvane::AutoCli {
namespace DescriptorLint {

namespace {

// Installs a structured error handler for its lifetime and keeps the first message it receives;
// the handler in place before is put back on every way out.
class FirstParserMessage {
public:
    FirstParserMessage() : previous(xmlStructuredError), previousContext(xmlStructuredErrorContext) {
        xmlSetStructuredErrorFunc(this, &FirstParserMessage::Collect);
    }
    ~FirstParserMessage() { xmlSetStructuredErrorFunc(previousContext, previous); }
    FirstParserMessage(const FirstParserMessage&) = delete;
    FirstParserMessage& operator=(const FirstParserMessage&) = delete;

    bool seen = false;
    long line = 0;
    std::string message;

private:
    static void Collect(void* context, xmlErrorPtr error) {
        auto* self = static_cast<FirstParserMessage*>(context);
        if (self->seen || error == nullptr || error->level < XML_ERR_ERROR) {
            return;
        }
        self->seen = true;
        self->line = error->line;
        self->message = error->message != nullptr ? error->message : "";
        while (!self->message.empty() && (self->message.back() == '\n' || self->message.back() == ' ')) {
            self->message.pop_back();
        }
    }

    xmlStructuredErrorFunc previous;
    void* previousContext;
};

} // namespace

ParsedDescriptor ParseDescriptor(const std::string& path) {
    ParsedDescriptor parsed;
    // Only regular files are read, as the loader reads them; it reports the others with its own message.
    struct stat status {};
    std::ifstream in;
    if (::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
        in.open(path, std::ios::binary);
    }
    if (!in.is_open()) {
        return parsed;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.empty()) {
        parsed.errorLine = 1;
        parsed.errorMessage = "Document is empty";
        return parsed;
    }
    FirstParserMessage collector;
    parsed.doc.reset(
        xmlReadMemory(text.data(), static_cast<int>(text.size()), path.c_str(), nullptr, XML_PARSE_NONET));
    // A document with errors the parser recovered from is one the loader accepts as well.
    if (parsed.doc && xmlDocGetRootElement(parsed.doc.get()) != nullptr) {
        return parsed;
    }
    parsed.doc.reset();
    parsed.errorLine = collector.seen ? collector.line : 1;
    parsed.errorMessage = collector.seen ? collector.message : "Document is empty";
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
