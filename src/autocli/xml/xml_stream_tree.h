// A document tree built while the text is parsed, released as the value grammar passes it.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstddef>
#include <string>

namespace Corvane::AutoCli {

// Thrown while reading when the document turns out not to be well-formed.
struct MalformedDocument {};
// Thrown while reading when one text of the document is longer than XmlUtil_MaxTextBytes.
struct TextTooLong {};

// libxml2's push parser with its own tree builder, fed in chunks as the reader asks for nodes. Text is
// joined here rather than by libxml2, whose builder refuses a text node past 10 MB when it arrives in
// pieces; every other limit of the parser stays (depth, entities, attributes).
//
// The walker functions of the value grammar wait until the nodes they return exist. Next releases the
// node it passes and everything below it, so memory stays near the part of the document not yet read.
class StreamingTree {
public:
    // `text` must outlive the tree. `url` names the document in libxml2's diagnostics.
    StreamingTree(const std::string& text, const char* url);
    ~StreamingTree();
    StreamingTree(const StreamingTree&) = delete;
    StreamingTree& operator=(const StreamingTree&) = delete;

    // The root element, or null when the document has none.
    xmlNode* Root();
    // Reads the rest of the document, releasing what it passes.
    void Finish();

    xmlNode* First(xmlNode* parent);
    xmlNode* Next(xmlNode* node);
    void Complete(xmlNode* node);
    unsigned long CountHint(xmlNode*) { return 0; }

private:
    void Feed();
    void Release(xmlNode* node);
    // Releases every child but the last of each open element from the innermost up to `top`, when
    // `top` is open; of every open element when `top` is null.
    void ReleaseOpenBelow(xmlNode* top);
    void AppendText(xmlNode* parent, const xmlChar* text, int length);
    static bool Closed(const xmlNode* node);

    static void OnCharacters(void* context, const xmlChar* text, int length);
    static void OnStartElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                               const xmlChar* uri, int namespaceCount, const xmlChar** namespaces,
                               int attributeCount, int defaultedCount, const xmlChar** attributes);
    static void OnEndElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                             const xmlChar* uri);

    const std::string& documentText;
    std::size_t fed = 0;
    bool terminated = false;
    bool textTooLong = false;
    xmlParserCtxt* parser = nullptr;
    // The text node being joined, while it is its parent's last child, with its length and capacity.
    xmlNode* growing = nullptr;
    std::size_t growingLength = 0;
    std::size_t growingCapacity = 0;
};

} // namespace Corvane::AutoCli
