// PythonFormatter: the "python" formatter, the whole result as one Python expression for eval().
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

// A triple-quoted literal in which only double quotes and newlines are escaped; every other byte,
// backslashes included, passes unchanged.
void WriteQuoted(const std::string& text, std::ostream& out) {
    std::string quoted;
    quoted.reserve(text.size() + 6);
    quoted += "\"\"\"";
    for (const char c : text) {
        if (c == '"') {
            quoted += "\\\"";
        } else if (c == '\n') {
            quoted += "\\n";
        } else {
            quoted += c;
        }
    }
    quoted += "\"\"\"";
    out << quoted;
}

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

// The value is taken by value as the public signature has it.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void PythonFormatter::Format(std::shared_ptr<MetaObject> value, std::ostream& out, int level) {
    if (!value) {
        throw CorvaneException("Invalid MetaObject passed to Format in PythonFormatter");
    }
    switch (value->GetType()) {
    case MetaType::Bool: {
        const auto* boolean = dynamic_cast<const MetaBool*>(value.get());
        if (boolean == nullptr) {
            out << "Error reading a bool";
            EndLine(out);
            return;
        }
        out << (boolean->GetValue() ? "True" : "False");
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
        WriteQuoted(text->GetValue(), out);
        return;
    }
    case MetaType::Struct: {
        const auto* record = dynamic_cast<const MetaStruct*>(value.get());
        if (record == nullptr) {
            out << "Error reading a struct from output.";
            EndLine(out);
            return;
        }
        out << '{';
        for (const std::string& name : record->GetFieldNames()) {
            out << '"' << name << "\": ";
            Format(record->GetField(name), out, level + 2);
            out << ", ";
        }
        out << '}';
        return;
    }
    case MetaType::List: {
        const auto* list = dynamic_cast<const MetaList*>(value.get());
        if (list == nullptr) {
            out << "Error reading a List";
            EndLine(out);
            return;
        }
        out << '[';
        for (const auto& item : list->GetObjects()) {
            Format(item, out, level + 2);
            out << ", ";
        }
        out << ']';
        return;
    }
    }
    out << "Unknown data type";
    EndLine(out);
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
