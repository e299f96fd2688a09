// ResultQuery: reading queries against a declared list of structures, and filtering, sorting and cutting.
#include <corvane/dispatch.h>
#include <corvane/query.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace Corvane;
using namespace Corvane::AutoCli;
using MetaObj::MetaList;
using MetaObj::MetaStruct;
using MetaObj::MetaType;

std::shared_ptr<MetaStruct> SiteDefinition() {
    auto site = MetaStruct::New("Site");
    site->SetField("City", "");
    site->SetField("Rack", 0L);
    return site;
}

std::shared_ptr<MetaList> Declared() {
    auto host = MetaStruct::New("Host");
    host->SetField("Name", "");
    host->SetField("Cpus", 0L);
    host->SetField("Up", false);
    host->SetField("Site", SiteDefinition());
    host->SetField("Tags", std::vector<std::string>{});
    return MetaList::New(MetaType::Struct, host);
}

// name, cpus, up, city, rack
struct HostRow {
    const char* name;
    long cpus;
    bool up;
    const char* city;
    long rack;
};

const HostRow kHosts[] = {
    {"web1", 4, true, "Oslo", 2},  {"db1", 16, true, "Bergen", 1}, {"web2", 4, false, "Oslo", 1},
    {"cache", 8, true, "Oslo", 3}, {"Zed", -3, false, "", 0},      {"\xc3\xa9t\xc3\xa9", 4, true, "Oslo", 2},
};

std::shared_ptr<MetaList> Hosts() {
    auto list = Declared();
    for (const HostRow& row : kHosts) {
        auto host = MetaStruct::New(list->GetListStructure());
        host->SetField("Name", row.name);
        host->SetField("Cpus", row.cpus);
        host->SetField("Up", row.up);
        auto site = MetaStruct::New("Site");
        site->SetField("City", row.city);
        site->SetField("Rack", row.rack);
        host->SetField("Site", site);
        host->SetField("Tags", std::vector<std::string>{});
        list->Add(host);
    }
    return list;
}

std::string Names(const MetaList& list) {
    std::string names;
    for (const auto& row : list.GetObjects()) {
        const auto& host = static_cast<const MetaStruct&>(*row);
        names += static_cast<const MetaObj::MetaString&>(*host.GetField("Name")).GetValue() + " ";
    }
    return names;
}

struct QueryCase {
    std::vector<std::string> where;
    const char* sort; // nullptr: none
    const char* limit;
    const char* names;
};

std::string RunQuery(const QueryCase& c) {
    ResultQuery query;
    for (const std::string& w : c.where) {
        query.AddWhere(w);
    }
    if (c.sort != nullptr) {
        query.SetSort(c.sort);
    }
    if (c.limit != nullptr) {
        query.SetLimit(c.limit);
    }
    std::vector<std::string> errors;
    EXPECT_TRUE(query.Prepare(Declared(), errors)) << (errors.empty() ? "" : errors.front());
    auto hosts = Hosts();
    query.Apply(hosts);
    return Names(*hosts);
}

} // namespace

