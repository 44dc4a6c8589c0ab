// SPDX-License-Identifier: MIT
// Software surfaces: size and memory placement, frames (held back until the pixels are needed, and
// not drawn again when they repeat the last), the clipped, colour-keyed and mirrored copy (keyed
// copies go through a cached list of each source row's opaque runs), the copy of changed rows that
// presenting uses, locking and loss.
#include "graphics/Surface.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace {

std::atomic<std::uint64_t> lastGeneration{0};
std::uint64_t newGeneration() { return lastGeneration.fetch_add(1, std::memory_order_relaxed) + 1; }

// The first of this thread's surfaces whose frame has not landed yet; they are linked through
// their nextOpenFrame_. A plain pointer, so that surfaces freed late in the exit still find it.
thread_local TDirectDrawSurface* firstOpenFrame = nullptr;

// Larger surfaces than this are refused like a failed allocation: no picture or screen comes near it,
// and a damaged size cannot ask for gigabytes.
constexpr std::int64_t kMaxSurfacePixels = std::int64_t{1} << 26;

struct Rect64 {
    std::int64_t l, t, r, b;
};

bool clip64(Rect64& d, Rect64& s, const TRect& db, const TRect& sb) {
    if (d.l < db.Left) {
        s.l += db.Left - d.l;
        d.l = db.Left;
    }
    if (d.t < db.Top) {
        s.t += db.Top - d.t;
        d.t = db.Top;
    }
    if (s.l < sb.Left) {
        d.l += sb.Left - s.l;
        s.l = sb.Left;
    }
    if (s.t < sb.Top) {
        d.t += sb.Top - s.t;
        s.t = sb.Top;
    }
    if (db.Right < d.r) {
        s.r += db.Right - d.r;
        d.r = db.Right;
    }
    if (db.Bottom < d.b) {
        s.b += db.Bottom - d.b;
        d.b = db.Bottom;
    }
    if (sb.Right < s.r) {
        d.r += sb.Right - s.r;
        s.r = sb.Right;
    }
    if (sb.Bottom < s.b) {
        d.b += sb.Bottom - s.b;
        s.b = sb.Bottom;
    }
    return d.l < d.r && d.t < d.b && s.l < s.r && s.t < s.b;
}

TRect narrow(const Rect64& r) {
    return TRect{static_cast<std::int32_t>(r.l), static_cast<std::int32_t>(r.t), static_cast<std::int32_t>(r.r),
                 static_cast<std::int32_t>(r.b)};
}

Rect64 widen(const TRect& r) { return Rect64{r.Left, r.Top, r.Right, r.Bottom}; }

std::size_t sz(std::int64_t v) { return static_cast<std::size_t>(v); }

} // namespace

bool ClipBlit(TRect& d, TRect& s, const TRect& db, const TRect& sb) {
    Rect64 d64 = widen(d), s64 = widen(s);
    bool any = clip64(d64, s64, db, sb);
    // Values outside 32 bits can only remain when nothing is left to copy; keep them in range.
    auto clamp = [](Rect64& r) {
        for (std::int64_t* v : {&r.l, &r.t, &r.r, &r.b}) *v = std::clamp<std::int64_t>(*v, INT32_MIN, INT32_MAX);
    };
    clamp(d64);
    clamp(s64);
    d = narrow(d64);
    s = narrow(s64);
    return any;
}

// ---------------------------------------------------------------------------------------------------
// The device

TDirectDraw::~TDirectDraw() {
    // Surfaces outlive the device only as empty shells; their owners free them.
    for (TDirectDrawSurface* s : std::vector<TDirectDrawSurface*>(surfaces_)) s->detach();
}

void TDirectDraw::remove(TDirectDrawSurface* s) {
    surfaces_.erase(std::remove(surfaces_.begin(), surfaces_.end(), s), surfaces_.end());
}

bool TDirectDraw::takeVideoMemory(std::int64_t bytes) {
    if (videoLimit_ >= 0 && videoUsed_ + bytes > videoLimit_) return false;
    videoUsed_ += bytes;
    return true;
}

