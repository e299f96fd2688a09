// Tests of the "json" formatter: exact layout and escaping, and its text read back by Python's json module.
#include "format_test_helpers.h"

#include <numeric>

static std::string Json(const std::shared_ptr<MetaObject>& root) {
    return Text(*JsonFormatter::New(), root);
}

static std::string ControlBytes() {
    std::string text(32, '\0');
    std::iota(text.begin(), text.end(), '\0');
    return text;
}

TEST(JsonFormatter, ExactLayoutAndEscaping) {
    EXPECT_EQ("-9223372036854775808\n", Json(MetaInt::New(-9223372036854775807L - 1)));
    EXPECT_EQ("true\n", Json(MetaBool::New(true)));
    EXPECT_EQ("\"a\\\"b\\/c back\\\\slash\"\n", Json(MetaString::New("a\"b/c back\\slash")));
    // Characters outside printable ASCII by code point (a surrogate pair above U+FFFF), lower-case hex;
    // a byte outside valid UTF-8 by its own number.
    EXPECT_EQ("\"Gr\\u00fc\\u00dfe \\u20ac \\ud83d\\ude00 \\udbff\\udfff\"\n",
              Json(MetaString::New("Gr\xc3\xbc\xc3\x9f"
                                   "e \xe2\x82\xac \xf0\x9f\x98\x80 \xf4\x8f\xbf\xbf")));
    EXPECT_EQ("\"\\u007f\\u00ff\\u00e9 \\u00e2\\u0082~ \\u00ed\\u00a0\\u0080 \\u00c3\"\n",
              Json(MetaString::New("\x7f\xff\xc3\xa9 \xe2\x82~ \xed\xa0\x80 \xc3")));
    EXPECT_EQ(
        "\"\\u0000\\u0001\\u0002\\u0003\\u0004\\u0005\\u0006\\u0007\\b\\t\\n\\u000b\\f\\r\\u000e\\u000f"
        "\\u0010\\u0011\\u0012\\u0013\\u0014\\u0015\\u0016\\u0017\\u0018\\u0019\\u001a\\u001b\\u001c\\u001d"
        "\\u001e\\u001f\"\n",
        Json(MetaString::New(ControlBytes())));

    auto pet = Struct("Pet", {{"Name", "Rex"}});
    auto pets = MetaList::New(MetaType::Struct, pet);
    pets->Add(pet);
    pets->Add(pet);
    EXPECT_EQ("\n[\n\n      {\n         \"Name\": \"Rex\"\n      }, \n"
              "\n      {\n         \"Name\": \"Rex\"\n      }\n]\n",
              Json(pets));
    EXPECT_EQ("\n[\n]\n", Json(MetaList::New(MetaType::String)));
}

TEST(JsonFormatter, ReadBackByPython) {
    auto labels = MetaList::New(MetaType::String);
    for (const std::string& text : UnicodeTable()) {
        labels->Add(text);
    }
    EXPECT_EQ("", CheckWithPython(
                      "json", {{Json(NestedResult(labels)), NestedResultValue(PythonTexts(UnicodeTable()))},
                               {Json(MetaInt::New(-5)), "-5"},
                               {Json(MetaBool::New(false)), "False"}}));
}

TEST(JsonFormatter, TextLongerThanABlockComesWholeAndInOrder) {
    // Output goes to the stream in blocks: nothing may be lost, doubled or reordered where they meet.
    auto list = MetaList::New(MetaType::String);
    std::string expected = "\n[\n";
    for (int i = 0; i < 5000; ++i) {
        list->Add("item " + std::to_string(i));
        expected += "\"item " + std::to_string(i) + (i + 1 < 5000 ? "\", \n" : "\"\n");
    }
    EXPECT_EQ(expected + "]\n", Json(list));
}
