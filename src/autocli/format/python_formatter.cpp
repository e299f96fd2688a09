// PythonFormatter: the "python" formatter, the whole result as one Python expression for eval().
#include <corvane/format.h>

#include "autocli/format/format_internal.h"

#include <corvane/callspec.h>

#include <ostream>
#include <string>

namespace Corvane::AutoCli {

namespace {

using Detail::EndLine;

// A triple-quoted literal that Python reads back as the text's own characters: quote, backslash,
// newline and carriage return get their short escapes, the other control bytes and DEL \xNN, valid
// UTF-8 stays as it is, and a byte that is not part of valid UTF-8 becomes \udcNN, the code point
// Python's "surrogateescape" error handler turns back into that byte.
void WriteQuoted(const std::string& text, std::ostream& out) {
    std::string quoted;
    quoted.reserve(text.size() + 6);
    quoted += "\"\"\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x80) {
            unsigned long codePoint = 0;
            const std::size_t length = Detail::DecodeAt(text, i, codePoint);
            if (length == 0) {
                quoted += "\\udc";
                Detail::AppendHex(quoted, byte, 2);
            } else {
                quoted.append(text, i, length);
                i += length - 1;
            }
        } else if (byte == '"') {
            quoted += "\\\"";
        } else if (byte == '\\') {
            quoted += "\\\\";
        } else if (byte == '\n') {
            quoted += "\\n";
        } else if (byte == '\r') {
            quoted += "\\r";
        } else if (byte < 0x20 || byte == 0x7f) {
            quoted += "\\x";
            Detail::AppendHex(quoted, byte, 2);
        } else {
            quoted += text[i];
        }
    }
    quoted += "\"\"\"";
    out << quoted;
}

// Writes one value; structures and lists recurse through the formatter. Every member and element is
// followed by a comma and a space, the last one included.
struct PythonWriter : Detail::LineHandler {
    PythonFormatter& formatter;
    int level;

    void operator()(const MetaBool& value) const { out << (value.GetValue() ? "True" : "False"); }
    void operator()(const MetaInt& value) const { out << std::to_string(value.GetValue()); }
    void operator()(const MetaString& value) const { WriteQuoted(value.GetValue(), out); }
    void operator()(const MetaStruct& value) const {
        out << '{';
        for (const std::string& name : value.GetFieldNames()) {
            if (Detail::IsPlainKey(name)) {
                out << '"' << name << '"';
            } else {
                WriteQuoted(name, out);
            }
            out << ": ";
            formatter.Format(value.GetField(name), out, level + 2);
            out << ", ";
        }
        out << '}';
    }
    void operator()(const MetaList& value) const {
        out << '[';
        for (const auto& item : value.GetObjects()) {
            formatter.Format(item, out, level + 2);
            out << ", ";
        }
        out << ']';
    }
};

} // namespace

PythonFormatter::PythonFormatter() : Formatter("python") {
    SetDescription("Print the output as Python syntax suitable for eval().");
}

std::shared_ptr<PythonFormatter> PythonFormatter::New() {
    return std::make_shared<PythonFormatter>();
}

bool PythonFormatter::Format(const std::shared_ptr<CallSpec::Output>& output, FormatParameters& /*params*/,
                             DisplayContext& /*context*/, std::ostream& out) {
    Format(output->GetRootObject(), out, 2);
    EndLine(out);
    return true;
}

void PythonFormatter::Format(std::shared_ptr<MetaObject> value, std::ostream& out, int level) {
    if (!value) {
        throw CorvaneException("Invalid MetaObject passed to Format in PythonFormatter");
    }
    Detail::VisitByKind(*value, PythonWriter{{out}, *this, level});
}

bool PythonFormatter::IsAllAscii(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

} // namespace Corvane::AutoCli
