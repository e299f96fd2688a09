// XmlFormatter: the "xml" formatter, the result as an XML document with a meta-data section.
#include <corvane/format.h>

#include "autocli/format/format_internal.h"

#include <corvane/callspec.h>

#include <ostream>
#include <string>

namespace Corvane::AutoCli {

namespace {

using Detail::EndLine;
using Detail::WriteLine;

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

// Writes the element of one value, from the indent of its first line (already written) to its last
// newline; structures and lists recurse through the formatter.
struct XmlWriter {
    std::ostream& out;
    XmlFormatter& formatter;
    int level;

    void operator()(const MetaInt& value) const {
        WriteLine(out, "<integer>", std::to_string(value.GetValue()), "</integer>");
    }
    void operator()(const MetaBool& value) const {
        WriteLine(out, "<boolean>", value.GetValue() ? "true" : "false", "</boolean>");
    }
    void operator()(const MetaString& value) const {
        WriteLine(out, "<string>", SantizeString(value.GetValue()), "</string>");
    }
    void operator()(const MetaStruct& value) const {
        const std::string indent = GetIndent(level);
        WriteLine(out, "<structure typeName=\"", SantizeString(value.GetTypeName()), "\">");
        for (const std::string& name : value.GetFieldNames()) {
            WriteLine(out, indent, "   <field name=\"", SantizeString(name), "\">");
            formatter.Format(value.GetField(name), out, level + 2);
            WriteLine(out, indent, "   </field>");
        }
        WriteLine(out, indent, "</structure>");
    }
    void operator()(const MetaList& value) const {
        WriteLine(out, "<list type=\"", ListTypeWord(value.GetListType()), "\">");
        for (const auto& item : value.GetObjects()) {
            formatter.Format(item, out, level + 2);
        }
        WriteLine(out, GetIndent(level), "</list>");
    }
    // A mismatched boolean is written as a comment, so that the document stays well-formed there.
    void Mismatch(MetaType kind) const {
        if (kind == MetaType::Bool) {
            out << "<!-- " << Detail::MismatchText(kind) << " -->";
        } else {
            out << Detail::MismatchText(kind);
        }
        EndLine(out);
    }
    void Unknown() const {
        out << "Error Only simple int, bool, string and struct output supported";
        EndLine(out);
    }
};

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

void XmlFormatter::Format(std::shared_ptr<MetaObject> value, std::ostream& out, int level) {
    if (!value) {
        // Structures and lists refuse empty values, so only a missing root gets here; leaving the
        // element out keeps the document well-formed.
        return;
    }
    out << GetIndent(level);
    Detail::VisitByKind(*value, XmlWriter{out, *this, level});
}

} // namespace Corvane::AutoCli
