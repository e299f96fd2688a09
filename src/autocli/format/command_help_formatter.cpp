// CommandHelpFormatter: the --help text of one command from its "VarnokCommandHelp" structure.
#include <corvane/format.h>

#include "autocli/format/format_internal.h"

#include <corvane/callspec.h>

#include <algorithm>
#include <iomanip>

namespace Corvane::AutoCli {

using Detail::EndLine;

namespace {

const char kSecretWarning[] = "\nWARNING: Providing secret values on the command line is insecure because it "
                              "may be logged or preserved "
                              "in history files. Instead, specify this option with no value on the command "
                              "line, and enter the value on "
                              "the supplied prompt.";

// A flag the help data leaves out (or sets to another kind) reads as false.
bool GetBoolField(const MetaStruct& value, const std::string& name) {
    auto field = std::dynamic_pointer_cast<MetaBool>(value.GetField(name));
    return field && field->GetValue();
}

std::shared_ptr<MetaList> GetListField(const MetaStruct& value, const std::string& name) {
    return std::dynamic_pointer_cast<MetaList>(value.GetField(name));
}

std::shared_ptr<MetaStruct> AsStruct(const std::shared_ptr<MetaObject>& value) {
    if (!value || value->GetType() != MetaType::Struct) {
        return nullptr;
    }
    return std::dynamic_pointer_cast<MetaStruct>(value);
}

} // namespace

std::string GetStringField(std::shared_ptr<MetaStruct> value, const std::string& name) {
    if (!value) {
        return std::string();
    }
    auto field = std::dynamic_pointer_cast<MetaString>(value->GetField(name));
    return field ? field->GetValue() : std::string();
}

CommandHelpFormatter::CommandHelpFormatter() : Formatter("commandhelp") {
    SetDescription("Handle --help output for commands");
}

std::shared_ptr<CommandHelpFormatter> CommandHelpFormatter::New() {
    return std::make_shared<CommandHelpFormatter>();
}

bool CommandHelpFormatter::Format(const std::shared_ptr<CallSpec::Output>& output,
                                  FormatParameters& /*params*/, DisplayContext& context, std::ostream& out) {
    std::shared_ptr<MetaStruct> root = AsStruct(output ? output->GetRootObject() : nullptr);
    if (!root || root->GetTypeName() != "VarnokCommandHelp") {
        throw CorvaneException(
            "Error: Unexpected type for output, formatter expected a struct with help information");
    }

    const std::string usage = GetStringField(root, "Dispatcher") + " " + GetStringField(root, "Path");
    out << "Usage: " << usage << " <options>";
    EndLine(out);
    EndLine(out);
    out << "Description: " << GetStringField(root, "Description");
    EndLine(out);
    EndLine(out);
    const std::string effect = GetStringField(root, "Effect");
    if (!effect.empty()) {
        out << "Effect: " << effect;
        EndLine(out);
        EndLine(out);
    }

    const int width = context.width;
    if (std::shared_ptr<MetaList> paramList = GetListField(*root, "Param List")) {
        std::string::size_type longestName = 0;
        for (const auto& element : paramList->GetObjects()) {
            if (std::shared_ptr<MetaStruct> param = AsStruct(element)) {
                longestName = std::max(longestName, GetStringField(param, "Name").size());
            }
        }
        const int nameWidth = static_cast<int>(longestName) + 3;
        // The description column: 7 characters of "  -x|--" plus the name column.
        const int indent = static_cast<int>(longestName) + 10;
        for (const auto& element : paramList->GetObjects()) {
            std::shared_ptr<MetaStruct> param = AsStruct(element);
            if (!param) {
                continue;
            }
            out.setf(std::ios::left);
            const std::string shortName = GetStringField(param, "Short Name");
            if (shortName.empty()) {
                out << "     --";
            } else {
                out << "  -" << shortName << "|--";
            }
            out << std::setw(nameWidth) << GetStringField(param, "Name");

            const bool required = GetBoolField(*param, "Required");
            const bool secret = GetBoolField(*param, "Secret");
            std::string text = GetStringField(param, "Description");
            std::string flags = required ? "required" : "";
            if (secret) {
                if (!flags.empty()) {
                    flags += ' ';
                }
                flags += "secret";
            }
            if (!flags.empty()) {
                text += " (" + flags + ")";
            }
            if (secret) {
                text += kSecretWarning;
            }
            AutoCli_FitString(indent, width, text, true, out, true, '\0', true);
            out.unsetf(std::ios::left);
        }
    }

    std::shared_ptr<MetaList> exampleList = GetListField(*root, "Example List");
    if (exampleList && exampleList->GetCount() > 0) {
        EndLine(out);
        out << "Examples: ";
        EndLine(out);
        EndLine(out);
        for (const auto& element : exampleList->GetObjects()) {
            std::shared_ptr<MetaStruct> example = AsStruct(element);
            if (!example) {
                continue;
            }
            AutoCli_FitString(4, width, GetStringField(example, "Description") + " :", false, out, true, '\0',
                              false);
            out << "# " << usage << " " << GetStringField(example, "Syntax");
            AutoCli_FitString(8, width, std::string(), false, out, true, '\0', false);
            EndLine(out);
        }
    }
    return true;
}

} // namespace Corvane::AutoCli
