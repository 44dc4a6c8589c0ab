// SPDX-License-Identifier: MIT
// The menu frame loop DXTimer1Timer and the texts it writes over the menu's sprites.
#include "shell/MenuFrame.h"

#include "graphics/Surface.h"
#include "shell/MainForm.h"
#include "shell/MenuField.h"
#include "state/ShellState.h"
#include "state/Settings.h"

#include <string>

namespace {

const TMenuItemRect& itemRect(std::uint8_t screen, std::uint8_t item) { return Menu.MenuItemRect[screen][item]; }

// "YES" / "NO" at the dialog's items 1 and 2, the chosen one in red.
void drawAnswers(TDirectDrawSurfaceCanvas& canvas, std::uint8_t screen) {
    const bool yes = Shell.MenuSelection == aiYes;
    const TMenuItemRect& yesRect = itemRect(screen, aiYes);
    const TMenuItemRect& noRect = itemRect(screen, aiNo);
    canvas.Font.Color = yes ? MenuAnswerColor : MenuTextColor;
    canvas.TextOut(yesRect.X, yesRect.Y, "YES");
    canvas.Font.Color = MenuTextColor;
    canvas.TextOut(405, yesRect.Y, "/");
    canvas.Font.Color = yes ? MenuTextColor : MenuAnswerColor;
    canvas.TextOut(noRect.X, noRect.Y, "NO");
    canvas.Font.Color = MenuTextColor;
}

} // namespace

void SetMenuTextStyle(TDirectDrawSurfaceCanvas& canvas) {
    canvas.Brush.Style = bsClear;
    canvas.Font.Style = 0;
    canvas.Pen.Style = psSolid;
    canvas.Font.Name = "Arial";
    canvas.Font.Size = MenuFontSize;
    canvas.Font.Color = MenuTextColor;
}

std::string UpperCaseText(std::string_view text) {
    std::string upper(text);
    for (char& ch : upper) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
            ch = static_cast<char>(c - 0x20);
        else if (c == 0xFF) // y with diaeresis has its capital elsewhere in the code page
            ch = static_cast<char>(0x9F);
        else if (c == 0x9A || c == 0x9C || c == 0x9E) // s, oe and z with caron
            ch = static_cast<char>(c - 0x10);
    }
    return upper;
}

void DrawOptionsTexts(TDirectDrawSurfaceCanvas& canvas) {
    std::string country(1, ' ');
    country += UpperCaseText(Settings.Country.Text());
    if (Shell.TextEditing == 1) {
        ++Shell.BlinkCounter;
        if (TextCursorShown(Shell.BlinkCounter)) country += "|";
    }
    const TMenuItemRect& countryRect = itemRect(msOptions, oiCountry);
    canvas.TextOut(countryRect.X, countryRect.Y, country);
    const TMenuItemRect& bossRect = itemRect(msOptions, oiBossKey);
    canvas.TextOut(bossRect.X, bossRect.Y, Shell.BossKeyName);

    // The back item has its own highlight; the options themselves are framed.
    if (Shell.MenuSelection >= oiWindowed && Shell.MenuSelection <= oiBossKey) {
        const TMenuItemRect& r = itemRect(msOptions, Shell.MenuSelection);
        canvas.Pen.Width = 2;
        canvas.Pen.Color = MenuTextColor;
        canvas.Rectangle(r.X, r.Y, r.X + r.W, r.Y + r.H);
    }
}

std::size_t HighScoreRowAt(int x, int y) {
    if (x < HighScoreRowLeft || x >= HighScoreRowRight) return 0;
    for (int n = 1; n <= HighScoreCount; ++n) {
        const int top = HighScoreRowTop + HighScoreRowHeight * n;
        if (y >= top && y < top + HighScoreRowHeight) return static_cast<std::size_t>(n);
    }
    return 0;
}

void DrawHighScoreTable(TDirectDrawSurfaceCanvas& canvas) {
    for (int n = 1; n <= HighScoreCount; ++n) {
        const THighScoreEntry& entry = Settings.HighScores[static_cast<std::size_t>(n - 1)];
        const int y = HighScoreRowTop + HighScoreRowHeight * n;
        canvas.TextOut(60, y, std::to_string(n));
        canvas.TextOut(130, y, entry.Name.Text());
        canvas.TextOut(340, y, std::to_string(entry.Score));
    }
}

void DrawExitQuery(TDirectDrawSurfaceCanvas& canvas) {
    canvas.Font.Color = MenuTextColor;
    canvas.TextOut(200, 165, "EXIT");
    canvas.TextOut(320, 270, "EXIT THE GAME?");
    drawAnswers(canvas, msExitQuery);
}

void DrawClearScoresQuery(TDirectDrawSurfaceCanvas& canvas) {
    canvas.Font.Color = MenuTextColor;
    canvas.TextOut(200, 165, "CLEAR SCORES");
    canvas.TextOut(270, 250, "DO YOU WANT TO CLEAR");
    canvas.TextOut(270, 290, "THE HIGH SCORE TABLE?");
    drawAnswers(canvas, msClearScores);
}

void DrawBossKeyQuery(TDirectDrawSurfaceCanvas& canvas) {
    canvas.Font.Color = MenuTextColor;
    canvas.TextOut(275, 250, "PRESS ANY KEY TO SET");
    canvas.TextOut(310, 280, "NEW BOSS KEY");
}

void DrawMenuScreenTexts(TDirectDrawSurfaceCanvas& canvas, std::uint8_t screen) {
    switch (screen) {
    case msOptions: DrawOptionsTexts(canvas); break;
    case msScores: DrawHighScoreTable(canvas); break;
    case msExitQuery: DrawExitQuery(canvas); break;
    case msClearScores: DrawClearScoresQuery(canvas); break;
    case msBossKey: DrawBossKeyQuery(canvas); break;
    default: break; // the main menu and help carry their texts in their pictures
    }
}

void TmainForm::DXTimer1Timer(TCustomDXTimer&, int LagCount) {
    // A lost display shows nothing and holds the sprites still.
    if (!DXDraw->CanDraw()) return;
    DXInput1->Update();
    DXSpriteEngine1->Move(LagCount);
    DXSpriteEngine1->FreeDead();
    TDirectDrawSurface& back = *DXDraw->Surface();
    back.Fill(0);
    DXSpriteEngine1->Draw();
    TDirectDrawSurfaceCanvas& canvas = back.Canvas();
    SetMenuTextStyle(canvas);
    DrawMenuScreenTexts(canvas, Shell.MenuScreen);
    canvas.Release();
    DXDraw->Flip();
}
