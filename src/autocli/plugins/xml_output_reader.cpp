// Reading an external program's XML output document into a typed value.
#include <corvane/xmlutil.h>

#include "xml_value_grammar.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlreader.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>

namespace Corvane::AutoCli {

using MetaObj::MetaList;
using MetaObj::MetaObject;
using MetaObj::MetaStruct;
using MetaObj::MetaType;
using XmlGrammar::IsNamed;
using XmlGrammar::IsTextOrComment;

namespace {

// The output comes from an arbitrary program, so the parser gets no network access and loads no
// external DTD or entity (neither XML_PARSE_DTDLOAD nor XML_PARSE_NOENT), keeps libxml2's depth and
// size limits (no XML_PARSE_HUGE), and prints nothing: a malformed document is reported by the caller.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

// Owns the reader and, through it, the document; freed on every path, the throwing ones included.
struct XmlReaderDeleter {
    void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};
using XmlReaderPtr = std::unique_ptr<xmlTextReader, XmlReaderDeleter>;

// libxml2 (2.9) checks each attribute of a start tag against all earlier ones, so one element with n
// attributes costs n^2 steps: a 1 MB tag of 100,000 attributes takes about half a minute. No element of
// the value grammar has more than one attribute; a document with an element of more than this many is
// refused before parsing, as a document that cannot be read.
constexpr size_t kMaxAttributesPerElement = 256;

bool StartsWith(const std::string& text, size_t pos, const char* prefix) {
    return text.compare(pos, std::strlen(prefix), prefix) == 0;
}

// The position just after the first `terminator` at or after `pos`, or npos.
size_t After(const std::string& text, size_t pos, const char* terminator) {
    const size_t found = text.find(terminator, pos);
    return found == std::string::npos ? found : found + std::strlen(terminator);
}

// The position just after the first '>' at or after `pos` that is not inside a quoted literal, or npos.
// Counts the '=' signs met outside literals (attributes, in a start tag) into `equals`.
size_t AfterTag(const std::string& text, size_t pos, size_t& equals) {
    char quote = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (quote != 0) {
            if (c == quote) {
                quote = 0;
            }
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '=') {
            ++equals;
        } else if (c == '>') {
            return pos + 1;
        }
    }
    return std::string::npos;
}

// A linear lexical pass over the markup that finds a start tag with too many attributes. Comments,
// CDATA sections, processing instructions and declarations are passed over; the internal subset of a
// DOCTYPE is scanned like the rest, since its declarations and comments are markup of the same kinds.
// Text the pass cannot make sense of is left to the parser to reject.
bool HasElementWithTooManyAttributes(const std::string& text) {
    size_t pos = 0;
    while (pos != std::string::npos && (pos = text.find('<', pos)) != std::string::npos) {
        size_t equals = 0;
        if (StartsWith(text, pos, "<!--")) {
            pos = After(text, pos + 4, "-->");
        } else if (StartsWith(text, pos, "<![CDATA[")) {
            pos = After(text, pos + 9, "]]>");
        } else if (StartsWith(text, pos, "<?")) {
            pos = After(text, pos + 2, "?>");
        } else if (StartsWith(text, pos, "<!DOCTYPE")) {
            // Up to the internal subset, if any; the subset's own markup follows in the main loop.
            const size_t subset = text.find_first_of("[>", pos);
            pos = subset == std::string::npos ? subset : subset + 1;
        } else if (StartsWith(text, pos, "<!") || StartsWith(text, pos, "</")) {
            pos = AfterTag(text, pos + 2, equals);
        } else {
            pos = AfterTag(text, pos + 1, equals);
            if (equals > kMaxAttributesPerElement) {
                return true;
            }
        }
    }
    return false;
}

// Thrown inside the reader when libxml2 finds the document not well-formed.
struct MalformedDocument {};

// Reads the document with libxml2's streaming reader instead of building the whole tree first. Lists and
// structures are walked node by node and every other value is built from its own expanded subtree with
// XmlUtil_BuildMetaObject; the reader frees each subtree once it has been passed. A document of many
// list items therefore never exists as a whole tree: memory stays near the size of the values built,
// where a full tree of small elements costs about ten times the text.
//
// The result is the one a full tree would give: the same nodes (the same SAX tree builder makes them),
// the same choice of children, the same order of checks. Since a document that turns out not to be
// well-formed yields no value even after a grammar error, a grammar error is only reported after the
// rest of the document has been read and found well-formed.
class StreamingOutputReader {
public:
    explicit StreamingOutputReader(xmlTextReader* reader) : reader_(reader) {}

