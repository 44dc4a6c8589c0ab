// SPDX-License-Identifier: MIT
// The wave collection: items, binding to the sound device, and the wave collection file (read and
// written with the container shared with picture collections).
#include "sound/DXSounds.h"

#include "core/CollectionFile.h"
#include "core/DataFile.h"
#include "core/FileErrors.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr const char* kRootClass = "TWaveCollectionComponent";

void readItem(TWaveCollectionItem& item, const std::string& name, CollectionReader& r) {
    auto [head, rest] = splitPropertyPath(name);
    if (samePropertyName(head, "Wave")) {
        if (rest.empty()) CollectionReader::InvalidPropertyValue();
        if (!samePropertyName(rest, "WAVE")) CollectionReader::PropertyDoesNotExist(std::string(rest));
        item.Wave().LoadFromBytes(r.ReadBinary());
        return;
    }
    bool known =
        samePropertyName(head, "Name") || samePropertyName(head, "Looped") || samePropertyName(head, "MaxPlayingCount");
    if (!known) CollectionReader::PropertyDoesNotExist(std::string(head));
    if (!rest.empty()) CollectionReader::InvalidPropertyPath();
    if (samePropertyName(head, "Name"))
        item.SetName(r.ReadString());
    else if (samePropertyName(head, "Looped"))
        item.SetLooped(r.ReadBoolean());
    else
        item.SetMaxPlayingCount(r.ReadInteger());
}

} // namespace

TWaveCollection::~TWaveCollection() { Clear(); }

void TWaveCollection::ItemRemoving(THashCollectionItem& item) { static_cast<TWaveCollectionItem&>(item).Finalize(); }

TWaveCollectionItem& TWaveCollection::Add() {
    return static_cast<TWaveCollectionItem&>(Append(std::make_unique<TWaveCollectionItem>(*this)));
}

TWaveCollectionItem& TWaveCollection::ItemAt(int index) const {
    return static_cast<TWaveCollectionItem&>(*GetItem(index));
}

TWaveCollectionItem& TWaveCollection::Find(std::string_view name) const {
    int i = IndexOf(name);
    if (i < 0) {
        const std::string inFile = fileName_.empty() ? "" : " in \"" + fileName_ + "\"";
        throw EWaveCollectionError("Wave '" + std::string(name) + "' not found" + inFile);
    }
    return ItemAt(i);
}

void TWaveCollection::Assign(const TWaveCollection& other) {
    if (&other == this) return;
    Clear();
    for (int i = 0; i < other.Count(); ++i) {
        const auto& src = other.ItemAt(i);
        auto& dst = Add();
        dst.SetName(src.Name());
        dst.SetLooped(src.Looped());
        dst.SetMaxPlayingCount(src.MaxPlayingCount());
        dst.SetFrequency(src.Frequency());
        dst.SetPan(src.Pan());
        dst.SetVolume(src.Volume());
        dst.Wave() = src.Wave();
    }
    if (BoundToInitializedDevice()) {
        Initialize(*dxSound_);
        Restore();
    }
}

void TWaveCollection::LoadFromFile(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadDataFile(path);
    try {
        LoadFromBytes(bytes);
    } catch (const EReadError& e) {
        fileName_ = path;
        throw EReadError(DamagedFileMessage(path, e.what()));
    }
    fileName_ = path;
}

void TWaveCollection::LoadFromStream(std::istream& stream) {
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    LoadFromBytes(bytes);
}

void TWaveCollection::LoadFromBytes(std::span<const std::uint8_t> bytes) {
    fileName_.clear();
    Clear();
    unplayable_.clear();
    CollectionReader reader(bytes);
    reader.ReadHeader();
    reader.ReadProperties(reader.RootName(), [this](const std::string& name, CollectionReader& r) {
        auto [head, rest] = splitPropertyPath(name);
        if (!samePropertyName(head, "List")) CollectionReader::PropertyDoesNotExist(name);
        if (!rest.empty()) CollectionReader::PropertyDoesNotExist(std::string(rest));
        r.ReadCollection([this](int, CollectionReader& ir) {
            auto& item = Add();
            ir.ReadProperties({}, [&item](const std::string& n, CollectionReader& rr) { readItem(item, n, rr); });
        });
    });
    reader.ReadChildrenEnd();
    if (BoundToInitializedDevice()) {
        Initialize(*dxSound_);
        Restore();
    }
}

std::vector<std::uint8_t> TWaveCollection::SaveToBytes() const {
    CollectionWriter w(kRootClass, "");
    w.PropertyName("List");
    w.CollectionBegin();
    for (int i = 0; i < Count(); ++i) {
        const auto& item = ItemAt(i);
        w.ItemBegin();
        w.PropertyName("Name");
        w.String(item.Name());
        w.PropertyName("Looped");
        w.Boolean(item.Looped());
        w.PropertyName("MaxPlayingCount");
        w.Integer(item.MaxPlayingCount());
        w.PropertyName("Wave.WAVE");
        w.Binary(item.Wave().SaveToBytes());
        w.ListEnd();
    }
    w.ListEnd(); // the collection
    w.ListEnd(); // the root's properties
    return w.Finish();
}

void TWaveCollection::SaveToFile(const std::string& path) const {
    auto bytes = SaveToBytes();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw EReadError("Cannot create file \"" + path + "\". " + std::strerror(errno));
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw EReadError("Cannot write file \"" + path + "\"");
}

void TWaveCollection::Initialize(TCustomDXSound& dxSound) {
    Finalize();
    dxSound_ = &dxSound;
    for (int i = 0; i < Count(); ++i) ItemAt(i).Initialize();
}

void TWaveCollection::Finalize() {
    for (int i = 0; i < Count(); ++i) ItemAt(i).Finalize();
    dxSound_ = nullptr;
}

void TWaveCollection::Restore() {
    for (int i = 0; i < Count(); ++i) {
        TWaveCollectionItem& item = ItemAt(i);
        try {
            item.Restore();
        } catch (const std::exception& e) {
            // One sound the device cannot play must not cost the others; without its wave the
            // item never sounds and is never tried again.
            item.Finalize();
            item.Wave().Clear();
            unplayable_.push_back("Wave '" + item.Name() + "': " + e.what());
        }
    }
}

// ---- TCustomDXWaveList -----------------------------------------------------------------------

TCustomDXWaveList::~TCustomDXWaveList() { SetDXSound(nullptr); }

void TCustomDXWaveList::SetDXSound(TCustomDXSound* value) {
    if (value == dxSound_) return;
    if (dxSound_) dxSound_->UnregisterNotify(this);
    dxSound_ = value;
    if (dxSound_) dxSound_->RegisterNotify(this);
}

void TCustomDXWaveList::DXSoundNotify(TCustomDXSound& sender, TDXSoundNotifyType notifyType) {
    switch (notifyType) {
    case snDestroying: SetDXSound(nullptr); break;
    case snInitialize: items_.Initialize(sender); break;
    case snFinalize: items_.Finalize(); break;
    case snRestore: items_.Restore(); break;
    default: break;
    }
}
