// Typed values: MetaObject and its kinds (booleans, integers, strings, structures, lists).
#pragma once

#include <corvane/exception.h>
#include <corvane/export.h>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace Corvane::MetaObj {

class MetaObject;
class MetaBool;
class MetaInt;
class MetaString;
class MetaStruct;
class MetaList;

/// The kind of a typed value. The numeric values are part of the interface (descriptors and
/// diagnostics refer to them), so enumerators must never be renumbered.
enum class MetaType : std::int32_t {
    Int = 0,
    Bool = 1,
    String = 2,
    Struct = 3,
    List = 4,
};

/// Display text of a kind ("Int", "Bool", "String", "Struct", "List"); the empty string for any
/// other value. The returned reference stays valid for the life of the process.
CORVANE_API const std::string& MetaTypeString(const MetaType& type);

/// True when the whole of `name` consists of ASCII letters and digits (at least one).
CORVANE_API bool IsValidStructName(const std::string& name);

/// Common base of all typed values. Values are created only through the kinds' static `New`
/// factories and are always owned through std::shared_ptr, whose control block destroys the
/// concrete kind; hence no virtual destructor. The destructor is protected so that nobody can
/// delete a value through a base pointer, and values cannot be copied (shared scalar instances
/// must never be overwritten).
class CORVANE_API MetaObject {
public:
    /// Tag that only the typed-value classes can create: every constructor of a kind takes one,
    /// so values can only come from the factories while std::make_shared still reaches the
    /// public constructors.
    class FactoryFlag {
    private:
        FactoryFlag() {}
        friend class MetaObject;
        friend class MetaBool;
        friend class MetaInt;
        friend class MetaString;
        friend class MetaStruct;
        friend class MetaList;
    };

    MetaObject(const MetaObject&) = delete;
    MetaObject& operator=(const MetaObject&) = delete;

    /// The kind, fixed by the class: kept out of the object, which a large document has hundreds of
    /// thousands of.
    virtual MetaType GetType() const = 0;

    /// Structural comparison: this value is the expectation, `other` the candidate. Only kinds
    /// and shapes are compared, never values. Mismatch messages are appended to `errors` when it
    /// is not null. The base implementation serves the scalar kinds.
    virtual bool IsSameStructure(const std::shared_ptr<MetaObject>& other,
                                 std::vector<std::string>* errors) const;

    virtual std::string ToString() const = 0;

protected:
    MetaObject() = default;
    ~MetaObject() = default;
};

/// Writes value.ToString() and nothing else.
CORVANE_API std::ostream& operator<<(std::ostream& os, const MetaObject& value);

/// Immutable boolean. Only two instances ever exist per load of the library.
class CORVANE_API MetaBool final : public MetaObject {
public:
    MetaType GetType() const override { return MetaType::Bool; }

    MetaBool(bool value, FactoryFlag);

    /// The shared false instance.
    static const std::shared_ptr<MetaBool>& New();
    /// The shared instance for `value`; never allocates.
    static const std::shared_ptr<MetaBool>& New(bool value);

    bool GetValue() const { return value; }
    /// "true" or "false".
    std::string ToString() const override;

    /// Creates the shared instances, replacing any held before. Runs at load time.
    static bool Init();

private:
    bool value;

    static bool _sInitialized;
    static std::shared_ptr<MetaBool> _sFalse;
    static std::shared_ptr<MetaBool> _sTrue;
};

/// Immutable signed 64-bit integer. The values -1..20 are shared instances.
class CORVANE_API MetaInt final : public MetaObject {
public:
    MetaType GetType() const override { return MetaType::Int; }

    MetaInt(long value, FactoryFlag);

    /// The shared instance holding 0.
    static const std::shared_ptr<MetaInt>& New();
    /// The shared instance for -1 <= value <= 20, a new instance otherwise.
    static std::shared_ptr<MetaInt> New(long value);

    long GetValue() const { return value; }
    /// The value in decimal, as printf's "%ld" prints it.
    std::string ToString() const override;

    /// Creates the shared instances -1..20, replacing any held before. Runs at load time.
    static bool Init();

private:
    static constexpr long kSharedMin = -1;
    static constexpr long kSharedMax = 20;
    static constexpr std::size_t kSharedCount = kSharedMax - kSharedMin + 1;

    long value;

    static bool _sInitialized;
    static std::shared_ptr<MetaInt> _sShared[kSharedCount];
};