    std::shared_ptr<MetaObject> Read() {
        std::shared_ptr<MetaObject> result;
        try {
            result = ReadDocument();
        } catch (const CorvaneException& e) {
            DrainToEnd();
            throw CorvaneException(
                "Error parsing command output.  Unable to build a proper metaobject from "
                "output tag.  output must contain properly formatted tags of type bool, int, "
                "string, structure and list. Error was : " +
                std::string(e.what()));
        }
        DrainToEnd();
        return result;
    }

private:
    std::shared_ptr<MetaObject> ReadDocument() {
        // The root element is the first element at depth 0; the prolog (declaration, DOCTYPE, comments)
        // comes before it.
        Advance();
        while (!AtEnd() && !(Depth() == 0 && NodeType() == XML_READER_TYPE_ELEMENT)) {
            Advance();
        }
        if (AtEnd()) {
            throw NoRootElement();
        }
        if (xmlTextReaderIsEmptyElement(reader_)) {
            Advance();
            return nullptr;
        }
        Advance();
        while (!AtEnd() && Depth() > 0) {
            if (Depth() == 1 && IsValueCandidate()) {
                return ReadValue(1);
            }
            Advance();
        }
        return nullptr;
    }

    // Builds the value whose node is current, at reader depth `depth`, and leaves the reader on the
    // node after it.
    std::shared_ptr<MetaObject> ReadValue(int depth) {
        if (depth >= XmlUtil_MaxValueDepth) {
            throw CorvaneException("Unable to make a MetaObject from elements nested deeper than " +
                                   std::to_string(XmlUtil_MaxValueDepth) + " levels");
        }
        xmlNode* node = xmlTextReaderCurrentNode(reader_);
        if (node->type == XML_ELEMENT_NODE && IsNamed(node, "list")) {
            return ReadList(node, depth);
        }
        if (node->type == XML_ELEMENT_NODE && IsNamed(node, "structure")) {
            return ReadStruct(node, depth);
        }
        std::shared_ptr<MetaObject> value = XmlUtil_BuildMetaObject(Expand());
        Skip();
        return value;
    }

    std::shared_ptr<MetaObject> ReadStruct(xmlNode* node, int depth) {
        std::shared_ptr<MetaStruct> result = MetaStruct::New(XmlUtil_ExtractAttribute(node, "typeName"));
        const bool empty = xmlTextReaderIsEmptyElement(reader_);
        Advance();
        if (empty) {
            return result;
        }
        while (Inside(depth)) {
            xmlNode* child = xmlTextReaderCurrentNode(reader_);
            if (Depth() != depth + 1 || NodeType() != XML_READER_TYPE_ELEMENT || !IsNamed(child, "field")) {
                Advance();
                continue;
            }
            const std::string name = XmlUtil_ExtractAttribute(child, "name");
            if (name.empty()) {
                throw CorvaneException(XmlGrammar::kFieldNameMissing);
            }
            const bool fieldEmpty = xmlTextReaderIsEmptyElement(reader_);
            Advance();
            if (fieldEmpty) {
                continue;
            }
            // The field's first value child sets the field; later children are passed over.
            bool set = false;
            while (Inside(depth + 1)) {
                if (!set && Depth() == depth + 2 && IsValueCandidate()) {
                    result->SetField(name, ReadValue(depth + 2));
                    set = true;
                } else {
                    Advance();
                }
            }
            LeaveElement();
        }
        LeaveElement();
        return result;
    }

