// The event reader of plain output documents: the value grammar applied to the parser's events as they
// come, with no document tree, and every case it does not settle left to the tree reader.
#include "xml_plain_document.h"

#include "xml_document.h"
#include "xml_value_grammar.h"

#include <corvane/xmlutil.h>

#include <libxml/SAX2.h>
#include <libxml/parser.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <utility>
#include <vector>

namespace Corvane::AutoCli {

using MetaObj::MetaBool;
using MetaObj::MetaInt;
using MetaObj::MetaList;
using MetaObj::MetaObject;
using MetaObj::MetaString;
using MetaObj::MetaStruct;
using MetaObj::MetaType;

namespace {

// Nothing of the document is kept between chunks but the open elements, so the chunk size only trades
// the parser's per-chunk work against the size of its input buffer.
constexpr std::size_t kChunkBytes = 4096;

const std::string kNoDocumentation;

bool Is(const xmlChar* name, const char* expected) {
    return std::strcmp(reinterpret_cast<const char*>(name), expected) == 0;
}

// The element names the grammar knows; "text" and "comment" are passed over where a value may stand.
enum class Tag : unsigned char { Other, Field, List, Structure, String, Int, Bool, Passed };

// One comparison at most per element: the first letter tells which name it can be.
Tag Classify(const xmlChar* name) {
    switch (name[0]) {
    case 'f':
        return Is(name, "field") ? Tag::Field : Tag::Other;
    case 'l':
        return Is(name, "list") ? Tag::List : Tag::Other;
    case 's':
        return Is(name, "string") ? Tag::String : Is(name, "structure") ? Tag::Structure : Tag::Other;
    case 'i':
        return Is(name, "int") ? Tag::Int : Tag::Other;
    case 'b':
        return Is(name, "bool") ? Tag::Bool : Tag::Other;
    case 't':
        return Is(name, "text") ? Tag::Passed : Tag::Other;
    case 'c':
        return Is(name, "comment") ? Tag::Passed : Tag::Other;
    default:
        return Tag::Other;
    }
}

// A copy of a value that shares nothing mutable with it: records and lists are made anew (and a list's
// definition locked again by MetaList::New), the immutable scalars are shared.
std::shared_ptr<MetaObject> Copy(const std::shared_ptr<MetaObject>& value);

std::shared_ptr<MetaStruct> CopyRecord(const MetaStruct& record) {
    std::shared_ptr<MetaStruct> copy = MetaStruct::New(record.GetTypeName());
    for (const std::string& name : record.GetFieldNames()) {
        copy->SetField(name, Copy(record.GetField(name)), kNoDocumentation);
    }
    return copy;
}

std::shared_ptr<MetaObject> Copy(const std::shared_ptr<MetaObject>& value) {
    if (value->GetType() == MetaType::Struct) {
        return CopyRecord(static_cast<const MetaStruct&>(*value));
    }
    if (value->GetType() != MetaType::List) {
        return value;
    }
    const auto& list = static_cast<const MetaList&>(*value);
    std::shared_ptr<MetaList> copy;
    if (list.GetListType() != MetaType::Struct) {
        copy = MetaList::New(list.GetListType());
    } else {
        copy = MetaList::New(MetaType::Struct, list.GetListStructure() ? CopyRecord(*list.GetListStructure())
                                                                       : std::shared_ptr<MetaStruct>());
    }
    copy->Reserve(list.GetCount());
    for (const auto& item : list.GetObjects()) {
        copy->Add(Copy(item));
    }
    return copy;
}

// What an open element is to the grammar.
enum class Kind : unsigned char { Root, Record, Field, List, Int, Bool, String };

struct Frame {
    explicit Frame(Kind kind) : kind(kind) {}
    Kind kind;
    bool taken = false;   // Root, Field: the first value child has begun
    bool joining = false; // Int, Bool, String: the last child is text that later text joins
    bool compound = false;
    MetaType itemKind = MetaType::String;
    std::string text; // Int, Bool, String: the last content child's text; Field: the field's name
    std::shared_ptr<MetaStruct> record;
    std::shared_ptr<MetaList> list;
};

class PlainReader {
public:
    explicit PlainReader(const std::string& text) : text_(text) {}
    ~PlainReader() {
        if (parser_ != nullptr) {
            if (parser_->myDoc != nullptr) {
                xmlFreeDoc(parser_->myDoc);
            }
            xmlFreeParserCtxt(parser_);
        }
    }
    PlainReader(const PlainReader&) = delete;
    PlainReader& operator=(const PlainReader&) = delete;

