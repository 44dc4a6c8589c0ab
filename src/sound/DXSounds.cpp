// SPDX-License-Identifier: MIT
// The sound device component, its device object and buffers, and the playing rules of wave items.
#include "sound/DXSounds.h"

#include <algorithm>
#include <chrono>
#include <thread>

// ---- TDirectSound ----------------------------------------------------------------------------

TDirectSound::TDirectSound(TSoundOutput& output) : output_(output) {
    if (!output.Open()) throw EDirectSoundError("DirectSound cannot be initialized");
    mixer_ = std::make_unique<SoundMixer>(output.SampleRate());
    output_.Attach(mixer_.get());
}

TDirectSound::~TDirectSound() {
    // Buffers still alive belong to someone else; they lose their platform buffer, not their owner.
    while (!buffers_.empty()) buffers_.back()->detachFromDevice();
    output_.Detach(mixer_.get());
}

void TDirectSound::BufferLost() {
    if (restoring_) return;
    restoring_ = true;
    try {
        // The samples never really go away here, so a buffer's own restore only clears the mark;
        // the owner then refills the master buffers from their waves.
        for (auto* b : buffers_) b->lost_ = false;
        DoRestore();
    } catch (...) {
        restoring_ = false;
        throw;
    }
    restoring_ = false;
}

void TDirectSound::LoseAllBuffers() {
    for (auto* b : buffers_)
        if (b->made_) b->lost_ = true;
}

// ---- TDirectSoundBuffer ----------------------------------------------------------------------

namespace {
constexpr std::uint64_t kMaxBufferBytes = 0x0FFFFFFF;
} // namespace

TDirectSoundBuffer::TDirectSoundBuffer(TDirectSound& device) : device_(&device) { device.buffers_.push_back(this); }

TDirectSoundBuffer::~TDirectSoundBuffer() {
    if (device_) detachFromDevice();
}

void TDirectSoundBuffer::detachFromDevice() {
    release();
    std::erase(device_->buffers_, this);
    device_ = nullptr;
}

void TDirectSoundBuffer::release() {
    voice_.reset();
    made_ = primary_ = lost_ = false;
    flags_ = bufferBytes_ = 0;
    format_.clear();
}

const SampleData* TDirectSoundBuffer::Samples() const { return voice_ ? voice_->Data().get() : nullptr; }

bool TDirectSoundBuffer::CreateBuffer(const TDSBufferDesc& desc) {
    release();
    if (!device_) {
        result_ = dsresult::InvalidCall;
        return false;
    }
    if (desc.dwFlags & dsbcaps::PrimaryBuffer) {
        // The primary buffer is the mixer's output itself; there is nothing to play on it.
        made_ = primary_ = true;
        flags_ = desc.dwFlags;
        format_ = makePcmFormat(2, 16, device_->Mixer().DeviceRate());
        result_ = dsresult::Ok;
        return true;
    }
    auto pcm = parsePcmFormat(desc.format);
    if (!pcm || desc.dwBufferBytes < static_cast<std::uint32_t>(pcm->blockAlign)) {
        result_ = dsresult::BadFormat;
        return false;
    }
    // The samples are kept converted to the device's layout; a buffer that would grow beyond the
    // largest one the platform allows (a slow rate stretched to the device's) is refused.
    const std::uint64_t frames = desc.dwBufferBytes / static_cast<std::uint32_t>(pcm->blockAlign);
    const std::uint64_t deviceBytes = frames * static_cast<std::uint64_t>(device_->Mixer().DeviceRate()) /
                                      static_cast<std::uint64_t>(pcm->samplesPerSec) * 4;
    if (desc.dwBufferBytes > kMaxBufferBytes || deviceBytes > kMaxBufferBytes) {
        result_ = dsresult::InvalidParam;
        return false;
    }
    made_ = true;
    flags_ = desc.dwFlags;
    bufferBytes_ = desc.dwBufferBytes;
    format_ = desc.format;
    result_ = dsresult::Ok;
    return true;
}

