// Pieces of the XML grammar shared by the element builder, the streaming document reader and the
// descriptor reader.
#pragma once

#include <corvane/metaobj.h>

#include <libxml/tree.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace Corvane::AutoCli {
namespace XmlGrammar {

constexpr const char* kFieldNameMissing = "Invalid <field> tag found.  <field> requires a 'name' attribute.";
constexpr const char* kInvalidListType =
    "Invalid list type attribute.  Must be one of [string, int, bool, structure, list]";

inline bool IsNamed(const xmlNode* node, const char* name) {
    return node->name != nullptr && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

// Text and comment nodes are recognised by name, as libxml2 names them; an element literally called
// "text" or "comment" is therefore skipped as well.
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

// Reads a signed 64-bit decimal number the way a formatted stream read does: leading white space
// skipped, one optional sign, digits up to the first non-digit, the rest ignored. Fails when no digit
// comes first or the number does not fit; `result` is then unchanged.
bool ReadInt64(const std::string& text, std::int64_t& result);

// The element kind named by a list's `type` attribute. `compound` is set for "structure" and "list",
// whose lists take their first element as prototype. Returns false for any other word.
inline bool ParseListKind(const std::string& word, MetaObj::MetaType& kind, bool& compound) {
    compound = false;
    if (word == "string") {
        kind = MetaObj::MetaType::String;
    } else if (word == "int") {
        kind = MetaObj::MetaType::Int;
    } else if (word == "bool") {
        kind = MetaObj::MetaType::Bool;
    } else if (word == "structure") {
        kind = MetaObj::MetaType::Struct;
        compound = true;
    } else if (word == "list") {
        kind = MetaObj::MetaType::List;
        compound = true;
    } else {
        return false;
    }
    return true;
}

} // namespace XmlGrammar
} // namespace Corvane::AutoCli
