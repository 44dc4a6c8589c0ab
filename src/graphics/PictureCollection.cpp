// SPDX-License-Identifier: MIT
// Picture collections: cutting pictures into patterns and surfaces, the DXG reader and writer, and
// the image list's reaction to the display's notifications.
#include "graphics/PictureCollection.h"

#include "core/CollectionFile.h"
#include "core/DataFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr const char* kRootClass = "TPictureCollectionComponent";

std::int64_t divFloor(std::int64_t a, std::int64_t b) { return a / b; } // operands are never negative here

void readPicturePayload(TPictureCollectionItem& item, std::span<const std::uint8_t> data) {
    ByteReader in(data);
    const std::string graphicClass = in.shortString();
    // Class names are compared with letter case, as the graphic classes were registered.
    if (graphicClass == "TDIB") {
        TDIB dib;
        dib.LoadFromPayload(in);
        item.SetPicture(dib);
    } else if (graphicClass == "TBitmap") {
        const std::uint32_t length = in.u32();
        TDIB dib;
        if (length > 0) {
            ByteReader bitmap(in.bytes(length));
            if (bitmap.remaining() < 14) throw EReadError("Stream read error");
            if (bitmap.u16() != 0x4D42) throw EInvalidGraphic("Bitmap image is not valid");
            bitmap.skip(8); // file size, reserved
            const std::uint32_t pixelsAt = bitmap.u32();
            dib.LoadFromPayload(bitmap, pixelsAt > 14 ? pixelsAt - 14 : 0);
        }
        item.SetPicture(dib);
    } else {
        // Icons, metafiles and unknown graphics are not decoded: the item has no picture and no
        // patterns, but a modder's tool that reads and writes the file must not lose them.
        item.SetUndecodedPicture(std::vector<std::uint8_t>(data.begin(), data.end()));
    }
}

void readItemProperty(TPictureCollectionItem& item, std::string& label, const std::string& name, CollectionReader& r) {
    const auto path = splitPropertyPath(name);
    const std::string_view head = path.first, rest = path.second;
    if (samePropertyName(head, "Picture")) {
        if (rest.empty()) CollectionReader::InvalidPropertyValue(); // an object, not a value
        auto [sub, deeper] = splitPropertyPath(rest);
        if (!samePropertyName(sub, "Data")) CollectionReader::PropertyDoesNotExist(std::string(sub));
        if (!deeper.empty()) CollectionReader::InvalidPropertyPath();
        readPicturePayload(item, r.ReadBinary());
        return;
    }
    auto scalar = [&](const char* prop) {
        if (!samePropertyName(head, prop)) return false;
        if (!rest.empty()) CollectionReader::InvalidPropertyPath();
        return true;
    };
    if (scalar("Name")) {
        item.SetName(r.ReadString());
        label = item.Name();
    } else if (scalar("PatternHeight"))
        item.PatternHeight = r.ReadInteger();
    else if (scalar("PatternWidth"))
        item.PatternWidth = r.ReadInteger();
    else if (scalar("SkipHeight"))
        item.SkipHeight = r.ReadInteger();
    else if (scalar("SkipWidth"))
        item.SkipWidth = r.ReadInteger();
    else if (scalar("SystemMemory"))
        item.SystemMemory = r.ReadBoolean();
    else if (scalar("Transparent"))
        item.Transparent = r.ReadBoolean();
    else if (scalar("TransparentColor"))
        item.SetTransparentColor(r.ReadColor());
    else
        CollectionReader::PropertyDoesNotExist(std::string(head));
}

// Copies a rectangle of the picture into a new surface; parts outside the picture stay 0.
std::unique_ptr<TDirectDrawSurface> makeSurface(TDirectDraw* device, const TDIB& picture, const TRect& r,
                                                bool systemMemory, TColor transparentColor) {
    auto surface = std::make_unique<TDirectDrawSurface>(device);
    surface->SetSystemMemory(systemMemory);
    surface->SetSize(r.Width(), r.Height());
    const int left = std::max(r.Left, 0), top = std::max(r.Top, 0);
    const int right = std::min(r.Right, picture.Width()), bottom = std::min(r.Bottom, picture.Height());
    if (right > left && bottom > top) {
        TDDSurfaceDesc desc;
        if (surface->Lock(desc)) {
            auto* base = static_cast<std::uint32_t*>(desc.Bits);
            const int pitch = desc.Pitch / 4;
            picture.CopyRectRGB(left, top, right - left, bottom - top,
                                base + static_cast<std::ptrdiff_t>(top - r.Top) * pitch + (left - r.Left), pitch);
            surface->Unlock();
        }
    }
    surface->SetColorKey(surface->NativeColor(transparentColor));
    return surface;
}

} // namespace

