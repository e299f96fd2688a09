// Whole-document parsing, push parsers and the collector of libxml2's diagnostics.
#include "autocli/xml/xml_document.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <new>

namespace Corvane::AutoCli {

XmlDiagnostics::XmlDiagnostics()
    : savedStructured(xmlStructuredError), savedStructuredContext(xmlStructuredErrorContext),
      savedGeneric(xmlGenericError), savedGenericContext(xmlGenericErrorContext) {
    xmlSetStructuredErrorFunc(this, &XmlDiagnostics::OnError);
    xmlSetGenericErrorFunc(this, &XmlDiagnostics::OnGenericError);
}

XmlDiagnostics::~XmlDiagnostics() {
    xmlSetStructuredErrorFunc(savedStructuredContext, savedStructured);
    xmlSetGenericErrorFunc(savedGenericContext, savedGeneric);
}

void XmlDiagnostics::OnError(void* collector, xmlError* error) {
    // Warnings (a relative namespace URI, say) do not make a document unreadable.
    if (collector != nullptr && error != nullptr && error->level >= XML_ERR_ERROR) {
        static_cast<XmlDiagnostics*>(collector)->Keep(error->message != nullptr ? error->message : "",
                                                      error->line, error->int2);
    }
}

void XmlDiagnostics::OnGenericError(void* collector, const char* format, ...) {
    if (collector == nullptr || format == nullptr) {
        return;
    }
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    static_cast<XmlDiagnostics*>(collector)->Keep(text, 0, 0);
}

void XmlDiagnostics::Keep(const std::string& message, int line, int column) {
    if (any) {
        return;
    }
    any = true;
    first.message = message.substr(0, message.find_last_not_of("\r\n ") + 1);
    first.line = line;
    first.column = column;
}

xmlParserCtxt* NewPushParser(xmlSAXHandler& handler, std::string_view text, const char* url, void* owner,
                             std::size_t& fed) {
    fed = std::min<std::size_t>(4, text.size());
    xmlParserCtxt* parser =
        xmlCreatePushParserCtxt(&handler, nullptr, text.data(), static_cast<int>(fed), url);
    if (parser == nullptr) {
        throw std::bad_alloc();
    }
    xmlCtxtUseOptions(parser, kXmlParseOptions);
    parser->_private = owner;
    return parser;
}

void FreePushParser(xmlParserCtxt* parser) {
    if (parser->myDoc != nullptr) {
        xmlFreeDoc(parser->myDoc);
    }
    xmlFreeParserCtxt(parser);
}

XmlDocPtr ParseXmlDocument(const std::string& text, const std::string& url, XmlDiagnostic* problem) {
    // libxml2 takes the size as an int.
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) {
        return nullptr;
    }
    XmlDiagnostics diagnostics;
    XmlDocPtr doc(
        xmlReadMemory(text.data(), static_cast<int>(text.size()), url.c_str(), nullptr, kXmlParseOptions));
    if (!doc && problem != nullptr && diagnostics.Any()) {
        *problem = diagnostics.First();
    }
    return doc;
}

} // namespace Corvane::AutoCli
