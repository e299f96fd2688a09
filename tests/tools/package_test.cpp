// The Debian packages as an administrator meets them: libcorvane0, libcorvane-dev and varnok made by
// CPack from this build tree, each holding its own part, unpacked together with dpkg-deb -x into a
// temporary root and run from there: varnok finds the package's own library (its run path is relative
// to the binary), completion finds its helper beside varnok, and the examples in the documentation
// are loadable. Every program has a manual page; lintian reports neither errors nor warnings.
#include "varnok_run.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

namespace {

using VarnokTest::Exists;
using VarnokTest::Result;
using VarnokTest::RunProgram;
using VarnokTest::RunShell;

const std::vector<std::string> kPackages = {"libcorvane0", "libcorvane-dev", "varnok"};

// A Depends field without the sanitizer runtimes that an instrumented build adds to it.
std::string WithoutSanitizerRuntimes(const std::string& depends) {
    std::string kept;
    size_t start = 0;
    while (start <= depends.size()) {
        size_t end = depends.find(", ", start);
        std::string entry = depends.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (entry.rfind("libasan", 0) != 0 && entry.rfind("libubsan", 0) != 0) {
            kept += (kept.empty() ? "" : ", ") + entry;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 2;
    }
    return kept;
}

std::string Chomp(std::string text) {
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

class Package : public testing::Test {
protected:
    // One set of packages for all cases: CPack and lintian are the slow part.
    static void SetUpTestSuite() {
        dir = new CorvaneTest::TempDir;
        RunShell("'" CPACK_COMMAND_PATH "' --config '" BUILD_DIR "/CPackConfig.cmake' -B '" + dir->Path() +
                 "/cpack' >'" + dir->Path() + "/cpack.log' 2>&1 || { cat '" + dir->Path() +
                 "/cpack.log'; exit 1; }");
        root = dir->Path() + "/root";
        for (const std::string& name : kPackages) {
            debs.push_back(Chomp(RunShell("ls '" + dir->Path() + "/cpack/'" + name + "_*_amd64.deb")));
            RunShell("dpkg-deb -x '" + debs.back() + "' '" + root + "'");
        }
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
        debs.clear();
    }

    // The regular files and links of package `index`, as paths below /, sorted.
    static std::string Files(size_t index) {
        return RunShell("dpkg-deb -c '" + debs[index] +
                        "' | grep -v '^d' | sed 's/.* \\./X/; s/ -> .*//' | " +
                        "sed 's/^X//' | LC_ALL=C sort");
    }
    static std::string Field(size_t index, const std::string& field) {
        return Chomp(RunShell("dpkg-deb -f '" + debs[index] + "' " + field));
    }

    static CorvaneTest::TempDir* dir;
    static std::vector<std::string> debs;
    static std::string root;
};

CorvaneTest::TempDir* Package::dir = nullptr;
std::vector<std::string> Package::debs;
std::string Package::root;

TEST_F(Package, ThreePackagesNamedAfterTheirContents) {
    ASSERT_EQ(3u, debs.size());
    for (size_t i = 0; i < debs.size(); ++i) {
        EXPECT_EQ(kPackages[i] + "_" PROJECT_VERSION_TEXT "_amd64.deb",
                  debs[i].substr(debs[i].rfind('/') + 1));
        EXPECT_EQ(kPackages[i], Field(i, "Package"));
        EXPECT_EQ(PROJECT_VERSION_TEXT, Field(i, "Version"));
        EXPECT_EQ("optional", Field(i, "Priority"));
    }
    EXPECT_EQ("libs", Field(0, "Section"));
    EXPECT_EQ("libdevel", Field(1, "Section"));
    EXPECT_EQ("admin", Field(2, "Section"));
}

// The library package holds what runs and nothing to build with; the links and headers are in the
// development package; the tools hold no library.
TEST_F(Package, LibraryPackageHoldsTheSharedLibrariesAndTheModuleOnly) {
    const std::string lib = "/usr/" INSTALL_LIBDIR;
    EXPECT_EQ(lib + "/corvane/modules/corvane-regex.so\n" + lib + "/libcorvane.so.0\n" + lib +
                  "/libcorvane.so." PROJECT_VERSION_TEXT "\n" + lib + "/libtarvik.so.1\n" + lib +
                  "/libtarvik.so.1.0.0\n" + lib + "/libtarvikaudit.so.1\n" + lib +
                  "/libtarvikaudit.so.1.0.0\n" + lib + "/libtarvikuser.so.1\n" + lib +
                  "/libtarvikuser.so.1.0.0\n" +
                  "/usr/share/doc/libcorvane0/changelog.gz\n/usr/share/doc/libcorvane0/copyright\n",
              Files(0));
}

TEST_F(Package, DevelopmentPackageHoldsHeadersLinksAndBuildFiles) {
    const std::string files = Files(1);
    const std::string lib = "/usr/" INSTALL_LIBDIR;
    for (const std::string& path :
         {std::string("/usr/include/corvane/corvane.h"), std::string("/usr/include/tarvikaudit.h"),
          lib + "/libcorvane.so", lib + "/libtarvik.so", lib + "/cmake/Corvane/CorvaneConfig.cmake",
          lib + "/pkgconfig/corvane.pc", std::string("/usr/share/doc/libcorvane-dev/copyright")}) {
        EXPECT_NE(std::string::npos, files.find(path + "\n")) << path << "\n" << files;
    }
    EXPECT_EQ(std::string::npos, files.find(".so.")) << files;
    EXPECT_EQ(std::string::npos, files.find("/usr/bin/")) << files;
}

TEST_F(Package, ToolsPackageHoldsProgramsPagesCompletionAndExamples) {
    const std::string files = Files(2);
    for (const char* path :
         {"/usr/bin/varnok\n", "/usr/bin/varnok-lint\n", "/usr/bin/varnok-doc\n",
          "/usr/libexec/varnok-complete\n", "/usr/share/zsh/vendor-completions/_varnok\n",
          "/usr/share/fish/vendor_completions.d/varnok.fish\n", "/usr/share/doc/varnok/copyright\n",
          "/usr/share/doc/varnok/examples/scripts/processes.sh\n",
          "/usr/share/doc/varnok/examples/sysload/sysload.cpp\n"}) {
        EXPECT_NE(std::string::npos, files.find(path)) << path << files;
    }
    EXPECT_EQ(std::string::npos, files.find("/usr/lib/")) << files;
    EXPECT_EQ(std::string::npos, files.find("/usr/include")) << files;
    // The plugin directories are there, empty, for packages of plugins.
    const std::string usr = root + "/usr";
    EXPECT_EQ("", RunShell("ls -A '" + usr + "/lib/tarvik/varnok/ext'"));
    EXPECT_EQ("ext\n", RunShell("ls -A '" + usr + "/lib/tarvik/varnok'"));
    // Nothing outside /usr; no machine code among the documentation.
    EXPECT_EQ("usr\n", RunShell("ls -A '" + root + "'"));
    EXPECT_EQ("", RunShell("find '" + usr + "/share' -name '*.so'"));
    // The examples' descriptors name their scripts where the package puts them.
    EXPECT_NE(std::string::npos, CorvaneTest::ReadFile(usr + "/share/doc/varnok/examples/processes.xml")
                                     .find("/bin/sh '/usr/share/doc/varnok/examples/scripts/processes.sh'"));
}

TEST_F(Package, DependenciesBetweenThePackagesAndOnTheSystem) {
    // libxml2 is loaded, not linked, so the library package names it; Boost.Regex comes from the module.
    const std::string library = WithoutSanitizerRuntimes(Field(0, "Depends"));
    EXPECT_EQ(0u, library.find("libxml2 (>= 2.9), libboost-regex")) << library;
    EXPECT_NE(std::string::npos, library.find("libstdc++6")) << library;
    EXPECT_EQ("libcorvane0 (= " PROJECT_VERSION_TEXT ")", Field(1, "Depends"));
    const std::string tools = WithoutSanitizerRuntimes(Field(2, "Depends"));
    EXPECT_EQ(0u, tools.find("libcorvane0 (= " PROJECT_VERSION_TEXT "), libc6")) << tools;
    EXPECT_EQ(std::string::npos, tools.find("libxml2")) << tools;
    EXPECT_EQ(std::string::npos, tools.find("libboost")) << tools;
}

// Programs linked against the libraries depend on libcorvane0; ldconfig runs through dpkg's trigger,
// not from maintainer scripts.
TEST_F(Package, LibraryPackageHasShlibsAndTheLdconfigTriggerOnly) {
    EXPECT_EQ(
        "control\nmd5sums\nshlibs\ntriggers\n",
        RunShell("dpkg-deb --ctrl-tarfile '" + debs[0] + "' | tar -t | sed -n 's|^\\./||p' | grep . | sort"));
    EXPECT_EQ("libcorvane 0 libcorvane0 (>= " PROJECT_VERSION_TEXT ")\n"
              "libtarvik 1 libcorvane0 (>= " PROJECT_VERSION_TEXT ")\n"
              "libtarvikaudit 1 libcorvane0 (>= " PROJECT_VERSION_TEXT ")\n"
              "libtarvikuser 1 libcorvane0 (>= " PROJECT_VERSION_TEXT ")\n",
              RunShell("dpkg-deb -I '" + debs[0] + "' shlibs"));
    EXPECT_EQ("activate-noawait ldconfig\n", RunShell("dpkg-deb -I '" + debs[0] + "' triggers"));
    for (size_t i = 1; i < debs.size(); ++i) {
        EXPECT_EQ("control\nmd5sums\n", RunShell("dpkg-deb --ctrl-tarfile '" + debs[i] +
                                                 "' | tar -t | sed -n 's|^\\./||p' | grep . | sort"));
    }
}

TEST_F(Package, EveryPackageHasCopyrightAndCompressedChangelog) {
    for (const std::string& name : kPackages) {
        const std::string doc = root + "/usr/share/doc/" + name;
        EXPECT_EQ("varnok (" PROJECT_VERSION_TEXT ") unstable; urgency=medium\n",
                  RunShell("gzip -dc '" + doc + "/changelog.gz' | head -n 1"))
            << name;
        EXPECT_EQ(CorvaneTest::ReadFile(SOURCE_DIR "/cmake/package/copyright"),
                  CorvaneTest::ReadFile(doc + "/copyright"));
    }
}

// Every program the packages install has its page, which groff (and mandoc, when installed) reads
// without a warning.
TEST_F(Package, EveryProgramHasAManualPageWithoutWarnings) {
    const std::string usr = root + "/usr";
    const std::string programs =
        RunShell("cd '" + usr + "' && ls bin libexec | grep -v ':$' | grep . | sort");
    EXPECT_EQ("varnok\nvarnok-complete\nvarnok-doc\nvarnok-lint\n", programs);
    const bool mandoc = access("/usr/bin/mandoc", X_OK) == 0;
    for (const char* program : {"varnok", "varnok-complete", "varnok-doc", "varnok-lint"}) {
        const std::string page = usr + "/share/man/man1/" + program + ".1.gz";
        ASSERT_TRUE(Exists(page)) << page;
        EXPECT_EQ("", RunShell("gzip -dc '" + page + "' | groff -ww -z -man 2>&1")) << page;
        // The date of varnok's own page is not the package's to give.
        if (mandoc && std::string(program) != "varnok") {
            EXPECT_EQ("", RunShell("gzip -dc '" + page + "' | mandoc -T lint -W warning 2>&1")) << page;
        }
    }
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
    if (access("/usr/share/bash-completion/bash_completion", R_OK) != 0) {
        GTEST_SKIP() << "bash-completion is not installed: completion from the package was not tried";
    }
    const std::string usr = root + "/usr";
    const std::string line = usr + "/bin/varnok --plugin-dir " + usr +
                             "/share/doc/varnok/examples text digest compute --algorithm sha";
    const std::string driver = SOURCE_DIR "/tests/data/completion/complete.bash";
    const Result result = RunProgram("/bin/bash", {"--norc", "--noprofile", driver, usr + "/share", line});
    EXPECT_EQ(0, result.status) << result.err;
    EXPECT_EQ("", result.err);
    EXPECT_EQ("sha1\nsha256\nsha512\n", result.out);
}

// A build tree outside /usr keeps its libraries out of the multiarch directory, which lintian notes
// for the pkg-config file; scripts/package builds for /usr and gets no such note.
TEST_F(Package, LintianReportsNoErrorAndNoWarning) {
    if (access("/usr/bin/lintian", X_OK) != 0) {
        GTEST_SKIP() << "lintian is not installed: the packages were not checked";
    }
    std::vector<std::string> args = {"--fail-on", "error,warning"};
    if (std::string(INSTALL_LIBDIR).find('/') == std::string::npos) {
        args.insert(args.end(), {"--suppress-tags", "pkg-config-unavailable-for-cross-compilation"});
    }
    args.insert(args.end(), debs.begin(), debs.end());
    const Result result = RunProgram("/usr/bin/lintian", args);
    EXPECT_EQ(0, result.status) << result.out << result.err;
    EXPECT_EQ(std::string::npos, result.out.find("E: ")) << result.out;
    EXPECT_EQ(std::string::npos, result.out.find("W: ")) << result.out;
}

} // namespace
