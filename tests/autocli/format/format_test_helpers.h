// Helpers shared by the formatter tests: one formatter call on a root value, parameter lists, a nested
// result and a table of strings in many scripts, checked by a real python3.
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

// The xml document of a call without format parameters, around the value's element lines.
inline std::string XmlDocument(const std::string& elements) {
    return "<?xml version=\"1.0\"?>\n<output "
           "xmlns:varnok=\"http://corvane.invalid/Products/Tarnos/5.0/varnok\">\n"
           "   <meta-data>\n   </meta-data>\n   <root>\n" +
           elements + "   </root>\n</output>\n";
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

// Strings in many scripts, emoji (a zero-width-joiner sequence and a flag), the ends of the code point
// ranges, every control byte, backslashes and quotes, and bytes that are not valid UTF-8.
inline std::vector<std::string> UnicodeTable() {
    std::string controls(32, '\0');
    for (size_t i = 0; i < controls.size(); ++i) {
        controls[i] = static_cast<char>(i);
    }
    // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): the first string is split where an escape ends
    return {"Gr\xc3\xbc\xc3\x9f"
            "e \xe2\x82\xac",
            "\xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba\xce\xac "
            "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82",
            "\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d \xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7 "
            "\xe0\xa4\xa8\xe0\xa4\xae\xe0\xa4\xb8\xe0\xa5\x8d\xe0\xa4\xa4\xe0\xa5\x87",
            "\xe0\xb8\xaa\xe0\xb8\xa7\xe0\xb8\xb1\xe0\xb8\xaa\xe0\xb8\x94\xe0\xb8\xb5 "
            "\xe6\xbc\xa2\xe5\xad\x97\xe3\x81\x8b\xe3\x81\xaa \xed\x95\x9c\xea\xb5\xad\xec\x96\xb4",
            "\xf0\x9f\x98\x80 \xf0\x9f\x91\xa8\xe2\x80\x8d\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x91\xa7 "
            "\xf0\x9f\x87\xab\xf0\x9f\x87\xb7",
            "\xc2\x80 \xc2\x9f \xe2\x80\xa8 \xef\xbb\xbf \xef\xbf\xbf \xf0\x90\x80\x80 \xf4\x8f\xbf\xbf",
            controls + "\x7f",
            "C:\\new\\table \"q\" \"\"\" 'single' /slash\\",
            "\xff \xc3 \xe2\x82"
            "A \xed\xa0\x80 \xc0\xaf \xf4\x90\x80\x80 \xc3\xa9\xa9 \x80",
            "\xe2\x82",
            ""};
}

// The strings of `values` as one Python list expression for CheckWithPython: text('HEX') there is the
// string the reader makes of the bytes HEX.
inline std::string PythonTexts(const std::vector<std::string>& values) {
    static const char kHex[] = "0123456789abcdef";
    std::string list = "[";
    for (const std::string& value : values) {
        list += "text('";
        for (const char c : value) {
            list += kHex[static_cast<unsigned char>(c) >> 4];
            list += kHex[c & 0x0f];
        }
        list += "'), ";
    }
    return list + "]";
}

// Reads each text with python3 and compares the value with the paired Python expression. `reader`
// "json": json.loads of ASCII text, where a byte outside valid UTF-8 reads as the character of its
// number; "eval": eval of UTF-8 text, where it reads as its surrogate escape. Returns the complaints,
// empty when all match.
inline std::string CheckWithPython(const std::string& reader,
                                   const std::vector<std::pair<std::string, std::string>>& pairs) {
    CorvaneTest::TempDir dir;
    std::string command = "python3 '" CORVANE_TEST_DATA_DIR "/format/check_values.py' " + reader;
    for (size_t i = 0; i < pairs.size(); ++i) {
        command += " " + dir.WriteFile("value" + std::to_string(i), pairs[i].first) + " " +
                   dir.WriteFile("want" + std::to_string(i), pairs[i].second);
    }
    const int status = std::system((command + " >" + dir.Path() + "/report 2>&1").c_str());
    return CorvaneTest::ReadFile(dir.Path() + "/report") + (status == 0 ? "" : "python3 failed");
}
