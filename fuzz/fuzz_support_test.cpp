// Tests of the fuzz targets' own checkers: a checker that accepts too much hides every finding.
#include "fuzz_support.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using Corvane::Fuzz::FindActiveSyntax;
using Corvane::Fuzz::IsJsonDocument;
using Corvane::Fuzz::IsPythonLiteral;
using Corvane::Fuzz::ShellWords;

struct CheckerCase {
    std::string text;
    std::string error; // empty when the text is accepted
};

TEST(FuzzCheckers, JsonDocuments) {
    const CheckerCase cases[] = {
        {"\n{\n   \"a\": \n   [\n   \"x\\u00e9\\n\\/\", \n   -0.5e+3\n   ],\n   \"b\": null\n}\n", ""},
        {"[]", ""},
        {" \"caf\xc3\xa9\" ", ""},
        {"[1,]", "expected a value at byte 3"},
        {"{\"a\" 1}", "expected ':' at byte 5"},
        {"\"a\\x\"", "bad escape at byte 3"},
        {"\"a\\u12g4\"", "bad \\u escape at byte 6"},
        {"\"a\tb\"", "raw control character in a string at byte 2"},
        {"01", "text after the value at byte 1"},
        {"[1] 2", "text after the value at byte 4"},
        {"\"abc", "unterminated string at byte 4"},
        {"\"\xe9\"", "not valid UTF-8"},
        {"tru", "expected a value at byte 0"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(IsJsonDocument(c.text, error), c.error.empty()) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}

TEST(FuzzCheckers, PythonLiterals) {
    const CheckerCase cases[] = {
        {"[{\"Healthy\": False, \"Rack\": \"\"\"B \\\"north\\\"\"\"\", \"Slot\": -14, }, None, True, ]\n",
         ""},
        {"{\"\"\"a\nb\\x41\\u00e9\\U0010ffff\\q\"\"\": 0}\n", ""},
        {"[1, 2]", "expected one final line feed at byte 6"},
        {"\"\"\"a\\\"\"\"\n", "unterminated string at byte 9"},
        {"\"\"\"\\x4g\"\"\"\n", "truncated \\x escape at byte 6"},
        {"\"\"\"\\N{DASH}\"\"\"\n", "\\N escape at byte 5"},
        {"\"\"\"\\U00110000\"\"\"\n", "\\U escape beyond U+10FFFF at byte 13"},
        {std::string("\"\"\"a\0b\"\"\"\n", 10), "NUL byte in the source at byte 4"},
        {"\"a\nb\"\n", "line feed in a one-line string at byte 2"},
        {"[1 2]\n", "expected ',' or ']' at byte 3"},
        {"{1: }\n", "expected a value at byte 4"},
        {"007\n", "leading zero at byte 1"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(IsPythonLiteral(c.text, error), c.error.empty()) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}

TEST(FuzzCheckers, ActiveShellSyntax) {
    const std::size_t none = std::string::npos;
    const std::pair<std::string, std::size_t> cases[] = {
        {"prog a\\;b \\$\\(x\\) \\`y\\` \\\n", none},
        {"prog 'a;b|c$(d)`e`\n'", none},
        {"prog \"a;b|c&d<e>f\\\"g\\`h\\$(i)\"", none},
        {"prog # a;b|c`d`$(e)", none},
        {"prog a#b;c", 8},
        {"prog a;b", 6},
        {"prog \"x$(y)\"", 7},
        {"prog \"x`y`\"", 7},
        {"prog 'a\\'; b", 9},
        {"prog # a\\\nb", 9},
        {"prog \\\\;", 7},
        {"prog a\nb", 6},
        {"prog (a)", 5},
        {"prog x > y", 7},
        {"prog ${x# }\\\nb ${y:-\"}\"}", none},
        {"prog ${x} # a\nb", 13},
    };
    for (const auto& [command, offset] : cases) {
        EXPECT_EQ(FindActiveSyntax(command), offset) << command;
    }
    // A line continuation leaves a word start; a quote may stay open.
    const std::tuple<std::string, std::size_t, bool> shapes[] = {
        {"prog \\\n#a", 7, false}, {"prog a#b", none, false}, {"prog 'a # b", none, true}};
    for (const auto& [command, comment, openQuote] : shapes) {
        Corvane::Fuzz::ShellShape shape;
        FindActiveSyntax(command, &shape);
        EXPECT_EQ(shape.comment, comment) << command;
        EXPECT_EQ(shape.openQuote, openQuote) << command;
    }
}

TEST(FuzzCheckers, ShellWords) {
    const std::vector<std::string> expected = {"prog", "a b", "c\"d\\e$f\\g`", "h i", "", "jk", "'", "l\nm"};
    EXPECT_EQ(ShellWords("prog 'a b'  \"c\\\"d\\\\e\\$f\\g\\`\"\th\\ i '' j\\\nk \"'\" 'l\nm' \\\n"),
              expected);
    EXPECT_EQ(ShellWords(" \t\n"), std::vector<std::string>());
}

} // namespace
