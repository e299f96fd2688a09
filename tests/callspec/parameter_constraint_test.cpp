// Tests of ParameterConstraint: building rules, texts and the check of single values.
#include <corvane/callspec.h>

#include "test_support.h"

#include <climits>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Corvane::CallSpec;

TEST(ParameterConstraintText, ToStringPerType) {
    EXPECT_EQ("no constraint", ParameterConstraint::New(None)->ToString());
    auto range = ParameterConstraint::New(IntRange);
    EXPECT_EQ("integer in the range 0-0", range->ToString());
    range->SetIntRange(-5, 5);
    EXPECT_EQ("integer in the range -5-5", range->ToString());
    range->SetIntRange(LONG_MIN, LONG_MAX);
    EXPECT_EQ("integer in the range -9223372036854775808-9223372036854775807", range->ToString());

    auto ints = ParameterConstraint::New(IntEnum);
    EXPECT_EQ("[]", ints->ToString());
    ints->AddIntEnum(3);
    ints->AddIntEnum(1);
    ints->AddIntEnum(-20);
    EXPECT_EQ("[3, 1, -20]", ints->ToString()); // insertion order, not sorted

    auto strings = ParameterConstraint::New(StringEnum);
    EXPECT_EQ("[]", strings->ToString());
    strings->AddStringEnum("on", "enable");
    strings->AddStringEnum("off");
    EXPECT_EQ("[on, off]", strings->ToString()); // descriptions are not shown

    auto regex = ParameterConstraint::New(StringRegex);
    regex->SetStringRegex("[0-9]+");
    EXPECT_EQ("a string matching the regular expression [0-9]+", regex->ToString());
    EXPECT_EQ("unknown", ParameterConstraint::New(static_cast<ParameterConstraintType>(9))->ToString());

    // Fields of other types are kept but never shown.
    range->AddStringEnum("x");
    range->SetStringRegex(".*");
    EXPECT_EQ("integer in the range -9223372036854775808-9223372036854775807", range->ToString());
}

TEST(ParameterConstraintBuild, RefusedValuesLeaveTheConstraintUnchanged) {
    auto range = ParameterConstraint::New(IntRange);
    range->SetIntRange(5, 5);
    EXPECT_THROW_MSG(range->SetIntRange(6, 5),
                     "Invalid values for SetIntRange, constraints must have a min value <= max value");
    long min = 0, max = 0;
    range->GetIntRange(min, max);
    EXPECT_EQ(5, min);
    EXPECT_EQ(5, max);

    auto ints = ParameterConstraint::New(IntEnum);
    ints->AddIntEnum(3);
    ints->AddIntEnum(1);
    EXPECT_THROW_MSG(ints->AddIntEnum(3), "Duplicate Value found in ParameterConstraint::AddIntEnum");
    EXPECT_EQ((std::vector<long>{3, 1}), ints->GetIntEnum());

    auto strings = ParameterConstraint::New(StringEnum);
    strings->AddStringEnum("a");
    strings->AddStringEnum(std::string("b"), std::string("bee"));
    strings->AddStringEnum("A", "upper");
    strings->AddStringEnum(std::string("c"));
    EXPECT_THROW_MSG(strings->AddStringEnum("a"),
                     "Duplicate Value found in ParameterConstraint::AddStringEnum: a");
    // A duplicate with a new description changes neither the list nor the descriptions.
    EXPECT_THROW_MSG(strings->AddStringEnum("b", "changed"),
                     "Duplicate Value found in ParameterConstraint::AddStringEnum: b");
    EXPECT_THROW_MSG(strings->AddStringEnum("a", "late"),
                     "Duplicate Value found in ParameterConstraint::AddStringEnum: a");
    EXPECT_EQ((std::vector<std::string>{"a", "b", "A", "c"}), strings->GetStringEnum());
    EXPECT_EQ((std::map<std::string, std::string>{{"A", "upper"}, {"b", "bee"}}),
              strings->GetStringEnumWithDesc());

    auto regex = ParameterConstraint::New(StringRegex);
    regex->SetStringRegex("(unclosed");
    EXPECT_EQ("(unclosed", regex->GetStringRegex()); // not checked when set
    auto output = Output::New();
    EXPECT_THROW(regex->Validate("x", "name", output), std::runtime_error);
    EXPECT_FALSE(output->HasError());
}

