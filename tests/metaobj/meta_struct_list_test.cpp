// Tests of MetaStruct and MetaList: names, order, setters, locks, definitions, checked insertion, comparison.
#include <corvane/metaobj.h>

#include "test_support.h"

#include <numeric>
#include <utility>

using namespace Corvane::MetaObj;

namespace {

using Fields = std::vector<std::pair<std::string, std::shared_ptr<MetaObject>>>;

std::shared_ptr<MetaStruct> Rec(const char* typeName, const Fields& fields) {
    auto record = MetaStruct::New(typeName);
    for (const auto& field : fields) {
        record->SetField(field.first, field.second);
    }
    return record;
}

// The whole observable state: text, then each field's kind and documentation.
std::string State(const MetaStruct& record) {
    std::string state = record.GetTypeName() + " " + record.ToString();
    for (const auto& name : record.GetFieldNames()) {
        const std::string& doc = record.GetFieldDocumentation(name);
        state += " " + MetaTypeString(record.GetFieldType(name)) +
                 (doc == "Documentation missing" ? "" : "(" + doc + ")");
    }
    return state;
}

// A Name/Value record; Pair("", 0) holds the shared empty values and serves as a list definition.
std::shared_ptr<MetaStruct> Pair(const char* name, long value, const char* typeName = "Pair") {
    return Rec(typeName, {{"Name", MetaString::New(name)}, {"Value", MetaInt::New(value)}});
}

const std::string kWrongKind = "Invalid type specificed in MetaList.  Expected object of type ";
const std::string kInvalid = "Invalid structure detected by MetaList::Add.  Type Errors were: ";

} // namespace

TEST(MetaStructTest, TypeNameRule) {
    for (const std::string invalid : {"", "My_Struct", "a-b", "a b", "a.b", "ab\n", "\nab", "\xc3\xa9t"}) {
        EXPECT_THROW_MSG(MetaStruct::New(invalid), "Invalid name specified for MetaStruct: " + invalid);
    }
    EXPECT_FALSE(IsValidStructName(std::string("a\0b", 3))); // the whole name, not up to a NUL
}

TEST(MetaStructTest, FailuresLeaveTheRecordUnchanged) {
    auto record = MetaStruct::New("Rec");
    record->SetField(std::string("a"), MetaInt::New(1), "first");
    EXPECT_THROW_MSG(record->SetField(std::string("a"), std::shared_ptr<MetaObject>(), "doc"),
                     "Invalid NULL value was assigned to the field a in the structure Rec");
    EXPECT_THROW_MSG(record->GetFieldDocumentation("nope"), "Field nope is not present in the structure Rec");
    try {
        record->GetFieldType("nope");
        ADD_FAILURE() << "GetFieldType did not throw";
    } catch (int code) {
        EXPECT_EQ(1, code);
    }
    EXPECT_EQ("Rec {'a' => '1', } Int(first)", State(*record));

    record->LockStructure();
    EXPECT_THROW_MSG(record->SetField("b", std::shared_ptr<MetaList>()), // reported before the lock
                     "Invalid NULL value was assigned to the field b in the structure Rec");
    const std::string lockMessage = "Unable to set new field b on structure. Structure has been locked";
    EXPECT_THROW_MSG(record->SetField("b", 2), lockMessage);
    EXPECT_THROW_MSG(record->RemoveField("a"), "Structure is locked, unable to remove fields");
    record->SetField("a", "changed"); // the lock forbids new fields, not new values, kinds or documentation
    EXPECT_EQ("Rec {'a' => 'changed', } String", State(*record));
}

