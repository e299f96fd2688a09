// Tests of MetaString: the shared empty instance, unchanged text and escaping of invalid UTF-8.
#include <corvane/metaobj.h>

#include "test_support.h"

#include <tarvik.h>

#include <sstream>

using namespace Corvane::MetaObj;

namespace {
bool IsValidUtf8(const std::string& text) {
    return TarvikText_IsValid(text.c_str(), -1, 0) != 0;
}
} // namespace

TEST(MetaStringTest, EmptyTextIsTheSharedInstance) {
    const MetaString* shared = MetaString::New().get();
    EXPECT_EQ(shared, MetaString::New("").get());
    EXPECT_EQ(shared, MetaString::New(std::string()).get());
    const std::string emptyText;
    EXPECT_EQ(shared, MetaString::New(emptyText).get());
    EXPECT_EQ(shared, MetaString::New(static_cast<const char*>(nullptr)).get());
    EXPECT_EQ(shared, MetaString::NewUtf8WithEscapes(std::string()).get());
    EXPECT_EQ("", shared->GetValue());
    EXPECT_EQ(MetaType::String, shared->GetType());

    EXPECT_NE(MetaString::New("a").get(), MetaString::New("a").get());
}

TEST(MetaStringTest, TextIsKeptAsGiven) {
    const std::string odd = "say \"hi\"\n\t'there' \\ {x} => ,";
    EXPECT_EQ(odd, MetaString::New(odd)->ToString());
    EXPECT_EQ(odd, MetaString::New(odd.c_str())->GetValue());
    std::string moved = odd;
    auto fromRvalue = MetaString::New(std::move(moved));
    EXPECT_EQ(odd, fromRvalue->GetValue());

    // Bytes are bytes: embedded NUL and invalid UTF-8 survive the plain factories.
    const std::string binary("a\0b\xff", 4);
    EXPECT_EQ(binary, MetaString::New(binary)->GetValue());

    std::ostringstream out;
    out << *MetaString::New(odd);
    EXPECT_EQ(odd, out.str());
}

TEST(MetaStringTest, Utf8WithEscapesKeepsValidText) {
    for (const std::string& text :
         {std::string("plain"), std::string("h\xc3\xa9llo \xe2\x82\xac \xf0\x9f\x98\x80"),
          std::string("back\\slash")}) {
        auto value = MetaString::NewUtf8WithEscapes(std::string(text));
        EXPECT_EQ(text, value->GetValue());
    }
}

TEST(MetaStringTest, Utf8WithEscapesRepairsInvalidBytes) {
    const std::vector<std::string> invalid = {
        "a\xff",                   // byte that never occurs in UTF-8
        "\xc3",                    // truncated sequence
        "ok \x80 stray",           // stray continuation byte
        "\xc0\xaf",                // overlong form
        "\xed\xa0\x80",            // surrogate
        "mixed \xc3\xa9 and \xfe", // valid and invalid together
    };
    for (const std::string& text : invalid) {
        ASSERT_FALSE(IsValidUtf8(text));
        auto value = MetaString::NewUtf8WithEscapes(std::string(text));
        EXPECT_TRUE(IsValidUtf8(value->GetValue())) << value->GetValue();
        EXPECT_FALSE(value->GetValue().empty());
        EXPECT_NE(text, value->GetValue());
    }
    // The valid parts stay readable.
    auto value = MetaString::NewUtf8WithEscapes(std::string("mixed \xc3\xa9 and \xfe"));
    EXPECT_EQ(0u, value->GetValue().rfind("mixed \xc3\xa9 and ", 0));
}
