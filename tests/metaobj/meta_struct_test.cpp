// Tests of MetaStruct: names, field order, setters, locking, definitions, comparison and text.
#include <corvane/metaobj.h>

#include "test_support.h"

#include <sstream>

using namespace Corvane::MetaObj;

namespace {

using Messages = std::vector<std::string>;

// The comparison must give the same answer whether or not messages are collected.
bool Compare(const std::shared_ptr<MetaObject>& expectation, const std::shared_ptr<MetaObject>& candidate,
             Messages& messages) {
    const bool withoutMessages = expectation->IsSameStructure(candidate, nullptr);
    const bool withMessages = expectation->IsSameStructure(candidate, &messages);
    EXPECT_EQ(withoutMessages, withMessages);
    return withMessages;
}

// A fingerprint of a record's whole observable state.
std::string State(const MetaStruct& record) {
    std::string state = record.GetTypeName() + " " + record.ToString();
    for (const auto& name : record.GetFieldNames()) {
        state += " " + name + ":" + MetaTypeString(record.GetFieldType(name)) + ":" +
                 record.GetFieldDocumentation(name);
    }
    return state;
}

} // namespace

TEST(MetaStructTest, TypeNameRule) {
    for (const char* valid : {"Ab12", "a", "Z", "0", "VarnokCommandHelp"}) {
        EXPECT_TRUE(IsValidStructName(valid)) << valid;
        EXPECT_EQ(valid, MetaStruct::New(valid)->GetTypeName());
    }
    for (const std::string& invalid : std::vector<std::string>{"", "My_Struct", "a-b", "a b", "a.b", " ab",
                                                               "ab\n", "\nab", "\xc3\xa9t\xc3\xa9"}) {
        EXPECT_FALSE(IsValidStructName(invalid)) << invalid;
        EXPECT_THROW_MSG(MetaStruct::New(invalid), "Invalid name specified for MetaStruct: " + invalid);
        EXPECT_THROW_MSG(MetaStruct::New(std::string(invalid)),
                         "Invalid name specified for MetaStruct: " + invalid);
    }
    EXPECT_THROW_MSG(MetaStruct::New("My_Struct"), "Invalid name specified for MetaStruct: My_Struct");
    // The whole name must match, not a prefix up to an embedded NUL.
    const std::string embeddedNul("a\0b", 3);
    EXPECT_FALSE(IsValidStructName(embeddedNul));
    EXPECT_THROW(MetaStruct::New(embeddedNul), Corvane::CorvaneException);

    auto record = MetaStruct::New(std::string("Rec"));
    EXPECT_EQ(MetaType::Struct, record->GetType());
    EXPECT_TRUE(record->GetFieldNames().empty());
    EXPECT_FALSE(record->HasStructureDefinition());
    EXPECT_TRUE(record->MatchesStructureDefinition());
    EXPECT_EQ(nullptr, record->GetStructureDefinition());
}

TEST(MetaStructTest, FieldsAreInByteOrder) {
    auto record = MetaStruct::New("Order");
    for (const char* name : {"b", "a", "C", "Zeta", "alpha", "Names", "Name", "_x", "10", "9"}) {
        record->SetField(name, 1);
    }
    EXPECT_EQ((Messages{"10", "9", "C", "Name", "Names", "Zeta", "_x", "a", "alpha", "b"}),
              record->GetFieldNames());
}

