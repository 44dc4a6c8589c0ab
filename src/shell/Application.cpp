// SPDX-License-Identifier: MIT
// Focus, idle hook and event routing of the application object.
#include "shell/Application.h"

#include "platform/MessageBox.h"
#include "shell/MainForm.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

int TApplication::HookMainWindow(TWindowHook hook) {
    const int id = nextHookId_++;
    hooks_.push_back({id, std::move(hook)});
    return id;
}

void TApplication::UnhookMainWindow(int id) {
    std::erase_if(hooks_, [id](const Hook& h) { return h.id == id; });
}

void TApplication::notify(TAppMessage message) {
    // A hook may remove hooks while being told: walk a copy of the ids.
    std::vector<int> ids;
    for (const Hook& h : hooks_) ids.push_back(h.id);
    for (int id : ids) {
        auto it = std::find_if(hooks_.begin(), hooks_.end(), [id](const Hook& h) { return h.id == id; });
        if (it == hooks_.end()) continue;
        TWindowHook hook = it->hook; // the hook may unhook itself while it runs
        guarded([&] { hook(message); });
    }
}

void TApplication::Activate() {
    if (active_) return;
    active_ = true;
    notify(TAppMessage::Activate);
}

void TApplication::Deactivate() {
    if (!active_) return;
    active_ = false;
    notify(TAppMessage::Deactivate);
}

TIdleResult TApplication::DoIdle() {
    if (!OnIdle) return {};
    TIdleResult result;
    // The tick may switch timers, which replaces the hook being run: keep it alive meanwhile.
    TIdleEvent hook = OnIdle;
    guarded([&] { result = hook(); });
    return result;
}

void TApplication::HandleException(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        tw::platform::showMessageBox(e.what());
    } catch (...) {
        tw::platform::showMessageBox("Unknown error");
    }
}

template <class F>
void TApplication::guarded(F&& f) {
    try {
        f();
    } catch (...) {
        HandleException(std::current_exception());
    }
}

void TApplication::Terminate() {
    terminated_ = true;
    if (loop_) loop_->quit();
}

void TApplication::closeRequest() {
    if (mainForm_) guarded([&] { mainForm_->Close(); });
}

void TApplication::keyDown(std::uint8_t key, bool repeat, std::uint8_t shift) {
    if (mainForm_) guarded([&] { mainForm_->FormKeyDown(key, shift, repeat); });
}

void TApplication::keyUp(std::uint8_t key, std::uint8_t shift) {
    if (mainForm_) guarded([&] { mainForm_->FormKeyUp(key, shift); });
}

void TApplication::keyPress(char ch) {
    if (mainForm_) guarded([&] { mainForm_->FormKeyPress(ch); });
}

void TApplication::mouseMove(int x, int y, std::uint8_t shift) {
    if (mainForm_) guarded([&] { mainForm_->DXDrawMouseMove(shift, x, y); });
}

void TApplication::mouseDown(tw::platform::MouseButton button, int x, int y, std::uint8_t shift) {
    if (mainForm_) guarded([&] { mainForm_->DXDrawMouseDown(button, shift, x, y); });
}

void TApplication::mouseUp(tw::platform::MouseButton button, int x, int y, std::uint8_t shift) {
    if (mainForm_) guarded([&] { mainForm_->DXDrawMouseUp(button, shift, x, y); });
}

void TApplication::click() {
    if (mainForm_) guarded([&] { mainForm_->DXDrawClick(); });
}

void TApplication::focusGained() {
    if (mainForm_) guarded([&] { mainForm_->FormActivated(true); });
    Activate();
}

void TApplication::focusLost() {
    if (mainForm_) guarded([&] { mainForm_->FormActivated(false); });
    Deactivate();
}

void TApplication::maximizeRequest() {
    if (mainForm_) guarded([&] { mainForm_->WMGetSysCommand(SC_MAXIMIZE); });
}

void TApplication::captionDoubleClick() {
    if (mainForm_) guarded([&] { mainForm_->CptClk(HTCAPTION); });
}

void TApplication::exposed() {
    if (mainForm_) guarded([&] { mainForm_->FormPaint(); });
}

void TApplication::padButton(tw::platform::PadButton button, bool down) {
    // Pads are read in the background too; only the window with the focus takes their presses.
    if (mainForm_ && active_) guarded([&] { mainForm_->FormPadButton(button, down); });
}

void TApplication::minimizedChanged(bool minimized) {
    if (mainForm_) mainForm_->WindowStateChanged(minimized ? wsMinimized : wsNormal);
}

std::optional<std::uint32_t> TApplication::idle() {
    if (terminated_ || !OnIdle) return std::nullopt;
    const TIdleResult r = DoIdle();
    if (!OnIdle) return std::nullopt; // the tick stopped the frames; only an event brings them back
    return r.WaitMs;
}