// ---- layout ----

TPatternLayout ComputePatternLayout(int pictureWidth, int pictureHeight, int patternWidth, int patternHeight,
                                    int skipWidth, int skipHeight, bool systemMemory) {
    TPatternLayout out;
    const std::int64_t W = pictureWidth, H = pictureHeight;
    if (W <= 0 || H <= 0) return out;
    const std::int64_t PW = patternWidth > 0 ? patternWidth : W;
    const std::int64_t PH = patternHeight > 0 ? patternHeight : H;
    const std::int64_t SW = skipWidth, SH = skipHeight;
    const std::int64_t CW = PW + SW, CH = PH + SH;

    if (PW == W && PH == H) {
        out.surfaces.push_back(TRect{0, 0, pictureWidth, pictureHeight});
        out.patterns.push_back({TRect{0, 0, pictureWidth, pictureHeight}, 0});
        return out;
    }
    // A negative skip as large as the pattern leaves cells of no size: nothing can be cut.
    if (CW <= 0 || CH <= 0) return out;
    const std::int64_t columns = std::max<std::int64_t>(divFloor(std::max<std::int64_t>(W + SW, 0), CW), 0);
    const std::int64_t rows = std::max<std::int64_t>(divFloor(std::max<std::int64_t>(H + SH, 0), CH), 0);
    auto rect = [](std::int64_t l, std::int64_t t, std::int64_t r, std::int64_t b) {
        return TRect{static_cast<std::int32_t>(l), static_cast<std::int32_t>(t), static_cast<std::int32_t>(r),
                     static_cast<std::int32_t>(b)};
    };

    if (systemMemory) {
        out.surfaces.push_back(TRect{0, 0, pictureWidth, pictureHeight});
        for (std::int64_t row = 0; row < rows; ++row)
            for (std::int64_t col = 0; col < columns; ++col)
                out.patterns.push_back({rect(col * CW, row * CH, col * CW + PW, row * CH + PH), 0});
        return out;
    }

    // Pieces of about 512 pixels, each a whole number of cells.
    const std::int64_t pieceW = std::min(CW * ((CW + 511) / CW), CW * columns);
    const std::int64_t pieceH = std::min(CH * ((CH + 511) / CH), CH * rows);
    if (pieceW <= 0 || pieceH <= 0) return out;
    const std::int64_t piecesX = (W + pieceW - 1) / pieceW, piecesY = (H + pieceH - 1) / pieceH;
    for (std::int64_t py = 0; py < piecesY; ++py)
        for (std::int64_t px = 0; px < piecesX; ++px) {
            std::int64_t w = std::min(pieceW, std::max<std::int64_t>(W - pieceW * px, 0));
            std::int64_t h = std::min(pieceH, std::max<std::int64_t>(H - pieceH * py, 0));
            if (w == 0) w = pieceW;
            if (h == 0) h = pieceH;
            out.surfaces.push_back(rect(px * pieceW, py * pieceH, px * pieceW + w, py * pieceH + h));
        }
    for (std::int64_t row = 0; row < rows; ++row)
        for (std::int64_t col = 0; col < columns; ++col) {
            const std::int64_t x = (col * CW) % pieceW, y = (row * CH) % pieceH;
            const std::int64_t s = (col * CW) / pieceW + ((row * CH) / pieceH) * piecesX;
            out.patterns.push_back({rect(x, y, x + PW, y + PH), static_cast<int>(s)});
        }
    return out;
}

// ---- item ----

TPictureCollectionItem::TPictureCollectionItem(TPictureCollection& collection) : THashCollectionItem(collection) {}

TPictureCollectionItem::~TPictureCollectionItem() = default;

TPictureCollection& TPictureCollectionItem::PictureCollection() const {
    return static_cast<TPictureCollection&>(Collection());
}

int TPictureCollectionItem::Width() const {
    if (PatternWidth > 0) return PatternWidth;
    return picture_ ? picture_->Width() : 0;
}

int TPictureCollectionItem::Height() const {
    if (PatternHeight > 0) return PatternHeight;
    return picture_ ? picture_->Height() : 0;
}

TRect TPictureCollectionItem::PatternRect(int index) const {
    if (index < 0 || index >= PatternCount()) return TRect{};
    return patterns_[static_cast<std::size_t>(index)].Rect;
}

