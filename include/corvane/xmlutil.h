// The XML layer: reading XML output documents into typed values, and element helpers.
#pragma once

#include <corvane/exception.h>
#include <corvane/export.h>
#include <corvane/metaobj.h>

#include <cstddef>
#include <memory>
#include <string>

// libxml2's element type, declared here exactly as libxml2 declares it so that this header does not
// drag libxml2's include paths into every program that includes the library's headers. Code that
// calls the element helpers includes <libxml/tree.h> itself to obtain nodes.
struct _xmlNode; // libxml2's own name for its node
typedef struct _xmlNode xmlNode;

namespace Corvane::AutoCli {

/// The value of an XML output document (an external program's standard output), or an empty pointer
/// when `text` is not well-formed XML or its root element holds only text and comments.
///
/// Throws CorvaneException when the document is well-formed but does not follow the value grammar
/// (unknown tag, bad integer, bad list type, nameless field, ...), and when one of its texts is longer
/// than XmlUtil_MaxTextBytes. The document is parsed without network access and without loading
/// external DTDs or expanding external entities, and libxml2's own diagnostics are not printed. The
/// document is read as a stream: lists and structures are built element by element, so memory stays
/// near the size of the values built.
CORVANE_API std::shared_ptr<MetaObj::MetaObject> XmlUtil_ParseXmlOutput(const std::string& text);

/// The same, and says why a non-empty `text` yields no value or is refused by the value grammar:
/// `problem` receives one line, "Output of the program is not well-formed XML: line L, column C: "
/// followed by libxml2's message, or "Output of the program is not a valid output document: line L: "
/// followed by the element refused ("element <foo> is refused") or "root element <output> holds no
/// value element". It is left empty when a value is returned and when `text` is empty.
CORVANE_API std::shared_ptr<MetaObj::MetaObject> XmlUtil_ParseXmlOutput(const std::string& text,
                                                                        std::string& problem);

/// An output document read as the program writes it, for outputs of any size: memory follows the values
/// built, not the text. Add the output's bytes as they arrive, call End once it has ended, then Value
/// gives what XmlUtil_ParseXmlOutput gives for the whole text, problem and exceptions included.
///
/// A bound is broken when the output passes INT_MAX bytes, holds a start tag of more than 256
/// attributes, holds a text longer than XmlUtil_MaxTextBytes, or (while it is read as a plain document)
/// nests an element deeper than libxml2's tree builder allows. Add then returns false: nothing the
/// program writes later can change the outcome, so it can be ended at once; Value gives that bound's
/// problem or exception, as XmlUtil_ParseXmlOutput would for a text that ends there.
///
/// An output that starts with "ERROR:" is not read as a document: Head holds its leading lines. One of
/// them longer than XmlUtil_MaxTextBytes (after "ERROR:") breaks the text bound: Head is then empty
/// and Value throws as for a text of a document that long.
class CORVANE_API XmlOutputStream {
public:
    XmlOutputStream();
    ~XmlOutputStream();
    XmlOutputStream(const XmlOutputStream&) = delete;
    XmlOutputStream& operator=(const XmlOutputStream&) = delete;

    /// Takes the next `size` bytes of the output. Returns false once a bound is broken.
    bool Add(const char* data, std::size_t size);
    /// The output has ended.
    void End();
    /// Whether no byte came.
    bool Empty() const;
    /// All the output when it starts with "ERROR:" lines, up to the first line that does not; otherwise
    /// a part of the output, from its start, that does not start with "ERROR:" either.
    const std::string& Head() const;
    /// After End: the document's value, as XmlUtil_ParseXmlOutput(text, problem) gives it.
    std::shared_ptr<MetaObj::MetaObject> Value(std::string& problem);

private:
    struct State;
    std::unique_ptr<State> state;
};

/// The value of one element of the value grammar: `string`, `int`, `bool`, `structure` or `list`.
/// Throws CorvaneException for any other node, and when elements nest deeper than
/// XmlUtil_MaxValueDepth.
CORVANE_API std::shared_ptr<MetaObj::MetaObject> XmlUtil_BuildMetaObject(xmlNode* node);

/// A `structure` element: a MetaStruct named by its `typeName` attribute, one field per `field` child.
CORVANE_API std::shared_ptr<MetaObj::MetaStruct> BuildMetaStruct(xmlNode* node);

/// A `list` element of the kind its `type` attribute names. A list of structures or lists takes its
/// first element as the element prototype.
CORVANE_API std::shared_ptr<MetaObj::MetaList> BuildMetaList(xmlNode* node);

/// The value elements that may nest inside one another while building a value. libxml2 refuses
/// documents nested deeper than 256 elements unless XML_PARSE_HUGE is given, so only trees built by
/// other means can reach this limit.
constexpr int XmlUtil_MaxValueDepth = 512;

/// The longest text (a string value, say) an output document may hold, in bytes.
constexpr std::size_t XmlUtil_MaxTextBytes = 100000000;

/// The value of attribute `name`, or the empty string when it is absent.
CORVANE_API std::string XmlUtil_ExtractAttribute(xmlNode* node, const std::string& name);

/// The text of an element: the content of its last child that carries content (text, CDATA section,
/// comment or processing instruction), neither concatenated nor trimmed; empty when there is none.
CORVANE_API std::string XmlUtil_GetContent(xmlNode* node);

/// The text of the direct child named `tag`; empty when there is none. A second child of that name
/// throws CorvaneException unless the text found so far is empty, in which case the later one wins.
CORVANE_API std::string XmlUtil_GetContentForChildByTag(xmlNode* node, const std::string& tag);

/// The one direct child named `tag`, or null when there is none. Throws CorvaneException when there
/// are two or more.
CORVANE_API xmlNode* XmlUtil_FindChildNode(xmlNode* node, const std::string& tag);

} // namespace Corvane::AutoCli