void TDirectDraw::LoseAllSurfaces() {
    for (TDirectDrawSurface* s : surfaces_) s->MarkLost();
}

// ---------------------------------------------------------------------------------------------------
// Opaque runs of each row for one colour key, rebuilt when the pixels or the key change.

struct TDirectDrawSurface::KeyRuns {
    struct Run {
        std::int32_t start, end; // columns, end exclusive
        std::uint32_t offset;    // where the run's pixels start in `opaque`
    };
    std::uint64_t generation = 0;
    std::uint32_t key = 0;
    bool valid = false;
    std::vector<std::uint32_t> rowStart; // height + 1 entries into runs
    std::vector<Run> runs;
    // The opaque pixels alone, row after row: a keyed copy reads only what it writes.
    std::vector<std::uint32_t> opaque;

    // The runs cut to the columns of one pattern, for patterns that share a surface: a pattern is
    // drawn every frame, and this spares each row the search for its runs and the cutting.
    struct Span {
        std::int32_t left, right;
        std::vector<std::uint32_t> rowStart;
        std::vector<Run> runs;
    };
    std::vector<Span> spans;
    static constexpr std::size_t kMaxSpans = 256; // arbitrary rectangles beyond this are cut per row
    const Span* span(std::int32_t left, std::int32_t right, int height);
};

const TDirectDrawSurface::KeyRuns::Span* TDirectDrawSurface::KeyRuns::span(std::int32_t left, std::int32_t right,
                                                                           int height) {
    for (const Span& sp : spans)
        if (sp.left == left && sp.right == right) return &sp;
    if (spans.size() >= kMaxSpans) return nullptr;
    Span sp{left, right, std::vector<std::uint32_t>(sz(height) + 1, 0), {}};
    for (int y = 0; y < height; ++y) {
        const Run* run = runs.data() + rowStart[sz(y)];
        const Run* const last = runs.data() + rowStart[sz(y) + 1];
        run = std::partition_point(run, last, [left](const Run& r) { return r.end <= left; });
        for (; run != last && run->start < right; ++run) {
            const std::int32_t a = std::max(run->start, left), b = std::min(run->end, right);
            sp.runs.push_back({a, b, run->offset + static_cast<std::uint32_t>(a - run->start)});
        }
        sp.rowStart[sz(y) + 1] = static_cast<std::uint32_t>(sp.runs.size());
    }
    spans.push_back(std::move(sp));
    return &spans.back();
}

TDirectDrawSurface::KeyRuns& TDirectDrawSurface::keyRuns() const {
    settle();
    if (!runs_) runs_ = std::make_unique<KeyRuns>();
    KeyRuns& k = *runs_;
    if (k.valid && k.generation == generation_ && k.key == key_) return k;
    k.rowStart.assign(sz(height_) + 1, 0);
    k.runs.clear();
    k.opaque.clear();
    k.spans.clear();
    for (int y = 0; y < height_; ++y) {
        const std::uint32_t* p = row(y);
        int x = 0;
        while (x < width_) {
            while (x < width_ && p[x] == key_) ++x;
            if (x == width_) break;
            const int start = x;
            while (x < width_ && p[x] != key_) ++x;
            k.runs.push_back({start, x, static_cast<std::uint32_t>(k.opaque.size())});
            k.opaque.insert(k.opaque.end(), p + start, p + x);
        }
        k.rowStart[sz(y) + 1] = static_cast<std::uint32_t>(k.runs.size());
    }
    k.generation = generation_;
    k.key = key_;
    k.valid = true;
    return k;
}

// ---------------------------------------------------------------------------------------------------
// The surface

TDirectDrawSurface::TDirectDrawSurface(TDirectDraw* device) : device_(device), generation_(newGeneration()) {
    if (device_ != nullptr) device_->add(this);
}

TDirectDrawSurface::~TDirectDrawSurface() {
    release();
    if (device_ != nullptr) device_->remove(this);
}

