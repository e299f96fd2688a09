// Format check: the types and fields a formatter's parameters name, and the kind it prints, compared
// with a command's declared output before the command runs.
#include "autocli/format/format_check.h"

#include "autocli/format/format_internal.h"

#include <corvane/callspec.h>

#include <boost/algorithm/string/trim.hpp>

#include <map>

namespace Corvane::AutoCli::Detail {

namespace {

// The structure types of a declaration by name (the first one declared of each name), and whether
// some part of it is left open.
struct DeclaredTypes {
    std::map<std::string, const MetaStruct*> byName;
    bool open = false;

    void Collect(const MetaObject& value) {
        if (const auto* structure = dynamic_cast<const MetaStruct*>(&value)) {
            byName.emplace(structure->GetTypeName(), structure);
            for (const std::string& name : structure->GetFieldNames()) {
                if (std::shared_ptr<MetaObject> field = structure->GetField(name)) {
                    Collect(*field);
                }
            }
        } else if (const auto* list = dynamic_cast<const MetaList*>(&value)) {
            // A list of lists keeps no declaration of its elements.
            if (list->GetListType() == MetaType::List) {
                open = true;
            } else if (list->GetListType() == MetaType::Struct) {
                if (list->GetListStructure()) {
                    Collect(*list->GetListStructure());
                } else {
                    open = true;
                }
            }
        }
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : byName) {
            names.push_back(entry.first);
        }
        return names;
    }
};

bool IsTableColumnSpace(char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v' || c == '\n' || c == '\r';
}

// The declared field at `path` below `structure`: a field name, or for `nested` field names joined by
// '.' through structure fields. On failure null, with the names the failing segment may have meant
// (each with the path before it) in `candidates`.
const MetaObject* FindField(const MetaStruct& structure, const std::string& path, bool nested,
                            std::vector<std::string>& candidates) {
    const std::vector<std::string> segments =
        nested && path.find('.') != std::string::npos ? SplitItems(path + ".", '.') : std::vector{path};
    const MetaStruct* current = &structure;
    std::string before;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        std::shared_ptr<MetaObject> field = current->GetField(segments[i]);
        const bool last = i + 1 == segments.size();
        if (field && last) {
            return field.get();
        }
        const auto* inner = field ? dynamic_cast<const MetaStruct*>(field.get()) : nullptr;
        if (inner == nullptr) {
            candidates.clear();
            for (const std::string& name : current->GetFieldNames()) {
                candidates.push_back(before + name);
            }
            return nullptr;
        }
        before += segments[i] + ".";
        current = inner;
    }
    return nullptr;
}

class Checker {
public:
    Checker(const std::string& formatter, const FormatParameters& params, const DeclaredTypes& types)
        : params(params), types(types), table(formatter == "table") {}

    // fields:T, and the generic lists where this formatter reads them.
    void CheckFieldLists(const MetaObject& declared) {
        const auto& map = params.GetParameters();
        for (auto it = map.lower_bound("fields:"); it != map.end() && it->first.rfind("fields:", 0) == 0;
             ++it) {
            if (const MetaStruct* structure = FindType(it->first, it->first.substr(7))) {
                CheckFieldList(*structure, it->second);
            }
        }
        if (table) {
            // The columns of the list's own structure; table-columns only stands in for both fields keys.
            const auto* list = dynamic_cast<const MetaList*>(&declared);
            const MetaStruct* structure = list != nullptr ? list->GetListStructure().get() : nullptr;
            if (structure != nullptr && !params.HasParameter("fields:" + structure->GetTypeName())) {
                if (params.HasParameter("fields")) {
                    CheckFieldList(*structure, params.GetParameter("fields"));
                } else if (params.HasParameter("table-columns")) {
                    CheckFieldList(*structure, params.GetParameter("table-columns"));
                }
            }
        } else if (params.HasParameter("fields")) {
            // The generic list stands for every structure type without a list of its own.
            for (const auto& [name, structure] : types.byName) {
                if (!params.HasParameter("fields:" + name)) {
                    CheckFieldList(*structure, params.GetParameter("fields"));
                }
            }
        }
    }

