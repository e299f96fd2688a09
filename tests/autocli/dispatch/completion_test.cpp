// Tests of AutoCli_Complete and AutoCli_WriteCompletion: candidates for every position of a command
// line, compared as the exact lines the completion scripts read.
#include <corvane/completion.h>
#include <corvane/dispatch.h>

#include "test_support.h"

#include <sstream>

using namespace Corvane::AutoCli;
using CorvaneTest::CaptureOutErr;
using Strings = std::vector<std::string>;

namespace {

const std::string kStore = CORVANE_TEST_DATA_DIR "/completion/plugins/store.xml";

std::string Lines(const Completion& completion) {
    std::ostringstream out;
    AutoCli_WriteCompletion(completion, out);
    return out.str();
}

// Completes `words` on a fresh dispatcher with the store plugin loaded by --plugin.
std::string CompleteStore(Strings words) {
    words.insert(words.begin(), {"--plugin", kStore});
    CliDispatcher dispatcher;
    return Lines(AutoCli_Complete(dispatcher, words));
}

const std::string kListOptions = "--all\tAlso the hidden ones.\n"
                                 "--help\tShow the help message.\n"
                                 "--id\tOnly this volume.\n"
                                 "--key\tThe key.\n"
                                 "--label\tOnly volumes with this label.\n"
                                 "--mode\tHow to look:\n"
                                 "--online\tOnly those online.\n";

TEST(Completion, CandidatesAtEachPositionOfTheLine) {
    struct Case {
        Strings words;
        std::string expected;
    };
    const Case cases[] = {
        // The path: children of the node the words before reach, with descriptions (first line only).
        {{"st"}, "words\t\nstore\tStorage of the test host.\n"},
        {{"store", ""}, "words\t\nsync\tWrite everything out.\nvolume\tVolumes:\n"},
        {{"nothing", ""}, "words\t\n"},
        // Command options: long ones; short ones too once the word starts with a dash.
        {{"store", "volume", "list", ""}, "words\t\n" + kListOptions},
        {{"store", "volume", "list", "-"},
         "words\t\n" + kListOptions +
             "-a\tAlso the hidden ones.\n-h\tShow the help message.\n-i\tOnly this volume.\n-k\tThe key.\n"
             "-m\tHow to look:\n-o\tOnly those online.\n"},
        // Given options are left out, by long or short name, with or without "="; list options stay.
        {{"store", "volume", "list", "-a", "--mode=fast", "--online", "1", "-i", "4", "--key", "k", "-h",
          "--"},
         "words\t\n--id\tOnly this volume.\n--label\tOnly volumes with this label.\n"},
        // After a flag or help the next word is an option again.
        {{"store", "volume", "list", "--all", "--m"}, "words\t\n--mode\tHow to look:\n"},
        // Values: string and integer enumerations (descriptions on one line), booleans, nothing else.
        {{"store", "volume", "list", "--mode", ""}, "words\t\nfast\tQuick\nsafe\tCareful and slow\n"},
        {{"store", "volume", "list", "-m", "s"}, "words\t\nsafe\tCareful and slow\n"},
        {{"store", "volume", "list", "--mode=f"}, "words\t\n--mode=fast\tQuick\n"},
        {{"store", "volume", "list", "--id", ""}, "words\t\n30\n4\n"},
        {{"store", "volume", "list", "-i", "4", "-i", "3"}, "words\t\n30\n"},
        {{"store", "volume", "list", "--online", ""}, "words\t\nfalse\ntrue\n"},
        {{"store", "volume", "list", "--label", ""}, "words\t\n"},
        {{"store", "volume", "list", "stray", "--"}, "words\t\n"},
        // Dispatcher options, their values, and the path after them.
        {{"--f"},
         "words\t\n--format-param\tSet a formatter parameter: <key>=<value>\n"
         "--formatter\tOverride the formatter to use for a given command\n"},
        {{"--formatter", "j"}, "words\t\njson\tPrint the output as JSON.\n"},
        {{"--plugin", ""}, "files\t\n"},
        {{"--plugin-dir", "/tm"}, "directories\t\n"},
        {{"--input=/tmp/c"}, "files\t--input=\n"},
        {{"--formatter", "json", "--screen-width=80", "s"}, "words\t\nstore\tStorage of the test host.\n"},
        // Query fields of every command whose result is a list of structures; --dry-run takes no value.
        {{"--where", "Desc"}, "words\t\nDescription\n"},
        {{"--where", "Description =="}, "words\t\n"},
        {{"--sort=Command,-Na"}, "words\t\n--sort=Command,-Namespace\n"},
        {{"--dry-run", "st"}, "words\t\nstore\tStorage of the test host.\n"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const auto& word : c.words) {
            line += "[" + word + "]";
        }
        EXPECT_EQ(c.expected, CompleteStore(c.words)) << line;
    }
}

TEST(Completion, PluginsNamedOnTheLineLoadQuietlyAndOnlyBeforeTheWord) {
    CorvaneTest::TempDir dir;
    dir.WriteFile("plugins/store.xml", CorvaneTest::ReadFile(kStore));
    dir.WriteFile("plugins/broken.xml", "<plugin>");
    const std::string plugins = dir.Path() + "/plugins";
    struct Case {
        Strings words;
        std::string expected;
    };
    const Case cases[] = {
        {{"--plugin-dir=" + plugins, "store", "volume", "list", "--mode", "f"}, "words\t\nfast\tQuick\n"},
        // A file that does not load, and one loaded twice, add nothing and stop nothing.
        {{"--plugin", dir.Path() + "/none.xml", "--plugin", kStore, "--plugin", kStore, "st"},
         "words\t\nstore\tStorage of the test host.\n"},
        // The word being completed names no plugin yet.
        {{"--plugin-dir", plugins}, "directories\t\n"},
    };
    for (const Case& c : cases) {
        CliDispatcher dispatcher;
        std::string result;
        const auto captured = CaptureOutErr([&] { result = Lines(AutoCli_Complete(dispatcher, c.words)); });
        EXPECT_EQ(c.expected, result) << c.words.back();
        EXPECT_EQ("", captured.out);
        if (c.words.size() == 2) {
            EXPECT_EQ(1u, dispatcher.GetPluginNames().size()) << "only the internal plugin";
        }
    }
}

TEST(Completion, WrittenLinesKeepEveryCandidateOnOneLine) {
    Completion completion;
    completion.candidates = {{"a", "one\ttwo\nthree\r"}, {"b\tc", "dropped"}, {"d\ne", ""}, {"f", ""}};
    EXPECT_EQ("words\t\na\tone two three \nf\n", Lines(completion));
    completion.kind = CompletionKind::Directories;
    completion.prefix = "--plugin-dir=";
    completion.candidates.clear();
    EXPECT_EQ("directories\t--plugin-dir=\n", Lines(completion));
}

} // namespace
