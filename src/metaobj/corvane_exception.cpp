// CorvaneException: out-of-line members, so that its type information lives in the library alone.
#include <corvane/exception.h>

#include <utility>

namespace Corvane {

CorvaneException::CorvaneException(const std::string& message) : message(message) {}
CorvaneException::CorvaneException(std::string&& message) : message(std::move(message)) {}
CorvaneException::CorvaneException(const char* message) : message(message ? message : "") {}
CorvaneException::~CorvaneException() = default;

const char* CorvaneException::what() const noexcept {
    return message.c_str();
}

} // namespace Corvane
