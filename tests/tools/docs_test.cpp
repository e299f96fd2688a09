// The documentation's examples, run: the descriptor of the plugin guide beside the bundled examples,
// the command lines the bundled commands' help suggests, what the README says about --plugin, the
// generated manual pages under groff's lint, and the embedding guide's program built against the
// installed prefix.
#include "varnok_run.h"

#include "test_support.h"

#include <corvane/dispatch.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <list>
#include <sstream>
#include <string>
#include <vector>

namespace {

using VarnokTest::Result;
using VarnokTest::RunProgram;

const std::string kPrefix = INSTALL_PREFIX;
const std::string kBin = kPrefix + "/bin/";
const std::string kExamples = kPrefix + "/" INSTALL_LIBDIR "/corvane/examples";
const std::string kSource = PROJECT_SOURCE_PATH;

// The body of the first fenced block of `markdown` opened by `fence` after the text `after`.
std::string FencedBlock(const std::string& markdown, const std::string& fence,
                        const std::string& after = "") {
    const std::string::size_type anchor = markdown.find(after);
    const std::string::size_type open = markdown.find(fence + "\n", anchor == std::string::npos ? 0 : anchor);
    if (open == std::string::npos) {
        return "";
    }
    const std::string::size_type body = open + fence.size() + 1;
    const std::string::size_type close = markdown.find("\n```\n", body - 1);
    return close == std::string::npos ? "" : markdown.substr(body, close + 1 - body);
}

// The names in `directory`, sorted.
std::vector<std::string> Entries(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Docs, PluginGuideDescriptorLoadsBesideTheBundledExamples) {
    const std::string descriptor = FencedBlock(CorvaneTest::ReadFile(kSource + "/docs/writing-plugins.md"),
                                               "```xml", "## Descriptor plugins");
    ASSERT_NE(std::string::npos, descriptor.find("<plugin>"));
    CorvaneTest::TempDir dir;
    const std::string file = dir.WriteFile("kernel.xml", descriptor);

    Result lint = RunProgram(kBin + "varnok-lint", {"--plugin-dir", kExamples, file});
    EXPECT_EQ("", lint.out + lint.err);
    EXPECT_EQ(0, lint.status);
    Result listing = RunProgram(kBin + "varnok", {"--plugin-dir", kExamples, "--plugin", file, "system"});
    EXPECT_EQ("", listing.err);
    EXPECT_NE(std::string::npos, listing.out.find("\nkernel      The running kernel.\n")) << listing.out;
    Result help = RunProgram(kBin + "varnok",
                             {"--plugin-dir", kExamples, "--plugin", file, "system", "kernel", "show", "-h"});
    EXPECT_EQ(0, help.status) << help.err;
    EXPECT_NE(std::string::npos, help.out.find("Description: Show the host name and kernel release.\n"));

    // As the README says, a --plugin file named neither .so nor .xml is skipped without a word.
    const std::string renamed = dir.WriteFile("kernel.xml.txt", descriptor);
    Result skipped = RunProgram(kBin + "varnok", {"--plugin-dir", kExamples, "--plugin", renamed, "system"});
    EXPECT_EQ("", skipped.err);
    EXPECT_EQ(std::string::npos, skipped.out.find("kernel"));
    EXPECT_EQ(listing.out.size() - std::string("kernel      The running kernel.\n").size(),
              skipped.out.size());
}

TEST(Docs, BundledExamplesLintCleanAndTheirHelpExamplesRun) {
    Result lint = RunProgram(kBin + "varnok-lint", {"--werror", "--plugin-dir", kExamples});
    EXPECT_EQ("", lint.out + lint.err);
    EXPECT_EQ(0, lint.status);

    Corvane::AutoCli::Dispatcher dispatcher;
    dispatcher.AddExternalDirectory(kExamples);
    int examples = 0;
    std::vector<std::shared_ptr<Corvane::AutoCli::NamespaceNode>> pending{dispatcher.GetRootNamespace()};
    while (!pending.empty()) {
        auto node = pending.back();
        pending.pop_back();
        for (const auto& child : node->GetNamespaceNodes()) {
            pending.push_back(child);
        }
        auto command = std::dynamic_pointer_cast<Corvane::AutoCli::Command>(node);
        if (!command) {
            continue;
        }
        for (const auto& example : command->GetExamples()) {
            const std::list<std::string> path = command->GetPath();
            std::vector<std::string> args{"--plugin-dir", kExamples};
            args.insert(args.end(), path.begin(), path.end());
            std::istringstream words(example.first);
            args.insert(args.end(), std::istream_iterator<std::string>(words), {});
            const Result run = RunProgram(kBin + "varnok", args);
            EXPECT_EQ(0, run.status) << command->GetPathString(' ') << " " << example.first << "\n"
                                     << run.err;
            EXPECT_EQ("", run.err);
            ++examples;
        }
    }
    EXPECT_GE(examples, 3);
}

// Runs the "$ scripts/varnok ..." line that opens the README's first block after `after` with the
// installed varnok on the installed examples, and compares what it prints (standard output, then
// standard error, as a terminal shows them) with the rest of the block. The examples' directory
// reads "..." in the block, and a LANG assignment a run adds without LANG is left out.
void ExpectReadmeExample(const std::string& markdownFile, const std::string& after) {
    const std::string block = FencedBlock(CorvaneTest::ReadFile(kSource + "/" + markdownFile), "```", after);
    const std::string::size_type lineEnd = block.find('\n');
    ASSERT_EQ(0u, block.rfind("$ ", 0)) << after;
    std::string command = block.substr(2, lineEnd - 2);
    const std::string program = command.rfind("scripts/varnok ", 0) == 0 ? "scripts/varnok " : "varnok ";
    command.replace(0, program.size(), "'" + kBin + "varnok' --plugin-dir '" + kExamples + "' ");
    const Result run = RunProgram("/bin/sh", {"-c", command});
    std::string printed = run.out + run.err;
    for (const std::string& drop : {kExamples, std::string("LANG=en_US.UTF-8 ")}) {
        for (auto at = printed.find(drop); at != std::string::npos; at = printed.find(drop)) {
            printed.replace(at, drop.size(), drop == kExamples ? "..." : "");
        }
    }
    EXPECT_EQ(block.substr(lineEnd + 1), printed) << after;
}

TEST(Docs, QueryAndDryRunExamplesPrintWhatTheDocsShow) {
    ExpectReadmeExample("README.md", "f F`), or a string as given.");
    ExpectReadmeExample("README.md", "status 1, and nothing runs:");
    ExpectReadmeExample("README.md", "and 1 with the errors otherwise");
    ExpectReadmeExample("docs/writing-plugins.md", "appears) shown as `***`:");
    ExpectReadmeExample("docs/output-formats.md", "not used for the dry-run\nstructure.");
}

void ExpectGroffSilent(const std::string& page) {
    const Result groff = RunProgram("/bin/sh", {"-c", "groff -ww -z -man \"$0\" 2>&1", page});
    EXPECT_EQ("", groff.out) << page;
    EXPECT_EQ(0, groff.status) << page;
}

// The pages' texts are pinned by the manual tests; here varnok-doc writes one page per command and one
// of varnok, which groff reads without a warning, as it does the installed ones.
TEST(Docs, ManualPagesOfEveryCommandAndOfVarnokPassGroffsLint) {
    for (const char* installed : {"varnok.1", "varnok-varnok-command-list.1"}) {
        ExpectGroffSilent(kPrefix + "/share/man/man1/" + installed);
    }
    CorvaneTest::TempDir dir;
    Result doc = RunProgram(kBin + "varnok-doc",
                            {"--no-default-plugins", "--plugin-dir", kExamples, "--man", dir.MakeDir("man")});
    EXPECT_EQ("", doc.out + doc.err);
    ASSERT_EQ(0, doc.status);
    const std::vector<std::string> pages = Entries(dir.Path() + "/man");
    ASSERT_EQ(10u, pages.size());
    EXPECT_EQ("varnok-system-network-interface-get.1", pages[3]);
    EXPECT_EQ("varnok.1", pages[9]);
    for (const std::string& page : pages) {
        ExpectGroffSilent(dir.Path() + "/man/" + page);
    }

    doc = RunProgram(kBin + "varnok-doc", {"--markdown", dir.MakeDir("md"), "--man", dir.Path()});
    EXPECT_EQ(2, doc.status);
    EXPECT_EQ("varnok-doc: only one of --man and --markdown can be given\n",
              doc.err.substr(0, doc.err.find('\n') + 1));
    EXPECT_TRUE(Entries(dir.Path() + "/md").empty());
}

TEST(Docs, EmbeddingGuideProgramBuildsAgainstThePrefixAndPrintsWhatTheGuideSays) {
    const std::string guide = CorvaneTest::ReadFile(kSource + "/docs/embedding.md");
    const std::string program = FencedBlock(guide, "```cpp");
    const std::string printed = FencedBlock(guide, "```", "It prints:");
    ASSERT_NE(std::string::npos, program.find("int main()"));
    ASSERT_NE(std::string::npos, printed.find("Hello, Ada!"));
    CorvaneTest::TempDir dir;
    dir.WriteFile("embed.cpp", program);
    const Result build =
        RunProgram("/bin/sh", {"-c",
                               "cd \"$0\" && '" CXX_COMPILER_PATH "' -std=c++17 " SANITIZE_FLAGS
                               " embed.cpp -o embed $(PKG_CONFIG_PATH='" INSTALL_PREFIX "/" INSTALL_LIBDIR
                               "/pkgconfig' pkg-config --cflags --libs corvane)",
                               dir.Path()});
    ASSERT_EQ(0, build.status) << build.out << build.err;
    const Result run =
        RunProgram("/bin/sh", {"-c", "LD_LIBRARY_PATH='" INSTALL_PREFIX "/" INSTALL_LIBDIR "' exec \"$0\"",
                               dir.Path() + "/embed"});
    EXPECT_EQ(printed, run.out);
    EXPECT_EQ("", run.err);
    EXPECT_EQ(0, run.status);
}

} // namespace

