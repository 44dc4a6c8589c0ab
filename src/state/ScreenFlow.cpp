// SPDX-License-Identifier: MIT
// The table of screen changes and the two functions that make them. Every change the game makes
// is listed here, with the reason a state is left the way it is.
#include "state/ScreenFlow.h"

#include <array>
#include <initializer_list>
#include <utility>

namespace {

constexpr std::size_t GameStateCount = gsNextLevel + 1;
constexpr std::size_t MenuScreenCount = msSendQuery + 1;

template <class State, std::size_t N>
class TChangeTable {
public:
    void allow(State from, State to) { allowed_[from][to] = true; }
    void allow(std::initializer_list<State> from, State to) {
        for (State f : from) allow(f, to);
    }
    void allowBothWays(std::initializer_list<State> from, State to) {
        for (State f : from) {
            allow(f, to);
            allow(to, f);
        }
    }
    bool listed(State from, State to) const {
        if (from == to) return true;
        return static_cast<std::size_t>(from) < N && static_cast<std::size_t>(to) < N && allowed_[from][to];
    }

private:
    std::array<std::array<bool, N>, N> allowed_{};
};

// The states of a game, from its field to the screens after its last life.
constexpr std::initializer_list<TGameState> GameScreens = {gsPlaying,  gsExitQuery,  gsHeroDying, gsLevelIntro,
                                                           gsGameOver, gsPaused,     gsNameEntry, gsSendQuery,
                                                           gsSending,  gsSendFailed, gsNextLevel};

const TChangeTable<TGameState, GameStateCount>& gameStateChanges() {
    static const auto table = [] {
        TChangeTable<TGameState, GameStateCount> t;
        t.allow(gsNone, gsMenu);       // the window is made
        t.allow(gsNone, gsLevelIntro); // a replay checked without a window builds its field at once
        t.allow(gsMenu, gsPlaying);    // START GAME, or a replay watched: the field is built next
        t.allow(gsPlaying, gsLevelIntro);
        t.allow(gsLevelIntro, gsPlaying); // the announcement has shown long enough
        t.allow(gsPlaying, gsHeroDying);  // a fish or the rock hit, or the air ran out
        t.allow(gsHeroDying, gsPlaying);  // the body has floated away
        t.allow(gsPlaying, gsNextLevel);  // the diver reached the surface
        t.allow(gsNextLevel, gsLevelIntro);
        t.allow(gsPlaying, gsGameOver); // the last life is lost
        // "YES" to ending the game, from the question or as a replay records it.
        t.allow({gsExitQuery, gsLevelIntro, gsHeroDying, gsPaused}, gsGameOver);
        // P, the boss key and a lost focus hold a running game (a lost focus "GAME OVER" too); P goes
        // on where it was.
        t.allowBothWays({gsPlaying, gsHeroDying, gsLevelIntro, gsGameOver}, gsPaused);
        // The exit question over a game or its dialogs; "NO" gives back the screen beneath.
        t.allowBothWays({gsPlaying, gsHeroDying, gsLevelIntro, gsPaused, gsNextLevel, gsNameEntry, gsSendQuery,
                         gsSending, gsSendFailed},
                        gsExitQuery);
        t.allow(gsGameOver, gsNameEntry);  // a result for the table
        t.allow(gsNameEntry, gsSendQuery); // the name accepted
        t.allow(gsSendQuery, gsSending);
        t.allow(gsSending, gsSendFailed);
        t.allow(gsSending, gsSendQuery); // sent: answered "NO" for the player, which shows the scores
        t.allow(gsSendFailed, gsSendQuery);
        // Every screen of a game can end in the menu: no result, a field that could not be built,
        // a replay stopped or ended.
        t.allow(GameScreens, gsMenu);
        return t;
    }();
    return table;
}

const TChangeTable<TMenuScreen, MenuScreenCount>& menuScreenChanges() {
    static const auto table = [] {
        TChangeTable<TMenuScreen, MenuScreenCount> t;
        // The main menu is where the menu field starts and where every screen goes back to.
        t.allow({msNone, msOptions, msScores, msHelp, msExitQuery, msClearScores, msBossKey, msNameEntry, msSendQuery},
                msMain);
        t.allow(msMain, msOptions);
        t.allow(msMain, msScores);
        t.allow(msMain, msHelp);
        t.allowBothWays({msOptions}, msBossKey);
        t.allowBothWays({msScores}, msClearScores);
        // The exit question over any screen, and "NO" back to it.
        t.allowBothWays({msMain, msOptions, msScores, msHelp, msClearScores, msBossKey, msNameEntry, msSendQuery},
                        msExitQuery);
        // The end of a game: its name entry opens over whatever screen the menu last showed.
        t.allow({msMain, msScores}, msNameEntry);
        t.allow(msNameEntry, msSendQuery);
        return t;
    }();
    return table;
}

} // namespace

bool IsListedGameStateChange(TGameState from, TGameState to) { return gameStateChanges().listed(from, to); }
bool IsListedMenuScreenChange(TMenuScreen from, TMenuScreen to) { return menuScreenChanges().listed(from, to); }

void SetGameState(TGameState to) {
#ifndef NDEBUG
    if (!IsListedGameStateChange(Shell.GameState, to))
        throw EScreenFlowError("No change from game state " + GameStateName(Shell.GameState) + " to " +
                               GameStateName(to));
#endif
    Shell.GameState = to;
}

void SetMenuScreen(TMenuScreen to) {
#ifndef NDEBUG
    if (!IsListedMenuScreenChange(Shell.MenuScreen, to))
        throw EScreenFlowError("No change from menu screen " + MenuScreenName(Shell.MenuScreen) + " to " +
                               MenuScreenName(to));
#endif
    Shell.MenuScreen = to;
}

std::string GameStateName(TGameState state) {
    static constexpr const char* names[] = {"gsNone",       "gsMenu",       "gsPlaying",  "gsExitQuery", "gsHeroDying",
                                            "gsLevelIntro", "gsGameOver",   "gsPaused",   "gsNameEntry", "gsSendQuery",
                                            "gsSending",    "gsSendFailed", "gsNextLevel"};
    return state < GameStateCount ? names[state] : std::to_string(static_cast<int>(state));
}

std::string MenuScreenName(TMenuScreen screen) {
    static constexpr const char* names[] = {"msNone",      "msMain",        "msOptions", "msScores",    "msHelp",
                                            "msExitQuery", "msClearScores", "msBossKey", "msNameEntry", "msSendQuery"};
    return screen < MenuScreenCount ? names[screen] : std::to_string(static_cast<int>(screen));
}
