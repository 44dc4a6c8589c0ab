// SPDX-License-Identifier: MIT
// The main window TmainForm: its components, its creation steps, the switch between windowed and
// full-screen display, the close request with the exit query, the focus handlers of the two frame
// timers, and the module-level cursor routine the whole shell uses.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "engine/DXInput.h"
#include "engine/DXSprite.h"
#include "game/GameContext.h"
#include "game/Replay.h"
#include "game/TickInput.h"
#include "graphics/DXDraws.h"
#include "graphics/DXForm.h"
#include "graphics/PictureCollection.h"
#include "online/ResultSubmission.h"
#include "shell/DXTimer.h"
#include "sound/DXSounds.h"

class TApplication;

class TmainForm : public TDXForm {
public:
    // window may be nullptr (no desktop window). Creates and loads the components, then runs
    // FormCreate, as the application does when it creates its main form. windowedThisRun, when
    // given, replaces the stored display choice until the player changes it; it is never saved.
    TmainForm(TApplication& application, tw::platform::Window* window,
              std::optional<bool> windowedThisRun = std::nullopt);
    ~TmainForm() override;

    // Components, in the order the form declares them.
    std::unique_ptr<TDXDraw> DXDraw;
    std::unique_ptr<TDXSpriteEngine> DXSpriteEngine1;
    std::unique_ptr<TDXImageList> DXImageList1;
    std::unique_ptr<TDXTimer> DXTimer1; // menu frames
    std::unique_ptr<TDXInput> DXInput1;
    std::unique_ptr<TDXTimer> DXTimer2; // game frames
    // The result submission's HTTP session, run on a worker so the window never freezes. Tests
    // point it at a server of their own and shorten its waits.
    std::unique_ptr<tw::online::ResultSubmission> IdHTTP1;
    std::unique_ptr<TDXWaveList> DXWaveList1;
    std::unique_ptr<TDXSound> DXSound1;

    // Whether creation stopped at an error; the program has then been told to end.
    bool CreationFailed() const { return creationFailed_; }

    // Form events.
    void FormCreate();
    void LoadWaves(); // "sound\gamesound.dxw"; every sound the game plays exists after it
    void FormClose(TCloseAction& Action);
    void ChangeMode();
    // The window was shown for the first time: the display sets itself up if nothing did before.
    void FormShown();
    // The window gained or lost the focus (before the timers hear of the application's change).
    void FormActivated(bool active);
    // The window's contents were uncovered: show the last frame again.
    void FormPaint();

    // Window messages of their own.
    void WMGetSysCommand(std::uint32_t command);
    void CptClk(int hitTest);
    void WMSysCommand(std::uint32_t command) override { WMGetSysCommand(command); }
    void WMNCLButtonDblClk(int hitTest) override { CptClk(hitTest); }

    // The timers' focus handlers.
    void DXTimer1Activate(TCustomDXTimer& Sender);
    void DXTimer1Deactivate(TCustomDXTimer& Sender);
    void DXTimer2Activate(TCustomDXTimer& Sender);
    void DXTimer2Deactivate(TCustomDXTimer& Sender);

