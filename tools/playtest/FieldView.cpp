// SPDX-License-Identifier: MIT
// Reading the sprite tree the way a player reads the screen.
#include "FieldView.h"

#include "game/GameSprites.h"

namespace playtest {

namespace {

bool onScreen(const TSprite& s) { return s.X < 800 && s.X + s.Width > 0 && s.Y < 600 && s.Y + s.Height > 0; }

Sighting box(const TSprite& s, Sighting::Kind kind) {
    Sighting seen;
    seen.kind = kind;
    seen.id = &s;
    seen.x = s.X;
    seen.y = s.Y;
    seen.w = s.Width;
    seen.h = s.Height;
    return seen;
}

} // namespace

FieldView LookAtField(TSprite& root) {
    FieldView view;
    for (int i = 0; i < root.ChildCount(); ++i) {
        TSprite* s = root.Child(i);
        if (s->Dead() || !s->Visible || !onScreen(*s)) continue;
        if (auto* fish = dynamic_cast<TEnemySprite*>(s)) {
            Sighting seen = box(*fish, Sighting::Fish);
            seen.fishKind = fish->Kind;
            seen.hitPoints = fish->HitPoints;
            view.things.push_back(seen);
        } else if (auto* relief = dynamic_cast<TRelief*>(s)) {
            if (relief->IsUp) view.things.push_back(box(*relief, Sighting::Rock));
        } else if (auto* bonus = dynamic_cast<TBonusSprite*>(s)) {
            Sighting seen = box(*bonus, Sighting::Bonus);
            seen.bonusKind = bonus->BonusKind;
            view.things.push_back(seen);
        } else if (dynamic_cast<TTreasureSprite*>(s)) {
            view.things.push_back(box(*s, Sighting::Treasure));
        }
    }
    return view;
}

} // namespace playtest
