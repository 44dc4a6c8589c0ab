// SPDX-License-Identifier: MIT
// How fast a replay is checked without a window (`tidewarden --verify`): a game of steering strokes
// with the harpoon held, played from its record until its lives are gone or the record ends.
// Reports the ticks a second and how many times faster than the game's 62.5 ticks a second that is.
// Run from the build folder: the pictures are taken from ../run beside bench/.
#include "BenchRunFolder.h"

#include "game/Replay.h"
#include "game/ReplayVerifier.h"

#include <benchmark/benchmark.h>

namespace {

TReplay strokes(std::uint32_t ticks) {
    TReplay replay;
    replay.Start.RandomState = 20261210;
    const std::uint8_t strokes[] = {TTickInput::tiRight, TTickInput::tiDown, TTickInput::tiLeft, TTickInput::tiUp};
    for (std::uint32_t t = 0; t < ticks; ++t) {
        TReplayTick tick;
        tick.Input.Held = static_cast<std::uint8_t>(strokes[(t / 12) % 4] | TTickInput::tiFire);
        replay.Ticks.push_back(tick);
    }
    return replay;
}

void BM_VerifyReplay(benchmark::State& state) {
    BenchRunFolder folder;
    const TReplay replay = strokes(20000);
    std::uint64_t ticks = 0;
    for (auto _ : state) {
        const TReplayVerdict verdict = VerifyReplay(replay);
        ticks += verdict.TicksPlayed;
        benchmark::DoNotOptimize(verdict.Dump.data());
    }
    state.counters["ticks/s"] = benchmark::Counter(static_cast<double>(ticks), benchmark::Counter::kIsRate);
    state.counters["x real time"] = benchmark::Counter(static_cast<double>(ticks) / 62.5, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VerifyReplay)->Unit(benchmark::kMillisecond);

} // namespace