TEST(ResultQuery, AcceptedQueriesKeepAndOrderRows) {
    const QueryCase cases[] = {
        {{}, nullptr, nullptr, "web1 db1 web2 cache Zed \xc3\xa9t\xc3\xa9 "},
        {{"Cpus == 4"}, nullptr, nullptr, "web1 web2 \xc3\xa9t\xc3\xa9 "},
        {{"Cpus != 4"}, nullptr, nullptr, "db1 cache Zed "},
        {{"Cpus < 4"}, nullptr, nullptr, "Zed "},
        {{"Cpus <= 4"}, nullptr, nullptr, "web1 web2 Zed \xc3\xa9t\xc3\xa9 "},
        {{"Cpus > 4"}, nullptr, nullptr, "db1 cache "},
        {{"Cpus>=8"}, nullptr, nullptr, "db1 cache "},
        {{"Cpus == -3"}, nullptr, nullptr, "Zed "},
        {{"Up == yes"}, nullptr, nullptr, "web1 db1 cache \xc3\xa9t\xc3\xa9 "},
        {{"Up == F"}, nullptr, nullptr, "web2 Zed "},
        {{"Up < true"}, nullptr, nullptr, "web2 Zed "},
        {{"Name < a"}, nullptr, nullptr, "Zed "},               // byte-wise: upper case first
        {{"Name > z"}, nullptr, nullptr, "\xc3\xa9t\xc3\xa9 "}, // bytes above 0x7f last
        {{"Name =~ eb"}, nullptr, nullptr, "web1 web2 "},       // searched anywhere
        {{"Name =~ ^w.*1$"}, nullptr, nullptr, "web1 "},
        {{"Site.City == "}, nullptr, nullptr, "Zed "}, // empty string value
        {{"Site.City == Oslo", "Site.Rack == 2"}, nullptr, nullptr, "web1 \xc3\xa9t\xc3\xa9 "},
        {{"Name == web1 "}, nullptr, nullptr, ""}, // trailing blank is part of the value
        {{}, "Cpus", nullptr, "Zed web1 web2 \xc3\xa9t\xc3\xa9 cache db1 "}, // stable
        {{}, "-Cpus", nullptr, "db1 cache web1 web2 \xc3\xa9t\xc3\xa9 Zed "},
        {{}, "Name", nullptr, "Zed cache db1 web1 web2 \xc3\xa9t\xc3\xa9 "},
        {{}, "Up,-Site.Rack", nullptr, "web2 Zed cache web1 \xc3\xa9t\xc3\xa9 db1 "},
        {{}, "Site.City,Name", nullptr, "Zed db1 cache web1 web2 \xc3\xa9t\xc3\xa9 "},
        {{}, nullptr, "2", "web1 db1 "},
        {{}, nullptr, "0", ""},
        {{}, nullptr, "99", "web1 db1 web2 cache Zed \xc3\xa9t\xc3\xa9 "},
        {{"Up == true"}, "-Cpus", "2", "db1 cache "},
    };
    for (const QueryCase& c : cases) {
        EXPECT_EQ(c.names, RunQuery(c)) << (c.where.empty() ? "" : c.where.front()) << " / "
                                        << (c.sort ? c.sort : "") << " / " << (c.limit ? c.limit : "");
    }
}

TEST(ResultQuery, RefusedQueriesSayWhy) {
    struct Refusal {
        std::vector<std::string> where;
        const char* sort;
        const char* limit;
        std::vector<std::string> errors;
    };
    const Refusal cases[] = {
        {{"Cpu == 1"},
         nullptr,
         nullptr,
         {"--where: unknown field 'Cpu': structure Host has no field 'Cpu'", "Did you mean 'Cpus'?"}},
        {{"Qqqqq == 1"},
         nullptr,
         nullptr,
         {"--where: unknown field 'Qqqqq': structure Host has no field 'Qqqqq'"}},
        {{"Site.Rak == 1"},
         nullptr,
         nullptr,
         {"--where: unknown field 'Site.Rak': structure Site has no field 'Rak'",
          "Did you mean 'Site.Rack'?"}},
        {{"Name.X == 1"},
         nullptr,
         nullptr,
         {"--where: field 'Name' is a string, not a structure: 'Name.X' names nothing"}},
        {{"Site. == 1"},
         nullptr,
         nullptr,
         {"--where: unknown field 'Site.': structure Site has no field ''"}},
        {{"Tags == a"},
         nullptr,
         nullptr,
         {"--where: field 'Tags' is a list of strings, not a string, integer or boolean"}},
        {{"Cpus == 1.5"},
         nullptr,
         nullptr,
         {"--where: '1.5' is not a 64-bit integer, as field 'Cpus' needs"}},
        {{"Cpus == "}, nullptr, nullptr, {"--where: '' is not a 64-bit integer, as field 'Cpus' needs"}},
        {{"Cpus == 9223372036854775808"},
         nullptr,
         nullptr,
         {"--where: '9223372036854775808' is not a 64-bit integer, as field 'Cpus' needs"}},
        {{"Up == TRUE"}, nullptr, nullptr, {"--where: 'TRUE' is not a boolean, as field 'Up' needs"}},
        {{"Up =~ t"}, nullptr, nullptr, {"--where: =~ needs a string field; 'Up' is a boolean"}},
        {{"Name =~ [a"}, nullptr, nullptr, {"--where: '[a' is not a valid regular expression"}},
        {{"Name = a"},
         nullptr,
         nullptr,
         {"--where: unable to read 'Name = a': expected FIELD OP VALUE with OP one of == != < <= > >= =~"}},
        {{"== a"},
         nullptr,
         nullptr,
         {"--where: unable to read '== a': expected FIELD OP VALUE with OP one of == != < <= > >= =~"}},
        {{}, "", nullptr, {"--sort: unable to read '': expected [-]FIELD[,[-]FIELD...]"}},
        {{}, "Name,-", nullptr, {"--sort: unable to read 'Name,-': expected [-]FIELD[,[-]FIELD...]"}},
        {{},
         "Nmae",
         nullptr,
         {"--sort: unknown field 'Nmae': structure Host has no field 'Nmae'", "Did you mean 'Name'?"}},
        {{}, nullptr, "x", {"--limit: 'x' is not a number of rows (0 or more)"}},
        {{}, nullptr, "+1", {"--limit: '+1' is not a number of rows (0 or more)"}},
        {{}, nullptr, "", {"--limit: '' is not a number of rows (0 or more)"}},
    };
    for (const Refusal& c : cases) {
        ResultQuery query;
        for (const std::string& w : c.where) {
            query.AddWhere(w);
        }
        if (c.sort != nullptr) {
            query.SetSort(c.sort);
        }
        if (c.limit != nullptr) {
            query.SetLimit(c.limit);
        }
        std::vector<std::string> errors;
        EXPECT_FALSE(query.Prepare(Declared(), errors));
        EXPECT_EQ(c.errors, errors);
        // A refused query changes no result.
        auto hosts = Hosts();
        query.Apply(hosts);
        EXPECT_EQ("web1 db1 web2 cache Zed \xc3\xa9t\xc3\xa9 ", Names(*hosts));
    }
}

