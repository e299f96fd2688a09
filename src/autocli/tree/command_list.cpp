// CommandList: the built-in command that lists every command of the tree, with substring filters.
#include <corvane/tree.h>

#include "autocli/tree/deferred_namespace.h"

namespace Corvane::AutoCli {

using MetaObj::MetaList;
using MetaObj::MetaString;
using MetaObj::MetaStruct;
using MetaObj::MetaType;

namespace {

std::shared_ptr<CallSpec::ParameterSpec> Filter(const char* name, const char* shortName,
                                                const char* description) {
    std::shared_ptr<CallSpec::ParameterSpec> parameter =
        CallSpec::ParameterSpec::New(name, CallSpec::ParameterType::String);
    parameter->SetShortName(shortName);
    parameter->SetDescription(description);
    parameter->SetRequired(false);
    return parameter;
}

// The commands of a subtree not built yet, read from where it is kept, in the order and with the
// values AddChildren would give them.
class DeferredRows : public DeferredNamespace::CommandVisitor {
public:
    DeferredRows(CommandList& command, MetaList* list) : command(command), list(list) {}

    void Visit(std::string_view path, std::string_view name, std::string_view description) override {
        std::shared_ptr<MetaStruct> element = command.GetOutputStructure();
        element->SetField("Command", std::string(name));
        element->SetField("Namespace", std::string(path));
        element->SetField("Description", std::string(description));
        list->Add(element);
    }

private:
    CommandList& command;
    MetaList* list;
};

} // namespace

std::shared_ptr<CommandList> CommandList::New(const std::shared_ptr<Namespace>& root) {
    return std::make_shared<CommandList>(root);
}

CommandList::CommandList(const std::shared_ptr<Namespace>& top) : root(top.get()) {
    SetDescription("List all of the varnok commands.");
    SetDefaultOutputFormatter("table");
    SetDefaultOutputParameter("fields:VarnokCommand", "Namespace,Command,Description");
    SetDefaultOutputParameter("wrap-last", "true");
}

CommandList::~CommandList() = default;

std::shared_ptr<MetaStruct> CommandList::GetOutputStructure() {
    std::shared_ptr<MetaStruct> structure = MetaStruct::New("VarnokCommand");
    structure->SetField("Namespace", MetaString::New());
    structure->SetField("Command", MetaString::New());
    structure->SetField("Description", MetaString::New());
    return structure;
}

std::shared_ptr<CallSpec::InputSpec> CommandList::GetInputSpecInternal() {
    std::shared_ptr<CallSpec::InputSpec> spec = CallSpec::InputSpec::New();
    spec->AddParameter(Filter("namespace-filter", "n",
                              "Show only commands containing the specified string in their namespace path."));
    spec->AddParameter(
        Filter("command-filter", "c", "Show only commands containing the specified string in their name."));
    spec->AddParameter(Filter("description-filter", "d",
                              "Show only commands containing the specified string in their description."));
    return spec;
}

std::shared_ptr<CallSpec::OutputSpec> CommandList::GetOutputSpecInternal() {
    std::shared_ptr<CallSpec::OutputSpec> spec = CallSpec::OutputSpec::New();
    spec->SetRootObject(MetaList::New(MetaType::Struct, GetOutputStructure()));
    return spec;
}

void CommandList::ExecuteInternal(const std::shared_ptr<CallSpec::Input>& input,
                                  const std::shared_ptr<CallSpec::Output>& output) {
    const std::string namespaceFilter = input->GetParameter("namespace-filter");
    const std::string commandFilter = input->GetParameter("command-filter");
    const std::string descriptionFilter = input->GetParameter("description-filter");

    std::shared_ptr<MetaList> list = MetaList::New(MetaType::Struct, GetOutputStructure());
    AddChildren(namespaceFilter, commandFilter, descriptionFilter, root, list.get());
    output->SetRootObject(list);
}

void CommandList::AddChildren(const std::string& namespaceFilter, const std::string& commandFilter,
                              const std::string& descriptionFilter, NamespaceNode* node, MetaList* list) {
    if (node == nullptr || list == nullptr) {
        return;
    }
    const std::string path = node->GetPathString('.');
    const bool namespacePasses = PassesFilter(path, namespaceFilter);
    const std::vector<std::shared_ptr<NamespaceNode>> children = node->GetNamespaceNodes();
    list->Reserve(list->GetCount() + children.size());
    for (const std::shared_ptr<NamespaceNode>& child : children) {
        switch (child->GetType()) {
        case CommandType:
            if (namespacePasses && PassesFilter(child->GetName(), commandFilter) &&
                PassesFilter(child->GetDescription(), descriptionFilter)) {
                std::shared_ptr<MetaStruct> element = GetOutputStructure();
                element->SetField("Command", child->GetName());
                element->SetField("Namespace", path);
                element->SetField("Description", child->GetDescription());
                list->Add(element);
            }
            break;
        case NamespaceType:
            if (auto* deferred = dynamic_cast<DeferredNamespace*>(child.get());
                deferred != nullptr && !deferred->IsExpanded()) {
                DeferredRows rows(*this, list);
                deferred->ListCommands(CommandFilters{namespaceFilter, commandFilter, descriptionFilter},
                                       rows);
            } else {
                AddChildren(namespaceFilter, commandFilter, descriptionFilter, child.get(), list);
            }
            break;
        default:
            break;
        }
    }
}

} // namespace Corvane::AutoCli
