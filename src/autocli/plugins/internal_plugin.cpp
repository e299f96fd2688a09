// InternalPlugin: the built-in formatters and the command-listing command.
#include <corvane/plugins.h>

namespace Corvane::AutoCli {

std::shared_ptr<InternalPlugin> InternalPlugin::New() {
    return std::make_shared<InternalPlugin>();
}

InternalPlugin::InternalPlugin() = default;

InternalPlugin::~InternalPlugin() = default;

void InternalPlugin::Initialize() {
    formatters.reserve(formatters.size() + 6);
    formatters.push_back(TableFormatter::New());
    formatters.push_back(SimpleFormatter::New());
    formatters.push_back(XmlFormatter::New());
    formatters.push_back(PythonFormatter::New());
    formatters.push_back(JsonFormatter::New());
    formatters.push_back(CommandHelpFormatter::New());
}

const std::string& InternalPlugin::GetName() const {
    static const std::string name = "Internal";
    return name;
}

void InternalPlugin::RegisterNamespaces(std::shared_ptr<Namespace> root) {
    auto varnok = Namespace::New();
    varnok->SetDescription(
        "Commands that operate on the varnok system itself allowing users to get additional "
        "information.");
    auto command = Namespace::New();
    command->SetDescription("Operations to get information about commands.");
    auto list = CommandList::New(root);

    // Built bottom-up so that the root only ever sees the finished subtree.
    command->RegisterNamespaceNode(list, "list");
    varnok->RegisterNamespaceNode(command, "command");
    root->RegisterNamespaceNode(varnok, "varnok");
}

bool InternalPlugin::HasFormatter(const std::string& name) {
    for (const auto& formatter : formatters) {
        if (formatter->GetName() == name) {
            return true;
        }
    }
    return false;
}

std::shared_ptr<Formatter> InternalPlugin::GetFormatter(const std::string& name) {
    for (const auto& formatter : formatters) {
        if (formatter->GetName() == name) {
            return formatter;
        }
    }
    return nullptr;
}

const std::vector<std::shared_ptr<Formatter>>& InternalPlugin::GetFormatters() {
    return formatters;
}

} // namespace Corvane::AutoCli
