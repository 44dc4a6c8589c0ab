// SPDX-License-Identifier: MIT
// What the game needs from the window that runs it, handed over once: the sprite engine,
// the picture and wave collections, the pointer routines and the window's own sprites. Input comes with each tick.
#pragma once

#include <functional>

class TCustomDXSpriteEngine;
class TSprite;
class TPictureCollection;
class TWaveCollection;

struct GameContext {
    TCustomDXSpriteEngine* SpriteEngine = nullptr;
    TPictureCollection* Pictures = nullptr;
    TWaveCollection* Waves = nullptr; // nullptr: silent
    std::function<void(bool)> ShowCursor;
    std::function<void()> CentreCursor; // the pointer to the middle of the picture
    // Adds what the window shows beneath and above a new game's own sprites (the water and the
    // dialog frame its questions use), first on the emptied engine.
    std::function<void(TSprite& root)> AddWindowSprites;
};

// The context the running game uses; the window sets it once, when it is created.
void SetGameContext(const GameContext& context);
const GameContext& CurrentGameContext();
