// Tests of Dispatcher: plugin registration, command execution and formatting, with real shared-object
// plugins built by the test build.
#include <corvane/dispatch.h>

#include "test_support.h"

#include <dlfcn.h>
#include <tarvik.h>

#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Corvane::AutoCli;
using Corvane::CallSpec::Output;
using Corvane::MetaObj::MetaList;
using Corvane::MetaObj::MetaStruct;

namespace {

const std::string kPetshop = CORVANE_TEST_PETSHOP_PLUGIN;
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

void LoadSharedPlugin(Dispatcher& dispatcher, const std::string& path) {
    auto plugin = SharedLibraryPlugin::New(path);
    plugin->Initialize();
    dispatcher.RegisterPlugin(plugin);
}

// A formatter that prints a fixed line, standing for a plugin's own output format.
class MarkerFormatter : public Formatter {
public:
    explicit MarkerFormatter(const std::string& name) : Formatter(name) {}

    bool Format(const std::shared_ptr<Output>&, FormatParameters& params, DisplayContext&,
                std::ostream& out) override {
        out << "marker " << GetName() << " " << params.GetParameter("tone") << "\n";
        return false;
    }
};

// An in-process plugin with formatters of the given names and one namespace of its own.
class FormatterPlugin : public Plugin {
public:
    FormatterPlugin(std::string name, const std::vector<std::string>& formatterNames, std::string nodeName)
        : name(std::move(name)), nodeName(std::move(nodeName)) {
        for (const auto& formatterName : formatterNames) {
            formatters.push_back(std::make_shared<MarkerFormatter>(formatterName));
        }
    }

    void Initialize() override {}
    const std::string& GetName() const override { return name; }
    void RegisterNamespaces(std::shared_ptr<Namespace> root) override {
        root->RegisterNamespaceNode(Namespace::New(), nodeName);
    }
    bool HasFormatter(const std::string& formatterName) override {
        return !hidden && GetFormatter(formatterName) != nullptr;
    }
    std::shared_ptr<Formatter> GetFormatter(const std::string& formatterName) override {
        for (const auto& formatter : formatters) {
            if (formatter->GetName() == formatterName) {
                return formatter;
            }
        }
        return nullptr;
    }
    const std::vector<std::shared_ptr<Formatter>>& GetFormatters() override { return formatters; }

    // When set, the plugin denies its formatters although it listed them at registration.
    bool hidden = false;

private:
    std::string name;
    std::string nodeName;
    std::vector<std::shared_ptr<Formatter>> formatters;
};

struct Call {
    std::shared_ptr<CommandInput> input = CommandInput::New();
    std::shared_ptr<CommandOutput> output = CommandOutput::New();

    explicit Call(const std::list<std::string>& path,
                  const std::vector<std::pair<std::string, std::string>>& parameters = {}) {
        input->SetCommandPath(path);
        for (const auto& [key, value] : parameters) {
            input->AddParameter(key, value);
        }
    }
};

std::string Print(Dispatcher& dispatcher, const Call& call, FormatParameters params, bool expectOk = true) {
    DisplayContext context;
    context.width = 80;
    std::ostringstream out;
    EXPECT_EQ(expectOk, dispatcher.FormatOutput(call.output, params, context, out));
    return out.str();
}

std::vector<std::string> FormatterNames(Dispatcher& dispatcher) {
    std::vector<std::string> names;
    for (const auto& formatter : dispatcher.GetFormatters()) {
        names.push_back(formatter ? formatter->GetName() : "<none>");
    }
    return names;
}

// "namespace command" of every entry the listing command returns for the given filters.
std::vector<std::string> Listing(Dispatcher& dispatcher,
                                 const std::vector<std::pair<std::string, std::string>>& filters = {}) {
    Call call({"varnok", "command", "list"}, filters);
    EXPECT_TRUE(dispatcher.ExecuteCommand(call.input, call.output));
    std::vector<std::string> entries;
    auto list = std::dynamic_pointer_cast<MetaList>(call.output->GetRootObject());
    if (!list) {
        ADD_FAILURE() << "the listing returned no list";
        return entries;
    }
    for (const auto& item : list->GetObjects()) {
        auto entry = std::dynamic_pointer_cast<MetaStruct>(item);
        entries.push_back(GetStringField(entry, "Namespace") + " " + GetStringField(entry, "Command"));
    }
    return entries;
}

} // namespace

