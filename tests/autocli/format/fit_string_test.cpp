// Tests of AutoCli_FitString: indent runs, word wrapping, budget, markers and hard line breaks.
#include <corvane/format.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

using Corvane::AutoCli::AutoCli_FitString;

namespace {

std::string Fit(int indent, int width, const std::string& text, bool skipIndent, bool newlineAtEnd,
                char marker = '\0', bool splitNewlines = false) {
    std::ostringstream out;
    AutoCli_FitString(indent, width, text, skipIndent, out, newlineAtEnd, marker, splitNewlines);
    return out.str();
}

} // namespace

TEST(FitStringTest, WrapsWhenTheBudgetRunsOut) {
    // Room 16: "aaaa bbbb cccc" costs 15, "dddd" would bring the budget to -4.
    EXPECT_EQ("    aaaa bbbb cccc \n    dddd", Fit(4, 20, "aaaa bbbb cccc dddd", false, false));
    EXPECT_EQ("    aaaa bbbb cccc\\\n    dddd", Fit(4, 20, "aaaa bbbb cccc dddd", false, false, '\\'));
    EXPECT_EQ("    aaaa bbbb cccc \n    dddd\n", Fit(4, 20, "aaaa bbbb cccc dddd", false, true));
    // With skipIndent only the first line goes without the indent run.
    EXPECT_EQ("aaaa bbbb cccc \n    dddd", Fit(4, 20, "aaaa bbbb cccc dddd", true, false));
    // Several breaks; each line holds at most room - 1 characters.
    EXPECT_EQ("  one two \n  three \n  four", Fit(2, 12, "one two three four", false, false));
}

TEST(FitStringTest, TextThatFitsTheRoomIsWrittenWhole) {
    // Exactly the room (6): written unchanged, although a wrapped line could only hold 5.
    EXPECT_EQ("    abc de\n", Fit(4, 10, "abc de", false, true));
    // One character more wraps.
    EXPECT_EQ("    abc \n    def", Fit(4, 10, "abc def", false, false));
    EXPECT_EQ("", Fit(4, 10, "", true, false));
    EXPECT_EQ("    \n", Fit(4, 10, "", false, true));
}

TEST(FitStringTest, IndentRunUsesFieldWidthAndOneSpace) {
    EXPECT_EQ(" abc", Fit(0, 10, "abc", false, false));
    EXPECT_EQ(" abc", Fit(1, 10, "abc", false, false));
    EXPECT_EQ("   abc", Fit(3, 10, "abc", false, false));
    // The run is padding plus one space, so the stream's fill character shows in front of it.
    std::ostringstream out;
    out.fill('.');
    AutoCli_FitString(4, 20, "x", false, out, false, '\0', false);
    EXPECT_EQ("... x", out.str());
}

TEST(FitStringTest, WordLongerThanTheRoomIsPrecededByABreak) {
    // Room 6; "abcdefgh" (8) breaks before itself even as the first word, and stays whole.
    EXPECT_EQ("   \n  abcdefgh \n  xy\n", Fit(2, 8, "abcdefgh xy", false, true));
    // A first word exactly as long as the room also costs one more than the room.
    EXPECT_EQ(" \n  abcdef \n  g", Fit(2, 8, "abcdef g", true, false));
    // A word of room - 1 characters fits on a line of its own.
    EXPECT_EQ("  abcde \n  fg", Fit(2, 8, "abcde fg", false, false));
}

TEST(FitStringTest, OnlySingleSpacesSeparateWords) {
    // Two spaces give an empty word, which costs one and keeps the double space.
    EXPECT_EQ("  a  b c \n  d", Fit(2, 9, "a  b c d", false, false));
    EXPECT_EQ("  a  b \n  cc dd", Fit(2, 9, "a  b cc dd", false, false));
    // A trailing space adds no word; a leading space gives an empty first word.
    EXPECT_EQ("  aaa bbb \n  c", Fit(2, 10, "aaa bbb c ", false, false));
    EXPECT_EQ("   aaa \n  bbb c", Fit(2, 10, " aaa bbb c", false, false));
    // Tabs do not separate words.
    EXPECT_EQ(" \n  aaa\tbbbb \n  c", Fit(2, 8, "aaa\tbbbb c", true, false));
}

TEST(FitStringTest, NoRoomWritesTheTextUnchanged) {
    EXPECT_EQ("          long text here\n", Fit(10, 5, "long text here", false, true));
    EXPECT_EQ("long text here", Fit(10, 10, "long text here", true, false));
    EXPECT_EQ("  two words", Fit(2, 0, "two words", false, false));
}

TEST(FitStringTest, SplitNewlinesTreatsNewlinesAsHardBreaks) {
    EXPECT_EQ("x\n   y", Fit(3, 20, "x\ny", true, false, '\0', true));
    EXPECT_EQ("   x\n   y", Fit(3, 20, "x\ny", false, false, '\0', true));
    EXPECT_EQ("x\n   y\n", Fit(3, 20, "x\ny", true, true, '\0', true));
    // A final newline adds no line; an inner empty line gets its indent run.
    EXPECT_EQ("x\n   y\n", Fit(3, 20, "x\ny\n", true, true, '\0', true));
    EXPECT_EQ("x\n   \n   y\n", Fit(3, 20, "x\n\ny", true, true, '\0', true));
    // Empty text writes nothing at all, even with newlineAtEnd.
    EXPECT_EQ("", Fit(3, 20, "", false, true, '\0', true));
    // Each line is wrapped on its own.
    EXPECT_EQ("aa bb \n   cc\n   dd ee \n   ff\n", Fit(3, 10, "aa bb cc\ndd ee ff", true, true, '\0', true));
    // Without room each line is written unchanged at the indent.
    EXPECT_EQ("first line\n      second line\n",
              Fit(6, 0, "first line\nsecond line", true, true, '\0', true));
}