TEST(MetaStructTest, SetterOverloadsStoreTheRightKinds) {
    auto record = MetaStruct::New("Kinds");
    const std::string textName = "s2";
    record->SetField("i", 5);
    record->SetField("l", 5000000000L);
    record->SetField("b", true);
    record->SetField("s", "yes"); // a literal must become a String, not a Bool
    record->SetField(textName, std::string("moved"));
    const std::string lvalue = "copied";
    record->SetField(std::string("s3"), lvalue);
    record->SetField("e", "");
    record->SetField("vs", std::vector<std::string>{"a", "b"});
    record->SetField("vl", std::vector<long>{1, -7});
    record->SetField("vb", std::vector<bool>{true, false});
    record->SetField("st", MetaStruct::New("Inner"));
    record->SetField("ls", MetaList::New(MetaType::Int));
    record->SetField("obj", std::shared_ptr<MetaObject>(MetaInt::New(9)), "nine");

    EXPECT_EQ(MetaType::Int, record->GetFieldType("i"));
    EXPECT_EQ(MetaType::Int, record->GetFieldType("l"));
    EXPECT_EQ(MetaType::Bool, record->GetFieldType("b"));
    EXPECT_EQ(MetaType::String, record->GetFieldType("s"));
    EXPECT_EQ(MetaType::String, record->GetFieldType("s2"));
    EXPECT_EQ(MetaType::Struct, record->GetFieldType("st"));
    EXPECT_EQ(MetaType::List, record->GetFieldType("ls"));
    EXPECT_EQ("yes", record->GetField("s")->ToString());
    EXPECT_EQ("moved", record->GetField("s2")->ToString());
    EXPECT_EQ("copied", record->GetField("s3")->ToString());
    EXPECT_EQ("5000000000", record->GetField("l")->ToString());

    // Scalars come from the shared instances.
    EXPECT_EQ(MetaInt::New(5).get(), record->GetField("i").get());
    EXPECT_EQ(MetaBool::New(true).get(), record->GetField("b").get());
    EXPECT_EQ(MetaString::New().get(), record->GetField("e").get());

    auto strings = std::static_pointer_cast<MetaList>(record->GetField("vs"));
    EXPECT_EQ(MetaType::String, strings->GetListType());
    EXPECT_EQ("a, b", strings->ToString());
    auto longs = std::static_pointer_cast<MetaList>(record->GetField("vl"));
    EXPECT_EQ(MetaType::Int, longs->GetListType());
    EXPECT_EQ("1, -7", longs->ToString());
    auto bools = std::static_pointer_cast<MetaList>(record->GetField("vb"));
    EXPECT_EQ(MetaType::Bool, bools->GetListType());
    EXPECT_EQ("true, false", bools->ToString());

    EXPECT_EQ("nine", record->GetFieldDocumentation("obj"));
    EXPECT_EQ("Documentation missing", record->GetFieldDocumentation("i"));
    EXPECT_TRUE(record->HasField("obj"));
    EXPECT_FALSE(record->HasField("absent"));
    EXPECT_EQ(nullptr, record->GetField("absent"));
}

TEST(MetaStructTest, ReplacingAFieldReplacesValueKindAndDocumentation) {
    auto record = MetaStruct::New("Rep");
    record->SetField("x", 5);
    record->SetField("x", "five");
    EXPECT_EQ(Messages{"x"}, record->GetFieldNames());
    EXPECT_EQ(MetaType::String, record->GetFieldType("x"));

    record->SetField(std::string("d"), MetaString::New("v"), "documented");
    EXPECT_EQ("documented", record->GetFieldDocumentation("d"));
    record->SetField("d", "w");
    EXPECT_EQ("Documentation missing", record->GetFieldDocumentation("d"));

    record->RemoveField("x");
    record->RemoveField("never-there");
    EXPECT_EQ(Messages{"d"}, record->GetFieldNames());
}

TEST(MetaStructTest, MissingFieldsOnLookup) {
    auto record = MetaStruct::New("Look");
    EXPECT_THROW_MSG(record->GetFieldDocumentation("nope"),
                     "Field nope is not present in the structure Look");
    try {
        record->GetFieldType("nope");
        ADD_FAILURE() << "GetFieldType did not throw";
    } catch (int code) {
        EXPECT_EQ(1, code);
    }
}

TEST(MetaStructTest, NullValuesAreRefusedAndChangeNothing) {
    auto record = MetaStruct::New("Nul");
    record->SetField("kept", 3);
    const std::string before = State(*record);
    const std::string message = "Invalid NULL value was assigned to the field kept in the structure Nul";
    EXPECT_THROW_MSG(record->SetField("kept", std::shared_ptr<MetaObject>()), message);
    EXPECT_THROW_MSG(record->SetField(std::string("kept"), std::shared_ptr<MetaObject>(), "doc"), message);
    EXPECT_THROW_MSG(record->SetField("kept", std::shared_ptr<MetaInt>()), message);
    EXPECT_THROW_MSG(record->SetField("kept", std::shared_ptr<MetaStruct>()), message);
    EXPECT_THROW_MSG(record->SetField("kept", std::shared_ptr<MetaList>()), message);
    EXPECT_THROW_MSG(record->SetField("new", std::shared_ptr<MetaString>()),
                     "Invalid NULL value was assigned to the field new in the structure Nul");
    EXPECT_EQ(before, State(*record));

    // Checked before the lock: even a locked record reports the empty value.
    record->LockStructure();
    EXPECT_THROW_MSG(record->SetField("new", std::shared_ptr<MetaBool>()),
                     "Invalid NULL value was assigned to the field new in the structure Nul");
}

