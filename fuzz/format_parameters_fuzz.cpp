// Fuzz target of the format parameters: any parameter text (field lists, headers with %F%, units,
// printf formats) with any value tree, printed by a built-in formatter: the first byte chooses one
// (modulo their number, in the built-in plugin's order: table, simple, xml, python, json,
// commandhelp), so that an input prints once and its mutants mostly stay with that formatter.
#include "fuzz_support.h"

#include <corvane/callspec.h>
#include <corvane/format.h>
#include <corvane/metaobj.h>
#include <corvane/plugins.h>

#include <exception>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Corvane::CorvaneException;
using Corvane::Fuzz::ByteReader;
using Corvane::Fuzz::Fail;
using Corvane::MetaObj::MetaBool;
using Corvane::MetaObj::MetaInt;
using Corvane::MetaObj::MetaList;
using Corvane::MetaObj::MetaObject;
using Corvane::MetaObj::MetaString;
using Corvane::MetaObj::MetaStruct;
using Corvane::MetaObj::MetaType;

const std::vector<std::string> kTypeNames = {"Pet", "Owner", "T", "Disk"};
const std::vector<std::string> kFieldNames = {"Name", "Age", "Tags", "Size", "Location", "x"};
const std::vector<std::string> kKeywords = {
    "fields",     "align-fields", "show-header", "header-line", "wrap-last",
    "stylesheet", "fields:",      "header:",     "units:",      "printf:"};

// The text every formatter is checked on exactly while the escaping of other bytes is changed.

class TreeBuilder {
public:
    explicit TreeBuilder(ByteReader& reader) : reader(reader) {}

    std::shared_ptr<MetaObject> Value(int depth) {
        switch (reader.Byte() % (depth >= 4 ? 3 : 6)) {
        case 0: {
            std::uint64_t bits = 0;
            for (int i = 0; i < 8; ++i) {
                bits = bits << 8 | reader.Byte();
            }
            return MetaInt::New(static_cast<long>(bits));
        }
        case 1:
            return MetaBool::New((reader.Byte() & 1) != 0);
        case 2:
            return Text(reader.String(24));
        case 3:
            return Struct(depth);
        case 4: {
            static const MetaType kinds[] = {MetaType::Int, MetaType::Bool, MetaType::String};
            auto list = MetaList::New(kinds[reader.Byte() % 3]);
            for (int count = reader.Byte() % 5; count > 0; --count) {
                const auto item = Value(4);
                if (list->Validate(item, nullptr)) {
                    list->Add(item);
                }
            }
            return list;
        }
        default:
            return StructList(depth);
        }
    }

    std::shared_ptr<MetaStruct> Struct(int depth) {
        auto record = MetaStruct::New(kTypeNames[reader.Byte() % kTypeNames.size()]);
        for (int count = reader.Byte() % 5; count > 0; --count) {
            // Two statements: the name is read before the value whatever the compiler's order.
            const std::string name = FieldName();
            record->SetField(name, Value(depth + 1));
        }
        return record;
    }

    // Elements share the definition's structure and list values and draw new scalars.
    std::shared_ptr<MetaList> StructList(int depth) {
        auto definition = Struct(depth);
        auto list = MetaList::New(MetaType::Struct, definition);
        for (int count = reader.Byte() % 5; count > 0; --count) {
            auto item = MetaStruct::New(definition);
            for (const auto& name : definition->GetFieldNames()) {
                auto field = definition->GetField(name);
                switch (field->GetType()) {
                case MetaType::Int:
                    item->SetField(name, MetaInt::New(static_cast<long>(reader.Byte()) - 128));
                    break;
                case MetaType::Bool:
                    item->SetField(name, MetaBool::New((reader.Byte() & 1) != 0));
                    break;
                case MetaType::String:
                    item->SetField(name, Text(reader.String(24)));
                    break;
                default:
                    item->SetField(name, field);
                }
            }
            list->Add(item);
        }
        return list;
    }

