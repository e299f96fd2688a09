// Tests of the libtarvik stand-in: UTF-8 validation, the escaped rendering and feature initialisation.
#include <tarvik.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool IsValid(const std::string& bytes) {
    return TarvikText_IsValid(bytes.data(), static_cast<long>(bytes.size()), 0) != 0;
}

std::string Escape(const std::string& bytes) {
    char* escaped = TarvikText_Escape(bytes.data(), static_cast<long>(bytes.size()), 0);
    EXPECT_NE(nullptr, escaped);
    if (escaped == nullptr)
        return std::string();
    std::string result(escaped);
    std::free(escaped);
    return result;
}

// Inverse of the escape notation: "\\" is a backslash, "\xNN" the byte NN.
std::string Unescape(const std::string& text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '\\') {
            bytes += '\\';
            ++i;
        } else if (i + 3 < text.size() && text[i + 1] == 'x') {
            bytes += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            ADD_FAILURE() << "stray backslash in escaped text: " << text;
        }
    }
    return bytes;
}

const std::vector<std::string> validTexts = {
    "",
    "plain ASCII text\n",
    std::string("nul\0inside", 10),
    "\xC2\x80",                                         // U+0080, smallest two-byte form
    "\xDF\xBF",                                         // U+07FF
    "\xE0\xA0\x80",                                     // U+0800, smallest three-byte form
    "\xED\x9F\xBF",                                     // U+D7FF, just below the surrogates
    "\xEE\x80\x80",                                     // U+E000, just above them
    "\xEF\xBF\xBF",                                     // U+FFFF
    "\xF0\x90\x80\x80",                                 // U+10000, smallest four-byte form
    "\xF4\x8F\xBF\xBF",                                 // U+10FFFF, the last code point
    "gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80", // mixed lengths
};

const std::vector<std::string> invalidTexts = {
    "\x80",                 // stray continuation byte
    "ok\xBFok",             // stray continuation inside ASCII
    "\xC3\xA9\xA9",         // one continuation too many
    "\xC0\x80",             // overlong NUL
    "\xC1\xBF",             // overlong two-byte form
    "\xE0\x80\x80",         // overlong three-byte NUL
    "\xE0\x9F\xBF",         // overlong U+07FF
    "\xF0\x8F\xBF\xBF",     // overlong U+FFFF
    "\xED\xA0\x80",         // U+D800, first surrogate
    "\xED\xBF\xBF",         // U+DFFF, last surrogate
    "\xF4\x90\x80\x80",     // U+110000
    "\xF5\x80\x80\x80",     // lead byte beyond U+10FFFF
    "\xF8\x88\x80\x80\x80", // five-byte form
    "\xFE",                 //
    "\xFF",                 //
    "\xC3",                 // truncated at the end
    "\xE2\x82",             // truncated three-byte sequence
    "\xF0\x9F\x98",         // truncated four-byte sequence
    "\xE2\x82"
    "A", // continuation replaced by ASCII
    "\xC3"
    "\xC3\xA9", // lead byte followed by a new sequence
};

TEST(TarvikTextTest, ValidatesWellFormedUtf8Only) {
    for (const std::string& text : validTexts)
        EXPECT_TRUE(IsValid(text)) << "valid: " << ::testing::PrintToString(text);
    for (const std::string& text : invalidTexts)
        EXPECT_FALSE(IsValid(text)) << "invalid: " << ::testing::PrintToString(text);
}