    // The frame loops, the key and mouse handlers and the menu screens (MenuFrame, KeyHandling,
    // MenuCommands and MenuField define them; the game frame is the game's).
    void DXTimer1Timer(TCustomDXTimer& Sender, int LagCount); // menu frame
    void DXTimer2Timer(TCustomDXTimer& Sender, int LagCount); // game frame
    // Repeat: the key was already down (the platform's auto-repeat): only Backspace acts on it.
    void FormKeyDown(std::uint8_t& Key, std::uint8_t Shift, bool Repeat);
    void FormKeyUp(std::uint8_t& Key, std::uint8_t Shift);
    void FormKeyPress(char& Key);
    // A pad's button: the menu key it stands for (PadMenuKey), as if that key was pressed.
    void FormPadButton(tw::platform::PadButton button, bool down);
    void DXDrawClick();
    void DXDrawMouseDown(tw::platform::MouseButton Button, std::uint8_t Shift, int X, int Y);
    void DXDrawMouseMove(std::uint8_t Shift, int X, int Y);
    void DXDrawMouseUp(tw::platform::MouseButton Button, std::uint8_t Shift, int X, int Y);
    void CreateMenuField();                       // the menu screens, and the menu music
    void CreateMainMenu();                        // the main menu's six highlights
    void CreateSubMenu(const std::string& panel); // a sub-screen's panel picture
    void CreateOptions();                         // main-menu items 2, 3 and 4 open these screens
    void CreateScores();
    void CreateHelp();
    void ShowSelection();                          // only the selected item's highlight shows
    void CreateExit();                             // the exit query's items
    void DestroyMenu();                            // the current screen's items
    void KeepScreenUnderExitQuery();               // what the exit question covers, so "NO" can restore it
    void RestoreScreenUnderExitQuery();            // "NO": the covered screen or dialog exactly as it was
    void ShowMainMenuHighlight(std::uint8_t item); // only this main-menu highlight shows, silently
    void SetClosingWindowVisible(bool visible);    // the dialog frame sprite ClosingWindow
    void UpdateModeOptionSprites();                // "window" / "full" on the options screen
    void LoadConfig();                             // reads "config.dat" into Settings
    void BossKeyNameOf();                          // BossKeyName from BossKey
    void RunMenuCommand();                         // the selected item of the current screen or dialog
    void CreateGameField();                        // a new game: the game field, its music, the level intro
    // Plays a recorded game in the window from the menu: F runs it fast, Esc (or its end) goes back
    // to the high scores.
    void WatchReplay(TReplay replay);
    // Watches the replay kept for a table place, when it has one; false when it has none.
    bool WatchTableReplay(std::size_t place);
    TApplication& application() { return application_; }
    bool Watching() const { return watching_ != nullptr; }
    bool WatchingFast() const { return watchFast_; }
    void SetWatchingFast(bool fast) { watchFast_ = fast; }
    void StopWatching();
    // The replay of the game that just ended, until it was stored with its table entry.
    const std::optional<TReplay>& FinishedReplay() const { return finishedReplay_; }
    std::optional<TReplay> TakeFinishedReplay() { return std::exchange(finishedReplay_, std::nullopt); }
    // The replay of the result entered last, encoded, for the world high-score service; empty
    // when that game was not recorded.
    void KeepReplayToSend(std::string bytes) { replayToSend_ = std::move(bytes); }
    const std::string& ReplayToSend() const { return replayToSend_; }
    void CopyScoreToNewEntry(); // NewEntry's score := the game's score
    // The result to the world high-score service: "PLEASE WAIT..." while the worker sends, then
    // back to the menu's high scores, or "CAN'T CONNECT TO SERVER!" and the question again.
    void SendResult();

    // Writes "config.dat"; a failure is shown in a message box and the game goes on. Before
    // LoadConfig has run it writes nothing. The hook hears of every save after the write was
    // tried (tests count saves with it).
    std::function<void()> SaveConfigHook;
    // Hears of the end of every game, played or watched, before the screens after it change
    // anything (tests take the end state with it).
    std::function<void()> GameEndHook;
    void SaveConfig();
    // Puts the pointer back in the middle of the picture.
    void CentreCursor();

protected:
    void DoClose(TCloseAction& action) override { FormClose(action); }

private:
    GameContext MakeGameContext();
    // The tick's input from the input states and the mouse; after the tick, the mouse pushes the
    // diver took are spent.
    TTickInput ReadTickInput(int lagCount) const;
    void ForgetTakenPushes();
    // One tick of the game timer: the input (read, or the replay's), the game's tick, then the
    // steps of the screens after the last life. False when it went back to the menu and nothing
    // more may be drawn.
    bool RunGameTimerTick(int lagCount);
    void DrawGameFrame();
    void AddGameWindowSprites(TSprite& root);
    void DrawWatchingLine(TDirectDrawSurfaceCanvas& canvas);
    // The screens after the last life (GameOverScreens.cpp): "GAME OVER" has run out, so the name
    // entry or the menu (false); the name entry's blink and the failure's count; their drawing.
    bool EndGame();
    void StepShellScreens();
    void DrawShellOverlays(TDirectDrawSurfaceCanvas& canvas);
    void NameEntryOverlay(TDirectDrawSurfaceCanvas& canvas);
    void SendQueryOverlay(TDirectDrawSurfaceCanvas& canvas);
    void SendingOverlay(TDirectDrawSurfaceCanvas& canvas);
    void SendFailedOverlay(TDirectDrawSurfaceCanvas& canvas);
    // While sending: once the worker has ended, the failure screen or, after a success, the menu.
    // True when the menu has taken over and the game frame must draw nothing more.
    bool FinishSending();
    void ReturnFromGameToMenu();

    TApplication& application_;
    bool creationFailed_ = false;
    bool configLoaded_ = false; // SaveConfig writes nothing before LoadConfig has run
    TReplayRecorder recorder_;
    std::optional<TReplay> finishedReplay_;
    std::string replayToSend_;
    std::unique_ptr<TReplayPlayer> watching_;
    bool watchFast_ = false;
    // The display choice of the command line, and the one on file that saving keeps meanwhile.
    std::optional<bool> windowedThisRun_;
    std::uint8_t windowedOnFile_ = 1;
};

// Ticks a frame while a replay runs fast.
constexpr int FastForwardTicks = 8;

// The one main window while it exists.
extern TmainForm* mainForm;

// Forces the mouse pointer shown or hidden, whatever the display counter was.
void SetCursorVisible(bool show);
// The middle of the picture: in play the mouse steers by how far it moves from here, and the
// pointer is put back here.
constexpr int MouseCentreX = 400;
constexpr int MouseCentreY = 300;
