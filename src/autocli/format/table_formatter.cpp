// TableFormatter: a list of structures as a text table, and column path resolution.
#include <corvane/format.h>

#include "autocli/format/format_internal.h"

#include <corvane/callspec.h>

#include <boost/algorithm/string/trim.hpp>

#include <algorithm>
#include <map>

namespace Corvane::AutoCli {

namespace {

using Detail::EndLine;

// Walks `segments` from `value`: every segment but the last must name a structure field.
std::shared_ptr<MetaObject> ResolveSegments(const MetaStruct* value,
                                            const std::vector<std::string>& segments) {
    const MetaStruct* current = value;
    for (std::size_t i = 0; i + 1 < segments.size(); ++i) {
        std::shared_ptr<MetaObject> field = current->GetField(segments[i]);
        if (!field || field->GetType() != MetaType::Struct) {
            return nullptr;
        }
        current = dynamic_cast<const MetaStruct*>(field.get());
        if (current == nullptr) {
            return nullptr;
        }
        // The parent record keeps the nested record alive while we walk on.
    }
    return current->GetField(segments.back());
}

// One column of a Format call, with everything that does not depend on the row worked out once.
struct Column {
    std::string name;
    std::vector<std::string> segments; // the dotted path split at '.'
    unsigned* width = nullptr;         // entry in the shared width map (same name, same entry)
    bool isLast = false;               // the name equals the last column's name
    // printf and units settings, cached for the element type name they were looked up for.
    std::string keysTypeName;
    bool keysValid = false;
    Detail::FieldFormatKeys keys;
};

const Detail::FieldFormatKeys& KeysFor(Column& column, const std::string& typeName,
                                       const FormatParameters& params) {
    if (!column.keysValid || column.keysTypeName != typeName) {
        column.keys = Detail::LookUpFieldKeys(params, typeName, column.name);
        column.keysTypeName = typeName;
        column.keysValid = true;
    }
    return column.keys;
}

// The value of a cell, or null when the record lacks it.
std::shared_ptr<MetaObject> CellValue(const MetaStruct& record, const Column& column) {
    return column.segments.size() == 1 ? record.GetField(column.name)
                                       : ResolveSegments(&record, column.segments);
}

// The text of a cell: the value with printf and units applied. A string with neither is its own text
// and is not copied.
const std::string& CellText(const MetaObject& value, const Detail::FieldFormatKeys& keys,
                            std::string& scratch, bool* failed) {
    if (keys.printfFormat == nullptr && keys.units == nullptr && value.GetType() == MetaType::String) {
        return static_cast<const MetaString&>(value).GetValue();
    }
    scratch = Detail::FormatFieldValue(value, keys, failed);
    return scratch;
}

// Puts back the caller's justification and width when the table is done.
class StreamStateGuard {
public:
    explicit StreamStateGuard(std::ostream& out) : out(out), flags(out.flags()), width(out.width()) {}
    ~StreamStateGuard() {
        out.flags(flags);
        out.width(width);
    }
    StreamStateGuard(const StreamStateGuard&) = delete;
    StreamStateGuard& operator=(const StreamStateGuard&) = delete;

private:
    std::ostream& out;
    std::ios_base::fmtflags flags;
    std::streamsize width;
};

} // namespace

std::shared_ptr<MetaObject> GetSubField(std::shared_ptr<MetaStruct> value, const std::string& path) {
    if (!value) {
        return nullptr;
    }
    if (path.find('.') == std::string::npos) {
        return value->GetField(path);
    }
    return ResolveSegments(value.get(), Detail::SplitItems(path + ".", '.'));
}

TableFormatter::TableFormatter() : Formatter("table") {
    SetDescription(
        "Print a list of structs as a table, with each row being one entry in the list and each column "
        "being a field of the structure.");
    AddParam("fields:<TypeName>",
             "The list of fields and the order in which to print them for the type named in <TypeName>",
             true);
    AddParam("show-header", "Optionally disable showing column headers by passing the 'false' value");
    AddParam("wrap-last", "If 'true' wrap the last column to the width of the terminal.");
    AddParam("units:<TypeName>.<FieldName>",
             "Use the given 'units' value as a suffix for a given field.  For example specifying "
             "\"units:ScsiDeviceList.Size\" = \"Mb\" would append the string 'Mb' to the end of a field");
    AddParam(
        "printf:<TypeName>.<FieldName>",
        "Use the given 'printf' formatting string for printing a value.  This uses standard printf syntax to "
        "format and print a Value.  For example specifying \"units:ScsiDeviceList.Size\" = \"Mb\" would "
        "append "
        "the string 'Mb' to the end of a field");
    AddParam(
        "header-line",
        "Optionally remove the line of '-' characters after the header.  By default this paramter is assumed "
        "to be true.  Setting it to 'false' will remove the line.  This parameter only has meaning if "
        "'show-header' is also true");
}

std::shared_ptr<TableFormatter> TableFormatter::New() {
    return std::make_shared<TableFormatter>();
}

bool TableFormatter::Format(const std::shared_ptr<CallSpec::Output>& output, FormatParameters& params,
                            DisplayContext& context, std::ostream& out) {
    std::shared_ptr<MetaObject> root = output ? output->GetRootObject() : nullptr;
    std::shared_ptr<MetaList> list;
    if (root && root->GetType() == MetaType::List) {
        list = std::dynamic_pointer_cast<MetaList>(root);
    }
    if (!list || list->GetListType() != MetaType::Struct) {
        throw CorvaneException(
            "Error: Unexpected type for output, formatter, table, expected a List of structs");
    }
    const std::shared_ptr<MetaStruct>& structure = list->GetListStructure();
    if (!structure) {
        if (list->GetCount() == 0) {
            return true;
        }
        throw CorvaneException("Error: Unable to get structure type from list output.");
    }

    const std::string& typeName = structure->GetTypeName();
    std::vector<std::string> names;
    if (auto chosen = Detail::ChosenFields(params, typeName)) {
        names = std::move(*chosen);
    } else if (params.HasParameter("table-columns")) {
        names = params.GetParameterAsList("table-columns");
    } else {
        names = structure->GetFieldNames();
    }
    for (auto& name : names) {
        boost::trim_if(name, [](char c) {
            return c == ' ' || c == '\t' || c == '\f' || c == '\v' || c == '\n' || c == '\r';
        });
    }
    const std::string lastName = names.empty() ? std::string() : names.back();

    const std::string& showHeaderValue = params.GetParameter("show-header");
    const bool showHeader =
        (showHeaderValue.empty() ? params.GetParameter("table-header") : showHeaderValue) != "false";
    const bool headerLine = params.GetParameter("header-line") != "false";
    const bool wrapLast = params.GetParameter("wrap-last") == "true";
    const long terminalWidth = context.width;

    // Columns of the same name share one width entry; std::map nodes stay put, so the pointers hold.
    std::map<std::string, unsigned> widths;
    std::vector<Column> columns(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        Column& column = columns[i];
        column.name = names[i];
        column.segments = Detail::SplitItems(names[i] + ".", '.');
        column.isLast = names[i] == lastName;
        column.width = &widths.emplace(names[i], static_cast<unsigned>(names[i].size() + 2)).first->second;
    }

    // Width pass: every value is resolved and formatted, and nothing is written unless the whole list
    // is usable. The texts are not kept: a large list would hold them all at once besides its values.
    // The row pass works each one out again, which costs little (a string is its own text).
    const auto& elements = list->GetObjects();
    std::string scratch;
    for (const auto& element : elements) {
        const MetaStruct* record = nullptr;
        if (element && element->GetType() == MetaType::Struct) {
            record = dynamic_cast<const MetaStruct*>(element.get());
        }
        if (record == nullptr) {
            out << "Error: Unexpected type, unable to get struct from list";
            EndLine(out);
            return false;
        }
        for (Column& column : columns) {
            std::shared_ptr<MetaObject> value = CellValue(*record, column);
            if (!value) {
                out << "Error: Unknown field in field list: " << column.name;
                EndLine(out);
                return false;
            }
            bool failed = false;
            const std::string& cellText =
                CellText(*value, KeysFor(column, record->GetTypeName(), params), scratch, &failed);
            *column.width = std::max(*column.width, static_cast<unsigned>(cellText.size() + 2));
        }
    }

    StreamStateGuard streamState(out);
    out << std::left;
    // Cells are padded here as the stream pads a field of the given width, with its fill character.
    const char fill = out.fill();
    Detail::BlockWriter writer(out);
    std::string& text = writer.Text();
    const auto pad = [&](const std::string& cell, unsigned width, bool right) {
        const std::size_t padding = cell.size() < width ? width - cell.size() : 0;
        if (right) {
            text.append(padding, fill);
        }
        text += cell;
        if (!right) {
            text.append(padding, fill);
        }
    };

    if (showHeader && !columns.empty()) {
        for (std::size_t i = 0; i + 1 < columns.size(); ++i) {
            pad(columns[i].name, *columns[i].width, false);
        }
        writer.Line(lastName);
        if (headerLine) {
            std::size_t length = lastName.size();
            for (std::size_t i = 0; i + 1 < columns.size(); ++i) {
                length += *columns[i].width;
            }
            // Each column's dashes stop two characters short of the next column.
            std::string line(length, '-');
            std::size_t position = 0;
            for (std::size_t i = 0; i + 1 < columns.size(); ++i) {
                position += *columns[i].width;
                line[position - 2] = ' ';
                line[position - 1] = ' ';
            }
            writer.Line(line);
        }
    }

    long wrapIndent = 0;
    for (const Column& column : columns) {
        if (!column.isLast) {
            wrapIndent += *column.width;
        }
    }
    const bool wrapping =
        terminalWidth != 0 && wrapLast && terminalWidth >= wrapIndent + static_cast<long>(lastName.size());
    const int fitIndent = static_cast<int>(wrapIndent);
    const int fitWidth = static_cast<int>(terminalWidth);

    // Set when a cell printed says why its printf format could not be applied: the table is printed
    // whole, and the call reports the problem.
    bool cellFailed = false;
    for (const auto& element : elements) {
        // The width pass found every element a record with every column.
        const auto& record = static_cast<const MetaStruct&>(*element);
        for (Column& column : columns) {
            const std::shared_ptr<MetaObject> value = CellValue(record, column);
            if (wrapping && column.isLast && wrapIndent != 0) {
                // Continuation lines start under the last column; the fitting writes to the stream itself.
                writer.Put();
                AutoCli_FitString(fitIndent, fitWidth, value->ToString(), true, out, false, '\0', true);
                continue;
            }
            bool failed = false;
            const std::string& cellText =
                CellText(*value, KeysFor(column, record.GetTypeName(), params), scratch, &failed);
            cellFailed = cellFailed || failed;
            if (value->GetType() == MetaType::Int) {
                pad(cellText, *column.width - 2, true);
                text += "  ";
            } else if (column.isLast) {
                text += cellText;
            } else {
                pad(cellText, *column.width, false);
            }
        }
        writer.EndLine();
    }
    return !cellFailed;
}

} // namespace Corvane::AutoCli
