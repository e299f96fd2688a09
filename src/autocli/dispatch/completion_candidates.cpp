// Completion: the candidate lists (dispatcher options, formatters, tree children, command options and
// values) and the line form the completion scripts read.
#include "autocli/dispatch/completion_internal.h"

#include <algorithm>
#include <set>

namespace Corvane::AutoCli::CompletionDetail {

namespace {

// The options the front end acts on, "input" included: it is read from the command line itself.
const DispatcherOption kDispatcherOptions[] = {
    {"dry-run", "Show what would run and run nothing", DispatcherValue::None},
    {"format-param", "Set a formatter parameter: <key>=<value>", DispatcherValue::None},
    {"formatter", "Override the formatter to use for a given command", DispatcherValue::Formatter},
    {"h", "Show the usage text", DispatcherValue::None},
    {"help", "Show the usage text", DispatcherValue::None},
    {"input", "Run the command lines of this file (STDIN: standard input)", DispatcherValue::File},
    {"limit", "Print at most this many rows of a list", DispatcherValue::None},
    {"plugin", "Add a specific file plugin", DispatcherValue::File},
    {"plugin-dir", "Add all the plug-ins from this directory", DispatcherValue::Directory},
    {"screen-width", "Use the specified screen width when formatting text", DispatcherValue::None},
    {"sort", "Sort the rows of a list: [-]FIELD[,[-]FIELD...]", DispatcherValue::Field},
    {"version", "Show the version number", DispatcherValue::None},
    {"where", "Keep the rows of a list where FIELD OP VALUE holds", DispatcherValue::Field},
};

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

// The first line of a description, without trailing blanks: shells show one line per candidate.
std::string FirstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    line.erase(line.find_last_not_of(" \t\r") + 1);
    return line;
}

std::string OptionWord(const std::string& name) {
    return (name.size() == 1 ? "-" : "--") + name;
}

void Add(Completion& completion, const std::string& word, const std::string& start,
         const std::string& description) {
    if (StartsWith(word, start)) {
        completion.candidates.push_back({word, FirstLine(description)});
    }
}

Completion Sorted(Completion completion) {
    std::sort(completion.candidates.begin(), completion.candidates.end(),
              [](const CompletionCandidate& a, const CompletionCandidate& b) { return a.word < b.word; });
    return completion;
}

// The dotted names of the string, integer and boolean fields of `structure`, below `prefix`.
void AddFieldPaths(const MetaObj::MetaStruct& structure, const std::string& prefix,
                   std::set<std::string>& paths) {
    for (const auto& field : structure.GetFields()) {
        const MetaObj::MetaObject& value = *field.second.value;
        if (value.GetType() == MetaObj::MetaType::Struct) {
            AddFieldPaths(static_cast<const MetaObj::MetaStruct&>(value), prefix + field.first + ".", paths);
        } else if (value.GetType() != MetaObj::MetaType::List) {
            paths.insert(prefix + field.first);
        }
    }
}

// The fields a query may name in any command below `node` whose declared result is a list of
// structures: the command comes after the query options on the line, so it is not known yet.
void AddQueryFields(NamespaceNode& node, std::set<std::string>& paths) {
    for (const auto& child : node.GetNamespaceNodes()) {
        if (child->GetType() != CommandType) {
            AddQueryFields(*child, paths);
            continue;
        }
        auto command = std::dynamic_pointer_cast<Command>(child);
        const auto spec = command ? command->GetOutputSpec() : nullptr;
        const auto declared = spec ? spec->GetRootObject() : nullptr;
        if (declared && declared->GetType() == MetaObj::MetaType::List) {
            const auto& definition = static_cast<const MetaObj::MetaList&>(*declared).GetListStructure();
            if (definition) {
                AddFieldPaths(*definition, "", paths);
            }
        }
    }
}

// Descriptions are written on one line after a tab.
std::string OneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return text;
}

} // namespace

const DispatcherOption* FindDispatcherOption(const std::string& name) {
    for (const DispatcherOption& option : kDispatcherOptions) {
        if (name == option.name) {
            return &option;
        }
    }
    return nullptr;
}

Completion DispatcherOptions(const std::string& word) {
    Completion completion;
    for (const DispatcherOption& option : kDispatcherOptions) {
        Add(completion, OptionWord(option.name), word, option.description);
    }
    return Sorted(std::move(completion));
}

