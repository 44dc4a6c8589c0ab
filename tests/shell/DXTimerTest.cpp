// SPDX-License-Identifier: MIT
// The frame timer under a fake clock: when ticks come, their lag counts, the measured rate, the
// focus rules and the one shared idle hook.
#include "platform/Clock.h"
#include "shell/Application.h"
#include "shell/DXTimer.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using tw::platform::FakeClock;
using tw::platform::ScopedClock;

class DXTimerTest : public ::testing::Test {
protected:
    DXTimerTest() : scope(clock) { app.Activate(); }

    // A timer set up as the form does (properties while loading, then Loaded), recording its lags.
    std::unique_ptr<TDXTimer> makeTimer(int interval, bool activeOnly, bool enabled, std::vector<int>& lags) {
        auto t = std::make_unique<TDXTimer>(app);
        t->BeginLoading();
        t->SetActiveOnly(activeOnly);
        t->SetEnabled(enabled);
        t->SetInterval(interval);
        t->OnTimer = [&lags](TCustomDXTimer&, int lag) { lags.push_back(lag); };
        t->Loaded();
        return t;
    }

    // Moves the clock and lets the application idle once.
    bool idleAfter(std::uint32_t ms) {
        clock.advance(ms);
        return app.DoIdle().Ticked;
    }

    FakeClock clock{5000};
    ScopedClock scope;
    TApplication app;
};

TEST_F(DXTimerTest, LagCountIsElapsedIntervalsAndNoTickBeforeTheInterval) {
    struct Case {
        std::uint32_t elapsed;
        bool ticks;
        int lag;
    };
    const Case cases[] = {{15, false, 0}, {16, true, 1}, {31, true, 1}, {32, true, 2}, {100, true, 6}, {47, true, 2}};
    for (const Case& c : cases) {
        std::vector<int> lags;
        auto t = makeTimer(16, true, true, lags);
        EXPECT_EQ(idleAfter(c.elapsed), c.ticks) << c.elapsed << " ms";
        if (c.ticks) {
            ASSERT_EQ(lags.size(), 1u) << c.elapsed << " ms";
            EXPECT_EQ(lags[0], c.lag) << c.elapsed << " ms";
            EXPECT_EQ(t->LastTick(), clock.milliseconds());
        } else {
            EXPECT_TRUE(lags.empty());
            EXPECT_EQ(app.DoIdle().WaitMs, 1u) << "one millisecond left until the tick";
        }
    }
}

TEST_F(DXTimerTest, FifteenMillisecondsThenOneMoreTicksOnceMeasuredFromTheLastTick) {
    std::vector<int> lags;
    auto t = makeTimer(16, true, true, lags);
    EXPECT_FALSE(idleAfter(15));
    EXPECT_TRUE(idleAfter(1));
    EXPECT_FALSE(idleAfter(15)); // the next interval starts at the tick, not at the first idle call
    EXPECT_TRUE(idleAfter(1));
    EXPECT_EQ(lags, (std::vector<int>{1, 1}));
}

TEST_F(DXTimerTest, IntervalZeroTicksOnEveryIdleWithTheElapsedMillisecondsAtLeastOne) {
    std::vector<int> lags;
    auto t = makeTimer(0, true, true, lags);
    EXPECT_TRUE(idleAfter(0));
    EXPECT_TRUE(idleAfter(7));
    EXPECT_TRUE(idleAfter(1));
    EXPECT_EQ(lags, (std::vector<int>{1, 7, 1}));
    t->SetInterval(-5); // never below 0, and the lag divisor never below 1
    EXPECT_EQ(t->Interval(), 0);
    EXPECT_TRUE(idleAfter(3));
    EXPECT_EQ(lags.back(), 3);
}

TEST_F(DXTimerTest, ClockWrapAroundIsAnOrdinaryInterval) {
    clock.set(0xFFFFFFF0u);
    std::vector<int> lags;
    auto t = makeTimer(16, true, true, lags);
    EXPECT_FALSE(idleAfter(10));
    EXPECT_TRUE(idleAfter(40)); // 50 ms across the wrap
    EXPECT_EQ(lags, (std::vector<int>{3}));
}

TEST_F(DXTimerTest, MeasuredRateRoundsTiesToEven) {
    EXPECT_EQ(MeasureRate(60, 1000), 60);
    EXPECT_EQ(MeasureRate(1, 2000), 0);   // 0.5 goes to 0
    EXPECT_EQ(MeasureRate(3, 2000), 2);   // 1.5 goes to 2
    EXPECT_EQ(MeasureRate(5, 2000), 2);   // 2.5 goes to 2
    EXPECT_EQ(MeasureRate(62, 1001), 62); // 61.94 goes to 62
}

TEST_F(DXTimerTest, MeasuredRateIsTakenOverAWindowOfAtLeastOneSecond) {
    std::vector<int> lags;
    auto t = makeTimer(16, true, true, lags);
    for (int i = 0; i < 62; ++i) idleAfter(16); // 992 ms: the window is not full yet
    EXPECT_EQ(t->MeasuredRate(), 0);
    idleAfter(16); // 63 ticks in 1008 ms = 62.5 per second, a tie: even
    EXPECT_EQ(t->MeasuredRate(), 62);
    for (int i = 0; i < 40; ++i) idleAfter(25); // a new window: 40 ticks in 1000 ms
    EXPECT_EQ(t->MeasuredRate(), 40);
}

