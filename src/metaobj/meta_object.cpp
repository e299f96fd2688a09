// MetaObject: kind display names, the stream operator and the structural comparison of scalars.
#include <corvane/metaobj.h>

namespace Corvane::MetaObj {

namespace {

// Other translation units may build typed values (and print kinds) from their own static
// initialisers, so these names are constructed ahead of every default-priority initialiser.
const std::string kIntName __attribute__((init_priority(101))) = "Int";
const std::string kBoolName __attribute__((init_priority(101))) = "Bool";
const std::string kStringName __attribute__((init_priority(101))) = "String";
const std::string kStructName __attribute__((init_priority(101))) = "Struct";
const std::string kListName __attribute__((init_priority(101))) = "List";
const std::string kUnknownName __attribute__((init_priority(101)));

bool IsScalar(MetaType type) {
    return type == MetaType::Int || type == MetaType::Bool || type == MetaType::String;
}

} // namespace

const std::string& MetaTypeString(const MetaType& type) {
    switch (type) {
    case MetaType::Int:
        return kIntName;
    case MetaType::Bool:
        return kBoolName;
    case MetaType::String:
        return kStringName;
    case MetaType::Struct:
        return kStructName;
    case MetaType::List:
        return kListName;
    }
    return kUnknownName;
}

std::ostream& operator<<(std::ostream& os, const MetaObject& value) {
    return os << value.ToString();
}

bool MetaObject::IsSameStructure(const std::shared_ptr<MetaObject>& other,
                                 std::vector<std::string>* errors) const {
    // Scalars match on kind alone; their values never take part in a structural comparison.
    if (other && IsScalar(GetType()) && other->GetType() == GetType()) {
        return true;
    }
    if (errors) {
        errors->push_back("Type mismatch in structure.  Expecting " + MetaTypeString(GetType()) + " got " +
                          (other ? MetaTypeString(other->GetType()) : std::string("NULL")));
    }
    return false;
}

} // namespace Corvane::MetaObj