    bool Read(std::shared_ptr<MetaObject>& value) {
        xmlSAXHandler handler;
        xmlSAXVersion(&handler, 2);
        handler.startElementNs = &PlainReader::OnStartElement;
        handler.endElementNs = &PlainReader::OnEndElement;
        handler.characters = &PlainReader::OnCharacters;
        handler.ignorableWhitespace = &PlainReader::OnCharacters;
        handler.comment = &PlainReader::OnComment;
        // Everything these announce is left to the tree reader.
        handler.internalSubset = &PlainReader::OnDeclaration;
        handler.externalSubset = &PlainReader::OnDeclaration;
        handler.reference = &PlainReader::OnReference;
        handler.processingInstruction = &PlainReader::OnInstruction;
        handler.cdataBlock = &PlainReader::OnCharacterData;
        // The first bytes let libxml2 find the encoding, as the tree reader does.
        std::size_t fed = std::min<std::size_t>(4, text_.size());
        parser_ = xmlCreatePushParserCtxt(&handler, nullptr, text_.data(), static_cast<int>(fed), "STDOUT");
        if (parser_ == nullptr) {
            throw std::bad_alloc();
        }
        xmlCtxtUseOptions(parser_, kXmlParseOptions);
        parser_->_private = this;
        bool terminated = false;
        while (!terminated && !abandoned_ && parser_->wellFormed != 0) {
            const std::size_t length = std::min(kChunkBytes, text_.size() - fed);
            terminated = fed + length == text_.size();
            xmlParseChunk(parser_, text_.data() + fed, static_cast<int>(length), terminated ? 1 : 0);
            fed += length;
            if (failure_) {
                std::rethrow_exception(failure_);
            }
        }
        if (abandoned_ || parser_->wellFormed == 0 || parser_->nsWellFormed == 0) {
            return false;
        }
        value = std::move(result_);
        return true;
    }

private:
    static PlainReader* Of(void* context) {
        auto* parser = static_cast<xmlParserCtxt*>(context);
        auto* reader = static_cast<PlainReader*>(parser->_private);
        // Another context is parsing an entity's content: the tree reader handles entities.
        if (reader == nullptr || reader->parser_ != parser) {
            if (reader != nullptr) {
                reader->Abandon();
            }
            xmlStopParser(parser);
            return nullptr;
        }
        return reader->abandoned_ ? nullptr : reader;
    }

    void Abandon() {
        if (!abandoned_) {
            abandoned_ = true;
            xmlStopParser(parser_);
        }
    }

    // Runs a handler's work; a grammar error leaves the document to the tree reader, anything else is
    // raised again once libxml2 has returned.
    template <class Work> void Guard(Work work) {
        try {
            work();
        } catch (const CorvaneException&) {
            Abandon();
        } catch (...) {
            failure_ = std::current_exception();
            Abandon();
        }
    }

    // The value of the first attribute called `name` ("" when there is none), as the tree would give it.
    // False when the tree could hold something else: an unbound prefix gives the attribute another name
    // there, and a value with '&' in it is parsed again.
    static bool Attribute(int count, const xmlChar** attributes, const char* name, std::string& value) {
        for (int i = 0; i < count; ++i, attributes += 5) {
            if (!Is(attributes[0], name)) {
                continue;
            }
            const auto* begin = reinterpret_cast<const char*>(attributes[3]);
            const auto length = static_cast<std::size_t>(attributes[4] - attributes[3]);
            if ((attributes[1] != nullptr && attributes[2] == nullptr) ||
                std::memchr(begin, '&', length) != nullptr) {
                return false;
            }
            value.assign(begin, length);
            return true;
        }
        value.clear();
        return true;
    }

