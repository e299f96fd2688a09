// Node tests and number reading shared by the readers of the XML plugin descriptor.
#pragma once

#include <libxml/tree.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace Corvane {
namespace AutoCli {
namespace XmlDescriptor {

// Unnamed nodes (CDATA sections) never match; names are compared byte for byte.
inline bool IsNamed(const xmlNode* node, const char* name) {
    return node->name != nullptr && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

inline std::string NameOf(const xmlNode* node) {
    return node->name != nullptr ? std::string(reinterpret_cast<const char*>(node->name)) : std::string();
}

// libxml2 names text nodes "text" and comments "comment"; an element literally called so is treated
// the same way, as the descriptor format has no way to tell them apart by name.
inline bool IsTextOrComment(const xmlNode* node) {
    return IsNamed(node, "text") || IsNamed(node, "comment");
}

// The node kinds whose content counts as the text of their parent element.
inline bool CarriesContent(const xmlNode* node) {
    switch (node->type) {
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
        return true;
    default:
        return false;
    }
}

inline std::string ContentOf(const xmlNode* node) {
    return node->content != nullptr ? std::string(reinterpret_cast<const char*>(node->content))
                                    : std::string();
}

// Reads a signed 64-bit decimal number the way a formatted stream read does: leading white space
// skipped, one optional sign, digits up to the first non-digit, the rest ignored. Fails when no digit
// comes first or the number does not fit; `result` is then unchanged.
bool ReadInt64(const std::string& text, std::int64_t& result);

} // namespace XmlDescriptor
} // namespace AutoCli
} // namespace Corvane
