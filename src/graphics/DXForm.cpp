// SPDX-License-Identifier: MIT
// The form on the desktop: border, placement, window state and the close request.
#include "graphics/DXForm.h"

TDXForm::TDXForm(tw::platform::Window* window) : window_(window) {}

void TDXForm::SetBorderStyle(TFormBorderStyle style) {
    borderStyle_ = style;
    if (window_) window_->setFullScreen(style == bsNone);
}

void TDXForm::SetPosition(TPosition position) {
    position_ = position;
    if (position == poScreenCenter && window_) window_->center();
}

void TDXForm::SetWindowState(TWindowState state) {
    windowState_ = state;
    if (!window_) return;
    if (state == wsMinimized) {
        if (!window_->isMinimized()) window_->minimize();
    } else {
        // This window is never maximised: wsMaximized shows it as a normal window.
        if (window_->isMinimized()) window_->restore();
    }
}

void TDXForm::SaveWindowPlacement() {
    if (window_) placement_ = window_->placement();
    placementSaved_ = true;
}

void TDXForm::RestoreWindowPlacement() {
    if (!placementSaved_) return;
    placementSaved_ = false;
    // The placement belongs to the window on the desktop: leave full screen before applying it.
    if (window_) {
        window_->setFullScreen(false);
        window_->setPlacement(placement_);
    }
}

void TDXForm::DefaultSysCommand(std::uint32_t command) {
    // The desktop ignores the low four bits of a system command.
    switch (command & 0xFFF0u) {
    case SC_MINIMIZE:
        if (window_) window_->minimize();
        break;
    case SC_RESTORE:
        if (window_) window_->restore();
        windowState_ = wsNormal;
        break;
    case SC_CLOSE: Close(); break;
    default: break; // maximise and the rest: the window has a fixed size and no such commands
    }
}

void TDXForm::WMSysCommand(std::uint32_t command) {
    DefaultSysCommand(command);
    if (command == SC_MINIMIZE) windowState_ = wsMinimized;
}

void TDXForm::WMNCLButtonDblClk(int hitTest) { (void)hitTest; }

void TDXForm::Close() {
    if (closed_) return;
    TCloseAction action = caFree;
    DoClose(action);
    if (action == caNone) return;
    closed_ = true;
    if (OnClosed) OnClosed();
}
