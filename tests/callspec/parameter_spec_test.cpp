// Tests of ParameterSpec: names, setters, value syntax, description placeholders and value checks.
#include <corvane/callspec.h>

#include "test_support.h"

#include <climits>
#include <string>
#include <vector>

using namespace Corvane::CallSpec;

namespace {

std::shared_ptr<ParameterConstraint>
StringEnumOf(const std::vector<std::pair<std::string, std::string>>& values) {
    auto constraint = ParameterConstraint::New(StringEnum);
    for (const auto& value : values) {
        constraint->AddStringEnum(value.first, value.second);
    }
    return constraint;
}

} // namespace

TEST(ParameterSpecName, AcceptsLowerCaseDigitsAndHyphensOnly) {
    for (const char* name : {"a", "dry-run", "x2", "0", "-"}) {
        EXPECT_EQ(name, ParameterSpec::New(name, String)->GetName());
    }
    EXPECT_EQ("count", ParameterSpec::New(std::string("count"), Int)->GetName());
    for (const std::string name : {"Dry-run", "dry_run", "", "dry run", "name\n", "caf\xc3\xa9"}) {
        EXPECT_THROW_MSG(
            ParameterSpec::New(name, String),
            "Invalid Parameter name '" + name +
                "' parameter names can only contain lower-case alphanumeric characters, numbers and '-'");
    }
    EXPECT_THROW(ParameterSpec::New(static_cast<const char*>(nullptr), String), Corvane::CorvaneException);
}

TEST(ParameterSpecState, DefaultsAndMultiplicity) {
    auto p = ParameterSpec::New("name", IntList);
    EXPECT_TRUE(p->IsRequired());
    EXPECT_FALSE(p->IsSecret());
    EXPECT_EQ("", p->GetShortName());
    EXPECT_EQ("", p->GetDescription(true));
    EXPECT_EQ(nullptr, p->GetConstraint());
    EXPECT_EQ(IntList, p->GetType());
    EXPECT_EQ(IntList, p->GetParameterType());
    const std::vector<std::pair<ParameterType, bool>> multiple = {
        {String, false},    {Int, false},    {Bool, false},   {Flag, false},
        {StringList, true}, {IntList, true}, {BoolList, true}};
    for (const auto& entry : multiple) {
        EXPECT_EQ(entry.second, ParameterSpec::New("p", entry.first)->AllowMultiple()) << entry.first;
    }
    p->SetRequired(false);
    EXPECT_FALSE(p->IsRequired());
}

TEST(ParameterSpecSetters, RefusedValuesLeaveTheSpecificationUnchanged) {
    auto p = ParameterSpec::New("verbose", Int);
    p->SetShortName("v");
    const char* shortMessage = "Invalid value for shortName, must be a single character a-z, A-Z or 0-9";
    for (const std::string& bad :
         std::vector<std::string>{"ab", "-", "", "_", " ", "\xc3\xa9", std::string(1, '\0')}) {
        EXPECT_THROW_MSG(p->SetShortName(bad), shortMessage);
        EXPECT_EQ("v", p->GetShortName());
    }
    EXPECT_THROW_MSG(p->SetShortName(static_cast<const char*>(nullptr)), shortMessage);
    p->SetShortName(std::string("Z"));
    EXPECT_EQ("Z", p->GetShortName());
    p->SetShortName("7");
    EXPECT_EQ("7", p->GetShortName());

    EXPECT_THROW_MSG(p->SetSecret(false), "Cannot be set for parameter verbose");
    EXPECT_THROW_MSG(p->SetSecret(true), "Cannot be set for parameter verbose");
    EXPECT_FALSE(p->IsSecret());
    for (ParameterType type : {Bool, Flag, StringList, IntList, BoolList}) {
        EXPECT_THROW(ParameterSpec::New("pw", type)->SetSecret(true), Corvane::CorvaneException);
    }
    auto password = ParameterSpec::New("password", String);
    password->SetSecret(true);
    EXPECT_TRUE(password->IsSecret());
    password->SetSecret(false);
    EXPECT_FALSE(password->IsSecret());
}

