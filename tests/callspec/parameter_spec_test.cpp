// Tests of ParameterSpec and its constraints: names, setters, value syntax and value checks.
#include <corvane/callspec.h>

#include "test_support.h"

#include <climits>

using namespace Corvane::CallSpec;
using Strings = std::vector<std::string>;

// Validates `values` into a fresh output, checks the result and returns the messages.
static Strings Check(const std::shared_ptr<ParameterSpec>& p, const Strings& values, bool expected) {
    auto output = Output::New();
    EXPECT_EQ(expected, p->Validate(values, output));
    return output->GetErrors();
}

// A parameter "p" of `type` constrained by `kind`, given integers, "value=description" pairs or a pattern.
static std::shared_ptr<ParameterSpec> Constrained(ParameterType type, ParameterConstraintType kind,
                                                  const Strings& values) {
    auto p = ParameterSpec::New("p", type);
    p->SetConstraint(ParameterConstraint::New(kind));
    for (const auto& value : values) {
        if (kind == IntEnum) {
            p->GetConstraint()->AddIntEnum(std::stol(value));
        } else if (kind == StringRegex) {
            p->GetConstraint()->SetStringRegex(value);
        } else {
            p->GetConstraint()->AddStringEnum(value.substr(0, value.find('=')),
                                              value.substr(value.find('=') + 1));
        }
    }
    return p;
}

TEST(ParameterSpecRules, RefusedNamesSettersAndConstraintsKeepState) {
    const std::string rule =
        "' parameter names can only contain lower-case alphanumeric characters, numbers and '-'";
    for (const std::string name : {"Dry-run", "dry_run", "", "dry run", "name\n", "caf\xc3\xa9"}) {
        EXPECT_THROW_MSG(ParameterSpec::New(name, String), "Invalid Parameter name '" + (name + rule));
    }
    auto p = ParameterSpec::New("verbose", Int);
    p->SetShortName("v");
    for (const std::string& bad : Strings{"ab", "-", "", "_", " ", "\xc3\xa9", std::string(1, '\0')}) {
        EXPECT_THROW_MSG(p->SetShortName(bad),
                         "Invalid value for shortName, must be a single character a-z, A-Z or 0-9");
    }
    EXPECT_EQ("v", p->GetShortName()); // unchanged by the refusals
    for (int t = Int; t <= BoolList; ++t) {
        EXPECT_THROW_MSG(ParameterSpec::New("pw", ParameterType(t))->SetSecret(t % 2), // true and false alike
                         "Cannot be set for parameter pw");
    }

    // Per constraint kind, per parameter type: '+' attached, '-' refused with the message.
    const std::string misfit = "Invalid constraint specified for parameter param.  The parameter constraint "
                               "specified is not allowed for a parameter of this type.";
    std::string fits;
    for (int c = None; c <= 6; ++c, fits += ' ') {
        for (int t = String; t <= BoolList; ++t) {
            p = ParameterSpec::New("param", ParameterType(t));
            try {
                p->SetConstraint(ParameterConstraint::New(ParameterConstraintType(c)));
                fits += p->GetConstraint() ? '+' : '?';
            } catch (const Corvane::CorvaneException& e) {
                fits += misfit == e.what() && !p->GetConstraint() ? '-' : '?';
            }
        }
    }
    EXPECT_EQ("------- -+---+- -+---+- +---+-- +---+-- ------- ------- ", fits);
    p = Constrained(StringList, StringRegex, {"x"});
    auto regex = p->GetConstraint();
    p->SetConstraint(nullptr); // ignored
    EXPECT_THROW(p->SetConstraint(ParameterConstraint::New(IntRange)), Corvane::CorvaneException);
    EXPECT_EQ(regex, p->GetConstraint());

    EXPECT_THROW_MSG(Constrained(String, StringEnum, {"b=", "a=ay", "a=changed"}),
                     "Duplicate Value found in ParameterConstraint::AddStringEnum: a");
    EXPECT_THROW_MSG(Constrained(Int, IntEnum, {"3", "-1"})->GetConstraint()->AddIntEnum(3),
                     "Duplicate Value found in ParameterConstraint::AddIntEnum");
}

