// Manual pages: the exact roff and Markdown of a command page, text that roff would read as
// requests or escapes, and groff's own lint on the result.
#include <corvane/dispatch.h>
#include <corvane/manual.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using namespace Corvane;
using namespace Corvane::AutoCli;
using CallSpec::ParameterConstraint;
using CallSpec::ParameterSpec;

class Resize : public Command {
public:
    Resize() {
        SetDescription(".Resize a \\volume- 'now'.");
        AddExample("--size 2", "Two units.");
        SetDefaultOutputFormatter("table");
        SetDefaultOutputParameter("fields:Item", "Name");
    }
    std::shared_ptr<CallSpec::InputSpec> GetInputSpecInternal() override {
        auto spec = CallSpec::InputSpec::New();
        auto size = ParameterSpec::New("size", CallSpec::Int);
        size->SetShortName("s");
        size->SetDescription("The size.");
        auto range = ParameterConstraint::New(CallSpec::IntRange);
        range->SetIntRange(1, 10);
        size->SetConstraint(range);
        spec->AddParameter(size);
        auto mode = ParameterSpec::New("mode", CallSpec::String);
        mode->SetRequired(false);
        mode->SetDescription("How:%FULLENUM%");
        auto modes = ParameterConstraint::New(CallSpec::StringEnum);
        modes->AddStringEnum("slow", "");
        modes->AddStringEnum("fast", "quickly");
        mode->SetConstraint(modes);
        spec->AddParameter(mode);
        auto key = ParameterSpec::New("key", CallSpec::String);
        key->SetSecret(true);
        key->SetDescription("The key, %REGEX%.");
        auto pattern = ParameterConstraint::New(CallSpec::StringRegex);
        pattern->SetStringRegex("[a-z]+");
        key->SetConstraint(pattern);
        spec->AddParameter(key);
        auto all = ParameterSpec::New("all", CallSpec::Flag);
        all->SetRequired(false);
        all->SetDescription("Every one.");
        spec->AddParameter(all);
        return spec;
    }
    std::shared_ptr<CallSpec::OutputSpec> GetOutputSpecInternal() override {
        auto inner = MetaObj::MetaStruct::New("Inner");
        inner->SetField("N", 0L);
        auto item = MetaObj::MetaStruct::New("Item");
        item->SetField("Name", "");
        item->SetField("Sub", inner);
        item->SetField("Tags", MetaObj::MetaList::New(MetaObj::MetaType::String));
        auto spec = CallSpec::OutputSpec::New();
        spec->SetRootObject(MetaObj::MetaList::New(MetaObj::MetaType::Struct, item));
        return spec;
    }
    void ExecuteInternal(const std::shared_ptr<CallSpec::Input>&,
                         const std::shared_ptr<CallSpec::Output>&) override {}
};

std::string PageOf(ManualFormat format) {
    Dispatcher dispatcher;
    dispatcher.GetRootNamespace()->SubNamespace("disk")->RegisterNamespaceNode(std::make_shared<Resize>(),
                                                                               "resize");
    for (const ManualPage& page : AutoCli_CommandManuals(dispatcher, format)) {
        if (page.fileName.rfind("varnok-disk-resize.", 0) == 0) {
            return page.fileName + "\n" + page.text;
        }
    }
    return "";
}

