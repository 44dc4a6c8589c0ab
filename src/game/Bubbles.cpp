// SPDX-License-Identifier: MIT
// The diver's bubbles, swaying as they rise, and the algae growing on the floor.
#include "game/GameField.h"
#include "game/GameSprites.h"
#include "game/GameState.h"
#include "game/SineTable.h"
#include "graphics/PictureCollection.h"
#include "platform/Random.h"

TBubbleSprite::TBubbleSprite(TSprite* parent, std::int32_t x, std::int32_t y) : TGameSprite(parent, spBubble) {
    Image = GamePicture("bubble" + std::to_string(tw::platform::random(4) + 1));
    Width = Image->Width();
    Height = Image->Height();
    Phase = static_cast<std::uint8_t>(tw::platform::random(256));
    BaseX = x;
    X = x;
    Y = y;
    SetZ(gzActors);
}

void TBubbleSprite::MoveSelf(std::int32_t) {
    ++Phase;
    X = BaseX + Sine20[Phase];
    Y -= 2;
    BaseX -= Game.ScrollSpeed;
    // Gone once it has risen into the rock above.
    if (Y < 114 - Height) MarkDead();
}

TGreenAlgae::TGreenAlgae(TSprite* parent, std::int32_t kind) : TGameSprite(parent, spAlgae), AlgaeKind(kind) {
    X = 800;
    Image = GamePicture("algae" + std::to_string(kind));
    Width = Image->Width();
    Height = Image->Height();
    const std::int32_t sway = tw::platform::random(15);
    Y = (kind == 1 ? 520 : kind == 2 ? 547 : 496) + sway;
    SetZ(gzFloats);
}

void TGreenAlgae::MoveSelf(std::int32_t) {
    // Kind 1 sways through three patterns, kind 3 through four; kind 2 stands still.
    if (AlgaeKind == 1) {
        SwayCounter = SwayCounter < 29 ? SwayCounter + 1 : 0;
        FramePos = SwayCounter / 10;
    } else if (AlgaeKind == 3) {
        SwayCounter = SwayCounter < 39 ? SwayCounter + 1 : 0;
        FramePos = SwayCounter / 10;
    }
    X -= Game.ScrollSpeed;
    if (X <= -Width) MarkDead();
}
