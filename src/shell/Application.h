// SPDX-License-Identifier: MIT
// The application object: the one idle hook that the running frame timer occupies, the hooks that
// hear the application gaining and losing the focus, and the routing of the window's events to the
// main form. An exception that escapes a handler or a tick is shown in a message box and the program
// goes on.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <vector>

#include "platform/EventLoop.h"

class TmainForm;

// What one turn of the idle hook did: whether a tick fired, and how long until the next is due.
struct TIdleResult {
    bool Ticked = false;
    std::uint32_t WaitMs = 0;
};

enum class TAppMessage : std::uint8_t { Activate, Deactivate };

class TApplication : public tw::platform::EventHandler {
public:
    using TIdleEvent = std::function<TIdleResult()>;
    using TWindowHook = std::function<void(TAppMessage)>;

    TApplication() = default;
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // The one idle hook; empty while no timer runs.
    TIdleEvent OnIdle;

    // Hooks on the application's messages, told in the order they were added; the id removes one.
    int HookMainWindow(TWindowHook hook);
    void UnhookMainWindow(int id);

    // Whether the application has the focus. It starts without: the first focus gain activates it.
    bool Active() const { return active_; }
    void Activate(); // tells every hook, once per change
    void Deactivate();

    // One turn of the idle hook, as the message loop runs it when the queue is empty.
    TIdleResult DoIdle();

    // Shows the text of an exception that reached the application, in the game's message box.
    void HandleException(std::exception_ptr error);

    void SetMainForm(TmainForm* form) { mainForm_ = form; }
    TmainForm* MainForm() const { return mainForm_; }

    // Ends the message loop (the main form has closed).
    void Terminate();
    bool Terminated() const { return terminated_; }
    void SetEventLoop(tw::platform::EventLoop* loop) { loop_ = loop; }

    // The window's events, as the message loop delivers them.
    void closeRequest() override;
    void keyDown(std::uint8_t key, bool repeat, std::uint8_t shift) override;
    void keyUp(std::uint8_t key, std::uint8_t shift) override;
    void keyPress(char ch) override;
    void mouseMove(int x, int y, std::uint8_t shift) override;
    void mouseDown(tw::platform::MouseButton button, int x, int y, std::uint8_t shift) override;
    void mouseUp(tw::platform::MouseButton button, int x, int y, std::uint8_t shift) override;
    void click() override;
    void focusGained() override;
    void focusLost() override;
    void maximizeRequest() override;
    void captionDoubleClick() override;
    void exposed() override;
    void padButton(tw::platform::PadButton button, bool down) override;
    void minimizedChanged(bool minimized) override;
    std::optional<std::uint32_t> idle() override;

private:
    // Runs f; an exception is shown and swallowed.
    template <class F>
    void guarded(F&& f);
    void notify(TAppMessage message);

    struct Hook {
        int id;
        TWindowHook hook;
    };
    std::vector<Hook> hooks_;
    int nextHookId_ = 1;
    bool active_ = false;
    bool terminated_ = false;
    TmainForm* mainForm_ = nullptr;
    tw::platform::EventLoop* loop_ = nullptr;
};
