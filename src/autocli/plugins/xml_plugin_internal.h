// Node tests and number reading shared by the readers of the XML plugin descriptor.
#pragma once

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
} // namespace Corvane::AutoCli