TEST(DispatcherTest, ConstructionRegistersTheInternalPlugin) {
    const long initCalls = TarvikFeatures_InitCallCount();
    Dispatcher dispatcher;
    EXPECT_EQ(initCalls + 1, TarvikFeatures_InitCallCount());
    EXPECT_NE(0, TarvikFeatures_IsInitialized());

    EXPECT_EQ(std::vector<std::string>{"Internal"}, dispatcher.GetPluginNames());
    EXPECT_EQ(&dispatcher, dispatcher.GetRootNamespace()->GetDispatcher());
    EXPECT_EQ((std::vector<std::string>{"commandhelp", "json", "python", "simple", "table", "xml"}),
              FormatterNames(dispatcher));
    EXPECT_TRUE(dispatcher.HasFormatter("table"));
    EXPECT_FALSE(dispatcher.HasFormatter("clihelp"));
    EXPECT_EQ(nullptr, dispatcher.GetFormatter("clihelp"));
    EXPECT_EQ("json", dispatcher.GetFormatter("json")->GetName());

    EXPECT_EQ(std::vector<std::string>{"varnok.command list"}, Listing(dispatcher));
    Dispatcher second;
    EXPECT_EQ(initCalls + 2, TarvikFeatures_InitCallCount());
    EXPECT_NE(dispatcher.GetFormatter("json"), second.GetFormatter("json"));
}

TEST(DispatcherTest, RunsASharedObjectPluginsCommandAndPrintsIt) {
    Dispatcher dispatcher;
    LoadSharedPlugin(dispatcher, kPetshop);
    EXPECT_EQ((std::vector<std::string>{"Internal", kPetshop}), dispatcher.GetPluginNames());
    // A shared-object plugin brings no formatters.
    EXPECT_EQ(6u, dispatcher.GetFormatters().size());

    Call call({"petshop", "pet", "show"}, {{"n", "Rex"}, {"age", "3"}});
    EXPECT_TRUE(dispatcher.ExecuteCommand(call.input, call.output));
    EXPECT_TRUE(call.output->GetErrors().empty());
    // The short name was moved to the long one by the command's input specification.
    EXPECT_TRUE(call.input->HasParameter("name"));

    FormatParameters params = dispatcher.GetDefaultOutputFormatParameters(call.input, call.output);
    EXPECT_EQ("simple", params.GetFormatter());
    EXPECT_EQ("Pet:\n"
              "   Age: 3\n"
              "   Name: Rex\n"
              "   Vaccinated: true\n",
              Print(dispatcher, call, params));

    params.SetFormatter("json");
    EXPECT_EQ("\n{\n"
              "   \"Age\": 3,\n"
              "   \"Name\": \"Rex\",\n"
              "   \"Vaccinated\": true\n"
              "}\n",
              Print(dispatcher, call, params));

    params.SetFormatter("python");
    EXPECT_EQ("{\"Age\": 3, \"Name\": \"\"\"Rex\"\"\", \"Vaccinated\": True, }\n",
              Print(dispatcher, call, params));
    EXPECT_TRUE(call.output->GetErrors().empty());

    Call status({"petshop", "status"});
    EXPECT_TRUE(dispatcher.ExecuteCommand(status.input, status.output));
    EXPECT_EQ(
        "ShopStatus:\n"
        "   Keeper: Mara\n"
        "   Open: true\n",
        Print(dispatcher, status, dispatcher.GetDefaultOutputFormatParameters(status.input, status.output)));
}