TEST(MetaStructTest, LockForbidsNewFieldsAndRemovalOnly) {
    auto record = MetaStruct::New("Locked");
    record->SetField(std::string("a"), MetaInt::New(1), "first");
    record->LockStructure();

    record->SetField("a", "changed");
    EXPECT_EQ("changed", record->GetField("a")->ToString());
    EXPECT_EQ("Documentation missing", record->GetFieldDocumentation("a"));

    const std::string before = State(*record);
    EXPECT_THROW_MSG(record->SetField("b", 2),
                     "Unable to set new field b on structure. Structure has been locked");
    EXPECT_THROW_MSG(record->SetField("b", std::vector<long>{1}),
                     "Unable to set new field b on structure. Structure has been locked");
    EXPECT_THROW_MSG(record->RemoveField("a"), "Structure is locked, unable to remove fields");
    EXPECT_THROW_MSG(record->RemoveField("absent"), "Structure is locked, unable to remove fields");
    EXPECT_EQ(before, State(*record));
}

TEST(MetaStructTest, RecordsFromADefinition) {
    auto definition = MetaStruct::New("Person");
    definition->SetField("Name", MetaString::New());
    definition->SetField("Age", MetaInt::New());
    definition->SetField("Tags", MetaList::New(MetaType::String));

    auto record = MetaStruct::New(definition);
    EXPECT_EQ("Person", record->GetTypeName());
    EXPECT_TRUE(record->GetFieldNames().empty());
    EXPECT_TRUE(record->HasStructureDefinition());
    EXPECT_EQ(definition, record->GetStructureDefinition());
    EXPECT_FALSE(record->MatchesStructureDefinition());

    // The definition is locked now.
    EXPECT_THROW_MSG(definition->SetField("Extra", 1),
                     "Unable to set new field Extra on structure. Structure has been locked");

    record->SetField("Name", "Ann");
    record->SetField("Age", "not a number"); // kinds are checked on comparison, not on set
    record->SetField("Tags", std::vector<std::string>{"x"});
    EXPECT_FALSE(record->MatchesStructureDefinition());
    record->SetField("Age", 41);
    EXPECT_TRUE(record->MatchesStructureDefinition());

    const std::string before = State(*record);
    EXPECT_THROW_MSG(record->SetField("Email", "a@b"),
                     "Unable to set new field Email on structure.  The field does not match the Structure "
                     "definition for this MetaStruct.");
    EXPECT_EQ(before, State(*record));

    // The record's own lock is independent of the definition's.
    record->RemoveField("Tags");
    EXPECT_FALSE(record->MatchesStructureDefinition());
    record->LockStructure();
    // On a locked record the lock is reported first, even for a name the definition lacks.
    EXPECT_THROW_MSG(record->SetField("Email", "a@b"),
                     "Unable to set new field Email on structure. Structure has been locked");

    EXPECT_THROW(MetaStruct::New(std::shared_ptr<MetaStruct>()), Corvane::CorvaneException);
}

TEST(MetaStructTest, ComparisonMessagesInOrder) {
    auto expectA = MetaStruct::New("A");
    expectA->SetField("x", 1);
    auto candidateB = MetaStruct::New("B");
    candidateB->SetField("x", 2);
    Messages messages;
    EXPECT_TRUE(Compare(expectA, candidateB, messages));
    EXPECT_EQ(Messages{"Type names do not match."}, messages);

    // Extra candidate field: caught by the count alone.
    auto bigger = MetaStruct::New("A");
    bigger->SetField("x", 1);
    bigger->SetField("y", 1);
    messages.clear();
    EXPECT_FALSE(Compare(expectA, bigger, messages));
    EXPECT_EQ(Messages{"Mismatch on number of fields set in struct. Expected 1 found 2"}, messages);

    // Missing field: count message, then the missing name.
    messages.clear();
    EXPECT_FALSE(Compare(bigger, candidateB, messages));
    EXPECT_EQ((Messages{"Type names do not match.",
                        "Mismatch on number of fields set in struct. Expected 2 found 1",
                        "Missing field in input: y"}),
              messages);

    // Same count, different names: the first missing one in name order stops the walk.
    auto other = MetaStruct::New("A");
    other->SetField("a", 1);
    other->SetField("z", 1);
    messages.clear();
    EXPECT_FALSE(Compare(bigger, other, messages));
    EXPECT_EQ(Messages{"Missing field in input: x"}, messages);

    // Kind difference on a scalar field.
    auto textX = MetaStruct::New("A");
    textX->SetField("x", "1");
    messages.clear();
    EXPECT_FALSE(Compare(expectA, textX, messages));
    EXPECT_EQ(Messages{"Type mismatch on field: x"}, messages);

    // Candidates that are not records.
    messages.clear();
    EXPECT_FALSE(Compare(expectA, MetaInt::New(1), messages));
    EXPECT_FALSE(Compare(expectA, MetaList::New(MetaType::Int), messages));
    EXPECT_FALSE(Compare(expectA, nullptr, messages));
    EXPECT_EQ((Messages{"Type Mismatch in MetaStruct Validation: Expected type Struct got type Int",
                        "Type Mismatch in MetaStruct Validation: Expected type Struct got type List",
                        "Invalid NULL input to MetaStruct validation."}),
              messages);

    auto emptyA = MetaStruct::New("A");
    messages.clear();
    EXPECT_TRUE(Compare(emptyA, MetaStruct::New("A"), messages));
    EXPECT_TRUE(messages.empty());
}

