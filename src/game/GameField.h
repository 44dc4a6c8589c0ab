// The game's rules above the sprites: building the field, clearing it after a lost life, the
// ceiling groups, which fish a level sends, the next level, one game tick and its texts.
#pragma once

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

// Game-tick steps with the tick's input: dead sprites go, then the play or dying step.
void RunGameTick(const TTickInput& input);
// The level number and the score, drawn over every game screen.
void DrawHeadUp(TDirectDrawSurfaceCanvas& canvas);
// "LEVEL n" while the level is announced; when it has shown long enough, play starts.
void LevelIntroOverlay(TDirectDrawSurfaceCanvas& canvas);
void PauseOverlay(TDirectDrawSurfaceCanvas& canvas);
// The diver reached the surface: the next level is built.
void NextLevelOverlay();

// The game's state as text, for replays: level, score, lives, air and live sprites by class.
std::string GameStateDump();
