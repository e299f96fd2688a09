// Tests of Output and OutputSpec: error collection, root handling and structural validation.
#include <corvane/callspec.h>

#include "test_support.h"

#include <string>
#include <vector>

using namespace Corvane::CallSpec;
using Corvane::MetaObj::MetaBool;
using Corvane::MetaObj::MetaInt;
using Corvane::MetaObj::MetaList;
using Corvane::MetaObj::MetaObject;
using Corvane::MetaObj::MetaString;
using Corvane::MetaObj::MetaStruct;
using Corvane::MetaObj::MetaType;

namespace {

std::shared_ptr<MetaStruct> Definition(const std::vector<const char*>& fields) {
    auto definition = MetaStruct::New("Item");
    for (const char* field : fields) {
        definition->SetField(field, MetaString::New());
    }
    return definition;
}

} // namespace

TEST(OutputState, ErrorsRootAndType) {
    auto output = Output::New();
    EXPECT_FALSE(output->HasError());
    EXPECT_EQ(nullptr, output->GetRootObject());
    EXPECT_EQ(Output::Normal, output->GetOutputType());
    EXPECT_EQ(0, static_cast<int>(output->GetOutputType()));

    const std::string first = "first";
    output->AddErrorMessage(first);
    output->AddErrorMessage("second");
    output->AddErrorMessage(std::string("first"));
    output->AddErrorMessage(static_cast<const char*>(nullptr));
    EXPECT_TRUE(output->HasError());
    EXPECT_EQ((std::vector<std::string>{"first", "second", "first", ""}), output->GetErrors());

    auto text = MetaString::New("hello");
    output->SetRootObject(text);
    EXPECT_EQ(std::shared_ptr<MetaObject>(text), output->GetRootObject());
    output->SetRootObject(MetaInt::New(5));
    EXPECT_EQ(MetaType::Int, output->GetRootObject()->GetType());
    output->SetRootObject(MetaBool::New(true));
    output->SetRootObject(MetaList::New(MetaType::Int));
    auto record = MetaStruct::New("Result");
    output->SetRootObject(record);
    EXPECT_EQ(std::shared_ptr<MetaObject>(record), output->GetRootObject()); // shared, not copied
    output->SetRootObject(std::shared_ptr<MetaStruct>());
    EXPECT_EQ(nullptr, output->GetRootObject());
    output->SetRootObject(record);
    output->SetRootObject(nullptr);
    EXPECT_EQ(nullptr, output->GetRootObject());

    output->SetOutputType(Output::Help);
    EXPECT_EQ(Output::OutputType::Help, output->GetOutputType());
    EXPECT_EQ(2, static_cast<int>(output->GetOutputType()));
}

TEST(OutputSpecState, DescriptionAndRoot) {
    auto spec = OutputSpec::New();
    EXPECT_EQ("Documentation missing", spec->GetDescription());
    spec->SetDescription("Disks of the host");
    EXPECT_EQ("Disks of the host", spec->GetDescription());
    spec->SetDescription("");
    EXPECT_EQ("Documentation missing", spec->GetDescription());

    EXPECT_EQ(nullptr, spec->GetRootObject());
    EXPECT_THROW_MSG(spec->SetRootObject(std::shared_ptr<MetaObject>()), "Root object cannot be set to null");
    auto root = MetaStruct::New("Disk");
    spec->SetRootObject(root);
    EXPECT_THROW_MSG(spec->SetRootObject(nullptr), "Root object cannot be set to null");
    EXPECT_THROW_MSG(spec->SetRootObject(std::shared_ptr<MetaList>()), "Root object cannot be set to null");
    EXPECT_EQ(std::shared_ptr<MetaObject>(root), spec->GetRootObject());
    spec->SetRootObject(MetaString::New());
    EXPECT_EQ(MetaType::String, spec->GetRootObject()->GetType());
}

TEST(OutputSpecValidate, MissingRoots) {
    auto spec = OutputSpec::New();
    auto output = Output::New();
    output->SetRootObject(MetaString::New("x"));
    std::vector<std::string> errors;
    EXPECT_FALSE(spec->Validate(output, &errors));
    EXPECT_EQ(
        std::vector<std::string>{
            "No root object set for output spec. Root object for output spec must be set "
            "for proper validation of output."},
        errors);
    EXPECT_FALSE(spec->Validate(output, nullptr));

    spec->SetRootObject(MetaString::New());
    errors.clear();
    EXPECT_FALSE(spec->Validate(Output::New(), &errors));
    EXPECT_FALSE(spec->Validate(nullptr, &errors));
    EXPECT_EQ((std::vector<std::string>{
                  "No root object set for output. The command did not provide proper output.",
                  "No root object set for output. The command did not provide proper output."}),
              errors);
}

TEST(OutputSpecValidate, ComparesShapeNotValues) {
    auto spec = OutputSpec::New();
    spec->SetRootObject(MetaString::New());
    auto output = Output::New();
    output->SetRootObject(MetaString::New("any text"));
    std::vector<std::string> errors;
    EXPECT_TRUE(spec->Validate(output, &errors));
    EXPECT_TRUE(errors.empty());

    spec->SetRootObject(MetaInt::New());
    EXPECT_FALSE(spec->Validate(output, &errors));
    EXPECT_EQ(std::vector<std::string>{"Type mismatch in structure.  Expecting Int got String"}, errors);

    spec->SetRootObject(MetaList::New(MetaType::Struct, Definition({"Name", "Path"})));
    errors.clear();
    output->SetRootObject(MetaList::New(MetaType::Struct, Definition({"Path", "Name"})));
    EXPECT_TRUE(spec->Validate(output, &errors));
    EXPECT_TRUE(errors.empty());

    output->SetRootObject(MetaList::New(MetaType::Struct, Definition({"Name"})));
    EXPECT_FALSE(spec->Validate(output, &errors));
    EXPECT_EQ((std::vector<std::string>{"Mismatch on number of fields set in struct. Expected 2 found 1",
                                        "Missing field in input: Path", "List type mismatch list and input"}),
              errors);
}