    void BeginValue(Tag tag, int count, const xmlChar** attributes) {
        if (valueDepth_ >= XmlUtil_MaxValueDepth) {
            Abandon();
            return;
        }
        switch (tag) {
        case Tag::List: {
            Frame frame(Kind::List);
            if (!Attribute(count, attributes, "type", scratch_) ||
                !XmlGrammar::ParseListKind(scratch_, frame.itemKind, frame.compound)) {
                Abandon();
                return;
            }
            if (!frame.compound) {
                frame.list = MetaList::New(frame.itemKind);
            }
            frames_.push_back(std::move(frame));
            break;
        }
        case Tag::Structure: {
            if (!Attribute(count, attributes, "typeName", scratch_)) {
                Abandon();
                return;
            }
            Frame frame(Kind::Record);
            frame.record = MetaStruct::New(scratch_);
            frames_.push_back(std::move(frame));
            break;
        }
        case Tag::String:
            frames_.emplace_back(Kind::String);
            break;
        case Tag::Int:
            frames_.emplace_back(Kind::Int);
            break;
        case Tag::Bool:
            frames_.emplace_back(Kind::Bool);
            break;
        default:
            Abandon();
            return;
        }
        ++valueDepth_;
    }

    // Hands a finished value to the element that holds it, the frame now on top.
    void Deliver(const std::shared_ptr<MetaObject>& value) {
        Frame& holder = frames_.back();
        switch (holder.kind) {
        case Kind::Root:
            result_ = value;
            break;
        case Kind::Field:
            frames_[frames_.size() - 2].record->SetField(holder.text, value, kNoDocumentation);
            break;
        case Kind::List:
            if (!holder.list) {
                // The first element of a list of structures is also its definition, a record of its own.
                if (holder.itemKind != MetaType::Struct || value->GetType() != MetaType::Struct) {
                    Abandon();
                    return;
                }
                holder.list =
                    MetaList::New(MetaType::Struct, CopyRecord(static_cast<const MetaStruct&>(*value)));
            }
            holder.list->Add(value);
            break;
        default:
            break;
        }
    }

    void End() {
        Frame frame = std::move(frames_.back());
        frames_.pop_back();
        std::shared_ptr<MetaObject> value;
        switch (frame.kind) {
        case Kind::Root:
        case Kind::Field:
            return;
        case Kind::Record:
            value = std::move(frame.record);
            break;
        case Kind::List:
            if (!frame.list) {
                if (frame.itemKind != MetaType::Struct) {
                    Abandon();
                    return;
                }
                frame.list = MetaList::New(MetaType::Struct, std::shared_ptr<MetaStruct>());
            }
            value = std::move(frame.list);
            break;
        case Kind::Int: {
            std::int64_t number = 0;
            if (frame.text.empty()) {
                value = MetaInt::New();
            } else if (XmlGrammar::ReadInt64(frame.text, number)) {
                value = MetaInt::New(static_cast<long>(number));
            } else {
                Abandon();
                return;
            }
            break;
        }
        case Kind::Bool:
            value = MetaBool::New(!(frame.text == "false" || frame.text == "f" || frame.text == "0"));
            break;
        case Kind::String:
            value = MetaString::New(std::move(frame.text));
            break;
        }
        --valueDepth_;
        Deliver(value);
    }

    void Start(const xmlChar* name, int count, const xmlChar** attributes) {
        if (frames_.empty()) {
            frames_.emplace_back(Kind::Root);
            return;
        }
        Frame& parent = frames_.back();
        const Tag tag = Classify(name);
        switch (parent.kind) {
        case Kind::Root:
        case Kind::Field:
            if (parent.taken || tag == Tag::Passed) {
                break;
            }
            parent.taken = true;
            BeginValue(tag, count, attributes);
            return;
        case Kind::List:
            if (tag == Tag::Passed) {
                break;
            }
            BeginValue(tag, count, attributes);
            return;
        case Kind::Record:
            if (tag != Tag::Field) {
                break;
            }
            if (!Attribute(count, attributes, "name", scratch_) || scratch_.empty()) {
                Abandon();
                return;
            }
            frames_.emplace_back(Kind::Field);
            frames_.back().text = scratch_;
            return;
        default:
            parent.joining = false;
            break;
        }
        skipDepth_ = 1;
    }

