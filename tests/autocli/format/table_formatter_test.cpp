// Tests of TableFormatter and GetSubField: whole tables, column choice, widths, headers and wrapping.
#include <corvane/format.h>

#include <corvane/callspec.h>
#include <corvane/metaobj.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

using namespace Corvane::AutoCli;
using namespace Corvane::MetaObj;
using Corvane::CallSpec::Output;

namespace {

std::shared_ptr<MetaStruct> Row(const std::string& name, long size, const std::string& desc) {
    auto row = MetaStruct::New("T");
    row->SetField("Name", name);
    row->SetField("Size", size);
    row->SetField("Desc", desc);
    return row;
}

std::shared_ptr<MetaList> Rows() {
    auto list = MetaList::New(MetaType::Struct, Row("", 0, ""));
    list->Add(Row("a", 1, "hello"));
    list->Add(Row("bbbbbb", 100, "x"));
    return list;
}

std::shared_ptr<MetaStruct> Server(const std::string& name, const std::string& city) {
    auto addr = MetaStruct::New("Addr");
    addr->SetField("City", city);
    auto server = MetaStruct::New("Srv");
    server->SetField("Name", name);
    server->SetField("Addr", addr);
    return server;
}

std::shared_ptr<MetaList> Servers() {
    auto list = MetaList::New(MetaType::Struct, Server("", ""));
    list->Add(Server("s1", "Paris"));
    list->Add(Server("server2", "Rome"));
    return list;
}

FormatParameters Params(std::initializer_list<std::pair<const char*, const char*>> entries) {
    FormatParameters params;
    for (const auto& entry : entries) {
        params.SetParameter(entry.first, entry.second);
    }
    return params;
}

struct Printed {
    bool result;
    std::string text;
};

Printed Print(const std::shared_ptr<MetaObject>& root, FormatParameters params = {}, uint16_t width = 0) {
    auto output = Output::New();
    output->SetRootObject(root);
    DisplayContext context;
    context.width = width;
    std::ostringstream out;
    TableFormatter formatter;
    bool result = formatter.Format(output, params, context, out);
    return {result, out.str()};
}

std::string Table(const std::shared_ptr<MetaObject>& root, FormatParameters params = {}, uint16_t width = 0) {
    Printed printed = Print(root, std::move(params), width);
    EXPECT_TRUE(printed.result);
    return printed.text;
}

} // namespace

TEST(TableFormatterTest, DeclaresItsNameAndParameters) {
    auto formatter = TableFormatter::New();
    EXPECT_EQ("table", formatter->GetName());
    EXPECT_EQ(
        "Print a list of structs as a table, with each row being one entry in the list and each column being "
        "a field of the structure.",
        formatter->GetDescription());
    const auto& params = formatter->GetParams();
    ASSERT_EQ(6u, params.size());
    const char* names[] = {"fields:<TypeName>",
                           "show-header",
                           "wrap-last",
                           "units:<TypeName>.<FieldName>",
                           "printf:<TypeName>.<FieldName>",
                           "header-line"};
    for (std::size_t i = 0; i < params.size(); ++i) {
        EXPECT_EQ(names[i], params[i].name);
        EXPECT_EQ(i == 0, params[i].marked);
    }
    EXPECT_EQ("If 'true' wrap the last column to the width of the terminal.", params[2].description);
}

TEST(TableFormatterTest, ColumnsAreAsWideAsTheirWidestEntry) {
    EXPECT_EQ("Name    Size  Desc\n"
              "------  ----  ----\n"
              "a          1  hello\n"
              "bbbbbb   100  x\n",
              Table(Rows(), Params({{"fields:T", "Name,Size,Desc"}})));
    // Without a field list the columns come in byte order; an integer last column stays right-aligned
    // and keeps its two trailing spaces.
    EXPECT_EQ("Desc   Name    Size\n"
              "-----  ------  ----\n"
              "hello  a          1  \n"
              "x      bbbbbb   100  \n",
              Table(Rows()));
    // printf and units text counts for the width.
    EXPECT_EQ("Name    Size      Desc\n"
              "------  --------  ----\n"
              "a              1  hello\n"
              "bbbbbb       100  x\n",
              Table(Rows(), Params({{"fields:T", "Name,Size,Desc"}, {"printf:T.Size", "%8ld"}})));
    EXPECT_EQ("Name    Desc\n"
              "------  ----\n"
              "a       hello kB\n"
              "bbbbbb  x kB\n",
              Table(Rows(), Params({{"fields:T", "Name,Desc"}, {"units:T.Desc", "kB"}})));
}

