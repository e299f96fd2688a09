// Shared test helpers: exact-message exception checks, output capture and temporary directories.
#pragma once

#include <gtest/gtest.h>

#include <corvane/exception.h>

#include <functional>
#include <string>

// Expects `statement` to throw CorvaneException whose what() equals `message` exactly.
#define EXPECT_THROW_MSG(statement, message)                                                                 \
    do {                                                                                                     \
        bool corvane_thrown_ = false;                                                                        \
        try {                                                                                                \
            statement;                                                                                       \
        } catch (const ::Corvane::CorvaneException& corvane_e_) {                                            \
            corvane_thrown_ = true;                                                                          \
            EXPECT_EQ(std::string(message), std::string(corvane_e_.what()));                                 \
        }                                                                                                    \
        EXPECT_TRUE(corvane_thrown_) << "expected CorvaneException from: " #statement;                       \
    } while (0)

namespace CorvaneTest {

// Runs `body` with file descriptor `fd` (1 or 2) redirected to a temporary file and returns
// everything written to it, C stdio and std::cout/std::cerr included (both are flushed).
std::string CaptureFd(int fd, const std::function<void()>& body);

// Captures standard output and standard error of `body` at once.
struct Captured {
    std::string out;
    std::string err;
};
Captured CaptureOutErr(const std::function<void()>& body);

// A fresh directory under the system's temporary directory, removed with its contents when destroyed.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path; }
    // Writes `content` to Path()/name (creating subdirectories) and returns the full path.
    std::string WriteFile(const std::string& name, const std::string& content, int mode = 0644) const;
    std::string MakeDir(const std::string& name) const;

private:
    std::string path;
};

// The number of file descriptors open in this process (entries of /proc/self/fd).
int CountOpenFds();

// Reads a whole file; fails the current test when it cannot be read.
std::string ReadFile(const std::string& path);

} // namespace CorvaneTest
