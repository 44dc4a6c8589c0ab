// SPDX-License-Identifier: MIT
// The sprite tree: attaching and detaching, depth order, the move, draw and collision passes,
// deferred destruction, image and background sprites, and the display-bound component.
#include "engine/DXSprite.h"

#include "core/DXClass.h"
#include "graphics/PictureCollection.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace {

std::int32_t truncated(double v) {
    // Positions are sums of 32-bit values; keep the conversion defined even for absurd trees.
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(std::trunc(v), lo, hi));
}

std::int32_t toInt32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

TRect intersect(const TRect& a, const TRect& b) {
    return TRect{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                 std::min(a.Bottom, b.Bottom)};
}

TRect offsetRect(const TRect& r, std::int32_t dx, std::int32_t dy) {
    return TRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

} // namespace

// ---- TSprite: the tree -----------------------------------------------------------------------

TSprite::TSprite(TSprite* parent) : parent_(parent) {
    if (parent_ != nullptr) {
        parent_->attachChild(this);
    }
}

TSprite::~TSprite() {
    FreeChildren();
    // Normally the tree has already unlinked the sprite (see destroy). This covers a derived
    // constructor that threw: the parent's list must let go without freeing a second time.
    if (attached_) {
        parent_->detachChild(this).release();
    }
}

void TSprite::attachChild(TSprite* child) {
    if (!lists_) {
        lists_ = std::make_unique<Lists>();
    }
    lists_->drawOrder.reserve(lists_->children.size() + 1); // so nothing can fail half-way below
    lists_->children.emplace_back(child);
    insertByDepth(child);
    child->attached_ = true;
    auto* asEngine = dynamic_cast<TSpriteEngine*>(this);
    child->engine_ = asEngine != nullptr ? asEngine : engine_;
    if (child->engine_ != nullptr) {
        ++child->engine_->spriteCount_;
    }
}

void TSprite::insertByDepth(TSprite* child) {
    // Binary search that stops before every sibling of equal depth: among equals, the sprite
    // inserted last is drawn first, beneath the others.
    std::vector<TSprite*>& order = lists_->drawOrder;
    int lower = 0;
    int upper = static_cast<int>(order.size()) - 1;
    while (lower <= upper) {
        const int middle = (lower + upper) / 2;
        if (order[static_cast<std::size_t>(middle)]->z_ < child->z_) {
            lower = middle + 1;
        } else {
            upper = middle - 1;
        }
    }
    order.insert(order.begin() + lower, child);
}

void TSprite::removeFromDrawOrder(TSprite* child) {
    std::vector<TSprite*>& order = lists_->drawOrder;
    order.erase(std::find(order.begin(), order.end(), child));
}

std::unique_ptr<TSprite> TSprite::detachChild(TSprite* child) {
    auto& children = lists_->children;
    // Searched from the end: the tree usually ends its newest sprites first.
    auto it = std::find_if(children.rbegin(), children.rend(),
                           [child](const std::unique_ptr<TSprite>& c) { return c.get() == child; });
    std::unique_ptr<TSprite> owned = std::move(*it);
    children.erase(std::next(it).base());
    removeFromDrawOrder(child);
    if (children.empty()) {
        lists_.reset();
    }
    child->attached_ = false;
    if (TSpriteEngine* engine = child->engine_) {
        --engine->spriteCount_;
        if (child->dead_) {
            auto& dead = engine->deadList_;
            auto d = std::find(dead.rbegin(), dead.rend(), child);
            if (d != dead.rend()) {
                dead.erase(std::next(d).base());
            }
        }
    }
    return owned;
}

void TSprite::destroy(TSprite* sprite) {
    // The one place a sprite of the tree ends: its subtree first, then its place in the lists.
    sprite->FreeChildren();
    std::unique_ptr<TSprite> owned = sprite->parent_->detachChild(sprite);
}

TSprite* TSprite::Child(int index) const {
    if (!lists_) {
        throw ESpriteError("Index of the list exceeds the range. (" + std::to_string(index) + ")");
    }
    if (index < 0 || index >= ChildCount()) {
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    }
    return lists_->children[static_cast<std::size_t>(index)].get();
}

TSprite* TSprite::DrawOrderChild(int index) const {
    if (!lists_) {
        throw ESpriteError("Index of the list exceeds the range. (" + std::to_string(index) + ")");
    }
    if (index < 0 || index >= ChildCount()) {
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    }
    return lists_->drawOrder[static_cast<std::size_t>(index)];
}