    static void OnStartElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                               const xmlChar* uri, int, const xmlChar**, int attributeCount, int,
                               const xmlChar** attributes) {
        PlainReader* reader = Of(context);
        if (reader == nullptr) {
            return;
        }
        reader->run_ = 0;
        // An unbound prefix stays part of the element's name in the tree.
        if (prefix != nullptr && uri == nullptr) {
            reader->Abandon();
        } else if (reader->skipDepth_ > 0) {
            ++reader->skipDepth_;
        } else {
            reader->Guard([&] { reader->Start(localName, attributeCount, attributes); });
        }
    }

    static void OnEndElement(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
        PlainReader* reader = Of(context);
        if (reader == nullptr) {
            return;
        }
        reader->run_ = 0;
        if (reader->skipDepth_ > 0) {
            --reader->skipDepth_;
        } else if (!reader->frames_.empty()) {
            reader->Guard([&] { reader->End(); });
        }
    }

    static void OnCharacters(void* context, const xmlChar* text, int length) {
        PlainReader* reader = Of(context);
        if (reader == nullptr) {
            return;
        }
        // The tree reader refuses any run of text past the bound, wherever it stands.
        reader->run_ += static_cast<std::size_t>(length);
        if (reader->run_ > XmlUtil_MaxTextBytes) {
            reader->Abandon();
            return;
        }
        if (reader->skipDepth_ > 0 || reader->frames_.empty()) {
            return;
        }
        Frame& frame = reader->frames_.back();
        if (frame.kind == Kind::Int || frame.kind == Kind::Bool || frame.kind == Kind::String) {
            const auto* begin = reinterpret_cast<const char*>(text);
            reader->Guard([&] {
                if (frame.joining) {
                    frame.text.append(begin, static_cast<std::size_t>(length));
                } else {
                    frame.text.assign(begin, static_cast<std::size_t>(length));
                    frame.joining = true;
                }
            });
        }
    }

    static void OnComment(void* context, const xmlChar* text) {
        PlainReader* reader = Of(context);
        if (reader == nullptr) {
            return;
        }
        reader->run_ = 0;
        if (reader->skipDepth_ > 0 || reader->frames_.empty()) {
            return;
        }
        // A comment is content too: the last content child gives a scalar's text.
        Frame& frame = reader->frames_.back();
        if (frame.kind == Kind::Int || frame.kind == Kind::Bool || frame.kind == Kind::String) {
            reader->Guard([&] { frame.text.assign(reinterpret_cast<const char*>(text)); });
            frame.joining = false;
        }
    }

    static void OnDeclaration(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
        if (PlainReader* reader = Of(context)) {
            reader->Abandon();
        }
    }
    static void OnReference(void* context, const xmlChar*) {
        if (PlainReader* reader = Of(context)) {
            reader->Abandon();
        }
    }
    static void OnInstruction(void* context, const xmlChar*, const xmlChar*) {
        if (PlainReader* reader = Of(context)) {
            reader->Abandon();
        }
    }
    static void OnCharacterData(void* context, const xmlChar*, int) {
        if (PlainReader* reader = Of(context)) {
            reader->Abandon();
        }
    }

    const std::string& text_;
    xmlParserCtxt* parser_ = nullptr;
    bool abandoned_ = false;
    std::exception_ptr failure_;
    std::vector<Frame> frames_;
    // Open elements below one the grammar passes over, that one included.
    int skipDepth_ = 0;
    int valueDepth_ = 0;
    // The length of the text run being joined in the innermost open element.
    std::size_t run_ = 0;
    std::string scratch_;
    std::shared_ptr<MetaObject> result_;
};

} // namespace

bool ReadPlainOutputDocument(const std::string& text, std::shared_ptr<MetaObject>& value) {
    PlainReader reader(text);
    return reader.Read(value);
}

} // namespace Corvane::AutoCli
