// CliDispatcherHelpFormatter: usage text and the namespaces and commands below a node.
#include <corvane/format.h>

#include "autocli/format/format_internal.h"

#include <corvane/callspec.h>

namespace Corvane::AutoCli {

using Detail::EndLine;

CliDispatcherHelpFormatter::CliDispatcherHelpFormatter() : Formatter("clihelp") {
    SetDescription("Format the --help output for all commands.");
}

std::shared_ptr<CliDispatcherHelpFormatter> CliDispatcherHelpFormatter::New() {
    return std::make_shared<CliDispatcherHelpFormatter>();
}

bool CliDispatcherHelpFormatter::ExtractString(const std::string& name, std::shared_ptr<MetaStruct> value,
                                               std::string& result) {
    auto field = value ? std::dynamic_pointer_cast<MetaString>(value->GetField(name)) : nullptr;
    if (!field) {
        result = "<" + name + ">";
        return false;
    }
    result = field->GetValue();
    return true;
}

bool CliDispatcherHelpFormatter::Format(const std::shared_ptr<CallSpec::Output>& output,
                                        FormatParameters& /*params*/, DisplayContext& context,
                                        std::ostream& out) {
    std::shared_ptr<MetaObject> rootObject = output ? output->GetRootObject() : nullptr;
    std::shared_ptr<MetaStruct> root;
    if (rootObject && rootObject->GetType() == MetaType::Struct) {
        root = std::dynamic_pointer_cast<MetaStruct>(rootObject);
    }
    if (!root || root->GetTypeName() != "VarnokCommandPrint") {
        throw CorvaneException(
            "Error: Unexpected type for help output, formatter expected a struct with help data");
    }

    std::string dispatcher;
    ExtractString("Dispatcher", root, dispatcher);

    out << "Usage: " << dispatcher << " [disp options]";
    if (auto path = std::dynamic_pointer_cast<MetaList>(root->GetField("Path"))) {
        for (const auto& word : path->GetObjects()) {
            out << " " << word->ToString();
        }
    }
    out << " <namespaces> <command>";
    EndLine(out);
    EndLine(out);
    out << "For help please run " << dispatcher << " --help";
    EndLine(out);
    EndLine(out);

    auto nodes = std::dynamic_pointer_cast<MetaList>(root->GetField("NamespaceNodes"));
    HandleList("Namespace", nodes, context, out);
    HandleList("Command", nodes, context, out);
    return true;
}

void CliDispatcherHelpFormatter::HandleList(const std::string& type, std::shared_ptr<MetaList> list,
                                            DisplayContext& context, std::ostream& out) {
    out << "Available " << type << "s: ";
    EndLine(out);
    EndLine(out);
    if (!list) {
        out << "ERROR, list is bad";
        EndLine(out);
        return;
    }

    // A list without a usable structure definition cannot take the matching elements.
    std::shared_ptr<MetaList> filtered;
    try {
        filtered = MetaList::New(MetaType::Struct, list->GetListStructure());
        for (const auto& element : list->GetObjects()) {
            if (!element || element->GetType() != MetaType::Struct) {
                continue;
            }
            auto node = std::dynamic_pointer_cast<MetaStruct>(element);
            std::shared_ptr<MetaObject> nodeType = node ? node->GetField("Type") : nullptr;
            if (nodeType && nodeType->ToString() == type) {
                filtered->Add(node);
            }
        }
    } catch (const CorvaneException&) {
        filtered.reset();
    }
    if (!filtered) {
        out << "Unable to get Descriptions for this command.  Implementation error.";
        EndLine(out);
        return;
    }

    std::shared_ptr<CallSpec::Output> tableOutput = CallSpec::Output::New();
    tableOutput->SetRootObject(filtered);
    FormatParameters tableParams;
    tableParams.SetFormatter("table");
    tableParams.SetParameter("fields", "Name,Description");
    tableParams.SetParameter("table-header", "false");
    tableParams.SetParameter("wrap-last", "true");
    TableFormatter table;
    table.Format(tableOutput, tableParams, context, out);
    EndLine(out);
}

} // namespace Corvane::AutoCli
