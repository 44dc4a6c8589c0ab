// SPDX-License-Identifier: MIT
// Software display surfaces: 32-bit pixels 0x00RRGGBB with colour-keyed, clipped and mirrored copies,
// locking, and a text canvas; plus the device object that makes them and keeps the list of its surfaces.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "graphics/Canvas.h"

// Left, top, right, bottom; right and bottom are exclusive.
struct TRect {
    std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;

    constexpr std::int32_t Width() const { return Right - Left; }
    constexpr std::int32_t Height() const { return Bottom - Top; }
    constexpr bool operator==(const TRect&) const = default;
};

constexpr TRect Rect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    return TRect{left, top, right, bottom};
}
constexpr TRect Bounds(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
    return TRect{left, top, left + width, top + height};
}

// Cuts the destination rectangle d and the source rectangle s, which have the same size, to the
// destination bounds db and the source bounds sb, keeping them in step. True when something is left.
bool ClipBlit(TRect& d, TRect& s, const TRect& db, const TRect& sb);

class EDirectDrawError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "%s cannot be made" with "Surface".
class EDirectDrawSurfaceError : public EDirectDrawError {
public:
    using EDirectDrawError::EDirectDrawError;
};

// Result codes the surfaces keep of their last operation (the device's own numbers).
namespace ddresult {
constexpr std::int32_t Ok = 0;
constexpr std::int32_t SurfaceLost = static_cast<std::int32_t>(0x887601C2u);
constexpr std::int32_t SurfaceBusy = static_cast<std::int32_t>(0x887601AEu);
constexpr std::int32_t InvalidRect = static_cast<std::int32_t>(0x88760096u);
constexpr std::int32_t InvalidObject = static_cast<std::int32_t>(0x88760082u);
constexpr std::int32_t OutOfVideoMemory = static_cast<std::int32_t>(0x8876017Cu);
} // namespace ddresult

// What Lock hands out.
struct TDDSurfaceDesc {
    std::int32_t Width = 0, Height = 0; // of the locked area
    std::int32_t Pitch = 0;             // bytes from one row to the next
    std::int32_t BitCount = 0;          // bits per pixel: always 32 here
    void* Bits = nullptr;               // the first pixel of the locked area
    bool HasColorKey = false;           // source colour key, when one is set
    std::uint32_t ColorKeyLow = 0, ColorKeyHigh = 0;
};

class TDirectDrawSurface;

// The display device. Surfaces are made on it and it keeps a list of them; when it goes, the surfaces
// still alive are emptied (their owners free them). Video memory is unlimited unless a limit is set,
// so the fall-back to system memory can be exercised.
class TDirectDraw {
public:
    TDirectDraw() = default;
    ~TDirectDraw();
    TDirectDraw(const TDirectDraw&) = delete;
    TDirectDraw& operator=(const TDirectDraw&) = delete;

    // Bytes of video memory the device may hand out; a negative value means no limit.
    void SetVideoMemoryLimit(std::int64_t bytes) { videoLimit_ = bytes; }
    std::int64_t VideoMemoryUsed() const { return videoUsed_; }

    int SurfaceCount() const { return static_cast<int>(surfaces_.size()); }
    // Marks every surface of the device lost, as a mode change by another program would.
    void LoseAllSurfaces();

private:
    friend class TDirectDrawSurface;
    void add(TDirectDrawSurface* s) { surfaces_.push_back(s); }
    void remove(TDirectDrawSurface* s);
    bool takeVideoMemory(std::int64_t bytes);
    void giveVideoMemory(std::int64_t bytes) { videoUsed_ -= bytes; }

    std::vector<TDirectDrawSurface*> surfaces_;
    std::int64_t videoLimit_ = -1;
    std::int64_t videoUsed_ = 0;
};

class TDirectDrawSurface {
public:
    // device may be nullptr: a surface of its own, for tools, tests and benchmarks.
    explicit TDirectDrawSurface(TDirectDraw* device = nullptr);
    ~TDirectDrawSurface();
    TDirectDrawSurface(const TDirectDrawSurface&) = delete;
    TDirectDrawSurface& operator=(const TDirectDrawSurface&) = delete;

