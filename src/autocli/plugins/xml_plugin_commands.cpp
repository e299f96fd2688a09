// XmlPlugin: reading the commands of a descriptor and their meta-data.
#include <corvane/plugins.h>

#include "autocli/plugins/xml_plugin_internal.h"

#include <libxml/tree.h>

#include <memory>
#include <string>
#include <utility>

namespace Corvane::AutoCli {

using XmlDescriptor::CarriesContent;
using XmlDescriptor::IsNamed;
using XmlDescriptor::IsTextOrComment;

void XmlPlugin::AddCommands(xmlNode* node) {
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (IsNamed(child, "command")) {
            AddCommand(child);
        }
    }
}

void XmlPlugin::AddCommand(xmlNode* node) {
    std::string path = XmlUtil_ExtractAttribute(node, "path");
    if (path.empty()) {
        throw CorvaneException(
            "Invalid command specification found.  <command> tags must have a non-empty 'path' attribute");
    }
    // Read before the command's own handler: a duplicate description is reported without the command
    // message around it.
    const std::string description = XmlUtil_GetContentForChildByTag(node, "description");
    try {
        std::shared_ptr<ExtensionCommand> command = ExtensionCommand::New();
        command->SetDescription(description);

        if (xmlNode* metaData = XmlUtil_FindChildNode(node, "meta-data")) {
            ExtractMetaData(metaData, command);
        }
        xmlNode* inputSpec = XmlUtil_FindChildNode(node, "input-spec");
        if (inputSpec == nullptr) {
            throw CorvaneException("Unable to find <input-spec> element, which is required for a command.");
        }
        command->SetInputSpec(ExtractInputSpec(inputSpec));

        xmlNode* outputSpec = XmlUtil_FindChildNode(node, "output-spec");
        if (outputSpec == nullptr) {
            throw CorvaneException("Unable to find <output-spec> element, which is required for a command.");
        }
        command->SetOutputSpec(ExtractOutputSpec(outputSpec));

        xmlNode* formatParams = XmlUtil_FindChildNode(node, "format-parameters");
        if (formatParams == nullptr) {
            throw CorvaneException(
                "Unable to find <format-parameters> element, which is required for a command.");
        }
        ExtractFormatParams(formatParams, command);

        const std::string execute = XmlUtil_GetContentForChildByTag(node, "execute");
        if (execute.empty()) {
            throw CorvaneException("Missing or empty <execute> tag.  This tag must specify a valid execution "
                                   "string for this command.");
        }
        command->SetExecuteCommand(execute);
        command->SetStdin(XmlUtil_GetContentForChildByTag(node, "stdin"));

        pending.emplace_back(path, std::move(command));
    } catch (const CorvaneException& e) {
        throw CorvaneException("Unable to register the command 'varnok " + path + "'  Error was " + e.what());
    }
}

void ExtractMetaData(xmlNode* node, const std::shared_ptr<ExtensionCommand>& command) {
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->name == nullptr) {
            continue;
        }
        if (IsNamed(child, "meta-data-entry")) {
            // An entry is only a value when it has content; only then must it be named.
            bool hasContent = false;
            for (xmlNode* content = child->children; content != nullptr && !hasContent;
                 content = content->next) {
                hasContent = CarriesContent(content);
            }
            if (!hasContent) {
                continue;
            }
            std::string name = XmlUtil_ExtractAttribute(child, "name");
            if (name.empty()) {
                throw CorvaneException("Error parsing 'meta-data-entry', missing required attribute 'name'");
            }
            if (command) {
                command->SetMetaData(std::move(name), XmlUtil_GetContent(child));
            }
        } else if (!IsTextOrComment(child)) {
            throw CorvaneException(
                "Found unexpected tag while building meta-data set.  Unexpected tag was: " +
                XmlDescriptor::NameOf(child));
        }
    }
}

} // namespace Corvane::AutoCli
