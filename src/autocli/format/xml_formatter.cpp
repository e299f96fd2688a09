// XmlFormatter: the "xml" formatter, the result as an XML document with a meta-data section.
#include <corvane/format.h>

#include "autocli/format/format_internal.h"

#include <corvane/callspec.h>

#include <ostream>
#include <string>

namespace Corvane::AutoCli {

namespace {

using Detail::BlockWriter;

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

// Appends `text` with & < > % " and ' replaced by their entities. One pass gives the same text as
// replacing them one after the other, because '&' comes first there and the later entities are never
// escaped again.
void AppendSanitized(std::string& out, const std::string& text) {
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        const std::size_t run = i;
        for (char c = 0;
             i < size && (c = text[i]) != '&' && c != '<' && c != '>' && c != '%' && c != '"' && c != '\'';
             ++i) {
        }
        out.append(text, run, i - run);
        if (i == size) {
            break;
        }
        switch (text[i]) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '%':
            out += "&#37;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += "&apos;";
            break;
        }
        ++i;
    }
}

void WriteValue(const MetaObject* value, BlockWriter& out, int level);

// Writes the element of one value, from the indent of its first line (already written) to its last
// newline; structures and lists recurse through WriteValue.
struct XmlWriter {
    BlockWriter& out;
    int level;

    void operator()(const MetaInt& value) const {
        out.Line("<integer>", std::to_string(value.GetValue()), "</integer>");
    }
    void operator()(const MetaBool& value) const {
        out.Line("<boolean>", value.GetValue() ? "true" : "false", "</boolean>");
    }
    void operator()(const MetaString& value) const {
        out.Append("<string>");
        AppendSanitized(out.Text(), value.GetValue());
        out.Line("</string>");
    }
    void operator()(const MetaStruct& value) const {
        const std::string indent = GetIndent(level);
        out.Append("<structure typeName=\"");
        AppendSanitized(out.Text(), value.GetTypeName());
        out.Line("\">");
        for (const auto& [name, field] : value.GetFields()) {
            out.Append(indent, "   <field name=\"");
            AppendSanitized(out.Text(), name);
            out.Line("\">");
            WriteValue(field.value.get(), out, level + 2);
            out.Line(indent, "   </field>");
        }
        out.Line(indent, "</structure>");
    }
    void operator()(const MetaList& value) const {
        out.Line("<list type=\"", ListTypeWord(value.GetListType()), "\">");
        for (const auto& item : value.GetObjects()) {
            WriteValue(item.get(), out, level + 2);
        }
        out.Line(GetIndent(level), "</list>");
    }
    // A mismatched boolean is written as a comment, so that the document stays well-formed there.
    void Mismatch(MetaType kind) const {
        if (kind == MetaType::Bool) {
            out.Line("<!-- ", Detail::MismatchText(kind), " -->");
        } else {
            out.Line(Detail::MismatchText(kind));
        }
    }
    void Unknown() const { out.Line("Error Only simple int, bool, string and struct output supported"); }
};

void WriteValue(const MetaObject* value, BlockWriter& out, int level) {
    if (value == nullptr) {
        // Structures and lists refuse empty values, so only a missing root gets here; leaving the
        // element out keeps the document well-formed.
        return;
    }
    out.Append(GetIndent(level));
    Detail::VisitByKind(*value, XmlWriter{out, level});
}

} // namespace

std::string SantizeString(std::string text) {
    if (text.find_first_of("&<>%\"'") == std::string::npos) {
        return text;
    }
    std::string result;
    AppendSanitized(result, text);
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
    BlockWriter writer(out);
    writer.Line("<?xml version=\"1.0\"?>");
    if (params.HasParameter("stylesheet")) {
        // Written as given: the caller names the stylesheet and is trusted to quote it.
        writer.Line("<?xml-stylesheet type=\"text/xsl\" href=\"", params.GetParameter("stylesheet"), "\"?>");
    }
    writer.Line("<output xmlns:varnok=\"", kOutputNamespace, "\">");
    writer.Line("   <meta-data>");
    for (const auto& entry : params.GetParameters()) {
        writer.Append("      <meta-data-field name=\"");
        AppendSanitized(writer.Text(), entry.first);
        writer.Append("\" value=\"");
        AppendSanitized(writer.Text(), entry.second);
        writer.Line("\"/>");
    }
    writer.Line("   </meta-data>");
    writer.Line("   <root>");
    WriteValue(output->GetRootObject().get(), writer, 2);
    writer.Line("   </root>");
    writer.Line("</output>");
    return true;
}

void XmlFormatter::Format(std::shared_ptr<MetaObject> value, std::ostream& out, int level) {
    BlockWriter writer(out);
    WriteValue(value.get(), writer, level);
}

} // namespace Corvane::AutoCli