void TSprite::SetZ(std::int32_t z) {
    if (z == z_) {
        return;
    }
    z_ = z;
    if (attached_) {
        parent_->removeFromDrawOrder(this);
        parent_->insertByDepth(this);
    }
}

void TSprite::MarkDead() {
    if (engine_ != nullptr && !dead_) {
        dead_ = true;
        engine_->deadList_.push_back(this);
    }
}

void TSprite::FreeChildren() {
    while (lists_) {
        destroy(lists_->children.back().get());
    }
}

double TSprite::AbsoluteX() const {
    double x = X;
    for (const TSprite* p = parent_; p != nullptr; p = p->parent_) {
        x += p->X;
    }
    return x;
}

double TSprite::AbsoluteY() const {
    double y = Y;
    for (const TSprite* p = parent_; p != nullptr; p = p->parent_) {
        y += p->Y;
    }
    return y;
}

// ---- TSprite: the passes ---------------------------------------------------------------------

void TSprite::MoveTree(std::int32_t moveCount) {
    if (!Movable) {
        return;
    }
    MoveSelf(moveCount);
    // Counted once: children made during the pass first move in the next one.
    const int count = ChildCount();
    for (int i = 0; i < count && i < ChildCount(); ++i) {
        lists_->children[static_cast<std::size_t>(i)]->MoveTree(moveCount);
    }
}

void TSprite::DrawTree() {
    if (!Visible) {
        return;
    }
    if (engine_ != nullptr && OverlapRect(CalcBounds(), engine_->surfaceRect_)) {
        DrawSelf();
        ++engine_->drawCount_;
    }
    const int count = ChildCount();
    for (int i = 0; i < count && i < ChildCount(); ++i) {
        lists_->drawOrder[static_cast<std::size_t>(i)]->DrawTree();
    }
}

int TSprite::CheckCollisions() {
    if (engine_ == nullptr || dead_ || !Collidable) {
        return 0;
    }
    TSpriteEngine& e = *engine_;
    e.collisionCount_ = 0;
    e.collisionDone_ = false;
    e.collisionRect_ = CalcBounds();
    e.collisionTester_ = this;
    // The done flag only keeps the scan out of subtrees: every sprite directly under the engine
    // is still examined.
    const int count = e.ChildCount();
    for (int i = 0; i < count && i < e.ChildCount(); ++i) {
        e.collisionVisit(e.lists_->children[static_cast<std::size_t>(i)].get());
    }
    return e.collisionCount_;
}

void TSpriteEngine::collisionVisit(TSprite* sprite) {
    if (!sprite->Collidable) {
        return;
    }
    TSprite* tester = collisionTester_;
    if (sprite != tester && OverlapRect(sprite->CalcBounds(), collisionRect_) && tester->AcceptsCollision(sprite) &&
        sprite->AcceptsCollision(tester)) {
        ++collisionCount_;
        tester->HandleCollision(sprite, collisionDone_);
        if (!tester->Collidable || tester->dead_) {
            collisionDone_ = true;
        }
    }
    if (collisionDone_) {
        return;
    }
    const int count = sprite->ChildCount();
    for (int i = 0; i < count && i < sprite->ChildCount(); ++i) {
        collisionVisit(sprite->lists_->children[static_cast<std::size_t>(i)].get());
    }
}

void TSprite::HandleCollision(TSprite*, bool&) {}
void TSprite::DrawSelf() {}
void TSprite::MoveSelf(std::int32_t) {}

TRect TSprite::CalcBounds() {
    const std::int32_t left = truncated(AbsoluteX());
    const std::int32_t top = truncated(AbsoluteY());
    return TRect{left, top, left + Width, top + Height};
}

bool TSprite::AcceptsCollision(TSprite*) { return true; }

// ---- TImageSprite ----------------------------------------------------------------------------

TImageSprite::TImageSprite(TSprite* parent) : TSprite(parent) {}

void TImageSprite::MoveSelf(std::int32_t moveCount) {
    // nearbyint rounds to the nearest, ties to even, in the default rounding mode.
    const double step = std::nearbyint(static_cast<double>(moveCount) * FrameSpeed);
    const double lo = std::numeric_limits<std::int32_t>::min();
    const double hi = std::numeric_limits<std::int32_t>::max();
    std::int64_t pos = std::int64_t{FramePos} + static_cast<std::int64_t>(std::clamp(step, lo, hi));
    if (FrameLooped) {
        if (FrameCount > 0) {
            pos %= FrameCount;
            if (pos < 0) {
                pos += FrameCount;
            }
        } else {
            pos = 0;
        }
    } else {
        if (pos >= FrameCount) {
            pos = std::int64_t{FrameCount} - 1;
            FrameSpeed = 0.0;
        }
        if (pos < 0) {
            pos = 0;
            FrameSpeed = 0.0;
        }
    }
    FramePos = toInt32(pos);
}

