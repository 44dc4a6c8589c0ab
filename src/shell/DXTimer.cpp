// SPDX-License-Identifier: MIT
// The frame timer's start, stop, idle routine and focus handling.
#include "shell/DXTimer.h"

#include "platform/Clock.h"

#include <algorithm>
#include <limits>

std::int32_t MeasureRate(std::int32_t ticks, std::uint32_t windowMs) {
    if (windowMs == 0) windowMs = 1;
    const std::uint64_t n = static_cast<std::uint64_t>(std::max(ticks, 0)) * 1000u;
    std::uint64_t q = n / windowMs;
    const std::uint64_t r = n % windowMs;
    if (2 * r > windowMs || (2 * r == windowMs && (q & 1u) != 0)) ++q;
    return static_cast<std::int32_t>(std::min<std::uint64_t>(q, std::numeric_limits<std::int32_t>::max()));
}

TCustomDXTimer::TCustomDXTimer(TApplication& application) : application_(application) {
    SetInterval(1000);
    hookId_ = application_.HookMainWindow([this](TAppMessage m) { AppMessage(m); });
}

TCustomDXTimer::~TCustomDXTimer() {
    StopTimer();
    application_.UnhookMainWindow(hookId_);
}

void TCustomDXTimer::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    if (loading_) return;
    if (enabled_)
        StartTimer();
    else
        StopTimer();
}

void TCustomDXTimer::SetInterval(int value) {
    if (value == interval_) return;
    interval_ = std::max(value, 0);
    lagDivisor_ = std::max(value, 1);
}

void TCustomDXTimer::Loaded() {
    loading_ = false;
    if (enabled_) StartTimer();
}

void TCustomDXTimer::FireActivate() {
    if (OnActivate) OnActivate(*this);
}

void TCustomDXTimer::FireDeactivate() {
    if (OnDeactivate) OnDeactivate(*this);
}

void TCustomDXTimer::FireTimer(int LagCount) {
    if (OnTimer) OnTimer(*this, LagCount);
}

void TCustomDXTimer::StartTimer() {
    StopTimer();
    if (!(activeOnly_ && !application_.Active())) ResumeTicks();
    started_ = true;
}

void TCustomDXTimer::StopTimer() {
    if (!started_) return;
    SuspendTicks();
    started_ = false;
}

void TCustomDXTimer::ResumeTicks() {
    lastTick_ = tw::platform::ticks();
    windowStart_ = lastTick_;
    application_.OnIdle = [this] { return AppIdle(); };
}

// The hook is the application's, not this timer's: clearing it stops whichever timer had it.
void TCustomDXTimer::SuspendTicks() { application_.OnIdle = nullptr; }

TIdleResult TCustomDXTimer::AppIdle() {
    const std::uint32_t now = tw::platform::ticks();
    const std::uint32_t elapsed = now - lastTick_;
    const auto interval = static_cast<std::uint32_t>(interval_);
    if (elapsed < interval) return {false, interval - elapsed};

    lastTick_ = now;
    const std::uint32_t lag = elapsed / static_cast<std::uint32_t>(lagDivisor_);
    const int lagCount = static_cast<int>(std::clamp<std::uint32_t>(lag, 1, std::numeric_limits<std::int32_t>::max()));
    ++ticksInWindow_;
    const std::uint32_t window = std::max<std::uint32_t>(now - windowStart_, 1);
    if (window >= 1000) {
        measuredRate_ = MeasureRate(ticksInWindow_, window);
        ticksInWindow_ = 0;
        windowStart_ = now;
    }
    FireTimer(lagCount);

    // The frame took time of its own: the next tick is due Interval after this one began.
    const std::uint32_t spent = tw::platform::ticks() - now;
    return {true, spent >= interval ? 0 : interval - spent};
}

void TCustomDXTimer::AppMessage(TAppMessage message) {
    if (message == TAppMessage::Activate) {
        FireActivate();
        if (started_ && activeOnly_) ResumeTicks();
    } else {
        FireDeactivate();
        if (started_ && activeOnly_) SuspendTicks();
    }
}