void TDirectDrawSurface::release() {
    beforeChange();
    closeFrame();
    frame_.clear();
    made_.clear();
    madeKnown_ = false;
    if (inVideo_ && device_ != nullptr) device_->giveVideoMemory(std::int64_t{width_} * height_ * 4);
    inVideo_ = false;
    pixels_.clear();
    pixels_.shrink_to_fit();
    width_ = height_ = 0;
    lockCount_ = 0;
    lost_ = false;
    generation_ = newGeneration();
}

void TDirectDrawSurface::detach() {
    release();
    device_ = nullptr;
}

void TDirectDrawSurface::SetSize(int width, int height) {
    release();
    if (width <= 0 || height <= 0) return;
    std::int64_t pixels = std::int64_t{width} * height;
    bool allocated = false;
    if (pixels <= kMaxSurfacePixels) {
        if (!systemMemory_ && device_ != nullptr && device_->takeVideoMemory(pixels * 4)) {
            inVideo_ = true;
        } else {
            // No room in video memory (or it was not wanted): the surface lives in system memory.
            systemMemory_ = true;
        }
        try {
            pixels_.assign(sz(pixels), 0);
            allocated = true;
        } catch (const std::bad_alloc&) {
            if (inVideo_) device_->giveVideoMemory(pixels * 4);
            inVideo_ = false;
        }
    }
    if (!allocated) {
        result_ = ddresult::OutOfVideoMemory;
        throw EDirectDrawSurfaceError("Surface cannot be made");
    }
    width_ = width;
    height_ = height;
    result_ = ddresult::Ok;
    generation_ = newGeneration();
}

// Whether the surface can be drawn on now; the stored result says why not.
bool TDirectDrawSurface::drawable() {
    if (IsEmpty()) {
        result_ = ddresult::InvalidObject;
        return false;
    }
    if (lost_) {
        result_ = ddresult::SurfaceLost;
        return false;
    }
    if (Locked()) {
        result_ = ddresult::SurfaceBusy;
        return false;
    }
    return true;
}

bool TDirectDrawSurface::Fill(std::uint32_t devicePixel) {
    if (!drawable()) return false;
    beforeChange();
    // Whatever the open frame drew is covered by the new one.
    frame_.clear();
    Step fill;
    fill.value = devicePixel;
    frame_.steps.push_back(fill);
    if (!frameOpen_) {
        nextOpenFrame_ = firstOpenFrame;
        firstOpenFrame = this;
        frameOpen_ = true;
    }
    result_ = ddresult::Ok;
    return true;
}

bool TDirectDrawSurface::Paint(TPaint paint) {
    if (paint.draw == nullptr) {
        result_ = ddresult::InvalidObject;
        return false;
    }
    if (!drawable()) return false;
    beforeChange();
    Step step;
    step.kind = Step::Kind::Paint;
    take(step, &paint);
    result_ = ddresult::Ok;
    return true;
}

void TDirectDrawSurface::Changed() {
    beforeChange();
    settle();
    forgetFrame();
    generation_ = newGeneration();
}

void TDirectDrawSurface::settle() const {
    // Landing the open frame makes the pixels what the calls so far have drawn: the surface's value
    // does not change, so readers may land it. No surface is ever made const.
    if (frameOpen_) const_cast<TDirectDrawSurface*>(this)->land();
}

void TDirectDrawSurface::closeFrame() {
    if (!frameOpen_) return;
    frameOpen_ = false;
    for (TDirectDrawSurface** link = &firstOpenFrame; *link != nullptr; link = &(*link)->nextOpenFrame_)
        if (*link == this) {
            *link = nextOpenFrame_;
            break;
        }
    nextOpenFrame_ = nullptr;
}

