// Tests of ShellLexer: the place /bin/sh gives a byte of shell text, one quoting rule per row.
#include "autocli/extension/shell_lexer.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

namespace {

using Corvane::AutoCli::ShellText::Place;
using Corvane::AutoCli::ShellText::ShellLexer;
using Corvane::AutoCli::ShellText::Unread;

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
    using P = Place;
    // clang-format off
    const std::pair<const char*, Place> cases[] = {
        // Backslashes and quotes. A single quote is an ordinary byte inside double quotes, and
        // there is no $'...' quoting there either.
        {"p @", P::Word}, {"p \\'@", P::Word}, {"p 'a'@", P::Word}, {"p 'a@", P::Single},
        {"p \"a'@\"", P::Double}, {"p \"\\\"@\"", P::Double}, {"p \"a\"@", P::Word}, {"p $'a@'", P::Ansi},
        {"p \"$'@'\"", P::Double}, {"p $'\\t' @", P::Ambiguous},
        // Comments start at a # that starts a word, outside ${...}, and end at the line end.
        {"p # @", P::Comment}, {"p a#@", P::Word}, {"p # x\n@", P::Word}, {"p ${x#@}", P::Word},
        // Substitutions: a ")" in quotes does not close $(, nested parentheses do not either.
        {"p $(@)", P::Word}, {"p \"$(echo '@')\"", P::Single}, {"p \"$(echo \")\" @)\"", P::Word},
        {"p $( (a) )\"@\"", P::Double}, {"p \"${x:-@}\"", P::Double}, {"p ${x:-'@'}", P::Single},
        // Backquotes: the closing one is found before quotes inside are read.
        {"p `@`", P::Backquoted}, {"p `a` @", P::Word}, {"p \"`a '@`\"", P::Backquoted},
        {"p `a '` @", P::Word},
        // Here-documents: the body starts on the line after the operator; quotes are ordinary bytes
        // in it; <<- strips leading tabs before comparing with the delimiter; a continued line is
        // not the delimiter; <<< is a here-string.
        {"cat <<EOF\n@\nEOF\n", P::HereDoc}, {"cat <<'EOF'\n@\nEOF\n", P::QuotedHereDoc},
        {"cat <<\\EOF\n@\nEOF\n", P::QuotedHereDoc}, {"cat <<E\"O\"F\n@\nEOF\n", P::QuotedHereDoc},
        {"cat <<EOF\n'@'\nEOF\n", P::HereDoc}, {"cat <<EOF x '@'\nEOF\n", P::Single},
        {"cat <<EOF\nEOF\n@", P::Word}, {"cat <<EOF\n EOF\n@\nEOF\n", P::HereDoc},
        {"cat <<-EOF\n\t\tEOF\n@", P::Word}, {"cat <<EOF\nx\\\nEOF\n@\nEOF\n", P::HereDoc},
        {"cat <<A <<B\nA\n@\nB\n", P::HereDoc}, {"cat <<<'@'", P::Single},
        {"cat <<EOF\n$(echo '@')\nEOF\n", P::Single}, {"cat <<'EOF'\n$(echo '@')\nEOF\n", P::QuotedHereDoc}};
    // clang-format on
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

TEST(ShellLexer, PlacesWhoseReadingIsNotFollowed) {
    // The @ marks the byte asked about, as above.
    using U = Unread;
    // clang-format off
    const std::pair<const char*, Unread> cases[] = {
        // ${...}: the name and the word parts alike, in quotes or not, nested in a substitution too.
        {"p ${@}", U::Expansion}, {"p ${x:-@}", U::Expansion}, {"p \"${x#@}\"", U::Expansion},
        {"p ${x:-$(echo @)}", U::Expansion}, {"p ${x} @", U::None}, {"p \\${x:-@}", U::None},
        {"p '${x:-@}'", U::None}, {"cat <<EOF\n${x:-@}\nEOF\n", U::Expansion},
        // $((...)) but not $( (...) ), a subshell inside a substitution.
        {"p $((1+@))", U::Arithmetic}, {"p \"$((@))\"", U::Arithmetic}, {"p $((1)) @", U::None},
        {"p $( (@) )", U::None},
        // case patterns, up to their ), after in and after ;; or ;&, quoted parts included.
        {"case x in @) ;; esac", U::CasePattern}, {"case x in (@) ;; esac", U::CasePattern},
        {"case x in a|@) ;; esac", U::CasePattern}, {"case x in a) b;; @) ;; esac", U::CasePattern},
        {"case x in a) b;& @) ;; esac", U::CasePattern}, {"case x in \"@\") ;; esac", U::CasePattern},
        {"case x\nin\n  @) ;; esac", U::CasePattern}, {"if true; then case x in @) ;; esac; fi", U::CasePattern},
        {"x=$(case x in @) ;; esac)", U::CasePattern},
        // Not patterns: the subject, bodies, after esac, a case that is no reserved word.
        {"case @ in a) ;; esac", U::None}, {"case x in a) @;; esac", U::None},
        {"case x in a) b;; esac; @", U::None}, {"case x in esac @", U::None}, {"echo case x in @)", U::None},
        {"\"case\" x in @)", U::None}, {"ca\\se x in @)", U::None}, {"case x in # @\n", U::None},
        {"case x in a) case y in b) c;; esac;; @) ;; esac", U::CasePattern}};
    // clang-format on
    for (const auto& [text, expected] : cases) {
        const std::string shell = text;
        const std::size_t mark = shell.find('@');
        ShellLexer lexer;
        Feed(lexer, shell.substr(0, mark));
        EXPECT_EQ(static_cast<int>(expected), static_cast<int>(lexer.UnreadPlace()))
            << ::testing::PrintToString(shell);
    }
}

TEST(ShellLexer, CasePatternParenthesisDoesNotCloseTheSubstitution) {
    // Without the case, the ) after the pattern would close $( and the quotes after it would be read
    // as the template's double quotes.
    for (const char* text : {"p \"$(case x in a) echo '@", "p \"$(case x in (a) echo '@"}) {
        ShellLexer lexer;
        const std::string shell = text;
        Feed(lexer, shell.substr(0, shell.find('@')));
        EXPECT_STREQ("Single", Name(lexer.Current())) << text;
    }
    ShellLexer lexer;
    Feed(lexer, "p \"$(case x in a) echo;; esac) @");
    EXPECT_STREQ("Double", Name(lexer.Current()));
}

} // namespace