namespace {

// The lines of `block` after its command lines (those starting with "$ ").
std::vector<std::string> OutputLines(const std::string& block) {
    std::vector<std::string> lines;
    std::istringstream text(block);
    for (std::string line; std::getline(text, line);) {
        if (line.rfind("$ ", 0) != 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

// The compatibility findings the README and the plugin guide show are lines varnok-lint prints for the
// test catalogs, whose whole output the end-to-end tests pin.
TEST(Docs, CompatibilityFindingsShownAreWhatTheLinterPrints) {
    const std::string printed = CorvaneTest::ReadFile(kSource + "/tests/data/catalog/expected/compat.out");
    const std::string readme = CorvaneTest::ReadFile(kSource + "/README.md");
    const std::vector<std::string> shown =
        OutputLines(FencedBlock(readme, "```", "`varnok-lint --compat OLD_CATALOG NEW_CATALOG` lists"));
    ASSERT_EQ(3u, shown.size());
    for (std::string line : shown) {
        ASSERT_EQ(0u, line.find("release-2/catalog.json: ")) << line;
        line.replace(0, 22, "NEW");
        EXPECT_NE(std::string::npos, printed.find(line + "\n")) << line;
    }
    const std::string guide = CorvaneTest::ReadFile(kSource + "/docs/writing-plugins.md");
    int found = 0;
    std::istringstream text(guide);
    for (std::string line; std::getline(text, line);) {
        if (line.rfind("    v2/catalog.json: ", 0) == 0) {
            EXPECT_NE(std::string::npos, printed.find("NEW" + line.substr(19) + "\n")) << line;
            ++found;
        }
    }
    EXPECT_EQ(3, found);
}

// The validation the output guide shows, run as it stands on the installed examples' schemas.
TEST(Docs, OutputGuideValidationRunsAsShown) {
    const std::string guide = CorvaneTest::ReadFile(kSource + "/docs/output-formats.md");
    const std::string block = FencedBlock(guide, "```", "### JSON Schemas");
    const std::string::size_type python = block.find("$ /usr/bin/python3 ");
    ASSERT_NE(std::string::npos, python) << block;
    const std::string command = block.substr(python + 2, block.find('\n', python) - python - 2);
    ASSERT_EQ("valid\n", block.substr(block.find('\n', python) + 1));

    CorvaneTest::TempDir dir;
    const Result doc = RunProgram(kBin + "varnok-doc", {"--no-default-plugins", "--plugin-dir", kExamples,
                                                        "--schema", dir.MakeDir("schemas")});
    ASSERT_EQ(0, doc.status) << doc.err;
    const Result info = RunProgram(
        kBin + "varnok", {"--plugin-dir", kExamples, "--formatter", "json", "system", "info", "get"});
    ASSERT_EQ(0, info.status) << info.err;
    dir.WriteFile("info.json", info.out);
    const Result run = RunProgram("/bin/sh", {"-c", "cd \"$0\" && " + command, dir.Path()});
    EXPECT_EQ("valid\n", run.out + run.err);
    EXPECT_EQ(0, run.status);
}

} // namespace
