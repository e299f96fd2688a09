// Tests of Dispatcher::CheckFormatParameters: what is refused before a command runs, from its declared
// output, with the exact messages and "Did you mean" lines; and what cannot be told and passes.
#include <corvane/dispatch.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace Corvane::AutoCli;
using namespace Corvane::MetaObj;
using Strings = std::vector<std::string>;

namespace {

// A command that declares `declared` as its output (none when null) and does nothing.
struct Declared : Command {
    explicit Declared(std::shared_ptr<MetaObject> declared) : declared(std::move(declared)) {}
    std::shared_ptr<Corvane::CallSpec::InputSpec> GetInputSpecInternal() override {
        return Corvane::CallSpec::InputSpec::New();
    }
    std::shared_ptr<Corvane::CallSpec::OutputSpec> GetOutputSpecInternal() override {
        auto spec = Corvane::CallSpec::OutputSpec::New();
        if (declared) {
            spec->SetRootObject(declared);
        }
        return spec;
    }
    void ExecuteInternal(const std::shared_ptr<Corvane::CallSpec::Input>&,
                         const std::shared_ptr<Corvane::CallSpec::Output>&) override {}
    std::shared_ptr<MetaObject> declared;
};

// Disk{Name, Size, Healthy, Location{Rack}}.
std::shared_ptr<MetaStruct> Disk() {
    auto location = MetaStruct::New("Location");
    location->SetField("Rack", std::string());
    auto disk = MetaStruct::New("Disk");
    disk->SetField("Name", std::string());
    disk->SetField("Size", 0L);
    disk->SetField("Healthy", false);
    disk->SetField("Location", location);
    return disk;
}

std::shared_ptr<MetaObject> Disks() {
    return MetaList::New(MetaType::Struct, Disk());
}

// The errors CheckFormatParameters adds for `declared` printed by `formatter` with `params`; its
// answer must be true exactly when there are none.
Strings Check(const std::shared_ptr<MetaObject>& declared, const std::string& formatter,
              std::vector<std::pair<std::string, std::string>> params) {
    Dispatcher dispatcher;
    FormatParameters format;
    format.SetFormatter(formatter);
    for (auto& param : params) {
        format.SetParameter(std::move(param.first), std::move(param.second));
    }
    auto output = CommandOutput::New();
    const bool ok = dispatcher.CheckFormatParameters(std::make_shared<Declared>(declared), format, output);
    EXPECT_EQ(output->GetErrors().empty(), ok);
    return output->GetErrors();
}

} // namespace

TEST(FormatCheckTest, UnknownFormatterIsNamedWithTheClosestKnownOne) {
    EXPECT_EQ((Strings{"Unable to find requested formatter: jsn", "Did you mean 'json'?"}),
              Check(Disks(), "jsn", {}));
    EXPECT_EQ((Strings{"Unable to find requested formatter: nothinglike"}),
              Check(Disks(), "nothinglike", {}));
    // Without a formatter nothing is printed, so nothing is wrong.
    EXPECT_EQ(Strings{}, Check(Disks(), "", {{"fields:Disk", "Nope"}}));
}

TEST(FormatCheckTest, TableNeedsADeclaredListOfStructures) {
    const Strings refused{"Error: Unexpected type for output, formatter, table, expected a List of structs"};
    EXPECT_EQ(refused, Check(Disk(), "table", {}));
    EXPECT_EQ(refused, Check(MetaList::New(MetaType::String), "table", {}));
    EXPECT_EQ(Strings{}, Check(Disk(), "simple", {}));
    EXPECT_EQ(Strings{}, Check(MetaList::New(MetaType::String), "json", {}));
}