    TDirectDraw* DDraw() const { return device_; }

    // 0 or less in either direction empties the surface. Otherwise makes a new surface of that size
    // (contents 0), in video memory unless SystemMemory, falling back to system memory (and setting
    // SystemMemory); throws EDirectDrawSurfaceError "Surface cannot be made" when both fail.
    void SetSize(int width, int height);
    bool SystemMemory() const { return systemMemory_; }
    void SetSystemMemory(bool value) { systemMemory_ = value; }
    bool InVideoMemory() const { return inVideo_; }

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool IsEmpty() const { return width_ == 0; }
    TRect ClientRect() const { return TRect{0, 0, width_, height_}; }

    // Every pixel := value (a device pixel value, 0x00RRGGBB), and a frame begins: the fill and the
    // copies and paints after it land on the pixels only when the pixels are next needed (read,
    // locked, copied from, or changed some other way). A frame made of the same steps from unchanged
    // sources as the one the pixels show costs nothing: a still menu is drawn every tick.
    bool Fill(std::uint32_t devicePixel);
    // Copies the rectangle src of source to (x, y); a source rectangle with right < left or
    // bottom < top is drawn mirrored on that axis. Clipped to both surfaces; transparent leaves out
    // the source's colour-key pixels. Never throws: false and a stored result when nothing is drawn
    // for a reason other than clipping. The source's pixels are taken as they are now, even when
    // the copy lands later.
    bool Draw(int x, int y, const TRect& src, TDirectDrawSurface* source, bool transparent);
    bool Draw(int x, int y, TDirectDrawSurface* source, bool transparent);

    // A drawing that is not a copy (the canvas's texts and rectangles): draw writes the pixels (width
    // to a row) from the values and the object alone, so two paints that are equal draw the same.
    // The object is what the drawing reads (a rendered text), kept alive until the paint lands, and
    // told apart by its address. Nothing here allocates: a frame is drawn every tick.
    struct TPaint {
        void (*draw)(const TPaint& paint, std::uint32_t* pixels, int width, int height) = nullptr;
        std::array<std::int64_t, 8> values{};
        std::shared_ptr<const void> object;
        bool operator==(const TPaint& o) const { return draw == o.draw && values == o.values && object == o.object; }
    };
    // A step of the frame like a copy; false and a stored result when the surface is empty, lost or
    // locked, or paint has nothing to draw with.
    bool Paint(TPaint paint);

    // Source colour key (low and high both the value). A surface without one draws opaque.
    void SetColorKey(std::uint32_t devicePixel);
    bool HasColorKey() const { return hasKey_; }
    std::uint32_t ColorKey() const { return key_; }

    // The device pixel value of a colour value (red in the low byte, system colours resolved); 0 for
    // an empty surface.
    std::uint32_t NativeColor(TColor color) const;

    // Locks the whole surface, or rect when it is given and is not the whole surface. Fails when the
    // surface is empty, already locked, lost, or the rectangle does not lie inside it.
    bool Lock(const TRect* rect, TDDSurfaceDesc& desc);
    bool Lock(TDDSurfaceDesc& desc) { return Lock(nullptr, desc); }
    void Unlock();
    bool Locked() const { return lockCount_ > 0; }

    // Lost surfaces never happen on this platform by themselves; the device can mark them lost.
    std::int32_t IsLost() const { return lost_ ? ddresult::SurfaceLost : ddresult::Ok; }
    void MarkLost() { lost_ = true; }
    bool Restore();

    // The text drawing context, made on first use.
    TDirectDrawSurfaceCanvas& Canvas();

