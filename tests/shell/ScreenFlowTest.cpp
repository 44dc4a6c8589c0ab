// SPDX-License-Identifier: MIT
// The table of screen changes: the changes the game makes pass, one it does not list is refused in
// a debug build and leaves the state as it was.
#include "state/ScreenFlow.h"

#include <gtest/gtest.h>

namespace {

TEST(ScreenFlow, ListsTheGamesPathsAndRefusesOthersInADebugBuild) {
    struct Change {
        TGameState from, to;
        bool listed;
    };
    const Change changes[] = {
        {gsMenu, gsPlaying, true},         {gsPlaying, gsHeroDying, true},    {gsHeroDying, gsPlaying, true},
        {gsPlaying, gsNextLevel, true},    {gsNextLevel, gsLevelIntro, true}, {gsGameOver, gsNameEntry, true},
        {gsSendFailed, gsSendQuery, true}, {gsPaused, gsPlaying, true},       {gsExitQuery, gsGameOver, true},
        {gsMenu, gsHeroDying, false},      {gsMenu, gsGameOver, false},       {gsNameEntry, gsPlaying, false},
        {gsGameOver, gsPlaying, false},    {gsMenu, gsPaused, false},         {gsSending, gsNextLevel, false},
    };
    for (const Change& c : changes) {
        EXPECT_EQ(IsListedGameStateChange(c.from, c.to), c.listed)
            << GameStateName(c.from) << " to " << GameStateName(c.to);
        Shell = ShellState{};
        Shell.GameState = c.from;
#ifndef NDEBUG
        if (!c.listed) {
            EXPECT_THROW(SetGameState(c.to), EScreenFlowError)
                << GameStateName(c.from) << " to " << GameStateName(c.to);
            EXPECT_EQ(Shell.GameState, c.from);
            continue;
        }
#endif
        SetGameState(c.to);
        EXPECT_EQ(Shell.GameState, c.to);
    }
    EXPECT_TRUE(IsListedMenuScreenChange(msScores, msClearScores));
    EXPECT_FALSE(IsListedMenuScreenChange(msHelp, msBossKey));
    Shell = ShellState{};
}

} // namespace
