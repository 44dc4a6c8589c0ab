// SPDX-License-Identifier: MIT
// The cost of the message loop's turns between frames: one idle call of the running frame timer
// when no tick is due (a clock read and a comparison), and one key event on its way to the form.
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/KeyboardState.h"
#include "shell/Application.h"
#include "shell/DXTimer.h"

#include <benchmark/benchmark.h>

namespace {

void BM_IdleTurnWithoutTick(benchmark::State& state) {
    tw::platform::FakeClock clock(1000);
    tw::platform::ScopedClock scope(clock);
    TApplication app;
    app.Activate();
    TDXTimer timer(app);
    timer.SetInterval(16);
    timer.Loaded();
    for (auto _ : state) {
        TIdleResult r = app.DoIdle();
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_IdleTurnWithoutTick);

void BM_TickWithEmptyFrame(benchmark::State& state) {
    tw::platform::FakeClock clock(1000);
    tw::platform::ScopedClock scope(clock);
    TApplication app;
    app.Activate();
    TDXTimer timer(app);
    timer.SetInterval(16);
    int frames = 0;
    timer.OnTimer = [&frames](TCustomDXTimer&, int lag) { frames += lag; };
    timer.Loaded();
    for (auto _ : state) {
        clock.advance(16);
        TIdleResult r = app.DoIdle();
        benchmark::DoNotOptimize(r);
    }
    benchmark::DoNotOptimize(frames);
}
BENCHMARK(BM_TickWithEmptyFrame);

void BM_KeyEventDispatch(benchmark::State& state) {
    TApplication app; // no main form: the event stops at the application, after the key table
    tw::platform::EventDispatcher dispatcher;
    tw::platform::Event down;
    down.type = tw::platform::Event::Type::KeyDown;
    down.key = 0x25;
    tw::platform::Event up = down;
    up.type = tw::platform::Event::Type::KeyUp;
    for (auto _ : state) {
        dispatcher.deliver(down, app);
        dispatcher.deliver(up, app);
    }
    tw::platform::KeyboardState::instance().clear();
}
BENCHMARK(BM_KeyEventDispatch);

} // namespace
