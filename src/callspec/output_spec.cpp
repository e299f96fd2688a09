// OutputSpec: the declared shape of a command's result and its structural check.
#include <corvane/callspec.h>

#include <utility>

namespace Corvane::CallSpec {

const std::string OutputSpec::_docMissingStaticString = "Documentation missing";

std::shared_ptr<OutputSpec> OutputSpec::New() {
    return std::make_shared<OutputSpec>();
}

OutputSpec::OutputSpec() = default;

void OutputSpec::SetRootObject(std::shared_ptr<MetaObj::MetaObject>&& root) {
    if (!root) {
        throw CorvaneException("Root object cannot be set to null");
    }
    rootObject = std::move(root);
}

void OutputSpec::SetRootObject(const std::shared_ptr<MetaObj::MetaObject>& root) {
    SetRootObject(std::shared_ptr<MetaObj::MetaObject>(root));
}
void OutputSpec::SetRootObject(const std::shared_ptr<MetaObj::MetaStruct>& root) {
    SetRootObject(std::shared_ptr<MetaObj::MetaObject>(root));
}
void OutputSpec::SetRootObject(const std::shared_ptr<MetaObj::MetaList>& root) {
    SetRootObject(std::shared_ptr<MetaObj::MetaObject>(root));
}
void OutputSpec::SetRootObject(const std::shared_ptr<MetaObj::MetaString>& root) {
    SetRootObject(std::shared_ptr<MetaObj::MetaObject>(root));
}
void OutputSpec::SetRootObject(const std::shared_ptr<MetaObj::MetaInt>& root) {
    SetRootObject(std::shared_ptr<MetaObj::MetaObject>(root));
}
void OutputSpec::SetRootObject(const std::shared_ptr<MetaObj::MetaBool>& root) {
    SetRootObject(std::shared_ptr<MetaObj::MetaObject>(root));
}
void OutputSpec::SetRootObject(std::nullptr_t) {
    SetRootObject(std::shared_ptr<MetaObj::MetaObject>());
}

std::shared_ptr<MetaObj::MetaObject> OutputSpec::GetRootObject() const {
    return rootObject;
}

void OutputSpec::SetDescription(const std::string& text) {
    description = text;
}

const std::string& OutputSpec::GetDescription() const {
    return description.empty() ? _docMissingStaticString : description;
}

bool OutputSpec::Validate(const std::shared_ptr<Output>& output, std::vector<std::string>* errors) const {
    if (!rootObject) {
        if (errors) {
            errors->emplace_back(
                "No root object set for output spec. Root object for output spec must be set "
                "for proper validation of output.");
        }
        return false;
    }
    std::shared_ptr<MetaObj::MetaObject> outputRoot = output ? output->GetRootObject() : nullptr;
    if (!outputRoot) {
        if (errors) {
            errors->emplace_back("No root object set for output. The command did not provide proper output.");
        }
        return false;
    }
    return rootObject->IsSameStructure(outputRoot, errors);
}

} // namespace Corvane::CallSpec
