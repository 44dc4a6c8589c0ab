// SPDX-License-Identifier: MIT
// The sound device component and its buffers (voices of the mixer), the wave collection with its
// file, and the wave list that binds a collection to the sound device.
#pragma once

#include "core/DXClass.h"
#include "sound/SoundMixer.h"
#include "sound/SoundOutput.h"
#include "sound/Wave.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// "%s cannot be initialized", "%s not made" (the device).
class EDirectSoundError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// "%s cannot be made", "%s cannot be locked", "%s not made" (a buffer).
class EDirectSoundBufferError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// "Form not found", "Primary Buffer cannot be made".
class EDXSoundError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// "Wave '%s' not found".
class EWaveCollectionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Result codes the buffers keep from their last operation.
namespace dsresult {
constexpr std::uint32_t Ok = 0;
constexpr std::uint32_t BufferLost = 0x88780096;
constexpr std::uint32_t InvalidCall = 0x88780032;
constexpr std::uint32_t BadFormat = 0x88780064;
constexpr std::uint32_t InvalidParam = 0x80070057;
} // namespace dsresult

// Buffer description flags.
namespace dsbcaps {
constexpr std::uint32_t PrimaryBuffer = 0x1;
constexpr std::uint32_t CtrlFrequency = 0x20;
constexpr std::uint32_t CtrlPan = 0x40;
constexpr std::uint32_t CtrlVolume = 0x80;
constexpr std::uint32_t StickyFocus = 0x4000;
constexpr std::uint32_t GlobalFocus = 0x8000;
} // namespace dsbcaps

struct TDSBufferDesc {
    std::uint32_t dwSize = 36;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwBufferBytes = 0;
    std::vector<std::uint8_t> format; // the wave's format block, unchanged
};

class TDirectSoundBuffer;

// The device object: the mixer heard on the output, its focus flags and every buffer made on it.
class TDirectSound {
public:
    // Throws EDirectSoundError "DirectSound cannot be initialized" when the output has no device.
    explicit TDirectSound(TSoundOutput& output);
    virtual ~TDirectSound();
    TDirectSound(const TDirectSound&) = delete;
    TDirectSound& operator=(const TDirectSound&) = delete;

    bool GlobalFocus = false;
    bool StickyFocus = false;
    std::uint32_t CooperativeLevel() const { return cooperativeLevel_; }
    void SetCooperativeLevel(std::uint32_t level) { cooperativeLevel_ = level; }

    SoundMixer& Mixer() { return *mixer_; }
    TSoundOutput& Output() const { return output_; }
    const std::vector<TDirectSoundBuffer*>& Buffers() const { return buffers_; }
    bool Restoring() const { return restoring_; }

    // A buffer reported itself lost: every buffer is restored, then the owner refills them.
    // Nothing happens while a restore is already running.
    void BufferLost();
    // As if another program had taken the device: every buffer reports itself lost on its next
    // operation. The platform here never does this; tests do.
    void LoseAllBuffers();

protected:
    virtual void DoRestore() {}

private:
    friend class TDirectSoundBuffer;
    TSoundOutput& output_;
    std::unique_ptr<SoundMixer> mixer_;
    std::vector<TDirectSoundBuffer*> buffers_;
    std::uint32_t cooperativeLevel_ = 0;
    bool restoring_ = false;
};

// One device buffer: a voice of the mixer over the wave's converted samples. Operations report
// success as true and keep the result code; a lost buffer makes the device restore.
class TDirectSoundBuffer {
public:
    explicit TDirectSoundBuffer(TDirectSound& device);
    ~TDirectSoundBuffer();
    TDirectSoundBuffer(const TDirectSoundBuffer&) = delete;
    TDirectSoundBuffer& operator=(const TDirectSoundBuffer&) = delete;

    TDirectSound* DSound() const { return device_; } // none once the device is gone
    bool IsMade() const { return made_; }
    std::uint32_t DXResult() const { return result_; }
    std::uint32_t Flags() const { return flags_; }
    std::uint32_t BufferBytes() const { return bufferBytes_; }
    const std::vector<std::uint8_t>& Format() const { return format_; }
    // The samples the voice plays; shared between a buffer and its duplicates.
    const SampleData* Samples() const;

    // False (and no platform buffer) when the device cannot make it, e.g. a format it does not play.
    bool CreateBuffer(const TDSBufferDesc& desc);
    // Makes the platform buffer from the wave's format and data, converted to the device's layout.
    // Throws EWaveFormatError for a format the device cannot convert, EDirectSoundBufferError
    // "Sound Buffer cannot be made" / "Sound Buffer cannot be locked".
    void LoadFromWave(const TWave& wave);
    // Shares the master's samples. False (and no platform buffer) when the device refuses.
    bool Duplicate(TDirectSoundBuffer& master);

    // These throw EDirectSoundBufferError "IDirectSoundBuffer not made" without a platform buffer.
    bool Playing();
    bool Play(bool loop = false);
    bool Stop();
    bool SetPosition(std::uint32_t bytes);
    std::uint32_t Position();
    bool SetFrequency(int hz);
    int Frequency();
    bool SetPan(int pan);
    int Pan();
    bool SetVolume(int volume);
    int Volume();

