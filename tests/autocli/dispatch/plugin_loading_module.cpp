// A minimal shared-object plugin for the plugin loading tests: registers the namespace "sotest".
#include <corvane/plugins.h>

#include <memory>

extern "C" CORVANE_PLUGIN_EXPORT void
AutoCli_RegisterNamespaces(std::shared_ptr<Corvane::AutoCli::Namespace> root) {
    std::shared_ptr<Corvane::AutoCli::Namespace> added = Corvane::AutoCli::Namespace::New();
    added->SetDescription("Registered by a shared object");
    root->RegisterNamespaceNode(added, "sotest");
}
