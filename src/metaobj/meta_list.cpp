// MetaList: homogeneous lists of one scalar kind or of structures of one definition.
#include <corvane/metaobj.h>

#include "metaobj/value_pool.h"

#include <boost/algorithm/string/join.hpp>

#include <utility>

namespace Corvane::MetaObj {

MetaList::MetaList(MetaType listType, FactoryFlag) : listType(listType) {}

MetaList::MetaList(MetaType listType, std::shared_ptr<MetaStruct> structure, FactoryFlag)
    : listStructure(std::move(structure)), listType(listType) {}

std::shared_ptr<MetaList> MetaList::New(MetaType listType) {
    if (listType == MetaType::Struct || listType == MetaType::List) {
        throw CorvaneException("Integer, boolean or string type expected for list.");
    }
    return Detail::MakePooled<MetaList>(listType, FactoryFlag());
}

std::shared_ptr<MetaList> MetaList::New(MetaType listType, std::shared_ptr<MetaStruct>&& structure) {
    if (listType != MetaType::Struct) {
        throw CorvaneException("Struct type expected for list.");
    }
    auto list = Detail::MakePooled<MetaList>(listType, std::move(structure), FactoryFlag());
    // Items are checked against the definition when they are added; it must not gain fields later.
    if (list->listStructure) {
        list->listStructure->LockStructure();
    }
    return list;
}

std::shared_ptr<MetaList> MetaList::New(MetaType listType, const std::shared_ptr<MetaStruct>& structure) {
    return New(listType, std::shared_ptr<MetaStruct>(structure));
}

std::shared_ptr<MetaList> MetaList::New(MetaType listType, const std::shared_ptr<MetaObject>& structure) {
    return New(listType, std::dynamic_pointer_cast<MetaStruct>(structure));
}

std::shared_ptr<MetaObject> MetaList::GetItem(unsigned int index) const {
    if (index >= objects.size()) {
        throw CorvaneException("Get requested on invalid index of MetaList");
    }
    return objects[index];
}

void MetaList::Add(const std::shared_ptr<MetaObject>& item) {
    if (!item) {
        throw CorvaneException("Null object passed to Add");
    }
    if (item->GetType() != listType) {
        throw CorvaneException("Invalid type specificed in MetaList.  Expected object of type " +
                               MetaTypeString(listType) + " got object of type " +
                               MetaTypeString(item->GetType()));
    }
    // With the kind already checked, validation can only refuse items of a structure list.
    if (listType == MetaType::Struct) {
        std::vector<std::string> messages;
        if (!Validate(item, &messages)) {
            throw CorvaneException("Invalid structure detected by MetaList::Add.  Type Errors were: (" +
                                   std::to_string(messages.size()) +
                                   ") : " + boost::algorithm::join(messages, ", "));
        }
    }
    objects.push_back(item);
}

void MetaList::Add(const std::shared_ptr<MetaBool>& item) {
    Add(std::shared_ptr<MetaObject>(item));
}
void MetaList::Add(const std::shared_ptr<MetaInt>& item) {
    Add(std::shared_ptr<MetaObject>(item));
}
void MetaList::Add(const std::shared_ptr<MetaString>& item) {
    Add(std::shared_ptr<MetaObject>(item));
}
void MetaList::Add(const std::shared_ptr<MetaStruct>& item) {
    Add(std::shared_ptr<MetaObject>(item));
}
void MetaList::Add(bool value) {
    Add(MetaBool::New(value));
}
void MetaList::Add(long value) {
    Add(MetaInt::New(value));
}
void MetaList::Add(int value) {
    Add(MetaInt::New(value));
}
void MetaList::Add(const char* value) {
    Add(MetaString::New(value));
}
void MetaList::Add(const std::string& value) {
    Add(MetaString::New(value));
}
void MetaList::Add(std::string&& value) {
    Add(MetaString::New(std::move(value)));
}

void MetaList::AddAll(const std::vector<bool>& values) {
    EnsureCapacity(values.size());
    for (bool value : values) {
        Add(MetaBool::New(value));
    }
}

void MetaList::AddAll(const std::vector<long>& values) {
    EnsureCapacity(values.size());
    for (long value : values) {
        Add(MetaInt::New(value));
    }
}

void MetaList::AddAll(const std::vector<std::string>& values) {
    EnsureCapacity(values.size());
    for (const std::string& value : values) {
        Add(MetaString::New(value));
    }
}

void MetaList::AddAll(std::vector<std::string>&& values) {
    EnsureCapacity(values.size());
    for (std::string& value : values) {
        Add(MetaString::New(std::move(value)));
    }
}

void MetaList::Delete(unsigned int index) {
    if (index >= objects.size()) {
        throw CorvaneException("Delete requested on invalid index of MetaList");
    }
    objects.erase(objects.begin() + index);
}

void MetaList::Reserve(unsigned long n) {
    objects.reserve(n);
}

void MetaList::EnsureCapacity(unsigned long n) {
    const std::size_t needed = objects.size() + n;
    if (objects.capacity() < needed) {
        objects.reserve(needed);
    }
}

bool MetaList::Validate(const std::shared_ptr<MetaObject>& item, std::vector<std::string>* errors) const {
    if (!item) {
        if (errors) {
            errors->push_back("Invalid NULL input");
        }
        return false;
    }
    if (item->GetType() != listType) {
        if (errors) {
            errors->push_back(
                "There was an error adding an item to this list.  The item being added was not the "
                "correct type for this list, so it was not added.");
        }
        return false;
    }
    if (listType != MetaType::Struct) {
        return true;
    }
    if (!listStructure) {
        if (errors) {
            errors->push_back("List created with NULL structure.  No items can be added to this list.");
        }
        return false;
    }
    if (!listStructure->IsSameStructure(item, errors)) {
        if (errors) {
            errors->push_back(
                "There was an error adding an item to this list.  The item being added did not match "
                "the declared structure of this list, so it was not added.");
        }
        return false;
    }
    return true;
}

bool MetaList::IsSameStructure(const std::shared_ptr<MetaObject>& other,
                               std::vector<std::string>* errors) const {
    if (!other) {
        if (errors) {
            errors->push_back("Mismatch on structure, NULL comparison");
        }
        return false;
    }
    if (other->GetType() != MetaType::List) {
        if (errors) {
            errors->push_back("Type mismatch!  Was expecting a " + MetaTypeString(MetaType::List) +
                              ", but got a " + MetaTypeString(other->GetType()));
        }
        return false;
    }
    const auto* candidate = dynamic_cast<const MetaList*>(other.get());
    if (candidate == nullptr || candidate->listType != listType) {
        if (errors) {
            errors->push_back("Mismatch on list type");
        }
        return false;
    }
    // Only the declarations are compared, never the items.
    if (listType == MetaType::Struct && listStructure && candidate->listStructure) {
        if (!listStructure->IsSameStructure(candidate->listStructure, errors)) {
            if (errors) {
                errors->push_back("List type mismatch list and input");
            }
            return false;
        }
    }
    return true;
}

std::string MetaList::ToString() const {
    std::string text;
    text.reserve(objects.size() * 15);
    bool first = true;
    for (const auto& item : objects) {
        if (!first) {
            text += ", ";
        }
        first = false;
        text += item->ToString();
    }
    return text;
}

} // namespace Corvane::MetaObj
