// CliDispatcher: the "VarnokCommandPrint" listing of a namespace's children and the help parameters.
#include <corvane/dispatch.h>

#include <corvane/metaobj.h>

#include <iostream>

namespace Corvane::AutoCli {

using MetaObj::MetaList;
using MetaObj::MetaStruct;
using MetaObj::MetaType;

namespace {

const char* NodeTypeName(NamespaceNode& node) {
    switch (node.GetType()) {
    case NamespaceType:
        return "Namespace";
    case CommandType:
        return "Command";
    default:
        return "Unknown";
    }
}

} // namespace

FormatParameters CliDispatcher::GetHelpFormatParams() {
    FormatParameters params;
    params.SetFormatter("commandhelp");
    return params;
}

void CliDispatcher::PrintChildren(std::shared_ptr<NamespaceNode> node,
                                  std::shared_ptr<CommandOutput> output) {
    auto listing = MetaStruct::New("VarnokCommandPrint");
    listing->SetField("Dispatcher", name);

    auto path = MetaList::New(MetaType::String);
    for (const auto& word : node->GetPath()) {
        path->Add(word);
    }
    listing->SetField("Path", path);

    auto definition = MetaStruct::New("NamespaceNode");
    definition->SetField("Name", "");
    definition->SetField("Description", "");
    definition->SetField("Type", "");
    auto children = MetaList::New(MetaType::Struct, definition);
    std::vector<std::shared_ptr<NamespaceNode>> nodes = node->GetNamespaceNodes();
    children->Reserve(nodes.size());
    for (const auto& child : nodes) {
        auto element = MetaStruct::New(definition);
        element->SetField("Name", child->GetName());
        element->SetField("Description", child->GetDescription());
        element->SetField("Type", NodeTypeName(*child));
        children->Add(element);
    }
    listing->SetField("NamespaceNodes", children);

    output->SetRootObject(listing);

    // The listing always goes through a dispatcher help formatter of its own: neither the
    // formatter table nor --formatter applies to it.
    auto formatter = CliDispatcherHelpFormatter::New();
    DisplayContext context;
    GetDisplayContext(context);
    FormatParameters params = GetHelpFormatParams();
    formatter->Format(output, params, context, std::cout);
}

} // namespace Corvane::AutoCli
