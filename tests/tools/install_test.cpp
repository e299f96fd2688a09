// The installed tree as plugin authors and packagers meet it: layout, find_package(Corvane) and
// pkg-config builds against the prefix, and the plugin directories of a system install.
#include "varnok_run.h"

#include "test_support.h"

#include <corvane/dispatch.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using VarnokTest::Exists;
using VarnokTest::Result;
using VarnokTest::RunProgram;

const std::string kPrefix = INSTALL_PREFIX;
const std::string kLib = kPrefix + "/" INSTALL_LIBDIR;

// Runs a shell command line in `dir`.
void Shell(const std::string& dir, const std::string& command) {
    VarnokTest::RunShell("cd '" + dir + "' && " + command);
}

TEST(Installed, PrefixHoldsToolLibraryHeadersPackageFilesAndExamples) {
    // The library, its headers and package files are what the builds below use.
    EXPECT_TRUE(Exists(kLib + "/libtarvikaudit.so"));
    EXPECT_TRUE(Exists(kPrefix + "/include/tarvikaudit.h"));
    if (EXAMPLES_BUILT) {
        // The installed descriptors name the installed scripts, not the build tree's.
        const std::string examples = kLib + "/corvane/examples";
        EXPECT_TRUE(Exists(examples + "/sysload.so"));
        EXPECT_TRUE(Exists(examples + "/scripts/filesystems.sh"));
        EXPECT_NE(std::string::npos, CorvaneTest::ReadFile(examples + "/filesystems.xml")
                                         .find("/bin/sh '" + examples + "/scripts/filesystems.sh'"));
        // A pattern constraint loads the regex module from beside the installed library.
        const Result result = RunProgram(kPrefix + "/bin/varnok", {"--plugin", examples + "/processes.xml",
                                                                   "system", "process", "list", "-u", "a b"});
        EXPECT_NE(std::string::npos, result.err.find("Value does not match the expected regular expression"));
    }
    // Only a system install creates the host's plugin directories.
    EXPECT_FALSE(Exists(kPrefix + "/lib/tarvik"));
    CorvaneTest::TempDir dir;
    Shell(dir.Path(), "DESTDIR=\"$PWD\" '" CMAKE_COMMAND_PATH "' --install '" BUILD_DIR "' --prefix /usr");
    for (const std::string& directory : Corvane::AutoCli::Dispatcher::GetDefaultDirectories()) {
        EXPECT_TRUE(Exists(dir.Path() + directory)) << directory;
    }
}

TEST(Installed, SharedObjectExampleBuildsOutOfTreeWithFindPackageAndRuns) {
    CorvaneTest::TempDir dir;
    Shell(dir.Path(), "cmake='" CMAKE_COMMAND_PATH "' && \"$cmake\" -S '" EXAMPLES_SOURCE_DIR
                      "/sysload' -B build -G '" CMAKE_GENERATOR_NAME
                      "' -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH='" INSTALL_PREFIX
                      "' -DCMAKE_CXX_COMPILER='" CXX_COMPILER_PATH "' -DCMAKE_CXX_FLAGS='" SANITIZE_FLAGS
                      "' && \"$cmake\" --build build && \"$cmake\" --install build --prefix \"$PWD/usr\"");
    const std::string varnok = kPrefix + "/bin/varnok",
                      plugin = dir.Path() + "/usr/lib/tarvik/varnok/ext/sysload.so";
    Result result = RunProgram(varnok, {"--plugin", plugin, "--formatter", "json", "system", "load", "show"});
    EXPECT_EQ("", result.err);
    EXPECT_EQ(0, result.status);
    EXPECT_NE(std::string::npos, result.out.find("\"Processes\": "));
    result = RunProgram(varnok, {"--plugin", plugin, "system"});
    EXPECT_EQ(1, result.status);
    EXPECT_NE(std::string::npos,
              result.out.find("load  The load of this host.\nuser  The users of this host.\n"));
}

TEST(Installed, PkgConfigFlagsBuildACxx20ProgramAgainstThePrefix) {
    // Neither a language standard nor a run path is forced on the program.
    const std::string pkgConfig =
        "PKG_CONFIG_PATH='" INSTALL_PREFIX "/" INSTALL_LIBDIR "/pkgconfig' pkg-config";
    Result result = RunProgram("/bin/sh", {"-c", pkgConfig + " --cflags --libs corvane"});
    EXPECT_EQ("-I" + kPrefix + "/include -L" + kLib + " -lcorvane \n", result.out);
    CorvaneTest::TempDir dir;
    Shell(dir.Path(), "'" CXX_COMPILER_PATH "' -std=c++20 " SANITIZE_FLAGS " '" E2E_DATA_DIR
                      "/consumer.cpp' -o consumer $(" +
                          pkgConfig + " --cflags --libs corvane)");
    result = RunProgram("/usr/bin/env", {"LD_LIBRARY_PATH=" + kLib, dir.Path() + "/consumer"});
    EXPECT_EQ("Internal\n", result.out);
    EXPECT_EQ("", result.err);
    EXPECT_EQ(0, result.status);
}

} // namespace
