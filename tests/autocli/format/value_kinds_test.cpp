// Tests of what the formatters print for a value whose object does not match its kind, and for a kind
// they do not know: one line in place of the value, and printing goes on after it.
#include "format_test_helpers.h"

namespace {

// A value that claims a kind without being of that kind's class.
class Impostor final : public MetaObject {
public:
    explicit Impostor(MetaType kind) : MetaObject(kind) {}
    std::string ToString() const override { return "impostor"; }
};

std::shared_ptr<MetaObject> Claiming(int kind) {
    return std::make_shared<Impostor>(static_cast<MetaType>(kind));
}

} // namespace

TEST(ValueKinds, MismatchedAndUnknownKinds) {
    struct Case {
        int kind;
        const char* text; // the line json, python and simple print in place of the value
        const char* xml;  // the line the xml formatter prints
    };
    const Case cases[] = {
        {1, "Error reading a bool", "<!-- Error reading a bool -->"},
        {0, "Error reading a int", "Error reading a int"},
        {2, "Error reading a string", "Error reading a string"},
        {3, "Error reading a struct from output.", "Error reading a struct from output."},
        {4, "Error reading a List", "Error reading a List"},
        {9, "Unknown data type", "Error Only simple int, bool, string and struct output supported"},
    };
    FormatParameters withPrintf = Params({{"printf:T.F", "%d"}}), withUnits = Params({{"units:T.F", "u"}});
    for (const auto& c : cases) {
        const std::string line = std::string(c.text) + "\n";
        EXPECT_EQ(line + "\n", Text(*JsonFormatter::New(), Claiming(c.kind))) << c.kind;
        EXPECT_EQ(line + "\n", Text(*PythonFormatter::New(), Claiming(c.kind))) << c.kind;
        EXPECT_EQ(c.kind == 9 ? "" : line, Text(*SimpleFormatter::New(), Claiming(c.kind))) << c.kind;
        EXPECT_EQ(XmlDocument("      " + std::string(c.xml) + "\n"),
                  Text(*XmlFormatter::New(), Claiming(c.kind)))
            << c.kind;
        // A printf format is applied only to values of their kind's class.
        EXPECT_EQ("", AutoCli_FormatField("T", "F", Claiming(c.kind), withPrintf));
        EXPECT_EQ("impostor u", AutoCli_FormatField("T", "F", Claiming(c.kind), withUnits));
    }

    // The rest of the value is still printed after the line.
    auto record = MetaStruct::New("T");
    record->SetField("A", Claiming(0));
    record->SetField("B", Claiming(4));
    record->SetField("C", 1);
    EXPECT_EQ("\n{\n   \"A\": Error reading a int\n,\n   \"B\": Error reading a List\n,\n   \"C\": 1\n}\n",
              Text(*JsonFormatter::New(), record));
    EXPECT_EQ("{\"A\": Error reading a int\n, \"B\": Error reading a List\n, \"C\": 1, }\n",
              Text(*PythonFormatter::New(), record));
    EXPECT_EQ("T:\n   A: impostor\n   B: Error reading a List\n   C: 1\n",
              Text(*SimpleFormatter::New(), record));
    EXPECT_EQ(XmlDocument("      <structure typeName=\"T\">\n         <field name=\"A\">\n"
                          "            Error reading a int\n         </field>\n         <field name=\"B\">\n"
                          "            Error reading a List\n         </field>\n         <field name=\"C\">\n"
                          "            <integer>1</integer>\n         </field>\n      </structure>\n"),
              Text(*XmlFormatter::New(), record));
}
