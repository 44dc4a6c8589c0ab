// SPDX-License-Identifier: MIT
// The sprite tree every screen is made of: depth order, the per-frame move and draw passes,
// collision scans, deferred destruction, pattern animation, tiled backgrounds, and the component
// that binds the tree to the display.
#pragma once

#include "graphics/DXDraws.h"
#include "graphics/Surface.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

class TPictureCollectionItem;
class TSpriteEngine;

// "Index of the list exceeds the range. (%d)"
class ESpriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Strict overlap: rectangles that only touch do not overlap.
constexpr bool OverlapRect(const TRect& a, const TRect& b) {
    return a.Left < b.Right && a.Right > b.Left && a.Top < b.Bottom && a.Bottom > b.Top;
}

// a mod m, made non-negative. m = 0 leaves a as it is.
constexpr std::int32_t Mod2(std::int32_t a, std::int32_t m) {
    if (m == 0) {
        return a;
    }
    const std::int32_t r = a % m;
    return r < 0 ? r + m : r;
}

// A sprite belongs to its parent from its constructor on: the parent's child list owns it, and the
// tree alone ends it (FreeChildren, the engine's FreeDead, or with its parent). Create sprites with
// `new TMySprite(parent)` and keep only the raw pointer.
class TSprite {
public:
    explicit TSprite(TSprite* parent);
    virtual ~TSprite();
    TSprite(const TSprite&) = delete;
    TSprite& operator=(const TSprite&) = delete;

    TSpriteEngine* Engine() const { return engine_; }
    TSprite* Parent() const { return parent_; }
    int ChildCount() const { return lists_ ? static_cast<int>(lists_->children.size()) : 0; }
    // By insertion index. Throws ESpriteError without children, EListError outside the list.
    TSprite* Child(int index) const;
    // By depth, lowest first (the order of drawing).
    TSprite* DrawOrderChild(int index) const;
    bool Dead() const { return dead_; }
    // Which of its own kinds the layer that made the sprite gave it (0: none), so that the layer
    // switches on one number instead of asking class by class.
    std::uint8_t KindTag() const { return kindTag_; }

    bool Collidable = true;
    bool Movable = true;
    bool Visible = true;
    std::int32_t X = 0, Y = 0;
    std::int32_t Width = 0, Height = 0;
    std::int32_t Z() const { return z_; }
    // Re-sorts the sprite among its siblings; among equal depths it goes beneath the others.
    void SetZ(std::int32_t z);

    // One-way; the sprite keeps moving, drawing and colliding until the engine's next FreeDead.
    void MarkDead();
    void MoveTree(std::int32_t moveCount);
    void DrawTree();
    // Scans the tree for sprites overlapping this one; returns the number of hits.
    int CheckCollisions();
    // Destroys the children, always the last one first.
    void FreeChildren();

    double AbsoluteX() const;
    double AbsoluteY() const;

    // The sprite's overridable behaviour.
    virtual void HandleCollision(TSprite* other, bool& done);
    virtual void DrawSelf();
    virtual void MoveSelf(std::int32_t moveCount);
    virtual TRect CalcBounds();
    virtual bool AcceptsCollision(TSprite* other);

protected:
    void SetKindTag(std::uint8_t tag) { kindTag_ = tag; }

private:
    friend class TSpriteEngine;
    struct Lists {
        std::vector<std::unique_ptr<TSprite>> children; // insertion order; owns the children
        std::vector<TSprite*> drawOrder;                // the same children by ascending Z
    };

    void attachChild(TSprite* child);
    void insertByDepth(TSprite* child);
    void removeFromDrawOrder(TSprite* child);
    // Unlinks a child from this sprite and its engine and hands back the ownership of it.
    std::unique_ptr<TSprite> detachChild(TSprite* child);
    static void destroy(TSprite* sprite);

    TSpriteEngine* engine_ = nullptr;
    TSprite* parent_ = nullptr;
    std::unique_ptr<Lists> lists_; // made with the first child, dropped with the last
    bool dead_ = false;
    bool attached_ = false; // still in its parent's lists
    std::uint8_t kindTag_ = 0;
    std::int32_t z_ = 0;
};

class TImageSprite : public TSprite {
public:
    explicit TImageSprite(TSprite* parent);

    std::int32_t FrameCount = 0;
    bool FrameLooped = false;
    std::int32_t FramePos = 0;
    double FrameSpeed = 0.0;
    std::int32_t FrameStart = 0;
    TPictureCollectionItem* Image = nullptr; // not owned
    bool PixelPrecise = false;
    bool Wrap = false;

    std::int32_t PatternIndex() const { return FrameStart + FramePos; }
    // CalcBounds with the image centred in the sprite's box.
    TRect DrawRect();

