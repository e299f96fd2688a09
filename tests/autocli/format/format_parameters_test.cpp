// Tests of FormatParameters, GetIndent and AutoCli_FormatField.
#include "format_test_helpers.h"

TEST(FormatParametersTest, StoresMergesAndSplitsValues) {
    FormatParameters params;
    params.SetFormatter("simple");
    params.SetParameter("fields", "a");
    params.SetParameter(std::string("fields"), std::string("c"));
    params.SetParameter("empty", "");
    EXPECT_EQ("c", params.GetParameter("fields"));
    EXPECT_TRUE(params.HasParameter("empty"));
    EXPECT_FALSE(params.HasParameter("absent"));
    EXPECT_EQ(&params.GetParameter("absent"), &params.GetParameter("other"));
    // An unnamed other keeps the formatter name but still sets every key; nothing is removed.
    FormatParameters other = Params({{"fields", "b"}, {"new", ""}});
    params.OverrideValues(other);
    EXPECT_EQ("simple", params.GetFormatter());
    EXPECT_EQ("b", params.GetParameter("fields"));
    EXPECT_EQ(3u, params.GetParameters().size());
    other.SetFormatter("json");
    params.OverrideValues(other);
    EXPECT_EQ("json", params.GetFormatter());
    EXPECT_EQ(2u, other.GetParameters().size());

    using Items = std::vector<std::string>;
    const std::pair<const char*, Items> splits[] = {{"a, b", {"a", " b"}}, {"a,,b", {"a", "", "b"}},
                                                    {",a", {"", "a"}},     {"a,b,", {"a", "b"}},
                                                    {"a,,", {"a", ""}},    {",", {""}},
                                                    {" ", {" "}},          {"", {}}};
    for (const auto& split : splits) {
        EXPECT_EQ(split.second, Params({{"k", split.first}}).GetParameterAsList("k")) << split.first;
    }
    EXPECT_TRUE(params.GetParameterAsList("absent").empty());
    EXPECT_EQ("", GetIndent(-1));
    EXPECT_EQ("      ", GetIndent(2));
}

TEST(FormatFieldTest, PlainTextUnitsAndPrintf) {
    auto list = MetaList::New(MetaType::String);
    list->Add("a");
    list->Add("b");
    FormatParameters params = Params({{"printf:T.I", "%5ld"}, {"units:T.I", "MB"}, {"units:T.S", "MB"}});
    params.SetParameter("printf:T.B", "<%d>");
    params.SetParameter("printf:T.L", "%s");
    params.SetParameter("units:T.L", "MB");
    params.SetParameter("printf:T.N", "%ld");
    auto field = [&](const char* name, std::shared_ptr<MetaObject> value) {
        return AutoCli_FormatField("T", name, std::move(value), params);
    };
    EXPECT_EQ("NULL Object", field("I", nullptr));
    EXPECT_EQ("a, b", field("X", list));
    EXPECT_EQ("   42 MB", field("I", MetaInt::New(42)));
    EXPECT_EQ("10 MB", field("S", MetaString::New("10")));
    EXPECT_EQ("<1>", field("B", MetaBool::New(true)));
    EXPECT_EQ(" MB", field("L", list));
    EXPECT_EQ("", field("N", MetaStruct::New("Inner")));
    EXPECT_EQ("-9000000000", field("N", MetaInt::New(-9000000000L)));
    // The buffer holds format + text + 65 bytes, one of them the terminator.
    params.SetParameter("printf:T.F", "%100d");
    EXPECT_EQ(std::string(71, ' '), field("F", MetaInt::New(42)));
    // A width beyond INT_MAX makes the C library fail with EOVERFLOW; units are then left off.
    FormatParameters failing = Params({{"printf:Disk.Size", "%2147483648d"}, {"units:Disk.Size", "MB"}});
    EXPECT_EQ(
        "Error while handling formatting parameter printf:Disk.Size.  Unable to format field: Value too "
        "large for defined data type",
        AutoCli_FormatField("Disk", "Size", MetaInt::New(5), failing));
}
