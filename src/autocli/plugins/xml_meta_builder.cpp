// Building typed values from the elements of the value grammar (string, int, bool, structure, list).
#include <corvane/xmlutil.h>

#include "xml_value_grammar.h"

#include <libxml/tree.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

namespace Corvane::AutoCli {

using MetaObj::MetaBool;
using MetaObj::MetaInt;
using MetaObj::MetaList;
using MetaObj::MetaObject;
using MetaObj::MetaString;
using MetaObj::MetaStruct;
using MetaObj::MetaType;

namespace {

using XmlGrammar::IsNamed;
using XmlGrammar::IsTextOrComment;

const char* NameOf(const xmlNode* node) {
    return reinterpret_cast<const char*>(node->name);
}

xmlNode* FirstValueChild(xmlNode* node) {
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (!IsTextOrComment(child)) {
            return child;
        }
    }
    return nullptr;
}

// The builders below carry the nesting depth so that a tree built with XML_PARSE_HUGE (or by hand)
// cannot exhaust the stack; each value element counts one level.
std::shared_ptr<MetaObject> BuildObject(xmlNode* node, int depth);

std::shared_ptr<MetaStruct> BuildStruct(xmlNode* node, int depth) {
    std::shared_ptr<MetaStruct> result = MetaStruct::New(XmlUtil_ExtractAttribute(node, "typeName"));
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (!IsNamed(child, "field")) {
            continue;
        }
        const std::string name = XmlUtil_ExtractAttribute(child, "name");
        if (name.empty()) {
            throw CorvaneException(XmlGrammar::kFieldNameMissing);
        }
        if (xmlNode* valueNode = FirstValueChild(child)) {
            result->SetField(name, BuildObject(valueNode, depth + 1), std::string());
        }
    }
    return result;
}

std::shared_ptr<MetaList> BuildList(xmlNode* node, int depth) {
    MetaType kind = MetaType::String;
    bool compound = false;
    if (!XmlGrammar::ParseListKind(XmlUtil_ExtractAttribute(node, "type"), kind, compound)) {
        throw CorvaneException(XmlGrammar::kInvalidListType);
    }
    std::shared_ptr<MetaList> result;
    if (compound) {
        std::shared_ptr<MetaObject> prototype;
        if (xmlNode* first = FirstValueChild(node)) {
            prototype = BuildObject(first, depth + 1);
        }
        result = MetaList::New(kind, prototype);
    } else {
        result = MetaList::New(kind);
    }

    // One counting pass lets the item storage be allocated once, however long the list is.
    unsigned long count = 0;
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (!IsTextOrComment(child)) {
            ++count;
        }
    }
    result->Reserve(count);
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (!IsTextOrComment(child)) {
            result->Add(BuildObject(child, depth + 1));
        }
    }
    return result;
}

std::shared_ptr<MetaObject> BuildObject(xmlNode* node, int depth) {
    if (node == nullptr) {
        throw CorvaneException("Unable to make a MetaObject from a missing node");
    }
    if (depth >= XmlUtil_MaxValueDepth) {
        throw CorvaneException("Unable to make a MetaObject from elements nested deeper than " +
                               std::to_string(XmlUtil_MaxValueDepth) + " levels");
    }
    if (node->name == nullptr) {
        // libxml2 gives CDATA sections (and a few other node kinds) no name; only an element can
        // hold a value.
        if (node->type == XML_CDATA_SECTION_NODE) {
            throw CorvaneException("Trying to make a meta object from a CDATA section");
        }
        throw CorvaneException("Trying to make a meta object from a node without a tag name");
    }
    const char* name = NameOf(node);
    if (std::strcmp(name, "text") == 0) {
        throw CorvaneException("Trying to make a meta object from a text field");
    }
    if (std::strcmp(name, "comment") == 0) {
        throw CorvaneException("Trying to make a meta object from a comment");
    }
    if (std::strcmp(name, "list") == 0) {
        return BuildList(node, depth);
    }
    if (std::strcmp(name, "structure") == 0) {
        return BuildStruct(node, depth);
    }
    if (std::strcmp(name, "int") == 0) {
        std::string text = XmlUtil_GetContent(node);
        if (text.empty()) {
            return MetaInt::New();
        }
        std::int64_t number = 0;
        if (!XmlGrammar::ReadInt64(text, number)) {
            throw CorvaneException("Unable to read an int value from: '" + text + "'");
        }
        return MetaInt::New(static_cast<long>(number));
    }
    if (std::strcmp(name, "bool") == 0) {
        const std::string text = XmlUtil_GetContent(node);
        return MetaBool::New(!(text == "false" || text == "f" || text == "0"));
    }
    if (std::strcmp(name, "string") == 0) {
        return MetaString::New(XmlUtil_GetContent(node));
    }
    throw CorvaneException("Unable to make a MetaObject from a node with tag '" + std::string(name) + "'");
}

} // namespace

std::shared_ptr<MetaObject> XmlUtil_BuildMetaObject(xmlNode* node) {
    return BuildObject(node, 0);
}

std::shared_ptr<MetaStruct> BuildMetaStruct(xmlNode* node) {
    if (node == nullptr) {
        throw CorvaneException("Unable to make a MetaObject from a missing node");
    }
    return BuildStruct(node, 0);
}

std::shared_ptr<MetaList> BuildMetaList(xmlNode* node) {
    if (node == nullptr) {
        throw CorvaneException("Unable to make a MetaObject from a missing node");
    }
    return BuildList(node, 0);
}

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

namespace XmlGrammar {

bool ReadInt64(const std::string& text, std::int64_t& result) {
    std::size_t pos = 0;
    const std::size_t size = text.size();
    while (pos < size && IsSpace(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < size && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos >= size || text[pos] < '0' || text[pos] > '9') {
        return false;
    }
    const std::uint64_t limit = negative ? std::uint64_t(std::numeric_limits<std::int64_t>::max()) + 1
                                         : std::uint64_t(std::numeric_limits<std::int64_t>::max());
    std::uint64_t magnitude = 0;
    for (; pos < size && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        const unsigned digit = unsigned(text[pos] - '0');
        if (magnitude > (limit - digit) / 10) {
            return false;
        }
        magnitude = magnitude * 10 + digit;
    }
    result = negative ? std::int64_t(0 - magnitude) : std::int64_t(magnitude);
    return true;
}

} // namespace XmlGrammar

} // namespace Corvane::AutoCli