    std::shared_ptr<MetaObject> ReadList(xmlNode* node, int depth) {
        MetaType kind = MetaType::String;
        bool compound = false;
        if (!XmlGrammar::ParseListKind(XmlUtil_ExtractAttribute(node, "type"), kind, compound)) {
            throw CorvaneException(XmlGrammar::kInvalidListType);
        }
        // A list of structures (or lists) needs its first element as prototype before it exists, so it
        // is made when that element is reached, or at the end when there is none.
        std::shared_ptr<MetaList> result;
        if (!compound) {
            result = MetaList::New(kind);
        }
        const bool empty = xmlTextReaderIsEmptyElement(reader_);
        Advance();
        if (!empty) {
            while (Inside(depth)) {
                if (Depth() != depth + 1 || !IsValueCandidate()) {
                    Advance();
                    continue;
                }
                if (!result) {
                    // The first element is built twice, once as the prototype and once as the item, each
                    // from the element's own subtree.
                    xmlNode* first = Expand();
                    std::shared_ptr<MetaObject> prototype = XmlUtil_BuildMetaObject(first);
                    result = MetaList::New(kind, prototype);
                    result->Add(XmlUtil_BuildMetaObject(first));
                    Skip();
                    continue;
                }
                result->Add(ReadValue(depth + 1));
            }
            LeaveElement();
        }
        if (!result) {
            result = MetaList::New(kind, std::shared_ptr<MetaObject>());
        }
        return result;
    }

    // True while the reader is inside the element at `depth`: on one of its descendants.
    bool Inside(int depth) {
        if (AtEnd()) {
            // The document ended inside an open element; libxml2 reports that as an error first.
            throw MalformedDocument();
        }
        return Depth() > depth;
    }

    // Steps over the end tag of the element whose descendants have just been read.
    void LeaveElement() {
        if (NodeType() == XML_READER_TYPE_END_ELEMENT) {
            Advance();
        }
    }

    // A node that can hold the value: anything but text, comments and end tags.
    bool IsValueCandidate() {
        return NodeType() != XML_READER_TYPE_END_ELEMENT &&
               !IsTextOrComment(xmlTextReaderCurrentNode(reader_));
    }

    xmlNode* Expand() {
        xmlNode* node = xmlTextReaderExpand(reader_);
        if (node == nullptr) {
            throw MalformedDocument();
        }
        return node;
    }

    void Advance() { Check(xmlTextReaderRead(reader_)); }
    void Skip() { Check(xmlTextReaderNext(reader_)); }

    void Check(int status) {
        if (status < 0) {
            throw MalformedDocument();
        }
        atEnd_ = status == 0;
    }

    void DrainToEnd() {
        while (!atEnd_) {
            Advance();
        }
    }

    bool AtEnd() const { return atEnd_; }
    int Depth() { return xmlTextReaderDepth(reader_); }
    int NodeType() { return xmlTextReaderNodeType(reader_); }

    static CorvaneException NoRootElement() {
        return CorvaneException(
            "Error parsing command output.  Unable to find a properly formatted output tag as "
            "the document root");
    }

    xmlTextReader* reader_;
    bool atEnd_ = false;
};

} // namespace

std::shared_ptr<MetaObject> XmlUtil_ParseXmlOutput(const std::string& text) {
    // libxml2 takes the size as an int; a larger output cannot be a document it could read.
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) {
        return nullptr;
    }
    if (HasElementWithTooManyAttributes(text)) {
        return nullptr;
    }
    XmlReaderPtr reader(
        xmlReaderForMemory(text.data(), static_cast<int>(text.size()), "STDOUT", nullptr, kParseOptions));
    if (!reader) {
        return nullptr;
    }
    try {
        return StreamingOutputReader(reader.get()).Read();
    } catch (const MalformedDocument&) {
        return nullptr;
    }
}

} // namespace Corvane::AutoCli