void TDirectDrawSurface::land() {
    closeFrame();
    if (madeKnown_ && frame_ == made_) { // the pixels show this very frame already
        frame_.clear();
        return;
    }
    // Each frame starts with a fill that the background then covers whole; the fill is written only
    // where that is not so.
    const std::uint32_t fill = frame_.steps.front().value;
    bool fillOwed = true;
    for (std::size_t i = 1; i < frame_.steps.size(); ++i) {
        const Step& step = frame_.steps[i];
        if (fillOwed && !coversWhole(step)) writeFill(fill);
        fillOwed = false;
        run(step, step.kind == Step::Kind::Paint ? &frame_.paints[step.value] : nullptr);
    }
    if (fillOwed) writeFill(fill);
    std::swap(made_, frame_);
    frame_.clear();
    madeKnown_ = true;
    generation_ = newGeneration();
}

// Open frames that copy from this surface land first, while it still holds what they copy.
void TDirectDrawSurface::beforeChange() {
    for (TDirectDrawSurface* s = firstOpenFrame; s != nullptr;) {
        if (s != this && s->reads(*this)) {
            s->land();
            s = firstOpenFrame; // the list has changed
        } else {
            s = s->nextOpenFrame_;
        }
    }
}

bool TDirectDrawSurface::reads(const TDirectDrawSurface& source) const {
    return std::any_of(frame_.steps.begin(), frame_.steps.end(), [&](const Step& s) { return s.source == &source; });
}

// A step joins the open frame, or lands at once when there is none; paint is the paint of a paint step.
void TDirectDrawSurface::take(Step step, TPaint* paint) {
    Frame& frame = frameOpen_ ? frame_ : made_;
    if (!frameOpen_) {
        run(step, paint);
        generation_ = newGeneration();
        if (!madeKnown_) return;
    }
    if (paint != nullptr) {
        step.value = static_cast<std::uint32_t>(frame.paints.size());
        frame.paints.push_back(std::move(*paint));
    }
    frame.steps.push_back(step);
}

void TDirectDrawSurface::run(const Step& step, const TPaint* paint) {
    switch (step.kind) {
    case Step::Kind::Fill: writeFill(step.value); break;
    case Step::Kind::Paint: paint->draw(*paint, pixels_.data(), width_, height_); break;
    case Step::Kind::Copy: {
        const TDirectDrawSurface& source = *step.source;
        assert(source.generation_ == step.sourceGeneration && !source.frameOpen_);
        if (step.mirrorX || step.mirrorY)
            copyMirrored(step.x, step.y, step.src, source, step.mirrorX, step.mirrorY, step.keyed);
        else if (step.keyed)
            copyKeyed(step.x, step.y, step.src, source, step.uncutColumns);
        else
            copyRows(step.x, step.y, step.src, source);
        break;
    }
    }
}

void TDirectDrawSurface::writeFill(std::uint32_t value) {
    if (value == 0)
        std::memset(pixels_.data(), 0, pixels_.size() * sizeof(std::uint32_t));
    else
        std::fill(pixels_.begin(), pixels_.end(), value);
}

// Whether a step writes every pixel of this surface: a copy to the whole surface that leaves out no
// source pixel for its colour key.
bool TDirectDrawSurface::coversWhole(const Step& step) const {
    if (step.kind != Step::Kind::Copy) return false;
    if (!(TRect{step.x, step.y, step.x + step.src.Width(), step.y + step.src.Height()} == ClientRect())) return false;
    if (!step.keyed) return true;
    return step.source->keyRuns().opaque.size() == step.source->pixels_.size();
}

bool TDirectDrawSurface::Draw(int x, int y, TDirectDrawSurface* source, bool transparent) {
    if (source == nullptr) {
        result_ = ddresult::InvalidObject;
        return false;
    }
    return Draw(x, y, source->ClientRect(), source, transparent);
}