TDirectDrawSurface* TPictureCollectionItem::PatternSurface(int index) const {
    if (index < 0 || index >= PatternCount()) return nullptr;
    return patterns_[static_cast<std::size_t>(index)].Surface;
}

void TPictureCollectionItem::SetTransparentColor(TColor color) {
    if (color == transparentColor_) return;
    transparentColor_ = color;
    for (auto& s : surfaces_) s->SetColorKey(s->NativeColor(color));
}

void TPictureCollectionItem::Draw(TDirectDrawSurface* dest, int x, int y, int patternIndex) const {
    if (!initialized_ || !dest || patternIndex < 0 || patternIndex >= PatternCount()) return;
    const auto& p = patterns_[static_cast<std::size_t>(patternIndex)];
    dest->Draw(x, y, p.Rect, p.Surface, Transparent);
}

void TPictureCollectionItem::release() {
    patterns_.clear();
    surfaces_.clear();
}

void TPictureCollectionItem::Restore() {
    if (PictureEmpty()) return;
    TCustomDXDraw* display = PictureCollection().DXDraw();
    if (!initialized_ && display && display->Initialized()) initialized_ = true;
    if (!initialized_ || !display) return;
    release();
    const TDIB& picture = *picture_;
    TPatternLayout layout = ComputePatternLayout(picture.Width(), picture.Height(), PatternWidth, PatternHeight,
                                                 SkipWidth, SkipHeight, SystemMemory);
    for (const TRect& r : layout.surfaces)
        surfaces_.push_back(makeSurface(display->DDraw(), picture, r, SystemMemory, transparentColor_));
    patterns_.reserve(layout.patterns.size());
    for (const auto& p : layout.patterns)
        patterns_.push_back({p.rect, surfaces_[static_cast<std::size_t>(p.surface)].get()});
}

// ---- collection ----

TPictureCollection::~TPictureCollection() {
    Finalize();
    Clear();
}

void TPictureCollection::ItemRemoving(THashCollectionItem& item) {
    static_cast<TPictureCollectionItem&>(item).release();
}

TPictureCollectionItem* TPictureCollection::Add() {
    return static_cast<TPictureCollectionItem*>(&Append(std::make_unique<TPictureCollectionItem>(*this)));
}

TPictureCollectionItem* TPictureCollection::Find(const std::string& name) const {
    int i = IndexOf(name);
    if (i < 0) throw EPictureCollectionError("Image '" + name + "' not found" + inFile());
    return ItemAt(i);
}

TPictureCollectionItem* TPictureCollection::ItemAt(int index) const {
    try {
        return static_cast<TPictureCollectionItem*>(GetItem(index));
    } catch (const EListError& e) {
        throw EListError(e.what() + inFile());
    }
}

std::string TPictureCollection::inFile() const { return fileName_.empty() ? "" : " in \"" + fileName_ + "\""; }

void TPictureCollection::LoadFromFile(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadDataFile(path);
    try {
        LoadFromStream(bytes);
    } catch (const EReadError& e) {
        fileName_ = path;
        throw EReadError(DamagedFileMessage(path, e.what()));
    }
    fileName_ = path;
}

void TPictureCollection::LoadFromStream(std::span<const std::uint8_t> bytes) {
    fileName_.clear();
    Clear();
    CollectionReader r(bytes);
    r.ReadHeader();
    std::string rootName = r.RootName();
    r.ReadProperties(rootName, [this](const std::string& name, CollectionReader& rr) {
        auto [head, rest] = splitPropertyPath(name);
        if (!samePropertyName(head, "List")) CollectionReader::PropertyDoesNotExist(std::string(head));
        if (rest.empty()) {
            rr.ReadCollection([this](int, CollectionReader& ir) {
                TPictureCollectionItem* item = Add();
                std::string label;
                ir.ReadProperties(label, [item, &label](const std::string& prop, CollectionReader& pr) {
                    readItemProperty(*item, label, prop, pr);
                });
            });
            return;
        }
        auto [sub, deeper] = splitPropertyPath(rest);
        if (!samePropertyName(sub, "ColorTable")) CollectionReader::PropertyDoesNotExist(std::string(sub));
        if (!deeper.empty()) CollectionReader::InvalidPropertyPath();
        auto table = rr.ReadBinary();
        if (table.size() < ColorTable.size()) throw EReadError("Stream read error");
        std::copy_n(table.begin(), ColorTable.size(), ColorTable.begin());
    });
    r.ReadChildrenEnd();
    if (display_ && display_->Initialized()) {
        Initialize(display_);
        Restore();
    }
}

