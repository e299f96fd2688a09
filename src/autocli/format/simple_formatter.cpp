// SimpleFormatter: any result as indented "name: value" lines under a header line per structure.
#include <corvane/format.h>

#include "autocli/format/format_internal.h"

#include <corvane/callspec.h>

#include <boost/algorithm/string/replace.hpp>

#include <algorithm>

namespace Corvane::AutoCli {

namespace {

using Detail::EndLine;

// The header of a structure: "header:T" when present, with one %Field% tag replaced by that field's
// text, else the type name itself.
std::string ChooseHeader(const MetaStruct& value, const std::string& typeName, FormatParameters& params) {
    const std::string headerKey = "header:" + typeName;
    if (!params.HasParameter(headerKey)) {
        return typeName;
    }
    std::string header = params.GetParameter(headerKey);
    if (header.find('%') == std::string::npos) {
        return header;
    }
    // The tag is the text between two "%" with at least one byte between them, taken as the pattern
    // ".*%(.+)%.*" takes it: the closing "%" is the last one, the opening one the last before it
    // that leaves a byte between the two.
    const std::size_t closing = header.rfind('%');
    const std::size_t opening = closing >= 2 ? header.rfind('%', closing - 2) : std::string::npos;
    if (opening == std::string::npos) {
        return header;
    }
    const std::string fieldName = header.substr(opening + 1, closing - opening - 1);
    std::shared_ptr<MetaObject> field = value.GetField(fieldName);
    if (field) {
        boost::replace_all(header, "%" + fieldName + "%", field->ToString());
    }
    return header;
}

// Prints one value at `level`; scalars are printed where the cursor stands, nested values recurse.
// Every problem written in place of a value sets `problem`, so that the call can report it.
struct SimpleWriter : Detail::LineHandler {
    FormatParameters& params;
    int level;
    bool& problem;

    void Write(const std::shared_ptr<MetaObject>& value, int at) const {
        if (value) {
            Detail::VisitByKind(*value, SimpleWriter{{out}, params, at, problem});
        }
    }
    void Mismatch(MetaType kind) const {
        problem = true;
        LineHandler::Mismatch(kind);
    }