TEST(ParameterSpecSetters, ConstraintMustFitTheType) {
    const std::vector<ParameterType> allTypes = {String, Int, Bool, Flag, StringList, IntList, BoolList};
    const std::vector<std::pair<ParameterConstraintType, std::vector<ParameterType>>> fits = {
        {None, {}},
        {IntRange, {Int, IntList}},
        {IntEnum, {Int, IntList}},
        {StringEnum, {String, StringList}},
        {StringRegex, {String, StringList}},
        {static_cast<ParameterConstraintType>(7), {}}};
    for (const auto& fit : fits) {
        for (ParameterType type : allTypes) {
            auto p = ParameterSpec::New("param", type);
            auto constraint = ParameterConstraint::New(fit.first);
            bool allowed = false;
            for (ParameterType ok : fit.second) {
                allowed = allowed || ok == type;
            }
            if (allowed) {
                p->SetConstraint(constraint);
                EXPECT_EQ(constraint, p->GetConstraint());
            } else {
                EXPECT_THROW_MSG(
                    p->SetConstraint(constraint),
                    "Invalid constraint specified for parameter param.  The parameter constraint "
                    "specified is not allowed for a parameter of this type.");
                EXPECT_EQ(nullptr, p->GetConstraint());
            }
        }
    }
    // An empty pointer is ignored; a misfit keeps the constraint set before.
    auto list = ParameterSpec::New("names", StringList);
    auto regex = ParameterConstraint::New(StringRegex);
    list->SetConstraint(regex);
    list->SetConstraint(nullptr);
    EXPECT_EQ(regex, list->GetConstraint());
    EXPECT_THROW(list->SetConstraint(ParameterConstraint::New(IntRange)), Corvane::CorvaneException);
    EXPECT_EQ(regex, list->GetConstraint());
}

TEST(ParameterSpecGetInt, DecimalSyntaxWithSaturation) {
    const std::vector<std::pair<std::string, long>> good = {{"12", 12},
                                                            {"-7", -7},
                                                            {"+5", 5},
                                                            {"0", 0},
                                                            {"  42", 42},
                                                            {"\t\n-3", -3},
                                                            {"007", 7},
                                                            {"-0", 0},
                                                            {"9223372036854775807", LONG_MAX},
                                                            {"9223372036854775808", LONG_MAX},
                                                            {"99999999999999999999999", LONG_MAX},
                                                            {"-9223372036854775808", LONG_MIN},
                                                            {"-9223372036854775809", LONG_MIN}};
    for (const auto& entry : good) {
        long result = 99;
        EXPECT_TRUE(ParameterSpec::GetInt(entry.first, result)) << entry.first;
        EXPECT_EQ(entry.second, result) << entry.first;
    }
    for (const std::string& bad :
         std::vector<std::string>{"12 ", "", " ", "0x10", "+", "-", "1.5", "ten", "1e3", "--1", "1,000",
                                  std::string("1\0"
                                              "2",
                                              3),
                                  "12\n"}) {
        long result = 99;
        EXPECT_FALSE(ParameterSpec::GetInt(bad, result)) << bad;
        EXPECT_EQ(99, result) << bad;
    }
}

TEST(ParameterSpecGetBool, ExactCaseSensitiveWords) {
    for (const char* word : {"1", "yes", "y", "true", "True", "t", "T"}) {
        bool result = false;
        EXPECT_TRUE(ParameterSpec::GetBool(word, result)) << word;
        EXPECT_TRUE(result) << word;
    }
    for (const char* word : {"0", "no", "n", "false", "False", "f", "F"}) {
        bool result = true;
        EXPECT_TRUE(ParameterSpec::GetBool(word, result)) << word;
        EXPECT_FALSE(result) << word;
    }
    for (const char* word : {"TRUE", "Yes", "", " 1", "1 ", "FALSE", "No", "2", "on"}) {
        bool result = true;
        EXPECT_FALSE(ParameterSpec::GetBool(word, result)) << word;
        EXPECT_TRUE(result) << word;
    }
}

