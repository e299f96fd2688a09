// Manual pages: the exact roff and Markdown of a command page, with text that roff would read as
// requests or escapes and that Markdown would read as markup.
#include <corvane/dispatch.h>
#include <corvane/manual.h>

#include "test_support.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ("varnok-disk-resize.1\n" +
                  CorvaneTest::ReadFile(CORVANE_TEST_DATA_DIR "/format/varnok-disk-resize.1"),
              PageOf(ManualFormat::Man));
}

TEST(Manual, CommandPageAsMarkdown) {
    EXPECT_EQ("varnok-disk-resize.md\n" +
                  CorvaneTest::ReadFile(CORVANE_TEST_DATA_DIR "/format/varnok-disk-resize.md"),
              PageOf(ManualFormat::Markdown));
}

// Only a declared effect is shown, right under the description, with what it means.
TEST(Manual, ADeclaredEffectFollowsTheDescription) {
    const struct {
        const char* effect;
        std::string shown;
    } cases[] = {
        {"read", "\n- **Effect: read**: The command only reads: running it changes nothing.\n"},
        {"change", "\n- **Effect: change**: The command changes the state of the host.\n"},
        {"destroy",
         "\n- **Effect: destroy**: The command removes or destroys something; it may not be undone.\n"},
    };
    for (const auto& c : cases) {
        auto command = std::make_shared<Resize>();
        command->SetMetaData("effect", c.effect);
        Dispatcher dispatcher;
        dispatcher.GetRootNamespace()->SubNamespace("disk")->RegisterNamespaceNode(command, "resize");
        const std::string page = AutoCli_CommandManuals(dispatcher, ManualFormat::Markdown).at(0).text;
        EXPECT_NE(std::string::npos, page.find("\n## Description\n\n.Resize a \\\\volume- 'now'.\n" +
                                               c.shown + "\n## Options\n"))
            << page;
    }
}

} // namespace
