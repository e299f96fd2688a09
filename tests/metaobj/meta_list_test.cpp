// Tests of MetaList: creation rules, checked insertion, removal, capacity, comparison and text.
#include <corvane/metaobj.h>

#include "test_support.h"

using namespace Corvane::MetaObj;

namespace {

using Messages = std::vector<std::string>;

std::shared_ptr<MetaStruct> NameValueDefinition() {
    auto definition = MetaStruct::New("Pair");
    definition->SetField("Name", MetaString::New());
    definition->SetField("Value", MetaInt::New());
    return definition;
}

std::shared_ptr<MetaStruct> Pair(const std::string& name, long value, const char* typeName = "Pair") {
    auto item = MetaStruct::New(typeName);
    item->SetField("Name", name);
    item->SetField("Value", value);
    return item;
}

} // namespace

TEST(MetaListTest, CreationRules) {
    for (MetaType kind : {MetaType::Int, MetaType::Bool, MetaType::String}) {
        auto list = MetaList::New(kind);
        EXPECT_EQ(MetaType::List, list->GetType());
        EXPECT_EQ(kind, list->GetListType());
        EXPECT_EQ(nullptr, list->GetListStructure());
        EXPECT_EQ(0u, list->GetCount());
    }
    EXPECT_THROW_MSG(MetaList::New(MetaType::Struct), "Integer, boolean or string type expected for list.");
    EXPECT_THROW_MSG(MetaList::New(MetaType::List), "Integer, boolean or string type expected for list.");
    EXPECT_EQ(static_cast<MetaType>(9), MetaList::New(static_cast<MetaType>(9))->GetListType());

    auto definition = NameValueDefinition();
    EXPECT_THROW_MSG(MetaList::New(MetaType::Int, definition), "Struct type expected for list.");
    EXPECT_THROW_MSG(MetaList::New(MetaType::List, std::shared_ptr<MetaObject>(definition)),
                     "Struct type expected for list.");
    EXPECT_THROW_MSG(MetaList::New(MetaType::String, NameValueDefinition()),
                     "Struct type expected for list.");

    auto fromConst = MetaList::New(MetaType::Struct, definition);
    EXPECT_EQ(definition, fromConst->GetListStructure());
    auto fromObject = MetaList::New(MetaType::Struct, std::shared_ptr<MetaObject>(definition));
    EXPECT_EQ(definition, fromObject->GetListStructure());
    auto fromNonStruct = MetaList::New(MetaType::Struct, std::shared_ptr<MetaObject>(MetaInt::New(1)));
    EXPECT_EQ(nullptr, fromNonStruct->GetListStructure());
    EXPECT_EQ(MetaType::Struct, fromNonStruct->GetListType());
}

TEST(MetaListTest, StructureListLocksItsDefinition) {
    auto definition = NameValueDefinition();
    auto list = MetaList::New(MetaType::Struct, std::shared_ptr<MetaStruct>(definition));
    definition->SetField("Value", 7); // new values for existing fields stay allowed
    EXPECT_THROW_MSG(definition->SetField("Extra", "x"),
                     "Unable to set new field Extra on structure. Structure has been locked");
    EXPECT_THROW_MSG(definition->RemoveField("Name"), "Structure is locked, unable to remove fields");
}