Completion DispatcherOptionValue(Dispatcher& dispatcher, const DispatcherOption& option,
                                 const std::string& prefix, const std::string& word) {
    Completion completion;
    switch (option.value) {
    case DispatcherValue::File:
        completion.kind = CompletionKind::Files;
        completion.prefix = prefix;
        break;
    case DispatcherValue::Directory:
        completion.kind = CompletionKind::Directories;
        completion.prefix = prefix;
        break;
    case DispatcherValue::Formatter:
        for (const auto& formatter : dispatcher.GetFormatters()) {
            Add(completion, prefix + formatter->GetName(), word, formatter->GetDescription());
        }
        break;
    case DispatcherValue::Field: {
        // --where completes the field at its start; --sort the key after the last comma.
        std::string value = word.substr(std::min(prefix.size(), word.size()));
        std::string head = prefix;
        if (option.name == std::string("sort")) {
            const std::size_t comma = value.rfind(',');
            if (comma != std::string::npos) {
                head += value.substr(0, comma + 1);
                value.erase(0, comma + 1);
            }
            if (!value.empty() && value[0] == '-') {
                head += '-';
                value.erase(0, 1);
            }
        } else if (value.find_first_of(" \t=!<>") != std::string::npos) {
            break;
        }
        std::set<std::string> paths;
        AddQueryFields(*dispatcher.GetRootNamespace(), paths);
        for (const std::string& path : paths) {
            Add(completion, head + path, head + value, "");
        }
        break;
    }
    case DispatcherValue::None:
        break;
    }
    return Sorted(std::move(completion));
}

Completion Children(NamespaceNode& node, const std::string& word) {
    Completion completion;
    for (const auto& child : node.GetNamespaceNodes()) {
        Add(completion, child->GetName(), word, child->GetDescription());
    }
    return completion; // children come in name order
}

Completion CommandOptions(const CallSpec::InputSpec& spec, const std::vector<std::string>& given,
                          const std::string& word) {
    Completion completion;
    for (const auto& parameter : spec.GetParameters()) {
        const std::string& name = parameter->GetName();
        if (!parameter->AllowMultiple() && std::find(given.begin(), given.end(), name) != given.end()) {
            continue;
        }
        const std::string description = parameter->GetDescription(true);
        Add(completion, "--" + name, word, description);
        if (!parameter->GetShortName().empty() && StartsWith(word, "-")) {
            Add(completion, "-" + parameter->GetShortName(), word, description);
        }
    }
    return Sorted(std::move(completion));
}

Completion ParameterValues(const CallSpec::ParameterSpec& parameter, const std::string& prefix,
                           const std::string& word) {
    Completion completion;
    const auto type = static_cast<CallSpec::ParameterType>(parameter.GetType() & ~4);
    const auto constraint = parameter.GetConstraint();
    if (type == CallSpec::ParameterType::Bool) {
        Add(completion, prefix + "false", word, "");
        Add(completion, prefix + "true", word, "");
    } else if (constraint && constraint->GetType() == CallSpec::ParameterConstraintType::StringEnum) {
        const auto& descriptions = constraint->GetStringEnumWithDesc();
        for (const std::string& value : constraint->GetStringEnum()) {
            auto description = descriptions.find(value);
            Add(completion, prefix + value, word,
                description == descriptions.end() ? "" : description->second);
        }
    } else if (constraint && constraint->GetType() == CallSpec::ParameterConstraintType::IntEnum) {
        for (long value : constraint->GetIntEnum()) {
            Add(completion, prefix + std::to_string(value), word, "");
        }
    }
    return Sorted(std::move(completion));
}

} // namespace Corvane::AutoCli::CompletionDetail

namespace Corvane::AutoCli {

void AutoCli_WriteCompletion(const Completion& completion, std::ostream& out) {
    static const char* const kinds[] = {"words", "files", "directories"};
    out << kinds[static_cast<int>(completion.kind)] << '\t' << CompletionDetail::OneLine(completion.prefix)
        << '\n';
    for (const auto& candidate : completion.candidates) {
        if (candidate.word.find_first_of("\t\n\r") != std::string::npos) {
            continue;
        }
        out << candidate.word;
        if (!candidate.description.empty()) {
            out << '\t' << CompletionDetail::OneLine(candidate.description);
        }
        out << '\n';
    }
    out.flush();
}

} // namespace Corvane::AutoCli
