// Tests of the "json" formatter: exact layout and escaping, and its text read back by Python's json module.
#include <corvane/callspec.h>
#include <corvane/format.h>
#include <corvane/metaobj.h>

#include "test_support.h"

#include <sys/wait.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using Corvane::AutoCli::DisplayContext;
using Corvane::AutoCli::FormatParameters;
using Corvane::AutoCli::JsonFormatter;
using Corvane::CallSpec::Output;
using namespace Corvane::MetaObj;

namespace {

std::string FormatRoot(const std::shared_ptr<MetaObject>& root) {
    auto output = Output::New();
    output->SetRootObject(root);
    FormatParameters params;
    DisplayContext context;
    std::ostringstream out;
    EXPECT_TRUE(JsonFormatter::New()->Format(output, params, context, out));
    return out.str();
}

// Reads each text with Python's json module (strict: raw control characters in strings are refused)
// and compares the result with the paired Python expression. One interpreter checks all pairs.
// Returns Python's report, empty when every pair matches.
std::string CheckWithPythonJson(const std::vector<std::pair<std::string, std::string>>& pairs) {
    CorvaneTest::TempDir dir;
    std::string command =
        "python3 " + dir.WriteFile("check.py",
                                   "import json, sys\n"
                                   "args = sys.argv[1:]\n"
                                   "for value, expected in zip(args[0::2], args[1::2]):\n"
                                   "    got = json.loads(open(value, 'rb').read().decode('ascii'))\n"
                                   "    want = eval(open(expected, encoding='utf-8').read())\n"
                                   "    if got != want:\n"
                                   "        print(value, 'got', repr(got), 'expected', repr(want))\n");
    for (size_t i = 0; i < pairs.size(); ++i) {
        command += " " + dir.WriteFile("value" + std::to_string(i), pairs[i].first) + " " +
                   dir.WriteFile("expected" + std::to_string(i), pairs[i].second);
    }
    command += " 2>&1";
    std::string report;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return "popen failed";
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        report.append(buffer, n);
    }
    const int status = pclose(pipe);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        report += "python3 failed";
    }
    return report;
}

// A value that claims a kind its class does not have, as only a foreign implementation could make.
class Impostor : public MetaObject {
public:
    explicit Impostor(MetaType type) : MetaObject(type) {}
    std::string ToString() const override { return "impostor"; }
};

std::shared_ptr<MetaStruct> Pet(const std::string& name) {
    auto pet = MetaStruct::New("Pet");
    pet->SetField("Name", name);
    return pet;
}

std::string AllControlBytes() {
    std::string text;
    for (int byte = 0; byte < 0x20; ++byte) {
        text += static_cast<char>(byte);
    }
    return text;
}

} // namespace

TEST(JsonFormatter, Declaration) {
    auto formatter = JsonFormatter::New();
    EXPECT_EQ("json", formatter->GetName());
    EXPECT_EQ("Print the output as JSON.", formatter->GetDescription());
    EXPECT_TRUE(formatter->GetParams().empty());
}

TEST(JsonFormatter, Scalars) {
    EXPECT_EQ("42\n", FormatRoot(MetaInt::New(42)));
    EXPECT_EQ("-9223372036854775808\n", FormatRoot(MetaInt::New(-9223372036854775807L - 1)));
    EXPECT_EQ("true\n", FormatRoot(MetaBool::New(true)));
    EXPECT_EQ("false\n", FormatRoot(MetaBool::New(false)));
    EXPECT_EQ("\"a\\\"b\\/c\"\n", FormatRoot(MetaString::New("a\"b/c")));
    EXPECT_EQ("\"\"\n", FormatRoot(MetaString::New()));
}

TEST(JsonFormatter, StringEscaping) {
    EXPECT_EQ("\"\\t\\n\\u0001\"\n", FormatRoot(MetaString::New("\t\n\x01")));
    EXPECT_EQ("\"\\u007f\\u00ff\\u00c3\\u00a9 ~\"\n", FormatRoot(MetaString::New("\x7f\xff\xc3\xa9 ~")));
    EXPECT_EQ(
        "\"\\u0000\\u0001\\u0002\\u0003\\u0004\\u0005\\u0006\\u0007\\b\\t\\n\\u000b\\f\\r\\u000e\\u000f"
        "\\u0010\\u0011\\u0012\\u0013\\u0014\\u0015\\u0016\\u0017\\u0018\\u0019\\u001a\\u001b\\u001c\\u001d"
        "\\u001e\\u001f\"\n",
        FormatRoot(MetaString::New(AllControlBytes())));
    EXPECT_EQ("\"back\\\\slash\"\n", FormatRoot(MetaString::New("back\\slash")));
}