void TDirectSoundBuffer::LoadFromWave(const TWave& wave) {
    TDSBufferDesc desc;
    desc.dwFlags = dsbcaps::CtrlFrequency | dsbcaps::CtrlPan | dsbcaps::CtrlVolume;
    if (device_ && device_->StickyFocus)
        desc.dwFlags |= dsbcaps::StickyFocus;
    else if (device_ && device_->GlobalFocus)
        desc.dwFlags |= dsbcaps::GlobalFocus;
    // A format the device cannot convert is named as such, not as a buffer that failed.
    const PcmFormat pcm = playablePcmFormat(wave.Format());
    desc.dwBufferBytes = static_cast<std::uint32_t>(wave.Size());
    desc.format.assign(wave.Format().begin(), wave.Format().end());
    if (!CreateBuffer(desc)) throw EDirectSoundBufferError("Sound Buffer cannot be made");
    // Filling the buffer: the one conversion of the wave's samples to the device's layout.
    voice_ = std::make_unique<SoundVoice>(device_->Mixer(),
                                          convertToDevice(pcm, wave.Data(), device_->Mixer().DeviceRate()));
}

bool TDirectSoundBuffer::Duplicate(TDirectSoundBuffer& master) {
    release();
    if (!device_ || master.device_ != device_ || !master.voice_) {
        result_ = dsresult::InvalidCall;
        return false;
    }
    if (master.lost_) {
        result_ = dsresult::BufferLost;
        device_->BufferLost();
        return false;
    }
    made_ = true;
    flags_ = master.flags_;
    bufferBytes_ = master.bufferBytes_;
    format_ = master.format_;
    voice_ = std::make_unique<SoundVoice>(device_->Mixer(), master.voice_->Data());
    result_ = dsresult::Ok;
    return true;
}

SoundVoice& TDirectSoundBuffer::voice() {
    if (!made_) throw EDirectSoundBufferError("IDirectSoundBuffer not made");
    return *voice_;
}

bool TDirectSoundBuffer::ok() {
    if (!made_) throw EDirectSoundBufferError("IDirectSoundBuffer not made");
    if (lost_) {
        result_ = dsresult::BufferLost;
        if (device_) device_->BufferLost();
        return false;
    }
    result_ = dsresult::Ok;
    return !primary_;
}

bool TDirectSoundBuffer::Playing() {
    if (!ok()) return false;
    return voice().Playing();
}

bool TDirectSoundBuffer::Play(bool loop) {
    if (!ok()) return result_ == dsresult::Ok;
    voice().Play(loop);
    return true;
}

bool TDirectSoundBuffer::Stop() {
    if (!ok()) return result_ == dsresult::Ok;
    voice().Stop();
    return true;
}

bool TDirectSoundBuffer::SetPosition(std::uint32_t bytes) {
    if (!ok()) return result_ == dsresult::Ok;
    voice().SetPosition(bytes);
    return true;
}

std::uint32_t TDirectSoundBuffer::Position() {
    if (!ok()) return 0;
    return voice().Position();
}

bool TDirectSoundBuffer::SetFrequency(int hz) {
    if (!ok()) return result_ == dsresult::Ok;
    voice().SetFrequency(hz);
    return true;
}

int TDirectSoundBuffer::Frequency() {
    if (!ok()) return 0;
    return voice().Frequency();
}

bool TDirectSoundBuffer::SetPan(int pan) {
    if (!ok()) return result_ == dsresult::Ok;
    voice().SetPan(pan);
    return true;
}

int TDirectSoundBuffer::Pan() {
    if (!ok()) return 0;
    return voice().Pan();
}

bool TDirectSoundBuffer::SetVolume(int volume) {
    if (!ok()) return result_ == dsresult::Ok;
    voice().SetVolume(volume);
    return true;
}

int TDirectSoundBuffer::Volume() {
    if (!ok()) return 0;
    return voice().Volume();
}

// ---- TCustomDXSound --------------------------------------------------------------------------

namespace {

// The device object that knows its component, so a lost buffer restores the whole component.
class TDXSoundDirectSound : public TDirectSound {
public:
    TDXSoundDirectSound(TCustomDXSound& component, TSoundOutput& output)
        : TDirectSound(output), component_(component) {}

protected:
    void DoRestore() override { component_.Restore(); }

private:
    TCustomDXSound& component_;
};

constexpr std::uint32_t kCooperativeNormal = 1;
constexpr std::uint32_t kCooperativeExclusive = 3;

} // namespace

