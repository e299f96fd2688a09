// The command catalog: the JSON Schemas of a command's input and of its result.
#include "autocli/catalog/catalog_internal.h"

#include <cstdint>
#include <limits>

namespace Corvane::AutoCli {
namespace Catalog {

using CallSpec::ParameterConstraint;
using CallSpec::ParameterSpec;
using MetaObj::MetaList;
using MetaObj::MetaObject;
using MetaObj::MetaStruct;
using MetaObj::MetaType;

namespace {

const char kDraft[] = "https://json-schema.org/draft/2020-12/schema";

Json Integer(std::int64_t minimum, std::int64_t maximum) {
    return Json{{"type", "integer"}, {"minimum", minimum}, {"maximum", maximum}};
}

Json AnyInteger() {
    return Integer(std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max());
}

// The schema of a declared value as the json formatter prints it.
Json ValueSchema(const std::shared_ptr<MetaObject>& value) {
    switch (value->GetType()) {
    case MetaType::Int:
        return AnyInteger();
    case MetaType::Bool:
        return Json{{"type", "boolean"}};
    case MetaType::String:
        return Json{{"type", "string"}};
    case MetaType::Struct: {
        const auto& structure = static_cast<const MetaStruct&>(*value);
        Json properties = Json::object();
        Json required = Json::array();
        for (const auto& [name, field] : structure.GetFields()) {
            properties[name] = ValueSchema(structure.GetField(name));
            required.push_back(name);
        }
        return Json{{"type", "object"},
                    {"title", structure.GetTypeName()},
                    {"properties", std::move(properties)},
                    {"required", std::move(required)},
                    {"additionalProperties", false}};
    }
    case MetaType::List: {
        const auto& list = static_cast<const MetaList&>(*value);
        Json items;
        switch (list.GetListType()) {
        case MetaType::Struct:
            // A list declared without a definition can hold no item, but is still an array.
            items = list.GetListStructure() ? ValueSchema(list.GetListStructure()) : Json{{"type", "object"}};
            break;
        case MetaType::Int:
            items = AnyInteger();
            break;
        case MetaType::Bool:
            items = Json{{"type", "boolean"}};
            break;
        default:
            items = Json{{"type", "string"}};
            break;
        }
        return Json{{"type", "array"}, {"items", std::move(items)}};
    }
    }
    return Json::object();
}

// One value of a parameter: its scalar type and what its constraint allows.
Json ValueSchema(const ParameterSpec& parameter) {
    const auto scalar = static_cast<CallSpec::ParameterType>(parameter.GetType() & ~4);
    const std::shared_ptr<ParameterConstraint> constraint = parameter.GetConstraint();
    const auto kind = constraint ? constraint->GetType() : CallSpec::None;
    switch (scalar) {
    case CallSpec::Int: {
        if (kind == CallSpec::IntRange) {
            long min = 0;
            long max = 0;
            constraint->GetIntRange(min, max);
            return Integer(min, max);
        }
        Json schema = AnyInteger();
        if (kind == CallSpec::IntEnum) {
            schema["enum"] = constraint->GetIntEnum();
        }
        return schema;
    }
    case CallSpec::Bool:
        return Json{{"type", "boolean"}};
    case CallSpec::Flag:
        // Present or not: the only value a flag given in an input object can have is true.
        return Json{{"type", "boolean"}, {"const", true}};
    default: {
        Json schema{{"type", "string"}};
        if (kind == CallSpec::StringEnum) {
            schema["enum"] = constraint->GetStringEnum();
        } else if (kind == CallSpec::StringRegex) {
            // The whole value must match, where a schema pattern may match anywhere.
            schema["pattern"] = "^(?:" + constraint->GetStringRegex() + ")$";
        }
        return schema;
    }
    }
}

std::string Words(Command& command) {
    return command.GetPathString(' ');
}

} // namespace

Json InputSchema(Command& command) {
    Json properties = Json::object();
    Json required = Json::array();
    for (const std::shared_ptr<ParameterSpec>& parameter : command.GetInputSpec()->GetParameters()) {
        // The implicit help option asks for help instead of running the command: no input of it.
        if (parameter->GetName() == "help") {
            continue;
        }
        Json schema = ValueSchema(*parameter);
        if (parameter->AllowMultiple()) {
            schema = Json{{"type", "array"}, {"items", std::move(schema)}};
        }
        schema["description"] = parameter->GetDescription(true);
        if (parameter->IsSecret()) {
            schema["writeOnly"] = true;
        }
        properties[parameter->GetName()] = std::move(schema);
        if (parameter->IsRequired()) {
            required.push_back(parameter->GetName());
        }
    }
    return Json{{"$schema", kDraft},
                {"description", "The options of varnok " + Words(command) + "."},
                {"type", "object"},
                {"properties", std::move(properties)},
                {"required", std::move(required)},
                {"additionalProperties", false}};
}

Json OutputSchema(Command& command) {
    Json schema{{"$schema", kDraft}};
    std::string description = "The result of varnok " + Words(command) + ".";
    std::shared_ptr<CallSpec::OutputSpec> spec = command.GetOutputSpec();
    // The library's placeholder for a missing description says nothing here.
    if (spec && !spec->GetDescription().empty() && spec->GetDescription() != "Documentation missing") {
        description += " " + spec->GetDescription();
    }
    schema["description"] = description;
    std::shared_ptr<MetaObject> root = spec ? spec->GetRootObject() : nullptr;
    if (!root) {
        // Nothing is declared, so every result fails the check and nothing is ever printed.
        schema["not"] = Json::object();
        return schema;
    }
    const Json shape = ValueSchema(root);
    for (const auto& [key, value] : shape.items()) {
        schema[key] = value;
    }
    return schema;
}

} // namespace Catalog

std::string AutoCli_InputSchema(Command& command) {
    return Catalog::Text(Catalog::InputSchema(command));
}

std::string AutoCli_OutputSchema(Command& command) {
    return Catalog::Text(Catalog::OutputSchema(command));
}

} // namespace Corvane::AutoCli
