// SPDX-License-Identifier: MIT
// The status bar at the top: its picture, the air gauge and the lives left.
#include "game/GameField.h"
#include "game/GameSprites.h"
#include "game/GameState.h"
#include "graphics/PictureCollection.h"

#include <algorithm>
#include <cmath>

TStatusSprite::TStatusSprite(TSprite* parent) : TGameSprite(parent, spStatusBar) {
    Image = GamePicture("statusbar");
    Width = Image->Width();
    Height = Image->Height();
    X = 0;
    Y = 0;
    SetZ(gzStatus);
}

TScaleSprite::TScaleSprite(TSprite* parent) : TGameSprite(parent, spAirGauge) {
    Image = GamePicture("scale");
    Image->PatternWidth = 1; // one pattern per column of the gauge
    X = 257;
    Y = 60;
    Width = 200;
    Height = Image->Height();
    SetZ(gzGauges);
}

TScaleSprite::~TScaleSprite() {
    if (Game.AirGauge == this) Game.AirGauge = nullptr;
}

void TScaleSprite::DrawSelf() {
    TDirectDrawSurface* surface = Engine() ? Engine()->Surface() : nullptr;
    // Without a maximum there is no share of air to show.
    if (!surface || Game.AirMax <= 0) return;
    const double share = static_cast<double>(Game.Air) / Game.AirMax * 200.0;
    const auto last = static_cast<std::int32_t>(std::nearbyint(std::clamp(share, -1.0, 200.0)));
    const std::int32_t columns = std::min(last, Image->PatternCount() - 1);
    for (std::int32_t i = 0; i <= columns; ++i) Image->Draw(surface, X + i, Y, i);
}

TLivesIndicator::TLivesIndicator(TSprite* parent) : TGameSprite(parent, spLives) {
    Image = GamePicture("life");
    X = 310;
    Y = 38;
    SetZ(gzGauges);
}

void TLivesIndicator::DrawSelf() {
    TDirectDrawSurface* surface = Engine() ? Engine()->Surface() : nullptr;
    if (!surface) return;
    for (std::int32_t i = 1; i <= Game.Lives; ++i) Image->Draw(surface, 462 + 24 * i, 42, 0);
}
