// SPDX-License-Identifier: MIT
// The headless game host: the real main window on SDL's dummy video and audio drivers, a fake clock,
// seeded random numbers, synthetic key, text, mouse and focus events delivered through the same
// dispatcher as the event loop's, ticks run on demand, and the back buffer read or saved as PNG.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/Window.h"
#include "shell/Application.h"
#include "shell/MainForm.h"

namespace tw::test {

// Puts bytes in place of a file of a run folder. The file is removed first: in a run folder made
// from the game data it is a link to the build's copy, which must stay whole.
void replaceRunFile(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);
// A whole file's bytes (through a link).
std::vector<std::uint8_t> readRunFile(const std::filesystem::path& file);

class GameHost {
public:
    struct Options {
        std::uint32_t seed = 12345;     // the random generator's seed after creation
        std::uint32_t startTime = 1000; // the fake clock at creation
        // The folder the game runs in (its data and "config.dat"). Empty: a fresh temporary folder
        // holding an empty wave collection, removed again with the host.
        std::filesystem::path runFolder;
        bool focus = true;    // the window gains the focus once created, as on a desktop
        bool musicOn = false; // the stored music setting before the form is created
        // The stored sound setting. Game sounds need the game data: a host on the minimal sounds
        // plays games with the sound off.
        bool soundOn = true;
        // A fresh run folder gets a "config.dat" with the default settings and musicOn; false leaves
        // the folder without one, so the game makes its own at creation.
        bool writeConfig = true;
        // With a fresh run folder: link the game data the build made (pictures, sounds, songs) into
        // it instead of the empty wave collection. Removing a linked file leaves the build's copy.
        bool gameData = false;
        // Runs on the run folder just before the main window is created (after "config.dat" was
        // written): a test damages or replaces files there.
        std::function<void(const std::filesystem::path&)> prepare;
        // The command line's --windowed (true) or --fullscreen (false).
        std::optional<bool> windowedThisRun;
    };

    GameHost();
    explicit GameHost(Options options);
    ~GameHost();
    GameHost(const GameHost&) = delete;
    GameHost& operator=(const GameHost&) = delete;

    TApplication& application() { return application_; }
    TmainForm& form() { return *form_; }
    tw::platform::Window& window() { return *window_; }
    tw::platform::FakeClock& clock() { return clock_; }
    const std::filesystem::path& runFolder() const { return runFolder_; }

    // Keys by virtual-key code (sided Shift/Ctrl/Alt codes allowed); text as typed characters.
    void keyDown(std::uint8_t vk, bool repeat = false);
    void keyUp(std::uint8_t vk);
    void pressKey(std::uint8_t vk); // down, then up
    void typeText(const std::string& utf8);
    // Mouse positions in back-buffer pixels.
    void mouseMove(int x, int y);
    void mouseDown(tw::platform::MouseButton button, int x, int y);
    void mouseUp(tw::platform::MouseButton button, int x, int y);
    void click(int x, int y); // move, left down, left up
    void focusLost();
    void focusGained();
    void closeRequest();
    void maximizeRequest();
    void captionDoubleClick();

    // Runs n frames: each time the clock moves on to when the running timer's next tick is due
    // (16 ms when none runs) and the idle hook gets its turn. Returns the ticks that fired.
    int runTicks(int n);
    // Moves the clock by ms, then gives the idle hook one turn. Returns whether a tick fired.
    bool advance(std::uint32_t ms);
    // Ticks fired since the host was made.
    int ticksRun() const { return ticksRun_; }
    // The game's state as text, headed by the ticks run: what a replay is compared by.
    std::string stateDump() const;

    // Whether the message loop would have ended (the main window closed).
    bool closed() const { return application_.Terminated(); }

    // The back buffer as 0x00RRGGBB pixels, 800 x 600 rows top to bottom; empty without a display.
    std::vector<std::uint32_t> backBuffer();
    std::uint32_t pixel(int x, int y);
    void saveScreenshot(const std::filesystem::path& path);

    // What the game showed in message boxes and opened with the desktop, in order.
    const std::vector<std::string>& messages() const { return messages_; }
    const std::vector<std::string>& openedTargets() const { return opened_; }

private:
    void deliver(const tw::platform::Event& event);
    void mouseButton(tw::platform::Event::Type type, tw::platform::MouseButton button, int x, int y);

    Options options_;
    std::filesystem::path previousFolder_;
    std::filesystem::path runFolder_;
    bool ownsRunFolder_ = false;
    tw::platform::FakeClock clock_;
    std::unique_ptr<tw::platform::ScopedClock> clockScope_;
    std::unique_ptr<tw::platform::Window> window_;
    TApplication application_;
    tw::platform::EventDispatcher dispatcher_;
    std::unique_ptr<TmainForm> form_;
    std::vector<std::string> messages_;
    int ticksRun_ = 0;
    std::vector<std::string> opened_;
};

} // namespace tw::test
