// SPDX-License-Identifier: MIT
// Program entry: read the command line, create the main window, run its message loop, then open
// "play.url" if it exists; or, with --verify FILE, check a replay without a window.
#include "game/Replay.h"
#include "game/ReplayVerifier.h"
#include "platform/EventLoop.h"
#include "platform/MessageBox.h"
#include "platform/Shutdown.h"
#include "platform/Window.h"
#include "shell/Application.h"
#include "shell/CommandLine.h"
#include "shell/GoToLink.h"
#include "shell/MainForm.h"
#include "shell/MenuCommands.h"
#include "shell/Music.h"
#include "shell/WindowPlace.h"

#include <cstdlib>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Exit statuses of --verify: the replay ends as it recorded, went another way, or was unreadable.
constexpr int VerifyMatches = 0;
constexpr int VerifyDiffers = 1;
constexpr int VerifyUnreadable = 2;

int verifyReplay(const std::string& file) {
    TReplayVerdict verdict;
    try {
        verdict = VerifyReplay(LoadReplayFile(file));
    } catch (const std::exception& e) {
        std::cerr << "tidewarden: " << e.what() << '\n';
        return VerifyUnreadable;
    }
    std::cout << verdict.Dump;
    if (verdict.DesyncByTick != 0) {
        std::cerr << "tidewarden: " << file << ": the game went another way by tick " << verdict.DesyncByTick << '\n';
        return VerifyDiffers;
    }
    if (!verdict.Matches) {
        std::cerr << "tidewarden: " << file << ": the game does not end as the replay recorded\n";
        return VerifyDiffers;
    }
    return VerifyMatches;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    TRunOptions options;
    int status = 0;
    if (TCommandLine::Read(args, "tidewarden", options, status, std::cout, std::cerr) == TCommandLine::TOutcome::Exit)
        return status;
    std::string warning;
    SetScoresServiceBase(ChooseScoresUrl(options, std::getenv("TIDEWARDEN_SCORES_URL"), ScoresServiceBase(), warning));
    if (!warning.empty()) std::cerr << "tidewarden: " << warning << '\n';

    if (options.VerifyFile) return verifyReplay(*options.VerifyFile);
    std::optional<TReplay> watch;
    if (options.ReplayFile) {
        try {
            watch = LoadReplayFile(*options.ReplayFile);
        } catch (const EReplayError& e) {
            std::cerr << "tidewarden: " << e.what() << '\n';
            return VerifyUnreadable;
        }
    }

    bool started = true;
    try {
        TApplication application;
        tw::platform::Window window;
        tw::platform::EventLoop loop(window);
        application.SetEventLoop(&loop);
        // Sized before the form takes the window over, so that full screen comes back to it.
        const std::optional<tw::platform::WindowPlacement> remembered = ReadWindowPlace(WindowPlaceFileName);
        const bool rememberedOnDisplay = remembered && tw::platform::Window::onSomeDisplay(*remembered);
        const tw::platform::WindowPlacement start =
            StartPlacement(window.usableBounds(), remembered, rememberedOnDisplay);
        window.setPlacement(start);
        {
            TmainForm form(application, &window, options.Windowed);
            // A form whose creation failed has said why and asked to end: the game cannot run.
            started = !form.CreationFailed();
            // The form centres the window it shows; a remembered place is put back.
            if (rememberedOnDisplay && !window.isFullScreen()) window.setPlacement(start);
            form.FormShown();
            if (watch && started) form.WatchReplay(std::move(*watch));
            if (!application.Terminated()) loop.run(application);
        }
        if (started) WriteWindowPlace(WindowPlaceFileName, window.windowedPlacement());
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
