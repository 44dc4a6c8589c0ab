// Program entry: create the main window, run its message loop, then open "play.url" if it exists;
// or, with --verify FILE, check a replay without a window, or with --replay FILE, watch one.
#include "game/Replay.h"
#include "game/ReplayVerifier.h"
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
#include <optional>
#include <string>
#include <string_view>

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
    std::optional<TReplay> watch;
    if (argc == 3 && std::string_view(argv[1]) == "--verify") return verifyReplay(argv[2]);
    if (argc == 3 && std::string_view(argv[1]) == "--replay") {
        try {
            watch = LoadReplayFile(argv[2]);
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
        {
            TmainForm form(application, &window);
            // A form whose creation failed has said why and asked to end: the game cannot run.
            started = !form.CreationFailed();
            form.FormShown();
            if (watch && started) form.WatchReplay(std::move(*watch));
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
