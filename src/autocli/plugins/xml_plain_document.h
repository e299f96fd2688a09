// Reading a plain output document straight from the parser's events, without building a tree.
#pragma once

#include <corvane/metaobj.h>

#include <memory>
#include <string>

namespace Corvane::AutoCli {

// Reads `text` as an output document made only of elements, attributes, text and comments, as programs
// print them. Returns true, with the document's value (null when the root element holds none), when the
// tree reader would give exactly that value and no message. Returns false for anything else, which the
// tree reader then reads from the start: a document type declaration, an entity or character reference
// in an attribute that is read, a CDATA section, a processing instruction, an unbound namespace prefix,
// a grammar error, a text longer than XmlUtil_MaxTextBytes, a document that is not well-formed.
bool ReadPlainOutputDocument(const std::string& text, std::shared_ptr<MetaObj::MetaObject>& value);

} // namespace Corvane::AutoCli
