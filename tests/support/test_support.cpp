// Shared test helpers: output capture, temporary directories, descriptor counting.
#include "test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace CorvaneTest {

namespace {

void FlushAll() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
}

// Redirects one descriptor into an anonymous temporary file for the lifetime of the object.
class Redirect {
public:
    explicit Redirect(int fd) : fd(fd), file(std::tmpfile()) {
        if (file == nullptr) {
            throw std::runtime_error("tmpfile failed");
        }
        FlushAll();
        saved = dup(fd);
        dup2(fileno(file), fd);
    }
    Redirect(const Redirect&) = delete;
    Redirect& operator=(const Redirect&) = delete;
    ~Redirect() {
        Finish();
        std::fclose(file);
    }

    // Puts the original descriptor back (once) and returns what was written meanwhile.
    std::string Finish() {
        if (saved >= 0) {
            FlushAll();
            dup2(saved, fd);
            close(saved);
            saved = -1;
        }
        std::string text;
        std::rewind(file);
        char buffer[65536];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
            text.append(buffer, n);
        }
        return text;
    }

private:
    int fd;
    std::FILE* file;
    int saved = -1;
};

} // namespace

std::string CaptureFd(int fd, const std::function<void()>& body) {
    Redirect redirect(fd);
    body();
    return redirect.Finish();
}

Captured CaptureOutErr(const std::function<void()>& body) {
    Redirect out(1);
    Redirect err(2);
    body();
    Captured captured;
    captured.err = err.Finish();
    captured.out = out.Finish();
    return captured;
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "corvane-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

std::string TempDir::MakeDir(const std::string& name) const {
    std::string full = path + "/" + name;
    fs::create_directories(full);
    return full;
}

std::string TempDir::WriteFile(const std::string& name, const std::string& content, int mode) const {
    std::string full = path + "/" + name;
    fs::create_directories(fs::path(full).parent_path());
    {
        std::ofstream out(full, std::ios::binary | std::ios::trunc);
        out << content;
    }
    chmod(full.c_str(), static_cast<mode_t>(mode));
    return full;
}

int CountOpenFds() {
    // The directory stream open while counting is one of the entries.
    return static_cast<int>(
               std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator())) -
           1;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace CorvaneTest