    // The buffer reports itself lost on its next operation (see TDirectSound::LoseAllBuffers).
    void MarkLost() { lost_ = true; }

private:
    friend class TDirectSound;
    SoundVoice& voice(); // throws when not made
    bool ok();           // false (and the device restores) when lost
    void release();
    void detachFromDevice();

    TDirectSound* device_;
    bool made_ = false;
    bool primary_ = false;
    bool lost_ = false;
    std::unique_ptr<SoundVoice> voice_;
    std::uint32_t flags_ = 0, bufferBytes_ = 0;
    std::vector<std::uint8_t> format_;
    std::uint32_t result_ = dsresult::Ok;
};

enum TDXSoundOption : std::uint8_t { soGlobalFocus = 0, soStickyFocus, soExclusive };

class TDXSoundOptions {
public:
    constexpr TDXSoundOptions() = default;
    constexpr TDXSoundOptions(std::initializer_list<TDXSoundOption> options) {
        for (auto o : options) bits_ = static_cast<std::uint8_t>(bits_ | bit(o));
    }
    constexpr bool Has(TDXSoundOption o) const { return (bits_ & bit(o)) != 0; }
    constexpr TDXSoundOptions& Include(TDXSoundOption o) {
        bits_ = static_cast<std::uint8_t>(bits_ | bit(o));
        return *this;
    }
    constexpr TDXSoundOptions& Exclude(TDXSoundOption o) {
        bits_ = static_cast<std::uint8_t>(bits_ & ~bit(o));
        return *this;
    }
    constexpr bool operator==(const TDXSoundOptions&) const = default;

private:
    static constexpr std::uint8_t bit(TDXSoundOption o) { return static_cast<std::uint8_t>(1u << o); }
    std::uint8_t bits_ = 0;
};

enum TDXSoundNotifyType : std::uint8_t { snDestroying = 0, snInitializing, snInitialize, snFinalize, snRestore };

class TCustomDXSound;

// Whoever keeps sound buffers made on the device (the wave lists).
class TDXSoundNotifyListener {
public:
    virtual ~TDXSoundNotifyListener() = default;
    virtual void DXSoundNotify(TCustomDXSound& sender, TDXSoundNotifyType notifyType) = 0;
};

class TCustomDXSound {
public:
    using TNotifyEvent = std::function<void(TCustomDXSound& sender)>;

    // output nullptr: the game's audio device. Not owned.
    explicit TCustomDXSound(TSoundOutput* output = nullptr);
    virtual ~TCustomDXSound(); // Finalize, then snDestroying to every listener
    TCustomDXSound(const TCustomDXSound&) = delete;
    TCustomDXSound& operator=(const TCustomDXSound&) = delete;

    // Published properties.
    bool AutoInitialize = true;
    TDXSoundOptions Options() const { return options_; }
    void SetOptions(TDXSoundOptions value);
    TDXSoundOptions NowOptions() const { return nowOptions_; } // the effective set
    TNotifyEvent OnFinalize, OnInitialize, OnInitializing, OnRestore;

    // The component sits on a form; without one Initialize fails with "Form not found".
    bool HasOwnerForm() const { return hasOwnerForm_; }
    void SetOwnerForm(bool value) { hasOwnerForm_ = value; }

    // After the form is loaded: Initialize when AutoInitialize is set. A missing sound device
    // (EDirectSoundError) is dropped and the game stays silent; other errors pass.
    void Loaded();
    void Initialize();
    void Finalize();
    void Restore();
    // The form's window was made anew: hook it again and set the cooperative level for it.
    void FormWindowRecreated();

    bool Initialized() const { return initialized_; }
    bool Initializing() const { return initializing_; }
    TDirectSound* DSound() const { return device_.get(); }
    TDirectSoundBuffer* Primary() const { return primary_.get(); }
    bool WindowHooked() const { return hooked_; }

    // Listeners are told last registered first. Registering again moves a listener to the end.
    void RegisterNotify(TDXSoundNotifyListener* listener);
    void UnregisterNotify(TDXSoundNotifyListener* listener);

private:
    void notify(TDXSoundNotifyType type);
    void setCooperativeLevel();

    TSoundOutput& output_;
    TDXSoundOptions options_, nowOptions_;
    bool hasOwnerForm_ = true;
    bool initialized_ = false, initializing_ = false, initializeEventFired_ = false;
    bool hooked_ = false;
    std::vector<TDXSoundNotifyListener*> listeners_;
    std::unique_ptr<TDirectSound> device_;
    std::unique_ptr<TDirectSoundBuffer> primary_;
};

// The component the main form places; the game's sound device.
class TDXSound : public TCustomDXSound {
public:
    using TCustomDXSound::TCustomDXSound;
};

class TWaveCollection;

class TWaveCollectionItem : public THashCollectionItem {
public:
    explicit TWaveCollectionItem(TWaveCollection& collection);
    ~TWaveCollectionItem() override;

    TWaveCollection& WaveCollection() const;

