// Test plugin whose entry point fails: after registering one namespace with a command it throws a
// CorvaneException, or, built with THROW_STD_EXCEPTION, it throws a std::runtime_error at once.
#include <corvane/plugins.h>

#include <memory>
#include <stdexcept>

using Corvane::AutoCli::Command;
using Corvane::AutoCli::Namespace;
using Corvane::CallSpec::Input;
using Corvane::CallSpec::InputSpec;
using Corvane::CallSpec::Output;
using Corvane::CallSpec::OutputSpec;

namespace {

// halfdone step: registered before the failure, so it stays in the tree.
class StepCommand : public Command {
public:
    StepCommand() { SetDescription("The one step the plugin took."); }

    std::shared_ptr<InputSpec> GetInputSpecInternal() override { return InputSpec::New(); }

    std::shared_ptr<OutputSpec> GetOutputSpecInternal() override {
        auto spec = OutputSpec::New();
        spec->SetRootObject(Corvane::MetaObj::MetaString::New());
        return spec;
    }

    void ExecuteInternal(const std::shared_ptr<Input>&, const std::shared_ptr<Output>& output) override {
        output->SetRootObject(Corvane::MetaObj::MetaString::New("stepped"));
    }
};

} // namespace

// new rather than std::make_shared, whose unique type tag would keep the object loaded for good.
extern "C" CORVANE_PLUGIN_EXPORT void
AutoCli_RegisterNamespaces(std::shared_ptr<Namespace> root) { // NOLINT(performance-unnecessary-value-param)
#ifdef THROW_STD_EXCEPTION
    (void)root;
    throw std::runtime_error("plain failure");
#else
    auto halfdone = Namespace::New();
    halfdone->SetDescription("Registered before the plugin gave up.");
    halfdone->RegisterNamespaceNode(std::shared_ptr<StepCommand>(new StepCommand()), "step");
    root->RegisterNamespaceNode(halfdone, "halfdone");
    throw Corvane::CorvaneException("The half-done plugin gave up.");
#endif
}
