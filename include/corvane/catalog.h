// The command catalog: JSON Schemas of every command's input and result, and comparing two catalogs.
//
// A catalog (catalog.json, written by `varnok-doc --schema DIR`) is one JSON object:
//
//     {"catalogVersion": 1, "commands": [{"path": "system process list", "description": "...",
//       "effect": "read" or null, "defaultFormatter": "table" or null,
//       "input": {input schema}, "output": {output schema}}, ...]}
//
// with the commands in path order. Both schemas are JSON Schema draft 2020-12 documents. The output
// schema describes the result exactly as the json formatter prints it: integers as JSON integers
// bounded to 64 bits, booleans, strings, structures as objects whose declared fields are all required
// and the only ones allowed, lists as arrays. The input schema describes the command's options as one
// object, each option a property: strings, integers, booleans, a flag as the constant true, list
// options as arrays of their element type; enumerations, ranges and patterns as "enum",
// "minimum"/"maximum" and an anchored "pattern"; a secret option "writeOnly"; required options in
// "required". The implicit help option is left out: it is no input of the command.
//
// The catalog is the contract a script is written against, so comparing an old and a new catalog
// tells what would break such a script. The comparison reads only the catalog, never the plugins.
#pragma once

#include <corvane/export.h>
#include <corvane/lint.h>

#include <string>
#include <vector>

namespace Corvane::AutoCli {

class Command;
class Dispatcher;

/// One file of a schema directory: its name and its text.
struct CORVANE_API SchemaFile {
    std::string fileName;
    std::string text;
};

/// The input schema of `command` as JSON text.
CORVANE_API std::string AutoCli_InputSchema(Command& command);
/// The schema of the result of `command` as the json formatter prints it, as JSON text.
CORVANE_API std::string AutoCli_OutputSchema(Command& command);

/// The files of `varnok-doc --schema`: for every command of the dispatcher's tree, in path order,
/// PATH.input.json and PATH.output.json (PATH the command path joined by full stops, such as
/// system.process.list.output.json), then catalog.json.
CORVANE_API std::vector<SchemaFile> AutoCli_SchemaFiles(Dispatcher& dispatcher);

/// Compares the catalogs in the files `oldFile` and `newFile`. Every change that breaks a script
/// written against the old catalog is an error, every addition a note; all of them name `newFile`,
/// in path order of the commands. Returns false, with one error naming the file, when a file cannot
/// be read or does not hold a catalog; the findings are then only that error.
CORVANE_API bool AutoCli_CompareCatalogs(const std::string& oldFile, const std::string& newFile,
                                         std::vector<LintFinding>& findings);

} // namespace Corvane::AutoCli
