#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace Halvo::TestSupport {

// A fresh folder for the test, removed with everything in it afterwards.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "halvo-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            throw std::runtime_error("cannot make a temporary folder");
        }
        path = pattern;
    }
    ~TempDir() { std::filesystem::remove_all(path, ignored); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::filesystem::path Path(const std::string& name = "") const {
        return name.empty() ? path : path / name;
    }

    std::filesystem::path Write(const std::string& name, const std::string& content) const {
        std::ofstream(path / name, std::ios::binary) << content;
        return path / name;
    }

private:
    std::filesystem::path path;
    std::error_code ignored;
};

// Makes a folder the current one for the scope, then goes back.
class CurrentDir {
public:
    explicit CurrentDir(const std::filesystem::path& path) { std::filesystem::current_path(path); }
    ~CurrentDir() { std::filesystem::current_path(previous, ignored); }
    CurrentDir(const CurrentDir&) = delete;
    CurrentDir& operator=(const CurrentDir&) = delete;

private:
    std::filesystem::path previous = std::filesystem::current_path();
    std::error_code ignored;
};

// Sets an environment variable for the scope, then puts back what it was.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::string& value) : name(std::move(name)) {
        if (const char* old = std::getenv(this->name.c_str())) {
            previous = old;
            hadValue = true;
        }
        setenv(this->name.c_str(), value.c_str(), 1);
    }
    ~ScopedEnvironment() { hadValue ? setenv(name.c_str(), previous.c_str(), 1) : unsetenv(name.c_str()); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name;
    std::string previous;
    bool hadValue = false;
};

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

} // namespace Halvo::TestSupport