    std::string FieldName() { return Name(kFieldNames); }
    std::string TypeName() { return Name(kTypeNames); }

private:
    // Mostly a known name, so that parameters meet the tree; now and then any bytes.
    std::string Name(const std::vector<std::string>& known) {
        const std::uint8_t choice = reader.Byte();
        if (choice < 240) {
            return known[choice % known.size()];
        }
        return reader.String(8);
    }

    std::shared_ptr<MetaString> Text(std::string text) { return MetaString::New(std::move(text)); }

    ByteReader& reader;
};

Corvane::AutoCli::FormatParameters ReadParameters(ByteReader& reader, TreeBuilder& names) {
    Corvane::AutoCli::FormatParameters params;
    for (int count = reader.Byte() % 8; count > 0; --count) {
        std::string key = kKeywords[reader.Byte() % kKeywords.size()];
        if (key.back() == ':') {
            key += names.TypeName();
            if (key.rfind("units:", 0) == 0 || key.rfind("printf:", 0) == 0) {
                key += "." + names.FieldName();
            }
        }
        std::string value = reader.String(40);
        params.SetParameter(std::move(key), std::move(value));
    }
    return params;
}

// Every scalar field of every structure through AutoCli_FormatField, as the table and simple
// formatters call it.
void FormatFields(const std::shared_ptr<MetaObject>& value, Corvane::AutoCli::FormatParameters& params) {
    if (auto record = std::dynamic_pointer_cast<MetaStruct>(value)) {
        for (const auto& name : record->GetFieldNames()) {
            Corvane::AutoCli::AutoCli_FormatField(record->GetTypeName(), name, record->GetField(name),
                                                  params);
            FormatFields(record->GetField(name), params);
        }
    } else if (auto list = std::dynamic_pointer_cast<MetaList>(value)) {
        for (const auto& item : list->GetObjects()) {
            FormatFields(item, params);
        }
    }
}

std::string Describe(const Corvane::AutoCli::FormatParameters& params,
                     const std::shared_ptr<MetaObject>& value) {
    std::string text = "value: " + value->ToString();
    for (const auto& [key, parameter] : params.GetParameters()) {
        text.append("\n").append(key).append(" = [").append(parameter).append("]");
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader reader(data, size);
    const auto& formatters = Corvane::Fuzz::Formatters();
    const std::uint8_t choice = reader.Byte();
    const auto& formatter = formatters[choice % formatters.size()];
    const std::string& name = formatter->GetName();
    Corvane::AutoCli::DisplayContext context;
    context.width = reader.Byte();
    TreeBuilder builder(reader);
    std::shared_ptr<MetaObject> value;
    try {
        value = builder.Value(0);
    } catch (const CorvaneException&) {
        // A tree the value classes refuse (a field name they do not take, for one) is not printed.
        return 0;
    }
    Corvane::AutoCli::FormatParameters params = ReadParameters(reader, builder);

    // The field formatting runs with the formatters that use it.
    if (name == "table" || name == "simple") {
        FormatFields(value, params);
    }
    auto output = Corvane::CallSpec::Output::New();
    output->SetRootObject(value);
    std::ostringstream out;
    try {
        formatter->Format(output, params, context, out);
    } catch (const CorvaneException& e) {
        if (name == "table" || name == "commandhelp") {
            return 0;
        }
        Fail(name + " formatter threw: " + e.what(), Describe(params, value));
    } catch (const std::exception& e) {
        Fail(name + " formatter threw: " + e.what(), Describe(params, value));
    }
    std::string error;
    if (name == "json" && !Corvane::Fuzz::IsJsonDocument(out.str(), error)) {
        Fail("json output is not JSON: " + error, Describe(params, value) + "\n----\n" + out.str());
    }
    if (name == "python" && !Corvane::Fuzz::IsPythonLiteral(out.str(), error)) {
        Fail("python output is not a Python literal: " + error,
             Describe(params, value) + "\n----\n" + out.str());
    }
    return 0;
}
