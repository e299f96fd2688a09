// Tests of the "python" formatter: exact text, and the text evaluated by a real Python interpreter.
#include <corvane/callspec.h>
#include <corvane/format.h>
#include <corvane/metaobj.h>

#include "test_support.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using Corvane::AutoCli::DisplayContext;
using Corvane::AutoCli::FormatParameters;
using Corvane::AutoCli::PythonFormatter;
using Corvane::CallSpec::Output;
using namespace Corvane::MetaObj;

namespace {

std::string FormatRoot(const std::shared_ptr<MetaObject>& root) {
    auto output = Output::New();
    output->SetRootObject(root);
    FormatParameters params;
    DisplayContext context;
    std::ostringstream out;
    EXPECT_TRUE(PythonFormatter::New()->Format(output, params, context, out));
    return out.str();
}

// Evaluates each text (read as UTF-8) with python3's eval() and compares the value with the paired
// Python expression. One interpreter checks all pairs. Returns Python's report, empty when every pair
// matches.
std::string CheckWithPythonEval(const std::vector<std::pair<std::string, std::string>>& pairs) {
    CorvaneTest::TempDir dir;
    std::string command =
        "python3 " + dir.WriteFile("check.py",
                                   "import sys\n"
                                   "args = sys.argv[1:]\n"
                                   "for value, expected in zip(args[0::2], args[1::2]):\n"
                                   "    got = eval(open(value, 'rb').read().decode('utf-8'))\n"
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

class Impostor : public MetaObject {
public:
    explicit Impostor(MetaType type) : MetaObject(type) {}
    std::string ToString() const override { return "impostor"; }
};

} // namespace

TEST(PythonFormatter, Declaration) {
    auto formatter = PythonFormatter::New();
    EXPECT_EQ("python", formatter->GetName());
    EXPECT_EQ("Print the output as Python syntax suitable for eval().", formatter->GetDescription());
    EXPECT_TRUE(formatter->GetParams().empty());
}

TEST(PythonFormatter, ExactText) {
    EXPECT_EQ("42\n", FormatRoot(MetaInt::New(42)));
    EXPECT_EQ("-7\n", FormatRoot(MetaInt::New(-7)));
    EXPECT_EQ("True\n", FormatRoot(MetaBool::New(true)));
    EXPECT_EQ("False\n", FormatRoot(MetaBool::New(false)));
    EXPECT_EQ("\"\"\"He said \\\"hi\\\"\\n\"\"\"\n", FormatRoot(MetaString::New("He said \"hi\"\n")));
    EXPECT_EQ("\"\"\"ab\\\"\"\"\"\n", FormatRoot(MetaString::New("ab\"")));
    EXPECT_EQ("\"\"\"a\\b\tc\xc3\xa9\r\"\"\"\n", FormatRoot(MetaString::New("a\\b\tc\xc3\xa9\r")));
    EXPECT_EQ("\"\"\"\"\"\"\n", FormatRoot(MetaString::New()));

    auto bob = MetaStruct::New("Person");
    bob->SetField("Size", 10);
    bob->SetField("Name", "Bob");
    EXPECT_EQ("{\"Name\": \"\"\"Bob\"\"\", \"Size\": 10, }\n", FormatRoot(bob));

    auto flags = MetaList::New(MetaType::Bool);
    flags->Add(true);
    flags->Add(false);
    EXPECT_EQ("[True, False, ]\n", FormatRoot(flags));
    EXPECT_EQ("{}\n", FormatRoot(MetaStruct::New("Empty")));
    EXPECT_EQ("[]\n", FormatRoot(MetaList::New(MetaType::Int)));

    auto disk = MetaStruct::New("Disk");
    disk->SetField("Size", 1);
    auto disks = MetaList::New(MetaType::Struct, disk);
    disks->Add(disk);
    auto host = MetaStruct::New("Host");
    host->SetField("Disks", disks);
    EXPECT_EQ("{\"Disks\": [{\"Size\": 1, }, ], }\n", FormatRoot(host));
}

TEST(PythonFormatter, EvaluatedByPython) {
    auto labels = MetaList::New(MetaType::String);
    labels->Add("tab\tquote\" newline\n end\"");
    labels->Add("\xc3\xa9t\xc3\xa9 \xe2\x82\xac");
    labels->Add("'single' and \x01\x1f control");
    labels->Add("");
    auto part = MetaStruct::New("Part");
    part->SetField("Index", -1);
    part->SetField("Flags", std::vector<bool>{true, false});
    auto disk = MetaStruct::New("Disk");
    disk->SetField("Big", 1234567890123L);
    disk->SetField("Labels", labels);
    disk->SetField("Mounted", false);
    disk->SetField("Part", part);
    disk->SetField("Empty", MetaStruct::New("None"));
    disk->SetField("NoItems", MetaList::New(MetaType::String));
    auto disks = MetaList::New(MetaType::Struct, disk);
    disks->Add(disk);
    disks->Add(disk);
    auto root = MetaStruct::New("Result");
    root->SetField("Disks", disks);
    root->SetField("Count", 2);

    const std::string labelsValue = "['tab\\tquote\" newline\\n end\"', '\\u00e9t\\u00e9 \\u20ac', "
                                    "\"'single' and \\x01\\x1f control\", '']";
    const std::string diskValue = "{'Big': 1234567890123, 'Empty': {}, 'Labels': " + labelsValue +
                                  ", 'Mounted': False, 'NoItems': [], 'Part': {'Flags': [True, False], "
                                  "'Index': -1}}";
    const std::string text = FormatRoot(root);
    EXPECT_EQ(1u, std::count(text.begin(), text.end(), '\n'));
    EXPECT_EQ("", CheckWithPythonEval({
                      {text, "{'Count': 2, 'Disks': [" + diskValue + ", " + diskValue + "]}"},
                      {FormatRoot(MetaInt::New(-9223372036854775807L - 1)), "-2**63"},
                      {FormatRoot(MetaString::New("ends in quote\"")), "'ends in quote\"'"},
                  }));
}

TEST(PythonFormatter, NullAndForeignValues) {
    auto formatter = PythonFormatter::New();
    auto output = Output::New();
    FormatParameters params;
    DisplayContext context;
    std::ostringstream none;
    EXPECT_THROW_MSG(formatter->Format(output, params, context, none),
                     "Invalid MetaObject passed to Format in PythonFormatter");
    EXPECT_EQ("", none.str());

    std::ostringstream out;
    formatter->Format(std::make_shared<Impostor>(MetaType::Bool), out, 2);
    formatter->Format(std::make_shared<Impostor>(MetaType::Int), out, 2);
    formatter->Format(std::make_shared<Impostor>(MetaType::String), out, 2);
    formatter->Format(std::make_shared<Impostor>(MetaType::Struct), out, 2);
    formatter->Format(std::make_shared<Impostor>(MetaType::List), out, 2);
    formatter->Format(std::make_shared<Impostor>(static_cast<MetaType>(9)), out, 2);
    EXPECT_EQ("Error reading a bool\nError reading a int\nError reading a string\n"
              "Error reading a struct from output.\nError reading a List\nUnknown data type\n",
              out.str());
}

TEST(PythonFormatter, IsAllAscii) {
    EXPECT_TRUE(PythonFormatter::IsAllAscii(""));
    EXPECT_TRUE(PythonFormatter::IsAllAscii(std::string("a\0\x7f~", 4)));
    EXPECT_FALSE(PythonFormatter::IsAllAscii("caf\xc3"));
    EXPECT_FALSE(PythonFormatter::IsAllAscii("\x80"));
    EXPECT_FALSE(PythonFormatter::IsAllAscii("\xff and more"));
}