TEST(MetaListTest, ScalarListsRefuseOtherKinds) {
    auto ints = MetaList::New(MetaType::Int);
    EXPECT_THROW_MSG(
        ints->Add("x"),
        "Invalid type specificed in MetaList.  Expected object of type Int got object of type String");
    EXPECT_THROW_MSG(
        ints->Add(true),
        "Invalid type specificed in MetaList.  Expected object of type Int got object of type Bool");
    EXPECT_THROW_MSG(
        ints->Add(MetaStruct::New("S")),
        "Invalid type specificed in MetaList.  Expected object of type Int got object of type Struct");
    EXPECT_THROW_MSG(
        ints->Add(std::shared_ptr<MetaObject>(MetaList::New(MetaType::Int))),
        "Invalid type specificed in MetaList.  Expected object of type Int got object of type List");
    EXPECT_THROW_MSG(ints->Add(std::shared_ptr<MetaObject>()), "Null object passed to Add");
    EXPECT_THROW_MSG(ints->Add(std::shared_ptr<MetaInt>()), "Null object passed to Add");
    EXPECT_THROW_MSG(
        ints->AddAll(std::vector<std::string>{"a", "b"}),
        "Invalid type specificed in MetaList.  Expected object of type Int got object of type String");
    EXPECT_EQ(0u, ints->GetCount());

    ints->Add(1);
    ints->Add(2L);
    ints->Add(MetaInt::New(-3));
    ints->Add(std::shared_ptr<MetaObject>(MetaInt::New(400)));
    ints->AddAll(std::vector<long>{5, 6});
    EXPECT_EQ("1, 2, -3, 400, 5, 6", ints->ToString());
    EXPECT_EQ(MetaInt::New(1).get(), ints->GetItem(0).get());

    auto bools = MetaList::New(MetaType::Bool);
    bools->Add(true);
    bools->Add(MetaBool::New(false));
    bools->AddAll(std::vector<bool>{false, true});
    EXPECT_EQ("true, false, false, true", bools->ToString());
    EXPECT_EQ(MetaBool::New(true).get(), (*bools)[3].get());
    EXPECT_THROW_MSG(
        bools->Add(0),
        "Invalid type specificed in MetaList.  Expected object of type Bool got object of type Int");

    auto strings = MetaList::New(MetaType::String);
    std::string movable = "moved";
    const std::string copied = "copied";
    strings->Add("literal");
    strings->Add(copied);
    strings->Add(std::move(movable));
    strings->Add(MetaString::New(""));
    std::vector<std::string> more{"p", "q"};
    strings->AddAll(more);
    strings->AddAll(std::vector<std::string>{"r"});
    EXPECT_EQ("literal, copied, moved, , p, q, r", strings->ToString());
    EXPECT_EQ(MetaString::New().get(), strings->GetItem(3).get());

    const auto countBefore = strings->GetCount();
    strings->AddAll(std::vector<std::string>{});
    strings->AddAll(std::vector<long>{}); // nothing to add, so nothing to refuse
    EXPECT_EQ(countBefore, strings->GetCount());
}

TEST(MetaListTest, StructureItemsMustMatchTheDefinition) {
    auto list = MetaList::New(MetaType::Struct, NameValueDefinition());
    list->Add(Pair("a", 1));
    list->Add(Pair("b", 2, "Renamed")); // another type name is reported but accepted
    EXPECT_EQ(2u, list->GetCount());

    auto onlyName = MetaStruct::New("Pair");
    onlyName->SetField("Name", "c");
    EXPECT_THROW_MSG(
        list->Add(onlyName),
        "Invalid structure detected by MetaList::Add.  Type Errors were: (3) : "
        "Mismatch on number of fields set in struct. Expected 2 found 1, "
        "Missing field in input: Value, "
        "There was an error adding an item to this list.  The item being added did not match the "
        "declared structure of this list, so it was not added.");

    auto extra = Pair("d", 4);
    extra->SetField("Extra", true);
    EXPECT_THROW_MSG(
        list->Add(extra),
        "Invalid structure detected by MetaList::Add.  Type Errors were: (2) : "
        "Mismatch on number of fields set in struct. Expected 2 found 3, "
        "There was an error adding an item to this list.  The item being added did not match the "
        "declared structure of this list, so it was not added.");

    auto wrongKind = MetaStruct::New("Other");
    wrongKind->SetField("Name", "e");
    wrongKind->SetField("Value", "five");
    EXPECT_THROW_MSG(
        list->Add(wrongKind),
        "Invalid structure detected by MetaList::Add.  Type Errors were: (3) : "
        "Type names do not match., Type mismatch on field: Value, "
        "There was an error adding an item to this list.  The item being added did not match the "
        "declared structure of this list, so it was not added.");

    EXPECT_THROW_MSG(
        list->Add(5),
        "Invalid type specificed in MetaList.  Expected object of type Struct got object of type Int");
    EXPECT_EQ(2u, list->GetCount());
    EXPECT_EQ("{'Name' => 'a', 'Value' => '1', }, {'Name' => 'b', 'Value' => '2', }", list->ToString());
}

