// CorvaneException: the library's one exception type for declaration, programming and loading errors.
#pragma once

#include <corvane/export.h>

#include <exception>
#include <string>

namespace Corvane {

/// Thrown for bad names, duplicates, malformed descriptors, wrong value kinds and plugin loading
/// failures. Outer layers that catch one usually prepend their own context and throw again, so a
/// message reads from the outermost context inwards.
class CORVANE_API CorvaneException : public std::exception {
public:
    explicit CorvaneException(const std::string& message);
    explicit CorvaneException(std::string&& message);
    explicit CorvaneException(const char* message);
    ~CorvaneException() override;

    const char* what() const noexcept override;

private:
    std::string message;
};

} // namespace Corvane
