// Building the value of a plain output document from its elements, text and comments as they come.
#pragma once

#include "autocli/xml/recent_values.h"

#include <corvane/metaobj.h>

#include <libxml/xmlstring.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace Corvane::AutoCli {

// The value grammar applied to a document's elements, text and comments in the order the parser reports
// them, giving what the tree reader gives for the same document. Every step returns false (or throws
// CorvaneException) where the tree reader could give anything else, a message included; the builder is
// not used again after that. Element names are local names, attributes come as the parser hands them
// over (five pointers each); the caller has refused unbound prefixes.
class PlainValueBuilder {
public:
    bool StartElement(const xmlChar* name, int attributeCount, const xmlChar** attributes);
    bool EndElement();
    // Text that directly follows other text of the same element joins it.
    void Characters(const char* text, std::size_t length);
    void Comment(const char* text);
    // The value of the root element's first value child; null when it has none.
    std::shared_ptr<MetaObj::MetaObject> TakeResult() { return std::move(result); }

private:
    // What an open element is to the grammar.
    enum class Kind : unsigned char { Root, Record, Field, List, Int, Bool, String };
    // The element names the grammar knows; "text" and "comment" are passed over where a value may stand.
    enum class Tag : unsigned char { Other, Field, List, Structure, String, Int, Bool, Passed };

    struct Frame {
        explicit Frame(Kind kind) : kind(kind) {}
        Kind kind;
        bool taken = false;   // Root, Field: the first value child has begun
        bool joining = false; // Int, Bool, String: the last child is text that later text joins
        bool compound = false;
        MetaObj::MetaType itemKind = MetaObj::MetaType::String;
        std::string text; // Int, Bool, String: the last content child's text; Field: the field's name
        std::shared_ptr<MetaObj::MetaStruct> record;
        std::shared_ptr<MetaObj::MetaList> list;
    };

    static Tag Classify(const xmlChar* name);
    bool BeginValue(Tag tag, int attributeCount, const xmlChar** attributes);
    bool Deliver(const std::shared_ptr<MetaObj::MetaObject>& value);
    bool IsScalarOnTop() const;

    std::vector<Frame> frames;
    // Open elements below one the grammar passes over, that one included.
    int skipDepth = 0;
    int valueDepth = 0;
    std::string scratch;
    RecentValues recent;
    std::shared_ptr<MetaObj::MetaObject> result;
};

} // namespace Corvane::AutoCli