TEST(ParameterSpecDescription, PlaceholdersExpandFromTheConstraint) {
    auto mode = ParameterSpec::New("mode", String);
    mode->SetDescription("Mode. %ENUM%");
    EXPECT_EQ("Mode. %ENUM%", mode->GetDescription(true)); // no constraint: untouched
    mode->SetConstraint(StringEnumOf({{"on", "enable"}, {"off", ""}}));
    EXPECT_EQ("Mode. [on, off]", mode->GetDescription(true));
    EXPECT_EQ("Mode. %ENUM%", mode->GetDescription(false));

    mode->SetDescription("Mode:%FULLENUM%");
    EXPECT_EQ("Mode:\n    on: enable\n", mode->GetDescription(true));
    // Only the first occurrence of each placeholder is replaced.
    mode->SetDescription("%ENUM% %ENUM% %FULLENUM%%FULLENUM% %REGEX% %REGEX%");
    EXPECT_EQ("[on, off] %ENUM% \n    on: enable\n%FULLENUM% [on, off] %REGEX%", mode->GetDescription(true));

    auto full = ParameterSpec::New("level", StringList);
    full->SetConstraint(
        StringEnumOf({{"zeta", "last"}, {"Alpha", "upper"}, {"beta", "middle"}, {"quiet", ""}}));
    full->SetDescription(std::string("Level%FULLENUM%end"));
    EXPECT_EQ("Level\n    Alpha: upper\n    beta: middle\n    zeta: last\nend", full->GetDescription(true));
    full->SetConstraint(StringEnumOf({{"a", ""}})); // no described values: the placeholder goes
    EXPECT_EQ("Levelend", full->GetDescription(true));

    auto count = ParameterSpec::New("count", Int);
    auto range = ParameterConstraint::New(IntRange);
    range->SetIntRange(-5, 5);
    count->SetConstraint(range);
    count->SetDescription("Count %ENUM%, %REGEX%.%FULLENUM%");
    EXPECT_EQ("Count integer in the range -5-5, integer in the range -5-5.", count->GetDescription(true));
    auto enumCount = ParameterSpec::New("count", IntList);
    auto ints = ParameterConstraint::New(IntEnum);
    ints->AddIntEnum(3);
    enumCount->SetConstraint(ints);
    enumCount->SetDescription("One of %ENUM%%FULLENUM%");
    EXPECT_EQ("One of [3]", enumCount->GetDescription(true));
}

TEST(ParameterSpecDescription, ReplacementTextIsNotExpandedAgain) {
    auto p = ParameterSpec::New("name", String);
    auto regex = ParameterConstraint::New(StringRegex);
    regex->SetStringRegex("%ENUM%");
    p->SetConstraint(regex);
    p->SetDescription("%REGEX%");
    EXPECT_EQ("a string matching the regular expression %ENUM%", p->GetDescription(true));
    // Placeholders sharing a percent sign: replacing the first consumes the second one.
    regex->SetStringRegex("x");
    p->SetDescription("%REGEX%ENUM%");
    EXPECT_EQ("a string matching the regular expression xENUM%", p->GetDescription(true));
    p->SetDescription("%REGEX%FULLENUM%");
    EXPECT_EQ("a string matching the regular expression xFULLENUM%", p->GetDescription(true));
}