TCustomDXSound::TCustomDXSound(TSoundOutput* output) : output_(output ? *output : SystemSoundOutput()) {}

TCustomDXSound::~TCustomDXSound() {
    Finalize();
    notify(snDestroying);
}

void TCustomDXSound::SetOptions(TDXSoundOptions value) {
    options_ = value;
    if (!initialized_) {
        nowOptions_ = value;
        return;
    }
    // The focus options act at once (for buffers made from now on); exclusive use waits for the
    // next Initialize.
    for (auto o : {soGlobalFocus, soStickyFocus}) {
        if (value.Has(o))
            nowOptions_.Include(o);
        else
            nowOptions_.Exclude(o);
    }
    device_->GlobalFocus = nowOptions_.Has(soGlobalFocus);
    device_->StickyFocus = nowOptions_.Has(soStickyFocus);
}

void TCustomDXSound::Loaded() {
    if (!AutoInitialize) return;
    try {
        Initialize();
    } catch (const EDirectSoundError&) {
        // No sound device: the game runs without sound effects.
    }
}

void TCustomDXSound::Initialize() {
    Finalize();
    if (!hasOwnerForm_) throw EDXSoundError("Form not found");

    notify(snInitializing);
    if (OnInitializing) OnInitializing(*this);
    initializing_ = true;
    try {
        auto device = std::make_unique<TDXSoundDirectSound>(*this, output_);
        device->GlobalFocus = nowOptions_.Has(soGlobalFocus);
        device->StickyFocus = nowOptions_.Has(soStickyFocus);
        device_ = std::move(device);

        primary_ = std::make_unique<TDirectSoundBuffer>(*device_);
        TDSBufferDesc desc;
        desc.dwFlags = dsbcaps::PrimaryBuffer;
        if (!primary_->CreateBuffer(desc)) throw EDXSoundError("Primary Buffer cannot be made");

        initializing_ = false;
        initialized_ = true;
        hooked_ = true;
        setCooperativeLevel();
    } catch (...) {
        Finalize();
        throw;
    }

    notify(snInitialize);
    if (OnInitialize) OnInitialize(*this);
    initializeEventFired_ = true;
    Restore();
}

void TCustomDXSound::Finalize() {
    if (!initialized_ && !initializing_) return;
    hooked_ = false;
    struct Cleanup {
        TCustomDXSound& s;
        ~Cleanup() {
            s.initialized_ = s.initializing_ = s.initializeEventFired_ = false;
            s.nowOptions_ = s.options_;
            s.primary_.reset();
            s.device_.reset(); // takes every buffer made on it along
        }
    } cleanup{*this};
    try {
        if (initializeEventFired_ && OnFinalize) OnFinalize(*this);
    } catch (...) {
        notify(snFinalize);
        throw;
    }
    notify(snFinalize);
}

void TCustomDXSound::Restore() {
    if (!initialized_) return;
    notify(snRestore);
    if (OnRestore) OnRestore(*this);
}

void TCustomDXSound::FormWindowRecreated() {
    if (!initialized_) return;
    hooked_ = true;
    setCooperativeLevel();
}

void TCustomDXSound::setCooperativeLevel() {
    device_->SetCooperativeLevel(nowOptions_.Has(soExclusive) ? kCooperativeExclusive : kCooperativeNormal);
}

void TCustomDXSound::RegisterNotify(TDXSoundNotifyListener* listener) {
    std::erase(listeners_, listener);
    listeners_.push_back(listener);
    if (initialized_) {
        listener->DXSoundNotify(*this, snInitialize);
        listener->DXSoundNotify(*this, snRestore);
    }
}

void TCustomDXSound::UnregisterNotify(TDXSoundNotifyListener* listener) {
    if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) return;
    if (initialized_) listener->DXSoundNotify(*this, snFinalize);
    std::erase(listeners_, listener);
}

void TCustomDXSound::notify(TDXSoundNotifyType type) {
    // A listener may unregister itself (or another) while being told; those are skipped.
    auto snapshot = listeners_;
    for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it)
        if (std::find(listeners_.begin(), listeners_.end(), *it) != listeners_.end()) (*it)->DXSoundNotify(*this, type);
}

