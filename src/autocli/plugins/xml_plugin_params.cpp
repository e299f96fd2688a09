// XmlPlugin: reading a command's input specification, its parameters, constraints and enumerations.
#include <corvane/plugins.h>

#include "autocli/plugins/xml_plugin_internal.h"

#include <libxml/tree.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Corvane::AutoCli {

using CallSpec::InputSpec;
using CallSpec::ParameterConstraint;
using CallSpec::ParameterConstraintType;
using CallSpec::ParameterSpec;
using CallSpec::ParameterType;
using XmlDescriptor::CarriesContent;
using XmlDescriptor::IsNamed;
using XmlDescriptor::IsTextOrComment;

namespace {

// The parameter type keywords of a descriptor. "flag" is accepted although the message that lists
// the keywords does not name it.
bool ParseParameterType(const std::string& word, ParameterType& type) {
    static const std::pair<const char*, ParameterType> kTypes[] = {
        {"string", CallSpec::String},
        {"int", CallSpec::Int},
        {"bool", CallSpec::Bool},
        {"flag", CallSpec::Flag},
        {"string-list", CallSpec::StringList},
        {"int-list", CallSpec::IntList},
        {"bool-list", CallSpec::BoolList},
    };
    for (const auto& entry : kTypes) {
        if (word == entry.first) {
            type = entry.second;
            return true;
        }
    }
    return false;
}

bool IsTrueOrFalse(const std::string& word) {
    return word == "true" || word == "false";
}

void AddEnumEntries(const std::vector<std::pair<std::string, std::string>>& entries, bool intEnum,
                    ParameterConstraint& constraint) {
    for (const auto& entry : entries) {
        if (!intEnum) {
            constraint.AddStringEnum(entry.first, entry.second);
            continue;
        }
        std::int64_t number = 0;
        if (!XmlDescriptor::ReadInt64(entry.first, number)) {
            throw CorvaneException("Error parsing integer enumeration. Expected integer, but got " +
                                   entry.first);
        }
        constraint.AddIntEnum(static_cast<long>(number));
    }
}

} // namespace

std::shared_ptr<InputSpec> ExtractInputSpec(xmlNode* node) {
    std::shared_ptr<InputSpec> spec = InputSpec::New();
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (IsNamed(child, "parameter")) {
            ExtractInputParam(child, spec);
        } else if (IsNamed(child, "context-supported")) {
            spec->SetContextSupported(XmlUtil_GetContent(child));
        }
    }
    return spec;
}

void ExtractInputParam(xmlNode* node, const std::shared_ptr<InputSpec>& spec) {
    const std::string name = XmlUtil_ExtractAttribute(node, "name");
    const std::string typeWord = XmlUtil_ExtractAttribute(node, "type");
    const std::string required = XmlUtil_ExtractAttribute(node, "required");
    std::string secret = XmlUtil_ExtractAttribute(node, "secret");
    const std::string shortName = XmlUtil_ExtractAttribute(node, "shortname");
    std::string description = XmlUtil_GetContentForChildByTag(node, "description");

    if (name.empty()) {
        throw CorvaneException("Unable to parse Input Parameter.  Missing required attribute: 'name'");
    }
    ParameterType type = CallSpec::String;
    if (!ParseParameterType(typeWord, type)) {
        throw CorvaneException("Unable to parse Input Parameter " + name +
                               ". Missing or invalid required attribute: 'type'.  Must be one of [string, "
                               "string-list, bool, bool-list, int, int-list]");
    }
    if (!IsTrueOrFalse(required)) {
        throw CorvaneException("Unable to parse Input Paramter " + name +
                               ". Missing or invalid 'required', must be one of ['true', 'false']");
    }
    if (description.empty()) {
        throw CorvaneException("Unable to parse Input Paramter " + name + ". Missing command description");
    }
    if (secret.empty()) {
        secret = "false";
    }
    if (!IsTrueOrFalse(secret)) {
        throw CorvaneException("Unable to parse Input Paramter " + name +
                               ". Invalid 'secret', must be one of ['true', 'false']");
    }
    if (secret == "true" && typeWord != "string") {
        throw CorvaneException("Unable to parse Input Paramter " + name + ". Invalid type " + typeWord +
                               " for secret, must be 'string'");
    }

    std::shared_ptr<ParameterSpec> parameter = ParameterSpec::New(name, type);
    if (!shortName.empty()) {
        parameter->SetShortName(shortName);
    }
    parameter->SetDescription(std::move(description));
    parameter->SetRequired(required == "true");
    if (secret == "true") {
        parameter->SetSecret(true);
    }
    try {
        for (xmlNode* child = node->children; child != nullptr; child = child->next) {
            if (IsNamed(child, "constraint")) {
                parameter->SetConstraint(ExtractParamConstraint(child));
            }
        }
    } catch (const CorvaneException& e) {
        throw CorvaneException("Unable to build parameter constraint for parameter " + name +
                               ".  Error was: " + e.what());
    }
    spec->AddParameter(parameter);
}

