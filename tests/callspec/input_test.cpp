// Tests of InputSpec and Input: declaration rules, short-name folding, validation and typed getters.
#include <corvane/callspec.h>

#include "test_support.h"

#include <climits>
#include <string>
#include <vector>

using namespace Corvane::CallSpec;

namespace {

std::shared_ptr<ParameterSpec> Param(const char* name, ParameterType type, const char* shortName = nullptr,
                                     bool required = false) {
    auto parameter = ParameterSpec::New(name, type);
    if (shortName) {
        parameter->SetShortName(shortName);
    }
    parameter->SetRequired(required);
    return parameter;
}

std::vector<std::string> Names(const std::shared_ptr<InputSpec>& spec) {
    std::vector<std::string> names;
    for (const auto& parameter : spec->GetParameters()) {
        names.push_back(parameter->GetName());
    }
    return names;
}

// A specification with one parameter of every type, each with its first letter as short name.
std::shared_ptr<InputSpec> EveryType() {
    auto spec = InputSpec::New();
    spec->AddParameter(Param("string", String, "s"));
    spec->AddParameter(Param("int", Int, "i"));
    spec->AddParameter(Param("bool", Bool, "b"));
    spec->AddParameter(Param("flag", Flag, "f"));
    spec->AddParameter(Param("strings", StringList, "S"));
    spec->AddParameter(Param("ints", IntList, "I"));
    spec->AddParameter(Param("bools", BoolList, "B"));
    return spec;
}

} // namespace

TEST(InputSpecDeclare, NameOrderAndRefusals) {
    auto spec = InputSpec::New();
    spec->AddParameter(Param("zeta", String, "z"));
    spec->AddParameter(Param("alpha", String, "a"));
    spec->AddParameter(Param("mid", String));
    spec->AddParameter(Param("mi", String));
    EXPECT_EQ((std::vector<std::string>{"alpha", "mi", "mid", "zeta"}), Names(spec));

    EXPECT_THROW_MSG(spec->AddParameter(Param("x", String)), "Parameter name must be at least 2 characters");
    EXPECT_THROW_MSG(spec->AddParameter(Param("mid", Int)),
                     "Found a duplicate paramater specification for parameter named 'mid'");
    EXPECT_THROW_MSG(
        spec->AddParameter(Param("other", String, "z")),
        "Invalid short name specified for --other. The short name -z is already used for --zeta");
    // The list is examined in order: the short-name clash with alpha comes before the duplicate zeta.
    EXPECT_THROW_MSG(
        spec->AddParameter(Param("zeta", String, "a")),
        "Invalid short name specified for --zeta. The short name -a is already used for --alpha");
    EXPECT_THROW(spec->AddParameter(nullptr), Corvane::CorvaneException);
    EXPECT_EQ((std::vector<std::string>{"alpha", "mi", "mid", "zeta"}), Names(spec));
    // Short names are case-sensitive.
    spec->AddParameter(Param("upper", String, "Z"));
    EXPECT_EQ("upper", spec->FindParameter("upper")->GetName());
    EXPECT_EQ(nullptr, spec->FindParameter("up"));

    spec->SetContextSupported("user");
    spec->SetContextSupported("user");
    EXPECT_TRUE(spec->IsContextSupported("user"));
    EXPECT_FALSE(spec->IsContextSupported("User"));
}

