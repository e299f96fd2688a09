// Tests of AutoCli_FitString: indent runs, word wrapping, budget, markers and hard line breaks.
#include "format_test_helpers.h"

static std::string Fit(int indent, int width, const std::string& text, bool skipIndent, bool newlineAtEnd,
                       bool splitNewlines = false, char marker = '\0') {
    std::ostringstream out;
    AutoCli_FitString(indent, width, text, skipIndent, out, newlineAtEnd, marker, splitNewlines);
    return out.str();
}

TEST(FitStringTest, ExactBytes) {
    // Room 16: "dddd" would bring the budget to -4.
    EXPECT_EQ("    aaaa bbbb cccc \n    dddd", Fit(4, 20, "aaaa bbbb cccc dddd", false, false));
    EXPECT_EQ("    aaaa bbbb cccc\\\n    dddd", Fit(4, 20, "aaaa bbbb cccc dddd", false, false, false, '\\'));
    EXPECT_EQ("aaaa bbbb cccc \n    dddd\n", Fit(4, 20, "aaaa bbbb cccc dddd", true, true));
    // Text exactly as long as the room is written whole; one character more wraps.
    EXPECT_EQ("    abc de\n", Fit(4, 10, "abc de", false, true));
    EXPECT_EQ("    abc \n    def", Fit(4, 10, "abc def", false, false));
    EXPECT_EQ("    \n", Fit(4, 10, "", false, true));
    EXPECT_EQ(" abc", Fit(0, 10, "abc", false, false));
    // A word longer than the room breaks before itself, even as the first word, and stays whole.
    EXPECT_EQ("   \n  abcdefgh \n  xy\n", Fit(2, 8, "abcdefgh xy", false, true));
    EXPECT_EQ(" \n  abcdef \n  g", Fit(2, 8, "abcdef g", true, false));
    EXPECT_EQ("  abcde \n  fg", Fit(2, 8, "abcde fg", false, false));
    // Only single spaces separate words: "  " and a leading space hold an empty word, tabs hold none.
    EXPECT_EQ("  a  b c \n  d", Fit(2, 9, "a  b c d", false, false));
    EXPECT_EQ("   aaa \n  bbb c", Fit(2, 10, " aaa bbb c", false, false));
    EXPECT_EQ(" \n  aaa\tbbbb \n  c", Fit(2, 8, "aaa\tbbbb c", true, false));
    // No room: unchanged.
    EXPECT_EQ("          long text here\n", Fit(10, 5, "long text here", false, true));
    EXPECT_EQ("long text here", Fit(10, 10, "long text here", true, false));
    // Hard breaks: later lines get the indent run, a final newline adds no line, empty text writes nothing.
    EXPECT_EQ("x\n   y", Fit(3, 20, "x\ny", true, false, true));
    EXPECT_EQ("x\n   y\n", Fit(3, 20, "x\ny\n", true, true, true));
    EXPECT_EQ("x\n   \n   y\n", Fit(3, 20, "x\n\ny", true, true, true));
    EXPECT_EQ("", Fit(3, 20, "", false, true, true));
    // Each line is wrapped on its own, or written unchanged at the indent without room.
    EXPECT_EQ("aa bb \n   cc\n   dd ee \n   ff", Fit(3, 10, "aa bb cc\ndd ee ff", true, false, true));
    EXPECT_EQ("first line\n      second line\n", Fit(6, 0, "first line\nsecond line", true, true, true));
    // The indent run is padding plus one space, so the stream's fill character shows in it.
    std::ostringstream out;
    out.fill('.');
    AutoCli_FitString(4, 20, "x", false, out, false, '\0', false);
    EXPECT_EQ("... x", out.str());
}
