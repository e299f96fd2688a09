// Test plugins for dlopen, one object per variant: PETSHOP registers the pet shop; NO_ENTRY lacks the
// entry point; THROWING registers halfdone step, then throws a CorvaneException; STD_THROWING throws a
// std::runtime_error at once.
#include <corvane/plugins.h>

#include <stdexcept>

using namespace Corvane::AutoCli;
using namespace Corvane::CallSpec;
using namespace Corvane::MetaObj;

namespace {

// A command whose result is make(input); make(nullptr) is the declared output type.
class TestCommand : public Command {
public:
    using Make = std::shared_ptr<MetaObject> (*)(const Input*);
    TestCommand(const char* description, Make make, std::shared_ptr<InputSpec> spec)
        : make(make), spec(std::move(spec)) {
        SetDescription(description);
        SetDefaultOutputFormatter("simple");
    }
    std::shared_ptr<InputSpec> GetInputSpecInternal() override { return spec; }
    std::shared_ptr<OutputSpec> GetOutputSpecInternal() override {
        auto output = OutputSpec::New();
        output->SetRootObject(make(nullptr));
        return output;
    }
    void ExecuteInternal(const std::shared_ptr<Input>& input,
                         const std::shared_ptr<Output>& output) override {
        output->SetRootObject(make(input.get()));
    }

private:
    Make make;
    std::shared_ptr<InputSpec> spec;
};

// new rather than std::make_shared: make_shared's type tag is a unique symbol, and an object holding one is
// never unloaded, which would hide lifetime faults.
[[maybe_unused]] std::shared_ptr<Command> New(const char* description, TestCommand::Make make,
                                              std::shared_ptr<InputSpec> spec = InputSpec::New()) {
    return std::shared_ptr<Command>(new TestCommand(description, make, std::move(spec)));
}

} // namespace

#ifndef NO_ENTRY
extern "C" CORVANE_PLUGIN_EXPORT void AutoCli_RegisterNamespaces(
    [[maybe_unused]] std::shared_ptr<Namespace> root) { // NOLINT(performance-unnecessary-value-param)
#if defined(STD_THROWING)
    throw std::runtime_error("plain failure");
#elif defined(THROWING)
    auto halfdone = Namespace::New();
    auto step = [](const Input* in) -> std::shared_ptr<MetaObject> {
        return MetaString::New(in ? "stepped" : "");
    };
    halfdone->RegisterNamespaceNode(New("The one step the plugin took.", step), "step");
    root->RegisterNamespaceNode(halfdone, "halfdone");
    throw Corvane::CorvaneException("The half-done plugin gave up.");
#else
    auto spec = InputSpec::New();
    auto name = ParameterSpec::New("name", ParameterType::String);
    name->SetShortName("n");
    name->SetDescription("Name of the pet.");
    spec->AddParameter(name);
    auto age = ParameterSpec::New("age", ParameterType::Int);
    age->SetDescription("Age of the pet in years.");
    age->SetRequired(false);
    spec->AddParameter(age);
    auto show = [](const Input* in) -> std::shared_ptr<MetaObject> {
        const long age = in && in->HasParameter("age") ? in->GetParameterInt("age") : 0;
        auto pet = MetaStruct::New("Pet");
        pet->SetField("Name", in ? in->GetParameter("name") : "");
        pet->SetField("Age", age);
        pet->SetField("Vaccinated", age >= 1);
        return pet;
    };
    auto status = [](const Input* in) -> std::shared_ptr<MetaObject> {
        auto status = MetaStruct::New("ShopStatus");
        status->SetField("Open", in != nullptr);
        status->SetField("Keeper", in ? "Mara" : "");
        return status;
    };
    auto pet = Namespace::New();
    pet->RegisterNamespaceNode(New("Show one pet by name.", show, spec), "show");
    auto petshop = Namespace::New();
    petshop->SetDescription("Commands of the test pet shop.");
    petshop->RegisterNamespaceNode(pet, "pet");
    petshop->RegisterNamespaceNode(New("Report whether the shop is open.", status), "status");
    root->RegisterNamespaceNode(petshop, "petshop");
#endif
}
#endif
