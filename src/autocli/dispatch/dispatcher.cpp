// Dispatcher: construction, plugin registration, command lookup and execution.
#include <corvane/dispatch.h>

#include <tarvik.h>

#include <utility>

namespace Corvane::AutoCli {

namespace {

// The refusal of a plugin: `reason` follows the plugin's name directly.
std::string RegistrationError(const std::string& plugin, const std::string& reason) {
    std::string message = "Error while trying to register the plugin ";
    message += plugin;
    message += reason;
    message += " The functionality in ";
    message += plugin;
    message += " will not be available until this issue is resolved.";
    return message;
}

} // namespace

Dispatcher::Dispatcher() {
    TarvikFeatures_Init();
    auto internal = InternalPlugin::New();
    rootNamespace = RootNamespace::New(this);
    internal->Initialize();
    RegisterPlugin(internal);
}

Dispatcher::~Dispatcher() {
    // Commands in the tree may run code of shared objects that only their plugins keep loaded, so
    // the tree goes first; the formatters go before the plugins that own them.
    rootNamespace.reset();
    formatters.clear();
    plugins.clear();
    keptPlugins.clear();
}

std::shared_ptr<RootNamespace> Dispatcher::GetRootNamespace() {
    return rootNamespace;
}

void Dispatcher::RegisterPlugin(std::shared_ptr<Plugin> plugin) {
    if (!plugin) {
        throw CorvaneException("Unable to register an empty plugin.");
    }
    // Kept even when refused: nodes it registered before failing stay in the tree, and an exception
    // in flight may belong to its code.
    keptPlugins.push_back(plugin);
    const std::string& name = plugin->GetName();

    try {
        plugin->RegisterNamespaces(rootNamespace);
    } catch (const CorvaneException& e) {
        throw CorvaneException(RegistrationError(name, std::string(" ") + e.what()));
    }

    // All names are checked before any is recorded, so a refused plugin leaves no formatter behind.
    const std::vector<std::shared_ptr<Formatter>> provided = plugin->GetFormatters();
    for (const auto& formatter : provided) {
        if (!formatter) {
            continue;
        }
        auto known = formatters.find(formatter->GetName());
        if (known != formatters.end()) {
            std::string reason = "  this plugin has a formatter ";
            reason += formatter->GetName();
            reason += " that was already registered from the plugin ";
            reason += known->second->GetName();
            reason += ' ';
            throw CorvaneException(RegistrationError(name, reason));
        }
    }
    for (const auto& formatter : provided) {
        if (formatter) {
            formatters[formatter->GetName()] = plugin;
        }
    }
    plugins.push_back(std::move(plugin));
}

std::shared_ptr<Command> Dispatcher::GetCommand(std::shared_ptr<CommandInput> input,
                                                std::shared_ptr<CommandOutput> output) {
    // ResolveNode consumes words of a path it fails on; the input keeps its own.
    std::list<std::string> path = input->GetCommandPath();
    std::shared_ptr<NamespaceNode> node;
    try {
        node = rootNamespace->ResolveNode(path);
    } catch (const CorvaneException& e) {
        output->AddErrorMessage(e.what());
        output->AddErrorMessage("Unable to find command");
        return nullptr;
    }
    if (!node) {
        output->AddErrorMessage("Unable to find command");
        return nullptr;
    }
    if (node->GetType() != CommandType) {
        output->AddErrorMessage("Path refers to a namespace, not a command.");
        return nullptr;
    }
    return std::dynamic_pointer_cast<Command>(node);
}

bool Dispatcher::ExecuteCommand(std::shared_ptr<CommandInput> input, std::shared_ptr<CommandOutput> output) {
    std::shared_ptr<Command> command = GetCommand(input, output);
    if (!command) {
        return false;
    }
    std::shared_ptr<CallSpec::InputSpec> spec = command->GetInputSpec();
    input->SetInputSpec(spec);
    // Validation lets a help request through whatever else is missing.
    if (spec->Validate(input, output)) {
        command->Execute(input, output);
    } else if (!output->HasError() && !output->GetRootObject()) {
        // A failed call must always say why.
        output->AddErrorMessage(
            "Command output has no root object nor error messages.  This is a problem with "
            "the command and should be repaired.");
    }
    return !output->HasError();
}

FormatParameters Dispatcher::GetDefaultOutputFormatParameters(std::shared_ptr<CommandInput> input,
                                                              std::shared_ptr<CommandOutput> output) {
    std::shared_ptr<Command> command = GetCommand(std::move(input), std::move(output));
    if (!command) {
        return FormatParameters();
    }
    return command->GetDefaultOutputFormatParameters();
}

std::vector<std::string> Dispatcher::GetPluginNames() {
    std::vector<std::string> names;
    names.reserve(plugins.size());
    for (const auto& plugin : plugins) {
        names.push_back(plugin->GetName());
    }
    return names;
}

void Dispatcher::ResetRegistrations() {
    plugins.clear();
}

} // namespace Corvane::AutoCli
