// Node tests shared by the readers of the XML plugin descriptor, and loading a descriptor file.
#pragma once

#include "xml_document.h"
#include "xml_value_grammar.h"

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

// Reads and parses a descriptor file. Throws CorvaneException with "Unable to parse XML descriptor: " and
// the file name when it cannot be read, is no regular file or is not well-formed XML (a file larger than
// XmlPlugin::MaxDescriptorBytes says so after it); `problem`, when given, then receives libxml2's first
// message and its line. Nothing is printed.
XmlDocPtr LoadDescriptorDocument(const std::string& fileName, XmlDiagnostic* problem);
} // namespace Corvane::AutoCli