bool TDirectDrawSurface::Draw(int x, int y, const TRect& src, TDirectDrawSurface* source, bool transparent) {
    if (source == nullptr) {
        result_ = ddresult::InvalidObject;
        return false;
    }
    if (x > width_ || y > height_) return false;
    if (lost_ || source->lost_) {
        result_ = ddresult::SurfaceLost;
        return false;
    }
    if (Locked() || source->Locked()) {
        result_ = ddresult::SurfaceBusy;
        return false;
    }
    source->settle();

    const bool mirrorX = src.Right < src.Left, mirrorY = src.Bottom < src.Top;
    Rect64 s = widen(src);
    if (mirrorX || mirrorY) {
        std::int64_t w = std::llabs(s.r - s.l), h = std::llabs(s.b - s.t);
        if (w + x <= 0 || h + y <= 0) return false;
        if (mirrorX) std::swap(s.l, s.r);
        if (mirrorY) std::swap(s.t, s.b);
    }
    Rect64 d{x, y, x + (s.r - s.l), y + (s.b - s.t)};
    if (!clip64(d, s, ClientRect(), source->ClientRect())) return false;
    // A mirrored copy reads the clipped rectangle's mirror image within the source surface, so the
    // part cut off on one side of the destination comes off the far side of the picture.
    if (mirrorX) {
        std::int64_t l = source->width_ - s.r, r = source->width_ - s.l;
        s.l = l;
        s.r = r;
    }
    if (mirrorY) {
        std::int64_t t = source->height_ - s.b, b = source->height_ - s.t;
        s.t = t;
        s.b = b;
    }
    const TRect sr = narrow(s);
    const int dx = static_cast<int>(d.l), dy = static_cast<int>(d.t);
    const bool keyed = transparent && source->hasKey_;
    beforeChange();
    if (source == this) {
        // Copying within one surface: take the source pixels first so the copy cannot read its own output.
        settle();
        TDirectDrawSurface copy;
        copy.SetSize(sr.Width(), sr.Height());
        for (int r = 0; r < sr.Height(); ++r)
            std::memcpy(copy.row(r), row(sr.Top + r) + sr.Left, sz(sr.Width()) * sizeof(std::uint32_t));
        if (hasKey_) copy.SetColorKey(key_);
        copyMirrored(dx, dy, copy.ClientRect(), copy, mirrorX, mirrorY, keyed);
        forgetFrame();
        generation_ = newGeneration();
    } else {
        Step step;
        step.kind = Step::Kind::Copy;
        step.source = source;
        step.sourceGeneration = source->generation_;
        step.x = dx;
        step.y = dy;
        step.src = sr;
        step.mirrorX = mirrorX;
        step.mirrorY = mirrorY;
        step.keyed = keyed;
        step.uncutColumns = sr.Left == src.Left && sr.Right == src.Right;
        take(step, nullptr);
    }
    result_ = ddresult::Ok;
    return true;
}

void TDirectDrawSurface::copyRows(int dx, int dy, const TRect& s, const TDirectDrawSurface& source) {
    const std::size_t bytes = sz(s.Width()) * sizeof(std::uint32_t);
    for (int r = 0; r < s.Height(); ++r) std::memcpy(row(dy + r) + dx, source.row(s.Top + r) + s.Left, bytes);
}

// Copies n pixels. Sprite rows are mostly short runs, for which a few overlapping 16-byte moves beat
// a call to memcpy; long runs go to memcpy.
inline void copyRun(std::uint32_t* d, const std::uint32_t* s, std::size_t n) {
    if (n >= 16) {
        std::memcpy(d, s, n * sizeof(std::uint32_t));
    } else if (n >= 8) {
        std::uint32_t a[4], b[4], c[4], e[4];
        std::memcpy(a, s, 16);
        std::memcpy(b, s + 4, 16);
        std::memcpy(c, s + n - 8, 16);
        std::memcpy(e, s + n - 4, 16);
        std::memcpy(d, a, 16);
        std::memcpy(d + 4, b, 16);
        std::memcpy(d + n - 8, c, 16);
        std::memcpy(d + n - 4, e, 16);
    } else if (n >= 4) {
        std::uint32_t a[4], b[4];
        std::memcpy(a, s, 16);
        std::memcpy(b, s + n - 4, 16);
        std::memcpy(d, a, 16);
        std::memcpy(d + n - 4, b, 16);
    } else if (n > 0) {
        const std::uint32_t first = s[0], middle = s[n / 2], last = s[n - 1];
        d[0] = first;
        d[n / 2] = middle;
        d[n - 1] = last;
    }
}

