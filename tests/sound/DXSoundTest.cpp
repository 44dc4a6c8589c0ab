// SPDX-License-Identifier: MIT
// The sound device component's life cycle and notifications, its buffers, and the playing rules
// of wave items (copies, MaxPlayingCount, looping, lost buffers, no device).
#include "WaveBuilder.h"

#include "sound/DXSounds.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

constexpr int kRate = 44100;

struct Recorder : TDXSoundNotifyListener {
    explicit Recorder(std::string n, std::vector<std::string>& l) : name(std::move(n)), log(l) {}
    void DXSoundNotify(TCustomDXSound&, TDXSoundNotifyType t) override {
        static const char* names[] = {"destroying", "initializing", "initialize", "finalize", "restore"};
        log.push_back(name + ":" + names[t]);
    }
    std::string name;
    std::vector<std::string>& log;
};

// A device that mixes only when the test renders, and a wave list bound to it.
struct Rig {
    explicit Rig(bool deviceAvailable = true) : output(deviceAvailable, kRate), sound(&output) {}
    TWaveCollectionItem& add(const std::string& name, int maxPlaying, bool looped = false, int frames = 1000) {
        auto& item = list.Items().Add();
        item.SetName(name);
        item.SetMaxPlayingCount(maxPlaying);
        item.SetLooped(looped);
        item.Wave() = constantWave(1, kRate, frames, 1000);
        return item;
    }
    void start() {
        list.SetDXSound(&sound);
        sound.Loaded();
    }
    void render(int frames) {
        std::vector<std::int16_t> pcm(static_cast<std::size_t>(frames) * 2);
        output.Render(pcm.data(), frames);
    }
    TManualSoundOutput output;
    TDXSound sound;
    TDXWaveList list;
};

TEST(DXSound, LifeCycleTellsListenersLastRegisteredFirst) {
    std::vector<std::string> log;
    TManualSoundOutput output;
    Recorder a("a", log), b("b", log), late("late", log);
    {
        TDXSound sound(&output);
        int initializing = 0, initialize = 0, restore = 0, finalize = 0;
        sound.OnInitializing = [&](TCustomDXSound&) { ++initializing; };
        sound.OnInitialize = [&](TCustomDXSound&) { ++initialize; };
        sound.OnRestore = [&](TCustomDXSound&) { ++restore; };
        sound.OnFinalize = [&](TCustomDXSound&) { ++finalize; };
        sound.RegisterNotify(&a);
        sound.RegisterNotify(&b);
        sound.Initialize();
        EXPECT_TRUE(sound.Initialized());
        EXPECT_EQ(output.AttachedCount(), 1);
        EXPECT_EQ(log, (std::vector<std::string>{"b:initializing", "a:initializing", "b:initialize", "a:initialize",
                                                 "b:restore", "a:restore"}));
        EXPECT_EQ((std::vector<int>{initializing, initialize, restore, finalize}), (std::vector<int>{1, 1, 1, 0}));

        log.clear();
        sound.RegisterNotify(&late); // joins an initialised device: told at once
        sound.UnregisterNotify(&a);
        EXPECT_EQ(log, (std::vector<std::string>{"late:initialize", "late:restore", "a:finalize"}));

        log.clear();
        sound.Finalize();
        EXPECT_FALSE(sound.Initialized());
        EXPECT_EQ(sound.DSound(), nullptr);
        EXPECT_EQ(output.AttachedCount(), 0);
        EXPECT_EQ(finalize, 1);
        sound.Finalize(); // twice is harmless
        EXPECT_EQ(finalize, 1);
        EXPECT_EQ(log, (std::vector<std::string>{"late:finalize", "b:finalize"}));

        sound.Initialize();
        log.clear();
    }
    // Destroying: finalise, then every listener hears that the device goes.
    EXPECT_EQ(log, (std::vector<std::string>{"late:finalize", "b:finalize", "late:destroying", "b:destroying"}));
}

