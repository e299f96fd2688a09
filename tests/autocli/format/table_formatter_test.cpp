// Tests of TableFormatter: whole tables, column choice, widths, headers and wrapping.
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
    std::shared_ptr<MetaList> servers;
    for (const auto& [name, city] : {std::pair("s1", "Paris"), std::pair("server2", "Rome")}) {
        auto server = Struct("Srv", {{"Name", name}});
        server->SetField("Addr", Struct("Addr", {{"City", city}}));
        servers = servers ? servers : MetaList::New(MetaType::Struct, server);
        servers->Add(server);
    }
    EXPECT_EQ("Addr.City  Name\n---------  ----\nParis (c)  s1\nRome (c)   server2\n",
              Table(servers, Params({{"fields:Srv", "Addr.City,Name"}, {"units:Srv.Addr.City", "(c)"}})));
    // An unresolvable column stops the table before anything else is written.
    for (const char* column :
         {"Bogus.City", "Name.City", "Addr.City.Zip", "Addr.", "Addr..City", ".Addr", "Bogus"}) {
        EXPECT_EQ(
            std::string("Error: Unknown field in field list: ") + column + "\n",
            Table(servers, Params({{"fields:Srv", (std::string("Name,") + column).c_str()}}), 0, false));
    }
}

TEST(TableFormatterTest, LastColumnWrapsToTheTerminalWidth) {
    auto list =
        Rows({{"abcdefghijklmnopqr", 1, "the quick brown fox jumps over the lazy dog again and again"},
              {"b", 2, "short"},
              {"c", 3, "line one\nline two"}});
    FormatParameters params =
        Params({{"fields:T", "Name,Desc"}, {"wrap-last", "true"}, {"units:T.Desc", "u"}});
    // Continuation lines start at column 20; wrapped cells show the plain value, without units.
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
    EXPECT_EQ(unwrapped, Table(list, params, 23)); // narrower than indent + the last column's name
    params.SetParameter("wrap-last", "TRUE");
    EXPECT_EQ(unwrapped, Table(list, params, 40));
}
