// Tests of FormatParameters, GetIndent and AutoCli_FormatField.
#include <corvane/format.h>

#include <corvane/metaobj.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Corvane::AutoCli;
using namespace Corvane::MetaObj;

namespace {

using Items = std::vector<std::string>;

FormatParameters ListParam(const std::string& value) {
    FormatParameters params;
    params.SetParameter("k", value);
    return params;
}

} // namespace

TEST(FormatParametersTest, StartsEmptyAndStoresValues) {
    FormatParameters params;
    EXPECT_EQ("", params.GetFormatter());
    EXPECT_TRUE(params.GetParameters().empty());

    params.SetFormatter("table");
    EXPECT_EQ("table", params.GetFormatter());
    params.SetFormatter(std::string("simple"));
    EXPECT_EQ("simple", params.GetFormatter());

    params.SetParameter("fields", "a,b");
    params.SetParameter(std::string("fields"), std::string("c"));
    EXPECT_EQ("c", params.GetParameter("fields"));
    EXPECT_EQ(1u, params.GetParameters().size());

    // Present with an empty value is still present; absent keys read as one shared empty string.
    params.SetParameter("empty", "");
    EXPECT_TRUE(params.HasParameter("empty"));
    EXPECT_FALSE(params.HasParameter("absent"));
    EXPECT_EQ("", params.GetParameter("absent"));
    EXPECT_EQ(&params.GetParameter("absent"), &params.GetParameter("other"));

    // Keys are kept in byte order: upper case before lower case.
    params.SetParameter("Zeta", "1");
    Items keys;
    for (const auto& entry : params.GetParameters()) {
        keys.push_back(entry.first);
    }
    EXPECT_EQ((Items{"Zeta", "empty", "fields"}), keys);
}

TEST(FormatParametersTest, OverrideValuesMergesWithoutRemoving) {
    FormatParameters mine;
    mine.SetFormatter("simple");
    mine.SetParameter("fields", "a");
    mine.SetParameter("only-mine", "x");

    FormatParameters unnamed;
    unnamed.SetParameter("fields", "b");
    unnamed.SetParameter("new", "");
    mine.OverrideValues(unnamed);
    EXPECT_EQ("simple", mine.GetFormatter());
    EXPECT_EQ("b", mine.GetParameter("fields"));
    EXPECT_EQ("x", mine.GetParameter("only-mine"));
    EXPECT_TRUE(mine.HasParameter("new"));

    FormatParameters named;
    named.SetFormatter("json");
    mine.OverrideValues(named);
    EXPECT_EQ("json", mine.GetFormatter());
    EXPECT_EQ(3u, mine.GetParameters().size());
    // The other object is not changed by the merge.
    EXPECT_EQ(2u, unnamed.GetParameters().size());
}

TEST(FormatParametersTest, ListSplitKeepsInnerEmptyItemsButNotTheFinalOne) {
    EXPECT_EQ((Items{"a", " b"}), ListParam("a, b").GetParameterAsList("k"));
    EXPECT_EQ((Items{"a", "", "b"}), ListParam("a,,b").GetParameterAsList("k"));
    EXPECT_EQ((Items{"", "a"}), ListParam(",a").GetParameterAsList("k"));
    EXPECT_EQ((Items{"a", "b"}), ListParam("a,b,").GetParameterAsList("k"));
    EXPECT_EQ((Items{"a", ""}), ListParam("a,,").GetParameterAsList("k"));
    EXPECT_EQ((Items{""}), ListParam(",").GetParameterAsList("k"));
    EXPECT_EQ((Items{" "}), ListParam(" ").GetParameterAsList("k"));
    EXPECT_TRUE(ListParam("").GetParameterAsList("k").empty());
    EXPECT_TRUE(ListParam("a").GetParameterAsList("absent").empty());
}

TEST(FormatParametersTest, IndentIsThreeSpacesPerLevel) {
    EXPECT_EQ("", GetIndent(0));
    EXPECT_EQ("", GetIndent(-1));
    EXPECT_EQ("   ", GetIndent(1));
    EXPECT_EQ("      ", GetIndent(2));
}