TEST(DXSound, InitializeFailures) {
    TManualSoundOutput none(false);
    TDXSound noDevice(&none);
    EXPECT_THAT([&] { noDevice.Initialize(); },
                ThrowsMessage<EDirectSoundError>(StrEq("DirectSound cannot be initialized")));
    EXPECT_FALSE(noDevice.Initialized());
    EXPECT_NO_THROW(noDevice.Loaded()); // at start the missing device is dropped

    TManualSoundOutput output;
    TDXSound formless(&output);
    formless.SetOwnerForm(false);
    try {
        formless.Loaded(); // only the missing device is dropped, not this
        ADD_FAILURE();
    } catch (const EDXSoundError& e) {
        EXPECT_STREQ(e.what(), "Form not found");
    }

    TDXSound manual(&output);
    manual.AutoInitialize = false;
    manual.Loaded();
    EXPECT_FALSE(manual.Initialized());
}

TEST(DXSound, OptionsFocusFlagsAndCooperativeLevel) {
    Rig rig;
    auto& item = rig.add("x", 0);
    rig.sound.SetOptions({soStickyFocus, soExclusive});
    rig.start();
    EXPECT_EQ(item.Buffer()->Flags(), 0x40E0u);
    EXPECT_EQ(rig.sound.DSound()->CooperativeLevel(), 3u);

    // Focus options act at once for buffers made afterwards; exclusive use only at the next Initialize.
    rig.sound.SetOptions({soGlobalFocus});
    EXPECT_TRUE(rig.sound.NowOptions().Has(soExclusive));
    item.Restore();
    EXPECT_EQ(item.Buffer()->Flags(), 0x80E0u);
    EXPECT_EQ(rig.sound.DSound()->CooperativeLevel(), 3u);
    rig.sound.Initialize();
    EXPECT_FALSE(rig.sound.NowOptions().Has(soExclusive));
    EXPECT_EQ(rig.sound.DSound()->CooperativeLevel(), 1u);
    EXPECT_EQ(rig.sound.Primary()->Flags(), dsbcaps::PrimaryBuffer);
}

TEST(DXSound, BuffersWithoutAPlatformBufferRaise) {
    Rig rig;
    rig.start();
    TDirectSoundBuffer buffer(*rig.sound.DSound());
    EXPECT_THAT([&] { buffer.Play(); }, ThrowsMessage<EDirectSoundBufferError>(StrEq("IDirectSoundBuffer not made")));
    // The device refuses a duplicate of nothing; the copy stays without a platform buffer.
    TDirectSoundBuffer master(*rig.sound.DSound());
    EXPECT_FALSE(buffer.Duplicate(master));
    EXPECT_FALSE(buffer.IsMade());

    TWave adpcm = constantWave(1, kRate, 10, 0);
    auto f = std::vector<std::uint8_t>(adpcm.Format().begin(), adpcm.Format().end());
    f[0] = 2;
    adpcm.SetFormat(f);
    // A format the device cannot convert says so, in words a player can pass on.
    EXPECT_THAT([&] { master.LoadFromWave(adpcm); },
                ThrowsMessage<EWaveFormatError>(
                    StrEq("Wave cannot be played: format tag 0x0002 is neither PCM nor floating point")));
    EXPECT_FALSE(master.IsMade());

    // 3 MB at 100 Hz would be 5 GB at the device's rate: refused, nothing allocated.
    TWave slow;
    slow.SetFormat(makePcmFormat(1, 8, 100));
    slow.SetData(std::vector<std::uint8_t>(3'000'000, 128));
    EXPECT_THROW(master.LoadFromWave(slow), EDirectSoundBufferError);
    EXPECT_EQ(master.DXResult(), dsresult::InvalidParam);
}

TEST(DXSound, BuffersOutliveTheirDeviceWithoutHarm) {
    Rig rig;
    rig.start();
    auto buffer = std::make_unique<TDirectSoundBuffer>(*rig.sound.DSound());
    buffer->LoadFromWave(constantWave(1, kRate, 10, 0));
    rig.sound.Finalize(); // the device goes and takes the platform buffer along
    EXPECT_EQ(buffer->DSound(), nullptr);
    EXPECT_FALSE(buffer->IsMade());
    EXPECT_THROW(buffer->Play(), EDirectSoundBufferError);
    buffer.reset();
}

