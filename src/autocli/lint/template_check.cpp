// Finding command templates that the template filler refuses whatever the values.
#include <corvane/callspec.h>
#include <corvane/lint.h>
#include <corvane/plugins.h>

#include <cstddef>
#include <string>
#include <vector>

namespace Corvane::AutoCli {

namespace {

constexpr std::size_t kMaxOptionalTried = 8;

} // namespace

std::string AutoCli_FindTemplateRefusal(ExtensionCommand& command, std::vector<std::string>* present) {
    static const std::string kRefusal = "Unable to fill the command template: ";
    const std::shared_ptr<CallSpec::InputSpec> spec = command.GetInputSpec();
    std::vector<std::shared_ptr<CallSpec::ParameterSpec>> parameters;
    std::vector<std::size_t> optional; // indexes into `parameters`
    for (const std::shared_ptr<CallSpec::ParameterSpec>& parameter : spec->GetParameters()) {
        if (parameter->GetName() == "help") {
            continue;
        }
        if (!parameter->IsRequired()) {
            optional.push_back(parameters.size());
        }
        parameters.push_back(parameter);
    }
    // Set n leaves out the optional parameters of its bits: all of them are given first.
    const std::size_t sets = optional.size() <= kMaxOptionalTried ? std::size_t{1} << optional.size() : 1;
    for (std::size_t set = 0; set < sets; ++set) {
        std::vector<bool> given(parameters.size(), true);
        for (std::size_t bit = 0; bit < optional.size() && bit < kMaxOptionalTried; ++bit) {
            given[optional[bit]] = ((set >> bit) & 1U) == 0;
        }
        auto refusalWith = [&](const char* letter) {
            std::shared_ptr<CallSpec::Input> input = CallSpec::Input::New();
            for (std::size_t i = 0; i < parameters.size(); ++i) {
                if (given[i]) {
                    const bool flag = parameters[i]->GetType() == CallSpec::Flag;
                    input->AddParameter(parameters[i]->GetName(), flag ? "" : letter);
                }
            }
            input->SetInputSpec(spec);
            try {
                command.SubstituteInput(input, false);
            } catch (const CorvaneException& e) {
                std::string message = e.what();
                if (message.compare(0, kRefusal.size(), kRefusal) == 0) {
                    return message;
                }
            }
            return std::string();
        };
        // A refusal that two different values both get comes from the template, not from a value.
        std::string refusal = refusalWith("v");
        if (!refusal.empty() && refusalWith("w") == refusal) {
            if (present != nullptr) {
                present->clear();
                for (std::size_t i = 0; i < parameters.size(); ++i) {
                    if (given[i]) {
                        present->push_back(parameters[i]->GetName());
                    }
                }
            }
            return refusal;
        }
    }
    return std::string();
}

} // namespace Corvane::AutoCli
