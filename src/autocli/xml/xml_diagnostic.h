// libxml2's diagnostics as the readers of descriptors and documents keep them.
#pragma once

#include <string>

namespace Corvane::AutoCli {

// One diagnostic of libxml2: its message without the line end, and the line and column of the text
// it names (0 when it names none).
struct XmlDiagnostic {
    std::string message;
    int line = 0;
    int column = 0;
};

} // namespace Corvane::AutoCli
