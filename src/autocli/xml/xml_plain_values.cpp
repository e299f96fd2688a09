// The value grammar on a plain document's events: which element holds which value, list definitions,
// scalar texts.
#include "autocli/xml/xml_plain_values.h"

#include "autocli/xml/xml_value_grammar.h"

#include <corvane/xmlutil.h>

#include <cstdint>
#include <cstring>
#include <utility>

namespace Corvane::AutoCli {

using MetaObj::MetaBool;
using MetaObj::MetaInt;
using MetaObj::MetaList;
using MetaObj::MetaObject;
using MetaObj::MetaString;
using MetaObj::MetaStruct;
using MetaObj::MetaType;

namespace {

const std::string kNoDocumentation;

bool Is(const xmlChar* name, const char* expected) {
    return std::strcmp(reinterpret_cast<const char*>(name), expected) == 0;
}

// A copy of a value that shares nothing mutable with it: records and lists are made anew (and a list's
// definition locked again by MetaList::New), the immutable scalars are shared.
std::shared_ptr<MetaObject> Copy(const std::shared_ptr<MetaObject>& value);

std::shared_ptr<MetaStruct> CopyRecord(const MetaStruct& record) {
    std::shared_ptr<MetaStruct> copy = MetaStruct::NewLike(record.GetTypeName(), record);
    for (const auto& [name, field] : record.GetFields()) {
        copy->SetField(name, Copy(field.value), kNoDocumentation);
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

// The value of the first attribute called `name` ("" when there is none), as the tree would give it.
// False when the tree could hold something else: a value with '&' in it is parsed again there.
bool Attribute(int count, const xmlChar** attributes, const char* name, std::string& value) {
    for (int i = 0; i < count; ++i, attributes += 5) {
        if (!Is(attributes[0], name)) {
            continue;
        }
        const auto* begin = reinterpret_cast<const char*>(attributes[3]);
        const auto length = static_cast<std::size_t>(attributes[4] - attributes[3]);
        if (std::memchr(begin, '&', length) != nullptr) {
            return false;
        }
        value.assign(begin, length);
        return true;
    }
    value.clear();
    return true;
}

} // namespace

PlainValueBuilder::Tag PlainValueBuilder::Classify(const xmlChar* name) {
    // One comparison at most per element: the first letter tells which name it can be.
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

bool PlainValueBuilder::IsScalarOnTop() const {
    const Kind kind = frames.back().kind;
    return kind == Kind::Int || kind == Kind::Bool || kind == Kind::String;
}

bool PlainValueBuilder::BeginValue(Tag tag, int attributeCount, const xmlChar** attributes) {
    if (valueDepth >= XmlUtil_MaxValueDepth) {
        return false;
    }
    switch (tag) {
    case Tag::List: {
        Frame frame(Kind::List);
        if (!Attribute(attributeCount, attributes, "type", scratch) ||
            !XmlGrammar::ParseListKind(scratch, frame.itemKind, frame.compound)) {
            return false;
        }
        if (!frame.compound) {
            frame.list = MetaList::New(frame.itemKind);
        }
        frames.push_back(std::move(frame));
        break;
    }
    case Tag::Structure: {
        if (!Attribute(attributeCount, attributes, "typeName", scratch)) {
            return false;
        }
        Frame frame(Kind::Record);
        // The items of a list of structures mostly have the fields of its first one, which is the
        // list's definition: they share its names.
        const Frame& holder = frames.back();
        if (holder.kind == Kind::List && holder.list && holder.list->GetListStructure()) {
            frame.record = MetaStruct::NewLike(scratch, *holder.list->GetListStructure());
        } else {
            frame.record = MetaStruct::New(scratch);
        }
        frames.push_back(std::move(frame));
        break;
    }
    case Tag::String:
        frames.emplace_back(Kind::String);
        break;
    case Tag::Int:
        frames.emplace_back(Kind::Int);
        break;
    case Tag::Bool:
        frames.emplace_back(Kind::Bool);
        break;
    default:
        return false;
    }
    ++valueDepth;
    return true;
}

bool PlainValueBuilder::StartElement(const xmlChar* name, int attributeCount, const xmlChar** attributes) {
    if (skipDepth > 0) {
        ++skipDepth;
        return true;
    }
    if (frames.empty()) {
        frames.emplace_back(Kind::Root);
        return true;
    }
    Frame& parent = frames.back();
    const Tag tag = Classify(name);
    switch (parent.kind) {
    case Kind::Root:
    case Kind::Field:
        // The first child that is neither text nor comment is the value; later ones are passed over.
        if (parent.taken || tag == Tag::Passed) {
            break;
        }
        parent.taken = true;
        return BeginValue(tag, attributeCount, attributes);
    case Kind::List:
        if (tag == Tag::Passed) {
            break;
        }
        return BeginValue(tag, attributeCount, attributes);
    case Kind::Record:
        if (tag != Tag::Field) {
            break;
        }
        if (!Attribute(attributeCount, attributes, "name", scratch) || scratch.empty()) {
            return false;
        }
        frames.emplace_back(Kind::Field);
        frames.back().text = scratch;
        return true;
    default:
        // An element inside a scalar ends its text run; only the scalar's own text counts.
        parent.joining = false;
        break;
    }
    skipDepth = 1;
    return true;
}

bool PlainValueBuilder::EndElement() {
    if (skipDepth > 0) {
        --skipDepth;
        return true;
    }
    Frame frame = std::move(frames.back());
    frames.pop_back();
    std::shared_ptr<MetaObject> value;
    switch (frame.kind) {
    case Kind::Root:
    case Kind::Field:
        return true;
    case Kind::Record:
        value = std::move(frame.record);
        break;
    case Kind::List:
        if (!frame.list) {
            // A list of structures without elements has no definition; one of lists cannot be made.
            if (frame.itemKind != MetaType::Struct) {
                return false;
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
            value = recent.Int(static_cast<long>(number));
        } else {
            return false;
        }
        break;
    }
    case Kind::Bool:
        value = MetaBool::New(!(frame.text == "false" || frame.text == "f" || frame.text == "0"));
        break;
    case Kind::String:
        value = recent.String(std::move(frame.text));
        break;
    }
    --valueDepth;
    return Deliver(value);
}

bool PlainValueBuilder::Deliver(const std::shared_ptr<MetaObject>& value) {
    Frame& holder = frames.back();
    switch (holder.kind) {
    case Kind::Root:
        result = value;
        break;
    case Kind::Field:
        frames[frames.size() - 2].record->SetField(holder.text, value, kNoDocumentation);
        break;
    case Kind::List:
        if (!holder.list) {
            // The first element of a list of structures is also its definition, a record of its own.
            if (holder.itemKind != MetaType::Struct || value->GetType() != MetaType::Struct) {
                return false;
            }
            holder.list = MetaList::New(MetaType::Struct, CopyRecord(static_cast<const MetaStruct&>(*value)));
        }
        holder.list->Add(value);
        break;
    default:
        break;
    }
    return true;
}

void PlainValueBuilder::Characters(const char* text, std::size_t length) {
    if (skipDepth > 0 || frames.empty() || !IsScalarOnTop()) {
        return;
    }
    Frame& frame = frames.back();
    if (frame.joining) {
        frame.text.append(text, length);
    } else {
        frame.text.assign(text, length);
        frame.joining = true;
    }
}

void PlainValueBuilder::Comment(const char* text) {
    if (skipDepth > 0 || frames.empty() || !IsScalarOnTop()) {
        return;
    }
    // A comment is content too: the last content child gives a scalar's text.
    Frame& frame = frames.back();
    frame.text.assign(text);
    frame.joining = false;
}

} // namespace Corvane::AutoCli