TEST(TableFormatterTest, ColumnListSourcesAndTrimming) {
    const std::string nameSize = "Name    Size\n"
                                 "------  ----\n"
                                 "a          1  \n"
                                 "bbbbbb   100  \n";
    EXPECT_EQ(nameSize, Table(Rows(), Params({{"fields:T", " Name ,\tSize\r\n"}})));
    EXPECT_EQ(nameSize, Table(Rows(), Params({{"fields", "Name,Size"}, {"table-columns", "Desc"}})));
    EXPECT_EQ(nameSize, Table(Rows(), Params({{"table-columns", "Name,Size"}, {"fields:Other", "Desc"}})));
    EXPECT_EQ(nameSize, Table(Rows(), Params({{"fields:T", "Name,Size"}, {"fields", "Desc"}})));

    // A single column: the separator is exactly as long as its name.
    EXPECT_EQ("Name\n----\na\nbbbbbb\n", Table(Rows(), Params({{"fields:T", "Name"}})));
    // No columns: no header, one empty line per element.
    EXPECT_EQ("\n\n", Table(Rows(), Params({{"fields:T", ""}})));
}

TEST(TableFormatterTest, HeaderAndSeparatorFlags) {
    const std::string rows = "a          1  hello\n"
                             "bbbbbb   100  x\n";
    EXPECT_EQ(rows, Table(Rows(), Params({{"fields:T", "Name,Size,Desc"}, {"show-header", "false"}})));
    EXPECT_EQ(
        rows,
        Table(Rows(),
              Params({{"fields:T", "Name,Size,Desc"}, {"show-header", ""}, {"table-header", "false"}})));
    EXPECT_EQ(rows, Table(Rows(), Params({{"fields:T", "Name,Size,Desc"}, {"table-header", "false"}})));
    // A non-empty "show-header" wins over "table-header"; only the exact word "false" hides.
    EXPECT_EQ(
        "Name    Size  Desc\n------  ----  ----\n" + rows,
        Table(Rows(),
              Params({{"fields:T", "Name,Size,Desc"}, {"show-header", "no"}, {"table-header", "false"}})));
    EXPECT_EQ("Name    Size  Desc\n" + rows,
              Table(Rows(), Params({{"fields:T", "Name,Size,Desc"}, {"header-line", "false"}})));
    EXPECT_EQ("Name    Size  Desc\n------  ----  ----\n" + rows,
              Table(Rows(), Params({{"fields:T", "Name,Size,Desc"}, {"header-line", "False"}})));
}

TEST(TableFormatterTest, EmptyLists) {
    auto declared = MetaList::New(MetaType::Struct, Row("", 0, ""));
    EXPECT_EQ("Desc  Name  Size\n----  ----  ----\n", Table(declared));
    EXPECT_EQ("", Table(declared, Params({{"show-header", "false"}})));
    EXPECT_EQ("", Table(MetaList::New(MetaType::Struct, std::shared_ptr<MetaStruct>())));
}

