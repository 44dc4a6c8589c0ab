// SPDX-License-Identifier: MIT
// The screens after the last life, over the still field: the end of "GAME OVER", the entry of a
// result that reaches the local table, the question whether to send it, the wait while it is sent,
// and the failure; their steps in the game timer's tick, their drawing in the game frame. Their YES
// and NO are menu commands (MenuCommands.cpp).
#include "game/GameField.h"
#include "game/GameState.h"
#include "game/TablePlace.h"
#include "shell/MainForm.h"
#include "shell/MenuField.h"
#include "shell/MenuFrame.h"
#include "state/Settings.h"
#include "state/ScreenFlow.h"
#include "state/ShellState.h"

#include <optional>
#include <string>

namespace {

// "CAN'T CONNECT TO SERVER!" shows this long (ms) before the question comes back.
constexpr std::int32_t SendFailedTime = 1500;

// The name entry writes the country in capitals of a to z only.
std::string Capitals(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

int CentredX(TDirectDrawSurfaceCanvas& canvas, const std::string& text) { return 400 - canvas.TextWidth(text) / 2; }

TColor ElementColor(std::uint8_t element) { return Shell.MenuSelection == element ? MenuAnswerColor : MenuTextColor; }

// "YES" / "NO" at y, each red when chosen; the "/" between them is always light blue.
void DrawAnswers(TDirectDrawSurfaceCanvas& canvas, int y, bool noChosen) {
    canvas.Font.Color = ElementColor(1);
    canvas.TextOut(360, y, "YES");
    canvas.Font.Color = MenuTextColor;
    canvas.TextOut(405, y, "/");
    canvas.Font.Color = noChosen ? MenuAnswerColor : MenuTextColor;
    canvas.TextOut(415, y, "NO");
}

void DrawSendingTitle(TDirectDrawSurfaceCanvas& canvas) {
    SetMenuTextStyle(canvas);
    canvas.TextOut(200, 165, "SENDING RESULTS");
}

} // namespace

bool TmainForm::EndGame() {
    if (GameEndHook) GameEndHook();
    Game.TablePlace = FindTablePlace();
    SetCursorVisible(true);
    if (watching_) {
        StopWatching();
        return false;
    }
    if (recorder_.Recording()) finishedReplay_ = recorder_.Finish();
    if (Game.TablePlace == 11) {
        ReturnFromGameToMenu();
        return false;
    }
    SetGameState(gsNameEntry);
    SetClosingWindowVisible(true);
    SetMenuScreen(msNameEntry);
    CreateExit();
    Shell.MenuSelection = aiName;
    Shell.TextEditing = 1;
    return true;
}

void TmainForm::StepShellScreens() {
    if (Shell.GameState == gsNameEntry) ++Shell.BlinkCounter;
    if (Shell.GameState == gsSendFailed) {
        Shell.StateTimer -= FrameIntervalMs;
        // The question comes back with the answer the player gave.
        if (Shell.StateTimer <= 0) SetGameState(gsSendQuery);
    }
}

void TmainForm::DrawShellOverlays(TDirectDrawSurfaceCanvas& canvas) {
    NameEntryOverlay(canvas);
    SendQueryOverlay(canvas);
    SendingOverlay(canvas);
    SendFailedOverlay(canvas);
    if (Shell.GameState == gsExitQuery) {
        SetMenuTextStyle(canvas);
        DrawExitQuery(canvas);
    }
}

void TmainForm::NameEntryOverlay(TDirectDrawSurfaceCanvas& canvas) {
    if (Shell.GameState != gsNameEntry) return;
    SetMenuTextStyle(canvas);
    canvas.TextOut(200, 165, "YOUR SCORE IS " + std::to_string(Game.Score));
    canvas.TextOut(240, 230, "PLEASE, ENTER YOUR NAME:");
    const std::string countryTitle = "YOUR COUNTRY:";
    canvas.TextOut(CentredX(canvas, countryTitle), 290, countryTitle);

    // The cursor shows in the first half of every 32 frames here (the options' in the second).
    const bool cursor = Shell.TextEditing == 1 && Shell.BlinkCounter % 32 < 16;
    // A field is placed by its text alone, so it stays put while the cursor blinks.
    auto field = [&](std::uint8_t element, const std::string& text, int y) {
        canvas.Font.Color = ElementColor(element);
        const bool withCursor = cursor && Shell.MenuSelection == element;
        canvas.TextOut(CentredX(canvas, text), y, withCursor ? text + "|" : text);
    };
    field(aiName, Settings.NewEntry.Name.Text(), 260);
    field(aiCountry, Capitals(Settings.Country.Text()), 320);
    // Only the element chosen is red: with a text field chosen both answers are light blue.
    DrawAnswers(canvas, 350, Shell.MenuSelection == aiNo);
}

void TmainForm::SendQueryOverlay(TDirectDrawSurfaceCanvas& canvas) {
    if (Shell.GameState != gsSendQuery) return;
    DrawSendingTitle(canvas);
    canvas.TextOut(270, 240, "SEND THE RESULT TO");
    canvas.TextOut(240, 280, "WORLD'S HIGHSCORE PAGE?");
    DrawAnswers(canvas, 320, Shell.MenuSelection != aiYes);
}

void TmainForm::SendingOverlay(TDirectDrawSurfaceCanvas& canvas) {
    if (Shell.GameState != gsSending) return;
    DrawSendingTitle(canvas);
    canvas.Font.Color = MenuAnswerColor;
    canvas.TextOut(320, 240, "PLEASE WAIT...");
}

void TmainForm::SendFailedOverlay(TDirectDrawSurfaceCanvas& canvas) {
    if (Shell.GameState != gsSendFailed) return;
    DrawSendingTitle(canvas);
    canvas.Font.Color = MenuAnswerColor;
    canvas.TextOut(240, 240, "CAN'T CONNECT TO SERVER!");
}

void TmainForm::CopyScoreToNewEntry() { Settings.NewEntry.Score = Game.Score; }

void TmainForm::SendResult() {
    SetGameState(gsSending);
    IdHTTP1->Start(Settings.NewEntry.Name.Text(), Game.Score, Settings.Country.Text(), replayToSend_);
}

bool TmainForm::FinishSending() {
    const std::optional<bool> sent = IdHTTP1->TakeOutcome();
    if (!sent) return false;
    if (!*sent) {
        Shell.StateTimer = SendFailedTime;
        SetGameState(gsSendFailed);
        return false;
    }
    // Sent: the question is answered "NO" for the player, which shows the menu's high scores.
    SetGameState(gsSendQuery);
    Shell.MenuSelection = aiNo;
    RunMenuCommand();
    return true;
}
