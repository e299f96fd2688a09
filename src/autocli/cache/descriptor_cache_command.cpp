// CachedExtensionCommand: a command restored from the descriptor cache, read in full on first use.
#include "autocli/cache/descriptor_cache.h"

#include "autocli/cache/descriptor_cache_directory.h"
#include "autocli/os/file_access.h"
#include "autocli/xml/xml_document.h"

#include <sys/stat.h>

#include <libxml/tree.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace Corvane::AutoCli {
namespace DescriptorCache {

namespace {

// The `ordinal`-th child named command of the root's `commands` element, counted the way
// XmlPlugin::AddCommands picks them: by name alone.
xmlNode* FindCommand(xmlNode* root, unsigned ordinal) {
    xmlNode* commands = XmlUtil_FindChildNode(root, "commands");
    if (commands == nullptr) {
        return nullptr;
    }
    for (xmlNode* child = commands->children; child != nullptr; child = child->next) {
        if (child->name != nullptr &&
            std::strcmp(reinterpret_cast<const char*>(child->name), "command") == 0) {
            if (ordinal == 0) {
                return child;
            }
            --ordinal;
        }
    }
    return nullptr;
}

// The descriptor's own text, when the cache file was cut short or written under this process: the
// file is read if it still is the one the entry was made from, before and after the read.
bool ReadUnchanged(const KeptText& text, std::string& descriptor) {
    struct stat status {};
    if (::stat(text.fileName.c_str(), &status) != 0 || IdentityOf(status) != text.identity ||
        ReadRegularFile(text.fileName, static_cast<std::size_t>(text.size), descriptor) !=
            FileReadResult::Ok) {
        return false;
    }
    return descriptor.size() == text.size && ::stat(text.fileName.c_str(), &status) == 0 &&
           IdentityOf(status) == text.identity;
}

} // namespace

CachedExtensionCommand::CachedExtensionCommand(std::shared_ptr<const KeptText> text, unsigned ordinal)
    : text(std::move(text)), ordinal(ordinal) {}

CachedExtensionCommand::~CachedExtensionCommand() = default;

std::shared_ptr<CallSpec::InputSpec> CachedExtensionCommand::GetInputSpecInternal() {
    Materialize();
    return ExtensionCommand::GetInputSpecInternal();
}

std::shared_ptr<CallSpec::OutputSpec> CachedExtensionCommand::GetOutputSpecInternal() {
    Materialize();
    return ExtensionCommand::GetOutputSpecInternal();
}

const std::map<std::string, std::string>& CachedExtensionCommand::GetMetaData() {
    Materialize();
    return ExtensionCommand::GetMetaData();
}

void CachedExtensionCommand::ExecuteInternal(const std::shared_ptr<CallSpec::Input>& input,
                                             const std::shared_ptr<CallSpec::Output>& output) {
    Materialize();
    ExtensionCommand::ExecuteInternal(input, output);
}

void CachedExtensionCommand::Materialize() {
    if (materialized) {
        return;
    }
    LIBXML_TEST_VERSION
    // The text loaded without error when the entry was made, so the same reader gives the same
    // command again; anything else means the cache file was changed under this process.
    const std::string& fileName = text->fileName;
    // XmlPlugin's own parser and options, so the kept text gives the tree the first load walked.
    std::string descriptor;
    XmlDocPtr doc;
    if (text->source->Read(text->offset, text->size, descriptor) || ReadUnchanged(*text, descriptor)) {
        doc = ParseXmlDocument(descriptor, fileName, nullptr);
    }
    xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    xmlNode* node = root != nullptr ? FindCommand(root, ordinal) : nullptr;
    if (node == nullptr) {
        throw CorvaneException("Unable to read the cached declaration of command " + GetName() + " of " +
                               fileName + ".  Remove the cache to read the descriptor again.");
    }
    std::shared_ptr<XmlPlugin> reader = XmlPlugin::New(fileName);
    reader->AddCommand(node);
    auto built = std::dynamic_pointer_cast<ExtensionCommand>(reader->GetPendingRegistrations().back().second);
    SetInputSpec(built->GetInputSpecInternal());
    SetOutputSpec(built->GetOutputSpecInternal());
    for (const auto& [name, value] : built->GetMetaData()) {
        SetMetaData(name, value);
    }
    // The templates have no getter; AddCommand takes them from these two text children.
    SetExecuteCommand(XmlUtil_GetContentForChildByTag(node, "execute"));
    SetStdin(XmlUtil_GetContentForChildByTag(node, "stdin"));
    materialized = true;
}

} // namespace DescriptorCache
} // namespace Corvane::AutoCli