/// Immutable byte string (normally UTF-8). The empty string is a shared instance.
class CORVANE_API MetaString final : public MetaObject {
public:
    MetaType GetType() const override { return MetaType::String; }

    MetaString(std::string value, FactoryFlag);

    /// The shared empty instance.
    static const std::shared_ptr<MetaString>& New();
    /// The shared empty instance for an empty (or null) text, a new instance otherwise.
    static std::shared_ptr<MetaString> New(const char* text);
    static std::shared_ptr<MetaString> New(const std::string& text);
    static std::shared_ptr<MetaString> New(std::string&& text);
    /// Like New, but text that is not valid UTF-8 is first replaced by the platform's escaped,
    /// valid rendering of it. Never fails on bad bytes.
    static std::shared_ptr<MetaString> NewUtf8WithEscapes(std::string&& text);

    const std::string& GetValue() const { return value; }
    /// The value itself, unquoted and unescaped.
    std::string ToString() const override;

    /// Creates the shared empty instance, replacing any held before. Runs at load time.
    static bool Init();

private:
    std::string value;

    static bool _sInitialized;
    static std::shared_ptr<MetaString> _sEmpty;
};

/// Named record. Fields are kept in byte-wise name order. A record can be a structure definition
/// for other records and for lists of structures; a record made from a definition may only set
/// the definition's fields. Locking forbids new fields (not new values) and removal.
///
/// The field names are kept apart from the values, in a sorted list that records of the same shape
/// share (see NewLike): a record costs one pointer per field besides its values.
class CORVANE_API MetaStruct final : public MetaObject {
public:
    MetaType GetType() const override { return MetaType::Struct; }

    /// One field as GetFields() hands it out: references into the record, valid until the record's
    /// fields change.
    struct Field {
        const std::shared_ptr<MetaObject>& value; ///< never empty
        const std::string& documentation;         ///< possibly empty
    };

    /// Walks the fields in name order; each step gives the pair (name, Field).
    class FieldIterator {
    public:
        using value_type = std::pair<const std::string&, Field>;
        using reference = value_type;
        using difference_type = std::ptrdiff_t;
        using iterator_category = std::forward_iterator_tag;
        struct Arrow {
            value_type entry;
            const value_type* operator->() const { return &entry; }
        };
        using pointer = Arrow;

        FieldIterator() = default;
        FieldIterator(const MetaStruct* record, std::size_t index) : record(record), index(index) { Skip(); }
        reference operator*() const;
        Arrow operator->() const { return Arrow{**this}; }
        FieldIterator& operator++() {
            ++index;
            Skip();
            return *this;
        }
        FieldIterator operator++(int) {
            FieldIterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const FieldIterator& other) const { return index == other.index; }
        bool operator!=(const FieldIterator& other) const { return index != other.index; }

    private:
        void Skip();
        const MetaStruct* record = nullptr;
        std::size_t index = 0;
    };

    /// The fields of a record, in name order, as GetFields() returns them: iterable, with size(),
    /// empty(), find() and count() as a std::map of the names would have them.
    class FieldRange {
    public:
        explicit FieldRange(const MetaStruct& record) : record(&record) {}
        FieldIterator begin() const { return FieldIterator(record, 0); }
        FieldIterator end() const;
        std::size_t size() const { return record->count; }
        bool empty() const { return record->count == 0; }
        FieldIterator find(const std::string& name) const;
        std::size_t count(const std::string& name) const { return record->HasField(name) ? 1 : 0; }

    private:
        const MetaStruct* record;
    };

    MetaStruct(std::string typeName, FactoryFlag);
    MetaStruct(const std::shared_ptr<MetaStruct>& definition, FactoryFlag);
    ~MetaStruct();

    /// A new empty, unlocked record. Throws CorvaneException when the name fails
    /// IsValidStructName.
    static std::shared_ptr<MetaStruct> New(const std::string& typeName);
    static std::shared_ptr<MetaStruct> New(std::string&& typeName);
    static std::shared_ptr<MetaStruct> New(const char* typeName);
    /// A new empty record that may only hold the fields of `definition` and carries its type
    /// name. Locks `definition`. Throws CorvaneException for an empty definition.
    static std::shared_ptr<MetaStruct> New(const std::shared_ptr<MetaStruct>& definition);
    /// Exactly what New(typeName) gives, but expecting the field names of `model`: setting them then
    /// neither allocates nor stores names of its own. For the many records of one list.
    static std::shared_ptr<MetaStruct> NewLike(const std::string& typeName, const MetaStruct& model);

