// Tests of SimpleFormatter: structure headers, and formats that do not fit in place of the value;
// whole outputs with field lists and alignment are compared by the varnok end-to-end tests.
#include "format_test_helpers.h"

static std::shared_ptr<MetaStruct> Pet(long age, const std::string& name) {
    auto pet = MetaStruct::New("Pet");
    pet->SetField("Age", age);
    pet->SetField("Name", name);
    return pet;
}

static std::shared_ptr<MetaStruct> Host() {
    auto host = Struct("Host", {{"Name", "h1"}});
    host->SetField("Addr", Struct("Addr", {{"City", "X"}}));
    host->SetField("Tags", std::vector<std::string>{"a", "b"});
    return host;
}

// `ok` is what the formatter must answer: false when it wrote a problem in place of a value.
static std::string Print(const std::shared_ptr<MetaObject>& root, FormatParameters params = {},
                         bool ok = true) {
    return Text(*SimpleFormatter::New(), root, std::move(params), 0, ok);
}

TEST(SimpleFormatterTest, HeaderSubstitutionAndNone) {
    const std::pair<const char*, const char*> headers[] = {
        {"<NONE>", ""},
        {"Pet %Name%", "Pet Rex:\n"},
        {"Pet %Nope%", "Pet %Nope%:\n"},
        // Only the last %...% pair is substituted, every occurrence of it; "Age%" is no field.
        {"%Age% %Name%/%Name%", "%Age% Rex/Rex:\n"},
        {"Aged %Age%%", "Aged %Age%%:\n"},
        {"%%Name%", "%Rex:\n"}};
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
    // A format that does not fit the value is reported in its place, the structure goes on, and the
    // call answers false.
    EXPECT_EQ(
        "Pet:\n   Age: Error while handling formatting parameter printf:Pet.Age.  Unable to format field: "
        "the format does not fit an integer value\n   Name: Rex\n",
        Print(Pet(3, "Rex"), Params({{"printf:Pet.Age", "%s"}, {"units:Pet.Age", "y"}}), false));
    EXPECT_EQ("Host:\n   Addr: \n      Town:\n         City: X\n   Name: h1\n   Tags: a, b\n",
              Print(Host(), Params({{"header:Addr", "Town"}})));
}
