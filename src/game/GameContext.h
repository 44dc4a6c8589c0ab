// What the game needs from the window that runs it, handed over once: the sprite engine,
// the picture and wave collections, and the pointer routines. Input comes with each tick.
#pragma once

#include <functional>

class TCustomDXSpriteEngine;
class TPictureCollection;
class TWaveCollection;

struct GameContext {
    TCustomDXSpriteEngine* SpriteEngine = nullptr;
    TPictureCollection* Pictures = nullptr;
    TWaveCollection* Waves = nullptr; // nullptr: silent
    std::function<void(bool)> ShowCursor;
    std::function<void()> CentreCursor; // the pointer to (400, 300)
};

// The context the running game uses; the window sets it once, when it is created.
void SetGameContext(const GameContext& context);
const GameContext& CurrentGameContext();