    TWave& Wave() { return wave_; }
    const TWave& Wave() const { return wave_; }
    bool Looped() const { return looped_; }
    void SetLooped(bool value); // a new value stops every buffer first
    int MaxPlayingCount() const { return maxPlayingCount_; }
    void SetMaxPlayingCount(int value); // negative becomes 0; a new value frees the copies
    int Frequency() const { return frequency_; }
    void SetFrequency(int value);
    int Pan() const { return pan_; }
    void SetPan(int value);
    int Volume() const { return volume_; }
    void SetVolume(int value);
    bool Initialized() const { return initialized_; }

    // Plays the sound once (looped items: the master, restarted). Does nothing while uninitialised.
    // With wait, returns when the copy has finished.
    void Play(bool wait = false);
    void Stop();
    // Makes the master buffer from the wave (nothing for an empty wave).
    void Restore();
    // The master buffer, made first when the item is initialised and has none.
    TDirectSoundBuffer* Buffer();
    // The copies in their order of choice (the one waiting longest first).
    int CopyCount() const { return static_cast<int>(copies_.size()); }
    TDirectSoundBuffer& CopyAt(int index) const { return *copies_.at(static_cast<std::size_t>(index)); }

    // The collection's binding: release the buffers, then become initialised if the device is.
    void Initialize();
    void Finalize();

private:
    void freeCopies();
    TDirectSound* device() const;
    void applySettings(TDirectSoundBuffer& buffer);

    std::unique_ptr<TDirectSoundBuffer> master_;
    std::vector<std::unique_ptr<TDirectSoundBuffer>> copies_;
    int frequency_ = 0;
    bool initialized_ = false;
    bool looped_ = false;
    int maxPlayingCount_ = 0;
    int pan_ = 0;
    int volume_ = 0;
    TWave wave_;
};

// The wave collection file layout is the picture collection's container (core/CollectionFile.h)
// with a root of class "TWaveCollectionComponent" holding one property, "List": a collection whose
// items hold "Name" (string), "Looped" (bool), "MaxPlayingCount" (integer) and "Wave.WAVE" (a byte
// block with the RIFF WAVE bytes, see sound/Wave.h).
class TWaveCollection : public THashCollection {
public:
    TWaveCollection() = default;
    ~TWaveCollection() override;

    TWaveCollectionItem& Add();
    TWaveCollectionItem& ItemAt(int index) const; // throws EListError
    // Throws EWaveCollectionError "Wave '%s' not found", followed by ' in "file"' when the items
    // came from a file.
    TWaveCollectionItem& Find(std::string_view name) const;
    // Replaces the items with copies of the other collection's (name, looped, max count, wave).
    void Assign(const TWaveCollection& other);

    // Throws EFOpenError "Cannot open file "%s". %s" (a directory or a pipe included), EReadError
    // "Cannot read file "%s". %s", or for damaged contents EReadError "Cannot load file "%s". "
    // followed by the reader's error; items read before a failure remain.
    void LoadFromFile(const std::string& path);
    // The file the items were last loaded from; empty after loading bytes or a stream.
    const std::string& FileName() const { return fileName_; }
    void LoadFromStream(std::istream& stream);
    void LoadFromBytes(std::span<const std::uint8_t> bytes);
    void SaveToFile(const std::string& path) const;
    std::vector<std::uint8_t> SaveToBytes() const;

    void Initialize(TCustomDXSound& dxSound);
    void Finalize();
    // Restores every item. An item whose wave the device cannot take is made silent (its wave is
    // dropped) instead of failing the rest: it is noted in Unplayable, one line per item
    // ("Wave 'name': reason"), until the next load.
    void Restore();
    const std::vector<std::string>& Unplayable() const { return unplayable_; }

    // Told of every item's Play, whether or not a device sounds it: where a test hears what a game
    // asked to play, and in which order.
    std::function<void(const TWaveCollectionItem& item)> OnPlay;
    TCustomDXSound* DXSound() const { return dxSound_; }
    bool BoundToInitializedDevice() const { return dxSound_ && dxSound_->Initialized(); }

protected:
    void ItemRemoving(THashCollectionItem& item) override;

private:
    TCustomDXSound* dxSound_ = nullptr;
    std::vector<std::string> unplayable_;
    std::string fileName_;
};

class TCustomDXWaveList : public TDXSoundNotifyListener {
public:
    TCustomDXWaveList() = default;
    ~TCustomDXWaveList() override;
    TCustomDXWaveList(const TCustomDXWaveList&) = delete;
    TCustomDXWaveList& operator=(const TCustomDXWaveList&) = delete;

    TCustomDXSound* DXSound() const { return dxSound_; }
    void SetDXSound(TCustomDXSound* value); // registers with the new device, unregisters from the old
    TWaveCollection& Items() { return items_; }
    const TWaveCollection& Items() const { return items_; }
    void SetItems(const TWaveCollection& value) { items_.Assign(value); }

    void DXSoundNotify(TCustomDXSound& sender, TDXSoundNotifyType notifyType) override;

private:
    TCustomDXSound* dxSound_ = nullptr;
    TWaveCollection items_;
};

class TDXWaveList : public TCustomDXWaveList {
public:
    using TCustomDXWaveList::TCustomDXWaveList;
};