TEST(ResultQuery, OnlyAListOfStructuresCanBeQueried) {
    const std::pair<std::shared_ptr<MetaObj::MetaObject>, std::string> cases[] = {
        {nullptr, "not declared"},
        {SiteDefinition(), "a structure"},
        {MetaList::New(MetaType::Int), "a list of integers"},
        {MetaObj::MetaString::New("x"), "a string"},
    };
    for (const auto& c : cases) {
        ResultQuery query;
        query.SetLimit("1");
        std::vector<std::string> errors;
        EXPECT_FALSE(query.Prepare(c.first, errors));
        EXPECT_EQ(std::vector<std::string>{"--where, --sort and --limit need a result that is a list of "
                                           "structures; this command's result is " +
                                           c.second},
                  errors);
    }
}

TEST(ResultQuery, EmptyQueryIsAcceptedForAnyResult) {
    ResultQuery query;
    std::vector<std::string> errors;
    EXPECT_TRUE(query.IsEmpty());
    EXPECT_TRUE(query.Prepare(MetaObj::MetaString::New("x"), errors));
    EXPECT_TRUE(errors.empty());
}

TEST(ResultQuery, CopiesKeepThePreparedQuery) {
    ResultQuery query;
    query.AddWhere("Cpus == 4");
    std::vector<std::string> errors;
    ASSERT_TRUE(query.Prepare(Declared(), errors));
    const ResultQuery copy = query;
    query.AddWhere("Up == false"); // unprepares the original only
    auto hosts = Hosts();
    copy.Apply(hosts);
    EXPECT_EQ("web1 web2 \xc3\xa9t\xc3\xa9 ", Names(*hosts));
    hosts = Hosts();
    query.Apply(hosts);
    EXPECT_EQ("web1 db1 web2 cache Zed \xc3\xa9t\xc3\xa9 ", Names(*hosts));
}

TEST(ResultQuery, DispatcherRunsTheQueryOnTheResult) {
    Dispatcher dispatcher;
    auto input = CommandInput::New();
    input->SetCommandPath({"varnok", "command", "list"});
    auto output = CommandOutput::New();
    ResultQuery query;
    query.AddWhere("Command =~ ^l");
    ASSERT_TRUE(dispatcher.ExecuteCommand(input, output, query));
    const auto& list = static_cast<const MetaList&>(*output->GetRootObject());
    ASSERT_EQ(1u, list.GetCount());
    const auto& row = static_cast<const MetaStruct&>(*list[0]);
    EXPECT_EQ("list", static_cast<const MetaObj::MetaString&>(*row.GetField("Command")).GetValue());
}

TEST(ResultQuery, DispatcherRefusesAQueryBeforeTheCommandRuns) {
    Dispatcher dispatcher;
    auto input = CommandInput::New();
    input->SetCommandPath({"varnok", "command", "list"});
    auto output = CommandOutput::New();
    ResultQuery query;
    query.SetSort("Comand");
    EXPECT_FALSE(dispatcher.ExecuteCommand(input, output, query));
    EXPECT_EQ(
        (std::vector<std::string>{"--sort: unknown field 'Comand': structure VarnokCommand has no field "
                                  "'Comand'",
                                  "Did you mean 'Command'?"}),
        output->GetErrors());
    EXPECT_EQ(nullptr, output->GetRootObject());
}