TEST(InputSpecValidate, MessagesAndTheirOrder) {
    auto spec = InputSpec::New();
    spec->AddParameter(Param("name", String, "n", true));
    spec->AddParameter(Param("count", Int, "c", true));
    spec->AddParameter(Param("tags", StringList, "t"));
    spec->AddParameter(Param("force", Flag, "f"));

    auto input = Input::New();
    input->AddParameter("verbose", "");
    input->AddParameter("force", "yes");
    input->AddParameter("count", "1");
    input->AddParameter("count", "x");
    input->AddParameter("alpha", "");
    input->SetInputSpec(spec);
    auto output = Output::New();
    EXPECT_FALSE(spec->Validate(input, output));
    EXPECT_EQ((std::vector<std::string>{
                  "Unknown parameter : alpha",
                  "Found multiple values for count this parameter can only accept a single value.",
                  "Invalid data 'x' for parameter count expected type Integer",
                  std::string("Invalid data 'yes' for parameter force.  This parameter is a flag and cannot "
                              "accept any values. "),
                  "Unknown parameter : verbose", "Missing required parameter --name"}),
              output->GetErrors());

    // A help request is not validated at all.
    input->AddParameter("help", "");
    output = Output::New();
    EXPECT_TRUE(spec->Validate(input, output));
    EXPECT_FALSE(output->HasError());

    auto good = Input::New();
    good->AddParameter("n", "disk1");
    good->AddParameter("c", "3");
    good->AddParameter("t", "a");
    good->AddParameter("tags", "b");
    good->AddParameter("f", "");
    good->SetInputSpec(spec);
    EXPECT_TRUE(spec->Validate(good, output));
    EXPECT_FALSE(output->HasError());

    auto empty = Input::New();
    EXPECT_FALSE(spec->Validate(empty, output));
    EXPECT_EQ(
        (std::vector<std::string>{"Missing required parameter --count", "Missing required parameter --name"}),
        output->GetErrors());
    EXPECT_FALSE(spec->Validate(nullptr, nullptr));
}

TEST(InputShortNames, FoldedIntoLongNamesLongValuesFirst) {
    auto spec = InputSpec::New();
    spec->AddParameter(Param("verbose", StringList, "v"));
    spec->AddParameter(Param("count", Int, "c"));
    auto input = Input::New();
    input->AddParameter("v", "s1");
    input->AddParameter("verbose", "l1");
    input->AddParameter("v", "s2");
    input->AddParameter("c", "1");
    input->AddParameter("count", "2");
    input->AddParameter("q", "");
    input->SetInputSpec(spec);
    EXPECT_EQ((std::map<std::string, std::vector<std::string>>{
                  {"count", {"2", "1"}}, {"q", {""}}, {"verbose", {"l1", "s1", "s2"}}}),
              input->GetParameters());
    EXPECT_EQ(spec, input->GetInputSpec());

    auto output = Output::New();
    EXPECT_FALSE(spec->Validate(input, output));
    EXPECT_EQ((std::vector<std::string>{
                  "Found multiple values for count this parameter can only accept a single value.",
                  "Unknown parameter : q"}),
              output->GetErrors());

    // A short name alone creates the long entry.
    auto shortOnly = Input::New();
    shortOnly->AddParameter("v", "x");
    shortOnly->SetInputSpec(spec);
    EXPECT_FALSE(shortOnly->HasParameter("v"));
    std::vector<std::string> values;
    shortOnly->GetParameterList("verbose", values);
    EXPECT_EQ(std::vector<std::string>{"x"}, values);
}

