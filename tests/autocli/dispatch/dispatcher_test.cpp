// Tests of Dispatcher: registration, execution, formatting and plugin files, with real plugins.
#include <corvane/dispatch.h>

#include "test_support.h"

#include <dlfcn.h>
#include <tarvik.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>

using namespace Corvane::AutoCli;
using CorvaneTest::CaptureFd;
using Strings = std::vector<std::string>;
using Params = std::vector<std::pair<std::string, std::string>>;

namespace {

const std::string kPetshop = CORVANE_TEST_PETSHOP_PLUGIN;
const std::string kThrowing = CORVANE_TEST_THROWING_PLUGIN;

// Whether the object is mapped in this process, without keeping it loaded.
bool IsLoaded(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle) {
        dlclose(handle);
    }
    return handle != nullptr;
}

std::shared_ptr<Plugin> Loaded(const std::string& path) {
    auto plugin = SharedLibraryPlugin::New(path);
    plugin->Initialize();
    return plugin;
}

// Prints its name and reports failure, which the dispatcher must ignore.
struct Marker : Formatter {
    using Formatter::Formatter;
    bool Format(const std::shared_ptr<Corvane::CallSpec::Output>&, FormatParameters&, DisplayContext&,
                std::ostream& out) override {
        out << "marker " << GetName();
        return false;
    }
};

// An in-process plugin with a namespace "ns" + its name and a Marker formatter per given name.
struct FormatterPlugin : Plugin {
    FormatterPlugin(std::string name, const Strings& formatterNames) : name(std::move(name)) {
        for (const auto& formatterName : formatterNames) {
            formatters.push_back(std::make_shared<Marker>(formatterName));
        }
    }
    void Initialize() override {}
    const std::string& GetName() const override { return name; }
    void RegisterNamespaces(std::shared_ptr<Namespace> root) override {
        root->RegisterNamespaceNode(Namespace::New(), "ns" + name);
    }
    bool HasFormatter(const std::string& wanted) override { return GetFormatter(wanted) != nullptr; }
    std::shared_ptr<Formatter> GetFormatter(const std::string& wanted) override {
        auto found = std::find_if(formatters.begin(), formatters.end(),
                                  [&](auto& f) { return f->GetName() == wanted; });
        return found == formatters.end() ? nullptr : *found;
    }
    const std::vector<std::shared_ptr<Formatter>>& GetFormatters() override { return formatters; }
    std::string name;
    std::vector<std::shared_ptr<Formatter>> formatters;
};

// Runs the call, prints its result with the command's default formatter or `formatter`, then its errors.
std::string Call(Dispatcher& dispatcher, const std::list<std::string>& path, const Params& params = {},
                 const char* formatter = nullptr) {
    auto input = CommandInput::New();
    input->SetCommandPath(path);
    for (const auto& [key, value] : params) {
        input->AddParameter(key, value);
    }
    auto output = CommandOutput::New();
    std::ostringstream out;
    if (dispatcher.ExecuteCommand(input, output)) {
        FormatParameters format = dispatcher.GetDefaultOutputFormatParameters(input, output);
        if (formatter) {
            format.SetFormatter(formatter);
        }
        DisplayContext context;
        if (!dispatcher.FormatOutput(output, format, context, out)) {
            out << "<failed>";
        }
    } else if (!output->GetRootObject()) {
        out << "<no result>";
    }
    for (const auto& error : output->GetErrors()) {
        out << "\nerror:" << error;
    }
    return out.str();
}

std::string Descriptor(const std::string& inner) {
    return "<?xml version=\"1.0\"?>\n<plugin><version>1.0.0</version>" + inner + "</plugin>\n";
}

std::string NamespaceDescriptor(const std::string& path) {
    return Descriptor("<namespaces><namespace path=\"" + path + "\"><description>" + path +
                      "</description></namespace></namespaces>");
}

std::string RegisterFailure(const std::string& plugin, const std::string& message) {
    return "Error while trying to register the plugin " + plugin + " " + message + " The functionality in " +
           plugin + " will not be available until this issue is resolved.";
}

} // namespace

TEST(DispatcherTest, RunsASharedObjectPluginsCommandAndUnloadsItWithTheDispatcher) {
    ASSERT_FALSE(IsLoaded(kPetshop));
    {
        const long initCalls = TarvikFeatures_InitCallCount();
        Dispatcher dispatcher;
        EXPECT_EQ(initCalls + 1, TarvikFeatures_InitCallCount());
        EXPECT_EQ(Strings{"Internal"}, dispatcher.GetPluginNames());
        dispatcher.RegisterPlugin(Loaded(kPetshop));
        EXPECT_EQ((Strings{"Internal", kPetshop}), dispatcher.GetPluginNames());
        EXPECT_EQ("Pet:\n   Age: 3\n   Name: Rex\n   Vaccinated: true\n",
                  Call(dispatcher, {"petshop", "pet", "show"}, {{"n", "Rex"}, {"age", "3"}}));
        // Empty format parameters print nothing and succeed; an unknown formatter is an error.
        EXPECT_EQ("", Call(dispatcher, {"petshop", "status"}, {}, ""));
        EXPECT_EQ("<failed>\nerror:Unable to find requested formatter: clihelp",
                  Call(dispatcher, {"petshop", "status"}, {}, "clihelp"));
        // The list empties, but the plugins stay until the dispatcher goes: its commands still run.
        dispatcher.ResetRegistrations();
        EXPECT_TRUE(dispatcher.GetPluginNames().empty());
        EXPECT_EQ("ShopStatus:\n   Keeper: Mara\n   Open: true\n", Call(dispatcher, {"petshop", "status"}));
    }
    EXPECT_FALSE(IsLoaded(kPetshop));
}

