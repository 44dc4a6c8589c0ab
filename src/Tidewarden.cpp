// Program entry: create the main window, run its message loop, then open "play.url" if it exists.
#include "platform/EventLoop.h"
#include "platform/MessageBox.h"
#include "platform/Shutdown.h"
#include "platform/Window.h"
#include "shell/Application.h"
#include "shell/GoToLink.h"
#include "shell/MainForm.h"
#include "shell/Music.h"

#include <exception>
#include <iostream>

int main() {
    bool started = true;
    try {
        TApplication application;
        tw::platform::Window window;
        tw::platform::EventLoop loop(window);
        application.SetEventLoop(&loop);
        {
            TmainForm form(application, &window);
            // A form whose creation failed has said why and asked to end: the game cannot run.
            started = !form.CreationFailed();
            form.FormShown();
            if (!application.Terminated()) loop.run(application);
        }
        SongUnloadAll();
    } catch (const std::exception& e) {
        // Only a window or display that cannot be set up ends up here.
        std::cerr << "Tide Warden: " << e.what() << '\n';
        tw::platform::showMessageBox(e.what());
        tw::platform::shutDown();
        return 1;
    }
    tw::platform::shutDown();
    if (!started) return 1;
    OpenPlayUrl();
    return 0;
}
