// Helpers shared by the formatter sources: item splitting and per-field formatting with resolved keys.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace Corvane::MetaObj {
class MetaObject;
} // namespace Corvane::MetaObj

namespace Corvane::AutoCli {
namespace Detail {

/// Whether `out` is flushed after every line: only standard output on a terminal, where people
/// watch it. Defined in line_flush.cpp.
bool FlushesEveryLine(const std::ostream& out);

/// Ends one line of formatter output with a single newline, flushed at once on a terminal; on a pipe
/// or a file lines go out in blocks, and the front end flushes after each command.
inline void EndLine(std::ostream& out) {
    out << '\n';
    if (FlushesEveryLine(out)) {
        out.flush();
    }
}

/// Splits `text` at every `separator`. Empty items before or between separators are kept, the empty
/// piece after a final separator is not produced, and empty text gives no items.
std::vector<std::string> SplitItems(const std::string& text, char separator);

/// The printf and units settings of one field, looked up once so that a caller formatting many
/// values of the same field (table rows) does not rebuild the keys per value.
struct FieldFormatKeys {
    std::string printfKey;                     ///< "printf:Type.Field", used in the error text
    const std::string* printfFormat = nullptr; ///< null when the printf key is absent
    const std::string* units = nullptr;        ///< null when the units key is absent
};

/// The display text of a non-null value with the given printf and units settings applied.
std::string FormatFieldValue(const MetaObj::MetaObject& value, const FieldFormatKeys& keys);

} // namespace Detail
} // namespace Corvane::AutoCli
