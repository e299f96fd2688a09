// Helpers shared by the formatter tests: one formatter call on a root value, parameter lists, and a
// nested result checked by a real python3.
#pragma once

#include <corvane/callspec.h>
#include <corvane/format.h>
#include <corvane/metaobj.h>

#include "test_support.h"

#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace Corvane::AutoCli;
using namespace Corvane::MetaObj;

// The text `formatter` prints for `root` at terminal width `width`; `ok` is the result it must report.
inline std::string Text(Formatter& formatter, const std::shared_ptr<MetaObject>& root,
                        FormatParameters params = {}, uint16_t width = 0, bool ok = true) {
    auto output = Corvane::CallSpec::Output::New();
    output->SetRootObject(root);
    DisplayContext context;
    context.width = width;
    std::ostringstream out;
    EXPECT_EQ(ok, formatter.Format(output, params, context, out));
    return out.str();
}

// A structure of type `type` with the given string fields.
inline std::shared_ptr<MetaStruct> Struct(const char* type,
                                          std::initializer_list<std::pair<const char*, const char*>> fields) {
    auto value = MetaStruct::New(type);
    for (const auto& field : fields) {
        value->SetField(field.first, field.second);
    }
    return value;
}

inline FormatParameters Params(std::initializer_list<std::pair<const char*, const char*>> entries) {
    FormatParameters params;
    for (const auto& entry : entries) {
        params.SetParameter(entry.first, entry.second);
    }
    return params;
}

// Result{Count: 2, Disks: [d, d]} with d = Disk{Big, Empty, Flags, Labels: labels, NoItems}, and its
// value as a Python expression given that of the labels.
inline std::shared_ptr<MetaStruct> NestedResult(const std::shared_ptr<MetaList>& labels) {
    auto disk = MetaStruct::New("Disk");
    disk->SetField("Big", -1234567890123L);
    disk->SetField("Empty", MetaStruct::New("None"));
    disk->SetField("Flags", std::vector<bool>{true, false});
    disk->SetField("Labels", labels);
    disk->SetField("NoItems", MetaList::New(MetaType::Int));
    auto disks = MetaList::New(MetaType::Struct, disk);
    disks->Add(disk);
    disks->Add(disk);
    auto root = Struct("Result", {});
    root->SetField("Disks", disks);
    root->SetField("Count", 2);
    return root;
}
inline std::string NestedResultValue(const std::string& labels) {
    const std::string disk =
        "{'Big': -1234567890123, 'Empty': {}, 'Flags': [True, False], 'Labels': " + labels +
        ", 'NoItems': []}";
    return "{'Count': 2, 'Disks': [" + disk + ", " + disk + "]}";
}

// Reads each text with python3 (`reader` "json": json.loads of ASCII text; "eval": eval of UTF-8 text)
// and compares the value with the paired Python expression. Returns the complaints, empty when all match.
inline std::string CheckWithPython(const std::string& reader,
                                   const std::vector<std::pair<std::string, std::string>>& pairs) {
    CorvaneTest::TempDir dir;
    std::string command = "python3 " + dir.WriteFile("check.py", R"(import json, sys
for value, want in zip(sys.argv[2::2], sys.argv[3::2]):
    raw, want = open(value, 'rb').read(), eval(open(want, encoding='utf-8').read())
    got = json.loads(raw.decode('ascii')) if sys.argv[1] == 'json' else eval(raw.decode('utf-8'))
    if got != want: print(value, repr(got), '!=', repr(want))
)") + " " + reader;
    for (size_t i = 0; i < pairs.size(); ++i) {
        command += " " + dir.WriteFile("value" + std::to_string(i), pairs[i].first) + " " +
                   dir.WriteFile("want" + std::to_string(i), pairs[i].second);
    }
    const int status = std::system((command + " >" + dir.Path() + "/report 2>&1").c_str());
    return CorvaneTest::ReadFile(dir.Path() + "/report") + (status == 0 ? "" : "python3 failed");
}