std::vector<std::uint8_t> TPictureCollection::SaveToStream() const {
    CollectionWriter w(kRootClass, "");
    w.PropertyName("List.ColorTable");
    w.Binary(ColorTable);
    w.PropertyName("List");
    w.CollectionBegin();
    for (int i = 0; i < Count(); ++i) {
        const TPictureCollectionItem& item = *ItemAt(i);
        w.ItemBegin();
        w.PropertyName("Name");
        w.String(item.Name());
        w.PropertyName("PatternHeight");
        w.Integer(item.PatternHeight);
        w.PropertyName("PatternWidth");
        w.Integer(item.PatternWidth);
        if (const TDIB* picture = item.Picture()) {
            ByteWriter payload;
            payload.shortString("TDIB");
            picture->SaveToPayload(payload);
            w.PropertyName("Picture.Data");
            w.Binary(payload.data());
        } else if (!item.UndecodedPicture().empty()) {
            w.PropertyName("Picture.Data");
            w.Binary(item.UndecodedPicture());
        }
        if (item.SkipHeight != 0) {
            w.PropertyName("SkipHeight");
            w.Integer(item.SkipHeight);
        }
        if (item.SkipWidth != 0) {
            w.PropertyName("SkipWidth");
            w.Integer(item.SkipWidth);
        }
        w.PropertyName("SystemMemory");
        w.Boolean(item.SystemMemory);
        w.PropertyName("Transparent");
        w.Boolean(item.Transparent);
        w.PropertyName("TransparentColor");
        w.Color(item.TransparentColor());
        w.ListEnd();
    }
    w.ListEnd(); // items
    w.ListEnd(); // root properties
    return w.Finish();
}

void TPictureCollection::SaveToFile(const std::string& path) const {
    const auto bytes = SaveToStream();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) throw EFOpenError("Cannot create file \"" + path + "\". " + std::strerror(errno));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) throw EFOpenError("Cannot write file \"" + path + "\". " + std::strerror(errno));
}

void TPictureCollection::Assign(const TPictureCollection& other) {
    if (&other == this) return;
    Clear();
    ColorTable = other.ColorTable;
    fileName_ = other.fileName_;
    for (int i = 0; i < other.Count(); ++i) {
        const TPictureCollectionItem& src = *other.ItemAt(i);
        TPictureCollectionItem* item = Add();
        item->SetName(src.Name());
        item->picture_ = src.picture_;
        item->undecoded_ = src.undecoded_;
        item->PatternHeight = src.PatternHeight;
        item->PatternWidth = src.PatternWidth;
        item->SkipHeight = src.SkipHeight;
        item->SkipWidth = src.SkipWidth;
        item->SystemMemory = src.SystemMemory;
        item->Transparent = src.Transparent;
        item->transparentColor_ = src.transparentColor_;
    }
    if (display_ && display_->Initialized()) {
        Initialize(display_);
        Restore();
    }
}

void TPictureCollection::Initialize(TCustomDXDraw* display) {
    Finalize();
    display_ = display;
    if (!display || !display->Initialized()) throw EPictureCollectionError("TPictureCollection cannot be initialized");
    for (int i = 0; i < Count(); ++i) ItemAt(i)->setInitialized(true);
}

void TPictureCollection::Finalize() {
    for (int i = 0; i < Count(); ++i) {
        ItemAt(i)->release();
        ItemAt(i)->setInitialized(false);
    }
    display_ = nullptr;
}

void TPictureCollection::Restore() {
    for (int i = 0; i < Count(); ++i) ItemAt(i)->Restore();
}

// ---- image list ----

TCustomDXImageList::~TCustomDXImageList() { SetDXDraw(nullptr); }

void TCustomDXImageList::SetDXDraw(TCustomDXDraw* display) {
    if (display == dxDraw_) return;
    if (dxDraw_) dxDraw_->UnregisterNotify(this);
    dxDraw_ = display;
    if (dxDraw_) dxDraw_->RegisterNotify(this);
}

void TCustomDXImageList::DXDrawNotify(TCustomDXDraw& sender, TDXDrawNotifyType notifyType) {
    switch (notifyType) {
    case dnDestroying: dxDraw_ = nullptr; break;
    case dnInitialize: items_.Initialize(&sender); break;
    case dnFinalize: items_.Finalize(); break;
    case dnRestore: items_.Restore(); break;
    default: break;
    }
}