TEST(MetaStructTest, RecordsFromADefinition) {
    auto definition = Rec("Person", {{"Name", MetaString::New()}, {"Age", MetaInt::New()}});
    auto record = MetaStruct::New(definition);
    EXPECT_EQ("Person {}", State(*record));
    EXPECT_FALSE(record->MatchesStructureDefinition());
    EXPECT_THROW_MSG(definition->SetField("Extra", 1),
                     "Unable to set new field Extra on structure. Structure has been locked");
    record->SetField("Name", "Ann");
    record->SetField("Age", "not a number"); // kinds are checked on comparison, not on set
    EXPECT_FALSE(record->MatchesStructureDefinition());
    record->SetField("Age", 41);
    EXPECT_TRUE(record->MatchesStructureDefinition());
    EXPECT_THROW_MSG(record->SetField("Email", "a@b"),
                     "Unable to set new field Email on structure.  The field does not match the Structure "
                     "definition for this MetaStruct.");
    record->RemoveField("Age"); // the record's own lock is independent of the definition's
    record->RemoveField("never-there");
    EXPECT_EQ("Person {'Name' => 'Ann', } String", State(*record));
    record->LockStructure(); // and is reported first
    EXPECT_THROW_MSG(record->SetField("Email", "a@b"),
                     "Unable to set new field Email on structure. Structure has been locked");
    EXPECT_THROW(MetaStruct::New(std::shared_ptr<MetaStruct>()), Corvane::CorvaneException);
}

TEST(MetaListTest, StructureListsLockTheirDefinitionAndCheckItems) {
    EXPECT_THROW_MSG(MetaList::New(MetaType::Struct), "Integer, boolean or string type expected for list.");
    auto definition = Pair("", 0);
    EXPECT_THROW_MSG(MetaList::New(MetaType::Int, definition), "Struct type expected for list.");
    auto list = MetaList::New(MetaType::Struct, std::shared_ptr<MetaObject>(definition));
    definition->SetField("Value", 7); // locked: values may change, fields may not come or go
    EXPECT_THROW_MSG(definition->SetField("Extra", "x"),
                     "Unable to set new field Extra on structure. Structure has been locked");
    list->Add(Pair("a", 1));
    list->Add(Pair("b", 2, "Renamed")); // another type name is reported but accepted
    auto extra = Pair("d", 4);
    extra->SetField("Extra", true);
    const std::string count = "Mismatch on number of fields set in struct. Expected 2 found ";
    const std::string noMatch = "There was an error adding an item to this list.  The item being added did "
                                "not match the declared structure of this list, so it was not added.";
    EXPECT_THROW_MSG(list->Add(Rec("Pair", {{"Name", MetaString::New("c")}})),
                     kInvalid + "(3) : " + count + "1, Missing field in input: Value, " + noMatch);
    EXPECT_THROW_MSG(list->Add(extra), kInvalid + "(2) : " + count + "3, " + noMatch);
    EXPECT_THROW_MSG(
        list->Add(Rec("Other", {{"Name", MetaString::New()}, {"Value", MetaList::New(MetaType::Int)}})),
        kInvalid + "(3) : Type names do not match., Type mismatch on field: Value, " + noMatch);
    EXPECT_THROW_MSG(list->Add(5), kWrongKind + "Struct got object of type Int");
    EXPECT_THROW_MSG(list->Add(std::shared_ptr<MetaStruct>()), "Null object passed to Add");
    EXPECT_EQ("{'Name' => 'a', 'Value' => '1', }, {'Name' => 'b', 'Value' => '2', }", list->ToString());

    std::vector<std::string> messages; // Validate reports the same way without throwing
    EXPECT_FALSE(list->Validate(nullptr, &messages));
    EXPECT_FALSE(list->Validate(MetaInt::New(1), &messages));
    EXPECT_TRUE(list->Validate(Pair("a", 1, "Else"), &messages));
    EXPECT_EQ(
        (std::vector<std::string>{"Invalid NULL input",
                                  "There was an error adding an item to this list.  The item being added "
                                  "was not the correct type for this list, so it was not added.",
                                  "Type names do not match."}),
        messages);

    auto fromEmpty = MetaList::New(MetaType::Struct, std::shared_ptr<MetaStruct>());
    auto fromNonStruct = MetaList::New(MetaType::Struct, std::shared_ptr<MetaObject>(MetaString::New("x")));
    EXPECT_EQ(nullptr, fromNonStruct->GetListStructure());
    for (const auto& empty : {fromEmpty, fromNonStruct}) {
        EXPECT_THROW_MSG(empty->Add(Pair("a", 1)),
                         kInvalid +
                             "(1) : List created with NULL structure.  No items can be added to this list.");
        EXPECT_EQ(0u, empty->GetCount());
    }
}

