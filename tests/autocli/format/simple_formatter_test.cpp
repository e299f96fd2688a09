// Tests of SimpleFormatter: whole outputs for scalars, structures, lists, nesting and parameters.
#include <corvane/format.h>

#include <corvane/callspec.h>
#include <corvane/metaobj.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

using namespace Corvane::AutoCli;
using namespace Corvane::MetaObj;
using Corvane::CallSpec::Output;

namespace {

std::shared_ptr<MetaStruct> Pet(long age, const std::string& name) {
    auto pet = MetaStruct::New("Pet");
    pet->SetField("Age", age);
    pet->SetField("Name", name);
    return pet;
}

std::shared_ptr<MetaList> PetList() {
    auto list = MetaList::New(MetaType::Struct, Pet(0, ""));
    list->Add(Pet(3, "Rex"));
    list->Add(Pet(5, "Max"));
    return list;
}

std::shared_ptr<MetaStruct> Host() {
    auto addr = MetaStruct::New("Addr");
    addr->SetField("City", "X");
    auto host = MetaStruct::New("Host");
    host->SetField("Addr", addr);
    host->SetField("Name", "h1");
    host->SetField("Tags", std::vector<std::string>{"a", "b"});
    return host;
}

template <typename T> std::string Print(const std::shared_ptr<T>& root, FormatParameters params = {}) {
    auto output = Output::New();
    output->SetRootObject(root);
    DisplayContext context;
    std::ostringstream out;
    SimpleFormatter formatter;
    EXPECT_TRUE(formatter.Format(output, params, context, out));
    return out.str();
}

FormatParameters Params(std::initializer_list<std::pair<const char*, const char*>> entries) {
    FormatParameters params;
    for (const auto& entry : entries) {
        params.SetParameter(entry.first, entry.second);
    }
    return params;
}

} // namespace

TEST(SimpleFormatterTest, DeclaresItsNameAndParameters) {
    auto formatter = SimpleFormatter::New();
    EXPECT_EQ("simple", formatter->GetName());
    EXPECT_EQ(
        "Print a representation of any item to the screen. This can be any type, but this formatter excels "
        "at printing structs and lists of structs.",
        formatter->GetDescription());
    const auto& params = formatter->GetParams();
    ASSERT_EQ(5u, params.size());
    const char* names[] = {"header:<TypeName>", "fields:<TypeName>", "units:<TypeName>.<FieldName>",
                           "printf:<TypeName>.<FieldName>", "align-fields"};
    for (std::size_t i = 0; i < params.size(); ++i) {
        EXPECT_EQ(names[i], params[i].name);
        EXPECT_FALSE(params[i].marked);
    }
    EXPECT_EQ(
        "When printing a struct use the given 'units' value as a suffix for a given field.  For example "
        "specifying \"units:ScsiDeviceList:Size\" = \"Mb\" would append the string 'Mb' to the end of a "
        "field",
        params[2].description);
}

TEST(SimpleFormatterTest, ScalarsAndScalarListsPrintWhereTheCursorStands) {
    EXPECT_EQ("42\n", Print(MetaInt::New(42)));
    EXPECT_EQ("-3\n", Print(MetaInt::New(-3)));
    EXPECT_EQ("true\n", Print(MetaBool::New(true)));
    EXPECT_EQ("false\n", Print(MetaBool::New(false)));
    EXPECT_EQ("two words\n", Print(MetaString::New("two words")));

    auto strings = MetaList::New(MetaType::String);
    EXPECT_EQ("\n", Print(strings));
    strings->Add("a");
    strings->Add("b");
    EXPECT_EQ("a, b\n", Print(strings));
}

TEST(SimpleFormatterTest, TopLevelListOfStructures) {
    EXPECT_EQ("\n"
              "Pet:\n"
              "   Age: 3\n"
              "   Name: Rex\n"
              "\n"
              "Pet:\n"
              "   Age: 5\n"
              "   Name: Max\n"
              "\n",
              Print(PetList()));
    EXPECT_EQ("\n", Print(MetaList::New(MetaType::Struct, Pet(0, ""))));
    // An empty structure list without a definition prints the same.
    EXPECT_EQ("\n", Print(MetaList::New(MetaType::Struct, std::shared_ptr<MetaStruct>())));
}

TEST(SimpleFormatterTest, NestedStructuresAndListFields) {
    EXPECT_EQ("Host:\n"
              "   Addr: \n"
              "      Addr:\n"
              "         City: X\n"
              "   Name: h1\n"
              "   Tags: a, b\n",
              Print(Host()));

    auto owner = MetaStruct::New("Owner");
    owner->SetField("Name", "o");
    owner->SetField("Pets", PetList());
    owner->SetField("Empty", MetaList::New(MetaType::Struct, Pet(0, "")));
    owner->SetField("Numbers", std::vector<long>{});
    EXPECT_EQ("Owner:\n"
              "   Empty: \n"
              "   Name: o\n"
              "   Numbers: \n"
              "   Pets: \n"
              "         Pet:\n"
              "            Age: 3\n"
              "            Name: Rex\n"
              "\n"
              "         Pet:\n"
              "            Age: 5\n"
              "            Name: Max\n"
              "\n",
              Print(owner));

    // A structure inside an element of a top-level list.
    auto hosts = MetaList::New(MetaType::Struct, Host());
    hosts->Add(Host());
    EXPECT_EQ("\n"
              "Host:\n"
              "   Addr: \n"
              "      Addr:\n"
              "         City: X\n"
              "   Name: h1\n"
              "   Tags: a, b\n"
              "\n",
              Print(hosts));
}