    std::string& GetTypeName() { return typeName; }
    const std::string& GetTypeName() const { return typeName; }
    /// All field names, ascending in byte order.
    std::vector<std::string> GetFieldNames() const;
    /// All fields, ascending in byte order of the names: for reading every field without copying
    /// names or looking each one up. Valid while the record's fields do not change.
    FieldRange GetFields() const { return FieldRange(*this); }
    bool HasField(const std::string& name) const;
    /// The field's value, or an empty pointer when there is no such field.
    std::shared_ptr<MetaObject> GetField(const std::string& name) const;
    /// The kind of the field's value. Throws the plain int 1 when there is no such field.
    MetaType GetFieldType(const std::string& name) const;
    /// The field's documentation, or "Documentation missing" when it has none. Throws
    /// CorvaneException when there is no such field.
    const std::string& GetFieldDocumentation(const std::string& name) const;
    std::shared_ptr<MetaStruct> GetStructureDefinition() const { return structureDefinition; }
    bool HasStructureDefinition() const { return structureDefinition != nullptr; }
    /// True without a definition; otherwise whether this record (as expectation) has the same
    /// structure as the definition.
    bool MatchesStructureDefinition() const;

    /// Forbids new fields and removal from now on. There is no unlock.
    void LockStructure() { locked = true; }

    /// Inserts or replaces a field (value and documentation). Throws CorvaneException, leaving
    /// the record unchanged, for an empty value, a new name on a locked record, or a name the
    /// definition lacks.
    void SetField(const std::string& name, const std::shared_ptr<MetaObject>& value,
                  const std::string& documentation = _docEmpty);
    void SetField(const char* name, const std::shared_ptr<MetaObject>& value);

    void SetField(const std::string& name, const std::shared_ptr<MetaStruct>& value);
    void SetField(const char* name, const std::shared_ptr<MetaStruct>& value);
    void SetField(const std::string& name, const std::shared_ptr<MetaList>& value);
    void SetField(const char* name, const std::shared_ptr<MetaList>& value);
    void SetField(const std::string& name, const std::shared_ptr<MetaInt>& value);
    void SetField(const char* name, const std::shared_ptr<MetaInt>& value);
    void SetField(const std::string& name, const std::shared_ptr<MetaBool>& value);
    void SetField(const char* name, const std::shared_ptr<MetaBool>& value);
    void SetField(const std::string& name, const std::shared_ptr<MetaString>& value);
    void SetField(const char* name, const std::shared_ptr<MetaString>& value);

    void SetField(const std::string& name, long value);
    void SetField(const char* name, long value);
    void SetField(const std::string& name, int value);
    void SetField(const char* name, int value);
    void SetField(const std::string& name, bool value);
    void SetField(const char* name, bool value);

    void SetField(const std::string& name, const std::string& value);
    void SetField(const char* name, const std::string& value);
    void SetField(const std::string& name, std::string&& value);
    void SetField(const char* name, std::string&& value);
    void SetField(const std::string& name, const char* value);
    void SetField(const char* name, const char* value);

    /// List-valued fields: a new list of String, Int or Bool items.
    void SetField(const std::string& name, const std::vector<std::string>& value);
    void SetField(const char* name, const std::vector<std::string>& value);
    void SetField(const std::string& name, std::vector<std::string>&& value);
    void SetField(const char* name, std::vector<std::string>&& value);
    void SetField(const std::string& name, const std::vector<long>& value);
    void SetField(const char* name, const std::vector<long>& value);
    void SetField(const std::string& name, const std::vector<bool>& value);
    void SetField(const char* name, const std::vector<bool>& value);

    /// Removes the field if present. Throws CorvaneException when the record is locked.
    void RemoveField(const std::string& name);

    bool IsSameStructure(const std::shared_ptr<MetaObject>& other,
                         std::vector<std::string>* errors) const override;
    /// {'name' => 'value', ...} with a "', " after every field; {} when empty.
    std::string ToString() const override;

private:
    using Names = std::vector<std::string>;

    /// The slot of `name` among the names, or the number of names when it has none.
    std::size_t Find(const std::string& name) const;
    const std::shared_ptr<MetaObject>* FindValue(const std::string& name) const;
    const std::string& DocumentationAt(std::size_t slot) const;

    /// Sorted names, shared with the records of the same shape and never changed while shared. A
    /// name whose value is empty is not a field of this record.
    std::shared_ptr<Names> names;
    /// The number of names, and so of value slots.
    std::size_t Slots() const { return names ? names->size() : 0; }

