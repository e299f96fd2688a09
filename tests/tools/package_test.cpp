// The Debian package as an administrator meets it: made by CPack from this build tree, unpacked with
// dpkg-deb -x into a temporary root, and run from there: varnok finds the package's own library (its
// run path is relative to the binary), completion finds its helper beside varnok, and the examples
// in the documentation are loadable. lintian, when installed, reports no error on it.
#include "varnok_run.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

namespace {

using VarnokTest::Exists;
using VarnokTest::Result;
using VarnokTest::RunProgram;
using VarnokTest::RunShell;

class Package : public testing::Test {
protected:
    // One package for all cases: CPack and lintian are the slow part.
    static void SetUpTestSuite() {
        dir = new CorvaneTest::TempDir;
        RunShell("'" CPACK_COMMAND_PATH "' --config '" BUILD_DIR "/CPackConfig.cmake' -B '" + dir->Path() +
                 "/cpack' >'" + dir->Path() + "/cpack.log' 2>&1 || { cat '" + dir->Path() +
                 "/cpack.log'; exit 1; }");
        deb = RunShell("ls '" + dir->Path() + "/cpack/'varnok_*_amd64.deb");
        if (!deb.empty() && deb.back() == '\n')
            deb.pop_back();
        root = dir->Path() + "/root";
        RunShell("dpkg-deb -x '" + deb + "' '" + root + "'");
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }

    static CorvaneTest::TempDir* dir;
    static std::string deb;
    static std::string root;
};

CorvaneTest::TempDir* Package::dir = nullptr;
std::string Package::deb;
std::string Package::root;

TEST_F(Package, HoldsEverythingUnderUsr) {
    EXPECT_EQ("varnok_" PROJECT_VERSION_TEXT "_amd64.deb", deb.substr(deb.rfind('/') + 1));
    const std::string usr = root + "/usr";
    // What the cases below run (varnok, its libraries, the bash script and helper) is not listed.
    for (const char* path :
         {"include/corvane/corvane.h", "include/tarvikaudit.h", "share/zsh/vendor-completions/_varnok",
          "share/fish/vendor_completions.d/varnok.fish", "share/doc/varnok/copyright",
          "share/doc/varnok/examples/scripts/processes.sh", "share/doc/varnok/examples/sysload/sysload.cpp",
          INSTALL_LIBDIR "/libcorvane.so", INSTALL_LIBDIR "/cmake/Corvane/CorvaneConfig.cmake",
          INSTALL_LIBDIR "/pkgconfig/corvane.pc"}) {
        EXPECT_TRUE(Exists(usr + "/" + std::string(path))) << path;
    }
    // The plugin directories are there, empty, for packages of plugins.
    EXPECT_EQ("", RunShell("ls -A '" + usr + "/lib/tarvik/varnok/ext'"));
    EXPECT_EQ("ext\n", RunShell("ls -A '" + usr + "/lib/tarvik/varnok'"));
    // Nothing outside /usr; no machine code among the documentation.
    EXPECT_EQ("usr\n", RunShell("ls -A '" + root + "'"));
    EXPECT_EQ("corvane-regex.so\n", RunShell("ls -A '" + usr + "/" INSTALL_LIBDIR "/corvane/modules'"));
    EXPECT_EQ("", RunShell("find '" + usr + "/share' -name '*.so'"));
    // libxml2 is loaded, not linked, so the package names it; Boost.Regex comes from the module.
    const std::string depends = RunShell("dpkg-deb -f '" + deb + "' Depends");
    EXPECT_NE(std::string::npos, depends.find("libxml2 (>= 2.9)")) << depends;
    EXPECT_NE(std::string::npos, depends.find("libboost-regex")) << depends;
    // The examples' descriptors name their scripts where the package puts them.
    EXPECT_NE(std::string::npos, CorvaneTest::ReadFile(usr + "/share/doc/varnok/examples/processes.xml")
                                     .find("/bin/sh '/usr/share/doc/varnok/examples/scripts/processes.sh'"));
    EXPECT_EQ("varnok (" PROJECT_VERSION_TEXT ") unstable; urgency=medium\n",
              RunShell("gzip -dc '" + usr + "/share/doc/varnok/changelog.gz' | head -n 1"));
}

TEST_F(Package, VarnokRunsFromTheUnpackedRootWithItsOwnLibrary) {
    const std::string varnok = root + "/usr/bin/varnok";
    // The library found is the package's, through the run path relative to the binary.
    EXPECT_NE(std::string::npos,
              RunShell("env -u LD_LIBRARY_PATH ldd '" + varnok + "' | grep libcorvane").find(root + "/usr/"));
    Result result = RunProgram(varnok, {"--help"});
    EXPECT_EQ(1, result.status);
    EXPECT_EQ(0u, result.out.find(varnok + " [dispatcher options] <namespaces> <command> [options]\n"));
    result = RunProgram(varnok, {"--plugin-dir", root + "/usr/share/doc/varnok/examples", "text"});
    EXPECT_EQ(1, result.status);
    EXPECT_NE(std::string::npos, result.out.find("digest  Message digests.\n")) << result.out << result.err;
}

// bash-completion's loader finds the script in the share directory, and the script finds its helper
// beside the unpacked varnok.
TEST_F(Package, CompletionFromTheUnpackedRoot) {
    if (access("/usr/share/bash-completion/bash_completion", R_OK) != 0)
        GTEST_SKIP() << "bash-completion is not installed: completion from the package was not tried";
    const std::string usr = root + "/usr";
    const std::string line = usr + "/bin/varnok --plugin-dir " + usr +
                             "/share/doc/varnok/examples text digest compute --algorithm sha";
    const std::string driver = SOURCE_DIR "/tests/data/completion/complete.bash";
    const Result result = RunProgram("/bin/bash", {"--norc", "--noprofile", driver, usr + "/share", line});
    EXPECT_EQ(0, result.status) << result.err;
    EXPECT_EQ("", result.err);
    EXPECT_EQ("sha1\nsha256\nsha512\n", result.out);
}

TEST_F(Package, LintianReportsNoError) {
    if (access("/usr/bin/lintian", X_OK) != 0)
        GTEST_SKIP() << "lintian is not installed: the package was not checked";
    const Result result = RunProgram("/usr/bin/lintian", {"--fail-on", "error", deb});
    EXPECT_EQ(0, result.status) << result.out << result.err;
    EXPECT_EQ(std::string::npos, result.out.find("E: ")) << result.out;
}

} // namespace