TEST(MetaObjectTest, ComparisonResultsAndMessagesInOrder) {
    std::shared_ptr<MetaObject> one = MetaInt::New(1), text = MetaString::New("t"), yes = MetaBool::New(true);
    const Fields x{{"x", one}}, xy{{"x", one}, {"y", one}};
    auto ints = MetaList::New(MetaType::Int), strings = MetaList::New(MetaType::String);
    ints->AddAll(std::vector<long>{1, 2, 3}); // items are never compared
    auto pairs = MetaList::New(MetaType::Struct, Rec("P", {{"n", text}, {"v", one}}));
    auto others = MetaList::New(MetaType::Struct, Rec("P", {{"n", text}, {"v", yes}}));
    auto undeclared = MetaList::New(MetaType::Struct, std::shared_ptr<MetaStruct>());
    const std::string count = "Mismatch on number of fields set in struct. Expected ";
    const std::string names = "Type names do not match.|";
    struct {
        std::shared_ptr<MetaObject> expectation, candidate;
        bool same;
        std::string messages; // joined by "|"
    } cases[] = {
        {yes, MetaBool::New(false), true, ""}, // scalars compare kinds only
        {Rec("A", x), Rec("B", x), true, names},
        {Rec("A", x), Rec("B", {{"x", text}}), false, names + "Type mismatch on field: x|"},
        {Rec("A", x), Rec("A", xy), false, count + "1 found 2|"},
        {Rec("A", xy), Rec("A", x), false, count + "2 found 1|Missing field in input: y|"},
        {Rec("A", xy), Rec("A", {{"a", one}, {"z", one}}), false, "Missing field in input: x|"},
        {Rec("A", {}), one, false,
         "Type Mismatch in MetaStruct Validation: Expected type Struct got type Int|"},
        {Rec("A", {}), nullptr, false, "Invalid NULL input to MetaStruct validation.|"},
        {Rec("O", {{"o", Rec("I", {{"i", Rec("I", xy)}})}}),
         Rec("P", {{"o", Rec("I", {{"i", Rec("J", x)}})}}), false,
         names + names + count +
             "2 found 1|Missing field in input: y|Type mismatch on field: i|Type mismatch on field: o|"},
        {Rec("O", {{"l", strings}}), Rec("O", {{"l", ints}}), false,
         "Mismatch on list type|Type mismatch on field: l|"},
        {MetaList::New(MetaType::Int), ints, true, ""},
        {ints, Rec("S", {}), false, "Type mismatch!  Was expecting a List, but got a Struct|"},
        {ints, nullptr, false, "Mismatch on structure, NULL comparison|"},
        {pairs, others, false, "Type mismatch on field: v|List type mismatch list and input|"},
        {pairs, undeclared, true, ""}, // without a definition on one side any structure list matches
        {undeclared, ints, false, "Mismatch on list type|"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        std::vector<std::string> messages;
        EXPECT_EQ(c.same, c.expectation->IsSameStructure(c.candidate, nullptr));
        EXPECT_EQ(c.same, c.expectation->IsSameStructure(c.candidate, &messages));
        EXPECT_EQ(c.messages, std::accumulate(messages.begin(), messages.end(), std::string(),
                                              [](std::string all, const std::string& m) {
                                                  return std::move(all) + m + "|";
                                              }));
    }
}

// The fields as GetFields() walks them: "name=value" in order, then the count it reports.
std::string Walk(const MetaStruct& record) {
    std::string text;
    for (const auto& [name, field] : record.GetFields()) {
        text += name + "=" + field.value->ToString() +
                (field.documentation.empty() ? "" : "(" + field.documentation + ")") + " ";
    }
    return text + std::to_string(record.GetFields().size());
}

TEST(MetaStructTest, GetFieldsWalksNameOrderAndFindsByName) {
    auto record =
        Rec("Rec", {{"b", MetaInt::New(2)}, {"a", MetaString::New("x")}, {"c", MetaBool::New(true)}});
    record->SetField(std::string("a"), MetaString::New("y"), "doc");
    EXPECT_EQ("a=y(doc) b=2 c=true 3", Walk(*record));
    const auto fields = record->GetFields();
    EXPECT_FALSE(fields.empty());
    EXPECT_EQ(1U, fields.count("b"));
    EXPECT_EQ(0U, fields.count("d"));
    EXPECT_EQ("2", fields.find("b")->second.value->ToString());
    EXPECT_EQ("b", fields.find("b")->first);
    EXPECT_TRUE(fields.find("d") == fields.end());
    record->RemoveField("b"); // a gap in the middle is passed over, by the walk and by find
    EXPECT_EQ("a=y(doc) c=true 2", Walk(*record));
    EXPECT_TRUE(record->GetFields().find("b") == record->GetFields().end());
    EXPECT_FALSE(record->HasField("b"));
    EXPECT_EQ(nullptr, record->GetField("b"));
    EXPECT_EQ((std::vector<std::string>{"a", "c"}), record->GetFieldNames());
    record->SetField("b", 5); // and the name can hold a field again
    EXPECT_EQ("a=y(doc) b=5 c=true 3", Walk(*record));
    EXPECT_EQ("Rec {'a' => 'y', 'b' => '5', 'c' => 'true', } String(doc) Int Bool", State(*record));
}

TEST(MetaStructTest, RecordsLikeAModelChangeIndependently) {
    auto model = Pair("m", 1);
    auto like = MetaStruct::NewLike("Other", *model);
    EXPECT_EQ("Other {}", State(*like));
    EXPECT_EQ("0", Walk(*like));
    EXPECT_TRUE(like->GetFields().empty());
    EXPECT_FALSE(like->HasStructureDefinition());
    EXPECT_THROW_MSG(MetaStruct::NewLike("a b", *model), "Invalid name specified for MetaStruct: a b");
    like->SetField("Value", 2);
    EXPECT_EQ("Other {'Value' => '2', } Int", State(*like));
    like->SetField(std::string("Name"), MetaString::New("n"), "the name");
    like->SetField("Extra", true); // a name the model lacks
    like->RemoveField("Value");
    EXPECT_EQ("Other {'Extra' => 'true', 'Name' => 'n', } Bool String(the name)", State(*like));
    EXPECT_EQ("Pair {'Name' => 'm', 'Value' => '1', } String Int", State(*model));
    model->SetField("Zeta", 3); // and the model's new names stay its own
    EXPECT_EQ("Other {'Extra' => 'true', 'Name' => 'n', } Bool String(the name)", State(*like));
    EXPECT_EQ("Pair {'Name' => 'm', 'Value' => '1', 'Zeta' => '3', } String Int Int", State(*model));
    like->LockStructure();
    EXPECT_THROW_MSG(like->SetField("Value", 1),
                     "Unable to set new field Value on structure. Structure has been locked");
}

TEST(MetaListTest, ItemsLikeTheDefinitionAreCheckedAsAnyOther) {
    auto definition = Pair("", 0);
    auto list = MetaList::New(MetaType::Struct, definition);
    auto item = MetaStruct::NewLike("Pair", *definition);
    item->SetField("Name", "a");
    const std::string noMatch = "There was an error adding an item to this list.  The item being added did "
                                "not match the declared structure of this list, so it was not added.";
    EXPECT_THROW_MSG(list->Add(item), kInvalid +
                                          "(3) : Mismatch on number of fields set in struct. Expected 2 "
                                          "found 1, Missing field in input: Value, " +
                                          noMatch);
    item->SetField("Value", "not a number");
    EXPECT_THROW_MSG(list->Add(item), kInvalid + "(2) : Type mismatch on field: Value, " + noMatch);
    item->SetField("Value", 1);
    list->Add(item);
    auto wider = MetaStruct::NewLike("Pair", *definition);
    wider->SetField("Name", "b");
    wider->SetField("Value", 2);
    wider->SetField("More", 3);
    EXPECT_THROW_MSG(list->Add(wider), kInvalid +
                                           "(2) : Mismatch on number of fields set in struct. Expected 2 "
                                           "found 3, " +
                                           noMatch);
    EXPECT_EQ("{'Name' => 'a', 'Value' => '1', }", list->ToString());
    // The definition compares the same with records of its own names and with records of their own.
    EXPECT_TRUE(definition->IsSameStructure(item, nullptr));
    EXPECT_TRUE(item->IsSameStructure(Pair("c", 3), nullptr));
    EXPECT_FALSE(wider->IsSameStructure(item, nullptr));
}
