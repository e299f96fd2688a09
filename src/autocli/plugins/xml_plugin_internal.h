// Node tests shared by the readers of the XML plugin descriptor, and loading a descriptor file.
#pragma once

#include "autocli/xml/xml_document.h"
#include "autocli/xml/xml_value_grammar.h"

#include <libxml/tree.h>

#include <string>

namespace Corvane::AutoCli {
namespace XmlDescriptor {

using XmlGrammar::CarriesContent;
using XmlGrammar::IsNamed;
using XmlGrammar::IsTextOrComment;
using XmlGrammar::ReadInt64;

inline std::string NameOf(const xmlNode* node) {
    return node->name != nullptr ? std::string(reinterpret_cast<const char*>(node->name)) : std::string();
}

inline std::string ContentOf(const xmlNode* node) {
    return node->content != nullptr ? std::string(reinterpret_cast<const char*>(node->content))
                                    : std::string();
}

} // namespace XmlDescriptor

// Reading and parsing a descriptor file. Both throw CorvaneException with "Unable to parse XML
// descriptor: " and the file name: the reader when the file cannot be read or is no regular file (a
// file larger than XmlPlugin::MaxDescriptorBytes says so after it), the parser when the text is not
// well-formed XML; `problem`, when given, then receives libxml2's first message and its line. Nothing
// is printed.
std::string ReadDescriptorText(const std::string& fileName);
XmlDocPtr ParseDescriptorText(const std::string& text, const std::string& fileName, XmlDiagnostic* problem);
} // namespace Corvane::AutoCli
