// Helpers shared by the formatter sources: visiting a value by kind, the texts written for values that
// do not match their kind, line endings, UTF-8 decoding for the escapers, item splitting, field
// selection and per-field formatting.
#pragma once

#include <corvane/format.h>
#include <corvane/metaobj.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace Corvane::AutoCli {

// The value kinds every formatter source works with.
using MetaObj::MetaBool;
using MetaObj::MetaInt;
using MetaObj::MetaList;
using MetaObj::MetaObject;
using MetaObj::MetaString;
using MetaObj::MetaStruct;
using MetaObj::MetaType;

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

/// Writes the pieces (strings and C strings) in one stream call instead of one per piece, which counts
/// when a document has hundreds of thousands of lines.
template <typename... Pieces> void WritePieces(std::ostream& out, const Pieces&... pieces) {
    thread_local std::string joined;
    joined.clear();
    (joined.append(pieces), ...);
    out.write(joined.data(), static_cast<std::streamsize>(joined.size()));
}

/// WritePieces, then EndLine.
template <typename... Pieces> void WriteLine(std::ostream& out, const Pieces&... pieces) {
    WritePieces(out, pieces...);
    EndLine(out);
}

/// Collects a formatter's text and hands it to the stream in blocks: where FlushesEveryLine(out), each
/// line as it ends, flushed at once; elsewhere whenever the text collected passes a block, and what is
/// left when the writer goes (also when an exception leaves the formatter). A document of hundreds of
/// thousands of lines then costs a few stream calls instead of some per line.
class BlockWriter {
public:
    explicit BlockWriter(std::ostream& out) : out(out), everyLine(FlushesEveryLine(out)) {}
    ~BlockWriter();
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    /// The text collected so far; formatters append to it.
    std::string& Text() { return text; }
    /// Appends the pieces (strings, C strings, characters).
    template <typename... Pieces> void Append(const Pieces&... pieces) { (text += ... += pieces); }
    /// Ends the line with a single newline.
    void EndLine() {
        text += '\n';
        if (everyLine) {
            Put();
            out.flush();
        } else if (text.size() >= kBlockBytes) {
            Put();
        }
    }
    /// Hands the text collected so far to the stream, before something else writes to it.
    void Put();
    /// Append, then EndLine.
    template <typename... Pieces> void Line(const Pieces&... pieces) {
        Append(pieces...);
        EndLine();
    }

private:
    static constexpr std::size_t kBlockBytes = 32768;

    std::ostream& out;
    const bool everyLine;
    std::string text;
};

/// The text written in place of a value whose kind says `kind` but whose object is not of that
/// kind's class ("Error reading a bool", ...). Empty for a kind outside the five.
const char* MismatchText(MetaType kind);

/// The text json and python write for a kind outside the five.
extern const char kUnknownKindText[];

namespace KindVisit {
template <typename Kind, typename Handler> void As(const MetaObject& value, Handler& handler) {
    if (const auto* typed = dynamic_cast<const Kind*>(&value)) {
        handler(*typed);
    } else {
        handler.Mismatch(value.GetType());
    }
}
} // namespace KindVisit

/// Calls `handler` with the value as its own class: handler(const MetaBool&), handler(const MetaInt&),
/// and so on for MetaString, MetaStruct and MetaList. A value whose object is not of the class its kind
/// names goes to handler.Mismatch(kind) instead, a kind outside the five to handler.Unknown().
template <typename Handler> void VisitByKind(const MetaObject& value, Handler&& handler) {
    switch (value.GetType()) {
    case MetaType::Bool:
        return KindVisit::As<MetaBool>(value, handler);
    case MetaType::Int:
        return KindVisit::As<MetaInt>(value, handler);
    case MetaType::String:
        return KindVisit::As<MetaString>(value, handler);
    case MetaType::Struct:
        return KindVisit::As<MetaStruct>(value, handler);
    case MetaType::List:
        return KindVisit::As<MetaList>(value, handler);
    }
    handler.Unknown();
}

/// Base of the handlers of the formatters that write a mismatched value as its text on a line of its
/// own, and an unknown kind as kUnknownKindText.
struct LineHandler {
    std::ostream& out;

    void Mismatch(MetaType kind) const {
        out << MismatchText(kind);
        EndLine(out);
    }
    void Unknown() const {
        out << kUnknownKindText;
        EndLine(out);
    }
};

/// The UTF-8 sequence at `text[pos]` (`pos` inside the text): its length in bytes (1 to 4), with its
/// code point in `codePoint`; or 0 when the byte there is not part of valid UTF-8 (a stray or cut
/// sequence, an overlong form, a surrogate, a code point above U+10FFFF).
std::size_t DecodeAt(const std::string& text, std::size_t pos, unsigned long& codePoint);

/// Appends the low `digits` hex digits of `value`, in lower case, to `out`.
void AppendHex(std::string& out, unsigned long value, int digits);

/// True when `name` can stand between double quotes as it is in JSON and Python text: printable ASCII
/// without a double quote or a backslash. Field names that are not are written as escaped strings.
bool IsPlainKey(const std::string& name);

/// Splits `text` at every `separator`. Empty items before or between separators are kept, the empty
/// piece after a final separator is not produced, and empty text gives no items.
std::vector<std::string> SplitItems(const std::string& text, char separator);

/// The fields chosen for structures of type `typeName`: the list in "fields:<typeName>" when that key
/// is present, else the list in "fields" when present; nothing when neither is, so that the caller
/// applies its own default.
std::optional<std::vector<std::string>> ChosenFields(const FormatParameters& params,
                                                     const std::string& typeName);

/// The printf and units settings of one field, looked up once so that a caller formatting many
/// values of the same field (table rows) does not rebuild the keys per value.
struct FieldFormatKeys {
    std::string printfKey;                     ///< "printf:Type.Field", used in the error text
    const std::string* printfFormat = nullptr; ///< null when the printf key is absent
    const std::string* units = nullptr;        ///< null when the units key is absent
};

/// The settings of field `fieldName` of structures of type `typeName`. The pointers refer into
/// `params`, which must outlive the result and not change meanwhile.
FieldFormatKeys LookUpFieldKeys(const FormatParameters& params, const std::string& typeName,
                                const std::string& fieldName);

/// The display text of a non-null value with the given printf and units settings applied. When the
/// printf format cannot be applied the text says why, and `failed` (when given) is set.
std::string FormatFieldValue(const MetaObject& value, const FieldFormatKeys& keys, bool* failed = nullptr);

/// Why the printf `format` cannot print a value of the scalar kind `kind`, or null when it can (and for
/// structures and lists, which printf never formats).
const char* PrintfMisfit(const std::string& format, MetaType kind);

/// The text written in place of a field whose printf format failed for `reason`.
std::string PrintfErrorText(const std::string& printfKey, const char* reason);

} // namespace Detail
} // namespace Corvane::AutoCli
