// SPDX-License-Identifier: MIT
// The host's set-up, synthetic events, clock stepping and back-buffer access.
#include "host/GameHost.h"

#include "game/GameField.h"
#include "game/GameState.h"
#include "graphics/Surface.h"
#include "platform/KeyboardState.h"
#include "platform/MessageBox.h"
#include "platform/Png.h"
#include "platform/Random.h"
#include "platform/ShellOpen.h"
#include "shell/Config.h"
#include "shell/MenuField.h"
#include "state/ShellState.h"
#include "state/Settings.h"
#include "sound/DXSounds.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tw::test {

namespace {

using tw::platform::Event;
using tw::platform::MouseButton;

// A short 16-bit mono blip under name.
void addBlip(TWaveCollection& waves, const char* name) {
    TWaveCollectionItem& item = waves.Add();
    item.SetName(name);
    const std::uint32_t rate = 22050;
    const std::uint8_t format[16] = {1,
                                     0,
                                     1,
                                     0,
                                     static_cast<std::uint8_t>(rate),
                                     static_cast<std::uint8_t>(rate >> 8),
                                     0,
                                     0,
                                     static_cast<std::uint8_t>(rate * 2),
                                     static_cast<std::uint8_t>((rate * 2) >> 8),
                                     static_cast<std::uint8_t>((rate * 2) >> 16),
                                     0,
                                     2,
                                     0,
                                     16,
                                     0};
    std::vector<std::uint8_t> data(200, 0);
    for (std::size_t i = 0; i < data.size(); i += 4) data[i + 1] = 0x20; // a square wave
    item.Wave().SetFormat(format);
    item.Wave().SetData(data);
}

// A wave collection with every sound the game plays, each the same blip.
void writeMinimalWaves(const std::filesystem::path& file) {
    TWaveCollection waves;
    for (const char* name :
         {"looser", "bonus", "fishdie", "herodieair", "herodiefish", "herogun", "heronet", "menu", "nextlevel"})
        addBlip(waves, name);
    std::filesystem::create_directories(file.parent_path());
    waves.SaveToFile(file.string());
}

// Links every file of the build's data folders into the run folder, one link per file.
void linkGameData(const std::filesystem::path& runFolder) {
    const std::filesystem::path built = TW_RUN_DIR;
    for (const char* folder : {"data", "sound"}) {
        std::filesystem::create_directories(runFolder / folder);
        for (const auto& entry : std::filesystem::directory_iterator(built / folder))
            std::filesystem::create_symlink(entry.path(), runFolder / folder / entry.path().filename());
    }
}

// Links the build's picture collections into the run folder: every main window builds the menu
// field when it is created, also in hosts that keep to the minimal sounds.
void linkPictures(const std::filesystem::path& runFolder) {
    const std::filesystem::path built = std::filesystem::path(TW_RUN_DIR) / "data";
    std::filesystem::create_directories(runFolder / "data");
    for (const auto& entry : std::filesystem::directory_iterator(built))
        std::filesystem::create_symlink(entry.path(), runFolder / "data" / entry.path().filename());
}

std::filesystem::path makeTempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tidewarden-host-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary run folder");
    return pattern;
}

} // namespace

