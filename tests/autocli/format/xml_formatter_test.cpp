// Tests of the "xml" formatter: the document around the value, element layout and escaping.
#include <corvane/callspec.h>
#include <corvane/format.h>
#include <corvane/metaobj.h>
#include <corvane/xmlutil.h>

#include "test_support.h"

#include <sstream>
#include <string>

using Corvane::AutoCli::DisplayContext;
using Corvane::AutoCli::FormatParameters;
using Corvane::AutoCli::SantizeString;
using Corvane::AutoCli::XmlFormatter;
using Corvane::CallSpec::Output;
using namespace Corvane::MetaObj;

namespace {

const std::string kHead = "<?xml version=\"1.0\"?>\n";
const std::string kOutputTag =
    "<output xmlns:varnok=\"http://corvane.invalid/Products/Tarnos/5.0/varnok\">\n";
const std::string kTail = "   </root>\n</output>\n";

std::string FormatRoot(const std::shared_ptr<MetaObject>& root,
                       FormatParameters params = FormatParameters()) {
    auto output = Output::New();
    output->SetRootObject(root);
    DisplayContext context;
    std::ostringstream out;
    EXPECT_TRUE(XmlFormatter::New()->Format(output, params, context, out));
    return out.str();
}

// The document of a call without format parameters, around the value's element lines.
std::string Plain(const std::string& elements) {
    return kHead + kOutputTag + "   <meta-data>\n   </meta-data>\n   <root>\n" + elements + kTail;
}

std::string Element(const std::shared_ptr<MetaObject>& value, int level) {
    std::ostringstream out;
    XmlFormatter::New()->Format(value, out, level);
    return out.str();
}

class Impostor : public MetaObject {
public:
    explicit Impostor(MetaType type) : MetaObject(type) {}
    std::string ToString() const override { return "impostor"; }
};

} // namespace

TEST(XmlFormatter, Declaration) {
    auto formatter = XmlFormatter::New();
    EXPECT_EQ("xml", formatter->GetName());
    EXPECT_EQ("Print an XML document to the screen representing the output for a given command",
              formatter->GetDescription());
    ASSERT_EQ(1u, formatter->GetParams().size());
    EXPECT_EQ("stylesheet", formatter->GetParams()[0].name);
    EXPECT_EQ("The file name or URL to a stylesheet for this document.  ",
              formatter->GetParams()[0].description);
    EXPECT_FALSE(formatter->GetParams()[0].marked);
}

TEST(XmlFormatter, SantizeString) {
    EXPECT_EQ("a&lt;b&amp;&quot;c&quot;", SantizeString("a<b&\"c\""));
    EXPECT_EQ("50&#37; &gt; &apos;x&apos;", SantizeString("50% > 'x'"));
    EXPECT_EQ("&amp;amp;", SantizeString("&amp;"));
    EXPECT_EQ("", SantizeString(""));
    const std::string untouched("plain\x01\t\n\xc3\xa9\0", 9);
    EXPECT_EQ(untouched, SantizeString(untouched));
}

TEST(XmlFormatter, Document) {
    EXPECT_EQ(Plain("      <integer>42</integer>\n"), FormatRoot(MetaInt::New(42)));
    EXPECT_EQ(Plain("      <boolean>false</boolean>\n"), FormatRoot(MetaBool::New(false)));
    EXPECT_EQ(Plain("      <string>a&lt;b&amp;&quot;c&quot; 50&#37;</string>\n"),
              FormatRoot(MetaString::New("a<b&\"c\" 50%")));

    // Every parameter is listed in key order, "stylesheet" included; the formatter name is not.
    FormatParameters params;
    params.SetFormatter("xml");
    params.SetParameter("stylesheet", "s.xsl?a=1&b=2");
    params.SetParameter("fields:Disk", "Size,<Name>");
    params.SetParameter("empty", "");
    auto disk = MetaStruct::New("Disk");
    disk->SetField("Size", 10);
    auto disks = MetaList::New(MetaType::Struct, disk);
    disks->Add(disk);
    EXPECT_EQ(kHead + "<?xml-stylesheet type=\"text/xsl\" href=\"s.xsl?a=1&b=2\"?>\n" + kOutputTag +
                  "   <meta-data>\n"
                  "      <meta-data-field name=\"empty\" value=\"\"/>\n"
                  "      <meta-data-field name=\"fields:Disk\" value=\"Size,&lt;Name&gt;\"/>\n"
                  "      <meta-data-field name=\"stylesheet\" value=\"s.xsl?a=1&amp;b=2\"/>\n"
                  "   </meta-data>\n"
                  "   <root>\n"
                  "      <list type=\"structure\">\n"
                  "            <structure typeName=\"Disk\">\n"
                  "               <field name=\"Size\">\n"
                  "                  <integer>10</integer>\n"
                  "               </field>\n"
                  "            </structure>\n"
                  "      </list>\n" +
                  kTail,
              FormatRoot(disks, params));

    // A missing root leaves the root element empty rather than breaking the document.
    EXPECT_EQ(Plain(""), FormatRoot(nullptr));
}