TRect TImageSprite::CalcBounds() {
    std::int32_t x = truncated(AbsoluteX());
    std::int32_t y = truncated(AbsoluteY());
    if (Wrap && Engine() != nullptr) {
        const std::int32_t r = Engine()->SurfaceRect().Right;
        const std::int32_t b = Engine()->SurfaceRect().Bottom;
        x = Mod2(x, r + Width);
        y = Mod2(y, b + Height);
        if (x > r) {
            x -= r + Width;
        }
        if (y > b) {
            y -= b + Height;
        }
    }
    return TRect{x, y, x + Width, y + Height};
}

TRect TImageSprite::DrawRect() {
    TRect r = CalcBounds();
    if (Image != nullptr) {
        r = offsetRect(r, (Width - Image->Width()) / 2, (Height - Image->Height()) / 2);
    }
    return r;
}

void TImageSprite::DrawSelf() {
    if (Image == nullptr || Engine() == nullptr) {
        return;
    }
    const TRect r = DrawRect();
    Image->Draw(Engine()->Surface(), r.Left, r.Top, PatternIndex());
}

namespace {

// One pixel of a locked area, as the colour-key comparison sees it.
std::uint32_t pixelAt(const TDDSurfaceDesc& d, std::int32_t x, std::int32_t y) {
    const auto* row = static_cast<const std::uint8_t*>(d.Bits) + static_cast<std::ptrdiff_t>(y) * d.Pitch;
    switch (d.BitCount) {
    case 8: return row[x];
    case 16: {
        const std::uint8_t* p = row + x * 2;
        return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8;
    }
    case 24: {
        const std::uint8_t* p = row + x * 3;
        return std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]};
    }
    default: {
        std::uint32_t v = 0;
        const std::uint8_t* p = row + x * 4;
        for (int i = 3; i >= 0; --i) {
            v = v << 8 | p[i];
        }
        return v & 0xFFFFFFu;
    }
    }
}

std::uint32_t keyOf(const TDDSurfaceDesc& d) { return d.BitCount == 32 ? d.ColorKeyLow & 0xFFFFFFu : d.ColorKeyLow; }

// A view of one area inside a locked surface.
struct Area {
    TDDSurfaceDesc desc;
    std::int32_t dx = 0, dy = 0; // of the area inside desc's pixels
    std::uint32_t at(std::int32_t x, std::int32_t y) const { return pixelAt(desc, dx + x, dy + y); }
};

} // namespace

bool TImageSprite::AcceptsCollision(TSprite* other) {
    auto* them = dynamic_cast<TImageSprite*>(other);
    if (them == nullptr || !PixelPrecise) {
        return true;
    }
    const TRect own = DrawRect();
    const TRect theirs = them->DrawRect();
    const std::int32_t dx = theirs.Left - own.Left;
    const std::int32_t dy = theirs.Top - own.Top;
    TRect p1, p2;
    TDirectDrawSurface* s1 = nullptr;
    TDirectDrawSurface* s2 = nullptr;
    if (Image != nullptr) {
        p1 = Image->PatternRect(PatternIndex());
        s1 = Image->PatternSurface(PatternIndex());
    }
    if (them->Image != nullptr) {
        p2 = them->Image->PatternRect(them->PatternIndex());
        s2 = them->Image->PatternSurface(them->PatternIndex());
    }
    // Each pattern is measured from its own top-left corner, wherever it lies on its surface, and
    // only moved onto the surface for reading.
    const std::int32_t w1 = p1.Width(), h1 = p1.Height(), w2 = p2.Width(), h2 = p2.Height();
    const bool preliminary = OverlapRect(TRect{0, 0, w1, h1}, Bounds(dx, dy, w2, h2));
    if (s1 == nullptr || s2 == nullptr || !preliminary) {
        return preliminary;
    }
    TRect a = intersect(Bounds(std::max(dx, 0), std::max(dy, 0), w1, h1), TRect{0, 0, w1, h1});
    TRect b = intersect(Bounds(std::max(-dx, 0), std::max(-dy, 0), w2, h2), TRect{0, 0, w2, h2});
    const std::int32_t w = std::min(a.Width(), b.Width());
    const std::int32_t h = std::min(a.Height(), b.Height());
    if (w <= 0 || h <= 0) {
        return false;
    }
    a = offsetRect(Bounds(a.Left, a.Top, w, h), p1.Left, p1.Top);
    b = offsetRect(Bounds(b.Left, b.Top, w, h), p2.Left, p2.Top);

    Area areaA, areaB;
    if (s1 == s2) {
        // One surface can be locked once only: lock all of it and find both areas inside.
        if (!s1->Lock(nullptr, areaA.desc)) {
            return false;
        }
        areaB.desc = areaA.desc;
        areaA.dx = a.Left, areaA.dy = a.Top, areaB.dx = b.Left, areaB.dy = b.Top;
    } else {
        if (!s1->Lock(&a, areaA.desc)) {
            return false;
        }
        if (!s2->Lock(&b, areaB.desc)) {
            s1->Unlock();
            return false;
        }
    }
    bool result = false;
    if (areaA.desc.BitCount != areaB.desc.BitCount) {
        result = preliminary;
    } else {
        const std::uint32_t keyA = keyOf(areaA.desc), keyB = keyOf(areaB.desc);
        for (std::int32_t y = 0; y < h && !result; ++y) {
            for (std::int32_t x = 0; x < w; ++x) {
                if (areaA.at(x, y) != keyA && areaB.at(x, y) != keyB) {
                    result = true;
                    break;
                }
            }
        }
    }
    s1->Unlock();
    if (s2 != s1) {
        s2->Unlock();
    }
    return result;
}

