// SPDX-License-Identifier: MIT
// The main window's creation, mode switch, close request and focus handlers.
#include "shell/MainForm.h"

#include "game/GameContext.h"
#include "game/GameField.h"
#include "game/GameState.h"
#include "platform/MessageBox.h"
#include "platform/PathResolver.h"
#include "platform/Random.h"
#include "platform/VirtualKeys.h"
#include "platform/Window.h"
#include "shell/Application.h"
#include "shell/MenuCommands.h"
#include "shell/MenuField.h"
#include "shell/MenuFrame.h"
#include "shell/Music.h"
#include "shell/TableReplays.h"
#include "state/ScreenFlow.h"
#include "state/ShellState.h"
#include "state/Settings.h"

#include <exception>
#include <string>

TmainForm* mainForm = nullptr;

void SetCursorVisible(bool show) {
    if (!mainForm || !mainForm->Window()) return;
    tw::platform::Window& window = *mainForm->Window();
    int count = window.showCursor(true);
    if (show) {
        while (count < 0) count = window.showCursor(true);
    } else {
        while (count >= 0) count = window.showCursor(false);
    }
}

TmainForm::TmainForm(TApplication& application, tw::platform::Window* window, std::optional<bool> windowedThisRun)
    : TDXForm(window), application_(application), windowedThisRun_(windowedThisRun) {
    mainForm = this;
    application_.SetMainForm(this);
    OnClosed = [this] { application_.Terminate(); };

    // The components as the form describes them; properties are set while loading, so that the
    // timers and devices start only once all of them are in place.
    DXDraw = std::make_unique<TDXDraw>(window);
    DXDraw->SetBounds(0, 0, tw::platform::Window::ClientWidth, tw::platform::Window::ClientHeight);
    DXDraw->Display.SetWidth(800);
    DXDraw->Display.SetHeight(600);
    DXDraw->Display.SetBitCount(32);
    DXDraw->Display.FixedBitCount = true;
    DXDraw->Display.FixedRatio = true;
    DXDraw->Display.FixedSize = true;
    DXDraw->SetSurfaceWidth(800);
    DXDraw->SetSurfaceHeight(600);
    DXDraw->AutoInitialize = true;
    DXDraw->SetOptions({doAllowReboot, doWaitVBlank, doCenter, doFlip, doDirectX7Mode, doHardware, doSelectDriver});

    DXSpriteEngine1 = std::make_unique<TDXSpriteEngine>();
    DXSpriteEngine1->SetDXDraw(DXDraw.get());

    DXImageList1 = std::make_unique<TDXImageList>();
    DXImageList1->SetDXDraw(DXDraw.get());

    DXTimer1 = std::make_unique<TDXTimer>(application_);
    DXTimer1->BeginLoading();
    DXTimer1->SetActiveOnly(true);
    DXTimer1->SetEnabled(true);
    DXTimer1->SetInterval(FrameIntervalMs);
    DXTimer1->OnTimer = [this](TCustomDXTimer& s, int lag) { DXTimer1Timer(s, lag); };
    DXTimer1->OnActivate = [this](TCustomDXTimer& s) { DXTimer1Activate(s); };
    DXTimer1->OnDeactivate = [this](TCustomDXTimer& s) { DXTimer1Deactivate(s); };

    DXInput1 = std::make_unique<TDXInput>([this] { return application_.Active(); });
    DXInput1->ActiveOnly = true;
    DXInput1->SetUseDirectInput(true);
    DXInput1->Keyboard().SetEnabled(true);
    DXInput1->Keyboard().BindInputStates = true;
    DXInput1->Keyboard().KeyAssigns = GameKeyAssigns();
    DXInput1->Joystick().SetEnabled(true);
    DXInput1->Joystick().BindInputStates = true;
    DXInput1->Joystick().AutoCenter = true;
    DXInput1->Joystick().ID = 0;
    DXInput1->Joystick().EveryDevice = true;
    DXInput1->Mouse().SetEnabled(false);
    DXInput1->Mouse().BindInputStates = false;

    DXTimer2 = std::make_unique<TDXTimer>(application_);
    DXTimer2->BeginLoading();
    DXTimer2->SetActiveOnly(false);
    DXTimer2->SetEnabled(false);
    DXTimer2->SetInterval(FrameIntervalMs);
    DXTimer2->OnTimer = [this](TCustomDXTimer& s, int lag) { DXTimer2Timer(s, lag); };
    DXTimer2->OnActivate = [this](TCustomDXTimer& s) { DXTimer2Activate(s); };
    DXTimer2->OnDeactivate = [this](TCustomDXTimer& s) { DXTimer2Deactivate(s); };

    IdHTTP1 = std::make_unique<tw::online::ResultSubmission>(ScoresServiceBase());

    DXSound1 = std::make_unique<TDXSound>();
    DXSound1->AutoInitialize = true;
    DXWaveList1 = std::make_unique<TDXWaveList>();
    DXWaveList1->SetDXSound(DXSound1.get());

    SetBorderStyle(bsSingle);
    SetPosition(poScreenCenter);

    DXTimer1->Loaded();
    DXInput1->Loaded();
    DXTimer2->Loaded();
    DXSound1->Loaded();

    // A failing step is shown like any other error. A window whose creation stopped half-way has no
    // menu to play from and no way to be closed, so the program then ends.
    try {
        FormCreate();
    } catch (...) {
        application_.HandleException(std::current_exception());
        creationFailed_ = true;
        DXTimer2->SetEnabled(false);
        DXTimer1->SetEnabled(false);
        application_.Terminate();
    }
}