std::shared_ptr<ParameterConstraint> ExtractParamConstraint(xmlNode* node) {
    const std::string type = XmlUtil_ExtractAttribute(node, "type");
    const bool stringEnum = type == "stringenum";
    const bool intEnum = type == "intenum";
    const bool regex = type == "regex";
    const bool range = type == "range";
    if (!stringEnum && !intEnum && !regex && !range) {
        throw CorvaneException(
            "Missing or invalid constraint 'type', must be one of [stringenum, intenum, regex, range] got '" +
            type + "'");
    }

    // Every matching child builds a new constraint, so the last one is what the parameter gets; a
    // later empty enum replaces an earlier full one without clearing `found`.
    std::shared_ptr<ParameterConstraint> constraint;
    bool found = false;
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if ((stringEnum || intEnum) && IsNamed(child, "enum")) {
            const std::vector<std::pair<std::string, std::string>> entries = ExtractEnum(child);
            if (!entries.empty()) {
                found = true;
            }
            constraint = ParameterConstraint::New(stringEnum ? CallSpec::StringEnum : CallSpec::IntEnum);
            AddEnumEntries(entries, intEnum, *constraint);
        } else if (regex && IsNamed(child, "regex")) {
            const std::string pattern = XmlUtil_GetContent(child);
            constraint = ParameterConstraint::New(CallSpec::StringRegex);
            if (pattern.empty()) {
                throw CorvaneException(
                    "Error parsing regex from parameter constraint.Missing or empty 'regex' tag");
            }
            constraint->SetStringRegex(pattern);
            found = true;
        } else if (range && IsNamed(child, "range")) {
            const std::string minText = XmlUtil_ExtractAttribute(child, "min");
            const std::string maxText = XmlUtil_ExtractAttribute(child, "max");
            constraint = ParameterConstraint::New(CallSpec::IntRange);
            std::int64_t min = 0;
            std::int64_t max = 0;
            if (minText.empty() || maxText.empty() || !XmlDescriptor::ReadInt64(minText, min) ||
                !XmlDescriptor::ReadInt64(maxText, max)) {
                throw CorvaneException(
                    "Error parsing 'range' parameter constraint.  Range requires both 'min' "
                    "and 'max' attributes and that both are integers.");
            }
            constraint->SetIntRange(static_cast<long>(min), static_cast<long>(max));
            found = true;
        }
    }
    if (!found) {
        throw CorvaneException("Error parsing parameter constraint.  There was no data included inside the "
                               "<constraint> tag for the given constraint type");
    }
    return constraint;
}

std::vector<std::pair<std::string, std::string>> ExtractEnum(xmlNode* node) {
    std::vector<std::pair<std::string, std::string>> entries;
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (IsNamed(child, "enum-value")) {
            // One entry per content-bearing child: text interrupted by a comment gives several entries
            // with the same value.
            for (xmlNode* content = child->children; content != nullptr; content = content->next) {
                if (!CarriesContent(content)) {
                    continue;
                }
                std::string value = XmlUtil_ExtractAttribute(child, "value");
                if (value.empty()) {
                    throw CorvaneException("Error parsing 'enum-value', missing required attribute 'value'");
                }
                entries.emplace_back(std::move(value), XmlDescriptor::ContentOf(content));
            }
        } else if (child->name != nullptr && !IsTextOrComment(child)) {
            // Unnamed children (CDATA sections) are text as far as an enumeration is concerned.
            throw CorvaneException("Found unexpected tag while building an enum.  Unexpected tag was: " +
                                   XmlDescriptor::NameOf(child));
        }
    }
    return entries;
}

} // namespace Corvane::AutoCli
