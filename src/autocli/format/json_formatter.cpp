// JsonFormatter: the "json" formatter, a fixed line-oriented JSON layout with byte-wise escaping.
#include <corvane/format.h>

#include "format_internal.h"

#include <corvane/callspec.h>
#include <corvane/metaobj.h>

#include <ostream>
#include <string>

namespace Corvane::AutoCli {

using MetaObj::MetaBool;
using MetaObj::MetaInt;
using MetaObj::MetaList;
using MetaObj::MetaObject;
using MetaObj::MetaString;
using MetaObj::MetaStruct;
using MetaObj::MetaType;

namespace {

using Detail::EndLine;

// Escapes byte by byte; bytes are never decoded as UTF-8, so every byte outside printable ASCII
// becomes its own \u00XX escape. The text is escaped into one buffer and written in one call.
void WriteEscaped(const std::string& text, std::ostream& out) {
    static const char kHex[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.size() + 2);
    escaped += '"';
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
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
        default:
            if (byte >= 0x20 && byte <= 0x7e) {
                escaped += c;
            } else {
                escaped += "\\u00";
                escaped += kHex[byte >> 4];
                escaped += kHex[byte & 0x0f];
            }
        }
    }
    escaped += '"';
    out << escaped;
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
    Format(output->GetRootObject(), out, -1);
    EndLine(out);
    return true;
}

// The value is taken by value as the public signature has it.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void JsonFormatter::Format(std::shared_ptr<MetaObject> value, std::ostream& out, int level) {
    if (!value) {
        // Callers never pass an empty value (structures and lists refuse them); should one reach
        // here anyway, JSON has a word for it.
        out << "null";
        return;
    }
    switch (value->GetType()) {
    case MetaType::Bool: {
        const auto* boolean = dynamic_cast<const MetaBool*>(value.get());
        if (boolean == nullptr) {
            out << "Error reading a bool";
            EndLine(out);
            return;
        }
        out << (boolean->GetValue() ? "true" : "false");
        return;
    }
    case MetaType::Int: {
        const auto* integer = dynamic_cast<const MetaInt*>(value.get());
        if (integer == nullptr) {
            out << "Error reading a int";
            EndLine(out);
            return;
        }
        out << std::to_string(integer->GetValue());
        return;
    }
    case MetaType::String: {
        const auto* text = dynamic_cast<const MetaString*>(value.get());
        if (text == nullptr) {
            out << "Error reading a string";
            EndLine(out);
            return;
        }
        WriteEscaped(text->GetValue(), out);
        return;
    }
    case MetaType::Struct: {
        const auto* record = dynamic_cast<const MetaStruct*>(value.get());
        if (record == nullptr) {
            out << "Error reading a struct from output.";
            EndLine(out);
            return;
        }
        const std::string indent = GetIndent(level);
        EndLine(out);
        out << indent << '{';
        EndLine(out);
        const std::vector<std::string> names = record->GetFieldNames();
        for (size_t i = 0; i < names.size(); ++i) {
            out << indent << "   \"" << names[i] << "\": ";
            Format(record->GetField(names[i]), out, level + 2);
            if (i + 1 < names.size()) {
                out << ',';
            }
            EndLine(out);
        }
        out << indent << '}';
        return;
    }
    case MetaType::List: {
        const auto* list = dynamic_cast<const MetaList*>(value.get());
        if (list == nullptr) {
            out << "Error reading a List";
            EndLine(out);
            return;
        }
        const std::string indent = GetIndent(level);
        EndLine(out);
        out << indent << '[';
        EndLine(out);
        const auto& items = list->GetObjects();
        for (size_t i = 0; i < items.size(); ++i) {
            out << indent;
            Format(items[i], out, level + 3);
            if (i + 1 < items.size()) {
                out << ", ";
            }
            EndLine(out);
        }
        out << indent << ']';
        return;
    }
    }
    out << "Unknown data type";
    EndLine(out);
}

} // namespace Corvane::AutoCli