TEST(DispatcherTest, ExecuteCommandRefusesWhatItCannotRun) {
    Dispatcher dispatcher;
    dispatcher.RegisterPlugin(Loaded(kPetshop));
    // clang-format off
    const std::tuple<std::list<std::string>, Params, std::string> cases[] = {
        {{}, {}, "Unable to find command"},
        {{"petshop", "pet"}, {}, "Path refers to a namespace, not a command."},
        {{"petshop", "fish", "feed"}, {},
         "Unable to find a command or namespace with the name 'fish' in namespace petshop\n"
         "error:Unable to find command"},
        {{"petshop", "pet", "show"}, {{"age", "2"}}, "Missing required parameter --name"}};
    // clang-format on
    for (const auto& [path, params, errors] : cases) {
        EXPECT_EQ("<no result>\nerror:" + errors, Call(dispatcher, path, params));
    }
}

TEST(DispatcherTest, RefusedRegistrationsKeepWhatWasRegistered) {
    Dispatcher dispatcher;
    dispatcher.RegisterPlugin(std::make_shared<FormatterPlugin>("Yaml", Strings{"yaml"}));
    EXPECT_EQ("marker yaml", Call(dispatcher, {"varnok", "command", "list"}, {}, "yaml"));
    // "zeta" is new but "yaml" is taken: none of the plugin's formatters is recorded, its namespace stays.
    EXPECT_THROW_MSG(
        dispatcher.RegisterPlugin(std::make_shared<FormatterPlugin>("Rival", Strings{"zeta", "yaml"})),
        "Error while trying to register the plugin Rival  this plugin has a formatter yaml that was "
        "already registered from the plugin Yaml  The functionality in Rival will not be "
        "available until this issue is resolved.");
    EXPECT_EQ((Strings{"Internal", "Yaml"}), dispatcher.GetPluginNames());
    EXPECT_FALSE(dispatcher.HasFormatter("zeta"));
    EXPECT_TRUE(dispatcher.GetRootNamespace()->HasNamespaceNode("nsRival"));

    auto plugin = Loaded(kThrowing);
    EXPECT_THROW_MSG(dispatcher.RegisterPlugin(plugin),
                     RegisterFailure(kThrowing, "The half-done plugin gave up."));
    // What it registered before failing stays usable, so its code must stay loaded without the plugin.
    plugin.reset();
    EXPECT_TRUE(IsLoaded(kThrowing));
    EXPECT_EQ("stepped\n", Call(dispatcher, {"halfdone", "step"}));
    EXPECT_THROW(dispatcher.RegisterPlugin(Loaded(CORVANE_TEST_STD_THROWING_PLUGIN)), std::runtime_error);
    EXPECT_THROW_MSG(dispatcher.RegisterPlugin(nullptr), "Unable to register an empty plugin.");
    EXPECT_EQ((Strings{"Internal", "Yaml"}), dispatcher.GetPluginNames());
}

TEST(DispatcherTest, PluginFilesLoadInScanOrder) {
    CorvaneTest::TempDir dir;
    const std::string d = dir.Path() + "/";
    const std::string command = "<commands><command path=\"zed.run\"><input-spec/><output-spec/>"
                                "<format-parameters/><execute>true</execute></command></commands>";
    dir.WriteFile("lib64/z.xml", NamespaceDescriptor("zed"));
    dir.WriteFile(".e.xml", NamespaceDescriptor("hidden")); // kept, and sorts first
    dir.WriteFile("a.so", CorvaneTest::ReadFile(kPetshop), 0755);
    dir.WriteFile("b.xml", Descriptor(command));
    dir.MakeDir("c.xml");
    dir.WriteFile("d.xml", Descriptor(command)); // b.xml registered it first
    dir.WriteFile("e-empty.xml", "");
    // Reads a namespace, then fails on a command: none of it may reach the tree.
    dir.WriteFile("f-half.xml", Descriptor("<namespaces><namespace path=\"half\"><description>H</description>"
                                           "</namespace></namespaces><commands><command path=\"half.c\"/>"
                                           "</commands>"));
    dir.WriteFile("g-good.xml", NamespaceDescriptor("second"));
    dir.WriteFile("x.so.1", "not a plugin either");

    Dispatcher dispatcher;
    const std::string err = CaptureFd(2, [&] { dispatcher.AddExternalDirectory(dir.Path()); });
    EXPECT_EQ(
        (Strings{"Internal", d + "lib64/z.xml", d + ".e.xml", d + "a.so", d + "b.xml", d + "g-good.xml"}),
        dispatcher.GetPluginNames());
    EXPECT_EQ((Strings{"hidden", "petshop", "second", "varnok", "zed"}),
              dispatcher.GetRootNamespace()->GetNamespaceNodeNames());
    auto failed = [&](const std::string& file, const std::string& message) {
        return "Error loading plugin " + d + file + " skipping.  Error was: " + message + "\n";
    };
    auto unparsed = [&](const std::string& file, const std::string& message) {
        return failed(file, "Unable to handle XML Plugin " + d + file +
                                ".  There was an error while parsing: " +
                                (message.empty() ? "Unable to parse XML descriptor: " + d + file : message));
    };
    EXPECT_EQ(
        unparsed("c.xml", "") +
            failed("d.xml", RegisterFailure(d + "d.xml", "Varnok path is already registered: zed.run")) +
            unparsed("e-empty.xml", "") +
            unparsed("f-half.xml", "Unable to register the command 'varnok half.c'  Error was Unable to "
                                   "find <input-spec> element, which is required for a command."),
        err);
    // A directory without lib64 gives no line.
    EXPECT_EQ("", CaptureFd(2, [&] { dispatcher.AddExternalDirectory(dir.MakeDir("empty")); }));
}
