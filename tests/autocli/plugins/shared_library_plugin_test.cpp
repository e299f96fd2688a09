// Tests of SharedLibraryPlugin with real shared objects built by the test build.
#include <corvane/plugins.h>

#include "test_support.h"

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Corvane::AutoCli;

namespace {

const std::string kPetshop = CORVANE_TEST_PETSHOP_PLUGIN, kNoEntry = CORVANE_TEST_NO_ENTRY_PLUGIN;

// Whether the object is mapped in this process, without keeping it loaded.
bool IsLoaded(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    return handle != nullptr && dlclose(handle) == 0;
}

} // namespace

TEST(SharedLibraryPluginTest, LoadFailuresReportTheLoaderAndLeaveNothingLoaded) {
    CorvaneTest::TempDir dir;
    const std::string missing = dir.Path() + "/missing.so",
                      text = dir.WriteFile("text.so", "not an ELF object\n");
    const std::pair<std::string, std::string> cases[] = {
        {missing, "Unable to load plugin from " + missing + " : " + missing +
                      ": cannot open shared object file: No such file or directory"},
        {text, "Unable to load plugin from " + text + " : " + text + ": file too short"},
        {kNoEntry, "Unable to get plugin registration point from " + kNoEntry + " : " + kNoEntry +
                       ": undefined symbol: AutoCli_RegisterNamespaces"},
        {kPetshop, ""}}; // never initialised
    for (const auto& [path, message] : cases) {
        auto plugin = SharedLibraryPlugin::New(path);
        EXPECT_FALSE(IsLoaded(path)) << "New loads nothing";
        for (int attempt = 0; attempt < 2 && !message.empty(); ++attempt) { // a retry fails the same way
            EXPECT_THROW_MSG(plugin->Initialize(), message);
            EXPECT_FALSE(IsLoaded(path)) << path;
        }
        auto root = RootNamespace::New(nullptr);
        plugin->RegisterNamespaces(root);
        EXPECT_TRUE(root->GetNamespaceNodeNames().empty() && plugin->GetFormatters().empty()) << path;
        EXPECT_TRUE(!plugin->HasFormatter("json") && !plugin->GetFormatter("json")) << path;
    }
}

TEST(SharedLibraryPluginTest, RegistersCommandsAndUnloadsOnlyWhenDestroyed) {
    {
        auto plugin = SharedLibraryPlugin::New(kPetshop);
        plugin->Initialize();
        plugin->Initialize(); // must not take a second reference that keeps the object loaded
        // Loaded with global symbols. Looked up in a child: a global lookup here would pin the object.
        const pid_t child = fork();
        if (child == 0) {
            _exit(dlsym(RTLD_DEFAULT, "AutoCli_RegisterNamespaces") ? 0 : 1);
        }
        int status = -1;
        EXPECT_TRUE(waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0);
        auto root = RootNamespace::New(nullptr);
        plugin->RegisterNamespaces(root);
        root.reset(); // the tree goes first: the commands' code lives in the object
        EXPECT_TRUE(IsLoaded(kPetshop));
    }
    EXPECT_FALSE(IsLoaded(kPetshop));
}
