// SPDX-License-Identifier: MIT
// A fresh folder of its own under the system's temporary directory for one test, removed
// afterwards; unique even when several test programs run at once.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace tw::test {

class TempDir {
public:
    explicit TempDir(const std::string& prefix = "tw-test") {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
        path_ = pattern;
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
