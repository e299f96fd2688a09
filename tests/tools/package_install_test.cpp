// The three Debian packages installed into this machine with apt-get, used as an administrator and a
// plugin author would (varnok, the manual pages, a plugin built with pkg-config and loaded), then
// purged without leaving a file behind. Needs root; skipped otherwise. Runs alone (RUN_SERIAL): while
// it runs, /usr holds the packages.
#include "varnok_run.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace {

using VarnokTest::Exists;
using VarnokTest::Result;
using VarnokTest::RunProgram;
using VarnokTest::RunShell;

const std::vector<std::string> kPackages = {"libcorvane0", "libcorvane-dev", "varnok"};
// apt-get waits for a lock another apt-get holds instead of failing at once.
const std::string kAptGet = "DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=300 ";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

bool Installed(const std::string& package) {
    return RunProgram("/bin/sh", {"-c", "dpkg-query -W -f='${Status}' " + package + " 2>/dev/null"}).out ==
           "install ok installed";
}

void Purge() {
    std::string installed;
    for (const std::string& package : kPackages) {
        if (Installed(package)) {
            installed += " " + package;
        }
    }
    if (!installed.empty()) {
        RunShell(kAptGet + "purge" + installed + " >/dev/null 2>&1");
    }
}

class PackageInstall : public testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "not root: the packages were not installed";
        }
        if (access("/usr/bin/apt-get", X_OK) != 0) {
            GTEST_SKIP() << "apt-get is not installed";
        }
        RunShell("'" CPACK_COMMAND_PATH "' --config '" BUILD_DIR "/CPackConfig.cmake' -B '" + dir.Path() +
                 "/cpack' >'" + dir.Path() + "/cpack.log' 2>&1 || { cat '" + dir.Path() +
                 "/cpack.log'; exit 1; }");
        for (const std::string& package : kPackages) {
            debs += " './" + package + "_" PROJECT_VERSION_TEXT "_amd64.deb'";
        }
        // A run stopped half-way may have left them installed.
        Purge();
        // Every path the packages hold, directories included, and which of them exist before.
        for (const std::string& path :
             Lines(RunShell("cd '" + dir.Path() + "/cpack' && for deb in" + debs +
                            "; do dpkg-deb -c \"$deb\"; done | awk '{print $6}' | "
                            "sed 's|^\\./|/|; s|/$||' | grep -v '^/usr$' | sort -u"))) {
            if (!Exists(path)) {
                added.push_back(path);
            }
        }
    }
    void TearDown() override {
        if (geteuid() == 0) {
            Purge();
        }
    }

    CorvaneTest::TempDir dir;
    std::string debs;
    std::vector<std::string> added;
};

TEST_F(PackageInstall, InstalledWithAptGetUsedAndPurgedWithoutLeftovers) {
    ASSERT_FALSE(added.empty());
    Result result = RunProgram("/bin/sh", {"-c", "cd '" + dir.Path() + "/cpack' && " + kAptGet +
                                                     "install --no-install-recommends" + debs + " 2>&1"});
    ASSERT_EQ(0, result.status) << result.out;
    for (const std::string& package : kPackages) {
        EXPECT_TRUE(Installed(package)) << package;
    }
    const std::vector<std::string> listed =
        Lines(RunShell("dpkg -L libcorvane0 libcorvane-dev varnok | sort -u"));
    for (const std::string& path : added) {
        EXPECT_TRUE(Exists(path)) << path;
        EXPECT_NE(listed.end(), std::find(listed.begin(), listed.end(), path)) << path;
    }

    // varnok runs from /usr/bin with the library from the system's directory, and loads the examples.
    result = RunProgram("/usr/bin/varnok", {"--version"});
    EXPECT_EQ("varnok " PROJECT_VERSION_TEXT "\n", result.out);
    EXPECT_EQ(0, result.status);
    EXPECT_NE(std::string::npos,
              RunShell("env -u LD_LIBRARY_PATH ldd /usr/bin/varnok").find("libcorvane.so.0 => /usr/"));
    result = RunProgram("/usr/bin/varnok", {"--plugin-dir", "/usr/share/doc/varnok/examples", "text"});
    EXPECT_EQ(1, result.status);
    EXPECT_NE(std::string::npos, result.out.find("digest  Message digests.\n")) << result.out << result.err;
    // A pattern constraint loads the regex module from beside the installed library.
    result = RunProgram("/usr/bin/varnok", {"--plugin", "/usr/share/doc/varnok/examples/processes.xml",
                                            "system", "process", "list", "-u", "a b"});
    EXPECT_NE(std::string::npos, result.err.find("Value does not match the expected regular expression"))
        << result.err;

    // Nothing installed lands where varnok loads plugins from: the directories are there, empty.
    EXPECT_EQ("ext\n", RunShell("ls -A /usr/lib/tarvik/varnok"));
    EXPECT_EQ("", RunShell("ls -A /usr/lib/tarvik/varnok/ext"));

    // A plugin built from the shipped example with the compiler and pkg-config alone, loaded by varnok.
    EXPECT_EQ("-lcorvane\n",
              RunShell("env -u PKG_CONFIG_PATH pkg-config --cflags --libs corvane | sed 's/ *$//'"));
    RunShell("cd '" + dir.Path() +
             "' && '" CXX_COMPILER_PATH "' -std=c++17 -shared -fPIC " SANITIZE_FLAGS
             " /usr/share/doc/varnok/examples/sysload/sysload.cpp -o sysload.so "
             "$(env -u PKG_CONFIG_PATH pkg-config --cflags --libs corvane)");
    result = RunProgram("/usr/bin/varnok", {"--plugin", dir.Path() + "/sysload.so", "--formatter", "json",
                                            "system", "load", "show"});
    EXPECT_EQ("", result.err);
    EXPECT_EQ(0, result.status);
    EXPECT_NE(std::string::npos, result.out.find("\"Processes\": ")) << result.out;

    result = RunProgram("/bin/sh", {"-c", kAptGet + "purge libcorvane0 libcorvane-dev varnok 2>&1"});
    ASSERT_EQ(0, result.status) << result.out;
    for (const std::string& package : kPackages) {
        EXPECT_FALSE(Installed(package)) << package;
    }
    // Every file and directory the packages brought is gone.
    for (const std::string& path : added) {
        EXPECT_FALSE(Exists(path)) << path;
    }
}

} // namespace