    // Pixel access for readers; writers go through Lock/Unlock or SetPixel so cached drawing data
    // stays true. Out-of-range reads give 0, out-of-range writes do nothing. What Pixels() shows is
    // true until the surface next changes: ask again after a fill.
    const std::uint32_t* Pixels() const {
        settle();
        return pixels_.data();
    }
    int PitchPixels() const { return width_; }
    std::uint32_t Pixel(int x, int y) const;
    void SetPixel(int x, int y, std::uint32_t devicePixel);

    // Makes the pixels those of source, of the same size, writing only the rows that differ. True
    // when any pixel changed. Fails (false, a stored result) like Draw on a lost or locked surface.
    bool CopyChangedRows(const TDirectDrawSurface& source);

    std::int32_t DXResult() const { return result_; }

    // Names the pixels as they are: a new value at every change, never the same for two surfaces,
    // so cached drawing data and the frames drawn from a surface compare it.
    std::uint64_t Generation() const {
        settle();
        return generation_;
    }
    // The pixels were written behind the surface's back (through a pointer kept from a lock).
    void Changed();

private:
    friend class TDirectDraw;
    struct KeyRuns;
    // One step of a frame: its fill, a copy from another surface (clipped, the mirrored rectangle
    // already turned within the source) or a paint. Plain data: a game frame has hundreds.
    struct Step {
        enum class Kind : std::uint8_t { Fill, Copy, Paint };
        Kind kind = Kind::Fill;
        bool mirrorX = false, mirrorY = false, keyed = false, uncutColumns = false;
        std::uint32_t value = 0; // the fill's pixel; a paint's place in the frame's paints
        const TDirectDrawSurface* source = nullptr;
        std::uint64_t sourceGeneration = 0;
        int x = 0, y = 0;
        TRect src{};
        bool operator==(const Step&) const = default;
    };
    struct Frame {
        std::vector<Step> steps; // the fill first
        std::vector<TPaint> paints;
        bool operator==(const Frame&) const = default;
        void clear() {
            steps.clear();
            paints.clear();
        }
    };
    void release();
    void detach();
    KeyRuns& keyRuns() const;
    void settle() const;
    bool drawable();
    void land();
    void closeFrame();
    void beforeChange();
    void forgetFrame() { madeKnown_ = false; }
    bool reads(const TDirectDrawSurface& source) const;
    void take(Step step, TPaint* paint);
    void run(const Step& step, const TPaint* paint);
    void writeFill(std::uint32_t value);
    bool coversWhole(const Step& step) const;
    void copyRows(int dx, int dy, const TRect& s, const TDirectDrawSurface& source);
    void copyKeyed(int dx, int dy, const TRect& s, const TDirectDrawSurface& source, bool uncutColumns);
    void copyMirrored(int dx, int dy, const TRect& s, const TDirectDrawSurface& source, bool mirrorX, bool mirrorY,
                      bool transparent);
    std::uint32_t* row(int y) {
        return pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
    }
    const std::uint32_t* row(int y) const {
        return pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
    }

    TDirectDraw* device_;
    std::vector<std::uint32_t> pixels_;
    // The open frame, not yet on the pixels.
    Frame frame_;
    bool frameOpen_ = false;
    TDirectDrawSurface* nextOpenFrame_ = nullptr;
    // The frame the pixels show, while nothing else has changed them since.
    Frame made_;
    bool madeKnown_ = false;
    // What CopyChangedRows last made these pixels equal to, so a still picture is not compared again.
    struct CopyOf {
        const TDirectDrawSurface* source = nullptr;
        std::uint64_t sourceGeneration = 0, generation = 0;
    };
    CopyOf copyOf_;
    int width_ = 0, height_ = 0;
    bool systemMemory_ = false;
    bool inVideo_ = false;
    bool hasKey_ = false;
    std::uint32_t key_ = 0;
    int lockCount_ = 0;
    bool lost_ = false;
    std::int32_t result_ = ddresult::Ok;
    std::uint64_t generation_ = 0;
    mutable std::unique_ptr<KeyRuns> runs_;
    std::unique_ptr<TDirectDrawSurfaceCanvas> canvas_;
};
