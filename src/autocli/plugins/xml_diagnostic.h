// libxml2's diagnostics as the descriptor reader keeps them, for tools that report on descriptor files.
#pragma once

#include <corvane/export.h>

#include <string>

namespace Corvane::AutoCli {

// One diagnostic of libxml2: its message without the line end, and the line and column of the text
// it names (0 when it names none).
struct XmlDiagnostic {
    std::string message;
    int line = 0;
    int column = 0;
};

// When the descriptor file `fileName` can be read but is not well-formed XML (the case XmlPlugin reports
// as "Unable to parse XML descriptor: FILE"), puts libxml2's first diagnostic about it into `problem` and
// returns true. Returns false for a well-formed file and for one that cannot be read. Prints nothing.
CORVANE_API bool FindDescriptorSyntaxError(const std::string& fileName, XmlDiagnostic& problem);

} // namespace Corvane::AutoCli
