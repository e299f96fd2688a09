// The installed tree as plugin authors and packagers meet it: layout, find_package(Corvane) and
// pkg-config builds against the prefix, and the plugin directories of a system install.
#include "varnok_run.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

namespace {

using CorvaneTest::ReadFile;
using CorvaneTest::TempDir;
using VarnokTest::Result;
using VarnokTest::RunProgram;

const std::string kPrefix = INSTALL_PREFIX;
const std::string kLib = kPrefix + "/" + INSTALL_LIBDIR;

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// Runs a shell command line; its output is shown when it fails.
Result Shell(const std::string& command, const std::string& workDir = "") {
    Result result = RunProgram("/bin/sh", {"-c", command}, {}, workDir);
    EXPECT_EQ(0, result.status) << command << "\n" << result.out << result.err;
    return result;
}

TEST(Installed, PrefixHoldsToolLibraryHeadersPackageFilesAndExamples) {
    for (const std::string& path :
         {kPrefix + "/bin/varnok", kLib + "/libcorvane.so", kLib + "/libtarvikaudit.so",
          kPrefix + "/include/corvane/corvane.h", kPrefix + "/include/tarvikaudit.h",
          kLib + "/cmake/Corvane/CorvaneConfig.cmake", kLib + "/cmake/Corvane/CorvaneConfigVersion.cmake",
          kLib + "/pkgconfig/corvane.pc"})
        EXPECT_TRUE(Exists(path)) << path;
    if (EXAMPLES_BUILT) {
        const std::string examples = kLib + "/corvane/examples";
        EXPECT_TRUE(Exists(examples + "/sysload.so"));
        EXPECT_TRUE(Exists(examples + "/scripts/filesystems.sh"));
        // The installed descriptors name the installed scripts, not the build tree's.
        std::string descriptor = ReadFile(examples + "/filesystems.xml");
        EXPECT_NE(std::string::npos, descriptor.find("/bin/sh '" + examples + "/scripts/filesystems.sh'"));
        EXPECT_EQ(std::string::npos, descriptor.find("@EXAMPLE_SCRIPTS@"));
    }
    // Only a system install creates the host's plugin directories.
    EXPECT_FALSE(Exists(kPrefix + "/lib/tarvik"));
    EXPECT_FALSE(Exists(kPrefix + "/usr"));
}

TEST(Installed, SharedObjectExampleBuildsOutOfTreeWithFindPackageAndRuns) {
    TempDir dir;
    std::string cmake = CMAKE_COMMAND_PATH;
    Shell("'" + cmake + "' -S '" EXAMPLES_SOURCE_DIR "/sysload' -B '" + dir.Path() + "/build' -G '" +
          CMAKE_GENERATOR_NAME + "' -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH='" + kPrefix +
          "' -DCMAKE_CXX_COMPILER='" CXX_COMPILER_PATH "' -DCMAKE_CXX_FLAGS='" SANITIZE_FLAGS "' >/dev/null");
    Shell("'" + cmake + "' --build '" + dir.Path() + "/build' >/dev/null");
    Shell("'" + cmake + "' --install '" + dir.Path() + "/build' --prefix '" + dir.Path() +
          "/usr' >/dev/null");
    const std::string plugin = dir.Path() + "/usr/lib/tarvik/varnok/ext/sysload.so";
    ASSERT_TRUE(Exists(plugin));

    Result result = RunProgram(kPrefix + "/bin/varnok",
                               {"--plugin", plugin, "--formatter", "json", "system", "load", "show"});
    EXPECT_EQ("", result.err);
    EXPECT_EQ(0, result.status);
    EXPECT_NE(std::string::npos, result.out.find("\"Processes\": "));

    result = RunProgram(kPrefix + "/bin/varnok", {"--plugin", plugin, "system"});
    EXPECT_EQ(1, result.status);
    EXPECT_NE(std::string::npos,
              result.out.find("load  The load of this host.\nuser  The users of this host.\n"));
}

TEST(Installed, PkgConfigFlagsBuildAProgramAgainstThePrefix) {
    TempDir dir;
    dir.WriteFile("main.cpp",
                  "#include <corvane/corvane.h>\n#include <iostream>\n"
                  "int main() {\n"
                  "    Corvane::AutoCli::Dispatcher dispatcher;\n"
                  "    for (const auto& name : dispatcher.GetPluginNames()) std::cout << name << '\\n';\n"
                  "    return dispatcher.HasFormatter(\"table\") ? 0 : 1;\n"
                  "}\n");
    Shell("PKG_CONFIG_PATH='" + kLib +
              "/pkgconfig' && export PKG_CONFIG_PATH && '" CXX_COMPILER_PATH "' " SANITIZE_FLAGS
              " main.cpp -o consumer $(pkg-config --cflags --libs corvane)",
          dir.Path());
    Result result = RunProgram(dir.Path() + "/consumer", {});
    EXPECT_EQ("Internal\n", result.out);
    EXPECT_EQ("", result.err);
    EXPECT_EQ(0, result.status);
}

TEST(Installed, SystemInstallCreatesThePluginDirectories) {
    TempDir dir;
    Shell("DESTDIR='" + dir.Path() +
          "' '" CMAKE_COMMAND_PATH "' --install '" BUILD_DIR "' --prefix /usr >/dev/null");
    EXPECT_TRUE(Exists(dir.Path() + "/usr/lib/tarvik/varnok"));
    EXPECT_TRUE(Exists(dir.Path() + "/usr/lib/tarvik/varnok/ext"));
    EXPECT_TRUE(Exists(dir.Path() + "/usr/bin/varnok"));
}

} // namespace
