// Tests of FormatParameters and AutoCli_FormatField.
#include "format_test_helpers.h"

#include <tuple>

TEST(FormatParametersTest, MergesAndSplitsValues) {
    using Items = std::vector<std::string>;
    const std::pair<const char*, Items> splits[] = {{"a, b", {"a", " b"}}, {"a,,b", {"a", "", "b"}},
                                                    {",a", {"", "a"}},     {"a,b,", {"a", "b"}},
                                                    {"a,,", {"a", ""}},    {",", {""}},
                                                    {" ", {" "}},          {"", {}}};
    for (const auto& split : splits) {
        EXPECT_EQ(split.second, Params({{"k", split.first}}).GetParameterAsList("k")) << split.first;
    }
    EXPECT_TRUE(FormatParameters().GetParameterAsList("absent").empty());
}

TEST(FormatFieldTest, TextUnitsAndFailingFormats) {
    auto list = MetaList::New(MetaType::String);
    list->Add("a");
    list->Add("b");
    FormatParameters params = Params({{"printf:T.I", "%5ld"}, {"units:T.I", "MB"}, {"units:T.S", "MB"}});
    params.SetParameter("printf:T.L", "%s");
    params.SetParameter("units:T.L", "MB");
    params.SetParameter("printf:T.F", "%100d");
    params.SetParameter("printf:T.N", "%ld");
    auto field = [&](const char* name, std::shared_ptr<MetaObject> value) {
        return AutoCli_FormatField("T", name, std::move(value), params);
    };
    EXPECT_EQ("NULL Object", field("I", nullptr));
    EXPECT_EQ("a, b", field("X", list));
    EXPECT_EQ("   42 MB", field("I", MetaInt::New(42)));
    EXPECT_EQ("10 MB", field("S", MetaString::New("10")));
    // A printf format gives structures and lists the empty text, whatever it holds.
    EXPECT_EQ(" MB", field("L", list));
    EXPECT_EQ("", field("N", MetaStruct::New("Inner")));
    // The buffer holds format + text + 65 bytes, one of them the terminator.
    EXPECT_EQ(std::string(71, ' '), field("F", MetaInt::New(42)));
    // A width beyond INT_MAX makes the C library fail with EOVERFLOW; units are then left off.
    FormatParameters failing = Params({{"printf:Disk.Size", "%2147483648d"}, {"units:Disk.Size", "MB"}});
    EXPECT_EQ(
        "Error while handling formatting parameter printf:Disk.Size.  Unable to format field: Value too "
        "large for defined data type",
        AutoCli_FormatField("Disk", "Size", MetaInt::New(5), failing));
}

TEST(FormatFieldTest, PrintfFormatIsCheckedAgainstTheValue) {
    const std::shared_ptr<MetaObject> big = MetaInt::New(5000000000L), minusOne = MetaInt::New(-1),
                                      zero = MetaInt::New(0), on = MetaBool::New(true),
                                      text = MetaString::New("ab");
    // Formats that fit their value print what the C library prints for the argument of the
    // conversion's size: an integer without length modifier is cut to an int.
    const std::tuple<const char*, std::shared_ptr<MetaObject>, std::string> fitting[] = {
        {"%d", big, "705032704"},
        {"%ld", big, "5000000000"},
        {"%lli", big, "5000000000"},
        {"%u", minusOne, "4294967295"},
        {"%lx", minusOne, "ffffffffffffffff"},
        {"%llo", MetaInt::New(8), "10"},
        {"[%-+6d] %%", MetaInt::New(42), "[+42   ] %"},
        {"%#X", MetaInt::New(255), "0XFF"},
        {"% '08.3ld", MetaInt::New(-7), "    -007"},
        {"%.d", zero, ""},
        {"%05ld%%", zero, "00000%"},
        {"%c", on, "\x01"},
        {"<%d>", on, "<1>"},
        {"%x", MetaBool::New(false), "0"},
        {"%5s|", text, "   ab|"},
        {"%.1s", text, "a"},
    };
    // Everything else is refused before the C library sees it.
    const std::tuple<const char*, std::shared_ptr<MetaObject>, std::string> refused[] = {
        {"%s", big, "the format does not fit an integer value"},
        {"%n", big, "the format does not fit an integer value"},
        {"%p", big, "the format does not fit an integer value"},
        {"%5.1f", big, "the format does not fit an integer value"},
        {"%hd", big, "the format does not fit an integer value"},
        {"%lld", on, "the format does not fit a boolean value"},
        {"%s", on, "the format does not fit a boolean value"},
        {"%d", text, "the format does not fit a string value"},
        {"%ls", text, "the format does not fit a string value"},
        {"%1$d", big, "the format does not fit an integer value"},
        {"%ld%ld", big, "the format has more than one conversion"},
        {"%s%n", text, "the format has more than one conversion"},
        {"%*d", big, "the format takes a width or precision from the argument list"},
        {"%.*s", text, "the format takes a width or precision from the argument list"},
        {"100%%", big, "the format has no conversion"},
        {"", text, "the format has no conversion"},
        {"%", big, "the format ends inside a conversion"},
        {"%-08.", on, "the format ends inside a conversion"},
    };
    for (const auto& [format, value, expected] : fitting) {
        FormatParameters params = Params({{"printf:T.F", format}});
        EXPECT_EQ(expected, AutoCli_FormatField("T", "F", value, params)) << format;
    }
    for (const auto& [format, value, reason] : refused) {
        // Units are left off, as for a failing format.
        FormatParameters params = Params({{"printf:T.F", format}, {"units:T.F", "MB"}});
        EXPECT_EQ("Error while handling formatting parameter printf:T.F.  Unable to format field: " + reason,
                  AutoCli_FormatField("T", "F", value, params))
            << format;
    }
}
