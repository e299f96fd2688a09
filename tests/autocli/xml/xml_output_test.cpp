// Tests of the XML output document reader and the element helpers.
#include <corvane/xmlutil.h>

#include "test_support.h"

#include <boost/algorithm/string/replace.hpp>

#include <dlfcn.h>

#include <chrono>

using namespace Corvane::AutoCli;
using namespace Corvane::MetaObj;

namespace {

const std::string kWrap =
    "Error parsing command output.  Unable to build a proper metaobject from output tag.  output "
    "must contain properly formatted tags of type bool, int, string, structure and list. Error was : ";

// A canonical text of a value: kinds, type names, list prototypes and values.
std::string Dump(const std::shared_ptr<MetaObject>& value) {
    std::string text;
    if (auto record = std::dynamic_pointer_cast<MetaStruct>(value)) {
        for (const auto& name : record->GetFieldNames()) {
            text += name + "=" + Dump(record->GetField(name)) + ";";
        }
        return record->GetTypeName() + "{" + text + "}";
    }
    if (auto list = std::dynamic_pointer_cast<MetaList>(value)) {
        for (const auto& item : list->GetObjects()) {
            text += Dump(item) + ",";
        }
        return MetaTypeString(list->GetListType()) + "<" + Dump(list->GetListStructure()) + ">[" + text + "]";
    }
    return value ? MetaTypeString(value->GetType()) + ":" + value->ToString() : "null";
}

// The Dump of what `build` gives, or "E:" and the message without the reader's wrapping.
std::string Outcome(const std::function<std::shared_ptr<MetaObject>()>& build) {
    try {
        return Dump(build());
    } catch (const Corvane::CorvaneException& e) {
        const std::string message = e.what();
        return "E:" + message.substr(message.rfind(kWrap, 0) == 0 ? kWrap.size() : 0);
    }
}

std::string Read(const std::string& doc) {
    return Outcome([&] { return XmlUtil_ParseXmlOutput(doc); });
}

std::string Repeat(const std::string& piece, int count) {
    return boost::replace_all_copy(std::string(count, '.'), ".", piece);
}

// Rows are "document => Outcome"; nothing may be printed, and nothing may take long.
void ExpectRows(const std::vector<std::string>& rows, const std::string& before, const std::string& after) {
    for (const auto& row : rows) {
        const auto arrow = row.find(" => ");
        const std::string doc = std::string(before).append(row, 0, arrow).append(after);
        const auto start = std::chrono::steady_clock::now();
        const auto printed = CorvaneTest::CaptureOutErr(
            [&] { EXPECT_EQ(row.substr(arrow + 4), Read(doc)) << doc.substr(0, 99); });
        EXPECT_EQ("", printed.out + printed.err);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
}

// libxml2, the instance the library loads, for whole trees: this suite does not compile against
// libxml2's headers.
template <class F> F* Xml(const char* name) {
    static void* lib = dlopen("libxml2.so.2", RTLD_NOW);
    return reinterpret_cast<F*>(dlsym(lib, name));
}
using XmlDoc = std::unique_ptr<void, void (*)(void*)>;
XmlDoc ReadTree(const std::string& text, int options = 1 << 5 | 1 << 6 | 1 << 11) { // quiet, no network
    auto read = Xml<void*(const char*, int, const char*, const char*, int)>("xmlReadMemory");
    return XmlDoc(read(text.data(), static_cast<int>(text.size()), "t", nullptr, options),
                  Xml<void(void*)>("xmlFreeDoc"));
}
xmlNode* Root(const XmlDoc& doc) {
    return doc ? Xml<xmlNode*(void*)>("xmlDocGetRootElement")(doc.get()) : nullptr;
}

// Value elements, good and bad, each with its Outcome as the whole of a document.
// clang-format off
const std::string badInt = "E:Unable to read an int value from: '", noName = "E:Invalid <field> tag found.  <field> requires a 'name' attribute.";
const std::string tag = "E:Unable to make a MetaObject from a node with tag '", cdata = "E:Trying to make a meta object from a CDATA section";
const std::string badList = "E:Invalid list type attribute.  Must be one of [string, int, bool, structure, list]";
const std::vector<std::string> kValues = {
    // The last content-carrying child gives the text: a trailing comment replaces it, CDATA counts.
    "<string>a&lt;b&amp;c</string> => String:a<b&c", "<string>abc<!--note--></string> => String:note", "<string><![CDATA[<r>]]></string> => String:<r>",
    "<int>42abc</int> => Int:42", "<int>0x10</int> => Int:0", "<int> \t\n-17</int> => Int:-17", "<int>+5</int> => Int:5",
    "<int/> => Int:0", "<int>9223372036854775807</int> => Int:9223372036854775807", "<int>-9223372036854775808</int> => Int:-9223372036854775808",
    "<int>abc</int> => " + badInt + "abc'", "<int>-</int> => " + badInt + "-'", "<int> </int> => " + badInt + " '",
    "<int>9223372036854775808</int> => " + badInt + "9223372036854775808'", "<int>-9223372036854775809</int> => " + badInt + "-9223372036854775809'",
    "<bool></bool> => Bool:true", "<bool>False</bool> => Bool:true", "<bool>false</bool> => Bool:false",
    "<bool>f</bool> => Bool:false", "<bool>0</bool> => Bool:false",
    // Only text and comments (and elements named text) come before the value; later children are ignored.
    "\n <!-- c -->\n<text>1</text><string>x</string><integer>1</integer> => String:x", "\n   \n => null", "<!-- c -->text => null", " => null",
    R"(<structure typeName="Disk"><field name="Z"><int>3</int></field> <field name="a"><!-- c --> <string>a</string><int>9</int></field>)"
        R"(<field name="Empty">text</field><other name="X"><int>1</int></other><field name="N"><structure typeName="In"><field name="B">)"
        R"(<bool>0</bool></field></structure></field><field name="Z"><string>s</string></field></structure> => )"
        "Disk{N=In{B=Bool:false;};Z=String:s;a=String:a;}",
    R"(<structure typeName="T"><field><int>1</int></field></structure> => )" + noName, R"(<structure typeName="T"><field name=""/></structure> => )" + noName,
    R"(<structure><field name="a"/></structure> => E:Invalid name specified for MetaStruct: )",
    R"(<list type="string"> <string>a</string><!--c--><string>b</string></list> => String<null>[String:a,String:b,])",
    R"(<list type="bool"><bool>f</bool><bool/></list> => Bool<null>[Bool:false,Bool:true,])", R"(<list type="int"/> => Int<null>[])",
    // The first element is also the prototype.
    R"(<list type="structure"><structure typeName="Pet"><field name="N"><int>1</int></field></structure><structure typeName="Other">)"
        R"(<field name="N"><int>2</int></field></structure></list> => Struct<Pet{N=Int:1;}>[Pet{N=Int:1;},Other{N=Int:2;},])",
    R"(<list type="structure"></list> => Struct<null>[])", R"(<list type="integer"><int>1</int></list> => )" + badList, "<list/> => " + badList,
    "<integer>1</integer> => " + tag + "integer'", "<String>x</String> => " + tag + "String'",
    "<?target data?> => " + tag + "target'", "<![CDATA[<string>x</string>]]> => " + cdata, R"(<list type="string"><![CDATA[x]]></list> => )" + cdata,
    // Names as the tree holds them: a bound prefix drops out, an unbound one stays; references in attributes.
    R"(<s:structure xmlns:s="u" typeName="N"><s:field s:name="a"><s:int>1</s:int></s:field></s:structure> => N{a=Int:1;})",
    "<p:string>x</p:string> => " + tag + "p:string'", R"(<structure typeName="T"><field p:name="a"><int>1</int></field></structure> => )" + noName,
    R"(<structure typeName="A&#66;"/> => AB{})", R"(<structure typeName="A&amp;B"/> => E:Invalid name specified for MetaStruct: A&B)",
    "<string>a<!--c-->b&#65;c</string> => String:bAc", "<int>1<x>3</x>2<!--7--></int> => Int:7", "<string>a<b>zz</b></string> => String:a",
    // A nested list of structures in the first element, which is copied as the prototype; refused items.
    R"(<list type="structure"><structure typeName="P"><field name="L"><list type="structure"><structure typeName="Q"><field name="v"><int>1</int></field></structure></list></field></structure></list> => )"
        "Struct<P{L=Struct<Q{v=Int:1;}>[Q{v=Int:1;},];}>[P{L=Struct<Q{v=Int:1;}>[Q{v=Int:1;},];},]",
    R"(<list type="structure"><structure typeName="P"><field name="a"><int>1</int></field></structure><structure typeName="P"><field name="b"><int>1</int></field></structure></list> => )"
        "E:Invalid structure detected by MetaList::Add.  Type Errors were: (2) : Missing field in input: a, There was an error adding an "
        "item to this list.  The item being added did not match the declared structure of this list, so it was not added.",
    // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): the last case of this line goes on below
    R"(<list type="list"><list type="int"/></list> => E:Struct type expected for list.)", R"(<list type="structure"><string>x</string></list> => )"
        "E:Invalid type specificed in MetaList.  Expected object of type Struct got object of type String", R"(<list type="list"/> => E:Struct type expected for list.)"};
// clang-format on

} // namespace

TEST(XmlOutputReader, ValuesAndMessages) {
    ExpectRows(kValues, "<o>", "</o>");
    // The whole-tree builder gives the same for every row that starts with its value element.
    for (const auto& row : kValues) {
        const auto arrow = row.find(" => ");
        if (row[0] == '<' && row[1] != '!' && row[1] != '?') {
            auto tree = ReadTree("<o>" + row.substr(0, arrow) + "</o>");
            xmlNode* first = Xml<xmlNode*(xmlNode*)>("xmlFirstElementChild")(Root(tree));
            EXPECT_EQ(row.substr(arrow + 4), Outcome([&] { return XmlUtil_BuildMetaObject(first); })) << row;
        }
    }
    // Any root name; white space kept.
    EXPECT_EQ("String:  abc \n", Read("<?xml version=\"1.0\"?><any><string>  abc \n</string></any>"));
}

TEST(XmlOutputReader, ListPrototypeIsARecordOfItsOwn) {
    auto list = std::dynamic_pointer_cast<MetaList>(XmlUtil_ParseXmlOutput(
        R"(<o><list type="structure"><structure typeName="P"><field name="a"><int>1</int></field></structure></list></o>)"));
    ASSERT_TRUE(list);
    // The first item is not locked, and changing it leaves the locked prototype as it was.
    std::dynamic_pointer_cast<MetaStruct>(list->GetItem(0))->RemoveField("a");
    EXPECT_EQ("Struct<P{a=Int:1;}>[P{},]", Dump(list));
    EXPECT_THROW_MSG(list->GetListStructure()->RemoveField("a"),
                     "Structure is locked, unable to remove fields");
}

TEST(XmlOutputReader, HostileDocumentsYieldNothingOrAMessageQuickly) {
    std::string laughs = "<!DOCTYPE o [<!ENTITY l0 'lol'>", many, quoted;
    for (int level = 1; level <= 9; ++level) {
        laughs += "<!ENTITY l" + std::to_string(level) + " '" +
                  Repeat("&l" + std::to_string(level - 1) + ";", 10) + "'>";
    }
    for (int i = 0; i < 200000; ++i) {
        many += " a" + std::to_string(i) + "=''";
        quoted += i < 256 ? " a" + std::to_string(i) + "='='" : "";
    }
    const std::string eq = Repeat("=", 1000),
                      passwd = "<!DOCTYPE o [<!ENTITY x SYSTEM 'file:///etc/passwd'>]><o>", big(5000000, 'A');
    // clang-format off
    ExpectRows({
        // Not well-formed, truncated or beyond libxml2's limits: no value and no message.
        "not xml => null", "<o><string>abc</string> => null", "<o><string>abc</o> => null", "<a/><b/> => null",
        std::string("<o><string>a\0b</string></o>", 27) + " => null", "<o>" + Repeat("<list type='int'>", 300) + Repeat("</list>", 300) + "</o> => null",
        laughs + "]><o><string>&l9;</string></o> => null", laughs + "]><o><structure typeName='&l9;'/></o> => null",
        "<o><structure typeName='" + big + big + big + "'/></o> => null",
        // A 10 kB entity 2000 times in one attribute would grow to 20 MB by repeated concatenation.
        "<!DOCTYPE o [<!ENTITY b '" + std::string(10000, 'B') + "'>]><o><structure typeName='" + Repeat("&b;", 2000) +
            "'/></o> => E:Unable to read attribute 'typeName': its entity references expand to more than 10000000 bytes",
        // libxml2 checks attributes pairwise: very many are refused at once; 256 are read as usual, and '=' in
        // values, text, comments, CDATA and declarations counts for nothing.
        "<o><string" + many + ">x</string></o> => null", "<o><string" + quoted + " z='1'>x</string></o> => null",
        "<!DOCTYPE o [<!ENTITY e '" + eq + "'><!-- ' -->]><o b='" + eq + "'><!--" + eq + "--><string" + quoted + "><?p " + eq + "?><![CDATA[" + eq +
            "]]>x" + eq + "</string></o> => String:x" + eq,
        // External entities and DTDs are neither fetched nor read; internal entities are no values.
        passwd + "&x;</o> => E:Unable to make a MetaObject from a node with tag 'x'", passwd + "<string>&x;</string></o> => String:",
        "<!DOCTYPE o SYSTEM 'http://127.0.0.1:9/o.dtd'><o><string>a</string></o> => String:a",
        "<!DOCTYPE o [<!ENTITY e '<string>x</string>'>]><o>&e;</o> => E:Unable to make a MetaObject from a node with tag 'e'",
        // Within the limits: 120 nested structures and a 5 MB attribute are read whole.
        "<o>" + Repeat("<structure typeName='D'><field name='f'>", 120) + "<int>5</int>" + Repeat("</field></structure>", 120) + "</o> => " +
            Repeat("D{f=", 120) + "Int:5" + Repeat(";}", 120),
        "<o><structure typeName='" + big + "'/></o> => " + big + "{}"},
        "", "");
    // clang-format on
}

TEST(XmlElementHelpers, BuildersOnWholeTrees) {
    // Builders report their own messages unwrapped.
    EXPECT_THROW_MSG(XmlUtil_BuildMetaObject(nullptr), "Unable to make a MetaObject from a missing node");
    EXPECT_THROW_MSG(BuildMetaList(nullptr), "Unable to make a MetaObject from a missing node");
    // A tree deeper than libxml2 allows by default (XML_PARSE_HUGE) hits the builder's own guard, not the
    // stack's end.
    auto deep = ReadTree(Repeat("<structure typeName='D'><field name='f'>", XmlUtil_MaxValueDepth + 10) +
                             "<int>1</int>" + Repeat("</field></structure>", XmlUtil_MaxValueDepth + 10),
                         1 << 5 | 1 << 6 | 1 << 19);
    EXPECT_THROW_MSG(XmlUtil_BuildMetaObject(Root(deep)),
                     "Unable to make a MetaObject from elements nested deeper than 512 levels");
}

namespace {

std::string handlerSaw;
void Collect(void*, const char* format, ...) {
    handlerSaw += format;
}

} // namespace

TEST(XmlOutputReader, TextsUpToTheBoundAndLibxml2HandlersLeftAsTheyWere) {
    // A handler the embedding program installed sees nothing of the reader's documents and is in place
    // afterwards.
    Xml<void(void*, void (*)(void*, const char*, ...))>("xmlSetGenericErrorFunc")(nullptr, Collect);
    // 40 MB of plain, multi-byte and escaped text: libxml2 hands each kind over in its own pieces.
    std::string expected, large = "<?xml version=\"1.0\"?>\n<output><string>";
    for (int i = 0; expected.size() < 40000000; ++i) {
        expected += std::string(40, static_cast<char>('a' + i % 26)) + "\xc3\xa9 & <\n";
        large += std::string(40, static_cast<char>('a' + i % 26)) + "\xc3\xa9 &amp; &lt;\n";
    }
    std::string doc = "<o><string>" + std::string(XmlUtil_MaxTextBytes + 1, 'x') + "</string></o>";
    const auto printed = CorvaneTest::CaptureOutErr([&] {
        auto value =
            std::dynamic_pointer_cast<MetaString>(XmlUtil_ParseXmlOutput(large + "</string></output>\n"));
        ASSERT_TRUE(value);
        EXPECT_EQ(expected.size(), value->GetValue().size());
        EXPECT_TRUE(expected == value->GetValue());
        EXPECT_THROW_MSG(XmlUtil_ParseXmlOutput(doc),
                         "Error parsing command output.  A text of more than 100000000 bytes cannot be read");
        // Not well-formed after a text past libxml2's own bound of 10 MB: no value, no message.
        EXPECT_EQ(nullptr, XmlUtil_ParseXmlOutput(doc.replace(20000000, std::string::npos, "</strin></o>")));
    });
    EXPECT_EQ("", printed.out + printed.err);
    EXPECT_EQ("", handlerSaw);
    EXPECT_FALSE(ReadTree("<o></p>", 0));
    EXPECT_NE("", handlerSaw);
    Xml<void(void*, void (*)(void*, const char*, ...))>("xmlSetGenericErrorFunc")(nullptr, nullptr);
}

namespace {

// The problem a document reports, after "!" when the reader also threw.
std::string Problem(const std::string& doc) {
    std::string problem;
    try {
        XmlUtil_ParseXmlOutput(doc, problem);
    } catch (const Corvane::CorvaneException&) {
        return "!" + problem;
    }
    return problem;
}

} // namespace

TEST(XmlOutputReader, DocumentsWithoutAValueSayWhyAndWhere) {
    const std::string malformed = "Output of the program is not well-formed XML: ";
    const std::string invalid = "Output of the program is not a valid output document: ";
    const std::pair<std::string, std::string> rows[] = {
        {"<o><string>x</string></o>", ""},
        {"", ""},
        {"not xml\n", malformed + "line 1, column 1: Document is empty"},
        {"<o>\n<string>x</strin></o>",
         malformed + "line 2, column 18: Opening and ending tag mismatch: string line 2 and strin"},
        {"<o>\n<string>x</string>",
         malformed + "line 2, column 19: Extra content at the end of the document"},
        {"<o>\n <!-- c -->\n</o>", invalid + "line 1: root element <o> holds no value element"},
        {"\n\n<out/>", invalid + "line 3: root element <out> holds no value element"},
        {"<o>\n<list type=\"int\">\n<int>1</int>\n<integer>2</integer></list></o>",
         "!" + invalid + "line 4: element <integer> is refused"},
        {"<o><structure typeName=\"T\">\n<field>\n<int>1</int></field></structure></o>",
         "!" + invalid + "line 2: element <field> is refused"},
        {"<o>\n<int>abc</int></o>", "!" + invalid + "line 2: element <int> is refused"},
        {"<o>\n<list type=\"int\"><int>1</int>\n<string>x</string></list></o>",
         "!" + invalid + "line 3: element <string> is refused"},
        {"<o>\n<list type=\"structure\">\n<structure/></list></o>",
         "!" + invalid + "line 3: element <structure> is refused"},
        // An element's line is the one its start tag ends on.
        {"<o><list\ntype=\"integer\"/></o>", "!" + invalid + "line 2: element <list> is refused"},
        // A grammar error in a document that is not well-formed after all: no value, the parser's message.
        {"<o><integer/>\n<", malformed + "line 2, column 1: Extra content at the end of the document"},
    };
    for (const auto& [doc, expected] : rows) {
        EXPECT_EQ(expected, Problem(doc)) << ::testing::PrintToString(doc);
    }
}

TEST(XmlOutputReader, BothReadersGiveTheSameProblem) {
    // A document type declaration makes the event reader hand a document to the tree reader.
    const std::string docs[] = {"<o>\n<!-- c -->\n</o>", "<o>\n<int>x</int></o>", "<o>\n<foo/></o>",
                                "<o>\n<string>x</strin></o>"};
    for (const std::string& doc : docs) {
        EXPECT_EQ(Problem("<?xml version=\"1.0\"?>\n" + doc), Problem("<!DOCTYPE o>\n" + doc)) << doc;
        EXPECT_NE("", Problem("<!DOCTYPE o>\n" + doc)) << doc;
    }
}

// Items of a list of structures share the first item's field names, on both readers: fields in any
// order, items whose records nest, a record of other fields refused, equal strings in many items.
TEST(XmlOutputReader, ListsOfRecordsReadTheSameOnBothReaders) {
    const std::string item = "<structure typeName='R'><field name='b'><string>ssd</string></field>"
                             "<field name='a'><int>{n}</int></field><field name='c'><structure typeName='In'>"
                             "<field name='y'><list type='string'><string>ssd</string></list></field>"
                             "<field name='x'><bool>1</bool></field></structure></field></structure>";
    const auto items = [&](std::initializer_list<const char*> numbers) {
        std::string text;
        for (const char* number : numbers) {
            text += boost::replace_all_copy(item, "{n}", number);
        }
        return text;
    };
    const std::string record = "R{a=Int:{n};b=String:ssd;c=In{x=Bool:true;y=String<null>[String:ssd,];};}";
    const std::string definition = boost::replace_all_copy(record, "{n}", "0");
    const std::string rows[][2] = {
        {"<o><list type='structure'>" + items({"0", "21", "-7"}) + "</list></o>",
         "Struct<" + definition + ">[" + boost::replace_all_copy(record, "{n}", "0") + "," +
             boost::replace_all_copy(record, "{n}", "21") + "," +
             boost::replace_all_copy(record, "{n}", "-7") + ",]"},
        {"<o><list type='structure'>" + items({"5"}) +
             "<structure typeName='R'><field name='a'><int>1</int></field><field name='b'><string/></field>"
             "<field name='d'><int>1</int></field></structure></list></o>",
         "E:Invalid structure detected by MetaList::Add.  Type Errors were: (2) : Missing field in input: c, "
         "There "
         "was an error adding an item to this list.  The item being added did not match the declared "
         "structure of "
         "this list, so it was not added."},
        {"<o><list type='structure'></list></o>", "Struct<null>[]"},
    };
    for (const auto& [doc, expected] : rows) {
        EXPECT_EQ(expected, Read(doc)) << doc;
        EXPECT_EQ(expected, Read("<!DOCTYPE o>\n" + doc)) << doc;
    }
}

namespace {

// What reading gives: the Outcome, then the problem.
std::string WholeReading(const std::string& doc) {
    std::string problem;
    const std::string outcome = Outcome([&] { return XmlUtil_ParseXmlOutput(doc, problem); });
    return outcome + " | " + problem;
}

// The same through the stream, given pieces of `piece` bytes until it refuses one, as the runner does.
std::string StreamReading(const std::string& doc, std::size_t piece, bool& refused) {
    XmlOutputStream stream;
    refused = false;
    for (std::size_t pos = 0; pos < doc.size() && !refused; pos += piece) {
        refused = !stream.Add(doc.data() + pos, std::min(piece, doc.size() - pos));
    }
    stream.End();
    std::string problem;
    const std::string outcome = Outcome([&] { return stream.Value(problem); });
    return outcome + " | " + problem;
}

} // namespace

TEST(XmlOutputStream, PiecesOfAnySizeGiveWhatTheWholeTextGives) {
    std::vector<std::string> docs;
    for (const std::string& row : kValues) {
        docs.push_back("<o>" + row.substr(0, row.find(" => ")) + "</o>");
    }
    std::string attributes;
    for (int i = 0; i < 300; ++i) {
        attributes += " a" + std::to_string(i) + "='='";
    }
    // clang-format off
    const std::vector<std::string> more = {
        "", "x", "<o>", "<o/>", "\n", "not xml\n", "<o>\n<string>x</strin></o>", "<o>\n<string>x</string>", "<o>\n <!-- c -->\n</o>",
        "\n\n<out/>", "<o>\n<list type=\"int\">\n<int>1</int>\n<integer>2</integer></list></o>", "<o><integer/>\n<",
        "<o><list\ntype=\"integer\"/></o>", "<!DOCTYPE o>\n<o>\n<int>x</int></o>", "<?xml version=\"1.0\"?>\n<o><string>\xc3\xa9 &#233;</string></o>",
        "<o>" + Repeat("<list type='int'>", 300) + Repeat("</list>", 300) + "</o>",
        "<!DOCTYPE o [<!ENTITY a 'aa'><!ENTITY b '&a;&a;'>]><o><string>&b;</string></o>",
        // Too many attributes in a start tag, however it is cut; in an end tag, a comment, CDATA or a literal they count for nothing.
        "<o><string" + attributes + ">x</string></o>", "<o><string" + attributes, "<o><!--<string" + attributes + " --><string>c</string></o>",
        "<o><![CDATA[<string" + attributes + "]]><string>c</string></o>", "<o><string a='<x" + attributes + "'>v</string></o>",
        "<o><string>v</string" + attributes + "></o>", "<!DOCTYPE o [<!-- ' -->]><o><string" + attributes + "/></o>",
        "<o><!-- a ---><string" + attributes + "/></o>", "<o><?p ?\?><string" + attributes + "/></o>",
        "<o><![CDATA[ ]]]><string" + attributes + "/></o>", "<o><!x" + attributes + "><string>v</string></o>",
    };
    // clang-format on
    docs.insert(docs.end(), more.begin(), more.end());
    for (const std::string& doc : docs) {
        const std::string whole = WholeReading(doc);
        // Only a broken bound stops the reading early: too many attributes, or nesting too deep.
        const bool bound = whole.find("more than 256 attributes") != std::string::npos ||
                           whole.find("Excessive depth in document") != std::string::npos;
        for (const std::size_t piece : {1, 7, 4096}) {
            bool refused = false;
            EXPECT_EQ(whole, StreamReading(doc, piece, refused)) << piece << ": " << doc.substr(0, 200);
            EXPECT_EQ(bound, refused) << piece << ": " << doc.substr(0, 200);
        }
    }
}

TEST(XmlOutputStream, LargeOutputsKeptInATemporaryFileGiveWhatTheWholeTextGives) {
    // Past the part kept in memory, a document that the event reader leaves late must be read again.
    const std::string items = Repeat("<string>abcdefghijklmnopqrstuvwxyz</string>\n", 200000);
    const std::string docs[] = {
        "<o><list type='string'>" + items + "</list></o>",
        "<o><list type='string'>" + items + "<string><![CDATA[late]]></string></list></o>",
        "<o><list type='string'>" + items + "<int>1</int></list></o>",
        "<o><list type='string'>" + items + "</list>",
        "<o>" + items + "<string" + Repeat(" a=''", 300) + "/></o>",
    };
    for (const std::string& doc : docs) {
        const std::string whole = WholeReading(doc);
        const bool bound = whole.find("more than 256 attributes") != std::string::npos;
        for (const std::size_t piece : {4096, 65536}) {
            bool refused = false;
            EXPECT_EQ(whole, StreamReading(doc, piece, refused))
                << piece << ": " << doc.substr(doc.size() - 60);
            EXPECT_EQ(bound, refused) << piece;
        }
    }
}

TEST(XmlOutputStream, ABrokenBoundRefusesThePieceThatBreaksIt) {
    std::string attributes;
    for (int i = 0; i < 257; ++i) {
        attributes += " a" + std::to_string(i) + "=''";
    }
    // The 257th '=' of one start tag is the first byte refused, whatever follows.
    const std::string doc = "<o><string" + attributes;
    XmlOutputStream stream;
    const std::size_t last = doc.rfind('=');
    EXPECT_TRUE(stream.Add(doc.data(), last));
    EXPECT_FALSE(stream.Add(doc.data() + last, 1));
    EXPECT_FALSE(stream.Add("/></o>", 6));
    std::string problem;
    EXPECT_EQ(nullptr, stream.Value(problem));
    EXPECT_EQ("Output of the program is not a valid output document: an element has more than 256 attributes",
              problem);
    // A text one byte past the bound.
    XmlOutputStream text;
    EXPECT_TRUE(text.Add("<o><string>", 11));
    const std::string run(1000000, 'x');
    for (std::size_t added = 0; added < XmlUtil_MaxTextBytes; added += run.size()) {
        ASSERT_TRUE(text.Add(run.data(), run.size()));
    }
    // libxml2 hands text over once it has more: the refusal comes within the next pieces.
    int more = 0;
    while (text.Add("x", 1) && more < 1000000) {
        ++more;
    }
    EXPECT_LT(more, 1000000);
    EXPECT_THROW_MSG(text.Value(problem),
                     "Error parsing command output.  A text of more than 100000000 bytes cannot be read");
    EXPECT_EQ("", problem);
}

// Nesting past the parser's limit, in a part the value grammar passes over, is refused in the piece
// that holds the first element too deep and gives what the whole text gives; one level less is read
// to its end as before.
TEST(XmlOutputStream, NestingPastTheParsersLimitIsRefusedWhereItStarts) {
    const auto nested = [](int depth) {
        std::string open = "<o><string>x</string>";
        std::string close = "</o>";
        for (int i = 1; i < depth; ++i) {
            open += "<a>";
            close = "</a>" + close;
        }
        return std::make_pair(open, close);
    };
    const auto [deepOpen, deepClose] = nested(258);
    XmlOutputStream deep;
    EXPECT_TRUE(deep.Add(deepOpen.data(), deepOpen.size() - 1));
    EXPECT_FALSE(deep.Add(">", 1));
    EXPECT_FALSE(deep.Add(deepClose.data(), deepClose.size()));
    deep.End();
    std::string problem;
    EXPECT_EQ(nullptr, deep.Value(problem));
    EXPECT_EQ(
        "Output of the program is not well-formed XML: line 1, column 792: Excessive depth in document: 256 "
        "use XML_PARSE_HUGE option",
        problem);
    EXPECT_EQ(WholeReading(deepOpen + deepClose), "null | " + problem);
    const auto [fitOpen, fitClose] = nested(257);
    bool refused = true;
    EXPECT_EQ("String:x | ", StreamReading(fitOpen + fitClose, 7, refused));
    EXPECT_EQ(WholeReading(fitOpen + fitClose), StreamReading(fitOpen + fitClose, 7, refused));
    EXPECT_FALSE(refused);
}

// An "ERROR:" line of XmlUtil_MaxTextBytes after the mark is kept whole; one byte more is refused and
// reported as a text of a document that long is, with no line kept.
TEST(XmlOutputStream, AnErrorLinePastTheTextBoundIsRefused) {
    const std::string run(1000000, 'x');
    XmlOutputStream fits;
    XmlOutputStream over;
    for (XmlOutputStream* stream : {&fits, &over}) {
        ASSERT_TRUE(stream->Add("ERROR:a\nERROR:", 14));
        for (std::size_t added = 0; added < XmlUtil_MaxTextBytes; added += run.size()) {
            ASSERT_TRUE(stream->Add(run.data(), run.size()));
        }
    }
    EXPECT_TRUE(fits.Add("\nplain text", 11));
    fits.End();
    EXPECT_EQ(8 + 6 + XmlUtil_MaxTextBytes + 7, fits.Head().size());
    EXPECT_EQ("xx\nplain ", fits.Head().substr(fits.Head().size() - 9));
    EXPECT_FALSE(over.Add("x", 1));
    EXPECT_FALSE(over.Add("\n", 1));
    over.End();
    EXPECT_EQ("", over.Head());
    EXPECT_FALSE(over.Empty());
    std::string problem;
    EXPECT_THROW_MSG(over.Value(problem),
                     "Error parsing command output.  A text of more than 100000000 bytes cannot be read");
    EXPECT_EQ("", problem);
}

TEST(XmlOutputStream, ErrorLinesAreKeptAndNothingElse) {
    XmlOutputStream stream;
    const std::string head = "ERROR:first\nERROR:second\n";
    for (const char c : head + "<o>" + std::string(5000000, ' ')) {
        ASSERT_TRUE(stream.Add(&c, 1));
    }
    stream.End();
    EXPECT_FALSE(stream.Empty());
    EXPECT_EQ(head + "<o>   ", stream.Head());
    XmlOutputStream empty;
    empty.End();
    EXPECT_TRUE(empty.Empty());
}
