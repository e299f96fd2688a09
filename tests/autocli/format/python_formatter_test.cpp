// Tests of the "python" formatter: exact text, and the text evaluated by a real Python interpreter.
#include "format_test_helpers.h"

#include <algorithm>

static std::string Py(const std::shared_ptr<MetaObject>& root) {
    return Text(*PythonFormatter::New(), root);
}

TEST(PythonFormatter, ExactText) {
    EXPECT_EQ("-7\n", Py(MetaInt::New(-7)));
    EXPECT_EQ("\"\"\"He said \\\"hi\\\"\\n\"\"\"\n", Py(MetaString::New("He said \"hi\"\n")));
    EXPECT_EQ("\"\"\"ab\\\"\"\"\"\n", Py(MetaString::New("ab\"")));
    // Backslash, carriage return, the other control bytes and DEL are escaped, valid UTF-8 is not, and
    // a byte outside valid UTF-8 becomes its surrogate escape.
    EXPECT_EQ("\"\"\"C:\\\\new\\\\ \\x09\\x00\\x1f\\x7f\\r\xc3\xa9\\udcc3\\udcff\"\"\"\n",
              Py(MetaString::New(std::string("C:\\new\\ \t\0\x1f\x7f\r\xc3\xa9\xc3\xff", 17))));
    EXPECT_EQ("{}\n", Py(MetaStruct::New("Empty")));
    EXPECT_EQ("[]\n", Py(MetaList::New(MetaType::Int)));

    EXPECT_THROW_MSG(Py(nullptr), "Invalid MetaObject passed to Format in PythonFormatter");
}

TEST(PythonFormatter, EvaluatedByPython) {
    auto labels = MetaList::New(MetaType::String);
    for (const std::string& text : UnicodeTable()) {
        labels->Add(text);
    }
    const std::string text = Py(NestedResult(labels));
    EXPECT_EQ(1, std::count(text.begin(), text.end(), '\n'));
    EXPECT_EQ("", CheckWithPython("eval", {{text, NestedResultValue(PythonTexts(UnicodeTable()))},
                                           {Py(MetaInt::New(-9223372036854775807L - 1)), "-2**63"},
                                           {Py(MetaBool::New(false)), "False"}}));
}
