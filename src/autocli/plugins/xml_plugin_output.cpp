// XmlPlugin: reading a command's declared output type and its default format parameters.
#include <corvane/plugins.h>

#include "autocli/plugins/xml_plugin_internal.h"

#include <libxml/tree.h>

#include <memory>
#include <string>

namespace Corvane::AutoCli {

using CallSpec::OutputSpec;
using XmlDescriptor::IsNamed;
using XmlDescriptor::IsTextOrComment;

std::shared_ptr<OutputSpec> ExtractOutputSpec(xmlNode* node) {
    std::shared_ptr<OutputSpec> spec = OutputSpec::New();
    bool taken = false;
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (IsTextOrComment(child)) {
            continue;
        }
        // An unnamed child (a CDATA section) cannot be a type; the builder refuses it with its own
        // message, so it is handed over even after an element was taken.
        if (taken && child->name != nullptr) {
            throw CorvaneException("Found more than one node under 'output-spec', where only one node is "
                                   "supported.  The tag was " +
                                   XmlDescriptor::NameOf(child));
        }
        try {
            spec->SetRootObject(XmlUtil_BuildMetaObject(child));
        } catch (const CorvaneException& e) {
            throw CorvaneException(std::string("Unable to build output spec.  Error was ") + e.what());
        }
        taken = true;
    }
    return spec;
}

void ExtractFormatParams(xmlNode* node, const std::shared_ptr<ExtensionCommand>& command) {
    bool formatterSeen = false;
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (IsNamed(child, "formatter")) {
            if (formatterSeen) {
                throw CorvaneException("Invalid plugin format.  Duplicate <formatter> tags found");
            }
            formatterSeen = true;
            command->SetDefaultOutputFormatter(XmlUtil_GetContent(child));
        } else if (IsNamed(child, "format-parameter")) {
            // A later parameter of the same name replaces the earlier value.
            command->SetDefaultOutputParameter(XmlUtil_ExtractAttribute(child, "name"),
                                               XmlUtil_GetContent(child));
        }
    }
}

} // namespace Corvane::AutoCli
