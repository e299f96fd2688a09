// Tests of InputSpec and Input: declaration rules, short-name folding, validation and typed getters.
#include <corvane/callspec.h>

#include "test_support.h"

using namespace Corvane::CallSpec;
using Strings = std::vector<std::string>;

// Adds parameters declared as "name[/short][!]" ('!' marks a required one) to `spec`, in order.
static std::shared_ptr<InputSpec> Spec(const Strings& declarations, const std::vector<ParameterType>& types,
                                       std::shared_ptr<InputSpec> spec = InputSpec::New()) {
    for (size_t i = 0; i < declarations.size(); ++i) {
        const std::string& d = declarations[i];
        auto parameter = ParameterSpec::New(d.substr(0, d.find_first_of("/!")), types[i]);
        parameter->SetRequired(d.back() == '!');
        if (d.find('/') != std::string::npos) {
            parameter->SetShortName(d.substr(d.find('/') + 1, 1));
        }
        spec->AddParameter(parameter);
    }
    return spec;
}

// An input given "name=value" entries in order, then `spec`.
static std::shared_ptr<Input> MakeInput(const Strings& entries, const std::shared_ptr<InputSpec>& spec) {
    auto input = Input::New();
    for (const auto& entry : entries) {
        input->AddParameter(entry.substr(0, entry.find('=')), entry.substr(entry.find('=') + 1));
    }
    input->SetInputSpec(spec);
    return input;
}

static Strings Errors(const std::shared_ptr<InputSpec>& spec, const Strings& entries, bool expected) {
    auto output = Output::New();
    EXPECT_EQ(expected, spec->Validate(MakeInput(entries, spec), output));
    return output->GetErrors();
}

TEST(InputSpec, DeclarationRulesAndValidationOrder) {
    auto spec = Spec({"name/n!", "count/c!", "tags/t", "force/f"}, {String, Int, StringList, Flag});
    const std::pair<const char*, const char*> refused[] = {
        {"x", "Parameter name must be at least 2 characters"},
        {"tags", "Found a duplicate paramater specification for parameter named 'tags'"},
        {"cc/c", "Invalid short name specified for --cc. The short name -c is already used for --count"},
        // The list is examined in name order: the clash with force comes before the duplicate name.
        {"name/f", "Invalid short name specified for --name. The short name -f is already used for --force"}};
    for (const auto& row : refused) {
        EXPECT_THROW_MSG(Spec({row.first}, {String}, spec), row.second);
    }
    EXPECT_THROW(spec->AddParameter(nullptr), Corvane::CorvaneException);
    // Missing-parameter messages follow the list, which is in name order and unchanged by the refusals.
    EXPECT_EQ((Strings{"Missing required parameter --count", "Missing required parameter --name"}),
              Errors(spec, {}, false));
    EXPECT_EQ((Strings{"Unknown parameter : alpha",
                       "Found multiple values for count this parameter can only accept a single value.",
                       "Invalid data 'x' for parameter count expected type Integer",
                       "Unknown parameter : verbose", "Missing required parameter --name"}),
              Errors(spec, {"verbose=", "force=", "count=1", "count=x", "alpha="}, false));
    EXPECT_EQ(Strings{}, Errors(spec, {"help=", "verbose=", "force=yes"}, true)); // help is not validated
    EXPECT_EQ(Strings{}, Errors(spec, {"n=disk1", "c=3", "t=a", "tags=b", "f="}, true));
    EXPECT_FALSE(spec->Validate(nullptr, nullptr));
    Spec({"upper/C"}, {String}, spec); // short names are case-sensitive
}

TEST(InputShortNames, FoldedIntoLongNamesLongValuesFirst) {
    auto spec = Spec({"verbose/v", "count/c"}, {StringList, Int});
    auto input = MakeInput({"v=s1", "verbose=l1", "v=s2", "c=1", "q="}, spec);
    EXPECT_EQ(
        (std::map<std::string, Strings>{{"count", {"1"}}, {"q", {""}}, {"verbose", {"l1", "s1", "s2"}}}),
        input->GetParameters());
}

TEST(InputGetters, TypedValues) {
    auto spec = Spec({"string", "int", "bool", "flag", "strings", "ints", "bools"},
                     {String, Int, Bool, Flag, StringList, IntList, BoolList});
    auto input = MakeInput({"string=a", "string=b", "flag="}, nullptr);
    EXPECT_THROW_MSG(input->GetParameter("string"), "Request for unknown parameter: string"); // no spec yet
    input->SetInputSpec(spec);
    EXPECT_EQ("", input->GetParameter("string")); // given twice
    EXPECT_TRUE(input->IsFlagSet("flag") && !input->IsFlagSet(std::string("ints")));
    EXPECT_THROW_MSG(input->GetParameter("flag"), "Request for GetParameter on a flag type parameter: flag");
    EXPECT_THROW_MSG(input->GetParameter("ints"),
                     "Request for GetParameter on a parameter that can have multiple values: ints");
    std::string ints, bools;
    for (const std::string value : {"7", " -42", "7 ", "99999999999999999999"}) {
        ints += std::to_string(MakeInput({"int=" + value}, spec)->GetParameterInt("int")) + " ";
    }
    EXPECT_EQ("7 -42 -1 9223372036854775807 ", ints);
    for (const std::string value : {"T", "TRUE", ""}) {
        bools += MakeInput({"bool=" + value}, spec)->GetParameterBool("bool") ? '1' : '0';
    }
    EXPECT_EQ("100", bools);
    // Absent values give "", -1 and false.
    EXPECT_TRUE(input->GetParameter("int").empty() && input->GetParameterInt("int") == -1 &&
                !input->GetParameterBool("bool"));
}
