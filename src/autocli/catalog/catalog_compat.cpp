// The command catalog: comparing an old and a new catalog for what would break a script.
#include "autocli/catalog/catalog_internal.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <map>
#include <sstream>
#include <string_view>

namespace Corvane::AutoCli {
namespace Catalog {

namespace {

// Read documents are compared by value: the order of members does not matter.
using Doc = nlohmann::json;

// The pieces joined, in one allocation.
std::string Cat(std::initializer_list<std::string_view> pieces) {
    std::size_t size = 0;
    for (const std::string_view piece : pieces) {
        size += piece.size();
    }
    std::string text;
    text.reserve(size);
    for (const std::string_view piece : pieces) {
        text.append(piece);
    }
    return text;
}

const Doc& Member(const Doc& object, const char* key) {
    static const Doc missing;
    if (!object.is_object()) {
        return missing;
    }
    const auto found = object.find(key);
    return found != object.end() ? *found : missing;
}

std::string Text(const Doc& value) {
    return value.is_string() ? value.get<std::string>() : std::string();
}

// The catalog of one file, its commands by path; the reason it is none otherwise.
struct Read {
    std::map<std::string, const Doc*> commands;
    Doc document;
    std::string problem;
    long line = 0;
};

long LineAt(const std::string& text, std::size_t byte) {
    long line = 1;
    for (std::size_t i = 0; i < byte && i < text.size(); ++i) {
        line += text[i] == '\n' ? 1 : 0;
    }
    return line;
}

void ReadCatalog(const std::string& file, Read& read) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    if (in) {
        text << in.rdbuf();
    }
    if (!in || in.bad()) {
        read.problem = std::string("unable to read the catalog: ") + std::strerror(errno);
        return;
    }
    const std::string content = text.str();
    try {
        read.document = Doc::parse(content);
    } catch (const Doc::parse_error& e) {
        read.line = LineAt(content, e.byte > 0 ? e.byte - 1 : 0);
        read.problem = "not a catalog: the text is not JSON";
        return;
    }
    if (Member(read.document, "catalogVersion") != Doc(1) || !Member(read.document, "commands").is_array()) {
        read.problem = "not a catalog: catalogVersion 1 and a commands array are expected";
        return;
    }
    for (const Doc& command : Member(read.document, "commands")) {
        const std::string path = Text(Member(command, "path"));
        if (path.empty() || !Member(command, "input").is_object() || !Member(command, "output").is_object()) {
            read.problem = "not a catalog: every command needs a path, an input and an output";
            return;
        }
        read.commands[path] = &command;
    }
}

// The kind of a value as a parameter type is written in descriptors: int, bool, flag, string and
// their -list forms.
std::string ParameterKind(const Doc& schema) {
    std::string type = Text(Member(schema, "type"));
    if (type == "array") {
        return ParameterKind(Member(schema, "items")) + "-list";
    }
    if (type == "integer") {
        return "int";
    }
    if (type == "boolean") {
        return Member(schema, "const") == Doc(true) ? "flag" : "bool";
    }
    return type;
}

// The kind of a result or of a field: int, bool, string, structure, list of ints...
std::string OutputKind(const Doc& schema) {
    const std::string type = Text(Member(schema, "type"));
    if (type == "array") {
        return "list of " + OutputKind(Member(schema, "items")) + "s";
    }
    if (type == "integer") {
        return "int";
    }
    if (type == "boolean") {
        return "bool";
    }
    if (type == "object") {
        return "structure";
    }
    return type.empty() ? "nothing" : type;
}

std::string Shown(const Doc& value) {
    return value.is_string() ? value.get<std::string>() : value.dump();
}

std::string Values(const Doc& values) {
    std::string text;
    for (const Doc& value : values) {
        text += (text.empty() ? "" : ", ") + Shown(value);
    }
    return "[" + text + "]";
}

std::string Range(std::int64_t min, std::int64_t max) {
    if (min == std::numeric_limits<std::int64_t>::min() && max == std::numeric_limits<std::int64_t>::max()) {
        return "any integer";
    }
    return std::to_string(min) + ".." + std::to_string(max);
}

// The schema without its description: what two parameters or commands must share to be the same one
// under another name.
Doc Shape(Doc schema) {
    if (schema.is_object()) {
        schema.erase("description");
    }
    return schema;
}

class Comparison {
public:
    Comparison(const std::string& file, std::vector<LintFinding>& findings)
        : file(file), findings(findings) {}