    // The frame step: advance by moveCount × FrameSpeed, then wrap or stop at the ends.
    void MoveSelf(std::int32_t moveCount) override;
    void DrawSelf() override;
    TRect CalcBounds() override;
    bool AcceptsCollision(TSprite* other) override;
};

class TBackgroundSprite : public TSprite {
public:
    explicit TBackgroundSprite(TSprite* parent);

    TPictureCollectionItem* Image = nullptr; // pattern 0 gives the cell size; not owned
    bool Tiled = false;

    std::int32_t MapWidth() const { return mapWidth_; }
    std::int32_t MapHeight() const { return mapHeight_; }
    // Resizes and refills both maps (every chip 0, every cell solid); a size of 0 or less in either
    // direction empties them.
    void SetMapSize(std::int32_t width, std::int32_t height);
    // -1 outside the map.
    std::int32_t ChipAt(std::int32_t col, std::int32_t row) const;
    void SetChip(std::int32_t col, std::int32_t row, std::int32_t chip);
    // false outside the map.
    bool CollisionCellAt(std::int32_t col, std::int32_t row) const;
    void SetCollisionCell(std::int32_t col, std::int32_t row, bool solid);

    void DrawSelf() override;
    TRect CalcBounds() override;
    bool AcceptsCollision(TSprite* other) override;

private:
    bool inMap(std::int32_t col, std::int32_t row) const {
        return col >= 0 && row >= 0 && col < mapWidth_ && row < mapHeight_;
    }
    std::size_t cell(std::int32_t col, std::int32_t row) const {
        return static_cast<std::size_t>(col) + static_cast<std::size_t>(row) * static_cast<std::size_t>(mapWidth_);
    }
    void drawChip(std::int32_t chip, std::int32_t x, std::int32_t y);

    std::int32_t mapWidth_ = 0, mapHeight_ = 0;
    std::vector<std::int32_t> chips_;        // row-major; a negative chip leaves the cell empty
    std::vector<std::uint8_t> collisionMap_; // 1 = solid
};

// The root of the tree.
class TSpriteEngine : public TSprite {
public:
    TSpriteEngine();
    ~TSpriteEngine() override;

    int SpriteCount() const { return spriteCount_; }
    const std::vector<TSprite*>& DeadList() const { return deadList_; }
    int DrawCount() const { return drawCount_; }

    TDirectDrawSurface* Surface() const { return surface_; }
    // Binds the surface to draw on (not owned); an absent surface leaves SurfaceRect as it was.
    void SetSurface(TDirectDrawSurface* surface);
    const TRect& SurfaceRect() const { return surfaceRect_; }

    // The scan in progress (see CheckCollisions).
    int CollisionCount() const { return collisionCount_; }
    bool CollisionDone() const { return collisionDone_; }
    const TRect& CollisionRect() const { return collisionRect_; }
    TSprite* CollisionTester() const { return collisionTester_; }

    // Destroys the sprites marked dead, the last marked first.
    void FreeDead();
    // Draws the tree onto the surface and counts the sprites drawn.
    void Draw();

private:
    friend class TSprite;
    void collisionVisit(TSprite* sprite);

    int spriteCount_ = 0;
    std::vector<TSprite*> deadList_;
    int drawCount_ = 0;
    TDirectDrawSurface* surface_ = nullptr;
    TRect surfaceRect_;
    int collisionCount_ = 0;
    bool collisionDone_ = false;
    TRect collisionRect_;
    TSprite* collisionTester_ = nullptr;
};

// The component the main window holds: one engine, drawn to a display and following its
// notifications (the back surface is bound at initialise and dropped at finalise).
class TCustomDXSpriteEngine : public TDXDrawNotifyListener {
public:
    TCustomDXSpriteEngine();
    ~TCustomDXSpriteEngine() override;
    TCustomDXSpriteEngine(const TCustomDXSpriteEngine&) = delete;
    TCustomDXSpriteEngine& operator=(const TCustomDXSpriteEngine&) = delete;

    TSpriteEngine& Engine() { return *engine_; }
    TCustomDXDraw* DXDraw() const { return dxDraw_; }
    // Unregisters from the old display and registers with the new one (nullptr: none).
    void SetDXDraw(TCustomDXDraw* display);

    void Move(std::int32_t moveCount);
    void FreeDead();
    // Draws only while the display can draw and its picture can be seen.
    void Draw();

    void DXDrawNotify(TCustomDXDraw& sender, TDXDrawNotifyType notifyType) override;

private:
    std::unique_ptr<TSpriteEngine> engine_;
    TCustomDXDraw* dxDraw_ = nullptr;
};

class TDXSpriteEngine : public TCustomDXSpriteEngine {};