TEST(MetaStructTest, NestedComparisonMessages) {
    auto makeOuter = [](const char* outerName, const char* innerName, bool withY, bool tagsAsInts) {
        auto inner = MetaStruct::New(innerName);
        inner->SetField("x", 1);
        if (withY) {
            inner->SetField("y", 2);
        }
        auto outer = MetaStruct::New(outerName);
        outer->SetField("inner", inner);
        outer->SetField("name", "n");
        if (tagsAsInts) {
            outer->SetField("tags", std::vector<long>{1});
        } else {
            outer->SetField("tags", std::vector<std::string>{"t"});
        }
        return outer;
    };
    Messages messages;
    EXPECT_TRUE(Compare(makeOuter("Outer", "Inner", true, false), makeOuter("Outer", "Inner", true, false),
                        messages));
    EXPECT_TRUE(messages.empty());

    EXPECT_FALSE(Compare(makeOuter("Outer", "Inner", true, false), makeOuter("Other", "Inner2", false, false),
                         messages));
    EXPECT_EQ((Messages{"Type names do not match.", "Type names do not match.",
                        "Mismatch on number of fields set in struct. Expected 2 found 1",
                        "Missing field in input: y", "Type mismatch on field: inner"}),
              messages);

    // A nested list of another element kind.
    messages.clear();
    EXPECT_FALSE(
        Compare(makeOuter("Outer", "Inner", true, false), makeOuter("Outer", "Inner", true, true), messages));
    EXPECT_EQ((Messages{"Mismatch on list type", "Type mismatch on field: tags"}), messages);

    // Two levels deep: the field names come innermost first.
    auto deep = [](const char* leafValue) {
        auto leaf = MetaStruct::New("Leaf");
        leaf->SetField("v", leafValue);
        auto middle = MetaStruct::New("Middle");
        middle->SetField("leaf", leaf);
        auto top = MetaStruct::New("Top");
        top->SetField("middle", middle);
        return top;
    };
    auto numericLeaf = MetaStruct::New("Leaf");
    numericLeaf->SetField("v", 3);
    auto middle = MetaStruct::New("Middle");
    middle->SetField("leaf", numericLeaf);
    auto top = MetaStruct::New("Top");
    top->SetField("middle", middle);
    messages.clear();
    EXPECT_FALSE(Compare(deep("s"), top, messages));
    EXPECT_EQ((Messages{"Type mismatch on field: v", "Type mismatch on field: leaf",
                        "Type mismatch on field: middle"}),
              messages);
}

TEST(MetaStructTest, TextForm) {
    EXPECT_EQ("{}", MetaStruct::New("E")->ToString());

    auto record = MetaStruct::New("T");
    record->SetField("b", "x");
    record->SetField("a", 1);
    EXPECT_EQ("{'a' => '1', 'b' => 'x', }", record->ToString());

    auto inner = MetaStruct::New("I");
    inner->SetField("k", true);
    auto outer = MetaStruct::New("O");
    outer->SetField("s", inner);
    outer->SetField("l", std::vector<std::string>{"a", "b"});
    outer->SetField("q", "it's");
    EXPECT_EQ("{'l' => 'a, b', 'q' => 'it's', 's' => '{'k' => 'true', }', }", outer->ToString());

    std::ostringstream out;
    out << *record;
    EXPECT_EQ(record->ToString(), out.str());
}