TEST(DispatcherTest, ListingCommandListsPluginCommandsWithEveryFilter) {
    Dispatcher dispatcher;
    LoadSharedPlugin(dispatcher, kPetshop);

    // Depth first in name order: the sub-namespace "pet" comes before the command "status".
    EXPECT_EQ((std::vector<std::string>{"petshop.pet show", "petshop status", "varnok.command list"}),
              Listing(dispatcher));
    EXPECT_EQ((std::vector<std::string>{"petshop.pet show", "petshop status"}),
              Listing(dispatcher, {{"namespace-filter", "petshop"}}));
    // Matched against the dotted path.
    EXPECT_EQ(std::vector<std::string>{"petshop.pet show"}, Listing(dispatcher, {{"n", "shop.p"}}));
    EXPECT_EQ(std::vector<std::string>{}, Listing(dispatcher, {{"n", "shop pet"}}));
    EXPECT_EQ((std::vector<std::string>{"petshop status", "varnok.command list"}),
              Listing(dispatcher, {{"command-filter", "st"}}));
    EXPECT_EQ(std::vector<std::string>{"petshop.pet show"},
              Listing(dispatcher, {{"description-filter", "pet"}}));
    // Case-sensitive.
    EXPECT_EQ(std::vector<std::string>{}, Listing(dispatcher, {{"d", "Pet"}}));
    // All three together, and an explicitly empty filter that lets everything pass.
    EXPECT_EQ(std::vector<std::string>{"petshop status"},
              Listing(dispatcher, {{"n", "shop"}, {"c", "s"}, {"d", "open"}}));
    EXPECT_EQ(3u, Listing(dispatcher, {{"c", ""}}).size());

    // The listing's own defaults print it as a table.
    Call call({"varnok", "command", "list"}, {{"n", "petshop"}});
    ASSERT_TRUE(dispatcher.ExecuteCommand(call.input, call.output));
    FormatParameters params = dispatcher.GetDefaultOutputFormatParameters(call.input, call.output);
    EXPECT_EQ("table", params.GetFormatter());
    EXPECT_EQ("Namespace    Command  Description\n"
              "-----------  -------  -----------\n"
              "petshop.pet  show     Show one pet by name.\n"
              "petshop      status   Report whether the shop is open.\n",
              Print(dispatcher, call, params));
}

TEST(DispatcherTest, ExecuteCommandRefusesWhatItCannotRun) {
    Dispatcher dispatcher;
    LoadSharedPlugin(dispatcher, kPetshop);

    Call empty({});
    EXPECT_FALSE(dispatcher.ExecuteCommand(empty.input, empty.output));
    EXPECT_EQ(std::vector<std::string>{"Unable to find command"}, empty.output->GetErrors());

    Call space({"petshop", "pet"});
    EXPECT_FALSE(dispatcher.ExecuteCommand(space.input, space.output));
    EXPECT_EQ(std::vector<std::string>{"Path refers to a namespace, not a command."},
              space.output->GetErrors());
    EXPECT_EQ(nullptr, space.output->GetRootObject());

    Call unknown({"petshop", "fish", "feed"});
    EXPECT_FALSE(dispatcher.ExecuteCommand(unknown.input, unknown.output));
    EXPECT_EQ(
        (std::vector<std::string>{"Unable to find a command or namespace with the name 'fish' in namespace "
                                  "petshop",
                                  "Unable to find command"}),
        unknown.output->GetErrors());
    // The input keeps its whole path although the lookup consumed words of a copy.
    EXPECT_EQ("petshop fish feed", unknown.input->GetCommandPathString());
    FormatParameters none = dispatcher.GetDefaultOutputFormatParameters(unknown.input, unknown.output);
    EXPECT_EQ("", none.GetFormatter());
    EXPECT_TRUE(none.GetParameters().empty());
    EXPECT_EQ(4u, unknown.output->GetErrors().size());

    // A missing required parameter stops the call before the command runs.
    Call missing({"petshop", "pet", "show"}, {{"age", "2"}});
    EXPECT_FALSE(dispatcher.ExecuteCommand(missing.input, missing.output));
    EXPECT_EQ(std::vector<std::string>{"Missing required parameter --name"}, missing.output->GetErrors());
    EXPECT_EQ(nullptr, missing.output->GetRootObject());

    Call badValue({"petshop", "pet", "show"}, {{"name", "Rex"}, {"colour", "red"}});
    EXPECT_FALSE(dispatcher.ExecuteCommand(badValue.input, badValue.output));
    EXPECT_EQ(std::vector<std::string>{"Unknown parameter : colour"}, badValue.output->GetErrors());
    EXPECT_EQ(nullptr, badValue.output->GetRootObject());

    // With help the same call skips validation and answers with the command's help data.
    Call help({"petshop", "pet", "show"}, {{"age", "2"}, {"help", ""}});
    EXPECT_TRUE(dispatcher.ExecuteCommand(help.input, help.output));
    EXPECT_TRUE(help.output->GetErrors().empty());
    EXPECT_EQ(Output::Help, help.output->GetOutputType());
    auto data = std::dynamic_pointer_cast<MetaStruct>(help.output->GetRootObject());
    ASSERT_NE(nullptr, data);
    EXPECT_EQ("VarnokCommandHelp", data->GetTypeName());
    FormatParameters params;
    params.SetFormatter("commandhelp");
    EXPECT_NE(std::string::npos, Print(dispatcher, help, params).find("Show one pet by name."));
}

