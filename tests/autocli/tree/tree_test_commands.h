// A small configurable command for the tree tests: declared parameters, declared output and work.
#pragma once

#include <corvane/tree.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace TreeTest {

using Corvane::CallSpec::Input;
using Corvane::CallSpec::InputSpec;
using Corvane::CallSpec::Output;
using Corvane::CallSpec::OutputSpec;
using Corvane::CallSpec::ParameterSpec;
using Corvane::CallSpec::ParameterType;

class TestCommand : public Corvane::AutoCli::Command {
public:
    using Work = std::function<void(const std::shared_ptr<Input>&, const std::shared_ptr<Output>&)>;

    static std::shared_ptr<TestCommand> New(std::string description = std::string()) {
        auto command = std::make_shared<TestCommand>();
        command->SetDescription(std::move(description));
        return command;
    }

    // Declares a parameter of the command's own specification.
    std::shared_ptr<ParameterSpec> Declare(const std::string& name, ParameterType type, bool required = false,
                                           const std::string& shortName = std::string()) {
        auto parameter = ParameterSpec::New(name, type);
        parameter->SetRequired(required);
        if (!shortName.empty()) {
            parameter->SetShortName(shortName);
        }
        parameters.push_back(parameter);
        return parameter;
    }

    std::shared_ptr<InputSpec> GetInputSpecInternal() override {
        ++inputSpecCalls;
        auto spec = InputSpec::New();
        for (const auto& parameter : parameters) {
            spec->AddParameter(parameter);
        }
        return spec;
    }

    std::shared_ptr<OutputSpec> GetOutputSpecInternal() override {
        ++outputSpecCalls;
        auto spec = OutputSpec::New();
        if (declaredOutput) {
            spec->SetRootObject(declaredOutput);
        }
        return spec;
    }

    void ExecuteInternal(const std::shared_ptr<Input>& input,
                         const std::shared_ptr<Output>& output) override {
        ++executeCalls;
        if (work) {
            work(input, output);
        }
    }

    std::vector<std::shared_ptr<ParameterSpec>> parameters;
    std::shared_ptr<Corvane::MetaObj::MetaObject> declaredOutput = Corvane::MetaObj::MetaString::New();
    Work work;
    int inputSpecCalls = 0;
    int outputSpecCalls = 0;
    int executeCalls = 0;
};

} // namespace TreeTest