TEST(TarvikTextTest, LengthAndArgumentConventions) {
    // -1 stops at the first NUL, an explicit length covers it.
    EXPECT_NE(0, TarvikText_IsValid("abc\0\xFF", -1, 0));
    EXPECT_EQ(0, TarvikText_IsValid("abc\0\xFF", 5, 0));
    // An explicit length that cuts a sequence makes it truncated.
    EXPECT_EQ(0, TarvikText_IsValid("\xC3\xA9", 1, 0));
    EXPECT_NE(0, TarvikText_IsValid("\xC3\xA9", 2, 0));
    EXPECT_NE(0, TarvikText_IsValid(nullptr, 0, 0));
    EXPECT_NE(0, TarvikText_IsValid(nullptr, -1, 0));
    // Unknown encodings and lengths below -1 are refused.
    EXPECT_EQ(0, TarvikText_IsValid("abc", -1, 1));
    EXPECT_EQ(0, TarvikText_IsValid("abc", -2, 0));
    errno = 0;
    EXPECT_EQ(nullptr, TarvikText_Escape("abc", -1, 7));
    EXPECT_EQ(EINVAL, errno);
    EXPECT_EQ(nullptr, TarvikText_Escape("abc", -5, 0));
    char* empty = TarvikText_Escape(nullptr, -1, 0);
    ASSERT_NE(nullptr, empty);
    EXPECT_STREQ("", empty);
    std::free(empty);
}

TEST(TarvikTextTest, EscapesEachInvalidByte) {
    EXPECT_EQ("a\\xFF", Escape("a\xFF"));
    EXPECT_EQ("\\xC3", Escape("\xC3"));
    EXPECT_EQ("\\xE2\\x82A", Escape("\xE2\x82"
                                    "A"));
    EXPECT_EQ("\\xED\\xA0\\x80", Escape("\xED\xA0\x80"));
    EXPECT_EQ("\\xC0\\x80", Escape("\xC0\x80"));
    // Valid sequences around an invalid byte are kept as they are.
    EXPECT_EQ("\xC3\xA9\\xFF\xE2\x82\xAC", Escape("\xC3\xA9\xFF\xE2\x82\xAC"));
    EXPECT_EQ("\\xC3\xC3\xA9", Escape("\xC3\xC3\xA9"));
    // Backslashes are doubled and an embedded NUL is spelled out, so the rendering decodes uniquely.
    EXPECT_EQ("C:\\\\x41\\xFF", Escape("C:\\x41\xFF"));
    EXPECT_EQ("a\\x00b", Escape(std::string("a\0b", 3)));
    // NUL-terminated input through the public length convention.
    char* escaped = TarvikText_Escape("x\xFEy", -1, 0);
    ASSERT_NE(nullptr, escaped);
    EXPECT_STREQ("x\\xFEy", escaped);
    std::free(escaped);
}

TEST(TarvikTextTest, EscapedRenderingIsValidAndDecodesToTheInput) {
    std::vector<std::string> inputs = validTexts;
    inputs.insert(inputs.end(), invalidTexts.begin(), invalidTexts.end());
    // Deterministic pseudo-random byte strings, biased towards the interesting high bytes.
    uint32_t state = 12345;
    for (int n = 0; n < 2000; ++n) {
        std::string bytes;
        size_t length = n % 17;
        for (size_t i = 0; i < length; ++i) {
            state = state * 1103515245u + 12345u;
            unsigned value = (state >> 16) & 0xFF;
            bytes += static_cast<char>(value % 3 == 0 ? value & 0x7F : value | 0x80);
        }
        inputs.push_back(bytes);
    }
    for (const std::string& input : inputs) {
        std::string escaped = Escape(input);
        EXPECT_TRUE(IsValid(escaped)) << ::testing::PrintToString(input);
        EXPECT_EQ(escaped.size(), std::char_traits<char>::length(escaped.c_str()));
        EXPECT_EQ(input, Unescape(escaped)) << ::testing::PrintToString(input);
    }
}

TEST(TarvikFeaturesTest, InitIsIdempotentAndCounted) {
    long before = TarvikFeatures_InitCallCount();
    TarvikFeatures_Init();
    EXPECT_NE(0, TarvikFeatures_IsInitialized());
    TarvikFeatures_Init();
    EXPECT_NE(0, TarvikFeatures_IsInitialized());
    EXPECT_EQ(before + 2, TarvikFeatures_InitCallCount());
}

} // namespace
