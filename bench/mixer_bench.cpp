// SPDX-License-Identifier: MIT
// Cost of one second of game audio: 32 sound-effect voices and a song mixed through the audio
// device's own render path (no device opened). The goal is under 20 ms of CPU per second of audio
// (2 % of one core). Allocations inside the measured mixing are counted: the voices make none.
//
// The song is the game's "sound/2.xm" when the run folder has it (or the file named by
// TW_BENCH_SONG); otherwise a small generated stand-in song, which the output labels as such.
#include "platform/AudioOutput.h"
#include "platform/XmPlayer.h"
#include "sound/SoundMixer.h"
#include "../tests/platform/XmWriter.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <vector>

#include "AllocationCounter.h"

namespace {

namespace fs = std::filesystem;
using tw::platform::AudioOutput;

std::vector<std::uint8_t> pcmBytes(int channels, int bits, int rate, double seconds) {
    const int frames = static_cast<int>(rate * seconds);
    std::vector<std::uint8_t> out;
    for (int i = 0; i < frames * channels; ++i) {
        int v = ((i * 37) % 2000) - 1000; // a cheap sawtooth; the content does not matter here
        if (bits == 8)
            out.push_back(static_cast<std::uint8_t>(128 + v / 16));
        else {
            out.push_back(static_cast<std::uint8_t>(v & 0xFF));
            out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
        }
    }
    return out;
}

// 32 looped voices over 8 waves of mixed layouts: every fourth has its own frequency (the
// interpolating path), pans and volumes vary.
struct Voices {
    SoundMixer mixer{AudioOutput::instance().sampleRate()};
    std::vector<std::unique_ptr<SoundVoice>> voices;
    Voices() {
        struct Layout {
            int channels, bits, rate;
        } layouts[] = {{1, 8, 11025},  {1, 16, 22050}, {2, 16, 44100}, {2, 8, 48000},
                       {1, 16, 44100}, {2, 16, 22050}, {1, 8, 22050},  {1, 16, 32000}};
        std::vector<std::shared_ptr<const SampleData>> data;
        for (const auto& l : layouts) {
            PcmFormat f{l.channels, l.bits, l.rate, l.channels * l.bits / 8};
            data.push_back(convertToDevice(f, pcmBytes(l.channels, l.bits, l.rate, 0.7), mixer.DeviceRate()));
        }
        for (int i = 0; i < 32; ++i) {
            auto v = std::make_unique<SoundVoice>(mixer, data[static_cast<std::size_t>(i % 8)]);
            if (i % 4 == 3) v->SetFrequency(data[static_cast<std::size_t>(i % 8)]->source.samplesPerSec * 3 / 2);
            v->SetPan((i % 5 - 2) * 1000);
            v->SetVolume(-(i % 3) * 300);
            v->Play(true);
            voices.push_back(std::move(v));
        }
    }
};

struct Song {
    std::unique_ptr<tw::platform::XmSong> song;
    std::string label;
    Song() {
        std::vector<std::string> candidates;
        if (const char* env = std::getenv("TW_BENCH_SONG")) candidates.push_back(env);
        std::error_code ec;
        fs::path exe = fs::read_symlink("/proc/self/exe", ec);
        if (!ec) candidates.push_back((exe.parent_path().parent_path() / "run" / "sound" / "2.xm").string());
        for (const auto& c : candidates) {
            if (fs::exists(c) && (song = tw::platform::XmSong::load(c))) {
                label = "song " + c;
                return;
            }
        }
        // Stand-in: a small generated song, far lighter than a real one.
        fs::path tmp = fs::temp_directory_path() / "tw-mixer-bench-standin.xm";
        auto bytes = tw::test::XmWriter::build({});
        std::ofstream(tmp, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        song = tw::platform::XmSong::load(tmp.string());
        label = "STAND-IN song (generated 2-channel XM; no game song found)";
    }
};

// One iteration is one second of audio through the device's render path, in its buffer size.
void renderOneSecond(benchmark::State& state) {
    const int rate = AudioOutput::instance().sampleRate();
    std::vector<std::int16_t> out(static_cast<std::size_t>(AudioOutput::kBufferFrames) * 2);
    std::uint64_t allocations = 0;
    for (auto _ : state) {
        std::uint64_t before = tw::bench::allocationCount();
        for (int done = 0; done < rate; done += AudioOutput::kBufferFrames)
            AudioOutput::instance().render(out.data(), AudioOutput::kBufferFrames);
        allocations += tw::bench::allocationCount() - before;
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["allocs_per_audio_second"] =
        benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(state.iterations()));
}

void BM_Mix32Voices(benchmark::State& state) {
    Voices v;
    AudioOutput::instance().addSource(&v.mixer);
    renderOneSecond(state);
    AudioOutput::instance().removeSource(&v.mixer);
}
BENCHMARK(BM_Mix32Voices)->Unit(benchmark::kMillisecond);

void BM_MixSong(benchmark::State& state) {
    Song s;
    tw::platform::XmPlayer player;
    if (!s.song || !player.play(*s.song)) {
        state.SkipWithError("no song could be loaded");
        return;
    }
    state.SetLabel(s.label);
    renderOneSecond(state);
}
BENCHMARK(BM_MixSong)->Unit(benchmark::kMillisecond);

void BM_Mix32VoicesAndSong(benchmark::State& state) {
    Song s;
    tw::platform::XmPlayer player;
    if (!s.song || !player.play(*s.song)) {
        state.SkipWithError("no song could be loaded");
        return;
    }
    state.SetLabel(s.label);
    Voices v;
    AudioOutput::instance().addSource(&v.mixer);
    renderOneSecond(state);
    AudioOutput::instance().removeSource(&v.mixer);
}
BENCHMARK(BM_Mix32VoicesAndSong)->Unit(benchmark::kMillisecond);

} // namespace