TEST(ParameterSpecValidate, MessagesInValueOrder) {
    auto output = Output::New();
    auto count = ParameterSpec::New("count", Int);
    EXPECT_FALSE(count->Validate({"1", "x"}, output));
    EXPECT_EQ((std::vector<std::string>{
                  "Found multiple values for count this parameter can only accept a single value.",
                  "Invalid data 'x' for parameter count expected type Integer"}),
              output->GetErrors());

    output = Output::New();
    EXPECT_FALSE(ParameterSpec::New("ids", IntList)->Validate({"1", "x", "y"}, output));
    EXPECT_EQ((std::vector<std::string>{"Invalid data 'x' for parameter ids expected type Integer",
                                        "Invalid data 'y' for parameter ids expected type Integer"}),
              output->GetErrors());

    output = Output::New();
    EXPECT_FALSE(count->Validate({}, output));
    EXPECT_EQ(std::vector<std::string>{"Missing value for parameter count"}, output->GetErrors());

    output = Output::New();
    auto force = ParameterSpec::New("force", Flag);
    EXPECT_TRUE(force->Validate({""}, output));
    EXPECT_FALSE(force->Validate({"yes"}, output));
    EXPECT_FALSE(force->Validate({"", ""}, output));
    EXPECT_EQ((std::vector<std::string>{
                  "Invalid data 'yes' for parameter force.  This parameter is a flag and cannot accept any "
                  "values. ",
                  "Found multiple values for force this parameter can only accept a single value."}),
              output->GetErrors());

    output = Output::New();
    auto bools = ParameterSpec::New("switches", BoolList);
    EXPECT_TRUE(bools->Validate({"T", "no", "1"}, output));
    EXPECT_FALSE(bools->Validate({"y", "Yes"}, output));
    EXPECT_EQ(
        std::vector<std::string>{
            "Invalid data 'Yes' for parameter switches expected one of [1, 0, y, n, true, "
            "false, True, False, yes, no, t, f, T, F]"},
        output->GetErrors());

    output = Output::New();
    EXPECT_TRUE(ParameterSpec::New("text", String)->Validate({"anything at all"}, output));
    EXPECT_TRUE(ParameterSpec::New("texts", StringList)->Validate({"a", "", "b"}, output));
    EXPECT_FALSE(output->HasError());
    EXPECT_FALSE(count->Validate({"x"}, nullptr)); // no output to report to: still a clean failure
}

TEST(ParameterSpecValidate, ConstraintsCheckEveryTypedValue) {
    auto output = Output::New();
    auto counts = ParameterSpec::New("counts", IntList);
    auto range = ParameterConstraint::New(IntRange);
    range->SetIntRange(1, 10);
    counts->SetConstraint(range);
    // A value failing its type check never reaches the constraint.
    EXPECT_FALSE(counts->Validate({"5", "11", "x", "10", "0"}, output));
    EXPECT_EQ((std::vector<std::string>{
                  "Invalid data constraint for parameter 'counts'. Expected integer in the range 1-10",
                  "Invalid data 'x' for parameter counts expected type Integer",
                  "Invalid data constraint for parameter 'counts'. Expected integer in the range 1-10"}),
              output->GetErrors());

    output = Output::New();
    auto mode = ParameterSpec::New("mode", String);
    mode->SetConstraint(StringEnumOf({{"on", ""}, {"off", ""}}));
    EXPECT_FALSE(mode->Validate({"ON", "off"}, output));
    EXPECT_EQ((std::vector<std::string>{
                  "Found multiple values for mode this parameter can only accept a single value.",
                  "Invalid data constraint for parameter 'mode'. Expected a single value from the set [on, "
                  "off] got "
                  "'ON'"}),
              output->GetErrors());

    output = Output::New();
    auto names = ParameterSpec::New("names", StringList);
    auto regex = ParameterConstraint::New(StringRegex);
    regex->SetStringRegex("[a-z]+");
    names->SetConstraint(regex);
    EXPECT_TRUE(names->Validate({"abc", "x"}, output));
    EXPECT_FALSE(names->Validate({"ab1", "ok", "A"}, output));
    EXPECT_EQ(2u, output->GetErrors().size());
    EXPECT_EQ("Invalid data constraint for parameter 'names'. Value does not match the expected regular "
              "expression ([a-z]+)",
              output->GetErrors()[1]);
}