    void Commands(const Read& before, const Read& after);

private:
    void Report(bool breaks, const std::string& message) {
        LintFinding finding;
        finding.file = file;
        finding.error = breaks;
        finding.note = !breaks;
        finding.message = message;
        findings.push_back(std::move(finding));
    }

    void Command(const std::string& path, const Doc& before, const Doc& after);
    void Parameters(const std::string& command, const Doc& before, const Doc& after);
    void Parameter(const std::string& command, const std::string& name, const Doc& before, const Doc& after);
    void Values(const std::string& prefix, const Doc& before, const Doc& after);
    void Output(const std::string& command, const std::string& field, const Doc& before, const Doc& after);

    const std::string& file;
    std::vector<LintFinding>& findings;
};

// A command moved when the new catalog has exactly one new command declared like it.
std::string MovedTo(const Doc& command, const Read& before, const Read& after) {
    std::string found;
    const Doc input = Shape(Member(command, "input"));
    const Doc output = Shape(Member(command, "output"));
    for (const auto& [path, candidate] : after.commands) {
        if (before.commands.count(path) == 0 && Shape(Member(*candidate, "input")) == input &&
            Shape(Member(*candidate, "output")) == output) {
            if (!found.empty()) {
                return std::string();
            }
            found = path;
        }
    }
    return found;
}

void Comparison::Commands(const Read& before, const Read& after) {
    std::map<std::string, int> paths; // 1 old only, 2 new only, 3 both
    for (const auto& entry : before.commands) {
        paths[entry.first] |= 1;
    }
    for (const auto& entry : after.commands) {
        paths[entry.first] |= 2;
    }
    std::map<std::string, std::string> moves;
    for (const auto& [path, where] : paths) {
        if (where == 1) {
            moves[path] = MovedTo(*before.commands.at(path), before, after);
        }
    }
    std::map<std::string, int> targets;
    for (const auto& move : moves) {
        ++targets[move.second];
    }
    for (const auto& [path, where] : paths) {
        if (where == 3) {
            Command(path, *before.commands.at(path), *after.commands.at(path));
        } else if (where == 1) {
            // Two old commands like one new one: neither is known to have moved there.
            const std::string& moved = moves[path];
            Report(true, moved.empty() || targets[moved] > 1
                             ? "command '" + path + "' removed"
                             : Cat({"command '", path, "' moved to '", moved, "'"}));
        } else if (targets.count(path) == 0 || targets[path] > 1) {
            Report(false, "command '" + path + "' added");
        }
    }
}

void Comparison::Command(const std::string& path, const Doc& before, const Doc& after) {
    const std::string command = "command '" + path + "': ";
    Parameters(command, Member(before, "input"), Member(after, "input"));
    Output(command, std::string(), Member(before, "output"), Member(after, "output"));
    const Doc& oldEffect = Member(before, "effect");
    const Doc& newEffect = Member(after, "effect");
    if (oldEffect != newEffect) {
        Report(false, command + "effect changed from " + (oldEffect.is_string() ? Shown(oldEffect) : "none") +
                          " to " + (newEffect.is_string() ? Shown(newEffect) : "none"));
    }
}

bool Contains(const Doc& list, const std::string& name) {
    for (const Doc& item : list) {
        if (item == Doc(name)) {
            return true;
        }
    }
    return false;
}

void Comparison::Parameters(const std::string& command, const Doc& before, const Doc& after) {
    const Doc& oldProperties = Member(before, "properties");
    const Doc& newProperties = Member(after, "properties");
    const Doc& oldRequired = Member(before, "required");
    const Doc& newRequired = Member(after, "required");
    // Each removed parameter that exactly one added parameter matches in everything but its name
    // and description was renamed.
    std::map<std::string, std::string> renamed;
    std::map<std::string, int> claims;
    for (const auto& [name, schema] : oldProperties.items()) {
        if (newProperties.contains(name)) {
            continue;
        }
        std::string match;
        int matches = 0;
        for (const auto& [candidate, candidateSchema] : newProperties.items()) {
            if (!oldProperties.contains(candidate) && Shape(candidateSchema) == Shape(schema) &&
                Contains(newRequired, candidate) == Contains(oldRequired, name)) {
                match = candidate;
                ++matches;
            }
        }
        if (matches == 1) {
            renamed[name] = match;
            ++claims[match];
        }
    }
    for (auto it = renamed.begin(); it != renamed.end();) {
        it = claims[it->second] > 1 ? renamed.erase(it) : std::next(it);
    }
    std::map<std::string, int> names; // 1 old only, 2 new only, 3 both
    for (const auto& entry : oldProperties.items()) {
        names[entry.key()] |= 1;
    }
    for (const auto& entry : newProperties.items()) {
        names[entry.key()] |= 2;
    }
    for (const auto& [name, where] : names) {
        const std::string parameter = Cat({command, "parameter --", name});
        if (where == 3) {
            const bool wasRequired = Contains(oldRequired, name);
            const bool isRequired = Contains(newRequired, name);
            if (!wasRequired && isRequired) {
                Report(true, parameter + " is now required");
            } else if (wasRequired && !isRequired) {
                Report(false, parameter + " is no longer required");
            }
            Parameter(command, name, oldProperties.at(name), newProperties.at(name));
        } else if (where == 1) {
            const auto to = renamed.find(name);
            Report(true,
                   to == renamed.end() ? parameter + " removed" : parameter + " renamed to --" + to->second);
        } else if (claims.count(name) == 0 || claims[name] > 1) {
            if (Contains(newRequired, name)) {
                Report(true, Cat({command, "new parameter --", name, " is required"}));
            } else {
                Report(false, parameter + " added");
            }
        }
    }
}

void Comparison::Parameter(const std::string& command, const std::string& name, const Doc& before,
                           const Doc& after) {
    const std::string prefix = command + "parameter --" + name;
    const std::string oldKind = ParameterKind(before);
    const std::string newKind = ParameterKind(after);
    if (oldKind != newKind) {
        Report(true, prefix + " changed type from " + oldKind + " to " + newKind);
        return;
    }
    const bool list = Text(Member(before, "type")) == "array";
    Values(prefix, list ? Member(before, "items") : before, list ? Member(after, "items") : after);
}

// What one value of a parameter may be: enumeration, range and pattern.
void Comparison::Values(const std::string& prefix, const Doc& before, const Doc& after) {
    const Doc& oldEnum = Member(before, "enum");
    const Doc& newEnum = Member(after, "enum");
    const bool integer = Text(Member(after, "type")) == "integer";
    std::int64_t oldMin = std::numeric_limits<std::int64_t>::min();
    std::int64_t oldMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t newMin = oldMin;
    std::int64_t newMax = oldMax;
    if (integer) {
        const auto bound = [](const Doc& value, std::int64_t otherwise) {
            return value.is_number_integer() ? value.get<std::int64_t>() : otherwise;
        };
        oldMin = bound(Member(before, "minimum"), oldMin);
        oldMax = bound(Member(before, "maximum"), oldMax);
        newMin = bound(Member(after, "minimum"), newMin);
        newMax = bound(Member(after, "maximum"), newMax);
    }
    const auto accepted = [&](const Doc& value) {
        if (newEnum.is_array() && std::find(newEnum.begin(), newEnum.end(), value) == newEnum.end()) {
            return false;
        }
        return !value.is_number_integer() ||
               (value.get<std::int64_t>() >= newMin && value.get<std::int64_t>() <= newMax);
    };
    if (oldEnum.is_array()) {
        for (const Doc& value : oldEnum) {
            if (!accepted(value)) {
                Report(true, prefix + " no longer accepts the value '" + Shown(value) + "'");
            }
        }
        if (!newEnum.is_array()) {
            Report(false, prefix + " is no longer restricted to the values " + Catalog::Values(oldEnum));
        }
    } else if (newEnum.is_array()) {
        Report(true, prefix + " now accepts only the values " + Catalog::Values(newEnum));
    }
    if (newEnum.is_array()) {
        for (const Doc& value : newEnum) {
            if (oldEnum.is_array() && std::find(oldEnum.begin(), oldEnum.end(), value) == oldEnum.end()) {
                Report(false, prefix + " accepts the new value '" + Shown(value) + "'");
            }
        }
    }
    // With an enumeration on both sides the values decide, not the range around them.
    if (integer && !(oldEnum.is_array() && newEnum.is_array()) && (oldMin != newMin || oldMax != newMax)) {
        const bool narrowed = newMin > oldMin || newMax < oldMax;
        Report(narrowed, prefix + (narrowed ? " range narrowed from " : " range widened from ") +
                             Range(oldMin, oldMax) + " to " + Range(newMin, newMax));
    }
    const Doc& oldPattern = Member(before, "pattern");
    const Doc& newPattern = Member(after, "pattern");
    if (oldPattern != newPattern) {
        if (!newPattern.is_string()) {
            Report(false, prefix + " no longer has to match the pattern '" + Shown(oldPattern) + "'");
        } else if (!oldPattern.is_string()) {
            Report(true, prefix + " now has to match the pattern '" + Shown(newPattern) + "'");
        } else {
            // Whether one pattern accepts all another does cannot be told in general.
            Report(true, prefix + " pattern changed from '" + Shown(oldPattern) + "' to '" +
                             Shown(newPattern) + "'");
        }
    }
}

void Comparison::Output(const std::string& command, const std::string& field, const Doc& before,
                        const Doc& after) {
    const std::string oldKind = OutputKind(before);
    const std::string newKind = OutputKind(after);
    if (oldKind != newKind) {
        Report(true, command + (field.empty() ? "output" : "output field '" + field + "'") +
                         " changed from " + oldKind + " to " + newKind);
        return;
    }
    if (oldKind.rfind("list of ", 0) == 0) {
        Output(command, field, Member(before, "items"), Member(after, "items"));
        return;
    }
    if (oldKind != "structure") {
        return;
    }
    const Doc& oldFields = Member(before, "properties");
    const Doc& newFields = Member(after, "properties");
    std::map<std::string, int> names; // 1 old only, 2 new only, 3 both
    for (const auto& entry : oldFields.items()) {
        names[entry.key()] |= 1;
    }
    for (const auto& entry : newFields.items()) {
        names[entry.key()] |= 2;
    }
    for (const auto& [name, where] : names) {
        const std::string path = field.empty() ? name : Cat({field, ".", name});
        if (where == 3) {
            Output(command, path, oldFields.at(name), newFields.at(name));
        } else if (where == 1) {
            Report(true, Cat({command, "output field '", path, "' removed"}));
        } else {
            Report(false, Cat({command, "output field '", path, "' added"}));
        }
    }
}

} // namespace

} // namespace Catalog

bool AutoCli_CompareCatalogs(const std::string& oldFile, const std::string& newFile,
                             std::vector<LintFinding>& findings) {
    Catalog::Read before;
    Catalog::Read after;
    for (const auto& [file, read] : {std::make_pair(&oldFile, &before), std::make_pair(&newFile, &after)}) {
        Catalog::ReadCatalog(*file, *read);
        if (!read->problem.empty()) {
            LintFinding finding;
            finding.file = *file;
            finding.line = read->line;
            finding.error = true;
            finding.message = read->problem;
            findings.clear();
            findings.push_back(std::move(finding));
            return false;
        }
    }
    Catalog::Comparison(newFile, findings).Commands(before, after);
    return true;
}

} // namespace Corvane::AutoCli
