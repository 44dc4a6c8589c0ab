// SPDX-License-Identifier: MIT
// Cost of one menu frame (fill, the menu's sprites, the screen's texts, flip) on the built menu
// pictures, for the main menu, the options screen with an edited country, the high-score table and
// the exit question; a frame must fit well inside the menu timer's 16 ms.
// Run from the build folder: the menu pictures and sounds are taken from ../run beside bench/.
#include "BenchRunFolder.h"
#include "platform/EventLoop.h"
#include "platform/Window.h"
#include "shell/Config.h"
#include "shell/Application.h"
#include "shell/MainForm.h"
#include "shell/MenuField.h"
#include "state/ShellState.h"
#include "state/Settings.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class MenuScene {
public:
    MenuScene() {
        window_ = std::make_unique<tw::platform::Window>();
        form_ = std::make_unique<TmainForm>(app_, window_.get());
        form_->FormShown();
        // With the focus, as on a desktop: only the active window presents its frames.
        tw::platform::Event focus;
        focus.type = tw::platform::Event::Type::FocusGained;
        dispatcher_.deliver(focus, app_);
    }
    ~MenuScene() {
        form_.reset();
        window_.reset();
    }
    TmainForm& form() { return *form_; }
    void frame() { form_->DXTimer1Timer(*form_->DXTimer1, 1); }

private:
    BenchRunFolder folder_;
    TApplication app_;
    tw::platform::EventDispatcher dispatcher_;
    std::unique_ptr<tw::platform::Window> window_;
    std::unique_ptr<TmainForm> form_;
};

void run(benchmark::State& state, MenuScene& scene) {
    if (!scene.form().DXDraw->CanDraw()) {
        state.SkipWithError("the display is not drawing");
        return;
    }
    for (auto _ : state) scene.frame();
}

void BM_MainMenuFrame(benchmark::State& state) {
    MenuScene scene;
    run(state, scene);
}
BENCHMARK(BM_MainMenuFrame)->Unit(benchmark::kMicrosecond);

void BM_OptionsFrameWhileEditingTheCountry(benchmark::State& state) {
    MenuScene scene;
    Shell.MenuSelection = msOptions;
    scene.form().CreateOptions();
    Settings.Country.SetText("de");
    Shell.BossKeyName = "F12";
    Shell.MenuSelection = 4;
    Shell.TextEditing = 1;
    run(state, scene);
}
BENCHMARK(BM_OptionsFrameWhileEditingTheCountry)->Unit(benchmark::kMicrosecond);

void BM_HighScoreFrame(benchmark::State& state) {
    MenuScene scene;
    Shell.MenuSelection = msScores;
    scene.form().CreateScores();
    run(state, scene);
}
BENCHMARK(BM_HighScoreFrame)->Unit(benchmark::kMicrosecond);

void BM_ExitQueryFrame(benchmark::State& state) {
    MenuScene scene;
    Shell.MenuScreen = msExitQuery;
    Shell.MenuSelection = 1;
    scene.form().SetClosingWindowVisible(true);
    run(state, scene);
}
BENCHMARK(BM_ExitQueryFrame)->Unit(benchmark::kMicrosecond);

} // namespace
