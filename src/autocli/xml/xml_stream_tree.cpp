// The document tree built while the text is parsed: feeding libxml2's push parser, joining text, and
// releasing the nodes the reader has passed.
#include "autocli/xml/xml_stream_tree.h"

#include "autocli/xml/xml_document.h"

#include <corvane/xmlutil.h>

#include <libxml/SAX2.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <cstring>

namespace Corvane::AutoCli {

namespace {

// Small pieces keep the parser's input buffer small: with 64 kB pieces its reallocations made malloc
// consolidate the many small blocks of released nodes, and a 48 MB document took half as long again.
constexpr std::size_t kChunkBytes = 1024;

// The mark of an element whose end tag has been parsed, kept in the node's application pointer.
char closedMark;

} // namespace

StreamingTree::StreamingTree(const std::string& text, const char* url) : documentText(text) {
    xmlSAXHandler handler;
    xmlSAXVersion(&handler, 2);
    handler.characters = &StreamingTree::OnCharacters;
    handler.ignorableWhitespace = &StreamingTree::OnCharacters;
    handler.startElementNs = &StreamingTree::OnStartElement;
    handler.endElementNs = &StreamingTree::OnEndElement;
    parser = NewPushParser(handler, text, url, this, fed);
}

StreamingTree::~StreamingTree() {
    FreePushParser(parser);
}

void StreamingTree::Feed() {
    if (terminated) {
        // More was needed than the text holds: an element is left open.
        throw MalformedDocument();
    }
    const std::size_t length = std::min(kChunkBytes, documentText.size() - fed);
    terminated = fed + length == documentText.size();
    xmlParseChunk(parser, documentText.data() + fed, static_cast<int>(length), terminated ? 1 : 0);
    fed += length;
    if (textTooLong) {
        throw TextTooLong();
    }
    if (parser->wellFormed == 0) {
        throw MalformedDocument();
    }
}

bool StreamingTree::Closed(const xmlNode* node) {
    return node->type != XML_ELEMENT_NODE || node->_private == &closedMark;
}

xmlNode* StreamingTree::Root() {
    for (;;) {
        if (parser->myDoc != nullptr) {
            if (xmlNode* root = xmlDocGetRootElement(parser->myDoc)) {
                return root;
            }
        }
        if (terminated) {
            return nullptr;
        }
        Feed();
    }
}

xmlNode* StreamingTree::First(xmlNode* parent) {
    while (parent->children == nullptr && !Closed(parent)) {
        Feed();
    }
    return parent->children;
}

xmlNode* StreamingTree::Next(xmlNode* node) {
    while (node->next == nullptr && !Closed(node->parent)) {
        Feed();
        // Nothing below a node being passed is wanted: an ignored subtree never grows whole.
        ReleaseOpenBelow(node);
    }
    xmlNode* next = node->next;
    Release(node);
    return next;
}

void StreamingTree::Complete(xmlNode* node) {
    while (!Closed(node)) {
        Feed();
    }
}

void StreamingTree::Finish() {
    while (!terminated) {
        Feed();
        ReleaseOpenBelow(nullptr);
    }
}

void StreamingTree::ReleaseOpenBelow(xmlNode* top) {
    if (top != nullptr) {
        xmlNode* open = parser->node;
        while (open != nullptr && open != top) {
            open = open->parent;
        }
        if (open == nullptr) {
            return;
        }
    }
    // The last child of an open element may still be growing (an open element, or text being joined);
    // every earlier one is complete.
    for (xmlNode* open = parser->node; open != nullptr && open->type == XML_ELEMENT_NODE;
         open = open->parent) {
        while (open->children != nullptr && open->children != open->last) {
            Release(open->children);
        }
        if (open == top) {
            break;
        }
    }
}

void StreamingTree::Release(xmlNode* node) {
    for (xmlNode* up = growing; up != nullptr; up = up->parent) {
        if (up == node) {
            growing = nullptr;
            break;
        }
    }
    xmlUnlinkNode(node);
    xmlFreeNode(node);
}

void StreamingTree::AppendText(xmlNode* parent, const xmlChar* text, int length) {
    const auto added = static_cast<std::size_t>(length);
    xmlNode* last = parent->last;
    if (last != nullptr && last == growing) {
        if (growingLength + added > XmlUtil_MaxTextBytes) {
            textTooLong = true;
            xmlStopParser(parser);
            return;
        }
        if (growingLength + added + 1 > growingCapacity) {
            const std::size_t capacity = std::max(growingLength + added + 1, growingCapacity * 2);
            auto* grown = static_cast<xmlChar*>(xmlRealloc(last->content, capacity));
            if (grown == nullptr) {
                parser->wellFormed = 0;
                xmlStopParser(parser);
                return;
            }
            last->content = grown;
            growingCapacity = capacity;
        }
        std::memcpy(last->content + growingLength, text, added);
        growingLength += added;
        last->content[growingLength] = 0;
        return;
    }
    if (last != nullptr && last->type == XML_TEXT_NODE) {
        // A text node this tree did not make (none is expected): joined the plain way.
        xmlNodeAddContentLen(last, text, length);
        return;
    }
    xmlNode* node = xmlNewDocTextLen(parent->doc, text, length);
    if (node == nullptr) {
        parser->wellFormed = 0;
        xmlStopParser(parser);
        return;
    }
    xmlAddChild(parent, node);
    growing = node;
    growingLength = added;
    growingCapacity = added + 1;
}

void StreamingTree::OnCharacters(void* context, const xmlChar* text, int length) {
    auto* parser = static_cast<xmlParserCtxt*>(context);
    auto* tree = static_cast<StreamingTree*>(parser->_private);
    // Entity contents are parsed with contexts of their own; libxml2's builder handles those.
    if (tree == nullptr || tree->parser != parser || parser->node == nullptr) {
        xmlSAX2Characters(context, text, length);
        return;
    }
    tree->AppendText(parser->node, text, length);
}

void StreamingTree::OnStartElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                                   const xmlChar* uri, int namespaceCount, const xmlChar** namespaces,
                                   int attributeCount, int defaultedCount, const xmlChar** attributes) {
    auto* parser = static_cast<xmlParserCtxt*>(context);
    if (auto* tree = static_cast<StreamingTree*>(parser->_private);
        tree != nullptr && tree->parser == parser) {
        tree->growing = nullptr;
    }
    xmlSAX2StartElementNs(context, localName, prefix, uri, namespaceCount, namespaces, attributeCount,
                          defaultedCount, attributes);
}

void StreamingTree::OnEndElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                                 const xmlChar* uri) {
    auto* parser = static_cast<xmlParserCtxt*>(context);
    if (auto* tree = static_cast<StreamingTree*>(parser->_private);
        tree != nullptr && tree->parser == parser) {
        tree->growing = nullptr;
    }
    xmlNode* closing = parser->node;
    xmlSAX2EndElementNs(context, localName, prefix, uri);
    if (closing != nullptr) {
        closing->_private = &closedMark;
    }
}

} // namespace Corvane::AutoCli
