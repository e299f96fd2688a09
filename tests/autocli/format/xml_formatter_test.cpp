// Tests of the "xml" formatter: the document around the value, element layout and escaping.
#include "format_test_helpers.h"

static std::string Xml(const std::shared_ptr<MetaObject>& root, FormatParameters params = {}) {
    return Text(*XmlFormatter::New(), root, std::move(params));
}

TEST(XmlFormatter, Document) {
    EXPECT_EQ("a&lt;b&amp;&quot;c&quot; 50&#37; &gt; &apos;x&apos; &amp;amp;",
              SantizeString("a<b&\"c\" 50% > 'x' &amp;"));
    const std::string untouched("plain\x01\t\n\xc3\xa9\0", 9);
    EXPECT_EQ(untouched, SantizeString(untouched));

    EXPECT_EQ(XmlDocument("      <integer>-42</integer>\n"), Xml(MetaInt::New(-42)));
    EXPECT_EQ(XmlDocument("      <boolean>false</boolean>\n"), Xml(MetaBool::New(false)));
    EXPECT_EQ(XmlDocument("      <string>a&lt;b&amp;&quot;c&quot; 50&#37;</string>\n"),
              Xml(MetaString::New("a<b&\"c\" 50%")));
    EXPECT_EQ(XmlDocument(""), Xml(nullptr));
    // Every parameter is listed in key order, "stylesheet" included; the formatter name is not. The
    // stylesheet instruction carries the value unescaped.
    FormatParameters params =
        Params({{"stylesheet", "s.xsl?a=1&b=2"}, {"fields:Disk", "Size,<Name>"}, {"e", ""}});
    params.SetFormatter("xml");
    auto disk = MetaStruct::New("Disk");
    disk->SetField("In", MetaStruct::New("Inner"));
    disk->SetField("Names", std::vector<std::string>{"a'b", ""});
    disk->SetField("Size", 10);
    auto disks = MetaList::New(MetaType::Struct, disk);
    disks->Add(disk);
    EXPECT_EQ(CorvaneTest::ReadFile(CORVANE_TEST_DATA_DIR "/format/disks.xml"), Xml(disks, params));
    std::ostringstream out;
    XmlFormatter().Format(MetaList::New(MetaType::Int), out, -3);
    EXPECT_EQ("<list type=\"integer\">\n</list>\n", out.str());
}