TEST(DispatcherTest, FormatOutputWithoutOrWithAnUnknownFormatter) {
    Dispatcher dispatcher;
    LoadSharedPlugin(dispatcher, kPetshop);
    Call call({"petshop", "status"});
    ASSERT_TRUE(dispatcher.ExecuteCommand(call.input, call.output));

    FormatParameters empty;
    empty.SetParameter("tone", "loud");
    EXPECT_EQ("", Print(dispatcher, call, empty));
    EXPECT_TRUE(call.output->GetErrors().empty());

    FormatParameters unknown;
    unknown.SetFormatter("yaml");
    EXPECT_EQ("", Print(dispatcher, call, unknown, false));
    EXPECT_EQ(std::vector<std::string>{"Unable to find requested formatter: yaml"}, call.output->GetErrors());
}

TEST(DispatcherTest, FormatterNamesAreRegisteredOnce) {
    Dispatcher dispatcher;
    auto json = dispatcher.GetFormatter("json");

    // "yaml" is new, but "json" is taken: nothing of the plugin's formatters is recorded.
    auto rival =
        std::make_shared<FormatterPlugin>("Rival", std::vector<std::string>{"yaml", "json"}, "rival");
    EXPECT_THROW_MSG(
        dispatcher.RegisterPlugin(rival),
        "Error while trying to register the plugin Rival  this plugin has a formatter json that was "
        "already registered from the plugin Internal  The functionality in Rival will not be "
        "available until this issue is resolved.");
    EXPECT_EQ(std::vector<std::string>{"Internal"}, dispatcher.GetPluginNames());
    EXPECT_EQ(json, dispatcher.GetFormatter("json"));
    EXPECT_FALSE(dispatcher.HasFormatter("yaml"));
    EXPECT_EQ(6u, dispatcher.GetFormatters().size());
    // Its namespace was registered before the formatters were looked at, and stays.
    EXPECT_TRUE(dispatcher.GetRootNamespace()->HasNamespaceNode("rival"));

    auto yaml = std::make_shared<FormatterPlugin>("Yaml", std::vector<std::string>{"yaml"}, "yamlspace");
    dispatcher.RegisterPlugin(yaml);
    EXPECT_EQ((std::vector<std::string>{"Internal", "Yaml"}), dispatcher.GetPluginNames());
    EXPECT_EQ((std::vector<std::string>{"commandhelp", "json", "python", "simple", "table", "xml", "yaml"}),
              FormatterNames(dispatcher));

    // FormatOutput reports success whatever the formatter itself returned.
    Call call({"petshop"});
    FormatParameters params;
    params.SetFormatter("yaml");
    params.SetParameter("tone", "soft");
    EXPECT_EQ("marker yaml soft\n", Print(dispatcher, call, params));

    // The second plugin to claim a name is refused with the first one's name.
    auto copycat = std::make_shared<FormatterPlugin>("Copycat", std::vector<std::string>{"yaml"}, "copycat");
    EXPECT_THROW_MSG(
        dispatcher.RegisterPlugin(copycat),
        "Error while trying to register the plugin Copycat  this plugin has a formatter yaml that "
        "was already registered from the plugin Yaml  The functionality in Copycat will not be "
        "available until this issue is resolved.");

    // The provider has the last word on whether it still offers a name.
    yaml->hidden = true;
    EXPECT_FALSE(dispatcher.HasFormatter("yaml"));
    EXPECT_EQ(nullptr, dispatcher.GetFormatter("yaml"));
    EXPECT_EQ("", Print(dispatcher, call, params, false));
    EXPECT_EQ(std::vector<std::string>{"Unable to find requested formatter: yaml"}, call.output->GetErrors());
}