TEST(Manual, CommandPageAsRoff) {
    EXPECT_EQ(
        "varnok-disk-resize.1\n"
        ".TH VARNOK\\-DISK\\-RESIZE 1 \"\" \"Corvane AutoCli\" \"varnok\"\n"
        ".SH NAME\n"
        "varnok\\-disk\\-resize \\- \\&.Resize a \\evolume\\- 'now'.\n"
        ".SH SYNOPSIS\n"
        ".PP\n.RS\n.nf\n"
        "varnok [dispatcher options] disk resize \\-\\-key string \\-\\-size int [options]\n"
        ".fi\n.RE\n"
        ".SH DESCRIPTION\n"
        "\\&.Resize a \\evolume\\- 'now'.\n"
        ".SH OPTIONS\n"
        ".TP\n\\fB\\-\\-all\\fR\nEvery one. Optional. A flag: it takes no value.\n"
        ".TP\n\\fB\\-\\-help, \\-h \\fIbool\\fB\\fR\nShow the help message. Optional.\n"
        ".TP\n\\fB\\-\\-key \\fIstring\\fB\\fR\nThe key, a string matching the regular expression [a\\-z]+. "
        "Required. Secret: given last without a "
        "value, it is asked for without echo. Pattern (the whole value must match): [a\\-z]+\n"
        ".TP\n\\fB\\-\\-mode \\fIstring\\fB\\fR\nHow: Optional. One of:\n"
        ".RS\n.TP\n\\fBfast\\fR\nquickly\n.RE\n"
        ".RS\n.TP\n\\fBslow\\fR\n.RE\n"
        ".TP\n\\fB\\-\\-size, \\-s \\fIint\\fB\\fR\nThe size. Required. Range: 1 to 10.\n"
        ".SH OUTPUT\n"
        "Result: a list of Item structures.\n"
        ".TP\n\\fBItem\\fR\nFields:\n"
        ".RS\n.TP\n\\fBName\\fR\nstring\n.RE\n"
        ".RS\n.TP\n\\fBSub\\fR\nan Inner structure\n.RE\n"
        ".RS\n.TP\n\\fBTags\\fR\na list of strings\n.RE\n"
        ".TP\n\\fBInner\\fR\nFields:\n"
        ".RS\n.TP\n\\fBN\\fR\nint\n.RE\n"
        ".SH FORMATTERS\n"
        "Printed by default with the table formatter. Others are chosen with \\-\\-formatter NAME before "
        "the namespaces, and the format parameters below are overridden with \\-\\-format\\-param "
        "KEY=VALUE; see varnok(1).\n"
        ".TP\n\\fBfields:Item\\fR\nDefault: Name\n"
        ".SH EXAMPLES\n"
        "Two units.\n"
        ".PP\n.RS\n.nf\nvarnok disk resize \\-\\-size 2\n.fi\n.RE\n"
        ".SH SEE ALSO\n"
        "varnok(1)\n",
        PageOf(ManualFormat::Man));
}

TEST(Manual, CommandPageAsMarkdown) {
    const std::string page = PageOf(ManualFormat::Markdown);
    EXPECT_EQ("varnok-disk-resize.md\n# varnok-disk-resize(1)\n\nvarnok-disk-resize - .Resize a \\\\volume- "
              "'now'.\n",
              page.substr(0, page.find("\n## ")));
    for (const char* piece :
         {"\n- **--key** *string*: The key, a string matching the regular expression \\[a-z\\]+. Required.",
          "\n- **--mode** *string*: How: Optional. One of:\n  - **fast**: quickly\n  - **slow**\n",
          "\n## Examples\n\nTwo units.\n\n    varnok disk resize --size 2\n"}) {
        EXPECT_NE(std::string::npos, page.find(piece)) << piece << page;
    }
}

// groff reads the page with every warning on; it must have nothing to say.
TEST(Manual, GroffFindsNothingToWarnAbout) {
    CorvaneTest::TempDir dir;
    Dispatcher dispatcher;
    dispatcher.GetRootNamespace()->SubNamespace("disk")->RegisterNamespaceNode(std::make_shared<Resize>(),
                                                                               "resize");
    std::vector<ManualPage> pages = AutoCli_CommandManuals(dispatcher, ManualFormat::Man);
    pages.push_back(AutoCli_ToolManual(dispatcher, ManualFormat::Man));
    ASSERT_EQ(3u, pages.size());
    for (const ManualPage& page : pages) {
        const std::string path = dir.WriteFile(page.fileName, page.text);
        FILE* groff = popen(("groff -ww -z -man '" + path + "' 2>&1").c_str(), "r");
        ASSERT_NE(nullptr, groff);
        std::string said;
        char buffer[256];
        while (fgets(buffer, sizeof buffer, groff) != nullptr) {
            said += buffer;
        }
        EXPECT_EQ(0, pclose(groff)) << page.fileName;
        EXPECT_EQ("", said) << page.fileName;
    }
}

} // namespace