void TDirectDrawSurface::copyKeyed(int dx, int dy, const TRect& s, const TDirectDrawSurface& source,
                                   bool uncutColumns) {
    KeyRuns& k = source.keyRuns();
    const KeyRuns::Run* const runs = k.runs.data();
    const std::uint32_t* const opaque = k.opaque.data();
    const std::ptrdiff_t dstPitch = width_;
    // Where source column s.Left lands in the destination row.
    std::uint32_t* dst = pixels_.data() + dy * dstPitch + dx;
    if (s.Left == 0 && s.Right == source.width_) {
        // Whole rows (a picture of one pattern): runs and their pixels follow each other.
        const std::uint32_t* rowStart = k.rowStart.data() + s.Top;
        const std::uint32_t* const rowEnd = rowStart + s.Height();
        const KeyRuns::Run* run = runs + *rowStart;
        const KeyRuns::Run* const end = runs + *rowEnd;
        if (run == end) return;
        const std::uint32_t* src = opaque + run->offset;
        for (; rowStart != rowEnd; ++rowStart, dst += dstPitch)
            for (const KeyRuns::Run* last = runs + rowStart[1]; run != last; ++run) {
                const std::size_t n = sz(run->end - run->start);
                copyRun(dst + run->start, src, n);
                src += n;
            }
        return;
    }
    if (uncutColumns) {
        // A whole pattern of a shared surface (cut at most at the top or bottom).
        if (const KeyRuns::Span* sp = k.span(s.Left, s.Right, source.height_)) {
            const std::uint32_t* rowStart = sp->rowStart.data() + s.Top;
            const std::uint32_t* const rowEnd = rowStart + s.Height();
            const KeyRuns::Run* run = sp->runs.data() + *rowStart;
            for (; rowStart != rowEnd; ++rowStart, dst += dstPitch)
                for (const KeyRuns::Run* last = sp->runs.data() + rowStart[1]; run != last; ++run)
                    copyRun(dst + (run->start - s.Left), opaque + run->offset, sz(run->end - run->start));
            return;
        }
    }
    const int left = s.Left, right = s.Right;
    const std::uint32_t* rowStart = k.rowStart.data() + s.Top;
    const std::uint32_t* const rowEnd = rowStart + s.Height();
    for (; rowStart != rowEnd; ++rowStart, dst += dstPitch) {
        const KeyRuns::Run* run = runs + rowStart[0];
        const KeyRuns::Run* const last = runs + rowStart[1];
        // Patterns sit side by side on one surface: skip the runs of the patterns to the left.
        if (left > 0 && last - run > 4)
            run = std::partition_point(run, last, [left](const KeyRuns::Run& r) { return r.end <= left; });
        for (; run != last && run->start < right; ++run) {
            const int a = std::max(run->start, left), b = std::min(run->end, right);
            if (a < b) copyRun(dst + (a - left), opaque + run->offset + (a - run->start), sz(b - a));
        }
    }
}

void TDirectDrawSurface::copyMirrored(int dx, int dy, const TRect& s, const TDirectDrawSurface& source, bool mirrorX,
                                      bool mirrorY, bool transparent) {
    const int w = s.Width(), h = s.Height();
    for (int r = 0; r < h; ++r) {
        const std::uint32_t* src = source.row(mirrorY ? s.Bottom - 1 - r : s.Top + r);
        std::uint32_t* dst = row(dy + r) + dx;
        for (int c = 0; c < w; ++c) {
            const std::uint32_t p = src[mirrorX ? s.Right - 1 - c : s.Left + c];
            if (!transparent || p != source.key_) dst[c] = p;
        }
    }
}

void TDirectDrawSurface::SetColorKey(std::uint32_t devicePixel) {
    result_ = ddresult::Ok;
    if (hasKey_ && key_ == (devicePixel & 0x00FFFFFFu)) return;
    // Keyed copies from this surface draw differently now.
    beforeChange();
    settle();
    key_ = devicePixel & 0x00FFFFFFu;
    hasKey_ = true;
    generation_ = newGeneration();
}

