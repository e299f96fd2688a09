// Reading a plain output document straight from the parser's events, without building a tree.
#pragma once

#include <corvane/metaobj.h>

#include <cstddef>
#include <memory>
#include <string>

namespace Corvane::AutoCli {

// The same reading for a document given piece by piece as it arrives.
class PlainDocumentReader {
public:
    PlainDocumentReader();
    ~PlainDocumentReader();
    PlainDocumentReader(const PlainDocumentReader&) = delete;
    PlainDocumentReader& operator=(const PlainDocumentReader&) = delete;

    // Gives the next `size` bytes of the document, `last` with its end. Returns false once the document
    // is left to the tree reader; the rest need not be given then.
    bool Add(const char* data, std::size_t size, bool last);
    // After the end: what ReadPlainOutputDocument returns for the whole text.
    bool Take(std::shared_ptr<MetaObj::MetaObject>& value);
    // Whether the document was left because a run of text passed XmlUtil_MaxTextBytes, which the tree
    // reader refuses wherever it stands.
    bool TextTooLong() const;
    // Whether the document was left at an element nested deeper than libxml2's tree builder allows,
    // where the tree reader stops with the parser's message whatever follows.
    bool TooDeep() const;

private:
    class Reader;
    std::unique_ptr<Reader> reader;
};

// Reads `text` as an output document made only of elements, attributes, text and comments, as programs
// print them. Returns true, with the document's value (null when the root element holds none), when the
// tree reader would give exactly that value and no message. Returns false for anything else, which the
// tree reader then reads from the start: a document type declaration, an entity or character reference
// in an attribute that is read, a CDATA section, a processing instruction, an unbound namespace prefix,
// a grammar error, a text longer than XmlUtil_MaxTextBytes, a document that is not well-formed.
bool ReadPlainOutputDocument(const std::string& text, std::shared_ptr<MetaObj::MetaObject>& value);

} // namespace Corvane::AutoCli