TmainForm::~TmainForm() {
    // Timers go first: none of them may tick into a half-destroyed form.
    DXTimer2.reset();
    DXTimer1.reset();
    DXDraw->FormDestroying();
    DXWaveList1->SetDXSound(nullptr);
    if (application_.MainForm() == this) application_.SetMainForm(nullptr);
    if (mainForm == this) mainForm = nullptr;
}

namespace {

// Every sound the game plays by name.
constexpr const char* GameSoundNames[] = {"bonus",   "fishdie", "herodieair", "herodiefish", "herogun",
                                          "heronet", "looser",  "menu",       "nextlevel"};

} // namespace

void TmainForm::LoadWaves() {
    // Sound is not needed to play: a sound file that cannot be loaded leaves the game silent, as
    // without a sound device, and a sound that is missing or cannot be played is silent alone.
    // Either way the player is told once, here, and never again on each play.
    TWaveCollection& waves = DXWaveList1->Items();
    const std::string path = tw::platform::resolvePath("sound\\gamesound.dxw");
    std::string problems;
    bool fileLoaded = false;
    try {
        waves.LoadFromFile(path);
        fileLoaded = true;
        for (const std::string& line : waves.Unplayable()) problems += line + "\n";
    } catch (const std::exception& e) {
        waves.Clear();
        problems = std::string(e.what()) + "\nThe game goes on silent.";
    }
    for (const char* name : GameSoundNames) {
        if (waves.IndexOf(name) >= 0) continue;
        waves.Add().SetName(name); // an empty wave never sounds
        if (fileLoaded) problems += "Wave '" + std::string(name) + "' not found\n";
    }
    if (fileLoaded && !problems.empty()) problems += "These sounds of \"" + path + "\" are silent; the game goes on.";
    if (!problems.empty()) tw::platform::showMessageBox(problems);
}

void TmainForm::FormCreate() {
    // What the game uses of the window stays the same for the window's life.
    SetGameContext(MakeGameContext());
    LoadWaves();
    tw::platform::randomize();
    LoadConfig();
    if (windowedThisRun_) {
        windowedOnFile_ = Settings.Windowed;
        Settings.Windowed = *windowedThisRun_ ? 1 : 0;
    }
    BossKeyNameOf();
    ChangeMode();
    // The running timer is disabled before the other is enabled: they share one idle hook.
    DXTimer2->SetEnabled(false);
    DXTimer1->SetEnabled(true);
    Shell.StateBeforePause = gsMenu;
    SetGameState(gsMenu);
    CreateMenuField();
}

