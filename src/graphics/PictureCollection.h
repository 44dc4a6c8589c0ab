// SPDX-License-Identifier: MIT
// Picture collections: named pictures cut into patterns, the surfaces made from them while the
// display is up, the DXG file reader and writer, and TDXImageList, which binds them to a display.
#pragma once

#include "core/DXClass.h"
#include "core/FileErrors.h"
#include "graphics/DIB.h"
#include "graphics/DXDraws.h"
#include "graphics/Surface.h"

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

// "Image '%s' not found", "%s cannot be initialized"
class EPictureCollectionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TPictureCollectionItemPattern {
    TRect Rect;                            // inside its surface
    TDirectDrawSurface* Surface = nullptr; // owned by the item's surface list
};

// Where Restore puts a picture: the picture rectangles copied into surfaces, and each pattern's
// rectangle on its surface. Kept apart from the surfaces so the cutting rules can be checked alone.
struct TPatternLayout {
    struct Pattern {
        TRect rect;
        int surface = 0;
    };
    std::vector<TRect> surfaces; // in picture coordinates, top line 0
    std::vector<Pattern> patterns;
};
TPatternLayout ComputePatternLayout(int pictureWidth, int pictureHeight, int patternWidth, int patternHeight,
                                    int skipWidth, int skipHeight, bool systemMemory);

class TPictureCollection;

class TPictureCollectionItem : public THashCollectionItem {
public:
    explicit TPictureCollectionItem(TPictureCollection& collection);
    ~TPictureCollectionItem() override;

    // The picture holder: a TDIB or nothing.
    bool HasPicture() const { return picture_.has_value(); }
    const TDIB* Picture() const { return picture_ ? &*picture_ : nullptr; }
    void SetPicture(const TDIB& dib) {
        picture_ = dib;
        undecoded_.clear();
    }
    void ClearPicture() {
        picture_.reset();
        undecoded_.clear();
    }
    // A picture of a graphic class the game does not decode (icons, metafiles, others): the item has
    // no picture, but the payload (class name first) is kept as read, so a collection written again
    // still holds it. Empty when there is none.
    const std::vector<std::uint8_t>& UndecodedPicture() const { return undecoded_; }
    void SetUndecodedPicture(std::vector<std::uint8_t> payload) {
        picture_.reset();
        undecoded_ = std::move(payload);
    }
    bool PictureEmpty() const { return !picture_ || picture_->Empty(); }

    int PatternHeight = 0;
    int PatternWidth = 0;
    int SkipHeight = 0;
    int SkipWidth = 0;
    bool SystemMemory = false;
    bool Transparent = true;
    TColor TransparentColor() const { return transparentColor_; }
    // Re-keys every surface the item already has.
    void SetTransparentColor(TColor color);

    bool Initialized() const { return initialized_; }
    int Width() const;
    int Height() const;
    int PatternCount() const { return static_cast<int>(patterns_.size()); }
    TRect PatternRect(int index) const;
    TDirectDrawSurface* PatternSurface(int index) const;
    int SurfaceCount() const { return static_cast<int>(surfaces_.size()); }
    TDirectDrawSurface* SurfaceAt(int index) const { return surfaces_.at(static_cast<std::size_t>(index)).get(); }

    // Copies pattern `patternIndex` to (x, y) of dest, colour-keyed when Transparent. Does nothing
    // when not initialised or the index is out of range.
    void Draw(TDirectDrawSurface* dest, int x, int y, int patternIndex) const;
    // Builds the surfaces and patterns from the picture (see ComputePatternLayout).
    void Restore();

    TPictureCollection& PictureCollection() const;

private:
    friend class TPictureCollection;
    void release(); // drops patterns and surfaces
    void setInitialized(bool value) { initialized_ = value; }

    std::optional<TDIB> picture_;
    std::vector<std::uint8_t> undecoded_;
    bool initialized_ = false;
    TColor transparentColor_ = clBlack;
    std::vector<TPictureCollectionItemPattern> patterns_;
    std::vector<std::unique_ptr<TDirectDrawSurface>> surfaces_;
};

class TPictureCollection : public THashCollection {
public:
    TPictureCollection() = default;
    ~TPictureCollection() override;

    TPictureCollectionItem* Add();
    // Throws EPictureCollectionError "Image '%s' not found", followed by ' in "file"' when the items
    // came from a file: a picture the game needs is missing from that file.
    TPictureCollectionItem* Find(const std::string& name) const;
    // Throws EListError "List index out of bounds (%d)", naming the file as Find does.
    TPictureCollectionItem* ItemAt(int index) const;
    TPictureCollectionItem* Items(int index) const { return ItemAt(index); }

    std::array<std::uint8_t, 1024> ColorTable{}; // blue, green, red, reserved; never used for drawing

    // Throws EFOpenError "Cannot open file "%s". %s" (a directory or a pipe included), EReadError
    // "Cannot read file "%s". %s", or for damaged contents EReadError "Cannot load file "%s". "
    // followed by what LoadFromStream says.
    void LoadFromFile(const std::string& path);
    // The file the items were last loaded from; empty after LoadFromStream.
    const std::string& FileName() const { return fileName_; }
    // Replaces every item with those of the DXG bytes; items read before a failure stay.
    void LoadFromStream(std::span<const std::uint8_t> bytes);
    std::vector<std::uint8_t> SaveToStream() const;
    void SaveToFile(const std::string& path) const;
    // Copies the other collection's items (pictures shared until changed) and colour table.
    void Assign(const TPictureCollection& other);

    // Binds to an initialised display; throws EPictureCollectionError
    // "TPictureCollection cannot be initialized" otherwise.
    void Initialize(TCustomDXDraw* display);
    void Finalize();
    void Restore();
    TCustomDXDraw* DXDraw() const { return display_; }

protected:
    void ItemRemoving(THashCollectionItem& item) override;

private:
    std::string inFile() const; // ' in "file"', or nothing without a file

    TCustomDXDraw* display_ = nullptr;
    std::string fileName_;
};

// The component that holds a picture collection and serves a display: it follows the display's
// notifications so the collection's surfaces are made and dropped with the display's.
class TCustomDXImageList : public TDXDrawNotifyListener {
public:
    TCustomDXImageList() = default;
    ~TCustomDXImageList() override;
    TCustomDXImageList(const TCustomDXImageList&) = delete;
    TCustomDXImageList& operator=(const TCustomDXImageList&) = delete;

    TCustomDXDraw* DXDraw() const { return dxDraw_; }
    // Unregisters from the previous display and registers with the new one (nullptr: none).
    void SetDXDraw(TCustomDXDraw* display);
    TPictureCollection& Items() { return items_; }
    const TPictureCollection& Items() const { return items_; }
    void SetItems(const TPictureCollection& items) { items_.Assign(items); }

    void DXDrawNotify(TCustomDXDraw& sender, TDXDrawNotifyType notifyType) override;

private:
    TCustomDXDraw* dxDraw_ = nullptr;
    TPictureCollection items_;
};

class TDXImageList : public TCustomDXImageList {};