TEST(SimpleFormatterTest, HeadersWithFieldSubstitutionAndNone) {
    EXPECT_EQ("   Age: 3\n   Name: Rex\n", Print(Pet(3, "Rex"), Params({{"header:Pet", "<NONE>"}})));
    EXPECT_EQ("Pet Rex:\n   Age: 3\n   Name: Rex\n",
              Print(Pet(3, "Rex"), Params({{"header:Pet", "Pet %Name%"}})));
    EXPECT_EQ("Pet %Nope%:\n   Age: 3\n   Name: Rex\n",
              Print(Pet(3, "Rex"), Params({{"header:Pet", "Pet %Nope%"}})));
    // Only the last %...% pair is substituted, every occurrence of it.
    EXPECT_EQ("%Age% Rex/Rex:\n   Age: 3\n   Name: Rex\n",
              Print(Pet(3, "Rex"), Params({{"header:Pet", "%Age% %Name%/%Name%"}})));
    EXPECT_EQ("Rex the pet:\n   Age: 3\n   Name: Rex\n",
              Print(Pet(3, "Rex"), Params({{"header:Pet", "%Name% the pet"}})));
    // The captured name runs to the last '%' that still leaves one after it: "Age%" is no field.
    EXPECT_EQ("Aged %Age%%:\n   Age: 3\n   Name: Rex\n",
              Print(Pet(3, "Rex"), Params({{"header:Pet", "Aged %Age%%"}})));
    EXPECT_EQ("My pet:\n   Age: 3\n   Name: Rex\n", Print(Pet(3, "Rex"), Params({{"header:Pet", "My pet"}})));
    // The substitution is the plain text form, without printf or units.
    EXPECT_EQ(
        "Pet 3:\n   Age: 003 y\n   Name: Rex\n",
        Print(Pet(3, "Rex"),
              Params({{"header:Pet", "Pet %Age%"}, {"printf:Pet.Age", "%03ld"}, {"units:Pet.Age", "y"}})));
    // A header for another type leaves this one alone; nested headers keep their indent.
    EXPECT_EQ("Host:\n   Addr: \n      Town:\n         City: X\n   Name: h1\n   Tags: a, b\n",
              Print(Host(), Params({{"header:Addr", "Town"}, {"header:Pet", "<NONE>"}})));
}

TEST(SimpleFormatterTest, FieldListsChooseAndOrderFields) {
    EXPECT_EQ("Pet:\n   Name: Rex\n   Age: 3\n", Print(Pet(3, "Rex"), Params({{"fields:Pet", "Name,Age"}})));
    // A missing field stops that structure only; the next element still prints.
    EXPECT_EQ("\n"
              "Pet:\n"
              "   Age: 3\n"
              "Error getting field Bogus\n"
              "\n"
              "Pet:\n"
              "   Age: 5\n"
              "Error getting field Bogus\n"
              "\n",
              Print(PetList(), Params({{"fields:Pet", "Age,Bogus,Name"}})));
    // "fields" applies to every type without its own key, nested ones included.
    EXPECT_EQ("Host:\n   Name: h1\n   Addr: \n      Addr:\nError getting field Name\n",
              Print(Host(), Params({{"fields", "Name,Addr"}})));
    EXPECT_EQ("Host:\n   Name: h1\n   Addr: \n      Addr:\n         City: X\n",
              Print(Host(), Params({{"fields", "Name,Addr"}, {"fields:Addr", "City"}})));
    // An empty field list prints only the header.
    EXPECT_EQ("Pet:\n", Print(Pet(3, "Rex"), Params({{"fields:Pet", ""}})));
}

TEST(SimpleFormatterTest, AlignmentUnitsAndPrintf) {
    auto disk = MetaStruct::New("Disk");
    disk->SetField("Name", "x");
    disk->SetField("Capacity", "y");
    EXPECT_EQ("Disk:\n   Capacity: y\n   Name    : x\n", Print(disk, Params({{"align-fields", "true"}})));
    EXPECT_EQ("Disk:\n   Capacity: y\n   Name: x\n", Print(disk, Params({{"align-fields", "True"}})));
    // Names the structure lacks count for the width too.
    EXPECT_EQ("Disk:\n   Name       : x\nError getting field MissingName\n",
              Print(disk, Params({{"align-fields", "true"}, {"fields:Disk", "Name,MissingName"}})));

    disk->SetField("Size", 512);
    EXPECT_EQ("Disk:\n   Capacity: y\n   Name: x\n   Size:   512 MB\n",
              Print(disk, Params({{"printf:Disk.Size", "%5ld"}, {"units:Disk.Size", "MB"}})));
    EXPECT_EQ("Disk:\n   Capacity: y\n   Name: x\n   Size: Error while handling formatting parameter "
              "printf:Disk.Size.  Unable to format field: Value too large for defined data type\n",
              Print(disk, Params({{"printf:Disk.Size", "%2147483648d"}})));
}

TEST(SimpleFormatterTest, InlineErrorsForMissingValues) {
    SimpleFormatter formatter;
    FormatParameters params;
    std::ostringstream out;
    formatter.FormatStruct(nullptr, params, out, 2);
    formatter.FormatList(nullptr, params, out, 0);
    formatter.Format(std::shared_ptr<MetaObject>(), params, out, 0);
    EXPECT_EQ("Error reading a struct from output.\nError reading a List\n", out.str());

    // Printing carries on after an inline error.
    std::ostringstream direct;
    formatter.FormatStruct(Pet(1, "A"), params, direct, 1);
    EXPECT_EQ("   Pet:\n      Age: 1\n      Name: A\n", direct.str());
}
