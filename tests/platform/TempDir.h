// A fresh folder under the system's temporary directory for one test, removed afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace tw::test {

class TempDir {
public:
    TempDir() {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() / ("tw-platform-" + std::to_string(seed()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

    // Creates the file and any folders leading to it.
    std::string touch(const std::string& relative, const std::string& content = "x") const {
        const auto full = path_ / relative;
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full) << content;
        return full.string();
    }

private:
    std::filesystem::path path_;
};

} // namespace tw::test