TEST(WavePlay, MaxPlayingCountTwoRestartsTheCopyThatWaitedLongest) {
    Rig rig;
    auto& item = rig.add("fishdie", 2);
    rig.start();

    item.Play();
    rig.render(10);
    item.Play();
    rig.render(10);
    ASSERT_EQ(item.CopyCount(), 2);
    TDirectSoundBuffer* copy1 = &item.CopyAt(0);
    TDirectSoundBuffer* copy2 = &item.CopyAt(1);
    EXPECT_NE(copy1->Samples(), nullptr);
    EXPECT_EQ(copy1->Samples(), copy2->Samples()) << "copies share the master's samples";
    EXPECT_EQ(copy1->Samples(), item.Buffer()->Samples());
    EXPECT_FALSE(item.Buffer()->Playing()) << "the master only sounds for looped items";

    // Third play: copy 1 starts again from the beginning and goes behind copy 2.
    EXPECT_EQ(copy1->Position(), 40u);
    item.Play();
    ASSERT_EQ(item.CopyCount(), 2);
    EXPECT_EQ(&item.CopyAt(0), copy2);
    EXPECT_EQ(&item.CopyAt(1), copy1);
    EXPECT_EQ(copy1->Position(), 0u);
    EXPECT_EQ(copy2->Position(), 20u);
    EXPECT_TRUE(copy1->Playing());

    // Fourth: now copy 2 is restarted.
    rig.render(5);
    item.Play();
    EXPECT_EQ(&item.CopyAt(0), copy1);
    EXPECT_EQ(&item.CopyAt(1), copy2);
    EXPECT_EQ(copy2->Position(), 0u);
    EXPECT_EQ(copy1->Position(), 10u);
}

TEST(WavePlay, UnlimitedCopiesAreMadeWhileAllPlayAndReusedLater) {
    Rig rig;
    auto& item = rig.add("herogun", 0, false, 100);
    rig.start();
    for (int i = 0; i < 5; ++i) item.Play();
    ASSERT_EQ(item.CopyCount(), 5);
    std::vector<TDirectSoundBuffer*> copies;
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(item.CopyAt(i).Playing());
        copies.push_back(&item.CopyAt(i));
    }
    rig.render(100); // all finished
    for (auto* c : copies) EXPECT_FALSE(c->Playing());
    item.Play();
    item.Play();
    EXPECT_EQ(item.CopyCount(), 5);
    EXPECT_TRUE(copies[0]->Playing());
    EXPECT_TRUE(copies[1]->Playing());
    EXPECT_FALSE(copies[2]->Playing());
    for (int i = 0; i < 5; ++i) EXPECT_EQ(&item.CopyAt(i), copies[static_cast<std::size_t>(i)]) << "order kept";
}

TEST(WavePlay, LoopedItemRestartsTheMasterFromZero) {
    Rig rig;
    auto& item = rig.add("loop", 0, true, 100);
    rig.start();
    item.Play();
    TDirectSoundBuffer* master = item.Buffer();
    rig.render(150); // went round once
    EXPECT_TRUE(master->Playing());
    EXPECT_EQ(master->Position(), 100u);
    item.Play();
    EXPECT_EQ(item.Buffer(), master);
    EXPECT_EQ(master->Position(), 0u);
    EXPECT_TRUE(master->Playing());
    EXPECT_EQ(item.CopyCount(), 0);

    // Turning the loop off stops what plays.
    item.SetLooped(false);
    EXPECT_FALSE(master->Playing());
}

TEST(WavePlay, NewMaxPlayingCountFreesTheCopies) {
    Rig rig;
    auto& item = rig.add("bonus", 0);
    rig.start();
    item.Play();
    item.Play();
    ASSERT_EQ(item.CopyCount(), 2);
    item.SetMaxPlayingCount(3);
    EXPECT_EQ(item.CopyCount(), 0);
    item.Play();
    EXPECT_EQ(item.CopyCount(), 1);
    EXPECT_TRUE(item.CopyAt(0).Playing());
    item.SetMaxPlayingCount(-3);
    EXPECT_EQ(item.MaxPlayingCount(), 0);
    EXPECT_EQ(item.CopyCount(), 0);
}

TEST(WavePlay, StopSilencesEveryBufferAndSettingsReachTheCopies) {
    Rig rig;
    auto& item = rig.add("menu", 0);
    item.SetPan(-10000);
    item.SetVolume(-600);
    rig.start();
    std::vector<std::int16_t> pcm(2);
    item.Play();
    rig.output.Render(pcm.data(), 1);
    item.Play(); // a frame later: heard beside the first, not as one with it
    rig.output.Render(pcm.data(), 1);
    EXPECT_NEAR(pcm[0], 2 * 501, 2); // two copies at -6 dB, hard left
    EXPECT_EQ(pcm[1], 0);
    item.Stop();
    EXPECT_FALSE(item.CopyAt(0).Playing());
    EXPECT_FALSE(item.CopyAt(1).Playing());
    rig.output.Render(pcm.data(), 1);
    EXPECT_EQ(pcm[0], 0);
}