void TmainForm::ChangeMode() {
    DXDraw->Finalize();
    if (Settings.Windowed != 0) {
        RestoreWindowPlacement();
        SetBorderStyle(bsSingle);
        DXDraw->SetOptions(DXDraw->Options() - TDXDrawOptions{doFullScreen});
        SetPosition(poScreenCenter);
    } else {
        SaveWindowPlacement();
        SetBorderStyle(bsNone);
        DXDraw->SetOptions(DXDraw->Options() + TDXDrawOptions{doFullScreen});
    }
    if (Shell.MenuScreen == msOptions) UpdateModeOptionSprites();
    DXDraw->Initialize();
}

void TmainForm::FormClose(TCloseAction& Action) {
    if (Shell.CloseConfirmed == 0) {
        // Before the window was fully made nothing could show or answer the question.
        if (Shell.GameState == gsNone) return;
        Action = caNone;
        if (Shell.GameState == gsGameOver) return;
        // Asked again while the query is open: saving the query as the screen beneath it would
        // lose the way back to the menu (and "NO" would return to the query itself).
        if (Shell.MenuScreen == msExitQuery) return;
        KeepScreenUnderExitQuery();
        Shell.SavedGameState = Shell.GameState;
        Shell.SavedMenuScreen = Shell.MenuScreen;
        SetMenuScreen(msExitQuery);
        Shell.MenuSelection = aiYes;
        // The question takes no typing; "NO" gives the field back.
        Shell.TextEditing = 0;
        SetClosingWindowVisible(true);
        if (IsGameInPlay(Shell.GameState)) {
            SetCursorVisible(true);
            SetGameState(gsExitQuery);
        } else if (!IsMenuState(Shell.GameState)) {
            // The game's own dialogs: the game frame draws the question only in this state, and
            // keys must never answer a question that is not on screen.
            SetGameState(gsExitQuery);
        }
        CreateExit();
        return;
    }
    if (Shell.GameState == gsExitQuery && IsGameInPlay(Shell.SavedGameState)) {
        // "YES" during a game ends the game first; the game-over sequence runs on the game timer.
        EndGameAtPlayersWish();
        recorder_.MarkQuit();
        Shell.CloseConfirmed = 0;
        Action = caNone;
        SetClosingWindowVisible(false);
        DestroyMenu();
        if (Settings.SoundOn) DXWaveList1->Items().Find("looser").Play(false);
    }
}

void TmainForm::WMGetSysCommand(std::uint32_t command) {
    if (command == SC_MAXIMIZE) {
        // Maximising means full screen here; the window itself is never maximised.
        Settings.Windowed = 0;
        ChangeMode();
        SaveConfig();
        return;
    }
    TDXForm::WMSysCommand(command);
}

void TmainForm::CptClk(int hitTest) {
    if (hitTest == HTCAPTION) {
        Settings.Windowed = 0;
        ChangeMode();
        return;
    }
    TDXForm::WMNCLButtonDblClk(hitTest);
}

void TmainForm::DXTimer1Activate(TCustomDXTimer&) {
    if (IsMenuState(Shell.GameState) && Settings.MusicOn)
        LoadAndPlaySong(std::string(MenuSongFile), Settings.MusicOn, Shell.SongHandle);
}

void TmainForm::DXTimer1Deactivate(TCustomDXTimer&) { SongStop(Shell.SongHandle); }

void TmainForm::DXTimer2Activate(TCustomDXTimer&) {
    if (Shell.GameState == gsPlaying) {
        SetCursorVisible(false);
        CentreCursor();
    }
    if (!IsMenuState(Shell.GameState) && Settings.MusicOn)
        LoadAndPlaySong(std::string(GameSongFile), Settings.MusicOn, Shell.SongHandle);
}