TEST(ParameterConstraintValidate, IntegerRangeAndSet) {
    auto output = Output::New();
    auto range = ParameterConstraint::New(IntRange);
    range->SetIntRange(1, 10);
    for (const char* ok : {"1", "10", "5", " 7", "+3", "010"}) {
        EXPECT_TRUE(range->Validate(ok, "count", output)) << ok;
    }
    EXPECT_FALSE(output->HasError());
    EXPECT_FALSE(range->Validate("11", "count", output));
    EXPECT_FALSE(range->Validate("0", "count", output));
    EXPECT_FALSE(range->Validate("ten", "count", output));
    EXPECT_FALSE(range->Validate("5 ", "count", output));
    EXPECT_FALSE(range->Validate("", "count", output));
    EXPECT_EQ((std::vector<std::string>{
                  "Invalid data constraint for parameter 'count'. Expected integer in the range 1-10",
                  "Invalid data constraint for parameter 'count'. Expected integer in the range 1-10",
                  "Invalid data type for parameter 'count'. Expected an Integer",
                  "Invalid data type for parameter 'count'. Expected an Integer",
                  "Invalid data type for parameter 'count'. Expected an Integer"}),
              output->GetErrors());

    auto single = ParameterConstraint::New(IntRange);
    single->SetIntRange(5, 5);
    EXPECT_TRUE(single->Validate("5", "n", nullptr));
    EXPECT_FALSE(single->Validate("4", "n", nullptr));
    EXPECT_FALSE(single->Validate("6", "n", nullptr));
    // Out-of-range text saturates and is then compared with the bounds.
    auto top = ParameterConstraint::New(IntRange);
    top->SetIntRange(0, LONG_MAX);
    EXPECT_TRUE(top->Validate("99999999999999999999", "n", nullptr));
    EXPECT_FALSE(top->Validate("-99999999999999999999", "n", nullptr));

    output = Output::New();
    auto ints = ParameterConstraint::New(IntEnum);
    EXPECT_FALSE(ints->Validate("0", "level", output)); // an empty set accepts nothing
    ints->AddIntEnum(3);
    ints->AddIntEnum(1);
    EXPECT_TRUE(ints->Validate("03", "level", output));
    EXPECT_TRUE(ints->Validate("1", "level", output));
    EXPECT_FALSE(ints->Validate("2", "level", output));
    EXPECT_FALSE(ints->Validate("x", "level", output));
    EXPECT_EQ(
        (std::vector<std::string>{
            "Invalid data constraint for parameter 'level'. Expected a single value from the set []",
            "Invalid data constraint for parameter 'level'. Expected a single value from the set [3, 1]",
            "Invalid data type for parameter 'level'. Expected an Integer"}),
        output->GetErrors());
}

TEST(ParameterConstraintValidate, StringSetAndPattern) {
    auto output = Output::New();
    auto strings = ParameterConstraint::New(StringEnum);
    EXPECT_FALSE(strings->Validate("", "mode", output));
    strings->AddStringEnum("on");
    strings->AddStringEnum("off", "disable");
    EXPECT_TRUE(strings->Validate("on", "mode", output));
    EXPECT_TRUE(strings->Validate("off", "mode", output));
    EXPECT_FALSE(strings->Validate("ON", "mode", output));
    EXPECT_FALSE(strings->Validate("on ", "mode", output));
    EXPECT_EQ(
        (std::vector<std::string>{
            "Invalid data constraint for parameter 'mode'. Expected a single value from the set [] got ''",
            "Invalid data constraint for parameter 'mode'. Expected a single value from the set [on, off] "
            "got "
            "'ON'",
            "Invalid data constraint for parameter 'mode'. Expected a single value from the set [on, off] "
            "got "
            "'on '"}),
        output->GetErrors());

    output = Output::New();
    auto regex = ParameterConstraint::New(StringRegex);
    regex->SetStringRegex("[0-9]+");
    EXPECT_TRUE(regex->Validate("123", "id", output));
    EXPECT_FALSE(regex->Validate("12a", "id", output)); // a full match is required, not a search
    EXPECT_FALSE(regex->Validate("", "id", output));
    EXPECT_EQ(2u, output->GetErrors().size());
    EXPECT_EQ(
        "Invalid data constraint for parameter 'id'. Value does not match the expected regular expression "
        "([0-9]+)",
        output->GetErrors()[0]);
    regex->SetStringRegex("\\d{2}(-\\w+)?"); // Perl syntax
    EXPECT_TRUE(regex->Validate("42-abc", "id", output));
    EXPECT_FALSE(regex->Validate("4", "id", output));
    EXPECT_EQ(3u, output->GetErrors().size());

    output = Output::New();
    EXPECT_TRUE(ParameterConstraint::New(None)->Validate("anything", "x", output));
    EXPECT_FALSE(
        ParameterConstraint::New(static_cast<ParameterConstraintType>(5))->Validate("a", "x", output));
    EXPECT_FALSE(output->HasError());
}
