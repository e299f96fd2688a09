// Reading an external program's XML output document into a typed value, as a stream.
#include <corvane/xmlutil.h>

#include "autocli/xml/xml_attribute_scan.h"
#include "autocli/xml/xml_document.h"
#include "autocli/xml/xml_output_messages.h"
#include "autocli/xml/xml_plain_document.h"
#include "autocli/xml/xml_stream_tree.h"
#include "autocli/xml/xml_value_grammar.h"

#include <libxml/tree.h>

#include <array>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace Corvane::AutoCli {

using MetaObj::MetaObject;
using XmlGrammar::ValueBuilder;

namespace {

bool StartsWith(const std::string& text, size_t pos, std::string_view prefix) {
    return std::string_view(text).substr(pos, prefix.size()) == prefix;
}

// The position just after the first `terminator` at or after `pos`, or npos.
size_t After(const std::string& text, size_t pos, const char* terminator) {
    const size_t found = text.find(terminator, pos);
    return found == std::string::npos ? found : found + std::strlen(terminator);
}

// The position just after the first '>' at or after `pos` that is not inside a quoted literal, or npos.
// Counts the '=' signs met outside literals (attributes, in a start tag) into `equals`. Bytes that are
// none of the four are passed over by table; a literal is passed over whole.
size_t AfterTag(const std::string& text, size_t pos, size_t& equals) {
    static const auto kMarks = [] {
        std::array<bool, 256> marks{};
        marks['"'] = marks['\''] = marks['='] = marks['>'] = true;
        return marks;
    }();
    const char* data = text.data();
    const size_t size = text.size();
    while (pos < size) {
        while (pos < size && !kMarks[static_cast<unsigned char>(data[pos])]) {
            ++pos;
        }
        if (pos == size) {
            break;
        }
        const char c = data[pos];
        if (c == '>') {
            return pos + 1;
        }
        if (c == '=') {
            ++equals;
            ++pos;
            continue;
        }
        const void* close = std::memchr(data + pos + 1, c, size - pos - 1);
        if (close == nullptr) {
            break;
        }
        pos = static_cast<size_t>(static_cast<const char*>(close) - data) + 1;
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
        // Most markup is a plain start or end tag: the byte after '<' tells which checks can apply.
        const char next = pos + 1 < text.size() ? text[pos + 1] : '\0';
        if (next == '!') {
            if (StartsWith(text, pos, "<!--")) {
                pos = After(text, pos + 4, "-->");
            } else if (StartsWith(text, pos, "<![CDATA[")) {
                pos = After(text, pos + 9, "]]>");
            } else if (StartsWith(text, pos, "<!DOCTYPE")) {
                // Up to the internal subset, if any; the subset's own markup follows in the main loop.
                const size_t subset = text.find_first_of("[>", pos);
                pos = subset == std::string::npos ? subset : subset + 1;
            } else {
                pos = AfterTag(text, pos + 2, equals);
            }
        } else if (next == '?') {
            pos = After(text, pos + 2, "?>");
        } else if (next == '/') {
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

const std::string kNotValid = "Output of the program is not a valid output document: ";

// "element <name>", or the kind of a node that is no element.
std::string Describe(const xmlNode* node) {
    if (node->type == XML_ELEMENT_NODE && node->name != nullptr) {
        return "element <" + std::string(reinterpret_cast<const char*>(node->name)) + ">";
    }
    return node->type == XML_CDATA_SECTION_NODE ? "CDATA section" : "node";
}

std::string NoValueProblem(long rootLine, const std::string& rootName) {
    return kNotValid + "line " + std::to_string(rootLine) + ": root element <" + rootName +
           "> holds no value element";
}

// The same for a document the event reader read whole: its root element, found again with its line.
std::string NoValueProblem(const std::string& text) {
    XmlDocPtr doc = ParseXmlDocument(text, "STDOUT", nullptr);
    const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (root == nullptr) {
        return kNotValid + "the root element holds no value element";
    }
    return NoValueProblem(xmlGetLineNo(root), reinterpret_cast<const char*>(root->name));
}

std::string NotWellFormed(const XmlDiagnostics& diagnostics) {
    std::string problem = "Output of the program is not well-formed XML";
    if (!diagnostics.Any()) {
        return problem;
    }
    const XmlDiagnostic& first = diagnostics.First();
    problem += ": ";
    if (first.line > 0) {
        problem += "line " + std::to_string(first.line) + ", column " + std::to_string(first.column) + ": ";
    }
    return problem + first.message;
}

} // namespace

std::string OutputTooLongProblem() {
    return kNotValid + "it is longer than " + std::to_string(INT_MAX) + " bytes";
}

std::string TooManyAttributesProblem() {
    return kNotValid + "an element has more than " + std::to_string(kMaxAttributesPerElement) + " attributes";
}

void ThrowTextTooLong() {
    throw CorvaneException("Error parsing command output.  A text of more than " +
                           std::to_string(XmlUtil_MaxTextBytes) + " bytes cannot be read");
}

std::shared_ptr<MetaObject> XmlUtil_ParseXmlOutput(const std::string& text) {
    std::string problem;
    return XmlUtil_ParseXmlOutput(text, problem);
}

std::shared_ptr<MetaObject> XmlUtil_ParseXmlOutput(const std::string& text, std::string& problem) {
    problem.clear();
    if (text.empty()) {
        return nullptr;
    }
    // libxml2 takes the size as an int; a larger output cannot be a document it could read.
    if (text.size() > static_cast<size_t>(INT_MAX)) {
        problem = OutputTooLongProblem();
        return nullptr;
    }
    if (HasElementWithTooManyAttributes(text)) {
        problem = TooManyAttributesProblem();
        return nullptr;
    }
    XmlDiagnostics quiet;
    // Programs print plain documents, read from the parser's events; the tree reader settles the rest,
    // and says why a document yields no value.
    if (std::shared_ptr<MetaObject> plain; ReadPlainOutputDocument(text, plain)) {
        if (!plain) {
            problem = NoValueProblem(text);
        }
        return plain;
    }
    XmlDiagnostics diagnostics;
    StreamingTree tree(text, "STDOUT");
    try {
        // The first child of the root that is neither text nor comment is the document's value.
        std::shared_ptr<MetaObject> result;
        long rootLine = 0;
        std::string rootName;
        try {
            xmlNode* root = tree.Root();
            if (root == nullptr) {
                throw MalformedDocument();
            }
            rootLine = xmlGetLineNo(root);
            rootName = reinterpret_cast<const char*>(root->name);
            ValueBuilder<StreamingTree> builder(tree);
            try {
                if (xmlNode* first = builder.ValueChild(tree.First(root))) {
                    result = builder.Build(first, 0);
                }
            } catch (const CorvaneException&) {
                if (const xmlNode* refused = builder.RefusedNode()) {
                    problem = kNotValid + "line " + std::to_string(builder.RefusedLine()) + ": " +
                              Describe(refused) + " is refused";
                }
                throw;
            }
        } catch (const CorvaneException& e) {
            // A document that turns out not to be well-formed yields no value even after a grammar
            // error, so the error waits until the rest has been read.
            tree.Finish();
            throw CorvaneException(
                "Error parsing command output.  Unable to build a proper metaobject from "
                "output tag.  output must contain properly formatted tags of type bool, int, "
                "string, structure and list. Error was : " +
                std::string(e.what()));
        }
        tree.Finish();
        if (!result) {
            problem = NoValueProblem(rootLine, rootName);
        }
        return result;
    } catch (const MalformedDocument&) {
        problem = NotWellFormed(diagnostics);
        return nullptr;
    } catch (const TextTooLong&) {
        problem.clear();
        ThrowTextTooLong();
    }
}

} // namespace Corvane::AutoCli