TEST(JsonFormatter, StructuresAndLists) {
    auto bob = MetaStruct::New("Person");
    bob->SetField("Name", "Bob");
    bob->SetField("Tags", std::vector<long>{1, 2});
    EXPECT_EQ("\n{\n   \"Name\": \"Bob\",\n   \"Tags\": \n   [\n   1, \n   2\n   ]\n}\n", FormatRoot(bob));

    auto pets = MetaList::New(MetaType::Struct, Pet("Rex"));
    pets->Add(Pet("Rex"));
    pets->Add(Pet("Max"));
    EXPECT_EQ("\n[\n\n      {\n         \"Name\": \"Rex\"\n      }, \n\n      {\n         \"Name\": \"Max\"\n"
              "      }\n]\n",
              FormatRoot(pets));

    auto outer = MetaStruct::New("Outer");
    auto inner = MetaStruct::New("Inner");
    inner->SetField("b", true);
    outer->SetField("In", inner);
    outer->SetField("a", 1);
    EXPECT_EQ("\n{\n   \"In\": \n   {\n      \"b\": true\n   },\n   \"a\": 1\n}\n", FormatRoot(outer));

    EXPECT_EQ("\n{\n}\n", FormatRoot(MetaStruct::New("Empty")));
    EXPECT_EQ("\n[\n]\n", FormatRoot(MetaList::New(MetaType::String)));
}

TEST(JsonFormatter, ReadBackByPython) {
    auto text = MetaList::New(MetaType::String);
    text->Add(AllControlBytes());
    text->Add("quote \" backslash \\ slash / tilde ~ del \x7f");
    text->Add("\xc3\xa9t\xc3\xa9 \xff");
    text->Add("");

    auto disk = MetaStruct::New("Disk");
    disk->SetField("Size", 10L);
    disk->SetField("Big", 1234567890123L);
    disk->SetField("Mounted", false);
    disk->SetField("Labels", text);
    auto inner = MetaStruct::New("Part");
    inner->SetField("Index", -1);
    inner->SetField("Flags", std::vector<bool>{true, false});
    disk->SetField("Part", inner);
    auto none = MetaStruct::New("None");
    disk->SetField("Empty", none);
    disk->SetField("NoItems", MetaList::New(MetaType::Int));
    auto disks = MetaList::New(MetaType::Struct, disk);
    disks->Add(disk);
    disks->Add(disk);
    auto root = MetaStruct::New("Result");
    root->SetField("Disks", disks);
    root->SetField("Count", 2);

    const std::string control = "''.join(chr(c) for c in range(32))";
    const std::string labels = "[" + control +
                               ", 'quote \" backslash \\\\ slash / tilde ~ del \\x7f', "
                               "'\\u00c3\\u00a9t\\u00c3\\u00a9 \\u00ff', '']";
    const std::string diskValue = "{'Big': 1234567890123, 'Empty': {}, 'Labels': " + labels +
                                  ", 'Mounted': False, 'NoItems': [], 'Part': {'Flags': [True, False], "
                                  "'Index': -1}, 'Size': 10}";
    EXPECT_EQ("", CheckWithPythonJson({
                      {FormatRoot(root), "{'Count': 2, 'Disks': [" + diskValue + ", " + diskValue + "]}"},
                      {FormatRoot(text), labels},
                      {FormatRoot(MetaInt::New(-5)), "-5"},
                      {FormatRoot(MetaBool::New(true)), "True"},
                  }));
}

TEST(JsonFormatter, ValuesOfAForeignClass) {
    std::ostringstream out;
    auto formatter = JsonFormatter::New();
    formatter->Format(std::make_shared<Impostor>(MetaType::Bool), out, 0);
    formatter->Format(std::make_shared<Impostor>(MetaType::Int), out, 0);
    formatter->Format(std::make_shared<Impostor>(MetaType::String), out, 0);
    formatter->Format(std::make_shared<Impostor>(MetaType::Struct), out, 0);
    formatter->Format(std::make_shared<Impostor>(MetaType::List), out, 0);
    formatter->Format(std::make_shared<Impostor>(static_cast<MetaType>(7)), out, 0);
    EXPECT_EQ("Error reading a bool\nError reading a int\nError reading a string\n"
              "Error reading a struct from output.\nError reading a List\nUnknown data type\n",
              out.str());

    // A value on its own ends without a newline: the enclosing structure or list finishes the line.
    auto list = MetaList::New(MetaType::Int);
    list->Add(3);
    std::ostringstream member;
    formatter->Format(list, member, 1);
    EXPECT_EQ("\n   [\n   3\n   ]", member.str());
}
