// MetaStruct: named records, structure definitions, locking and structural comparison.
#include <corvane/metaobj.h>

#include "metaobj/value_pool.h"

#include <algorithm>
#include <new>
#include <utility>

namespace Corvane::MetaObj {

namespace {

bool IsScalar(MetaType type) {
    return type == MetaType::Int || type == MetaType::Bool || type == MetaType::String;
}

using Value = std::shared_ptr<MetaObject>;

// `count` empty value slots.
Value* NewSlots(std::size_t count) {
    if (count == 0) {
        return nullptr;
    }
    auto* slots = static_cast<Value*>(Detail::PoolAllocate(count * sizeof(Value)));
    for (std::size_t i = 0; i < count; ++i) {
        new (slots + i) Value();
    }
    return slots;
}

void FreeSlots(Value* slots, std::size_t count) noexcept {
    if (slots == nullptr) {
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        slots[i].~Value();
    }
    Detail::PoolDeallocate(slots, count * sizeof(Value));
}

} // namespace

const std::string MetaStruct::_docEmpty __attribute__((init_priority(101)));
const std::string MetaStruct::_docMissingStaticString __attribute__((init_priority(101))) =
    "Documentation missing";

bool IsValidStructName(const std::string& name) {
    // "[a-zA-Z0-9]+" in full, checked by hand: every record of a large output document is created
    // through this check, and a set of characters needs no regular expression.
    if (name.empty()) {
        return false;
    }
    for (const char c : name) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

MetaStruct::MetaStruct(std::string typeName, FactoryFlag) : typeName(std::move(typeName)) {}

MetaStruct::MetaStruct(const std::shared_ptr<MetaStruct>& definition, FactoryFlag)
    : names(definition->names), structureDefinition(definition), typeName(definition->typeName) {
    // The definition's names are the only ones such a record can have: shared from the start.
    values = NewSlots(Slots());
}

MetaStruct::~MetaStruct() {
    FreeSlots(values, Slots());
}

std::shared_ptr<MetaStruct> MetaStruct::New(const std::string& typeName) {
    if (!IsValidStructName(typeName)) {
        throw CorvaneException("Invalid name specified for MetaStruct: " + typeName);
    }
    return Detail::MakePooled<MetaStruct>(typeName, FactoryFlag());
}

std::shared_ptr<MetaStruct> MetaStruct::New(std::string&& typeName) {
    if (!IsValidStructName(typeName)) {
        throw CorvaneException("Invalid name specified for MetaStruct: " + typeName);
    }
    return Detail::MakePooled<MetaStruct>(std::move(typeName), FactoryFlag());
}

std::shared_ptr<MetaStruct> MetaStruct::New(const char* typeName) {
    return New(std::string(typeName ? typeName : ""));
}

std::shared_ptr<MetaStruct> MetaStruct::New(const std::shared_ptr<MetaStruct>& definition) {
    if (!definition) {
        throw CorvaneException("Invalid NULL structure definition specified for MetaStruct");
    }
    auto record = Detail::MakePooled<MetaStruct>(definition, FactoryFlag());
    // Records made from the definition rely on its field set staying as it is now.
    definition->LockStructure();
    return record;
}

std::shared_ptr<MetaStruct> MetaStruct::NewLike(const std::string& typeName, const MetaStruct& model) {
    std::shared_ptr<MetaStruct> record = New(typeName);
    if (model.names) {
        record->values = NewSlots(model.names->size());
        record->names = model.names;
    }
    return record;
}

std::size_t MetaStruct::Find(const std::string& name) const {
    if (!names) {
        return 0;
    }
    const auto it = std::lower_bound(names->begin(), names->end(), name);
    return it != names->end() && *it == name ? static_cast<std::size_t>(it - names->begin()) : names->size();
}

const std::shared_ptr<MetaObject>* MetaStruct::FindValue(const std::string& name) const {
    const std::size_t slot = Find(name);
    return slot < Slots() && values[slot] ? &values[slot] : nullptr;
}

const std::string& MetaStruct::DocumentationAt(std::size_t slot) const {
    return documentation ? (*documentation)[slot] : _docEmpty;
}

MetaStruct::FieldIterator::reference MetaStruct::FieldIterator::operator*() const {
    return reference((*record->names)[index], Field{record->values[index], record->DocumentationAt(index)});
}

void MetaStruct::FieldIterator::Skip() {
    while (index < record->Slots() && !record->values[index]) {
        ++index;
    }
}

MetaStruct::FieldIterator MetaStruct::FieldRange::end() const {
    return FieldIterator(record, record->Slots());
}

MetaStruct::FieldIterator MetaStruct::FieldRange::find(const std::string& name) const {
    const std::size_t slot = record->Find(name);
    return slot < record->Slots() && record->values[slot] ? FieldIterator(record, slot) : end();
}

std::vector<std::string> MetaStruct::GetFieldNames() const {
    std::vector<std::string> result;
    result.reserve(count);
    for (std::size_t slot = 0; slot < Slots(); ++slot) {
        if (values[slot]) {
            result.push_back((*names)[slot]);
        }
    }
    return result;
}

bool MetaStruct::HasField(const std::string& name) const {
    return FindValue(name) != nullptr;
}

std::shared_ptr<MetaObject> MetaStruct::GetField(const std::string& name) const {
    const std::shared_ptr<MetaObject>* value = FindValue(name);
    return value ? *value : std::shared_ptr<MetaObject>();
}

MetaType MetaStruct::GetFieldType(const std::string& name) const {
    const std::shared_ptr<MetaObject>* value = FindValue(name);
    if (value == nullptr) {
        // Long-standing contract of this call: callers catch a plain int, not CorvaneException.
        throw 1;
    }
    return (*value)->GetType();
}

const std::string& MetaStruct::GetFieldDocumentation(const std::string& name) const {
    const std::size_t slot = Find(name);
    if (slot >= Slots() || !values[slot]) {
        throw CorvaneException("Field " + name + " is not present in the structure " + typeName);
    }
    const std::string& text = DocumentationAt(slot);
    return text.empty() ? _docMissingStaticString : text;
}

bool MetaStruct::MatchesStructureDefinition() const {
    if (!structureDefinition) {
        return true;
    }
    return IsSameStructure(structureDefinition, nullptr);
}

void MetaStruct::SetField(const std::string& name, const std::shared_ptr<MetaObject>& value,
                          const std::string& documentation) {
    if (!value) {
        throw CorvaneException("Invalid NULL value was assigned to the field " + name + " in the structure " +
                               typeName);
    }
    const std::size_t size = Slots();
    std::size_t slot = size;
    if (names) {
        slot =
            static_cast<std::size_t>(std::lower_bound(names->begin(), names->end(), name) - names->begin());
    }
    const bool named = slot < size && (*names)[slot] == name;
    if (named && values[slot]) {
        // An existing field passed the definition check when it was inserted, and a definition is
        // locked for as long as records use it, so replacing needs no further check.
        // Documentation first: it is the only step that can throw (std::string keeps its old
        // content then), so a failure leaves the field as it was.
        if (this->documentation) {
            (*this->documentation)[slot] = documentation;
        } else if (!documentation.empty()) {
            auto texts = std::make_unique<std::vector<std::string>>(size);
            (*texts)[slot] = documentation;
            this->documentation = std::move(texts);
        }
        values[slot] = value;
        return;
    }
    if (locked) {
        throw CorvaneException("Unable to set new field " + name +
                               " on structure. Structure has been locked");
    }
    if (structureDefinition && !structureDefinition->HasField(name)) {
        throw CorvaneException("Unable to set new field " + name +
                               " on structure.  The field does not match the Structure definition for this "
                               "MetaStruct.");
    }
    // Everything that can fail comes first; the record changes only once nothing can.
    std::string text = documentation;
    if (!this->documentation && !text.empty()) {
        this->documentation = std::make_unique<std::vector<std::string>>(size);
    }
    if (!named) {
        // A new name: the names are copied first unless this record alone holds them.
        std::shared_ptr<Names> grown = names && names.use_count() == 1 ? names : std::make_shared<Names>();
        grown->reserve(size + 1);
        if (grown != names && names) {
            grown->assign(names->begin(), names->end());
        }
        std::string copy = name;
        if (this->documentation) {
            this->documentation->reserve(size + 1);
        }
        Value* moved = NewSlots(size + 1);
        for (std::size_t i = 0; i < size; ++i) {
            moved[i < slot ? i : i + 1] = std::move(values[i]);
        }
        moved[slot] = value;
        grown->insert(grown->begin() + static_cast<std::ptrdiff_t>(slot), std::move(copy));
        FreeSlots(values, size);
        values = moved;
        names = std::move(grown);
        if (this->documentation) {
            this->documentation->insert(this->documentation->begin() + static_cast<std::ptrdiff_t>(slot),
                                        std::move(text));
        }
    } else {
        values[slot] = value;
        if (this->documentation) {
            (*this->documentation)[slot] = std::move(text);
        }
    }
    ++count;
}

void MetaStruct::SetField(const char* name, const std::shared_ptr<MetaObject>& value) {
    SetField(std::string(name), value, _docEmpty);
}

void MetaStruct::SetField(const std::string& name, const std::shared_ptr<MetaStruct>& value) {
    SetField(name, std::shared_ptr<MetaObject>(value), _docEmpty);
}
void MetaStruct::SetField(const char* name, const std::shared_ptr<MetaStruct>& value) {
    SetField(std::string(name), std::shared_ptr<MetaObject>(value), _docEmpty);
}
void MetaStruct::SetField(const std::string& name, const std::shared_ptr<MetaList>& value) {
    SetField(name, std::shared_ptr<MetaObject>(value), _docEmpty);
}
void MetaStruct::SetField(const char* name, const std::shared_ptr<MetaList>& value) {
    SetField(std::string(name), std::shared_ptr<MetaObject>(value), _docEmpty);
}
void MetaStruct::SetField(const std::string& name, const std::shared_ptr<MetaInt>& value) {
    SetField(name, std::shared_ptr<MetaObject>(value), _docEmpty);
}
void MetaStruct::SetField(const char* name, const std::shared_ptr<MetaInt>& value) {
    SetField(std::string(name), std::shared_ptr<MetaObject>(value), _docEmpty);
}
void MetaStruct::SetField(const std::string& name, const std::shared_ptr<MetaBool>& value) {
    SetField(name, std::shared_ptr<MetaObject>(value), _docEmpty);
}
void MetaStruct::SetField(const char* name, const std::shared_ptr<MetaBool>& value) {
    SetField(std::string(name), std::shared_ptr<MetaObject>(value), _docEmpty);
}
void MetaStruct::SetField(const std::string& name, const std::shared_ptr<MetaString>& value) {
    SetField(name, std::shared_ptr<MetaObject>(value), _docEmpty);
}
void MetaStruct::SetField(const char* name, const std::shared_ptr<MetaString>& value) {
    SetField(std::string(name), std::shared_ptr<MetaObject>(value), _docEmpty);
}

void MetaStruct::SetField(const std::string& name, long value) {
    SetField(name, std::shared_ptr<MetaObject>(MetaInt::New(value)), _docEmpty);
}
void MetaStruct::SetField(const char* name, long value) {
    SetField(std::string(name), std::shared_ptr<MetaObject>(MetaInt::New(value)), _docEmpty);
}
void MetaStruct::SetField(const std::string& name, int value) {
    SetField(name, std::shared_ptr<MetaObject>(MetaInt::New(value)), _docEmpty);
}
void MetaStruct::SetField(const char* name, int value) {
    SetField(std::string(name), std::shared_ptr<MetaObject>(MetaInt::New(value)), _docEmpty);
}
void MetaStruct::SetField(const std::string& name, bool value) {
    SetField(name, std::shared_ptr<MetaObject>(MetaBool::New(value)), _docEmpty);
}
void MetaStruct::SetField(const char* name, bool value) {
    SetField(std::string(name), std::shared_ptr<MetaObject>(MetaBool::New(value)), _docEmpty);
}

void MetaStruct::SetField(const std::string& name, const std::string& value) {
    SetField(name, std::shared_ptr<MetaObject>(MetaString::New(value)), _docEmpty);
}
void MetaStruct::SetField(const char* name, const std::string& value) {
    SetField(std::string(name), std::shared_ptr<MetaObject>(MetaString::New(value)), _docEmpty);
}
void MetaStruct::SetField(const std::string& name, std::string&& value) {
    SetField(name, std::shared_ptr<MetaObject>(MetaString::New(std::move(value))), _docEmpty);
}
void MetaStruct::SetField(const char* name, std::string&& value) {
    SetField(std::string(name), std::shared_ptr<MetaObject>(MetaString::New(std::move(value))), _docEmpty);
}
void MetaStruct::SetField(const std::string& name, const char* value) {
    SetField(name, std::shared_ptr<MetaObject>(MetaString::New(value)), _docEmpty);
}
void MetaStruct::SetField(const char* name, const char* value) {
    SetField(std::string(name), std::shared_ptr<MetaObject>(MetaString::New(value)), _docEmpty);
}

namespace {

template <typename Values> std::shared_ptr<MetaObject> MakeList(MetaType itemType, Values&& values) {
    auto list = MetaList::New(itemType);
    list->AddAll(std::forward<Values>(values));
    return list;
}

} // namespace

void MetaStruct::SetField(const std::string& name, const std::vector<std::string>& value) {
    SetField(name, MakeList(MetaType::String, value), _docEmpty);
}
void MetaStruct::SetField(const char* name, const std::vector<std::string>& value) {
    SetField(std::string(name), MakeList(MetaType::String, value), _docEmpty);
}
void MetaStruct::SetField(const std::string& name, std::vector<std::string>&& value) {
    SetField(name, MakeList(MetaType::String, std::move(value)), _docEmpty);
}
void MetaStruct::SetField(const char* name, std::vector<std::string>&& value) {
    SetField(std::string(name), MakeList(MetaType::String, std::move(value)), _docEmpty);
}
void MetaStruct::SetField(const std::string& name, const std::vector<long>& value) {
    SetField(name, MakeList(MetaType::Int, value), _docEmpty);
}
void MetaStruct::SetField(const char* name, const std::vector<long>& value) {
    SetField(std::string(name), MakeList(MetaType::Int, value), _docEmpty);
}
void MetaStruct::SetField(const std::string& name, const std::vector<bool>& value) {
    SetField(name, MakeList(MetaType::Bool, value), _docEmpty);
}
void MetaStruct::SetField(const char* name, const std::vector<bool>& value) {
    SetField(std::string(name), MakeList(MetaType::Bool, value), _docEmpty);
}

void MetaStruct::RemoveField(const std::string& name) {
    if (locked) {
        throw CorvaneException("Structure is locked, unable to remove fields");
    }
    const std::size_t slot = Find(name);
    if (slot < Slots() && values[slot]) {
        // The name stays (it may be shared), without a value it is no field.
        values[slot].reset();
        if (documentation) {
            (*documentation)[slot].clear();
        }
        --count;
    }
}

bool MetaStruct::IsSameStructure(const std::shared_ptr<MetaObject>& other,
                                 std::vector<std::string>* errors) const {
    if (!other) {
        if (errors) {
            errors->push_back("Invalid NULL input to MetaStruct validation.");
        }
        return false;
    }
    if (other->GetType() != MetaType::Struct) {
        if (errors) {
            errors->push_back("Type Mismatch in MetaStruct Validation: Expected type " +
                              MetaTypeString(MetaType::Struct) + " got type " +
                              MetaTypeString(other->GetType()));
        }
        return false;
    }
    const auto* candidate = dynamic_cast<const MetaStruct*>(other.get());
    if (candidate == nullptr) {
        if (errors) {
            errors->push_back("Unable to cast to MetaStruct, runtime error?");
        }
        return false;
    }

    // A different type name is reported but is not a mismatch by itself.
    if (errors && typeName != candidate->typeName) {
        errors->push_back("Type names do not match.");
    }
    bool sameCount = true;
    if (count != candidate->count) {
        sameCount = false;
        if (errors) {
            errors->push_back("Mismatch on number of fields set in struct. Expected " +
                              std::to_string(count) + " found " + std::to_string(candidate->count));
        }
    }

    // Both sides are in the same name order, so one forward walk over the candidate finds every
    // expected field: linear in the two field counts, which keeps list insertion cheap. Records
    // sharing their names need no comparison of names at all.
    const bool sameNames = names == candidate->names;
    std::size_t candidateSlot = 0;
    const std::size_t candidateEnd = candidate->Slots();
    for (std::size_t slot = 0; slot < Slots(); ++slot) {
        const std::shared_ptr<MetaObject>& value = values[slot];
        if (!value) {
            continue;
        }
        const std::string& name = (*names)[slot];
        int order = -1;
        if (sameNames) {
            candidateSlot = slot;
            order = 0;
        } else {
            while (candidateSlot < candidateEnd &&
                   (order = (*candidate->names)[candidateSlot].compare(name)) < 0) {
                ++candidateSlot;
            }
        }
        if (candidateSlot == candidateEnd || order != 0 || !candidate->values[candidateSlot]) {
            if (errors) {
                errors->push_back("Missing field in input: " + name);
            }
            return false;
        }
        const std::shared_ptr<MetaObject>& candidateValue = candidate->values[candidateSlot];
        const MetaType kind = value->GetType();
        if (kind != candidateValue->GetType()) {
            if (errors) {
                errors->push_back("Type mismatch on field: " + name);
            }
            return false;
        }
        // Scalars of equal kind always match; only structures and lists need the nested call.
        if (!IsScalar(kind) && !value->IsSameStructure(candidateValue, errors)) {
            if (errors) {
                errors->push_back("Type mismatch on field: " + name);
            }
            return false;
        }
        ++candidateSlot;
    }
    return sameCount;
}

std::string MetaStruct::ToString() const {
    std::string text = "{";
    for (const auto& [name, field] : GetFields()) {
        text += '\'';
        text += name;
        text += "' => '";
        text += field.value->ToString();
        text += "', ";
    }
    text += '}';
    return text;
}

} // namespace Corvane::MetaObj
