// SPDX-License-Identifier: MIT
// The form class the game's main window derives from: its border, position and window state on the
// desktop, the saved windowed placement across a full-screen spell, the minimise system command, and
// the close request with its close action.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/Window.h"

enum TFormBorderStyle : std::uint8_t { bsNone, bsSingle };
enum TPosition : std::uint8_t { poDesigned, poScreenCenter };
enum TWindowState : std::uint8_t { wsNormal, wsMinimized, wsMaximized };
enum TCloseAction : std::uint8_t { caNone, caHide, caFree, caMinimize };

// System command values of the window menu and caption buttons.
inline constexpr std::uint32_t SC_MINIMIZE = 0xF020;
inline constexpr std::uint32_t SC_MAXIMIZE = 0xF030;
inline constexpr std::uint32_t SC_CLOSE = 0xF060;
inline constexpr std::uint32_t SC_RESTORE = 0xF120;
// Hit-test code of the caption.
inline constexpr int HTCAPTION = 2;

class TDXForm {
public:
    // window may be nullptr (no desktop window: everything is recorded, nothing shown). Not owned.
    explicit TDXForm(tw::platform::Window* window);
    virtual ~TDXForm() = default;
    TDXForm(const TDXForm&) = delete;
    TDXForm& operator=(const TDXForm&) = delete;

    tw::platform::Window* Window() const { return window_; }

    // No border is the full-screen form; a single border is the ordinary window.
    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle style);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition position); // poScreenCenter centres the window at once
    TWindowState WindowState() const { return windowState_; }
    void SetWindowState(TWindowState state);
    // The desktop changed the window's state by itself (the task bar, a window-manager key).
    void WindowStateChanged(TWindowState state) { windowState_ = state; }

    // Remembers the window's place; Restore puts it back once and forgets it.
    void SaveWindowPlacement();
    void RestoreWindowPlacement();
    bool HasSavedPlacement() const { return placementSaved_; }

    // A system command (window menu, caption buttons). The minimise command, compared exactly, is
    // handled as usual and then makes the form minimised.
    virtual void WMSysCommand(std::uint32_t command);
    // A double click on the window frame (hit-test code: where on the frame).
    virtual void WMNCLButtonDblClk(int hitTest);

    // The close request: the form's FormClose decides through the close action whether it closes.
    void Close();
    bool Closed() const { return closed_; }
    // Called once the form has really closed (the application ends its message loop).
    std::function<void()> OnClosed;

protected:
    // The form's close handler; may set action to caNone to keep the form open.
    virtual void DoClose(TCloseAction& action) { (void)action; }
    // What the desktop does with a system command when the form does not handle it itself.
    void DefaultSysCommand(std::uint32_t command);

private:
    tw::platform::Window* window_;
    TFormBorderStyle borderStyle_ = bsSingle;
    TPosition position_ = poDesigned;
    TWindowState windowState_ = wsNormal;
    tw::platform::WindowPlacement placement_;
    bool placementSaved_ = false;
    bool closed_ = false;
};
