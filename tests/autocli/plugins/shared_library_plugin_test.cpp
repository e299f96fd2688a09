// Tests of SharedLibraryPlugin with real shared objects built by the test build.
#include <corvane/plugins.h>

#include "test_support.h"

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>
#include <string>

using Corvane::AutoCli::Command;
using Corvane::AutoCli::NamespaceNode;
using Corvane::AutoCli::RootNamespace;
using Corvane::AutoCli::SharedLibraryPlugin;

namespace {

const std::string kPetshop = CORVANE_TEST_PETSHOP_PLUGIN;
const std::string kNoEntry = CORVANE_TEST_NO_ENTRY_PLUGIN;
const std::string kThrowing = CORVANE_TEST_THROWING_PLUGIN;
const std::string kStdThrowing = CORVANE_TEST_STD_THROWING_PLUGIN;

// Whether the object is mapped in this process, without keeping it loaded.
bool IsLoaded(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle) {
        dlclose(handle);
    }
    return handle != nullptr;
}

std::shared_ptr<NamespaceNode> Resolve(const std::shared_ptr<RootNamespace>& root,
                                       std::list<std::string> path) {
    return root->ResolveNode(path);
}

} // namespace

TEST(SharedLibraryPluginTest, NewLoadsNothingAndProvidesNoFormatters) {
    ASSERT_FALSE(IsLoaded(kPetshop));
    auto plugin = SharedLibraryPlugin::New(kPetshop);
    EXPECT_EQ(kPetshop, plugin->GetName());
    EXPECT_FALSE(IsLoaded(kPetshop));

    // Never initialised: registration does nothing.
    auto root = RootNamespace::New(nullptr);
    plugin->RegisterNamespaces(root);
    EXPECT_TRUE(root->GetNamespaceNodeNames().empty());

    EXPECT_FALSE(plugin->HasFormatter("json"));
    EXPECT_EQ(nullptr, plugin->GetFormatter("json"));
    EXPECT_TRUE(plugin->GetFormatters().empty());
    // One shared empty list for every shared-library plugin.
    EXPECT_EQ(&plugin->GetFormatters(), &SharedLibraryPlugin::New(kNoEntry)->GetFormatters());
}

TEST(SharedLibraryPluginTest, UnloadableObjectsReportTheLoaderMessage) {
    const std::string missing = "/nonexistent/corvane/plugin.so";
    auto plugin = SharedLibraryPlugin::New(missing);
    EXPECT_THROW_MSG(plugin->Initialize(), "Unable to load plugin from " + missing + " : " + missing +
                                               ": cannot open shared object file: No such file or directory");
    auto root = RootNamespace::New(nullptr);
    plugin->RegisterNamespaces(root);
    EXPECT_TRUE(root->GetNamespaceNodeNames().empty());

    CorvaneTest::TempDir dir;
    const std::string text = dir.WriteFile("text.so", "this is not an ELF object, only some text\n");
    EXPECT_THROW_MSG(SharedLibraryPlugin::New(text)->Initialize(),
                     "Unable to load plugin from " + text + " : " + text + ": file too short");
}

TEST(SharedLibraryPluginTest, ObjectWithoutEntryPointIsRefusedAndUnloaded) {
    auto plugin = SharedLibraryPlugin::New(kNoEntry);
    const std::string message = "Unable to get plugin registration point from " + kNoEntry + " : " +
                                kNoEntry + ": undefined symbol: AutoCli_RegisterNamespaces";
    EXPECT_THROW_MSG(plugin->Initialize(), message);
    EXPECT_FALSE(IsLoaded(kNoEntry));
    // The failure left nothing behind, so a retry fails the same way.
    EXPECT_THROW_MSG(plugin->Initialize(), message);
    EXPECT_FALSE(IsLoaded(kNoEntry));

    auto root = RootNamespace::New(nullptr);
    plugin->RegisterNamespaces(root);
    EXPECT_TRUE(root->GetNamespaceNodeNames().empty());
}

TEST(SharedLibraryPluginTest, RegistersTheObjectsCommandsAndUnloadsWhenDestroyed) {
    {
        auto plugin = SharedLibraryPlugin::New(kPetshop);
        plugin->Initialize();
        EXPECT_TRUE(IsLoaded(kPetshop));
        // Loaded with global symbols: the entry point is visible to the whole process. Looked up in
        // a child, because a global lookup from here would pin the object in this process for good.
        pid_t child = fork();
        ASSERT_NE(-1, child);
        if (child == 0) {
            _exit(dlsym(RTLD_DEFAULT, "AutoCli_RegisterNamespaces") ? 0 : 1);
        }
        int status = -1;
        ASSERT_EQ(child, waitpid(child, &status, 0));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        // A second Initialize must not take a second reference that would keep the object loaded.
        plugin->Initialize();

        auto root = RootNamespace::New(nullptr);
        plugin->RegisterNamespaces(root);
        EXPECT_EQ(std::vector<std::string>{"petshop"}, root->GetNamespaceNodeNames());
        auto petshop = Resolve(root, {"petshop"});
        EXPECT_EQ("Commands of the test pet shop.", petshop->GetDescription());
        EXPECT_EQ((std::vector<std::string>{"pet", "status"}), petshop->GetNamespaceNodeNames());
        auto show = std::dynamic_pointer_cast<Command>(Resolve(root, {"petshop", "pet", "show"}));
        ASSERT_NE(nullptr, show);
        EXPECT_EQ("Show one pet by name.", show->GetDescription());
        EXPECT_EQ("petshop.pet.show", show->GetPathString('.'));
        EXPECT_EQ("simple", show->GetDefaultOutputFormatParameters().GetFormatter());

        // The tree goes before the plugin: the commands' code lives in the object.
        show.reset();
        petshop.reset();
        root.reset();
        EXPECT_TRUE(IsLoaded(kPetshop));
    }
    EXPECT_FALSE(IsLoaded(kPetshop));
}

TEST(SharedLibraryPluginTest, EntryPointExceptionsPropagateUnchanged) {
    auto root = RootNamespace::New(nullptr);
    {
        auto plugin = SharedLibraryPlugin::New(kThrowing);
        plugin->Initialize();
        EXPECT_THROW_MSG(plugin->RegisterNamespaces(root), "The half-done plugin gave up.");
        // What it registered before failing stays.
        EXPECT_EQ(std::vector<std::string>{"halfdone"}, root->GetNamespaceNodeNames());
        root.reset();
    }
    EXPECT_FALSE(IsLoaded(kThrowing));

    auto plugin = SharedLibraryPlugin::New(kStdThrowing);
    plugin->Initialize();
    root = RootNamespace::New(nullptr);
    try {
        plugin->RegisterNamespaces(root);
        ADD_FAILURE() << "expected std::runtime_error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("plain failure", e.what());
    }
    EXPECT_TRUE(root->GetNamespaceNodeNames().empty());
}
