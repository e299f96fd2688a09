// JsonFormatter: the "json" formatter, a fixed line-oriented JSON layout with escaped strings.
#include <corvane/format.h>

#include "autocli/format/format_internal.h"

#include <corvane/callspec.h>

#include <ostream>
#include <string>

namespace Corvane::AutoCli {

namespace {

using Detail::BlockWriter;

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
// byte that is not part of valid UTF-8 is written as \u00XX of the byte itself. Runs of bytes that stay
// are appended whole.
void AppendEscaped(std::string& escaped, const std::string& text) {
    escaped += '"';
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        const std::size_t run = i;
        for (unsigned char byte = 0; i < size && (byte = static_cast<unsigned char>(text[i])) >= 0x20 &&
                                     byte <= 0x7e && byte != '"' && byte != '\\' && byte != '/';
             ++i) {
        }
        escaped.append(text, run, i - run);
        if (i == size) {
            break;
        }
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
            unsigned long codePoint = byte;
            const std::size_t length = byte >= 0x80 ? Detail::DecodeAt(text, i, codePoint) : 0;
            AppendUnicodeEscape(escaped, codePoint);
            i += length > 1 ? length - 1 : 0;
        }
        }
        ++i;
    }
    escaped += '"';
}

void WriteValue(const MetaObject* value, BlockWriter& out, int level);

// Writes one value at `level`; structures and lists recurse through WriteValue.
struct JsonWriter {
    BlockWriter& out;
    int level;

    void operator()(const MetaBool& value) const { out.Append(value.GetValue() ? "true" : "false"); }
    void operator()(const MetaInt& value) const { out.Append(std::to_string(value.GetValue())); }
    void operator()(const MetaString& value) const { AppendEscaped(out.Text(), value.GetValue()); }
    void operator()(const MetaStruct& value) const {
        const std::string indent = GetIndent(level);
        out.EndLine();
        out.Line(indent, '{');
        const auto& fields = value.GetFields();
        for (auto field = fields.begin(); field != fields.end();) {
            const std::string& name = field->first;
            if (Detail::IsPlainKey(name)) {
                out.Append(indent, "   \"", name, "\": ");
            } else {
                out.Append(indent, "   ");
                AppendEscaped(out.Text(), name);
                out.Append(": ");
            }
            WriteValue(field->second.value.get(), out, level + 2);
            if (++field != fields.end()) {
                out.Append(',');
            }
            out.EndLine();
        }
        out.Append(indent, '}');
    }
    void operator()(const MetaList& value) const {
        const std::string indent = GetIndent(level);
        out.EndLine();
        out.Line(indent, '[');
        const auto& items = value.GetObjects();
        for (size_t i = 0; i < items.size(); ++i) {
            out.Append(indent);
            WriteValue(items[i].get(), out, level + 3);
            if (i + 1 < items.size()) {
                out.Append(", ");
            }
            out.EndLine();
        }
        out.Append(indent, ']');
    }
    void Mismatch(MetaType kind) const { out.Line(Detail::MismatchText(kind)); }
    void Unknown() const { out.Line(Detail::kUnknownKindText); }
};

void WriteValue(const MetaObject* value, BlockWriter& out, int level) {
    if (value == nullptr) {
        // Callers never pass an empty value (structures and lists refuse them); should one reach
        // here anyway, JSON has a word for it.
        out.Append("null");
        return;
    }
    Detail::VisitByKind(*value, JsonWriter{out, level});
}

} // namespace

JsonFormatter::JsonFormatter() : Formatter("json") {
    SetDescription("Print the output as JSON.");
}

std::shared_ptr<JsonFormatter> JsonFormatter::New() {
    return std::make_shared<JsonFormatter>();
}

bool JsonFormatter::Format(const std::shared_ptr<CallSpec::Output>& output, FormatParameters& /*params*/,
                           DisplayContext& /*context*/, std::ostream& out) {
    BlockWriter writer(out);
    WriteValue(output->GetRootObject().get(), writer, -1);
    writer.EndLine();
    return true;
}

void JsonFormatter::Format(std::shared_ptr<MetaObject> value, std::ostream& out, int level) {
    BlockWriter writer(out);
    WriteValue(value.get(), writer, level);
}

} // namespace Corvane::AutoCli
