// Tests of AutoCli_ClosestName, the one matcher behind every "Did you mean" line and the linter's
// suggestions.
#include <corvane/completion.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Corvane::AutoCli::AutoCli_ClosestName;
using Strings = std::vector<std::string>;

TEST(ClosestNameTest, PicksTheNameAWordMostLikelyMeant) {
    const struct {
        const char* word;
        Strings candidates;
        const char* expected;
    } cases[] = {
        {"sytem", {"storage", "system"}, "system"}, // a letter left out
        {"sortt", {"size", "sort"}, "sort"},        // a letter doubled
        {"formater", {"format-param", "formatter", "help"}, "formatter"},
        {"jsn", {"json", "python", "simple", "table", "xml"}, "json"},
        {"tabel", {"json", "table"}, "table"},   // two letters swapped
        {"ab", {"ac", "ad"}, "ac"},              // of equally near names the first
        {"sys", {"system", "varnok"}, "system"}, // too far, but the one name it begins
        {"Location.R", {"Location.Rack", "Location.Slot"}, "Location.Rack"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, AutoCli_ClosestName(c.word, c.candidates)) << c.word;
    }
}

TEST(ClosestNameTest, NamesNothingWhenNoCandidateIsClose) {
    const struct {
        const char* word;
        Strings candidates;
    } cases[] = {
        {"zzzzzz", {"system", "storage"}}, // another word
        {"x", {"v", "w"}},                 // a word replaced whole
        {"h2", {"h", "help"}},             // a name replaced whole
        {"sys", {"syslog", "system"}},     // a prefix of two names
        {"s", {"system"}},                 // one letter begins too much to tell
        {"system", {"storage", "system"}}, // a word that names a candidate needs no correction
        {"", {"a", "b"}},
        {"json", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ("", AutoCli_ClosestName(c.word, c.candidates)) << c.word;
    }
}