TEST(TableFormatterTest, DottedColumnsReachIntoNestedStructures) {
    EXPECT_EQ("Name     Addr.City\n"
              "-------  ---------\n"
              "s1       Paris\n"
              "server2  Rome\n",
              Table(Servers(), Params({{"fields:Srv", "Name,Addr.City"}})));
    EXPECT_EQ("Addr.City  Name\n"
              "---------  ----\n"
              "Paris (c)  s1\n"
              "Rome (c)   server2\n",
              Table(Servers(), Params({{"fields:Srv", "Addr.City,Name"}, {"units:Srv.Addr.City", "(c)"}})));

    for (const char* column : {"Bogus.City", "Name.City", "Addr.City.Zip", "Addr.", "Bogus"}) {
        Printed printed = Print(Servers(), Params({{"fields:Srv", (std::string("Name,") + column).c_str()}}));
        EXPECT_FALSE(printed.result) << column;
        EXPECT_EQ(std::string("Error: Unknown field in field list: ") + column + "\n", printed.text);
    }
}

TEST(TableFormatterTest, GetSubFieldWalksStructures) {
    auto server = Server("s1", "Paris");
    EXPECT_EQ("s1", GetSubField(server, "Name")->ToString());
    EXPECT_EQ("Paris", GetSubField(server, "Addr.City")->ToString());
    EXPECT_EQ(MetaType::Struct, GetSubField(server, "Addr")->GetType());
    EXPECT_EQ(nullptr, GetSubField(server, "Addr..City"));
    EXPECT_EQ(nullptr, GetSubField(server, ".Addr"));
    EXPECT_EQ(nullptr, GetSubField(server, "Name.City"));
    EXPECT_EQ(nullptr, GetSubField(server, "Nope"));
    EXPECT_EQ(nullptr, GetSubField(nullptr, "Name"));
}

TEST(TableFormatterTest, LastColumnWrapsToTheTerminalWidth) {
    auto list = MetaList::New(MetaType::Struct, Row("", 0, ""));
    list->Add(Row("abcdefghijklmnopqr", 1, "the quick brown fox jumps over the lazy dog again and again"));
    list->Add(Row("b", 2, "short"));
    list->Add(Row("c", 3, "line one\nline two"));
    const FormatParameters params =
        Params({{"fields:T", "Name,Desc"}, {"wrap-last", "true"}, {"units:T.Desc", "u"}});

    // The other columns take 20 characters, so continuation lines start with 20 spaces. Wrapped
    // cells show the plain value, without units.
    EXPECT_EQ("Name                Desc\n"
              "------------------  ----\n"
              "abcdefghijklmnopqr  the quick brown fox \n"
              "                    jumps over the lazy \n"
              "                    dog again and again\n"
              "b                   short\n"
              "c                   line one\n"
              "                    line two\n",
              Table(list, params, 40));

    const std::string unwrapped =
        "Name                Desc\n"
        "------------------  ----\n"
        "abcdefghijklmnopqr  the quick brown fox jumps over the lazy dog again and again u\n"
        "b                   short u\n"
        "c                   line one\nline two u\n";
    EXPECT_EQ(unwrapped, Table(list, params, 0));
    // Too narrow for the header of the last column: no wrapping.
    EXPECT_EQ(unwrapped, Table(list, params, 23));
    FormatParameters noWrap = params;
    noWrap.SetParameter("wrap-last", "TRUE");
    EXPECT_EQ(unwrapped, Table(list, noWrap, 40));
}

TEST(TableFormatterTest, RejectsRootsThatAreNotListsOfStructures) {
    const char* message = "Error: Unexpected type for output, formatter, table, expected a List of structs";
    EXPECT_THROW_MSG(Print(MetaInt::New(1)), message);
    EXPECT_THROW_MSG(Print(Row("a", 1, "b")), message);
    EXPECT_THROW_MSG(Print(MetaList::New(MetaType::String)), message);
    EXPECT_THROW_MSG(Print(nullptr), message);
}

TEST(TableFormatterTest, LeavesTheCallersStreamStateAlone) {
    std::ostringstream out;
    out << std::right;
    const auto flags = out.flags();
    auto output = Output::New();
    output->SetRootObject(Rows());
    FormatParameters params;
    DisplayContext context;
    TableFormatter().Format(output, params, context, out);
    EXPECT_EQ(flags, out.flags());
}
