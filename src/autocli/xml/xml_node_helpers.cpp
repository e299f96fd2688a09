// Element helpers shared by the output document reader and the plugin descriptor reader.
#include <corvane/xmlutil.h>

#include "autocli/xml/xml_value_grammar.h"

#include <libxml/entities.h>
#include <libxml/tree.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace Corvane::AutoCli {

namespace {

using XmlGrammar::CarriesContent;

// Owns one string handed out by libxml2 (xmlGetProp and friends); released with xmlFree on every
// path, exceptions included.
struct XmlCharDeleter {
    void operator()(xmlChar* text) const { xmlFree(text); }
};
using XmlCharPtr = std::unique_ptr<xmlChar, XmlCharDeleter>;

bool HasName(const xmlNode* node, const std::string& name) {
    // Unnamed nodes (CDATA sections) never match; names are compared byte for byte.
    return node->name != nullptr && name.compare(reinterpret_cast<const char*>(node->name)) == 0;
}

// Bounds for expanding entity references in an attribute value. libxml2's own limit for a text or
// attribute value is 10 MB; an attribute's references are expanded only when it is read, and without
// bounds a small hostile document can ask for gigabytes there.
constexpr size_t kMaxAttributeBytes = 10000000;
constexpr size_t kMaxAttributeNodes = 1000000;
constexpr int kMaxEntityNesting = 40;

struct AttributeExpansion {
    xmlDoc* doc;
    const std::string& name;
    std::string value;
    size_t nodes = 0;
};

[[noreturn]] void ThrowAttributeTooLarge(const std::string& name, const std::string& reason) {
    throw CorvaneException("Unable to read attribute '" + name + "': its entity references expand to " +
                           reason);
}

// Appends the text of an attribute's node list as xmlNodeListGetString(doc, list, 1) would: text and
// CDATA verbatim, entity references replaced by their entity's expansion (or by their own content when
// the entity is unknown). Unlike that function it appends in linear time and stops at the bounds above.
void AppendAttributeText(AttributeExpansion& expansion, const xmlNode* list, int nesting) {
    if (nesting > kMaxEntityNesting) {
        ThrowAttributeTooLarge(expansion.name,
                               "more than " + std::to_string(kMaxEntityNesting) + " nested levels");
    }
    for (const xmlNode* node = list; node != nullptr; node = node->next) {
        if (++expansion.nodes > kMaxAttributeNodes) {
            ThrowAttributeTooLarge(expansion.name,
                                   "more than " + std::to_string(kMaxAttributeNodes) + " nodes");
        }
        const xmlChar* text = nullptr;
        if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
            text = node->content;
        } else if (node->type == XML_ENTITY_REF_NODE) {
            if (xmlEntity* entity = xmlGetDocEntity(expansion.doc, node->name)) {
                AppendAttributeText(expansion, entity->children, nesting + 1);
                continue;
            }
            text = node->content;
        }
        if (text != nullptr) {
            expansion.value.append(reinterpret_cast<const char*>(text));
            if (expansion.value.size() > kMaxAttributeBytes) {
                ThrowAttributeTooLarge(expansion.name,
                                       "more than " + std::to_string(kMaxAttributeBytes) + " bytes");
            }
        }
    }
}

} // namespace

std::string XmlUtil_ExtractAttribute(xmlNode* node, const std::string& name) {
    if (node == nullptr) {
        return std::string();
    }
    const xmlChar* xmlName = reinterpret_cast<const xmlChar*>(name.c_str());
    xmlAttr* attribute = xmlHasProp(node, xmlName);
    if (attribute == nullptr) {
        return std::string();
    }
    // An attribute holding entity references is split into several nodes; xmlGetProp would join
    // their expansions with repeated concatenation, quadratic and unbounded, so those are expanded here.
    if (attribute->type == XML_ATTRIBUTE_NODE && attribute->children != nullptr &&
        attribute->children->next != nullptr) {
        AttributeExpansion expansion{node->doc, name, std::string()};
        AppendAttributeText(expansion, attribute->children, 0);
        return std::move(expansion.value);
    }
    XmlCharPtr value(xmlGetProp(node, xmlName));
    if (!value) {
        return std::string();
    }
    return std::string(reinterpret_cast<const char*>(value.get()));
}

std::string XmlUtil_GetContent(xmlNode* node) {
    if (node == nullptr) {
        return std::string();
    }
    // The last content-carrying child wins, so scanning backwards finds it without walking the rest.
    // The node's own content pointer is read directly: xmlNodeGetContent would copy whole subtrees.
    for (xmlNode* child = node->last; child != nullptr; child = child->prev) {
        if (CarriesContent(child)) {
            return child->content != nullptr ? std::string(reinterpret_cast<const char*>(child->content))
                                             : std::string();
        }
    }
    return std::string();
}

std::string XmlUtil_GetContentForChildByTag(xmlNode* node, const std::string& tag) {
    std::string result;
    if (node == nullptr) {
        return result;
    }
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (!HasName(child, tag)) {
            continue;
        }
        if (!result.empty()) {
            throw CorvaneException("Illegal Duplicate tags found.  The tag " + tag +
                                   " was expected only once, but was found multiple times.");
        }
        result = XmlUtil_GetContent(child);
    }
    return result;
}

xmlNode* XmlUtil_FindChildNode(xmlNode* node, const std::string& tag) {
    xmlNode* found = nullptr;
    if (node == nullptr) {
        return found;
    }
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (!HasName(child, tag)) {
            continue;
        }
        if (found != nullptr) {
            throw CorvaneException("More than one instance of " + tag + " found, expected only one.");
        }
        found = child;
    }
    return found;
}

} // namespace Corvane::AutoCli
