// SPDX-License-Identifier: MIT
// The rock of the cave: ceiling pieces chained in groups, and the endless floor.
#include "game/GameField.h"
#include "game/GameSprites.h"
#include "game/GameState.h"
#include "graphics/PictureCollection.h"
#include "platform/Random.h"

TRelief::TRelief(TSprite* parent, const std::string& name, bool isUp, bool groupEnd)
    : TGameSprite(parent, spRelief), IsUp(isUp) {
    Image = GamePicture(name);
    SetZ(gzRelief);
    Visible = true;
    PixelPrecise = false;
    Width = Image->Width();
    Height = Image->Height();
    if (IsUp) {
        X = Game.UpReliefEnd;
        Y = 114;
        Game.UpReliefEnd += Width;
        GroupEnd = groupEnd;
    } else {
        X = Game.DownReliefEnd;
        Y = 473;
        Game.DownReliefEnd += Width;
    }
}

void TRelief::MoveSelf(std::int32_t) {
    X -= Game.ScrollSpeed;
    // A piece that has left is still moved until it is freed (twice in the tick of a death): it
    // must not leave again and lay a second piece in its place.
    if (X + Width >= 0 || Dead()) return;
    MarkDead();
    if (!IsUp) {
        new TRelief(&GameRoot(), FloorPieceName(), false, false);
        return;
    }
    if (!GroupEnd) return;
    if (Game.UpReliefCount < Game.LevelLength) {
        CreateUpRelief();
    } else if (Game.UpReliefCount == Game.LevelLength) {
        // The last piece: past it the cave opens to the surface.
        new TRelief(&GameRoot(), "uprelief2", true, false);
        ++Game.UpReliefCount;
    }
}

void CreateUpRelief() {
    TSprite& root = GameRoot();
    switch (tw::platform::random(3)) {
    case 0: new TRelief(&root, "uprelief3", true, true); break;
    case 1:
        for (int i = 1; i <= 6; ++i) new TRelief(&root, "uprelief4-" + std::to_string(i), true, i == 6);
        break;
    default:
        for (int i = 1; i <= 4; ++i) new TRelief(&root, "uprelief5-" + std::to_string(i), true, i == 4);
        break;
    }
    ++Game.UpReliefCount;
}

std::string FloorPieceName() { return "downrelief" + std::to_string(tw::platform::random(4) + 1); }
