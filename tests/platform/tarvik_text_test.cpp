// Tests of the libtarvik stand-in: UTF-8 validation and the escaped rendering.
#include <tarvik.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

namespace {

bool IsValid(const std::string& bytes) {
    return TarvikText_IsValid(bytes.data(), static_cast<long>(bytes.size()), 0) != 0;
}

std::string Escape(const std::string& bytes) {
    char* escaped = TarvikText_Escape(bytes.data(), static_cast<long>(bytes.size()), 0);
    std::string result = escaped != nullptr ? escaped : "<null>";
    std::free(escaped);
    return result;
}

// clang-format off
// Boundaries of each sequence length, the surrogates and the last code point.
const std::vector<std::string> kValid = {"", "plain\n", std::string("nul\0inside", 10), "\xC2\x80",
    "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80", "\xEF\xBF\xBF", "\xF0\x90\x80\x80",
    "\xF4\x8F\xBF\xBF", "gr\xC3\xBC \xE2\x82\xAC"};
// Stray and surplus continuations, overlong forms, surrogates, > U+10FFFF, unused bytes, cut sequences.
const std::vector<std::string> kInvalid = {"\x80", "ok\xBFok", "\xC3\xA9\xA9", "\xC0\x80", "\xC1\xBF",
    "\xE0\x80\x80", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80",
    "\xF5\x80\x80\x80", "\xF8\x88\x80\x80\x80", "\xFE", "\xFF", "\xC3", "\xE2\x82", "\xF0\x9F\x98",
    "\xE2\x82\x41", "\xC3\xC3\xA9"};
// clang-format on

TEST(TarvikTextTest, ValidatesWellFormedUtf8Only) {
    for (const std::string& text : kValid) {
        EXPECT_TRUE(IsValid(text)) << ::testing::PrintToString(text);
    }
    for (const std::string& text : kInvalid) {
        EXPECT_FALSE(IsValid(text)) << ::testing::PrintToString(text);
    }
    EXPECT_NE(0, TarvikText_IsValid("abc\0\xFF", -1, 0)); // -1 stops at the first NUL
    EXPECT_EQ(0, TarvikText_IsValid("\xC3\xA9", 1, 0));   // a length that cuts a sequence
    EXPECT_EQ(0, TarvikText_IsValid("abc", -1, 1));       // unknown encoding
}

TEST(TarvikTextTest, EscapedRenderingIsExactAndValid) {
    EXPECT_EQ("a\\xFF", Escape("a\xFF")); // one escape per invalid byte
    EXPECT_EQ("\\xE2\\x82A\xC3\xA9", Escape("\xE2\x82\x41\xC3\xA9"));
    EXPECT_EQ("C:\\\\x41\\xFF", Escape("C:\\x41\xFF")); // a backslash is doubled, so decoding is unique
    EXPECT_EQ("a\\x00b", Escape(std::string("a\0b", 3)));
    std::vector<std::string> inputs = kValid;
    inputs.insert(inputs.end(), kInvalid.begin(), kInvalid.end());
    for (const std::string& input : inputs) {
        EXPECT_TRUE(IsValid(Escape(input))) << ::testing::PrintToString(input);
    }
}

} // namespace