// The same parameters, read by each formatter as it reads them at print time.
TEST(FormatCheckTest, FieldNamesAreCheckedAsEachFormatterReadsThem) {
    const struct {
        const char* formatter;
        std::vector<std::pair<std::string, std::string>> params;
        Strings expected;
    } cases[] = {
        {"table", {{"fields:Disk", "Name,Location.Rack"}}, {}},
        {"simple", {{"fields:Disk", "Name,Location.Rack"}}, {"Error getting field Location.Rack"}},
        {"json", {{"fields:Disk", "Name,Location.Rack,Nope"}}, {}}, // json reads no field list
        {"table", {{"fields:Disk", " Name , Size"}}, {}},           // table trims its columns
        {"simple", {{"fields:Disk", "Name, Size"}}, {"Error getting field  Size", "Did you mean 'Size'?"}},
        {"table",
         {{"fields:Disk", "Name,Location.Rak"}},
         {"Error: Unknown field in field list: Location.Rak", "Did you mean 'Location.Rack'?"}},
        {"table", {{"fields:Disk", "Name.Rack"}}, {"Error: Unknown field in field list: Name.Rack"}},
        {"table", {{"table-columns", "Bogus"}}, {"Error: Unknown field in field list: Bogus"}},
        {"table", {{"fields:Disk", "Name"}, {"table-columns", "Bogus"}}, {}}, // stands in only
        // The generic list: for the listed type only under table, for every type under simple, each
        // message once.
        {"table", {{"fields", "Name"}}, {}},
        {"simple", {{"fields", "Name"}}, {"Error getting field Name"}},
        {"simple", {{"fields", "Name"}, {"fields:Location", "Rack"}}, {}},
        {"simple",
         {{"fields:Dsk", "Name"}},
         {"Unable to find structure type Dsk of format parameter fields:Dsk", "Did you mean 'Disk'?"}},
        {"table",
         {{"header:Locaton", "x"}},
         {"Unable to find structure type Locaton of format parameter header:Locaton",
          "Did you mean 'Location'?"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.formatter) + " " + c.params.front().first + "=" + c.params.front().second);
        EXPECT_EQ(c.expected, Check(Disks(), c.formatter, c.params));
    }
}

TEST(FormatCheckTest, UnitsAndPrintfNameDeclaredFieldsAndFormatsFitThem) {
    const struct {
        const char* formatter;
        std::pair<std::string, std::string> param;
        Strings expected;
    } cases[] = {
        {"simple", {"units:Disk.Size", "GB"}, {}},
        {"simple", {"units:Location.Rack", "r"}, {}},
        {"table", {"units:Disk.Location.Rack", "r"}, {}},
        {"simple",
         {"units:Disk.Location.Rack", "r"},
         {"Unable to find field Location.Rack of type Disk in format parameter units:Disk.Location.Rack"}},
        {"simple",
         {"units:Disk.Sise", "GB"},
         {"Unable to find field Sise of type Disk in format parameter units:Disk.Sise",
          "Did you mean 'Size'?"}},
        {"table",
         {"units:Dsk.Size", "GB"},
         {"Unable to find structure type Dsk of format parameter units:Dsk.Size", "Did you mean 'Disk'?"}},
        {"table", {"printf:Disk.Size", "%5ld"}, {}},
        {"table", {"printf:Disk.Healthy", "%c"}, {}},
        {"simple", {"printf:Disk.Name", "[%-8s]"}, {}},
        {"table",
         {"printf:Disk.Size", "%s"},
         {"Error while handling formatting parameter printf:Disk.Size.  Unable to format field: the format "
          "does not fit an integer value"}},
        {"simple",
         {"printf:Disk.Name", "%d"},
         {"Error while handling formatting parameter printf:Disk.Name.  Unable to format field: the format "
          "does not fit a string value"}},
        {"table",
         {"printf:Disk.Size", "%d%d"},
         {"Error while handling formatting parameter printf:Disk.Size.  Unable to format field: the format "
          "has more than one conversion"}},
        {"json", {"printf:Disk.Size", "%s"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.formatter) + " " + c.param.first + "=" + c.param.second);
        EXPECT_EQ(c.expected, Check(Disks(), c.formatter, {c.param}));
    }
}

// A structure list without its structure may hold any type, anywhere in the declaration: only the
// kind is told.
TEST(FormatCheckTest, DeclarationsThatLeaveAStructureOpenPassWhatCannotBeTold) {
    auto open = MetaList::New(MetaType::Struct, std::shared_ptr<MetaStruct>());
    EXPECT_EQ(Strings{}, Check(open, "table", {{"fields:Nope", "Bogus"}, {"printf:X.Y", "%s"}}));
    EXPECT_EQ(Strings{}, Check(open, "simple", {{"fields", "Bogus"}}));
    auto disk = Disk();
    disk->SetField("Parts", MetaList::New(MetaType::Struct, std::shared_ptr<MetaStruct>()));
    EXPECT_EQ(Strings{}, Check(disk, "simple", {{"fields:Dsk", "Bogus"}}));
    EXPECT_EQ((Strings{"Error: Unexpected type for output, formatter, table, expected a List of structs"}),
              Check(disk, "table", {}));
    EXPECT_EQ(Strings{}, Check(nullptr, "table", {{"fields:Disk", "Bogus"}}));
}
