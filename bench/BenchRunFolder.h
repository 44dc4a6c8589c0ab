// SPDX-License-Identifier: MIT
// The scratch folder a whole-game benchmark runs in: linked to the built data, with a settings file
// that keeps music and sound off, made the current folder and removed again afterwards.
#pragma once

#include "shell/Config.h"
#include "shell/MenuField.h"
#include "state/Settings.h"
#include "state/ShellState.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

class BenchRunFolder {
public:
    BenchRunFolder() {
        namespace fs = std::filesystem;
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        const fs::path data = fs::canonical("/proc/self/exe").parent_path().parent_path() / "run";
        std::string pattern = (fs::temp_directory_path() / "tidewarden-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
        folder_ = pattern;
        for (const char* sub : {"data", "sound"}) fs::create_directory_symlink(data / sub, folder_ / sub);
        // Music and sound effects would only add the mixer's work to the measurement.
        SettingsState stored;
        stored.MusicOn = 0;
        stored.SoundOn = 0;
        WriteConfigFile(folder_ / "config.dat", stored);
        previous_ = fs::current_path();
        fs::current_path(folder_);
        Shell = ShellState{};
        Menu = MenuFieldState{};
        Settings = SettingsState{};
    }
    ~BenchRunFolder() {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(folder_);
    }
    BenchRunFolder(const BenchRunFolder&) = delete;
    BenchRunFolder& operator=(const BenchRunFolder&) = delete;

private:
    std::filesystem::path folder_, previous_;
};