TEST(InputGetters, SingleValuesByType) {
    auto input = Input::New();
    input->AddParameter("string", "a");
    input->AddParameter("string", "b");
    input->AddParameter("int", " 42");
    input->AddParameter("bool", "T");
    input->AddParameter("flag", "");
    EXPECT_THROW_MSG(input->GetParameter("string"), "Request for unknown parameter: string"); // no spec yet
    input->SetInputSpec(EveryType());

    EXPECT_EQ("", input->GetParameter("string")); // given twice
    EXPECT_EQ(42, input->GetParameterInt("int"));
    EXPECT_EQ(42, input->GetParameterInt(std::string("int")));
    EXPECT_TRUE(input->GetParameterBool("bool"));
    EXPECT_TRUE(input->IsFlagSet("flag"));
    EXPECT_TRUE(input->HasParameter(std::string("flag")));
    EXPECT_FALSE(input->IsFlagSet(std::string("ints")));
    EXPECT_EQ(Flag, input->GetParameterType("flag"));

    EXPECT_THROW_MSG(input->GetParameter("flag"), "Request for GetParameter on a flag type parameter: flag");
    for (const char* list : {"strings", "ints", "bools"}) {
        EXPECT_THROW_MSG(
            input->GetParameter(list),
            std::string("Request for GetParameter on a parameter that can have multiple values: ") + list);
    }
    EXPECT_THROW_MSG(input->GetParameterType("nope"), "Request for unknown parameter: nope");
    EXPECT_THROW_MSG(input->GetParameterInt("s"), "Request for unknown parameter: s");
    EXPECT_THROW_MSG(input->GetParameterBool("nope"), "Request for unknown parameter: nope");

    const std::vector<std::pair<std::string, long>> ints = {{"7", 7},
                                                            {"-3", -3},
                                                            {"x", -1},
                                                            {"7 ", -1},
                                                            {"", -1},
                                                            {"0x1", -1},
                                                            {"99999999999999999999", LONG_MAX}};
    for (const auto& entry : ints) {
        auto one = Input::New();
        one->AddParameter("int", entry.first);
        one->SetInputSpec(EveryType());
        EXPECT_EQ(entry.second, one->GetParameterInt("int")) << entry.first;
    }
    const std::vector<std::pair<std::string, bool>> bools = {{"True", true},   {"T", true},     {"y", true},
                                                             {"False", false}, {"TRUE", false}, {"0", false},
                                                             {"", false}};
    for (const auto& entry : bools) {
        auto one = Input::New();
        one->AddParameter("bool", entry.first);
        one->SetInputSpec(EveryType());
        EXPECT_EQ(entry.second, one->GetParameterBool("bool")) << entry.first;
    }
    auto absent = Input::New();
    absent->SetInputSpec(EveryType());
    EXPECT_EQ("", absent->GetParameter("string"));
    EXPECT_EQ(-1, absent->GetParameterInt("int"));
    EXPECT_FALSE(absent->GetParameterBool("bool"));
    EXPECT_FALSE(absent->IsFlagSet("flag"));

    EXPECT_EQ("", absent->GetContext("user"));
    absent->SetContext("user", "alice");
    absent->SetContext("user", "bob");
    EXPECT_EQ("bob", absent->GetContext("user"));
}

TEST(InputGetters, ListsAppendAndJoin) {
    auto input = Input::New(); // the list getters need no specification
    for (const char* value : {"1", "x", "", "3", " 4", "5 "}) {
        input->AddParameter("ints", value);
    }
    std::vector<long> ints = {9};
    input->GetParameterIntList("ints", ints);
    EXPECT_EQ((std::vector<long>{9, 1, 3, 4}), ints);

    for (const char* value : {"yes", "no", "True", "TRUE", "T"}) {
        input->AddParameter("bools", value);
    }
    std::vector<bool> bools = {true};
    input->GetParameterBoolList("bools", bools);
    EXPECT_EQ((std::vector<bool>{true, true, false, true, false, true}), bools);

    input->AddParameter("names", "a");
    input->AddParameter("names", "b c");
    std::vector<std::string> names = {"kept"};
    input->GetParameterList("names", names);
    input->GetParameterList(std::string("absent"), names);
    EXPECT_EQ((std::vector<std::string>{"kept", "a", "b c"}), names);

    EXPECT_EQ("\"a,b c\"", input->GetParameterListAsString("names", ',', true));
    EXPECT_EQ("a b c", input->GetParameterListAsString("names", ' ', false));
    EXPECT_EQ("", input->GetParameterListAsString("absent", ',', false));
    EXPECT_EQ("\"\"", input->GetParameterListAsString("absent", ',', true));
    input->AddParameter("quoted", "say \"hi\"");
    EXPECT_EQ("\"say \"hi\"\"", input->GetParameterListAsString("quoted", ',', true)); // not escaped
    input->GetParameterIntList("absent", ints);
    EXPECT_EQ(4u, ints.size());
}