void TmainForm::DXTimer2Deactivate(TCustomDXTimer&) {
    SongStop(Shell.SongHandle);
    const TGameState s = Shell.GameState;
    if (IsRunningGameState(s) || s == gsGameOver) {
        SetCursorVisible(true);
        Shell.StateBeforePause = s;
        SetGameState(gsPaused);
    }
}

void TmainForm::FormShown() { DXDraw->FormShown(); }

void TmainForm::FormActivated(bool active) {
    DXDraw->FormActivate(active);
    if (active) DXInput1->WindowActivated();
}

void TmainForm::FormPaint() { DXDraw->Paint(); }

// The game's sprites and rules live in the game layer; the window hands it what it needs.
GameContext TmainForm::MakeGameContext() {
    GameContext context;
    context.SpriteEngine = DXSpriteEngine1.get();
    context.Pictures = &DXImageList1->Items();
    context.Waves = &DXWaveList1->Items();
    context.ShowCursor = [](bool show) { SetCursorVisible(show); };
    context.CentreCursor = [this] { CentreCursor(); };
    context.AddWindowSprites = [this](TSprite& root) { AddGameWindowSprites(root); };
    return context;
}

TTickInput TmainForm::ReadTickInput(int lagCount) const {
    const TDXInputStates held = DXInput1->InputStates;
    TTickInput input;
    auto hold = [&](bool on, TTickInput::THeld bit) {
        if (on) input.Held = static_cast<std::uint8_t>(input.Held | bit);
    };
    hold(held.Has(InputUp), TTickInput::tiUp);
    hold(held.Has(InputDown), TTickInput::tiDown);
    hold(held.Has(InputLeft), TTickInput::tiLeft);
    hold(held.Has(InputRight), TTickInput::tiRight);
    hold(held.Has(InputButton1) || Shell.MouseFireHeld, TTickInput::tiFire);
    hold(held.Has(InputButton2) || Shell.MouseNetHeld, TTickInput::tiNet);
    const std::int32_t pushes[4] = {Shell.MousePushLeft, Shell.MousePushRight, Shell.MousePushUp, Shell.MousePushDown};
    for (std::size_t i = 0; i < 4; ++i) input.Push[i] = static_cast<std::uint8_t>(pushes[i]);
    input.LagCount = lagCount;
    return input;
}

void TmainForm::ForgetTakenPushes() {
    std::int32_t* pushes[4] = {&Shell.MousePushLeft, &Shell.MousePushRight, &Shell.MousePushUp, &Shell.MousePushDown};
    for (std::size_t i = 0; i < 4; ++i)
        if (Game.PushesTaken & (1u << i)) *pushes[i] = 0;
    Game.PushesTaken = 0;
}

void TmainForm::DXTimer2Timer(TCustomDXTimer&, int LagCount) {
    // A lost display shows nothing and holds the game still.
    if (!DXDraw->CanDraw()) return;
    DXInput1->Update();
    const int ticks = watching_ && watchFast_ ? FastForwardTicks : 1;
    for (int i = 0; i < ticks; ++i)
        if (!RunGameTimerTick(LagCount)) return;
    DrawGameFrame();
}

bool TmainForm::RunGameTimerTick(int LagCount) {
    const bool recorded = IsRecordedGameState(Shell.GameState);
    TTickInput input;
    if (watching_) {
        if (!recorded) return true;
        if (watching_->AtEnd()) {
            StopWatching();
            return false;
        }
        const TReplayTick& tick = watching_->Next();
        if (tick.Quit) EndGameAtPlayersWish();
        input = tick.Input;
    } else {
        input = ReadTickInput(LagCount);
        if (recorded) recorder_.Add(input);
    }
    RunGameTick(input);
    if (watching_) {
        if (!watching_->CheckAfterTick()) {
            const std::uint32_t tick = watching_->TicksPlayed();
            StopWatching();
            application_.HandleException(std::make_exception_ptr(
                EReplayError("The replay went another way than its game by tick " + std::to_string(tick))));
            return false;
        }
    } else {
        ForgetTakenPushes();
        if (recorded) recorder_.TickDone();
    }
    if (GameOverHasRunOut() && !EndGame()) return false;
    if (Shell.GameState == gsSending && FinishSending()) return false;
    StepShellScreens();
    return true;
}

