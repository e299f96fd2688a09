// Test plugin: registers the petshop namespaces and two commands of its own that return structures.
#include <corvane/plugins.h>

#include <memory>

using Corvane::AutoCli::Command;
using Corvane::AutoCli::Namespace;
using Corvane::CallSpec::Input;
using Corvane::CallSpec::InputSpec;
using Corvane::CallSpec::Output;
using Corvane::CallSpec::OutputSpec;
using Corvane::CallSpec::ParameterSpec;
using Corvane::CallSpec::ParameterType;
using Corvane::MetaObj::MetaStruct;

namespace {

// petshop pet show --name N [--age A]: one "Pet" structure.
class PetShowCommand : public Command {
public:
    PetShowCommand() {
        SetDescription("Show one pet by name.");
        SetDefaultOutputFormatter("simple");
        AddExample("--name Rex --age 3", "Shows Rex, aged three.");
    }

    static std::shared_ptr<MetaStruct> Definition() {
        auto pet = MetaStruct::New("Pet");
        pet->SetField("Name", "");
        pet->SetField("Age", 0L);
        pet->SetField("Vaccinated", false);
        return pet;
    }

    std::shared_ptr<InputSpec> GetInputSpecInternal() override {
        auto spec = InputSpec::New();
        auto name = ParameterSpec::New("name", ParameterType::String);
        name->SetShortName("n");
        name->SetDescription("Name of the pet.");
        spec->AddParameter(name);
        auto age = ParameterSpec::New("age", ParameterType::Int);
        age->SetShortName("a");
        age->SetDescription("Age of the pet in years.");
        age->SetRequired(false);
        spec->AddParameter(age);
        return spec;
    }

    std::shared_ptr<OutputSpec> GetOutputSpecInternal() override {
        auto spec = OutputSpec::New();
        spec->SetRootObject(Definition());
        return spec;
    }

    void ExecuteInternal(const std::shared_ptr<Input>& input,
                         const std::shared_ptr<Output>& output) override {
        long age = input->HasParameter("age") ? input->GetParameterInt("age") : 0;
        auto pet = MetaStruct::New("Pet");
        pet->SetField("Name", input->GetParameter("name"));
        pet->SetField("Age", age);
        pet->SetField("Vaccinated", age >= 1);
        output->SetRootObject(pet);
    }
};

// petshop status: one "ShopStatus" structure.
class ShopStatusCommand : public Command {
public:
    ShopStatusCommand() {
        SetDescription("Report whether the shop is open.");
        SetDefaultOutputFormatter("simple");
    }

    static std::shared_ptr<MetaStruct> Status(bool open, const char* keeper) {
        auto status = MetaStruct::New("ShopStatus");
        status->SetField("Open", open);
        status->SetField("Keeper", keeper);
        return status;
    }

    std::shared_ptr<InputSpec> GetInputSpecInternal() override { return InputSpec::New(); }

    std::shared_ptr<OutputSpec> GetOutputSpecInternal() override {
        auto spec = OutputSpec::New();
        spec->SetRootObject(Status(false, ""));
        return spec;
    }

    void ExecuteInternal(const std::shared_ptr<Input>&, const std::shared_ptr<Output>& output) override {
        output->SetRootObject(Status(true, "Mara"));
    }
};

} // namespace

// The commands are made with new rather than std::make_shared: make_shared's type tag is a unique
// symbol, and an object holding one is never unloaded, which would hide lifetime faults.
extern "C" CORVANE_PLUGIN_EXPORT void
AutoCli_RegisterNamespaces(std::shared_ptr<Namespace> root) { // NOLINT(performance-unnecessary-value-param)
    auto petshop = Namespace::New();
    petshop->SetDescription("Commands of the test pet shop.");
    auto pet = Namespace::New();
    pet->SetDescription("Operations on single pets.");
    pet->RegisterNamespaceNode(std::shared_ptr<PetShowCommand>(new PetShowCommand()), "show");
    petshop->RegisterNamespaceNode(pet, "pet");
    petshop->RegisterNamespaceNode(std::shared_ptr<ShopStatusCommand>(new ShopStatusCommand()), "status");
    root->RegisterNamespaceNode(petshop, "petshop");
}
