// varnok end to end with the descriptor cache: the same output with and without it, and output and
// errors in their order when standard output is a pipe.
#include "varnok_run.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using VarnokTest::Result;
using VarnokTest::RunProgram;
using VarnokTest::RunVarnok;

const std::string kPlugins = E2E_PLUGIN_DIR;
const std::string kBroken = std::string(E2E_DATA_DIR) + "/broken";
const std::string kExamples = EXAMPLES_PLUGIN_DIR;

class DescriptorCacheE2e : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_CACHE_HOME", home.Path().c_str(), 1); }
    void TearDown() override {
        ::unsetenv("XDG_CACHE_HOME");
        ::unsetenv("VARNOK_NO_CACHE");
    }
    CorvaneTest::TempDir home;
};

TEST_F(DescriptorCacheE2e, EveryRunPrintsWhatItPrintsWithoutTheCache) {
    std::vector<std::vector<std::string>> runs = {
        {"--plugin-dir", kPlugins},
        {"--plugin-dir", kPlugins, "--formatter", "json", "inventory", "disk", "get", "-n", "nvme0n1"},
        {"--plugin-dir", kPlugins, "inventory", "disk", "get", "--name", "nothere"},
        {"--plugin-dir", kPlugins, "inventory", "disk", "list", "-m", "-1"},
        {"--plugin-dir", kPlugins, "inventory", "secret", "check", "--help"},
        {"--plugin-dir", kPlugins, "--input", std::string(E2E_DATA_DIR) + "/commands.txt"},
        // Broken descriptors are never cached: their messages come on every run.
        {"--plugin-dir", kBroken, "hello", "say"},
        {"--plugin", kBroken + "/b-version.xml"},
    };
    if (EXAMPLES_BUILT) {
        runs.push_back({"--plugin-dir", kExamples, "system", "process", "list", "--help"});
        runs.push_back({"--plugin-dir", kExamples, "system", "network", "interface", "get", "--help"});
        runs.push_back({"--plugin-dir", kExamples, "text", "digest", "compute", "--value", "abc"});
        runs.push_back({"--plugin-dir", kExamples, "varnok", "command", "list", "-n", "system"});
    }
    for (const auto& args : runs) {
        const std::string line = ::testing::PrintToString(args);
        ::setenv("VARNOK_NO_CACHE", "1", 1);
        const Result fresh = RunVarnok(args);
        ::unsetenv("VARNOK_NO_CACHE");
        for (const char* run : {"filling the cache", "using it"}) {
            const Result cached = RunVarnok(args);
            EXPECT_EQ(fresh.out, cached.out) << run << " " << line;
            EXPECT_EQ(fresh.err, cached.err) << run << " " << line;
            EXPECT_EQ(fresh.status, cached.status) << run << " " << line;
        }
    }
}

TEST_F(DescriptorCacheE2e, OutputAndErrorsKeepTheirOrderOnAPipe) {
    // A batch whose commands print, fail and print: each command's output is out before the next
    // command's errors, although standard output is a pipe written in blocks.
    const CorvaneTest::TempDir dir;
    // Its program writes to standard error itself, past the dispatcher's streams.
    const std::string noisy = dir.WriteFile(
        "noisy.xml",
        R"(<p><version>1.0.0</version><namespaces><namespace path="noisy"><description>N.</description>
        </namespace></namespaces><commands><command path="noisy.say"><input-spec/><output-spec><string/></output-spec>
        <format-parameters><formatter>simple</formatter></format-parameters>
        <execute>echo warning &gt;&amp;2; echo '&lt;output&gt;&lt;string&gt;said&lt;/string&gt;&lt;/output&gt;'</execute>
        </command></commands></p>)");
    const std::vector<std::vector<std::string>> lines = {
        {"inventory", "disk", "get", "--name", "sda"},
        {"inventory", "disk", "get", "--name", "nothere"},
        {"inventory", "disk", "list"},
        {"noisy", "say"},
        {"inventory", "disk", "list", "-m", "-1"},
        {"noisy", "say"},
        {"--formatter", "json", "inventory", "disk", "get", "--name", "sdb"},
    };
    std::string batch;
    std::string expected;
    for (const auto& words : lines) {
        std::vector<std::string> args = {"--plugin-dir", kPlugins, "--plugin", noisy};
        args.insert(args.end(), words.begin(), words.end());
        const Result alone = RunVarnok(args);
        // A command prints either errors or output; in the batch its failing line is named first.
        if (alone.status != 0) {
            expected += "varnok: --input line " + std::to_string(&words - lines.data() + 1) + ":\n";
        }
        expected += alone.err + alone.out;
        for (const auto& word : words) {
            batch += word + " ";
        }
        batch += "\n";
    }
    const std::string input = dir.WriteFile("batch.txt", batch);
    const Result piped =
        RunProgram("/bin/sh", {"-c", "\"$0\" --plugin-dir \"$1\" --plugin \"$3\" --input \"$2\" 2>&1 | cat",
                               VarnokTest::VarnokBinary(), kPlugins, input, noisy});
    EXPECT_EQ(expected, piped.out) << batch;
    EXPECT_EQ(0, piped.status);
}

} // namespace