void TmainForm::WatchReplay(TReplay replay) {
    watching_ = std::make_unique<TReplayPlayer>(std::move(replay));
    watchFast_ = false;
    // As a new game starts from the main menu: the running timer goes first.
    DXTimer1->SetEnabled(false);
    DXTimer2->SetEnabled(true);
    SetGameState(gsPlaying);
    CreateGameField();
}

bool TmainForm::WatchTableReplay(std::size_t place) {
    if (place < 1 || place > Settings.HighScores.size()) return false;
    std::optional<TReplay> replay = TableReplay(place, Settings.HighScores[place - 1].Score);
    if (!replay) return false;
    WatchReplay(std::move(*replay));
    return true;
}

void TmainForm::StopWatching() {
    if (!watching_) return;
    watching_.reset();
    watchFast_ = false;
    ReturnFromGameToMenu();
    // Back on the high scores, where the replay was chosen.
    Shell.MenuSelection = msScores;
    CreateScores();
}

void TmainForm::DrawWatchingLine(TDirectDrawSurfaceCanvas& canvas) {
    canvas.Font.Size = 16;
    canvas.Font.Color = MenuTextColor;
    canvas.TextOut(250, 574, watchFast_ ? "REPLAY x8   F: SLOWER   ESC: BACK" : "REPLAY   F: FASTER   ESC: BACK");
}

void TmainForm::DrawGameFrame() {
    TDirectDrawSurface& back = *DXDraw->Surface();
    back.Fill(0);
    DXSpriteEngine1->Draw();
    TDirectDrawSurfaceCanvas& canvas = back.Canvas();
    SetMenuTextStyle(canvas);
    DrawHeadUp(canvas);
    DrawGameOverlays(canvas);
    DrawShellOverlays(canvas);
    if (watching_) DrawWatchingLine(canvas);
    canvas.Release();
    DXDraw->Flip();
}

void TmainForm::ReturnFromGameToMenu() {
    SetGameState(gsMenu);
    DXSpriteEngine1->Engine().FreeChildren();
    DXTimer2->SetEnabled(false);
    CreateMenuField();
    DXTimer1->SetEnabled(true);
}

void TmainForm::AddGameWindowSprites(TSprite& root) {
    TPictureCollection& pictures = DXImageList1->Items();
    auto* background = new TMenuBackground(&root);
    background->SetMapSize(1, 1);
    background->Image = pictures.Find("back");
    background->Tiled = true;
    background->Visible = true;
    background->SetZ(gzBackground);
    background->Width = background->Image->Width();
    background->Height = background->Image->Height();
    Menu.Background = background;

    auto* frame = new TClosingWindow(&root);
    frame->Image = pictures.ItemAt(1);
    frame->X = 188;
    frame->Y = 160;
    frame->SetZ(gzStatus);
    frame->Visible = false;
    frame->Width = frame->Image->Width();
    frame->Height = frame->Image->Height();
    Menu.ClosingWindow = frame;
}

void TmainForm::CreateGameField() {
    try {
        // The game's draws from the random generator start with its field.
        if (watching_)
            watching_->Begin();
        else
            recorder_.Start();
        StartGameField();
    } catch (...) {
        // A field that cannot be built is never played: the error shows once and the menu returns.
        recorder_.Cancel();
        watching_.reset();
        application_.HandleException(std::current_exception());
        SetMenuScreen(msMain);
        ReturnFromGameToMenu();
        return;
    }
    if (Settings.MusicOn) LoadAndPlaySong(std::string(GameSongFile), Settings.MusicOn, Shell.SongHandle);
    CentreCursor();
}

void TmainForm::CentreCursor() {
    if (Window()) Window()->warpCursor(MouseCentreX, MouseCentreY);
}
