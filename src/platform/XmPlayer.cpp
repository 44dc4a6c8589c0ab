// libxmp behind the game's music: each song keeps its own player context, and the player adds
// the current song's output into the device mix.
#include "platform/XmPlayer.h"

#include <xmp.h>

#include <algorithm>

namespace tw::platform {

struct XmSong::Impl {
    xmp_context context = nullptr;
    bool started = false;

    ~Impl() {
        if (context == nullptr)
            return;
        if (started)
            xmp_end_player(context);
        xmp_release_module(context);
        xmp_free_context(context);
    }
};

XmSong::XmSong(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
XmSong::~XmSong() = default;

std::unique_ptr<XmSong> XmSong::load(const std::string& path) {
    auto impl = std::make_unique<Impl>();
    impl->context = xmp_create_context();
    if (impl->context == nullptr)
        return nullptr;
    if (xmp_load_module(impl->context, path.c_str()) != 0) {
        // A failed load leaves no module to release; free only the context.
        xmp_free_context(impl->context);
        impl->context = nullptr;
        return nullptr;
    }
    return std::unique_ptr<XmSong>(new XmSong(std::move(impl)));
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
    if (xmp_start_player(impl.context, AudioOutput::instance().sampleRate(), 0) != 0)
        return false;
    impl.started = true;
    AudioOutput::Lock lock;
    current_ = &song;
    return true;
}

void XmPlayer::stop(const XmSong& song) {
    AudioOutput::Lock lock;
    if (current_ == &song)
        current_ = nullptr;
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
    if (current_ == nullptr)
        return;
    xmp_context context = current_->impl_->context;
    const int chunk = static_cast<int>(scratch_.size()) / AudioOutput::kChannels;
    while (frames > 0) {
        const int n = std::min(frames, chunk);
        const int samples = n * AudioOutput::kChannels;
        // Loop count 0: the song repeats until it is stopped, as game music should.
        if (xmp_play_buffer(context, scratch_.data(), samples * static_cast<int>(sizeof(std::int16_t)), 0) != 0)
            return;
        for (int i = 0; i < samples; ++i)
            accum[i] += scratch_[static_cast<std::size_t>(i)];
        accum += samples;
        frames -= n;
    }
}

} // namespace tw::platform
