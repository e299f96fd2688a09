// Reading an external program's XML output document into a typed value.
#include <corvane/xmlutil.h>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <cstring>
#include <memory>

namespace Corvane {
namespace AutoCli {

namespace {

// Owns a parsed document; freed on every path out of the reader, the throwing ones included.
struct XmlDocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocDeleter>;

// The output comes from an arbitrary program, so the parser gets no network access and loads no
// external DTD or entity (neither XML_PARSE_DTDLOAD nor XML_PARSE_NOENT), keeps libxml2's depth and
// size limits (no XML_PARSE_HUGE), and prints nothing: a malformed document is reported by the caller.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

bool IsTextOrComment(const xmlNode* node) {
    if (node->name == nullptr) {
        return false;
    }
    const char* name = reinterpret_cast<const char*>(node->name);
    return std::strcmp(name, "text") == 0 || std::strcmp(name, "comment") == 0;
}

} // namespace

std::shared_ptr<MetaObj::MetaObject> XmlUtil_ParseXmlOutput(const std::string& text) {
    // libxml2 takes the size as an int; a larger output cannot be a document it could read.
    if (text.size() > static_cast<size_t>(INT_MAX)) {
        return nullptr;
    }
    XmlDocPtr doc(
        xmlReadMemory(text.data(), static_cast<int>(text.size()), "STDOUT", nullptr, kParseOptions));
    if (!doc) {
        return nullptr;
    }
    xmlNode* root = xmlDocGetRootElement(doc.get());
    if (root == nullptr) {
        throw CorvaneException(
            "Error parsing command output.  Unable to find a properly formatted output tag "
            "as the document root");
    }
    try {
        for (xmlNode* child = root->children; child != nullptr; child = child->next) {
            if (!IsTextOrComment(child)) {
                return XmlUtil_BuildMetaObject(child);
            }
        }
    } catch (const CorvaneException& e) {
        throw CorvaneException(
            "Error parsing command output.  Unable to build a proper metaobject from output "
            "tag.  output must contain properly formatted tags of type bool, int, string, "
            "structure and list. Error was : " +
            std::string(e.what()));
    }
    return nullptr;
}

} // namespace AutoCli
} // namespace Corvane
