// Parsing XML text with libxml2: the parse options, the document owner, and the collector that keeps
// libxml2's diagnostics off standard error.
#pragma once

#include "autocli/xml/xml_diagnostic.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace Corvane::AutoCli {

// Descriptors and output documents come from outside, so the parser gets no network access and loads
// no external DTD or entity (neither XML_PARSE_DTDLOAD nor XML_PARSE_NOENT), and keeps libxml2's depth,
// entity and attribute limits (no XML_PARSE_HUGE). White-space text and comments are kept: the text
// rule of both grammars needs them.
constexpr int kXmlParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

struct XmlDocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocDeleter>;

// While one exists, every diagnostic libxml2 raises on this thread, structured or not, comes here
// instead of going to standard error; the first error (not warning) is kept. The handlers found at
// construction are put back at destruction, so collectors nest.
class XmlDiagnostics {
public:
    XmlDiagnostics();
    ~XmlDiagnostics();
    XmlDiagnostics(const XmlDiagnostics&) = delete;
    XmlDiagnostics& operator=(const XmlDiagnostics&) = delete;

    bool Any() const { return any; }
    const XmlDiagnostic& First() const { return first; }

private:
    static void OnError(void* collector, xmlError* error);
    static void OnGenericError(void* collector, const char* format, ...);
    void Keep(const std::string& message, int line, int column);

    bool any = false;
    XmlDiagnostic first;
    xmlStructuredErrorFunc savedStructured;
    void* savedStructuredContext;
    xmlGenericErrorFunc savedGeneric;
    void* savedGenericContext;
};

// libxml2's push parser for `text`, with `handler` and the options above, `owner` in its application
// pointer. It is given the first bytes of the text, which let it find the encoding as its own readers
// do; `fed` is set to their count. Throws std::bad_alloc when libxml2 cannot make one.
xmlParserCtxt* NewPushParser(xmlSAXHandler& handler, std::string_view text, const char* url, void* owner,
                             std::size_t& fed);
// Frees a push parser and the document its handlers may have started.
void FreePushParser(xmlParserCtxt* parser);

// The tree of a whole document, or null when `text` is empty or not well-formed; `problem`, when
// given, then receives libxml2's first diagnostic. `url` names the document in diagnostics.
XmlDocPtr ParseXmlDocument(const std::string& text, const std::string& url, XmlDiagnostic* problem);

} // namespace Corvane::AutoCli