TEST(MetaListTest, ListWithoutDefinitionAcceptsNoItem) {
    const std::string message =
        "Invalid structure detected by MetaList::Add.  Type Errors were: (1) : List created "
        "with NULL structure.  No items can be added to this list.";
    auto fromEmpty = MetaList::New(MetaType::Struct, std::shared_ptr<MetaStruct>());
    EXPECT_THROW_MSG(fromEmpty->Add(Pair("a", 1)), message);
    auto fromNonStruct = MetaList::New(MetaType::Struct, std::shared_ptr<MetaObject>(MetaString::New("x")));
    EXPECT_THROW_MSG(fromNonStruct->Add(MetaStruct::New("Any")), message);
    EXPECT_EQ(0u, fromEmpty->GetCount());
    EXPECT_EQ(0u, fromNonStruct->GetCount());
}

TEST(MetaListTest, NestedShapesAreChecked) {
    auto definition = MetaStruct::New("Host");
    definition->SetField("Addresses", MetaList::New(MetaType::String));
    auto point = MetaStruct::New("Point");
    point->SetField("X", 0);
    definition->SetField("Where", point);
    auto list = MetaList::New(MetaType::Struct, definition);

    auto good = MetaStruct::New(definition);
    good->SetField("Addresses", std::vector<std::string>{"10.0.0.1"});
    auto where = MetaStruct::New("Point");
    where->SetField("X", 3);
    good->SetField("Where", where);
    list->Add(good);

    auto bad = MetaStruct::New(definition);
    bad->SetField("Addresses", std::vector<long>{1});
    bad->SetField("Where", where);
    EXPECT_THROW_MSG(
        list->Add(bad),
        "Invalid structure detected by MetaList::Add.  Type Errors were: (3) : "
        "Mismatch on list type, Type mismatch on field: Addresses, "
        "There was an error adding an item to this list.  The item being added did not match the "
        "declared structure of this list, so it was not added.");
    EXPECT_EQ(1u, list->GetCount());
}

TEST(MetaListTest, ValidateReportsWithoutThrowing) {
    auto list = MetaList::New(MetaType::Struct, NameValueDefinition());
    Messages messages;
    EXPECT_FALSE(list->Validate(nullptr, &messages));
    EXPECT_FALSE(list->Validate(MetaInt::New(1), &messages));
    EXPECT_FALSE(list->Validate(MetaInt::New(1), nullptr));
    EXPECT_EQ(
        (Messages{"Invalid NULL input",
                  "There was an error adding an item to this list.  The item being added was not the correct "
                  "type for this list, so it was not added."}),
        messages);
    messages.clear();
    EXPECT_TRUE(list->Validate(Pair("a", 1, "Else"), &messages));
    EXPECT_EQ(Messages{"Type names do not match."}, messages);
    EXPECT_EQ(0u, list->GetCount());

    EXPECT_TRUE(MetaList::New(MetaType::String)->Validate(MetaString::New("s"), nullptr));
}

TEST(MetaListTest, IndexedAccessAndDelete) {
    auto list = MetaList::New(MetaType::String);
    list->AddAll(std::vector<std::string>{"a", "b", "c"});
    EXPECT_EQ("b", list->GetItem(1)->ToString());
    EXPECT_THROW_MSG(list->GetItem(3), "Get requested on invalid index of MetaList");
    EXPECT_THROW_MSG(list->Delete(3), "Delete requested on invalid index of MetaList");
    EXPECT_EQ("a, b, c", list->ToString());

    list->Delete(0);
    EXPECT_EQ(2u, list->GetCount());
    EXPECT_EQ("b", list->GetItem(0)->ToString());
    EXPECT_EQ("c", (*list)[1]->ToString());
    list->Delete(1);
    list->Delete(0);
    EXPECT_EQ("", list->ToString());
    EXPECT_THROW_MSG(list->Delete(0), "Delete requested on invalid index of MetaList");
    EXPECT_THROW_MSG(list->GetItem(0), "Get requested on invalid index of MetaList");
    EXPECT_EQ(&list->GetObjects(), &list->GetObjects());
}

