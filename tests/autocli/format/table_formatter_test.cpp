// Tests of TableFormatter: column choice, widths, headers and refused columns; whole tables with
// dotted columns and wrapping are compared by the varnok end-to-end tests.
#include "format_test_helpers.h"

#include <tuple>

static std::shared_ptr<MetaList> Rows(const std::vector<std::tuple<const char*, long, const char*>>& rows = {
                                          {"a", 1, "hello"}, {"bbbbbb", 100, "x"}}) {
    std::shared_ptr<MetaList> list;
    for (const auto& [name, size, desc] : rows) {
        auto row = Struct("T", {{"Name", name}, {"Desc", desc}});
        row->SetField("Size", size);
        list = list ? list : MetaList::New(MetaType::Struct, row);
        list->Add(row);
    }
    return list;
}

static std::string Table(const std::shared_ptr<MetaObject>& root, FormatParameters params = {},
                         uint16_t width = 0, bool ok = true) {
    return Text(*TableFormatter::New(), root, std::move(params), width, ok);
}

const std::string kRows = "a          1  hello\nbbbbbb   100  x\n";

TEST(TableFormatterTest, ColumnsWidthsAndAlignment) {
    // Default columns in byte order; an integer last column is right-aligned with two trailing spaces.
    EXPECT_EQ("Desc   Name    Size\n-----  ------  ----\nhello  a          1  \nx      bbbbbb   100  \n",
              Table(Rows()));
    // printf (and units) text counts for the width.
    EXPECT_EQ(
        "Name    Size      Desc\n------  --------  ----\na              1  hello\nbbbbbb       100  x\n",
        Table(Rows(), Params({{"fields:T", "Name,Size,Desc"}, {"printf:T.Size", "%8ld"}})));
    // A single column's separator is exactly as long as its name; no columns give empty rows.
    EXPECT_EQ("Name\n----\na\nbbbbbb\n", Table(Rows(), Params({{"fields:T", "Name"}})));
    EXPECT_EQ("\n\n", Table(Rows(), Params({{"fields:T", ""}})));
    // Column list sources in order of precedence; names are trimmed.
    for (const auto& params : {Params({{"fields:T", " Name ,\tSize\r\n"}}),
                               Params({{"fields", "Name,Size"}, {"table-columns", "Desc"}}),
                               Params({{"table-columns", "Name,Size"}, {"fields:Other", "Desc"}}),
                               Params({{"fields:T", "Name,Size"}, {"fields", "Desc"}})}) {
        EXPECT_EQ("Name    Size\n------  ----\na          1  \nbbbbbb   100  \n", Table(Rows(), params));
    }
}

TEST(TableFormatterTest, HeaderFlagsEmptyListsAndBadRoots) {
    auto rows = [](FormatParameters params) {
        params.SetParameter("fields:T", "Name,Size,Desc");
        return Table(Rows(), params);
    };
    EXPECT_EQ(kRows, rows(Params({{"show-header", "false"}})));
    EXPECT_EQ(kRows, rows(Params({{"show-header", ""}, {"table-header", "false"}})));
    // A non-empty "show-header" wins over "table-header"; only the exact word "false" hides.
    EXPECT_EQ("Name    Size  Desc\n------  ----  ----\n" + kRows,
              rows(Params({{"show-header", "no"}, {"table-header", "false"}})));
    EXPECT_EQ("Name    Size  Desc\n" + kRows, rows(Params({{"header-line", "false"}})));

    auto declared = MetaList::New(MetaType::Struct, Rows()->GetListStructure());
    EXPECT_EQ("Desc  Name  Size\n----  ----  ----\n", Table(declared));
    EXPECT_EQ("", Table(declared, Params({{"table-header", "false"}})));
    EXPECT_EQ("", Table(MetaList::New(MetaType::Struct, std::shared_ptr<MetaStruct>())));

    EXPECT_THROW_MSG(Table(MetaList::New(MetaType::String)),
                     "Error: Unexpected type for output, formatter, table, expected a List of structs");
}

TEST(TableFormatterTest, DottedColumns) {
    auto server = Struct("Srv", {{"Name", "s1"}});
    server->SetField("Addr", Struct("Addr", {{"City", "Paris"}}));
    auto servers = MetaList::New(MetaType::Struct, server);
    servers->Add(server);
    // An unresolvable column stops the table before anything else is written.
    for (const char* column :
         {"Bogus.City", "Name.City", "Addr.City.Zip", "Addr.", "Addr..City", ".Addr", "Bogus"}) {
        EXPECT_EQ(
            std::string("Error: Unknown field in field list: ") + column + "\n",
            Table(servers, Params({{"fields:Srv", (std::string("Name,") + column).c_str()}}), 0, false));
    }
}
