// The one instance of the game's variables and of the context the window hands the game.
#include "game/GameContext.h"
#include "game/GameState.h"

GameGlobals Game;

namespace {
GameContext context;
}

void ResetGameState() { Game = GameGlobals{}; }

void SetGameContext(const GameContext& c) { context = c; }
const GameContext& CurrentGameContext() { return context; }
