// XmlFormatter: the "xml" formatter, the result as an XML document with a meta-data section.
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

// Names the schema of the document; it is an identifier only and is never fetched.
const char kOutputNamespace[] = "http://corvane.invalid/Products/Tarnos/5.0/varnok";

// The word written for a list's element kind; it differs from the reader's short names on purpose.
const char* ListTypeWord(MetaType type) {
    switch (type) {
    case MetaType::Int:
        return "integer";
    case MetaType::Bool:
        return "boolean";
    case MetaType::String:
        return "string";
    case MetaType::Struct:
        return "structure";
    case MetaType::List:
        return "list";
    }
    return "";
}

} // namespace

std::string SantizeString(std::string text) {
    // One pass gives the same text as replacing &, <, >, %, " and ' one after the other, because '&'
    // comes first there and the later entities are never escaped again.
    size_t special = 0;
    for (const char c : text) {
        if (c == '&' || c == '<' || c == '>' || c == '%' || c == '"' || c == '\'') {
            ++special;
        }
    }
    if (special == 0) {
        return text;
    }
    std::string result;
    result.reserve(text.size() + special * 5);
    for (const char c : text) {
        switch (c) {
        case '&':
            result += "&amp;";
            break;
        case '<':
            result += "&lt;";
            break;
        case '>':
            result += "&gt;";
            break;
        case '%':
            result += "&#37;";
            break;
        case '"':
            result += "&quot;";
            break;
        case '\'':
            result += "&apos;";
            break;
        default:
            result += c;
        }
    }
    return result;
}

XmlFormatter::XmlFormatter() : Formatter("xml") {
    SetDescription("Print an XML document to the screen representing the output for a given command");
    AddParam("stylesheet", "The file name or URL to a stylesheet for this document.  ");
}

std::shared_ptr<XmlFormatter> XmlFormatter::New() {
    return std::make_shared<XmlFormatter>();
}

bool XmlFormatter::Format(const std::shared_ptr<CallSpec::Output>& output, FormatParameters& params,
                          DisplayContext& /*context*/, std::ostream& out) {
    out << "<?xml version=\"1.0\"?>";
    EndLine(out);
    if (params.HasParameter("stylesheet")) {
        // Written as given: the caller names the stylesheet and is trusted to quote it.
        out << "<?xml-stylesheet type=\"text/xsl\" href=\"" << params.GetParameter("stylesheet") << "\"?>";
        EndLine(out);
    }
    out << "<output xmlns:varnok=\"" << kOutputNamespace << "\">";
    EndLine(out);
    out << "   <meta-data>";
    EndLine(out);
    for (const auto& entry : params.GetParameters()) {
        out << "      <meta-data-field name=\"" << SantizeString(entry.first) << "\" value=\""
            << SantizeString(entry.second) << "\"/>";
        EndLine(out);
    }
    out << "   </meta-data>";
    EndLine(out);
    out << "   <root>";
    EndLine(out);
    Format(output->GetRootObject(), out, 2);
    out << "   </root>";
    EndLine(out);
    out << "</output>";
    EndLine(out);
    return true;
}

// The value is taken by value as the public signature has it.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void XmlFormatter::Format(std::shared_ptr<MetaObject> value, std::ostream& out, int level) {
    if (!value) {
        // Structures and lists refuse empty values, so only a missing root gets here; leaving the
        // element out keeps the document well-formed.
        return;
    }
    const std::string indent = GetIndent(level);
    switch (value->GetType()) {
    case MetaType::Int: {
        const auto* integer = dynamic_cast<const MetaInt*>(value.get());
        out << indent;
        if (integer == nullptr) {
            out << "Error reading a int";
        } else {
            out << "<integer>" << std::to_string(integer->GetValue()) << "</integer>";
        }
        EndLine(out);
        return;
    }
    case MetaType::Bool: {
        const auto* boolean = dynamic_cast<const MetaBool*>(value.get());
        out << indent;
        if (boolean == nullptr) {
            out << "<!-- Error reading a bool -->";
        } else {
            out << "<boolean>" << (boolean->GetValue() ? "true" : "false") << "</boolean>";
        }
        EndLine(out);
        return;
    }
    case MetaType::String: {
        const auto* text = dynamic_cast<const MetaString*>(value.get());
        out << indent;
        if (text == nullptr) {
            out << "Error reading a string";
        } else {
            out << "<string>" << SantizeString(text->GetValue()) << "</string>";
        }
        EndLine(out);
        return;
    }
    case MetaType::Struct: {
        const auto* record = dynamic_cast<const MetaStruct*>(value.get());
        out << indent;
        if (record == nullptr) {
            out << "Error reading a struct from output.";
            EndLine(out);
            return;
        }
        out << "<structure typeName=\"" << SantizeString(record->GetTypeName()) << "\">";
        EndLine(out);
        for (const std::string& name : record->GetFieldNames()) {
            out << indent << "   <field name=\"" << SantizeString(name) << "\">";
            EndLine(out);
            Format(record->GetField(name), out, level + 2);
            out << indent << "   </field>";
            EndLine(out);
        }
        out << indent << "</structure>";
        EndLine(out);
        return;
    }
    case MetaType::List: {
        const auto* list = dynamic_cast<const MetaList*>(value.get());
        out << indent;
        if (list == nullptr) {
            out << "Error reading a List";
            EndLine(out);
            return;
        }
        out << "<list type=\"" << ListTypeWord(list->GetListType()) << "\">";
        EndLine(out);
        for (const auto& item : list->GetObjects()) {
            Format(item, out, level + 2);
        }
        out << indent << "</list>";
        EndLine(out);
        return;
    }
    }
    out << indent << "Error Only simple int, bool, string and struct output supported";
    EndLine(out);
}

} // namespace Corvane::AutoCli