TEST(FormatFieldTest, PlainTextUnitsAndPrintf) {
    FormatParameters none;
    EXPECT_EQ("NULL Object", AutoCli_FormatField("T", "F", nullptr, none));
    EXPECT_EQ("-7", AutoCli_FormatField("T", "F", MetaInt::New(-7), none));
    EXPECT_EQ("false", AutoCli_FormatField("T", "F", MetaBool::New(false), none));
    auto list = MetaList::New(MetaType::String);
    list->Add("a");
    list->Add("b");
    EXPECT_EQ("a, b", AutoCli_FormatField("T", "F", list, none));

    FormatParameters params;
    params.SetParameter("printf:T.F", "%5ld");
    EXPECT_EQ("   42", AutoCli_FormatField("T", "F", MetaInt::New(42), params));
    params.SetParameter("units:T.F", "MB");
    EXPECT_EQ("   42 MB", AutoCli_FormatField("T", "F", MetaInt::New(42), params));
    // Keys of another type or field do not apply.
    EXPECT_EQ("42", AutoCli_FormatField("T", "G", MetaInt::New(42), params));
    EXPECT_EQ("42", AutoCli_FormatField("U", "F", MetaInt::New(42), params));

    FormatParameters units;
    units.SetParameter("units:T.F", "MB");
    EXPECT_EQ("10 MB", AutoCli_FormatField("T", "F", MetaString::New("10"), units));
    EXPECT_EQ(" MB", AutoCli_FormatField("T", "F", MetaString::New(), units));

    FormatParameters typed;
    typed.SetParameter("printf:T.B", "<%d>");
    typed.SetParameter("printf:T.S", "[%-4s]");
    typed.SetParameter("printf:T.L", "%s");
    typed.SetParameter("units:T.L", "MB");
    typed.SetParameter("printf:T.N", "%x");
    EXPECT_EQ("<1>", AutoCli_FormatField("T", "B", MetaBool::New(true), typed));
    EXPECT_EQ("<0>", AutoCli_FormatField("T", "B", MetaBool::New(false), typed));
    EXPECT_EQ("[ab  ]", AutoCli_FormatField("T", "S", MetaString::New("ab"), typed));
    EXPECT_EQ(" MB", AutoCli_FormatField("T", "L", list, typed));
    EXPECT_EQ("", AutoCli_FormatField("T", "N", MetaStruct::New("Inner"), typed));
    EXPECT_EQ("ff", AutoCli_FormatField("T", "N", MetaInt::New(255), typed));
    // Large values go through as 64-bit integers.
    typed.SetParameter("printf:T.N", "%ld");
    EXPECT_EQ("-9000000000", AutoCli_FormatField("T", "N", MetaInt::New(-9000000000L), typed));
}

TEST(FormatFieldTest, PrintfResultIsBoundedByTheBuffer) {
    // Buffer: 5 (format) + 2 (text "42") + 65 bytes, so 71 bytes of the 100 produced remain.
    FormatParameters params;
    params.SetParameter("printf:T.F", "%100d");
    EXPECT_EQ(std::string(71, ' '), AutoCli_FormatField("T", "F", MetaInt::New(42), params));

    params.SetParameter("printf:T.F", "%-80s|");
    const std::string text = AutoCli_FormatField("T", "F", MetaString::New("abc"), params);
    EXPECT_EQ(6u + 3u + 65u - 1u, text.size());
    EXPECT_EQ("abc" + std::string(70, ' '), text);
}

TEST(FormatFieldTest, FailingPrintfGivesTheErrorTextWithoutUnits) {
    // A field width beyond INT_MAX makes the C library fail with EOVERFLOW.
    FormatParameters params;
    params.SetParameter("printf:Disk.Size", "%2147483648d");
    params.SetParameter("units:Disk.Size", "MB");
    EXPECT_EQ(
        "Error while handling formatting parameter printf:Disk.Size.  Unable to format field: Value too "
        "large for defined data type",
        AutoCli_FormatField("Disk", "Size", MetaInt::New(5), params));
}
