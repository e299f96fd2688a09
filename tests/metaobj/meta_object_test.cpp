// Tests of MetaString::NewUtf8WithEscapes against the platform UTF-8 validator and escaper.
#include <corvane/metaobj.h>

#include "test_support.h"

#include <tarvik.h>

#include <cstdlib>

using namespace Corvane::MetaObj;

TEST(MetaStringTest, Utf8WithEscapes) {
    // Valid text stays byte for byte (the escaper would double the backslash); invalid text is escaped.
    for (const std::string text : {"plain", "h\xc3\xa9llo \xe2\x82\xac \xf0\x9f\x98\x80", "back\\slash",
                                   "a\xff", "\xc3", "\x80", "\xc0\xaf", "\xed\xa0\x80", "\xc3\xa9 \\ \xfe"}) {
        char* escaped = TarvikText_Escape(text.c_str(), -1, 0);
        const std::string expected = TarvikText_IsValid(text.c_str(), -1, 0) ? text : escaped;
        std::free(escaped);
        const std::string value = MetaString::NewUtf8WithEscapes(std::string(text))->GetValue();
        EXPECT_EQ(expected, value);
        EXPECT_NE(0, TarvikText_IsValid(value.c_str(), -1, 0)) << value;
    }
}