TEST(XmlFormatter, Elements) {
    auto outer = MetaStruct::New("Outer");
    auto inner = MetaStruct::New("Inner");
    inner->SetField("b", true);
    outer->SetField("z", "last");
    outer->SetField("In", inner);
    outer->SetField("Names", std::vector<std::string>{"a'b", ""});
    EXPECT_EQ("      <structure typeName=\"Outer\">\n"
              "         <field name=\"In\">\n"
              "            <structure typeName=\"Inner\">\n"
              "               <field name=\"b\">\n"
              "                  <boolean>true</boolean>\n"
              "               </field>\n"
              "            </structure>\n"
              "         </field>\n"
              "         <field name=\"Names\">\n"
              "            <list type=\"string\">\n"
              "                  <string>a&apos;b</string>\n"
              "                  <string></string>\n"
              "            </list>\n"
              "         </field>\n"
              "         <field name=\"z\">\n"
              "            <string>last</string>\n"
              "         </field>\n"
              "      </structure>\n",
              Element(outer, 2));

    EXPECT_EQ("      <list type=\"integer\">\n      </list>\n", Element(MetaList::New(MetaType::Int), 2));
    EXPECT_EQ("<list type=\"boolean\">\n</list>\n", Element(MetaList::New(MetaType::Bool), 0));
    EXPECT_EQ("<structure typeName=\"E\">\n</structure>\n", Element(MetaStruct::New("E"), -3));
}

TEST(XmlFormatter, ValuesOfAForeignClass) {
    EXPECT_EQ("   <!-- Error reading a bool -->\n", Element(std::make_shared<Impostor>(MetaType::Bool), 1));
    EXPECT_EQ("   Error reading a int\n", Element(std::make_shared<Impostor>(MetaType::Int), 1));
    EXPECT_EQ("   Error reading a string\n", Element(std::make_shared<Impostor>(MetaType::String), 1));
    EXPECT_EQ("   Error reading a struct from output.\n",
              Element(std::make_shared<Impostor>(MetaType::Struct), 1));
    EXPECT_EQ("   Error reading a List\n", Element(std::make_shared<Impostor>(MetaType::List), 1));
    EXPECT_EQ("   Error Only simple int, bool, string and struct output supported\n",
              Element(std::make_shared<Impostor>(static_cast<MetaType>(5)), 1));
}

TEST(XmlFormatter, StringsSurviveTheReader) {
    // The writer's string elements are read back unchanged by the output document reader.
    const std::string text = "a<b>&c \"d\" 'e' 50% \xc3\xa9\ttab";
    const std::string document = FormatRoot(MetaString::New(text));
    const std::string begin = "<string>";
    const size_t from = document.find(begin);
    const size_t to = document.find("</string>");
    ASSERT_NE(std::string::npos, from);
    ASSERT_NE(std::string::npos, to);
    auto value = std::dynamic_pointer_cast<MetaString>(Corvane::AutoCli::XmlUtil_ParseXmlOutput(
        "<output>" + document.substr(from, to + 9 - from) + "</output>"));
    ASSERT_TRUE(value);
    EXPECT_EQ(text, value->GetValue());
}
