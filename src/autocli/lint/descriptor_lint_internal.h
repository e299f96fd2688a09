// Pieces shared by the descriptor linter's files: the parsed document with its first parser
// message, locating the element behind a loader refusal, and the checks beyond the loader's.
#pragma once

#include <corvane/dispatch.h>
#include <corvane/lint.h>
#include <corvane/plugins.h>

#include "autocli/xml/xml_document.h"

#include <libxml/tree.h>

#include <memory>
#include <string>
#include <vector>

namespace Corvane::AutoCli {
namespace DescriptorLint {

using DocPtr = XmlDocPtr;

// A descriptor parsed with line numbers. Without a document, `errorLine` and `errorMessage` hold
// the parser's first message (line 0 and an empty message when the file could not be read).
struct ParsedDescriptor {
    DocPtr doc;
    long errorLine = 0;
    std::string errorMessage;
};

// Reads and parses `path` as the loader does (no network, no external entities), collecting the
// parser's first message instead of letting libxml2 print anything.
ParsedDescriptor ParseDescriptor(const std::string& path);

long LineOf(const xmlNode* node);
std::vector<xmlNode*> ElementChildren(const xmlNode* node);
std::vector<xmlNode*> DeclaredEntries(xmlNode* root);

// The line of the element that makes XmlPlugin::Initialize refuse the document.
long LocateLoadFault(xmlNode* root);
// The line of the namespace or command element whose registration failed with `message`.
long LocateRegistrationFault(xmlNode* root, XmlPlugin& plugin, NamespaceNode& tree,
                             const std::string& message);

// The checks beyond the loader's; findings carry no file name yet.
void CheckNames(xmlNode* root, std::vector<LintFinding>& findings);
void CheckCommands(xmlNode* root, Dispatcher& dispatcher, std::vector<LintFinding>& findings);
// Meta-data entries with a meaning to the library: an "effect" must be read, change or destroy.
void CheckMetaData(xmlNode* root, std::vector<LintFinding>& findings);

// "; did you mean 'X'?" with X = AutoCli_ClosestName(word, known), or nothing.
std::string Suggestion(const std::string& word, const std::vector<std::string>& known);

} // namespace DescriptorLint
} // namespace Corvane::AutoCli