    void operator()(const MetaBool& value) const {
        out << (value.GetValue() ? "true" : "false");
        EndLine(out);
    }
    void operator()(const MetaInt& value) const {
        out << value.ToString();
        EndLine(out);
    }
    void operator()(const MetaString& value) const {
        out << value.GetValue();
        EndLine(out);
    }
    void operator()(const MetaList& value) const {
        if (value.GetListType() != MetaType::Struct && value.GetListType() != MetaType::List) {
            out << value.ToString();
            EndLine(out);
            return;
        }
        for (const auto& element : value.GetObjects()) {
            EndLine(out);
            Write(element, level + 1);
        }
        EndLine(out);
    }
    void operator()(const MetaStruct& value) const;
    // Kinds outside the five print nothing.
    void Unknown() const {}
};

void SimpleWriter::operator()(const MetaStruct& value) const {
    const std::string indent = GetIndent(level);
    const std::string& typeName = value.GetTypeName();
    std::optional<std::vector<std::string>> chosen = Detail::ChosenFields(params, typeName);
    const std::vector<std::string> fieldNames = chosen ? std::move(*chosen) : value.GetFieldNames();

    std::string::size_type nameWidth = 0;
    if (params.GetParameter("align-fields") == "true") {
        for (const auto& name : fieldNames) {
            nameWidth = std::max(nameWidth, name.size());
        }
    }

    const std::string header = ChooseHeader(value, typeName, params);
    if (header != "<NONE>") {
        out << indent << header << ':';
        EndLine(out);
    }

    for (const auto& name : fieldNames) {
        std::shared_ptr<MetaObject> field = value.GetField(name);
        if (!field) {
            problem = true;
            out << "Error getting field " << name;
            EndLine(out);
            return;
        }
        out << indent << "   " << name;
        if (name.size() < nameWidth) {
            out << std::string(nameWidth - name.size(), out.fill());
        }
        out << ": ";
        switch (field->GetType()) {
        case MetaType::Struct:
            EndLine(out);
            Write(field, level + 2);
            break;
        case MetaType::List:
            Write(field, level + 2);
            break;
        default:
            out << Detail::FormatFieldValue(*field, Detail::LookUpFieldKeys(params, typeName, name),
                                            &problem);
            EndLine(out);
            break;
        }
    }
}

} // namespace

SimpleFormatter::SimpleFormatter() : Formatter("simple") {
    SetDescription(
        "Print a representation of any item to the screen. This can be any type, but this formatter "
        "excels at printing structs and lists of structs.");
    AddParam(
        "header:<TypeName>",
        "When printing a struct type, prefix the output of the struct with the given text string and then "
        "indent all the struct fields below this text.  The TypeName value can be determined from the raw or "
        "xml output for a command.  For this field a special variable substitution is available in the value "
        "of this format paramter.  If the value contains a string %<Field>% then this formatter will do "
        "token "
        "substitution and replace the value of %<Field>% with the given value of the field in <TypeName>.  "
        "Note this can only be a scalar type (int, bool, string) and must exactly match one of the fields in "
        "the struct <TypeName>.  Example: 'header:ScsiDeviceList' = 'SCSI Device %Device Name%' will result "
        "in a header of 'SCSI Device naa.XXXX'.  Note only one %<Field>% tag is supported.  To disable the "
        "display of the header the special value <NONE> can be used");
    AddParam(
        "fields:<TypeName>",
        "When printing a struct use the set of fields given in this parameter.  This allows the ordering and "
        "filtering of the fields printed for a given struct. If no ':<TypeName>' is given then then all "
        "structs encounted in the output will attempt to use these fields.  This provides a reasonable "
        "default "
        "and compatible output with other formatters");
    AddParam("units:<TypeName>.<FieldName>",
             "When printing a struct use the given 'units' value as a suffix for a given field.  For example "
             "specifying \"units:ScsiDeviceList:Size\" = \"Mb\" would append the string 'Mb' to the end of a "
             "field");
    AddParam(
        "printf:<TypeName>.<FieldName>",
        "When printing a struct use the given 'printf' formatting string for printing the value.  This uses "
        "standard printf syntax to print a given field.  For example specifying "
        "\"units:ScsiDeviceList.Size\" "
        "= \"Mb\" would append the string 'Mb' to the end of a field");
    AddParam(
        "align-fields",
        "When printing a struct left align all of the fields values so they all start at the same column");
}

std::shared_ptr<SimpleFormatter> SimpleFormatter::New() {
    return std::make_shared<SimpleFormatter>();
}

bool SimpleFormatter::Format(const std::shared_ptr<CallSpec::Output>& output, FormatParameters& params,
                             DisplayContext& /*context*/, std::ostream& out) {
    std::shared_ptr<MetaObject> root = output ? output->GetRootObject() : nullptr;
    bool problem = false;
    // A top-level list prints its elements at level 0, like a top-level structure.
    SimpleWriter{{out}, params, 0, problem}.Write(root, root && root->GetType() == MetaType::List ? -1 : 0);
    return !problem;
}

void SimpleFormatter::Format(std::shared_ptr<MetaObject> value, FormatParameters& params, std::ostream& out,
                             int level) {
    bool problem = false;
    SimpleWriter{{out}, params, level, problem}.Write(value, level);
}

void SimpleFormatter::FormatList(std::shared_ptr<MetaList> value, FormatParameters& params, std::ostream& out,
                                 int level) {
    if (!value) {
        Detail::LineHandler{out}.Mismatch(MetaType::List);
        return;
    }
    bool problem = false;
    SimpleWriter{{out}, params, level, problem}(*value);
}

void SimpleFormatter::FormatStruct(std::shared_ptr<MetaStruct> value, FormatParameters& params,
                                   std::ostream& out, int level) {
    if (!value) {
        Detail::LineHandler{out}.Mismatch(MetaType::Struct);
        return;
    }
    bool problem = false;
    SimpleWriter{{out}, params, level, problem}(*value);
}

} // namespace Corvane::AutoCli
