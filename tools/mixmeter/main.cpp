// SPDX-License-Identifier: MIT
// mixmeter: peak, RMS and clipped samples of recorded game audio, its levels over short windows and
// its loudness (EBU R 128).
//   mixmeter [--rate HZ] [--channels N] [--from S] [--to S] [--window MS] [--hot DBFS]
//            [--timeline MS] FILE...
// A FILE is a 16-bit PCM WAV or a raw recording (interleaved signed 16-bit little-endian, stereo at
// 44100 Hz unless told otherwise), such as SDL's disk audio driver writes. A mono file is measured
// as the game plays it, on both sides.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <limits>
#include <string>
#include <vector>

#include "Levels.h"
#include "Loudness.h"

namespace {

struct Args {
    int rate = 44100, channels = 2;
    double from = 0.0, to = -1.0;
    double windowMs = 50.0;
    double hotDb = -1.0;
    double timelineMs = 0.0;
    std::vector<std::string> files;
};

[[noreturn]] void usage() {
    std::fprintf(stderr, "usage: mixmeter [--rate HZ] [--channels N] [--from S] [--to S] [--window MS] "
                         "[--hot DBFS] [--timeline MS] FILE...\n");
    std::exit(2);
}

Args parse(int argc, char** argv) {
    Args a;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> double {
            if (i + 1 >= argc) usage();
            char* end = nullptr;
            const double v = std::strtod(argv[++i], &end);
            if (end == argv[i] || *end != '\0') usage();
            return v;
        };
        if (arg == "--rate")
            a.rate = static_cast<int>(value());
        else if (arg == "--channels")
            a.channels = static_cast<int>(value());
        else if (arg == "--from")
            a.from = value();
        else if (arg == "--to")
            a.to = value();
        else if (arg == "--window")
            a.windowMs = value();
        else if (arg == "--hot")
            a.hotDb = value();
        else if (arg == "--timeline")
            a.timelineMs = value();
        else if (arg.starts_with("--"))
            usage();
        else
            a.files.push_back(arg);
    }
    if (a.files.empty() || a.rate < 1000 || a.channels < 1 || a.windowMs <= 0.0) usage();
    return a;
}

// A bar from -60 to 0 dBFS: '#' up to the RMS, '|' at the peak.
std::string bar(double rmsDb, double peakDb) {
    const int width = 60;
    auto column = [&](double db) { return std::isfinite(db) ? static_cast<int>(std::lround(db + 60.0)) : -1; };
    const int r = column(rmsDb), p = column(peakDb);
    std::string s(static_cast<std::size_t>(width + 1), ' ');
    for (int c = 0; c <= width; ++c) {
        if (c <= r) s[static_cast<std::size_t>(c)] = '#';
        if (c == p) s[static_cast<std::size_t>(c)] = '|';
    }
    return s;
}

void report(const std::string& file, const Args& a) {
    auto audio = tw::levels::readAudio(file, a.channels, a.rate);
    const bool mono = audio.channels == 1;
    if (mono) {
        // Measured as the game plays it: the same samples on both sides.
        std::vector<std::int16_t> both(2 * audio.samples.size());
        for (std::size_t i = 0; i < audio.samples.size(); ++i) both[2 * i] = both[2 * i + 1] = audio.samples[i];
        audio.samples = std::move(both);
        audio.channels = 2;
    }
    const auto ch = static_cast<std::size_t>(audio.channels);
    const std::size_t frames = audio.samples.size() / ch;
    const auto first = std::min(frames, static_cast<std::size_t>(std::max(0.0, a.from) * audio.rate));
    const auto last = a.to < 0 ? frames : std::min(frames, static_cast<std::size_t>(a.to * audio.rate));
    const std::span<const std::int16_t> part(audio.samples.data() + first * ch, last > first ? (last - first) * ch : 0);

    const auto all = tw::levels::measure(part, audio.channels);
    const double hot = 32768.0 * std::pow(10.0, a.hotDb / 20.0);
    std::uint64_t hotSamples = 0;
    for (std::int16_t s : part) hotSamples += std::abs(static_cast<int>(s)) >= hot ? 1 : 0;

    const auto wins = tw::levels::windows(part, audio.channels, audio.rate, a.windowMs / 1000.0);
    std::vector<double> rmsDb, peakDb;
    std::size_t active = 0;
    double activeSquares = 0.0;
    for (const auto& w : wins) {
        rmsDb.push_back(tw::levels::dbfs(w.stats.rms));
        peakDb.push_back(tw::levels::dbfs(w.stats.peak));
        if (tw::levels::dbfs(w.stats.rms) > -50.0) {
            ++active;
            activeSquares += w.stats.rms * w.stats.rms;
        }
    }

    std::printf("%s: %.2f s at %d Hz, %s\n", file.c_str(), static_cast<double>(part.size() / ch) / audio.rate,
                audio.rate,
                mono ? "mono, measured on both sides" : (std::to_string(audio.channels) + " channels").c_str());
    std::printf("  peak %.2f dBFS   rms %.2f dBFS   clipped %llu samples in %llu frames   "
                "at or above %.1f dBFS: %llu samples\n",
                tw::levels::dbfs(all.peak), tw::levels::dbfs(all.rms),
                static_cast<unsigned long long>(all.clippedSamples), static_cast<unsigned long long>(all.clippedFrames),
                a.hotDb, static_cast<unsigned long long>(hotSamples));
    if (!wins.empty()) {
        std::printf("  %.0f ms windows: rms p50 %.1f  p90 %.1f  p99 %.1f  max %.1f dBFS;  "
                    "peak p50 %.1f  p90 %.1f  p99 %.1f dBFS\n",
                    a.windowMs, tw::levels::percentile(rmsDb, 0.5), tw::levels::percentile(rmsDb, 0.9),
                    tw::levels::percentile(rmsDb, 0.99), tw::levels::percentile(rmsDb, 1.0),
                    tw::levels::percentile(peakDb, 0.5), tw::levels::percentile(peakDb, 0.9),
                    tw::levels::percentile(peakDb, 0.99));
        std::printf("  sounding (windows above -50 dBFS): %.0f %% of the time, rms %.2f dBFS\n",
                    100.0 * static_cast<double>(active) / static_cast<double>(wins.size()),
                    active ? tw::levels::dbfs(std::sqrt(activeSquares / static_cast<double>(active)))
                           : -std::numeric_limits<double>::infinity());
    }
    const auto heard = tw::levels::loudness(part, audio.channels, audio.rate);
    std::printf("  loudness: integrated %.1f LUFS, loudest 400 ms %.1f LUFS, loudest 3 s %.1f LUFS, "
                "true peak %.2f dBTP\n",
                heard.integrated, heard.momentaryMax, heard.shortTermMax, heard.truePeak);
    if (a.timelineMs > 0.0) {
        std::printf("  time s    peak    rms  (-60 dBFS ... 0: '#' rms, '|' peak)\n");
        for (const auto& w : tw::levels::windows(part, audio.channels, audio.rate, a.timelineMs / 1000.0)) {
            const double p = tw::levels::dbfs(w.stats.peak), r = tw::levels::dbfs(w.stats.rms);
            std::printf("  %7.2f %6.1f %6.1f  %s%s\n", w.start + static_cast<double>(first) / audio.rate, p, r,
                        bar(r, p).c_str(), w.stats.clippedSamples ? " CLIP" : "");
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    const Args args = parse(argc, argv);
    int status = 0;
    for (const auto& file : args.files) {
        try {
            report(file, args);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "mixmeter: %s\n", e.what());
            status = 1;
        }
    }
    return status;
}
