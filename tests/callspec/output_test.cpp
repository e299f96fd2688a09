// Tests of Output and OutputSpec: error collection, root handling and structural validation.
#include <corvane/callspec.h>

#include "test_support.h"

using namespace Corvane::CallSpec;
using namespace Corvane::MetaObj;
using Strings = std::vector<std::string>;

TEST(OutputSpecValidate, MissingRootsAndShapeMismatches) {
    auto spec = OutputSpec::New();
    auto output = Output::New();
    output->SetRootObject(MetaString::New("any text"));
    Strings errors;
    EXPECT_FALSE(spec->Validate(output, &errors));
    EXPECT_FALSE(spec->Validate(output, nullptr) || spec->Validate(nullptr, nullptr));
    EXPECT_THROW_MSG(spec->SetRootObject(std::shared_ptr<MetaObject>()), "Root object cannot be set to null");
    spec->SetRootObject(MetaString::New());
    EXPECT_FALSE(spec->Validate(Output::New(), &errors));
    EXPECT_EQ(
        (Strings{"No root object set for output spec. Root object for output spec must be set for proper "
                 "validation of output.",
                 "No root object set for output. The command did not provide proper output."}),
        errors);
    errors.clear();
    EXPECT_TRUE(spec->Validate(output, &errors)); // the declared string is kept and matches any string
    spec->SetRootObject(MetaInt::New());
    EXPECT_FALSE(spec->Validate(output, &errors));
    EXPECT_EQ(Strings{"Type mismatch in structure.  Expecting Int got String"}, errors);

    // Lists of structures compare their item definitions, whatever the order the fields were set in.
    auto items = [](const Strings& fields) {
        auto definition = MetaStruct::New("Item");
        for (const auto& field : fields) {
            definition->SetField(field, MetaString::New());
        }
        return MetaList::New(MetaType::Struct, definition);
    };
    spec->SetRootObject(items({"Name", "Path"}));
    output->SetRootObject(items({"Path", "Name"}));
    EXPECT_TRUE(spec->Validate(output, &errors));
    output->SetRootObject(items({"Name"}));
    EXPECT_FALSE(spec->Validate(output, nullptr));      // the messages are those of the structure comparison
    output->SetRootObject(std::shared_ptr<MetaList>()); // an empty pointer clears the root
    EXPECT_FALSE(output->GetRootObject() || output->HasError());
}
