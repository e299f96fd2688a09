// MetaStruct: named records, structure definitions, locking and structural comparison.
#include <corvane/metaobj.h>

#include <utility>

namespace Corvane::MetaObj {

namespace {

bool IsScalar(MetaType type) {
    return type == MetaType::Int || type == MetaType::Bool || type == MetaType::String;
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

MetaStruct::MetaStruct(std::string typeName, FactoryFlag)
    : MetaObject(MetaType::Struct), typeName(std::move(typeName)) {}

MetaStruct::MetaStruct(const std::shared_ptr<MetaStruct>& definition, FactoryFlag)
    : MetaObject(MetaType::Struct), structureDefinition(definition), typeName(definition->typeName) {}

std::shared_ptr<MetaStruct> MetaStruct::New(const std::string& typeName) {
    if (!IsValidStructName(typeName)) {
        throw CorvaneException("Invalid name specified for MetaStruct: " + typeName);
    }
    return std::make_shared<MetaStruct>(typeName, FactoryFlag());
}

std::shared_ptr<MetaStruct> MetaStruct::New(std::string&& typeName) {
    if (!IsValidStructName(typeName)) {
        throw CorvaneException("Invalid name specified for MetaStruct: " + typeName);
    }
    return std::make_shared<MetaStruct>(std::move(typeName), FactoryFlag());
}

std::shared_ptr<MetaStruct> MetaStruct::New(const char* typeName) {
    return New(std::string(typeName ? typeName : ""));
}

std::shared_ptr<MetaStruct> MetaStruct::New(const std::shared_ptr<MetaStruct>& definition) {
    if (!definition) {
        throw CorvaneException("Invalid NULL structure definition specified for MetaStruct");
    }
    auto record = std::make_shared<MetaStruct>(definition, FactoryFlag());
    // Records made from the definition rely on its field set staying as it is now.
    definition->LockStructure();
    return record;
}

std::vector<std::string> MetaStruct::GetFieldNames() const {
    std::vector<std::string> names;
    names.reserve(fields.size());
    for (const auto& entry : fields) {
        names.push_back(entry.first);
    }
    return names;
}

bool MetaStruct::HasField(const std::string& name) const {
    return fields.find(name) != fields.end();
}

std::shared_ptr<MetaObject> MetaStruct::GetField(const std::string& name) const {
    auto it = fields.find(name);
    return it == fields.end() ? std::shared_ptr<MetaObject>() : it->second.value;
}

MetaType MetaStruct::GetFieldType(const std::string& name) const {
    auto it = fields.find(name);
    if (it == fields.end()) {
        // Long-standing contract of this call: callers catch a plain int, not CorvaneException.
        throw 1;
    }
    return it->second.value->GetType();
}

const std::string& MetaStruct::GetFieldDocumentation(const std::string& name) const {
    auto it = fields.find(name);
    if (it == fields.end()) {
        throw CorvaneException("Field " + name + " is not present in the structure " + typeName);
    }
    return it->second.documentation.empty() ? _docMissingStaticString : it->second.documentation;
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
    auto it = fields.lower_bound(name);
    if (it != fields.end() && it->first == name) {
        // An existing field passed the definition check when it was inserted, and a definition is
        // locked for as long as records use it, so replacing needs no further check.
        // Documentation first: it is the only step that can throw (std::string keeps its old
        // content then), so a failure leaves the field as it was.
        it->second.documentation = documentation;
        it->second.value = value;
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
    fields.emplace_hint(it, name, Field{value, documentation});
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
    fields.erase(name);
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
    if (fields.size() != candidate->fields.size()) {
        sameCount = false;
        if (errors) {
            errors->push_back("Mismatch on number of fields set in struct. Expected " +
                              std::to_string(fields.size()) + " found " +
                              std::to_string(candidate->fields.size()));
        }
    }

    // Both maps are in the same name order, so one forward walk over the candidate finds every
    // expected field: linear in the two field counts, which keeps list insertion cheap.
    auto candidateIt = candidate->fields.begin();
    const auto candidateEnd = candidate->fields.end();
    for (const auto& [name, field] : fields) {
        int order = -1;
        while (candidateIt != candidateEnd && (order = candidateIt->first.compare(name)) < 0) {
            ++candidateIt;
        }
        if (candidateIt == candidateEnd || order != 0) {
            if (errors) {
                errors->push_back("Missing field in input: " + name);
            }
            return false;
        }
        const std::shared_ptr<MetaObject>& candidateValue = candidateIt->second.value;
        const MetaType kind = field.value->GetType();
        if (kind != candidateValue->GetType()) {
            if (errors) {
                errors->push_back("Type mismatch on field: " + name);
            }
            return false;
        }
        // Scalars of equal kind always match; only structures and lists need the nested call.
        if (!IsScalar(kind) && !field.value->IsSameStructure(candidateValue, errors)) {
            if (errors) {
                errors->push_back("Type mismatch on field: " + name);
            }
            return false;
        }
        ++candidateIt;
    }
    return sameCount;
}

std::string MetaStruct::ToString() const {
    std::string text = "{";
    for (const auto& [name, field] : fields) {
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
