// SPDX-License-Identifier: MIT
// The headless replay: its own sprite engine and pictures, the recorded input tick by tick.
#include "game/ReplayVerifier.h"

#include "engine/DXSprite.h"
#include "game/GameContext.h"
#include "game/GameField.h"
#include "game/GameState.h"
#include "graphics/PictureCollection.h"
#include "platform/Random.h"
#include "state/ShellState.h"

namespace {

// What the replay changes of the running program comes back when it ends.
class KeptRunningGame {
public:
    KeptRunningGame()
        : context_(CurrentGameContext()), shell_(Shell), game_(Game), random_(tw::platform::randomSeed()) {}
    ~KeptRunningGame() {
        SetGameContext(context_);
        Shell = shell_;
        Game = game_;
        tw::platform::seedRandom(random_);
    }
    KeptRunningGame(const KeptRunningGame&) = delete;
    KeptRunningGame& operator=(const KeptRunningGame&) = delete;

private:
    GameContext context_;
    ShellState shell_;
    GameGlobals game_;
    std::uint32_t random_;
};

// The water and the dialog frame a window adds beneath and above the game, so that the end state
// counts the same sprites as a game played in the window.
void addStandInWindowSprites(TSprite& root) {
    new TBackgroundSprite(&root);
    new TImageSprite(&root);
}

} // namespace

TReplayVerdict VerifyReplay(const TReplay& replay) {
    const KeptRunningGame kept;
    TCustomDXSpriteEngine engine;
    TPictureCollection pictures;
    GameContext context;
    context.SpriteEngine = &engine;
    context.Pictures = &pictures;
    context.AddWindowSprites = addStandInWindowSprites;
    SetGameContext(context);
    Shell = ShellState{};

    TReplayPlayer player(replay);
    player.Begin();
    StartGameField();
    TReplayVerdict verdict;
    while (!player.AtEnd() && IsRecordedGameState(Shell.GameState)) {
        const TReplayTick& tick = player.Next();
        if (tick.Quit) EndGameAtPlayersWish();
        RunGameTick(tick.Input);
        if (!player.CheckAfterTick()) {
            verdict.DesyncByTick = player.TicksPlayed();
            break;
        }
        if (GameOverHasRunOut()) break;
    }
    verdict.TicksPlayed = player.TicksPlayed();
    verdict.Dump = GameStateDump();
    const TReplayEnd end{Game.Score, Game.Level, ReplayCheckValue()};
    verdict.Matches = verdict.DesyncByTick == 0 && player.AtEnd() && GameOverHasRunOut() && end == replay.End;
    // The field goes before the game's values come back: its sprites point into them.
    engine.Engine().FreeChildren();
    return verdict;
}
