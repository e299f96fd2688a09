// Tests of EchoText: caller input repeated in messages, escaped and cut to its bound.
#include <corvane/callspec.h>

#include "test_support.h"

using Corvane::CallSpec::EchoText;
using Corvane::CallSpec::kEchoLimit;

// Text a terminal shows as text comes back byte for byte, however it looks.
TEST(EchoText, OrdinaryTextIsUnchanged) {
    const std::string kept[] = {"",
                                "bogus",
                                "--dry-run",
                                "a b\\c 'q' \"d\" %s $x",
                                "gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xf0\x9f\x98\x80", // ü ß € and an emoji
                                "\xc2\xa0\xc2\xbf", // the first printable non-ASCII
                                std::string(kEchoLimit, 'x'),
                                std::string(kEchoLimit / 2, '\\')};
    for (const std::string& text : kept) {
        EXPECT_EQ(text, EchoText(text));
    }
}

TEST(EchoText, ControlsAndInvalidBytesAreEscaped) {
    const struct {
        std::string text;
        const char* shown;
    } cases[] = {
        {std::string("a\0b", 3), "a\\x00b"},
        {"\x1b[31mred\x1b[0m", "\\x1B[31mred\\x1B[0m"},
        {"bell\x07", "bell\\x07"},
        {"tab\there\nline\r", "tab\\x09here\\x0Aline\\x0D"},
        {"del\x7f", "del\\x7F"},
        {"\xc2\x9b"
         "2J",
         "\\xC2\\x9B2J"},                    // the 8-bit CSI as a character
        {"\xff\xfe", "\\xFF\\xFE"},          // never valid
        {"\xc3(", "\\xC3("},                 // a lead byte without its continuation
        {"\xc0\xaf", "\\xC0\\xAF"},          // an overlong slash
        {"\xed\xa0\x80", "\\xED\\xA0\\x80"}, // a surrogate
        {"\xe2\x82", "\\xE2\\x82"},          // a character cut short at the end
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.shown, EchoText(c.text)) << c.shown;
    }
}

TEST(EchoText, LongTextIsCutWithItsLength) {
    EXPECT_EQ(std::string(kEchoLimit, 'x') + "... (201 bytes)", EchoText(std::string(kEchoLimit + 1, 'x')));
    EXPECT_EQ(std::string(kEchoLimit, 'x') + "... (1048576 bytes)", EchoText(std::string(1048576, 'x')));
}

// The cut keeps whole characters and whole escapes, and counts what is shown, not what was given.
TEST(EchoText, CutNeverSplitsACharacterOrAnEscape) {
    // 199 bytes, then a two-byte character that would end at 201.
    const std::string umlaut = std::string(kEchoLimit - 1, 'x') + "\xc3\xbc" + "tail";
    EXPECT_EQ(std::string(kEchoLimit - 1, 'x') + "... (205 bytes)", EchoText(umlaut));
    // 198 bytes, then an escape of four.
    const std::string escape = std::string(kEchoLimit - 2, 'x') + "\x1b";
    EXPECT_EQ(std::string(kEchoLimit - 2, 'x') + "... (199 bytes)", EchoText(escape));
    // Fifty control bytes fit exactly; fifty-one do not.
    std::string fifty;
    for (int i = 0; i < 50; ++i) {
        fifty += "\\x01";
    }
    EXPECT_EQ(fifty, EchoText(std::string(50, '\x01')));
    EXPECT_EQ(fifty + "... (51 bytes)", EchoText(std::string(51, '\x01')));
}
