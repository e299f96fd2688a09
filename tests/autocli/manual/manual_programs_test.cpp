// Manual pages of the programs beside varnok: their names and order, the exact roff of one, the date
// in the header, and synopses that agree with the programs' own usage texts.
#include <corvane/lint.h>
#include <corvane/manual.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace Corvane::AutoCli;

std::vector<std::string> Names(ManualFormat format) {
    std::vector<std::string> names;
    for (const ManualPage& page : AutoCli_ProgramManuals(format, "2026-12-06")) {
        names.push_back(page.fileName);
    }
    return names;
}

std::string Text(const std::string& fileName) {
    for (const ManualPage& page : AutoCli_ProgramManuals(ManualFormat::Man, "2026-12-06")) {
        if (page.fileName == fileName) {
            return page.text;
        }
    }
    return "";
}

// The first line of a usage text, without "Usage: ", as the page's synopsis shows it in roff.
std::string UsageLine(int (*main)(int, const char* const*, std::ostream&, std::ostream&), const char* name) {
    const char* argv[] = {name, "--help"};
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(0, main(2, argv, out, err));
    std::string line = out.str().substr(0, out.str().find('\n'));
    line.erase(0, line.find(' ') + 1);
    std::string roff;
    for (char c : line) {
        roff += c == '-' ? std::string("\\-") : std::string(1, c);
    }
    return ".nf\n" + roff + "\n.fi\n";
}

TEST(ProgramManuals, OnePagePerProgramInOrder) {
    EXPECT_EQ((std::vector<std::string>{"varnok-lint.1", "varnok-doc.1", "varnok-complete.1"}),
              Names(ManualFormat::Man));
    EXPECT_EQ((std::vector<std::string>{"varnok-lint.md", "varnok-doc.md", "varnok-complete.md"}),
              Names(ManualFormat::Markdown));
}

TEST(ProgramManuals, LintPageAsRoff) {
    EXPECT_EQ(CorvaneTest::ReadFile(CORVANE_TEST_DATA_DIR "/format/varnok-lint.1"), Text("varnok-lint.1"));
}

TEST(ProgramManuals, DateGoesIntoTheHeaderAsGiven) {
    const std::vector<ManualPage> pages = AutoCli_ProgramManuals(ManualFormat::Man, "December 6, 2026");
    ASSERT_EQ(3u, pages.size());
    EXPECT_EQ(".TH VARNOK\\-COMPLETE 1 \"December 6, 2026\" \"Corvane AutoCli\" \"varnok\"\n",
              pages[2].text.substr(0, pages[2].text.find('\n') + 1));
    EXPECT_EQ(0u, AutoCli_ProgramManuals(ManualFormat::Markdown, "2026-12-06")[1].text.find(
                      "# varnok-doc(1)\n\nvarnok-doc - write the manual pages of the loaded commands\n"));
}

TEST(ProgramManuals, SynopsesAgreeWithTheUsageTexts) {
    EXPECT_NE(std::string::npos, Text("varnok-lint.1").find(UsageLine(AutoCli_LintMain, "varnok-lint")));
    EXPECT_NE(std::string::npos, Text("varnok-doc.1").find(UsageLine(AutoCli_DocMain, "varnok-doc")));
}

} // namespace