    // header:T, units:T.F and printf:T.F.
    void CheckTypedKeys() {
        for (const auto& [key, value] : params.GetParameters()) {
            if (key.rfind("header:", 0) == 0) {
                FindType(key, key.substr(7));
            } else if (key.rfind("units:", 0) == 0) {
                CheckFieldKey(key, key.substr(6), nullptr);
            } else if (key.rfind("printf:", 0) == 0) {
                CheckFieldKey(key, key.substr(7), &value);
            }
        }
    }

    std::vector<FormatProblem> problems;

private:
    const MetaStruct* FindType(const std::string& key, const std::string& typeName) {
        auto found = types.byName.find(typeName);
        if (found != types.byName.end()) {
            return found->second;
        }
        problems.push_back({"Unable to find structure type " + CallSpec::EchoText(typeName) +
                                " of format parameter " + CallSpec::EchoText(key),
                            typeName, types.Names()});
        return nullptr;
    }

    void CheckFieldList(const MetaStruct& structure, const std::string& list) {
        for (std::string name : SplitItems(list, ',')) {
            if (table) {
                boost::trim_if(name, IsTableColumnSpace);
            }
            std::vector<std::string> candidates;
            if (FindField(structure, name, table, candidates) == nullptr) {
                problems.push_back(
                    {(table ? "Error: Unknown field in field list: " : "Error getting field ") +
                         CallSpec::EchoText(name),
                     name, std::move(candidates)});
            }
        }
    }

    // TypeName.FieldName; a type name may itself hold dots, so every split is tried, the first that
    // names a declared type deciding.
    void CheckFieldKey(const std::string& key, const std::string& rest, const std::string* format) {
        for (std::size_t dot = rest.find('.'); dot != std::string::npos; dot = rest.find('.', dot + 1)) {
            auto found = types.byName.find(rest.substr(0, dot));
            if (found == types.byName.end()) {
                continue;
            }
            const std::string field = rest.substr(dot + 1);
            std::vector<std::string> candidates;
            const MetaObject* value = FindField(*found->second, field, table, candidates);
            if (value == nullptr) {
                std::string message = "Unable to find field " + CallSpec::EchoText(field);
                message += " of type " + found->first;
                message += " in format parameter " + CallSpec::EchoText(key);
                problems.push_back({std::move(message), field, std::move(candidates)});
            } else if (format != nullptr) {
                if (const char* reason = PrintfMisfit(*format, value->GetType())) {
                    problems.push_back({PrintfErrorText(CallSpec::EchoText(key), reason), std::string(), {}});
                }
            }
            return;
        }
        const std::size_t dot = rest.find('.');
        FindType(key, rest.substr(0, dot));
    }

    const FormatParameters& params;
    const DeclaredTypes& types;
    const bool table;
};

} // namespace

std::vector<FormatProblem> CheckFormat(const std::string& formatterName, const MetaObject& declared,
                                       const FormatParameters& params) {
    if (formatterName != "simple" && formatterName != "table") {
        return {};
    }
    if (formatterName == "table") {
        const auto* list = dynamic_cast<const MetaList*>(&declared);
        if (list == nullptr || list->GetListType() != MetaType::Struct) {
            return {{"Error: Unexpected type for output, formatter, table, expected a List of structs",
                     std::string(),
                     {}}};
        }
    }
    DeclaredTypes types;
    types.Collect(declared);
    if (types.open) {
        return {};
    }
    Checker checker(formatterName, params, types);
    checker.CheckFieldLists(declared);
    checker.CheckTypedKeys();
    return std::move(checker.problems);
}

} // namespace Corvane::AutoCli::Detail