void replaceRunFile(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
    std::filesystem::remove(file); // a link to the build's data: never written through
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::vector<std::uint8_t> readRunFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

GameHost::GameHost() : GameHost(Options{}) {}

GameHost::GameHost(Options options) : options_(std::move(options)), clock_(options_.startTime) {
    // Headless whatever the environment says: the host never opens a real window or sound card.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);

    previousFolder_ = std::filesystem::current_path();
    runFolder_ = options_.runFolder;
    if (runFolder_.empty()) {
        runFolder_ = makeTempFolder();
        ownsRunFolder_ = true;
        if (options_.gameData)
            linkGameData(runFolder_);
        else
            writeMinimalWaves(runFolder_ / "sound" / "gamesound.dxw");
        if (!options_.gameData) linkPictures(runFolder_);
    }
    if (ownsRunFolder_ && options_.writeConfig) {
        SettingsState stored;
        stored.MusicOn = options_.musicOn ? 1 : 0;
        stored.SoundOn = options_.soundOn ? 1 : 0;
        WriteConfigFile(runFolder_ / "config.dat", stored);
    }
    if (options_.prepare) options_.prepare(runFolder_);
    std::filesystem::current_path(runFolder_);

    ResetSharedState();
    Menu = MenuFieldState{};
    Settings.MusicOn = options_.musicOn ? 1 : 0;
    Settings.SoundOn = options_.soundOn ? 1 : 0;
    ResetGameState();
    tw::platform::KeyboardState::instance().clear();
    tw::platform::setMessageBoxHandler([this](const std::string& text) { messages_.push_back(text); });
    tw::platform::setShellOpenHandler([this](const std::string& target) { opened_.push_back(target); });
    clockScope_ = std::make_unique<tw::platform::ScopedClock>(clock_);

    window_ = std::make_unique<tw::platform::Window>();
    form_ = std::make_unique<TmainForm>(application_, window_.get(), options_.windowedThisRun);
    form_->FormShown();
    tw::platform::seedRandom(options_.seed);
    if (options_.focus) focusGained();
}

GameHost::~GameHost() {
    form_.reset();
    window_.reset();
    clockScope_.reset();
    tw::platform::setMessageBoxHandler({});
    tw::platform::setShellOpenHandler({});
    tw::platform::KeyboardState::instance().clear();
    std::error_code ec;
    std::filesystem::current_path(previousFolder_, ec);
    if (ownsRunFolder_) std::filesystem::remove_all(runFolder_, ec);
}

void GameHost::deliver(const Event& event) { dispatcher_.deliver(event, application_); }

void GameHost::keyDown(std::uint8_t vk, bool repeat) {
    Event e;
    e.type = Event::Type::KeyDown;
    e.key = vk;
    e.repeat = repeat;
    deliver(e);
}

void GameHost::keyUp(std::uint8_t vk) {
    Event e;
    e.type = Event::Type::KeyUp;
    e.key = vk;
    deliver(e);
}

void GameHost::pressKey(std::uint8_t vk) {
    keyDown(vk);
    keyUp(vk);
}

void GameHost::typeText(const std::string& utf8) {
    Event e;
    e.type = Event::Type::Text;
    e.text = utf8;
    deliver(e);
}

void GameHost::mouseMove(int x, int y) {
    Event e;
    e.type = Event::Type::MouseMove;
    e.x = x;
    e.y = y;
    deliver(e);
}

void GameHost::mouseButton(Event::Type type, MouseButton button, int x, int y) {
    Event e;
    e.type = type;
    e.button = button;
    e.x = x;
    e.y = y;
    deliver(e);
}

void GameHost::mouseDown(MouseButton button, int x, int y) { mouseButton(Event::Type::MouseDown, button, x, y); }
void GameHost::mouseUp(MouseButton button, int x, int y) { mouseButton(Event::Type::MouseUp, button, x, y); }

void GameHost::click(int x, int y) {
    mouseMove(x, y);
    mouseDown(MouseButton::Left, x, y);
    mouseUp(MouseButton::Left, x, y);
}

namespace {
Event simple(Event::Type type) {
    Event e;
    e.type = type;
    return e;
}
} // namespace

void GameHost::focusLost() { deliver(simple(Event::Type::FocusLost)); }
void GameHost::focusGained() { deliver(simple(Event::Type::FocusGained)); }
void GameHost::closeRequest() { deliver(simple(Event::Type::CloseRequest)); }
void GameHost::maximizeRequest() { deliver(simple(Event::Type::MaximizeRequest)); }
void GameHost::captionDoubleClick() { deliver(simple(Event::Type::CaptionDoubleClick)); }

int GameHost::runTicks(int n) {
    int fired = 0;
    for (int i = 0; i < n; ++i) {
        if (!application_.OnIdle) {
            clock_.advance(16);
            continue;
        }
        TIdleResult r = application_.DoIdle();
        if (!r.Ticked && application_.OnIdle) {
            clock_.advance(r.WaitMs);
            r = application_.DoIdle();
        }
        if (r.Ticked) ++fired;
    }
    ticksRun_ += fired;
    return fired;
}

bool GameHost::advance(std::uint32_t ms) {
    clock_.advance(ms);
    const bool ticked = application_.DoIdle().Ticked;
    if (ticked) ++ticksRun_;
    return ticked;
}

std::string GameHost::stateDump() const { return "tick " + std::to_string(ticksRun_) + "\n" + GameStateDump(); }

std::vector<std::uint32_t> GameHost::backBuffer() {
    const TDirectDrawSurface* s = form_->DXDraw ? form_->DXDraw->Surface() : nullptr;
    if (!s || s->Width() <= 0) return {};
    std::vector<std::uint32_t> out;
    out.reserve(static_cast<std::size_t>(s->Width()) * static_cast<std::size_t>(s->Height()));
    for (int y = 0; y < s->Height(); ++y) {
        const std::uint32_t* row = s->Pixels() + static_cast<std::ptrdiff_t>(y) * s->PitchPixels();
        out.insert(out.end(), row, row + s->Width());
    }
    return out;
}

std::uint32_t GameHost::pixel(int x, int y) {
    const TDirectDrawSurface* s = form_->DXDraw ? form_->DXDraw->Surface() : nullptr;
    if (!s || x < 0 || y < 0 || x >= s->Width() || y >= s->Height())
        throw std::out_of_range("pixel outside the back buffer");
    return s->Pixel(x, y);
}

void GameHost::saveScreenshot(const std::filesystem::path& path) {
    const TDirectDrawSurface* s = form_->DXDraw ? form_->DXDraw->Surface() : nullptr;
    if (!s || s->Width() <= 0) throw std::runtime_error("no back buffer to save");
    tw::platform::writePng(path.string(), s->Pixels(), s->Width(), s->Height(), s->PitchPixels(), false);
}

} // namespace tw::test
