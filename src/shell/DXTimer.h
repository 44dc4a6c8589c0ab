// SPDX-License-Identifier: MIT
// The frame timer: ticks from the application's idle processing at most once per Interval, tells the
// handler how many intervals have passed (LagCount), measures the tick rate, and passes the
// application's focus changes on to its owner. Only one timer can run at a time: they share the one
// idle hook, so a program switching timers disables the running one before enabling the other.
#pragma once

#include <cstdint>
#include <functional>

#include "shell/Application.h"

class TCustomDXTimer {
public:
    using TNotifyEvent = std::function<void(TCustomDXTimer& sender)>;
    using TDXTimerEvent = std::function<void(TCustomDXTimer& sender, int LagCount)>;

    explicit TCustomDXTimer(TApplication& application);
    virtual ~TCustomDXTimer();
    TCustomDXTimer(const TCustomDXTimer&) = delete;
    TCustomDXTimer& operator=(const TCustomDXTimer&) = delete;

    bool ActiveOnly() const { return activeOnly_; }
    void SetActiveOnly(bool value) { activeOnly_ = value; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    int Interval() const { return interval_; }
    void SetInterval(int value);

    std::int32_t MeasuredRate() const { return measuredRate_; }
    bool Started() const { return started_; }
    std::uint32_t LastTick() const { return lastTick_; }

    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TDXTimerEvent OnTimer;

    // While loading, property changes do not start or stop the timer; Loaded ends it and starts the
    // timer when it is enabled.
    void BeginLoading() { loading_ = true; }
    void Loaded();

protected:
    virtual void FireActivate();
    virtual void FireDeactivate();
    virtual void FireTimer(int LagCount);

private:
    void StartTimer();
    void StopTimer();
    void ResumeTicks();
    void SuspendTicks();
    TIdleResult AppIdle();
    void AppMessage(TAppMessage message);

    TApplication& application_;
    int hookId_ = 0;
    bool loading_ = false;

    bool activeOnly_ = true;
    bool enabled_ = true;
    std::int32_t measuredRate_ = 0;
    bool started_ = false;
    std::int32_t interval_ = 0;
    std::int32_t lagDivisor_ = 1;
    std::int32_t ticksInWindow_ = 0;
    std::uint32_t lastTick_ = 0;
    std::uint32_t windowStart_ = 0;
};

class TDXTimer : public TCustomDXTimer {
public:
    using TCustomDXTimer::TCustomDXTimer;
};

// Ticks per second over a window of `windowMs`, rounded to the nearest, ties to even.
std::int32_t MeasureRate(std::int32_t ticks, std::uint32_t windowMs);