TEST(DispatcherTest, FailingPluginRegistrationsAreWrappedOrPassedOn) {
    Dispatcher dispatcher;
    auto plugin = SharedLibraryPlugin::New(kThrowing);
    plugin->Initialize();
    EXPECT_THROW_MSG(dispatcher.RegisterPlugin(plugin),
                     "Error while trying to register the plugin " + kThrowing +
                         " The half-done plugin gave up. The functionality in " + kThrowing +
                         " will not be available until this issue is resolved.");
    EXPECT_EQ(std::vector<std::string>{"Internal"}, dispatcher.GetPluginNames());
    // What it registered before failing stays usable, even once the caller lets go of the plugin:
    // its code must stay loaded for as long as its command is in the tree.
    plugin.reset();
    EXPECT_TRUE(IsLoaded(kThrowing));
    Call call({"halfdone", "step"});
    EXPECT_TRUE(dispatcher.ExecuteCommand(call.input, call.output));
    EXPECT_EQ("stepped", call.output->GetRootObject()->ToString());

    auto plain = SharedLibraryPlugin::New(kStdThrowing);
    plain->Initialize();
    try {
        dispatcher.RegisterPlugin(plain);
        ADD_FAILURE() << "expected std::runtime_error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("plain failure", e.what());
    }
    EXPECT_EQ(std::vector<std::string>{"Internal"}, dispatcher.GetPluginNames());

    EXPECT_THROW_MSG(dispatcher.RegisterPlugin(nullptr), "Unable to register an empty plugin.");
    EXPECT_EQ(std::vector<std::string>{"Internal"}, dispatcher.GetPluginNames());
}

TEST(DispatcherTest, PluginsOutliveTheTreeAndUnloadWithTheDispatcher) {
    ASSERT_FALSE(IsLoaded(kPetshop));
    {
        Dispatcher dispatcher;
        LoadSharedPlugin(dispatcher, kPetshop);
        Call call({"petshop", "pet", "show"}, {{"name", "Tom"}});
        ASSERT_TRUE(dispatcher.ExecuteCommand(call.input, call.output));

        // The list empties, but the plugins stay until the dispatcher goes: its commands still run.
        dispatcher.ResetRegistrations();
        EXPECT_TRUE(dispatcher.GetPluginNames().empty());
        EXPECT_TRUE(dispatcher.HasFormatter("json"));
        EXPECT_TRUE(IsLoaded(kPetshop));
        Call again({"petshop", "status"});
        EXPECT_TRUE(dispatcher.ExecuteCommand(again.input, again.output));
        EXPECT_EQ(3u, Listing(dispatcher).size());

        // Destroying the dispatcher releases the plugin's command objects, whose code is in the
        // object, before the object is unloaded.
    }
    EXPECT_FALSE(IsLoaded(kPetshop));
}