TEST(WavePlay, EmptyWaveNeverSounds) {
    Rig rig;
    auto& item = rig.add("empty", 0);
    item.Wave().Clear();
    rig.start();
    EXPECT_TRUE(item.Initialized());
    item.Play();
    EXPECT_EQ(item.Buffer(), nullptr);
    EXPECT_EQ(item.CopyCount(), 0);
}

TEST(WavePlay, WithoutADeviceEveryPlayDoesNothing) {
    Rig rig(false);
    auto& a = rig.add("a", 2);
    auto& b = rig.add("b", 0, true);
    EXPECT_NO_THROW(rig.start());
    EXPECT_FALSE(rig.sound.Initialized());
    for (auto* item : {&a, &b}) {
        EXPECT_FALSE(item->Initialized());
        EXPECT_NO_THROW(item->Play());
        EXPECT_NO_THROW(item->Stop());
        EXPECT_EQ(item->Buffer(), nullptr);
        EXPECT_EQ(item->CopyCount(), 0);
    }
}

TEST(WavePlay, ALostBufferRestoresEveryMaster) {
    Rig rig;
    auto& looped = rig.add("loop", 0, true);
    auto& shot = rig.add("shot", 1);
    rig.start();
    int restores = 0;
    rig.sound.OnRestore = [&](TCustomDXSound&) { ++restores; };
    shot.Play();
    const SampleData* shotSamples = shot.Buffer()->Samples();
    const SampleData* loopSamples = looped.Buffer()->Samples();

    rig.sound.DSound()->LoseAllBuffers();
    looped.Play(); // its first operation finds the master lost
    EXPECT_EQ(restores, 1);
    EXPECT_NE(looped.Buffer()->Samples(), loopSamples) << "refilled from the wave";
    EXPECT_NE(shot.Buffer()->Samples(), shotSamples);
    EXPECT_TRUE(looped.Buffer()->Playing()) << "the rest of Play went to the refilled buffer";

    // The copy was restored with the rest: playing it again needs no second restore.
    shot.Play();
    EXPECT_EQ(restores, 1);
    EXPECT_TRUE(shot.CopyAt(0).Playing());
    EXPECT_EQ(shot.CopyAt(0).DXResult(), dsresult::Ok);
}

TEST(WavePlay, WaitReturnsWhenTheCopyHasFinished) {
    // A real audio thread stands in for the device: it renders while Play waits.
    Rig rig;
    auto& item = rig.add("looser", 0, false, 441);
    rig.start();
    std::atomic<bool> done{false};
    std::thread device([&] {
        std::vector<std::int16_t> pcm(2 * 64);
        while (!done) {
            rig.output.Render(pcm.data(), 64);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    item.Play(true);
    EXPECT_FALSE(item.CopyAt(0).Playing());
    done = true;
    device.join();
}

} // namespace

namespace {

// The game's own set-up: the system's audio device (SDL's dummy driver here, which pulls samples
// in real time on its own thread) hears the voices.
TEST(DXSound, PlaysThroughTheAudioDevice) {
    {
        TDXSound sound; // the system output
        TDXWaveList list;
        auto& item = list.Items().Add();
        item.SetName("herogun");
        item.Wave() = constantWave(2, 22050, 220, 500); // 10 ms
        list.SetDXSound(&sound);
        sound.Loaded();
        if (!sound.Initialized()) GTEST_SKIP() << "no audio device, not even SDL's dummy one";
        EXPECT_EQ(sound.DSound()->Mixer().DeviceRate(), tw::platform::AudioOutput::instance().sampleRate());
        item.Play();
        ASSERT_EQ(item.CopyCount(), 1);
        // The device thread plays the copy to its end.
        for (int i = 0; i < 200 && item.CopyAt(0).Playing(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_FALSE(item.CopyAt(0).Playing());
    }
    tw::platform::AudioOutput::instance().close();
}

} // namespace
