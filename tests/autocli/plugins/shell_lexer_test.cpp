// Tests of ShellLexer: the place /bin/sh gives a byte of shell text, one quoting rule per row.
#include "shell_lexer.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

namespace {

using Corvane::AutoCli::ShellText::Place;
using Corvane::AutoCli::ShellText::ShellLexer;

const char* Name(Place place) {
    const char* names[] = {"Word",    "Comment",       "Double",     "Single",   "Ansi",
                           "HereDoc", "QuotedHereDoc", "Backquoted", "Ambiguous"};
    return names[static_cast<int>(place)];
}

// Feeds `text` as template bytes, or as value bytes when `fromValue`.
void Feed(ShellLexer& lexer, const std::string& text, bool fromValue = false) {
    for (char c : text) {
        lexer.Feed(c, fromValue);
    }
}

TEST(ShellLexer, PlaceOfTheMarkedByte) {
    // The @ marks the byte whose place is asked; the text before it is fed first.
    const std::pair<const char*, Place> cases[] = {
        {"p @", Place::Word},
        {"p \\'@", Place::Word}, // an escaped quote opens nothing
        {"p 'a'@", Place::Word},
        {"p 'a@", Place::Single},
        {"p \"a'@\"", Place::Double}, // a single quote is an ordinary byte inside double quotes
        {"p \"\\\"@\"", Place::Double},
        {"p \"a\"@", Place::Word},
        {"p $'a@'", Place::Ansi},
        {"p \"$'@'\"", Place::Double}, // no $'...' quoting inside double quotes
        {"p $'\\t' @", Place::Ambiguous},
        {"p # @", Place::Comment},
        {"p a#@", Place::Word}, // # inside a word starts no comment
        {"p # x\n@", Place::Word},
        {"p ${x#@}", Place::Word},
        {"p $(@)", Place::Word},
        {"p \"$(echo '@')\"", Place::Single},
        {"p \"$(echo \")\" @)\"", Place::Word}, // a ")" in quotes does not close $(
        {"p $( (a) )\"@\"", Place::Double},
        {"p \"${x:-@}\"", Place::Double},
        {"p ${x:-'@'}", Place::Single},
        {"p `@`", Place::Backquoted},
        {"p `a` @", Place::Word},
        {"p \"`a '@`\"", Place::Backquoted},
        {"p `a '` @", Place::Word}, // the closing backquote is found before quotes are read
        {"cat <<EOF\n@\nEOF\n", Place::HereDoc},
        {"cat <<'EOF'\n@\nEOF\n", Place::QuotedHereDoc},
        {"cat <<\\EOF\n@\nEOF\n", Place::QuotedHereDoc},
        {"cat <<E\"O\"F\n@\nEOF\n", Place::QuotedHereDoc},
        {"cat <<EOF\n'@'\nEOF\n", Place::HereDoc}, // quotes are ordinary bytes in a body
        {"cat <<EOF x '@'\nEOF\n", Place::Single}, // the body starts on the next line
        {"cat <<EOF\nEOF\n@", Place::Word},
        {"cat <<EOF\n EOF\n@\nEOF\n", Place::HereDoc},
        {"cat <<-EOF\n\t\tEOF\n@", Place::Word},           // <<- strips leading tabs before comparing
        {"cat <<EOF\nx\\\nEOF\n@\nEOF\n", Place::HereDoc}, // a continued line is not the delimiter
        {"cat <<A <<B\nA\n@\nB\n", Place::HereDoc},
        {"cat <<<'@'", Place::Single}, // <<< is a here-string
        {"cat <<EOF\n$(echo '@')\nEOF\n", Place::Single},
        {"cat <<'EOF'\n$(echo '@')\nEOF\n", Place::QuotedHereDoc},
    };
    for (const auto& [text, expected] : cases) {
        const std::string shell = text;
        const std::size_t mark = shell.find('@');
        ShellLexer lexer;
        Feed(lexer, shell.substr(0, mark));
        EXPECT_STREQ(Name(expected), Name(lexer.Current())) << ::testing::PrintToString(shell);
    }
}

TEST(ShellLexer, PendingEscapeBodiesAndHereDocumentEndedByValue) {
    // (text, a backslash escapes the next byte, the next byte is in a here-document body).
    // clang-format off
    const std::tuple<const char*, bool, bool> states[] = {
        {"p \\", true, false}, {"p \\\\", false, false}, {"p \"\\", true, false}, {"p '\\", false, false},
        {"cat <<EOF\n\\", true, true}, {"cat <<EOF x \"", false, false}, {"cat <<EOF\n$(echo '", false, true},
        {"cat <<EOF\nx\nEOF\n", false, false}};
    // clang-format on
    for (const auto& [text, pending, inBody] : states) {
        ShellLexer lexer;
        Feed(lexer, text);
        EXPECT_EQ(pending, lexer.EscapePending()) << ::testing::PrintToString(text);
        EXPECT_EQ(inBody, lexer.InHereDocBody()) << ::testing::PrintToString(text);
    }

    // (template before, value, template after, delimiter of a body that the value ended or "").
    const std::tuple<const char*, const char*, const char*, const char*> bodies[] = {
        {"cat <<EOF\n", "EOF", "\nx\nEOF\n", "EOF"},
        {"cat <<-END\n\t", "END", "\n", "END"},
        {"cat <<EOF\nE", "OF", "\n", "EOF"},
        {"cat <<EOF\n", "EOF!", "\nEOF\n", ""},
        {"cat <<EOF\n", "x", "\nEOF\n", ""},          // the template's own line ends it
        {"cat <<EOF\n", "", "EOF\n", ""},             // an empty value wrote nothing on the line
        {"cat <<EOF\n", "E\\\nOF", "\nEOF\n", "EOF"}, // a continued line is read as one
    };
    for (const auto& [before, value, after, delimiter] : bodies) {
        ShellLexer lexer;
        Feed(lexer, before);
        Feed(lexer, value, true);
        Feed(lexer, after);
        const std::string* ended = lexer.HereDocEndedByValue();
        EXPECT_EQ(delimiter, ended ? *ended : "") << ::testing::PrintToString(std::string(before) + value);
    }
}

} // namespace
