// CommandSpec: a command's place in the tree, its lazily built specifications, examples and defaults.
#include <corvane/tree.h>

#include <boost/algorithm/string/join.hpp>

namespace Corvane::AutoCli {

namespace {

const char* const kNoChildren = "'. Commands cannot have sub-commands or sub-namespaces.";

} // namespace

CommandSpec::CommandSpec() = default;

CommandSpec::~CommandSpec() = default;

std::shared_ptr<CallSpec::InputSpec> CommandSpec::GetInputSpec() {
    if (inputSpec) {
        return inputSpec;
    }
    std::shared_ptr<CallSpec::InputSpec> spec = GetInputSpecInternal();
    if (!spec) {
        // A command without its own parameters may hand back nothing; it still answers --help.
        spec = CallSpec::InputSpec::New();
    }
    std::shared_ptr<CallSpec::ParameterSpec> help =
        CallSpec::ParameterSpec::New("help", CallSpec::ParameterType::Bool);
    help->SetShortName("h");
    help->SetDescription("Show the help message.");
    help->SetRequired(false);
    // Cached only once "help" is in: a clash throws on every request rather than once and then
    // quietly serving a specification without help.
    spec->AddParameter(help);
    inputSpec = std::move(spec);
    return inputSpec;
}

std::shared_ptr<CallSpec::OutputSpec> CommandSpec::GetOutputSpec() {
    if (!outputSpec) {
        outputSpec = GetOutputSpecInternal();
    }
    return outputSpec;
}

void CommandSpec::SetMetaData(std::string name, std::string value) {
    metaData[std::move(name)] = std::move(value);
}

const std::map<std::string, std::string>& CommandSpec::GetMetaData() {
    return metaData;
}

std::string CommandSpec::GetEffect() {
    const std::map<std::string, std::string>& entries = GetMetaData();
    const auto effect = entries.find("effect");
    if (effect == entries.end()) {
        return std::string();
    }
    const std::string& value = effect->second;
    return value == "read" || value == "change" || value == "destroy" ? value : std::string();
}

std::shared_ptr<NamespaceNode> CommandSpec::GetThis() {
    return shared_from_this();
}

bool CommandSpec::HasNamespaceNode(const std::string& /*name*/) {
    return false;
}

std::shared_ptr<NamespaceNode> CommandSpec::GetNamespaceNode(const std::string& childName) {
    throw CorvaneException("Unable to find a namespace or command with the name '" + childName +
                           "' on the command '" + PathForMessage() + kNoChildren);
}

void CommandSpec::RegisterNamespaceNode(std::shared_ptr<NamespaceNode> /*node*/, std::string childName) {
    throw CorvaneException("Attempt to register a command or namespace '" + childName + "' on command '" +
                           PathForMessage() + kNoChildren);
}

void CommandSpec::RegisterNamespaceNode(std::shared_ptr<NamespaceNode> node, const char* childName) {
    RegisterNamespaceNode(std::move(node), std::string(childName ? childName : ""));
}

std::shared_ptr<NamespaceNode> CommandSpec::ResolveNode(std::list<std::string>& path) {
    if (path.empty()) {
        return nullptr;
    }
    throw CorvaneException("Unable to find a namespace or command with the name '" +
                           boost::algorithm::join(path, " ") + "' on the command '" + PathForMessage() +
                           kNoChildren);
}

Dispatcher* CommandSpec::GetDispatcher() {
    std::shared_ptr<NamespaceNode> owner = GetParent();
    if (!owner) {
        throw CorvaneException("Invalid state for command with name '" + GetName() +
                               "'. No parent node has been set.");
    }
    return owner->GetDispatcher();
}

void CommandSpec::SetParent(std::shared_ptr<NamespaceNode> newParent) {
    parent = newParent;
}

std::shared_ptr<NamespaceNode> CommandSpec::GetParent() {
    return parent.lock();
}

NamespaceNodeType CommandSpec::GetType() {
    return CommandType;
}

void CommandSpec::AddExample(std::string example, std::string description) {
    examples.emplace_back(std::move(example), std::move(description));
}

void CommandSpec::AddExample(const char* example, const char* description) {
    AddExample(std::string(example ? example : ""), std::string(description ? description : ""));
}

void CommandSpec::SetDefaultOutputFormatter(std::string name) {
    defaultFormatParameters.SetFormatter(std::move(name));
}

void CommandSpec::SetDefaultOutputFormatter(const char* name) {
    defaultFormatParameters.SetFormatter(std::string(name ? name : ""));
}

void CommandSpec::SetDefaultOutputParameter(std::string key, std::string value) {
    defaultFormatParameters.SetParameter(std::move(key), std::move(value));
}

void CommandSpec::SetDefaultOutputParameter(const char* key, const char* value) {
    defaultFormatParameters.SetParameter(std::string(key ? key : ""), std::string(value ? value : ""));
}

} // namespace Corvane::AutoCli