TEST_F(DXTimerTest, FocusLossSuspendsAnActiveOnlyTimerAndRegainResetsTheLastTick) {
    std::vector<int> lags;
    auto t = makeTimer(16, true, true, lags);
    idleAfter(16);
    app.Deactivate();
    EXPECT_FALSE(app.OnIdle) << "no timer occupies the idle hook while the focus is away";
    clock.advance(5000);
    app.Activate();
    EXPECT_EQ(t->LastTick(), clock.milliseconds());
    EXPECT_TRUE(idleAfter(20));
    EXPECT_EQ(lags, (std::vector<int>{1, 1})) << "the first tick after the focus returns has a small lag";
}

TEST_F(DXTimerTest, ATimerNotActiveOnlyKeepsTickingInTheBackground) {
    std::vector<int> lags;
    auto t = makeTimer(16, false, true, lags);
    app.Deactivate();
    EXPECT_TRUE(idleAfter(16));
    clock.advance(10);
    app.Activate(); // not active-only: the last tick is not reset
    EXPECT_TRUE(idleAfter(22));
    EXPECT_EQ(lags, (std::vector<int>{1, 2}));
}

TEST_F(DXTimerTest, AnActiveOnlyTimerEnabledWithoutTheFocusWaitsForIt) {
    app.Deactivate();
    std::vector<int> lags;
    auto t = makeTimer(16, true, true, lags);
    EXPECT_TRUE(t->Started());
    EXPECT_FALSE(app.OnIdle);
    clock.advance(100);
    app.Activate();
    EXPECT_TRUE(idleAfter(16));
    EXPECT_EQ(lags, (std::vector<int>{1}));
}

TEST_F(DXTimerTest, FocusNotificationsReachEveryTimerWhateverItsEnabledState) {
    std::vector<int> lags1, lags2;
    auto t1 = makeTimer(16, true, true, lags1);
    auto t2 = makeTimer(16, false, false, lags2);
    std::vector<std::string> heard;
    t1->OnActivate = [&](TCustomDXTimer&) { heard.push_back("1 activate"); };
    t1->OnDeactivate = [&](TCustomDXTimer&) { heard.push_back("1 deactivate"); };
    t2->OnActivate = [&](TCustomDXTimer&) { heard.push_back("2 activate"); };
    t2->OnDeactivate = [&](TCustomDXTimer&) { heard.push_back("2 deactivate"); };
    app.Deactivate();
    app.Activate();
    EXPECT_EQ(heard, (std::vector<std::string>{"1 deactivate", "2 deactivate", "1 activate", "2 activate"}));
    EXPECT_FALSE(t2->Started());
}

TEST_F(DXTimerTest, SwitchingTimersDisablesTheRunningOneFirst) {
    std::vector<int> menu, game;
    auto t1 = makeTimer(16, true, true, menu);
    auto t2 = makeTimer(16, false, false, game);
    EXPECT_TRUE(idleAfter(16));

    // The right order: the game timer runs.
    t1->SetEnabled(false);
    t2->SetEnabled(true);
    EXPECT_TRUE(idleAfter(16));
    EXPECT_EQ(menu.size(), 1u);
    EXPECT_EQ(game.size(), 1u);

    // The wrong order: disabling the game timer after enabling the menu timer clears the one hook.
    t1->SetEnabled(true);
    t2->SetEnabled(false);
    EXPECT_FALSE(app.OnIdle);
    EXPECT_FALSE(idleAfter(100));
    EXPECT_EQ(menu.size(), 1u);
    EXPECT_EQ(game.size(), 1u);
}

TEST_F(DXTimerTest, EnabledChangesDoNothingWhileLoadingAndSameValueDoesNotRestart) {
    std::vector<int> lags;
    auto t = std::make_unique<TDXTimer>(app);
    EXPECT_EQ(t->Interval(), 1000);
    EXPECT_TRUE(t->Enabled());
    EXPECT_TRUE(t->ActiveOnly());
    EXPECT_FALSE(t->Started()) << "a created timer waits for Loaded";
    t->SetInterval(16);
    t->OnTimer = [&lags](TCustomDXTimer&, int lag) { lags.push_back(lag); };
    t->Loaded();
    EXPECT_TRUE(t->Started());
    clock.advance(10);
    t->SetEnabled(true); // unchanged: no restart, so the last tick stays where it was
    EXPECT_TRUE(idleAfter(6));
    EXPECT_EQ(lags, (std::vector<int>{1}));
}

TEST_F(DXTimerTest, AnExceptionInATickIsShownAndTheTimerGoesOn) {
    std::vector<std::string> shown;
    tw::platform::setMessageBoxHandler([&](const std::string& text) { shown.push_back(text); });
    std::vector<int> lags;
    auto t = makeTimer(16, true, true, lags);
    t->OnTimer = [](TCustomDXTimer&, int) { throw std::runtime_error("Image 'hero' not found"); };
    EXPECT_FALSE(idleAfter(16));
    EXPECT_EQ(shown, (std::vector<std::string>{"Image 'hero' not found"}));
    EXPECT_TRUE(app.OnIdle);
    EXPECT_FALSE(idleAfter(15)) << "the failed tick still counted as the last tick";
    tw::platform::setMessageBoxHandler({});
}

} // namespace