// ---- TWaveCollectionItem ---------------------------------------------------------------------

TWaveCollectionItem::TWaveCollectionItem(TWaveCollection& collection) : THashCollectionItem(collection) {}

TWaveCollectionItem::~TWaveCollectionItem() { Finalize(); }

TWaveCollection& TWaveCollectionItem::WaveCollection() const { return static_cast<TWaveCollection&>(Collection()); }

TDirectSound* TWaveCollectionItem::device() const {
    auto* dx = WaveCollection().DXSound();
    return dx ? dx->DSound() : nullptr;
}

void TWaveCollectionItem::freeCopies() { copies_.clear(); }

void TWaveCollectionItem::Initialize() {
    Finalize();
    initialized_ = WaveCollection().BoundToInitializedDevice();
}

void TWaveCollectionItem::Finalize() {
    freeCopies();
    master_.reset();
    initialized_ = false;
}

void TWaveCollectionItem::SetLooped(bool value) {
    if (value == looped_) return;
    if (initialized_) Stop();
    looped_ = value;
}

void TWaveCollectionItem::SetMaxPlayingCount(int value) {
    value = std::max(value, 0);
    if (value == maxPlayingCount_) return;
    maxPlayingCount_ = value;
    if (initialized_) freeCopies();
}

void TWaveCollectionItem::SetFrequency(int value) {
    frequency_ = value;
    if (initialized_ && master_ && master_->IsMade()) master_->SetFrequency(value);
}

void TWaveCollectionItem::SetPan(int value) {
    pan_ = value;
    if (initialized_ && master_ && master_->IsMade()) master_->SetPan(value);
}

void TWaveCollectionItem::SetVolume(int value) {
    volume_ = value;
    if (initialized_ && master_ && master_->IsMade()) master_->SetVolume(value);
}

void TWaveCollectionItem::applySettings(TDirectSoundBuffer& buffer) {
    buffer.SetFrequency(frequency_);
    buffer.SetPan(pan_);
    buffer.SetVolume(volume_);
}

void TWaveCollectionItem::Restore() {
    if (wave_.Empty()) return;
    if (!initialized_) {
        if (WaveCollection().BoundToInitializedDevice()) initialized_ = true;
        if (!initialized_) return;
    }
    if (!master_) master_ = std::make_unique<TDirectSoundBuffer>(*device());
    master_->LoadFromWave(wave_);
    applySettings(*master_);
}

TDirectSoundBuffer* TWaveCollectionItem::Buffer() {
    if (initialized_ && !master_) Restore();
    return master_.get();
}

void TWaveCollectionItem::Play(bool wait) {
    if (const auto& onPlay = WaveCollection().OnPlay) onPlay(*this);
    if (!initialized_) return;

    if (looped_) {
        TDirectSoundBuffer* master = Buffer();
        if (!master) return;
        master->Stop();
        master->SetPosition(0);
        master->Play(true);
        return;
    }

    TDirectSoundBuffer* chosen = nullptr;
    for (auto& c : copies_) {
        if (!c->Playing()) {
            chosen = c.get();
            break;
        }
    }
    if (!chosen) {
        if (maxPlayingCount_ == 0 || CopyCount() < maxPlayingCount_) {
            TDirectSoundBuffer* master = Buffer();
            if (!master) return; // an empty wave never sounds
            auto copy = std::make_unique<TDirectSoundBuffer>(*device());
            // A copy the device refused would have no platform buffer to play; it is not kept.
            if (!copy->Duplicate(*master)) return;
            copies_.push_back(std::move(copy));
            chosen = copies_.back().get();
        } else {
            // The copy that has waited longest since it was last taken this way starts again.
            std::rotate(copies_.begin(), copies_.begin() + 1, copies_.end());
            chosen = copies_.back().get();
        }
    }

    chosen->Stop();
    chosen->SetPosition(0);
    applySettings(*chosen);
    chosen->Play(false);

    if (wait) {
        while (chosen->Playing()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void TWaveCollectionItem::Stop() {
    if (!initialized_) return;
    if (master_ && master_->IsMade()) master_->Stop();
    for (auto& c : copies_)
        if (c->IsMade()) c->Stop();
}