// ---- TBackgroundSprite -----------------------------------------------------------------------

TBackgroundSprite::TBackgroundSprite(TSprite* parent) : TSprite(parent) { Collidable = false; }

void TBackgroundSprite::SetMapSize(std::int32_t width, std::int32_t height) {
    if (width == mapWidth_ && height == mapHeight_) {
        return;
    }
    if (width <= 0 || height <= 0) {
        width = height = 0;
    }
    mapWidth_ = width;
    mapHeight_ = height;
    const std::size_t cells = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    chips_.assign(cells, 0);
    collisionMap_.assign(cells, 1);
}

std::int32_t TBackgroundSprite::ChipAt(std::int32_t col, std::int32_t row) const {
    return inMap(col, row) ? chips_[cell(col, row)] : -1;
}

void TBackgroundSprite::SetChip(std::int32_t col, std::int32_t row, std::int32_t chip) {
    if (inMap(col, row)) {
        chips_[cell(col, row)] = chip;
    }
}

bool TBackgroundSprite::CollisionCellAt(std::int32_t col, std::int32_t row) const {
    return inMap(col, row) && collisionMap_[cell(col, row)] != 0;
}

void TBackgroundSprite::SetCollisionCell(std::int32_t col, std::int32_t row, bool solid) {
    if (inMap(col, row)) {
        collisionMap_[cell(col, row)] = solid ? 1 : 0;
    }
}

TRect TBackgroundSprite::CalcBounds() {
    if (Tiled) {
        return Engine() != nullptr ? Engine()->SurfaceRect() : TRect{};
    }
    if (Image == nullptr) {
        return TRect{};
    }
    const std::int32_t x = truncated(AbsoluteX());
    const std::int32_t y = truncated(AbsoluteY());
    return Bounds(x, y, Image->Width() * mapWidth_, Image->Height() * mapHeight_);
}

void TBackgroundSprite::drawChip(std::int32_t chip, std::int32_t x, std::int32_t y) {
    if (chip >= 0) {
        Image->Draw(Engine()->Surface(), x, y, chip);
    }
}

void TBackgroundSprite::DrawSelf() {
    if (Image == nullptr || Engine() == nullptr || mapWidth_ < 1 || mapHeight_ < 1) {
        return;
    }
    const TRect cellRect = Image->PatternRect(0);
    const std::int32_t w = cellRect.Width();
    const std::int32_t h = cellRect.Height();
    if (w <= 0 || h <= 0) {
        return; // no pattern to size the cells by (the image is not bound to the display yet)
    }
    const TRect& surface = Engine()->SurfaceRect();
    const std::int32_t cols = (surface.Right + w) / w + 1;
    const std::int32_t rows = (surface.Bottom + h) / h + 1;
    const std::int32_t x = truncated(AbsoluteX());
    const std::int32_t y = truncated(AbsoluteY());
    const std::int32_t offX = x % w; // C++ remainders keep the sign of x, as the layout wants
    const std::int32_t offY = y % h;
    std::int32_t startCol = x / w;
    std::int32_t startRow = y / h;
    std::int32_t skipCol = 0, skipRow = 0;
    if (startCol < 0) {
        skipCol = -startCol;
        startCol = 0;
    }
    if (startRow < 0) {
        skipRow = -startRow;
        startRow = 0;
    }
    if (Tiled) {
        // One cell beyond each edge, so a map at any offset leaves no gap.
        for (std::int32_t r = -1; r <= rows; ++r) {
            for (std::int32_t c = -1; c <= cols; ++c) {
                const std::int32_t chip =
                    ChipAt(Mod2(c - startCol + skipCol, mapWidth_), Mod2(r - startRow + skipRow, mapHeight_));
                drawChip(chip, c * w + offX, r * h + offY);
            }
        }
    } else {
        const std::int32_t endCol = std::min(startCol + mapWidth_ - skipCol, cols);
        const std::int32_t endRow = std::min(startRow + mapHeight_ - skipRow, rows);
        for (std::int32_t r = startRow; r < endRow; ++r) {
            for (std::int32_t c = startCol; c < endCol; ++c) {
                drawChip(ChipAt(c - startCol + skipCol, r - startRow + skipRow), c * w + offX, r * h + offY);
            }
        }
    }
}

