// Output: the root value and error messages of one call.
#include <corvane/callspec.h>

#include <utility>

namespace Corvane::CallSpec {

std::shared_ptr<Output> Output::New() {
    return std::make_shared<Output>();
}

Output::Output() = default;
Output::~Output() = default;

void Output::AddErrorMessage(const std::string& message) {
    errors.push_back(message);
}
void Output::AddErrorMessage(const char* message) {
    errors.emplace_back(message ? message : "");
}
void Output::AddErrorMessage(std::string&& message) {
    errors.push_back(std::move(message));
}

bool Output::HasError() const {
    return !errors.empty();
}
std::vector<std::string>& Output::GetErrors() {
    return errors;
}
const std::vector<std::string>& Output::GetErrors() const {
    return errors;
}

void Output::SetRootObject(const std::shared_ptr<MetaObj::MetaObject>& root) {
    rootObject = root;
}
void Output::SetRootObject(const std::shared_ptr<MetaObj::MetaStruct>& root) {
    rootObject = root;
}
void Output::SetRootObject(const std::shared_ptr<MetaObj::MetaList>& root) {
    rootObject = root;
}
void Output::SetRootObject(const std::shared_ptr<MetaObj::MetaString>& root) {
    rootObject = root;
}
void Output::SetRootObject(const std::shared_ptr<MetaObj::MetaInt>& root) {
    rootObject = root;
}
void Output::SetRootObject(const std::shared_ptr<MetaObj::MetaBool>& root) {
    rootObject = root;
}
void Output::SetRootObject(std::nullptr_t) {
    rootObject.reset();
}
std::shared_ptr<MetaObj::MetaObject> Output::GetRootObject() const {
    return rootObject;
}

void Output::SetOutputType(OutputType type) {
    outputType = type;
}
Output::OutputType Output::GetOutputType() const {
    return outputType;
}

} // namespace Corvane::CallSpec