TEST(MetaListTest, CapacityControl) {
    auto list = MetaList::New(MetaType::Int);
    list->Reserve(100);
    EXPECT_GE(list->GetObjects().capacity(), 100u);
    list->AddAll(std::vector<long>(10, 1));
    const auto capacity = list->GetObjects().capacity();
    list->EnsureCapacity(50); // 10 + 50 fits already
    EXPECT_EQ(capacity, list->GetObjects().capacity());
    list->EnsureCapacity(500);
    EXPECT_GE(list->GetObjects().capacity(), 510u);

    auto grown = MetaList::New(MetaType::Bool);
    grown->AddAll(std::vector<bool>(1000, true));
    EXPECT_EQ(1000u, grown->GetCount());
    EXPECT_EQ(1000u, grown->GetObjects().capacity()); // AddAll allocated the storage once
}

TEST(MetaListTest, ComparisonLooksAtDeclarationsOnly) {
    Messages messages;
    auto someInts = MetaList::New(MetaType::Int);
    someInts->AddAll(std::vector<long>{1, 2, 3});
    EXPECT_TRUE(MetaList::New(MetaType::Int)->IsSameStructure(someInts, &messages));
    EXPECT_TRUE(someInts->IsSameStructure(MetaList::New(MetaType::Int), &messages));
    EXPECT_TRUE(messages.empty());

    EXPECT_FALSE(someInts->IsSameStructure(MetaList::New(MetaType::String), &messages));
    EXPECT_FALSE(someInts->IsSameStructure(MetaStruct::New("S"), &messages));
    EXPECT_FALSE(someInts->IsSameStructure(MetaInt::New(1), &messages));
    EXPECT_FALSE(someInts->IsSameStructure(nullptr, &messages));
    EXPECT_FALSE(someInts->IsSameStructure(nullptr, nullptr));
    EXPECT_EQ((Messages{"Mismatch on list type", "Type mismatch!  Was expecting a List, but got a Struct",
                        "Type mismatch!  Was expecting a List, but got a Int",
                        "Mismatch on structure, NULL comparison"}),
              messages);

    // Structure lists compare their definitions.
    auto pairs = MetaList::New(MetaType::Struct, NameValueDefinition());
    pairs->Add(Pair("a", 1));
    messages.clear();
    EXPECT_TRUE(MetaList::New(MetaType::Struct, NameValueDefinition())->IsSameStructure(pairs, &messages));
    EXPECT_TRUE(messages.empty());

    auto otherDefinition = MetaStruct::New("Pair");
    otherDefinition->SetField("Name", MetaString::New());
    otherDefinition->SetField("Value", MetaBool::New());
    auto others = MetaList::New(MetaType::Struct, otherDefinition);
    EXPECT_FALSE(pairs->IsSameStructure(others, nullptr));
    EXPECT_FALSE(pairs->IsSameStructure(others, &messages));
    EXPECT_EQ((Messages{"Type mismatch on field: Value", "List type mismatch list and input"}), messages);

    // Without a definition on either side any structure list matches.
    auto undeclared = MetaList::New(MetaType::Struct, std::shared_ptr<MetaStruct>());
    messages.clear();
    EXPECT_TRUE(pairs->IsSameStructure(undeclared, &messages));
    EXPECT_TRUE(undeclared->IsSameStructure(others, &messages));
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(undeclared->IsSameStructure(someInts, &messages));
    EXPECT_EQ(Messages{"Mismatch on list type"}, messages);
}

TEST(MetaListTest, LargeStructureListsBuildAndFormat) {
    auto definition = NameValueDefinition();
    auto list = MetaList::New(MetaType::Struct, definition);
    const unsigned count = 100000;
    list->Reserve(count);
    for (unsigned index = 0; index < count; ++index) {
        auto item = MetaStruct::New(definition);
        item->SetField("Name", "n");
        item->SetField("Value", static_cast<long>(index));
        list->Add(item);
    }
    ASSERT_EQ(count, list->GetCount());
    const std::string text = list->ToString();
    EXPECT_EQ(0u, text.rfind("{'Name' => 'n', 'Value' => '0', }, {'Name' => 'n', 'Value' => '1', }", 0));
    const std::string tail = "{'Name' => 'n', 'Value' => '99999', }";
    EXPECT_EQ(text.size() - tail.size(), text.rfind(tail));
}