bool TBackgroundSprite::AcceptsCollision(TSprite* other) {
    if (Image == nullptr || mapWidth_ < 1 || mapHeight_ < 1) {
        return true;
    }
    const TRect cellRect = Image->PatternRect(0);
    const std::int32_t w = cellRect.Width();
    const std::int32_t h = cellRect.Height();
    if (w <= 0 || h <= 0) {
        return true; // cells without a size: treated like a background without an image
    }
    const std::int32_t bx = truncated(AbsoluteX());
    const std::int32_t by = truncated(AbsoluteY());
    const TRect theirs = other->CalcBounds();
    const TRect area = offsetRect(intersect(theirs, CalcBounds()), -bx, -by);
    const TRect shifted = offsetRect(theirs, -bx, -by);
    for (std::int32_t row = (area.Top - h + 1) / h; row <= area.Bottom / h; ++row) {
        for (std::int32_t col = (area.Left - w + 1) / w; col <= area.Right / w; ++col) {
            if (CollisionCellAt(Mod2(col, mapWidth_), Mod2(row, mapHeight_)) &&
                OverlapRect(Bounds(col * w, row * h, w, h), shifted)) {
                return true;
            }
        }
    }
    return false;
}

// ---- TSpriteEngine ---------------------------------------------------------------------------

TSpriteEngine::TSpriteEngine() : TSprite(nullptr) {}

TSpriteEngine::~TSpriteEngine() {
    // The sprites go while the engine's counters and dead list are still there to update.
    FreeChildren();
}

void TSpriteEngine::SetSurface(TDirectDrawSurface* surface) {
    surface_ = surface;
    if (surface_ != nullptr) {
        surfaceRect_ = surface_->ClientRect();
        Width = surfaceRect_.Width();
        Height = surfaceRect_.Height();
    }
}

void TSpriteEngine::FreeDead() {
    while (!deadList_.empty()) {
        destroy(deadList_.back());
    }
}

void TSpriteEngine::Draw() {
    drawCount_ = 0;
    DrawTree();
}

// ---- TCustomDXSpriteEngine -------------------------------------------------------------------

TCustomDXSpriteEngine::TCustomDXSpriteEngine() : engine_(std::make_unique<TSpriteEngine>()) {}

TCustomDXSpriteEngine::~TCustomDXSpriteEngine() { SetDXDraw(nullptr); }

void TCustomDXSpriteEngine::SetDXDraw(TCustomDXDraw* display) {
    if (display == dxDraw_) {
        return;
    }
    if (dxDraw_ != nullptr) {
        dxDraw_->UnregisterNotify(this);
    }
    dxDraw_ = display;
    if (dxDraw_ != nullptr) {
        dxDraw_->RegisterNotify(this);
    }
}

void TCustomDXSpriteEngine::Move(std::int32_t moveCount) { engine_->MoveTree(moveCount); }

void TCustomDXSpriteEngine::FreeDead() { engine_->FreeDead(); }

void TCustomDXSpriteEngine::Draw() {
    // Drawing changes nothing but pixels: a minimised or hidden window can do without them.
    if (dxDraw_ != nullptr && dxDraw_->CanDraw() && dxDraw_->PictureSeen()) {
        engine_->Draw();
    }
}

void TCustomDXSpriteEngine::DXDrawNotify(TCustomDXDraw& sender, TDXDrawNotifyType notifyType) {
    switch (notifyType) {
    case dnDestroying: dxDraw_ = nullptr; break;
    case dnInitialize: engine_->SetSurface(sender.Surface()); break;
    case dnFinalize: engine_->SetSurface(nullptr); break;
    default: break;
    }
}
