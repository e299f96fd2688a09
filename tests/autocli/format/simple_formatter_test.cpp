// Tests of SimpleFormatter: whole outputs for scalars, structures, lists, nesting and parameters.
#include "format_test_helpers.h"

static std::shared_ptr<MetaStruct> Pet(long age, const std::string& name) {
    auto pet = MetaStruct::New("Pet");
    pet->SetField("Age", age);
    pet->SetField("Name", name);
    return pet;
}

static std::shared_ptr<MetaList> PetList() {
    auto list = MetaList::New(MetaType::Struct, Pet(0, ""));
    list->Add(Pet(3, "Rex"));
    list->Add(Pet(5, "Max"));
    return list;
}

static std::shared_ptr<MetaStruct> Host() {
    auto host = Struct("Host", {{"Name", "h1"}});
    host->SetField("Addr", Struct("Addr", {{"City", "X"}}));
    host->SetField("Tags", std::vector<std::string>{"a", "b"});
    return host;
}

static std::string Print(const std::shared_ptr<MetaObject>& root, FormatParameters params = {}) {
    return Text(*SimpleFormatter::New(), root, std::move(params));
}

TEST(SimpleFormatterTest, ScalarsListsAndNesting) {
    EXPECT_EQ("-3\n", Print(MetaInt::New(-3)));
    EXPECT_EQ("false\n", Print(MetaBool::New(false)));
    auto strings = MetaList::New(MetaType::String);
    EXPECT_EQ("\n", Print(strings));
    strings->Add("a");
    strings->Add("b");
    EXPECT_EQ("a, b\n", Print(strings));
    EXPECT_EQ("\nPet:\n   Age: 3\n   Name: Rex\n\nPet:\n   Age: 5\n   Name: Max\n\n", Print(PetList()));
    EXPECT_EQ("\n", Print(MetaList::New(MetaType::Struct, std::shared_ptr<MetaStruct>())));

    auto owner = Host();
    owner->SetField("Pets", PetList());
    owner->SetField("Empty", MetaList::New(MetaType::Struct, Pet(0, "")));
    EXPECT_EQ("Host:\n   Addr: \n      Addr:\n         City: X\n   Empty: \n   Name: h1\n   Pets: \n"
              "         Pet:\n            Age: 3\n            Name: Rex\n\n"
              "         Pet:\n            Age: 5\n            Name: Max\n\n"
              "   Tags: a, b\n",
              Print(owner));
}

TEST(SimpleFormatterTest, HeaderSubstitutionAndNone) {
    const std::pair<const char*, const char*> headers[] = {
        {"<NONE>", ""},
        {"Pet %Name%", "Pet Rex:\n"},
        {"Pet %Nope%", "Pet %Nope%:\n"},
        // Only the last %...% pair is substituted, every occurrence of it; "Age%" is no field.
        {"%Age% %Name%/%Name%", "%Age% Rex/Rex:\n"},
        {"Aged %Age%%", "Aged %Age%%:\n"}};
    for (const auto& header : headers) {
        EXPECT_EQ(std::string(header.second) + "   Age: 3\n   Name: Rex\n",
                  Print(Pet(3, "Rex"), Params({{"header:Pet", header.first}})))
            << header.first;
    }
    // The substitution is the plain text, without printf or units; nested headers keep their indent.
    EXPECT_EQ(
        "Pet 3:\n   Age: 003 y\n   Name: Rex\n",
        Print(Pet(3, "Rex"),
              Params({{"header:Pet", "Pet %Age%"}, {"printf:Pet.Age", "%03ld"}, {"units:Pet.Age", "y"}})));
    // A format that does not fit the value is reported in its place, and the structure goes on.
    EXPECT_EQ(
        "Pet:\n   Age: Error while handling formatting parameter printf:Pet.Age.  Unable to format field: "
        "the format does not fit an integer value\n   Name: Rex\n",
        Print(Pet(3, "Rex"), Params({{"printf:Pet.Age", "%s"}, {"units:Pet.Age", "y"}})));
    EXPECT_EQ("Host:\n   Addr: \n      Town:\n         City: X\n   Name: h1\n   Tags: a, b\n",
              Print(Host(), Params({{"header:Addr", "Town"}})));
}

TEST(SimpleFormatterTest, FieldListsAndAlignment) {
    EXPECT_EQ("Pet:\n   Name: Rex\n   Age: 3\n", Print(Pet(3, "Rex"), Params({{"fields:Pet", "Name,Age"}})));
    // A missing field ends that structure only; the next element still prints.
    EXPECT_EQ(
        "\nPet:\n   Age: 3\nError getting field Bogus\n\nPet:\n   Age: 5\nError getting field Bogus\n\n",
        Print(PetList(), Params({{"fields:Pet", "Age,Bogus,Name"}})));
    // "fields" applies to every type without its own key, nested ones included.
    EXPECT_EQ("Host:\n   Name: h1\n   Addr: \n      Addr:\nError getting field Name\n",
              Print(Host(), Params({{"fields", "Name,Addr"}})));
    EXPECT_EQ("Host:\n   Name: h1\n   Addr: \n      Addr:\n         City: X\n",
              Print(Host(), Params({{"fields", "Name,Addr"}, {"fields:Addr", "City"}})));

    EXPECT_EQ("Pet:\n   Age : 3\n   Name: Rex\n", Print(Pet(3, "Rex"), Params({{"align-fields", "true"}})));
    EXPECT_EQ("Pet:\n   Age: 3\n   Name: Rex\n", Print(Pet(3, "Rex"), Params({{"align-fields", "True"}})));
    // Names the structure lacks count for the width too.
    EXPECT_EQ("Pet:\n   Name       : Rex\nError getting field MissingName\n",
              Print(Pet(3, "Rex"), Params({{"align-fields", "true"}, {"fields:Pet", "Name,MissingName"}})));
}
