// Shared test helpers: output capture, temporary directories, descriptor counting.
#include "test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

namespace CorvaneTest {

namespace {

void FlushAll() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[65536];
    lseek(fd, 0, SEEK_SET);
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

// Redirects one descriptor into an unlinked temporary file for the lifetime of the object.
class Redirect {
public:
    explicit Redirect(int fd) : fd_(fd) {
        FlushAll();
        char name[] = "/tmp/corvane-capture-XXXXXX";
        file_ = mkstemp(name);
        if (file_ < 0)
            throw std::runtime_error("mkstemp failed");
        unlink(name);
        saved_ = dup(fd_);
        dup2(file_, fd_);
    }
    Redirect(const Redirect&) = delete;
    Redirect& operator=(const Redirect&) = delete;
    ~Redirect() {
        Restore();
        close(file_);
    }

    // Puts the original descriptor back and returns what was written meanwhile.
    std::string Finish() {
        Restore();
        return ReadAll(file_);
    }

private:
    void Restore() {
        if (saved_ < 0)
            return;
        FlushAll();
        dup2(saved_, fd_);
        close(saved_);
        saved_ = -1;
    }

    int fd_;
    int file_ = -1;
    int saved_ = -1;
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
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/corvane-test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

namespace {
void RemoveTree(const std::string& path) {
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "/" + name;
            struct stat st;
            if (lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                RemoveTree(child);
            else
                unlink(child.c_str());
        }
        closedir(dir);
    }
    rmdir(path.c_str());
}
} // namespace

TempDir::~TempDir() {
    RemoveTree(path_);
}

std::string TempDir::MakeDir(const std::string& name) const {
    std::string full = path_;
    std::stringstream parts(name);
    std::string part;
    while (std::getline(parts, part, '/')) {
        if (part.empty())
            continue;
        full += "/" + part;
        mkdir(full.c_str(), 0755);
    }
    return full;
}

std::string TempDir::WriteFile(const std::string& name, const std::string& content, int mode) const {
    auto slash = name.rfind('/');
    if (slash != std::string::npos)
        MakeDir(name.substr(0, slash));
    std::string full = path_ + "/" + name;
    {
        std::ofstream out(full, std::ios::binary | std::ios::trunc);
        out << content;
    }
    chmod(full.c_str(), static_cast<mode_t>(mode));
    return full;
}

int CountOpenFds() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.')
                ++count;
        }
        closedir(dir);
        --count; // the descriptor of the directory stream itself
    }
    return count;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace CorvaneTest
