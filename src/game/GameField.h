// SPDX-License-Identifier: MIT
// The game's rules above the sprites: building the field, clearing it after a lost life, the
// ceiling groups, which fish a level sends, the next level, one game tick and its texts.
#pragma once

#include "state/ShellState.h"

#include <cstdint>
#include <string>

struct TTickInput;
class TSprite;
class TPictureCollectionItem;
class TDirectDrawSurfaceCanvas;

// The picture by name; a missing one raises, as the picture collection does.
TPictureCollectionItem* GamePicture(const std::string& name);
// Plays a game sound when sound is on.
void PlayGameSound(const char* name);
// The root of the sprite tree the game builds into.
TSprite& GameRoot();

// A new game on the emptied engine: the game's pictures loaded, the window's own sprites, then
// the field. The random generator's draws for the game start here.
void StartGameField();
// Builds the field above the background and the dialog frame the window made: status bar, gauges,
// the ceiling and floor chains, the diver and its engine; then the values of a new game, with the
// first level announced.
void BuildGameField();
// After a lost life and at each new level: fish, bonuses, shots and bubbles go, the diver waits at
// the start, the timed bonuses end.
void ClearGameField();
// One ceiling group of three kinds, chosen at random, at the right end of the chain.
void CreateUpRelief();
// One of the four floor pictures, chosen at random.
std::string FloorPieceName();
// A fish of a kind the level allows.
void CreateEnemy();
void StartNextLevel();
// Changes the scroll speed; the chains' ends move back by the old speed first.
void SetScrollSpeed(std::uint16_t speed);
// The level's fish kinds (levels 1 to 6; later levels allow every kind).
bool EnemyKindAllowed(std::uint8_t level, std::int32_t kind);

// "GAME OVER" and "LEVEL n" each show this long (ms).
constexpr std::int32_t GameOverTime = 1500;
constexpr std::int32_t LevelIntroTime = 1500;
// The first level's tank, full; each later level starts on the tank the level before had.
constexpr std::int32_t StartingAir = 1500;

// One game tick with its input: dead sprites go, then the play or dying step, the level
// announcement's count, "GAME OVER"'s count and the change of level, in that order.
void RunGameTick(const TTickInput& input);
// "GAME OVER" has shown long enough: the window shows the table entry or the menu.
bool GameOverHasRunOut();
// The states whose ticks a replay records: in every other one the game stands still.
bool IsRecordedGameState(TGameState state);
// The player answered "YES" to ending the game: "GAME OVER" runs as after the last life.
void EndGameAtPlayersWish();
// The level number and the score, drawn over every game screen.
void DrawHeadUp(TDirectDrawSurfaceCanvas& canvas);
// "LEVEL n", "GAME OVER" or "PAUSE" in big red letters, in their states. Draws only.
void DrawGameOverlays(TDirectDrawSurfaceCanvas& canvas);

// The game's state as text, for replays: level, score, lives, air and live sprites by class.
std::string GameStateDump();