TEST(ParameterSpecValidate, MessagesInValueOrder) {
    const std::string multiple = " this parameter can only accept a single value.";
    auto count = ParameterSpec::New("count", Int);
    EXPECT_EQ(Strings{"Missing value for parameter count"}, Check(count, {}, false));
    EXPECT_FALSE(count->Validate({"x"}, nullptr)); // nowhere to report: still a clean failure
    auto force = ParameterSpec::New("force", Flag);
    EXPECT_EQ(Strings{}, Check(force, {""}, true));
    EXPECT_EQ((Strings{"Found multiple values for force" + multiple,
                       "Invalid data 'yes' for parameter force.  This parameter is a flag and cannot accept "
                       "any values. "}),
              Check(force, {"", "yes"}, false));
    auto bools = ParameterSpec::New("switches", BoolList);
    EXPECT_EQ(Strings{}, Check(bools, {"T", "no", "1"}, true));
    EXPECT_EQ(Strings{"Invalid data 'Yes' for parameter switches expected one of [1, 0, y, n, true, false, "
                      "True, False, yes, no, t, f, T, F]"},
              Check(bools, {"y", "Yes"}, false));

    // Every value passing its type check goes to the constraint, and only those.
    const std::string bad = "Invalid data constraint for parameter 'p'. ";
    auto range = Constrained(IntList, IntRange, {});
    range->GetConstraint()->SetIntRange(1, 10);
    EXPECT_THROW_MSG(range->GetConstraint()->SetIntRange(11, 10),
                     "Invalid values for SetIntRange, constraints must have a min value <= max value");
    const std::string outside = bad + "Expected integer in the range 1-10";
    EXPECT_EQ((Strings{outside, "Invalid data 'x' for parameter p expected type Integer", outside}),
              Check(range, {"1", "10", " 7", "+3", "11", "x", "0"}, false));
    range->GetConstraint()->SetIntRange(0, LONG_MAX); // out-of-range text saturates before the comparison
    EXPECT_EQ(Strings{bad + "Expected integer in the range 0-9223372036854775807"},
              Check(range, {"99999999999999999999", "-99999999999999999999"}, false));
    auto output = Output::New(); // a constraint called directly checks the number syntax itself
    EXPECT_FALSE(range->GetConstraint()->Validate("", "p", output) ||
                 range->GetConstraint()->Validate("5 ", "p", nullptr));
    EXPECT_EQ(Strings{"Invalid data type for parameter 'p'. Expected an Integer"}, output->GetErrors());
    const std::string inSet = bad + "Expected a single value from the set ";
    EXPECT_EQ(Strings{inSet + "[3, 1]"},
              Check(Constrained(IntList, IntEnum, {"3", "1"}), {"03", "1", "2"}, false));
    EXPECT_EQ(Strings{inSet + "[] got ''"}, Check(Constrained(String, StringEnum, {}), {""}, false));
    EXPECT_EQ((Strings{inSet + "[on, off] got 'ON'", inSet + "[on, off] got 'on '"}),
              Check(Constrained(StringList, StringEnum, {"on=", "off=disable"}), {"on", "ON", "on "}, false));
    auto regex = Constrained(StringList, StringRegex, {"\\d+(-\\w+)?"}); // Perl syntax, matched in full
    const std::string noMatch = bad + "Value does not match the expected regular expression (\\d+(-\\w+)?)";
    EXPECT_EQ((Strings{noMatch, noMatch, noMatch}), Check(regex, {"123", "42-abc", "12a", "4-", ""}, false));
    // A pattern is not checked when set; compiling it at validation throws and reports nothing.
    regex->GetConstraint()->SetStringRegex("(unclosed");
    output = Output::New();
    EXPECT_THROW(regex->Validate({"x"}, output), std::runtime_error);
    EXPECT_FALSE(output->HasError());
}
