// The value grammar of XML output documents and declared outputs, written once for the two ways of
// reading: a whole tree, and a tree that is still being parsed. Also node tests shared with the
// descriptor reader.
#pragma once

#include <corvane/exception.h>
#include <corvane/metaobj.h>
#include <corvane/xmlutil.h>

#include <libxml/tree.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace Corvane::AutoCli {
namespace XmlGrammar {

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

// Walks a whole tree: every node is there, nothing is released.
struct WholeTree {
    xmlNode* First(xmlNode* parent) { return parent->children; }
    xmlNode* Next(xmlNode* node) { return node->next; }
    void Complete(xmlNode*) {}
    unsigned long CountHint(xmlNode* parent) {
        unsigned long count = 0;
        for (xmlNode* child = parent->children; child != nullptr; child = child->next) {
            count += IsTextOrComment(child) ? 0 : 1;
        }
        return count;
    }
};

// Builds the value of one element of the grammar. `Walker` gives the children of an element:
//   First(parent), Next(node): the first child and the next sibling, null at the end; Next may release
//     `node` and everything below it, so a node is not looked at again once Next has passed it;
//   Complete(element): makes the element's subtree whole, so its text can be read;
//   CountHint(parent): how many value children follow, or 0 when that is not known yet.
// The depth counts value elements, so that a tree built by other means than the parser (which refuses
// more than 256 levels) cannot exhaust the stack.
template <class Walker> class ValueBuilder {
public:
    explicit ValueBuilder(Walker& walker) : walker(walker) {}

    std::shared_ptr<MetaObj::MetaObject> Build(xmlNode* node, int depth) {
        try {
            return BuildElement(node, depth);
        } catch (const CorvaneException&) {
            Refuse(node);
            throw;
        }
    }

    // `node` or the first sibling after it that is neither text nor comment; null when there is none.
    xmlNode* ValueChild(xmlNode* node) {
        while (node != nullptr && IsTextOrComment(node)) {
            node = walker.Next(node);
        }
        return node;
    }

    // The innermost node the grammar refused when Build threw, and its line; null before that.
    const xmlNode* RefusedNode() const { return refused; }
    long RefusedLine() const { return refusedLine; }

private:
    // Notes `node` as the refused one unless a node inside it was noted first.
    void Refuse(const xmlNode* node) {
        if (refused == nullptr && node != nullptr) {
            refused = node;
            refusedLine = xmlGetLineNo(node);
        }
    }

    std::shared_ptr<MetaObj::MetaObject> BuildElement(xmlNode* node, int depth) {
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
        if (IsNamed(node, "text")) {
            throw CorvaneException("Trying to make a meta object from a text field");
        }
        if (IsNamed(node, "comment")) {
            throw CorvaneException("Trying to make a meta object from a comment");
        }
        if (IsNamed(node, "list")) {
            return BuildList(node, depth);
        }
        if (IsNamed(node, "structure")) {
            return BuildStruct(node, depth);
        }
        if (IsNamed(node, "int")) {
            walker.Complete(node);
            std::string text = XmlUtil_GetContent(node);
            if (text.empty()) {
                return MetaObj::MetaInt::New();
            }
            std::int64_t number = 0;
            if (!ReadInt64(text, number)) {
                throw CorvaneException("Unable to read an int value from: '" + text + "'");
            }
            return MetaObj::MetaInt::New(static_cast<long>(number));
        }
        if (IsNamed(node, "bool")) {
            walker.Complete(node);
            const std::string text = XmlUtil_GetContent(node);
            return MetaObj::MetaBool::New(!(text == "false" || text == "f" || text == "0"));
        }
        if (IsNamed(node, "string")) {
            walker.Complete(node);
            return MetaObj::MetaString::New(XmlUtil_GetContent(node));
        }
        throw CorvaneException("Unable to make a MetaObject from a node with tag '" +
                               std::string(reinterpret_cast<const char*>(node->name)) + "'");
    }

public:
    std::shared_ptr<MetaObj::MetaStruct> BuildStruct(xmlNode* node, int depth) {
        // An element of a list of structures shares the names of the list's definition; records below
        // it do not.
        const MetaObj::MetaStruct* model = listModel;
        listModel = nullptr;
        std::shared_ptr<MetaObj::MetaStruct> result =
            model != nullptr
                ? MetaObj::MetaStruct::NewLike(XmlUtil_ExtractAttribute(node, "typeName"), *model)
                : MetaObj::MetaStruct::New(XmlUtil_ExtractAttribute(node, "typeName"));
        for (xmlNode* child = walker.First(node); child != nullptr; child = walker.Next(child)) {
            if (!IsNamed(child, "field")) {
                continue;
            }
            try {
                const std::string name = XmlUtil_ExtractAttribute(child, "name");
                if (name.empty()) {
                    throw CorvaneException(
                        "Invalid <field> tag found.  <field> requires a 'name' attribute.");
                }
                // The field's first value child sets the field; later children are passed over.
                if (xmlNode* valueNode = ValueChild(walker.First(child))) {
                    result->SetField(name, Build(valueNode, depth + 1), std::string());
                }
            } catch (const CorvaneException&) {
                Refuse(child);
                throw;
            }
        }
        return result;
    }

    std::shared_ptr<MetaObj::MetaList> BuildList(xmlNode* node, int depth) {
        MetaObj::MetaType kind = MetaObj::MetaType::String;
        bool compound = false;
        if (!ParseListKind(XmlUtil_ExtractAttribute(node, "type"), kind, compound)) {
            throw CorvaneException(
                "Invalid list type attribute.  Must be one of [string, int, bool, structure, list]");
        }
        xmlNode* child = ValueChild(walker.First(node));
        std::shared_ptr<MetaObj::MetaList> result;
        if (!compound) {
            result = MetaObj::MetaList::New(kind);
        } else if (child == nullptr) {
            result = MetaObj::MetaList::New(kind, std::shared_ptr<MetaObj::MetaObject>());
        } else {
            // The first element is also the prototype, built on its own from the same nodes; the
            // element is made whole first, so that building it twice reads it twice.
            walker.Complete(child);
            WholeTree whole;
            ValueBuilder<WholeTree> prototype(whole);
            try {
                result = MetaObj::MetaList::New(kind, prototype.Build(child, depth + 1));
            } catch (const CorvaneException&) {
                Refuse(prototype.RefusedNode());
                throw;
            }
        }
        if (const unsigned long count = walker.CountHint(node)) {
            result->Reserve(count);
        }
        for (; child != nullptr; child = ValueChild(walker.Next(child))) {
            std::shared_ptr<MetaObj::MetaObject> element;
            listModel = result->GetListStructure().get();
            try {
                element = Build(child, depth + 1);
            } catch (...) {
                listModel = nullptr;
                throw;
            }
            listModel = nullptr;
            try {
                result->Add(element);
            } catch (const CorvaneException&) {
                Refuse(child);
                throw;
            }
        }
        return result;
    }

private:
    Walker& walker;
    // The definition of the list whose element is being built, for the element's record alone.
    const MetaObj::MetaStruct* listModel = nullptr;
    const xmlNode* refused = nullptr;
    long refusedLine = 0;
};

} // namespace XmlGrammar
} // namespace Corvane::AutoCli
