// JsonFormatter: the "json" formatter, a fixed line-oriented JSON layout with escaped strings.
#include <corvane/format.h>

#include "autocli/format/format_internal.h"

#include <corvane/callspec.h>

#include <ostream>
#include <string>

namespace Corvane::AutoCli {

namespace {

using Detail::EndLine;
using Detail::WriteLine;
using Detail::WritePieces;

// Appends a \uXXXX escape, or two (a surrogate pair) for a code point above U+FFFF.
void AppendUnicodeEscape(std::string& escaped, unsigned long codePoint) {
    if (codePoint > 0xFFFF) {
        codePoint -= 0x10000;
        AppendUnicodeEscape(escaped, 0xD800 + (codePoint >> 10));
        AppendUnicodeEscape(escaped, 0xDC00 + (codePoint & 0x3FF));
        return;
    }
    escaped += "\\u";
    Detail::AppendHex(escaped, codePoint, 4);
}

// Printable ASCII stays as it is, apart from the escaped quote, backslash and slash; every other
// character is written as an escape: a short one where JSON has it, else \uXXXX of its code point. A
// byte that is not part of valid UTF-8 is written as \u00XX of the byte itself. The text is escaped
// into one buffer and written in one call.
void WriteEscaped(const std::string& text, std::ostream& out) {
    std::string escaped;
    escaped.reserve(text.size() + 2);
    escaped += '"';
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        switch (byte) {
        case '"':
            escaped += "\\\"";
            break;
        case '\\':
            escaped += "\\\\";
            break;
        case '/':
            escaped += "\\/";
            break;
        case '\b':
            escaped += "\\b";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\f':
            escaped += "\\f";
            break;
        case '\r':
            escaped += "\\r";
            break;
        default: {
            if (byte >= 0x20 && byte <= 0x7e) {
                escaped += text[i];
                break;
            }
            unsigned long codePoint = byte;
            const std::size_t length = byte >= 0x80 ? Detail::DecodeAt(text, i, codePoint) : 0;
            AppendUnicodeEscape(escaped, codePoint);
            i += length > 1 ? length - 1 : 0;
        }
        }
    }
    escaped += '"';
    out.write(escaped.data(), static_cast<std::streamsize>(escaped.size()));
}

// Writes one value at `level`; structures and lists recurse through the formatter.
struct JsonWriter : Detail::LineHandler {
    JsonFormatter& formatter;
    int level;

    void operator()(const MetaBool& value) const { out << (value.GetValue() ? "true" : "false"); }
    void operator()(const MetaInt& value) const { WritePieces(out, std::to_string(value.GetValue())); }
    void operator()(const MetaString& value) const { WriteEscaped(value.GetValue(), out); }
    void operator()(const MetaStruct& value) const {
        const std::string indent = GetIndent(level);
        EndLine(out);
        WriteLine(out, indent, "{");
        const std::vector<std::string> names = value.GetFieldNames();
        for (size_t i = 0; i < names.size(); ++i) {
            if (Detail::IsPlainKey(names[i])) {
                WritePieces(out, indent, "   \"", names[i], "\": ");
            } else {
                WritePieces(out, indent, "   ");
                WriteEscaped(names[i], out);
                out << ": ";
            }
            formatter.Format(value.GetField(names[i]), out, level + 2);
            if (i + 1 < names.size()) {
                out << ',';
            }
            EndLine(out);
        }
        WritePieces(out, indent, "}");
    }
    void operator()(const MetaList& value) const {
        const std::string indent = GetIndent(level);
        EndLine(out);
        WriteLine(out, indent, "[");
        const auto& items = value.GetObjects();
        for (size_t i = 0; i < items.size(); ++i) {
            WritePieces(out, indent);
            formatter.Format(items[i], out, level + 3);
            if (i + 1 < items.size()) {
                out << ", ";
            }
            EndLine(out);
        }
        WritePieces(out, indent, "]");
    }
};

} // namespace

JsonFormatter::JsonFormatter() : Formatter("json") {
    SetDescription("Print the output as JSON.");
}

std::shared_ptr<JsonFormatter> JsonFormatter::New() {
    return std::make_shared<JsonFormatter>();
}

bool JsonFormatter::Format(const std::shared_ptr<CallSpec::Output>& output, FormatParameters& /*params*/,
                           DisplayContext& /*context*/, std::ostream& out) {
    Format(output->GetRootObject(), out, -1);
    EndLine(out);
    return true;
}

void JsonFormatter::Format(std::shared_ptr<MetaObject> value, std::ostream& out, int level) {
    if (!value) {
        // Callers never pass an empty value (structures and lists refuse them); should one reach
        // here anyway, JSON has a word for it.
        out << "null";
        return;
    }
    Detail::VisitByKind(*value, JsonWriter{{out}, *this, level});
}

} // namespace Corvane::AutoCli