std::uint32_t TDirectDrawSurface::NativeColor(TColor color) const {
    if (IsEmpty()) return 0;
    return ColorToPixel(color);
}

bool TDirectDrawSurface::Lock(const TRect* rect, TDDSurfaceDesc& desc) {
    if (IsEmpty()) {
        result_ = ddresult::InvalidObject;
        return false;
    }
    if (Locked()) {
        result_ = ddresult::SurfaceBusy;
        return false;
    }
    if (lost_) {
        result_ = ddresult::SurfaceLost;
        return false;
    }
    beforeChange();
    settle();
    forgetFrame(); // the holder of the lock may write anything
    TRect area = ClientRect();
    if (rect != nullptr && !(*rect == area)) {
        if (rect->Left < 0 || rect->Top < 0 || rect->Right > width_ || rect->Bottom > height_ ||
            rect->Left >= rect->Right || rect->Top >= rect->Bottom) {
            result_ = ddresult::InvalidRect;
            return false;
        }
        area = *rect;
    }
    desc = TDDSurfaceDesc{};
    desc.Width = area.Width();
    desc.Height = area.Height();
    desc.Pitch = width_ * 4;
    desc.BitCount = 32;
    desc.Bits = row(area.Top) + area.Left;
    desc.HasColorKey = hasKey_;
    desc.ColorKeyLow = desc.ColorKeyHigh = key_;
    ++lockCount_;
    result_ = ddresult::Ok;
    return true;
}

void TDirectDrawSurface::Unlock() {
    if (lockCount_ == 0) return;
    --lockCount_;
    generation_ = newGeneration(); // the holder of the lock may have written
}

bool TDirectDrawSurface::Restore() {
    // The memory never goes away here; a lost surface only needs its flag cleared (its owner refills it).
    lost_ = false;
    result_ = ddresult::Ok;
    return true;
}

std::uint32_t TDirectDrawSurface::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    settle();
    return row(y)[x];
}

void TDirectDrawSurface::SetPixel(int x, int y, std::uint32_t devicePixel) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    beforeChange();
    settle();
    forgetFrame();
    row(y)[x] = devicePixel;
    generation_ = newGeneration();
}

bool TDirectDrawSurface::CopyChangedRows(const TDirectDrawSurface& source) {
    if (IsEmpty() || source.IsEmpty() || source.width_ != width_ || source.height_ != height_) {
        result_ = ddresult::InvalidRect;
        return false;
    }
    if (lost_ || source.lost_) {
        result_ = ddresult::SurfaceLost;
        return false;
    }
    if (Locked() || source.Locked()) {
        result_ = ddresult::SurfaceBusy;
        return false;
    }
    result_ = ddresult::Ok;
    if (&source == this) return false;
    settle();
    source.settle();
    // Neither picture changed since this copy was last made: a still screen costs nothing.
    if (copyOf_.source == &source && copyOf_.sourceGeneration == source.generation_ &&
        copyOf_.generation == generation_)
        return false;
    beforeChange();
    // Rows are compared on their own so a small change (a blinking cursor) copies only its rows.
    const std::size_t bytes = sz(width_) * sizeof(std::uint32_t);
    bool changed = false;
    for (int y = 0; y < height_; ++y) {
        std::uint32_t* to = row(y);
        const std::uint32_t* from = source.row(y);
        if (std::memcmp(to, from, bytes) != 0) {
            std::memcpy(to, from, bytes);
            changed = true;
        }
    }
    if (changed) {
        forgetFrame();
        generation_ = newGeneration();
    }
    copyOf_ = CopyOf{&source, source.generation_, generation_};
    return changed;
}

TDirectDrawSurfaceCanvas& TDirectDrawSurface::Canvas() {
    if (!canvas_) canvas_ = std::make_unique<TDirectDrawSurfaceCanvas>(*this);
    return *canvas_;
}
