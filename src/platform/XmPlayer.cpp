// SPDX-License-Identifier: MIT
// libxmp behind the game's music: each song keeps its own player context, and the player adds
// the current song's output into the device mix.
#include "platform/XmPlayer.h"

#include <xmp.h>

#include <algorithm>
#include <limits>

namespace tw::platform {

struct XmSong::Impl {
    xmp_context context = nullptr;
    bool started = false;

    ~Impl() {
        if (context == nullptr) return;
        if (started) xmp_end_player(context);
        xmp_release_module(context);
        xmp_free_context(context);
    }
};

XmSong::XmSong(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
XmSong::~XmSong() = default;

namespace {

// Runs one of libxmp's loaders on a fresh context; nullptr when it refuses the data.
template <typename Loader>
std::unique_ptr<XmSong::Impl> loadWith(Loader loader) {
    auto impl = std::make_unique<XmSong::Impl>();
    impl->context = xmp_create_context();
    if (impl->context == nullptr) return nullptr;
    if (loader(impl->context) != 0) {
        // A failed load leaves no module to release; free only the context.
        xmp_free_context(impl->context);
        impl->context = nullptr;
        return nullptr;
    }
    return impl;
}

} // namespace

std::unique_ptr<XmSong> XmSong::load(const std::string& path) {
    auto impl = loadWith([&](xmp_context context) { return xmp_load_module(context, path.c_str()); });
    return impl ? std::unique_ptr<XmSong>(new XmSong(std::move(impl))) : nullptr;
}

std::unique_ptr<XmSong> XmSong::loadFromMemory(const void* data, std::size_t size) {
    if (data == nullptr || size == 0 || size > static_cast<std::size_t>(std::numeric_limits<long>::max()))
        return nullptr;
    auto impl = loadWith(
        [&](xmp_context context) { return xmp_load_module_from_memory(context, data, static_cast<long>(size)); });
    return impl ? std::unique_ptr<XmSong>(new XmSong(std::move(impl))) : nullptr;
}

XmPlayer::XmPlayer() : scratch_(static_cast<std::size_t>(AudioOutput::kBufferFrames * AudioOutput::kChannels)) {
    AudioOutput::instance().addSource(this);
}

XmPlayer::~XmPlayer() { AudioOutput::instance().removeSource(this); }

bool XmPlayer::play(XmSong& song) {
    // Detach first so the audio thread never touches a context that is being restarted.
    {
        AudioOutput::Lock lock;
        current_ = nullptr;
    }
    XmSong::Impl& impl = *song.impl_;
    if (impl.started) {
        xmp_end_player(impl.context);
        impl.started = false;
    }
    if (xmp_start_player(impl.context, AudioOutput::instance().sampleRate(), 0) != 0) return false;
    impl.started = true;
    xmp_set_player(impl.context, XMP_PLAYER_VOLUME, kMusicVolume);
    AudioOutput::Lock lock;
    current_ = &song;
    return true;
}

void XmPlayer::stop(const XmSong& song) {
    AudioOutput::Lock lock;
    if (current_ == &song) current_ = nullptr;
}

void XmPlayer::stopAll() {
    AudioOutput::Lock lock;
    current_ = nullptr;
}

bool XmPlayer::isPlaying(const XmSong& song) const {
    AudioOutput::Lock lock;
    return current_ == &song;
}

void XmPlayer::mixInto(std::int32_t* accum, int frames) {
    if (current_ == nullptr) return;
    xmp_context context = current_->impl_->context;
    const int chunk = static_cast<int>(scratch_.size()) / AudioOutput::kChannels;
    while (frames > 0) {
        const int n = std::min(frames, chunk);
        const int samples = n * AudioOutput::kChannels;
        // Loop count 0: the song repeats until it is stopped, as game music should.
        if (xmp_play_buffer(context, scratch_.data(), samples * static_cast<int>(sizeof(std::int16_t)), 0) != 0) return;
        for (int i = 0; i < samples; ++i) accum[i] += scratch_[static_cast<std::size_t>(i)];
        accum += samples;
        frames -= n;
    }
}

} // namespace tw::platform
