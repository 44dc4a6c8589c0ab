// SPDX-License-Identifier: MIT
// A fixture for scripted menu tests: a headless game on the real built data, started and showing
// the main menu, and the settings as "config.dat" holds them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "host/GameHost.h"
#include "shell/Config.h"
#include "shell/MenuField.h"
#include "state/ShellState.h"
#include "state/Settings.h"

// The settings as the game last saved them.
inline SettingsState SavedSettings() {
    std::ifstream in("config.dat", std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    SettingsState saved;
    EXPECT_TRUE(DecodeConfigFile(bytes, saved)) << "config.dat holds " << bytes.size() << " bytes";
    return saved;
}

class MenuHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        Menu = MenuFieldState{};
        tw::test::GameHost::Options options;
        options.gameData = true;
        host = std::make_unique<tw::test::GameHost>(options);
        host->runTicks(1);
        ASSERT_EQ(Shell.GameState, gsMenu);
        ASSERT_EQ(Shell.MenuScreen, msMain);
        ASSERT_TRUE(host->messages().empty()) << host->messages().front();
    }

    std::unique_ptr<tw::test::GameHost> host;
};