    /// The values, one per name, in one block of the values' own memory.
    std::shared_ptr<MetaObject>* values = nullptr;
    /// The documentation, one per name; absent while every field's is empty.
    std::unique_ptr<std::vector<std::string>> documentation;
    std::shared_ptr<MetaStruct> structureDefinition;
    std::string typeName;
    /// The number of fields: names with a value.
    std::uint32_t count = 0;
    bool locked = false;

    static const std::string _docEmpty;
    static const std::string _docMissingStaticString;
};

/// Homogeneous list: every item has the list's element kind, fixed at creation (a scalar kind or
/// Struct). Items of a structure list must match the list's structure definition. Items are
/// checked on insertion, so a list never holds a wrong item.
class CORVANE_API MetaList final : public MetaObject {
public:
    MetaType GetType() const override { return MetaType::List; }

    MetaList(MetaType listType, FactoryFlag);
    MetaList(MetaType listType, std::shared_ptr<MetaStruct> structure, FactoryFlag);

    /// An empty list of a scalar kind. Throws CorvaneException for Struct or List.
    static std::shared_ptr<MetaList> New(MetaType listType);
    /// An empty list of structures matching `structure`, which is locked. Throws
    /// CorvaneException when `listType` is not Struct. Without a definition no item can be added.
    static std::shared_ptr<MetaList> New(MetaType listType, std::shared_ptr<MetaStruct>&& structure);
    static std::shared_ptr<MetaList> New(MetaType listType, const std::shared_ptr<MetaStruct>& structure);
    /// As above; a `structure` that is not a MetaStruct (or empty) gives a list without definition.
    static std::shared_ptr<MetaList> New(MetaType listType, const std::shared_ptr<MetaObject>& structure);

    MetaType GetListType() const { return listType; }
    std::shared_ptr<MetaStruct>& GetListStructure() { return listStructure; }
    const std::shared_ptr<MetaStruct>& GetListStructure() const { return listStructure; }
    std::vector<std::shared_ptr<MetaObject>>& GetObjects() { return objects; }
    const std::vector<std::shared_ptr<MetaObject>>& GetObjects() const { return objects; }
    std::size_t GetCount() const { return objects.size(); }
    /// Throws CorvaneException when index >= GetCount().
    std::shared_ptr<MetaObject> GetItem(unsigned int index) const;
    /// Unchecked: index must be below GetCount().
    std::shared_ptr<MetaObject>& operator[](unsigned int index) { return objects[index]; }
    const std::shared_ptr<MetaObject>& operator[](unsigned int index) const { return objects[index]; }

    /// Appends `item` after checking its kind and, for structure lists, its structure. Throws
    /// CorvaneException and leaves the list unchanged when the item is refused.
    void Add(const std::shared_ptr<MetaObject>& item);
    void Add(const std::shared_ptr<MetaBool>& item);
    void Add(const std::shared_ptr<MetaInt>& item);
    void Add(const std::shared_ptr<MetaString>& item);
    void Add(const std::shared_ptr<MetaStruct>& item);
    void Add(bool value);
    void Add(long value);
    void Add(int value);
    void Add(const char* value);
    void Add(const std::string& value);
    void Add(std::string&& value);

    /// Appends every element in order; the first refused element stops with Add's exception,
    /// the elements before it stay added.
    void AddAll(const std::vector<bool>& values);
    void AddAll(const std::vector<long>& values);
    void AddAll(const std::vector<std::string>& values);
    void AddAll(std::vector<std::string>&& values);

    /// Removes the item at `index`. Throws CorvaneException when index >= GetCount().
    void Delete(unsigned int index);
    /// Reserves storage for `n` items in total.
    void Reserve(unsigned long n);
    /// Makes room for `n` more items when the capacity is smaller than that.
    void EnsureCapacity(unsigned long n);

    /// Whether `item` may be added; reasons are appended to `errors` when it is not null.
    bool Validate(const std::shared_ptr<MetaObject>& item, std::vector<std::string>* errors) const;

    /// Compares element kinds and, for structure lists with definitions on both sides, the
    /// definitions; never the items.
    bool IsSameStructure(const std::shared_ptr<MetaObject>& other,
                         std::vector<std::string>* errors) const override;
    /// The items' ToString() joined by ", "; empty for an empty list.
    std::string ToString() const override;

private:
    std::shared_ptr<MetaStruct> listStructure;
    std::vector<std::shared_ptr<MetaObject>> objects;
    MetaType listType;
};

} // namespace Corvane::MetaObj
