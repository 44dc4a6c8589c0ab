// SPDX-License-Identifier: MIT
// The menus and frames: main menu background with the title and the six main texts, their
// highlights, the sub-screen panels with their labels, option toggles, small highlights, the
// dialog frame, the status bar, and the help pages (their texts are in assets/pictures/help).
#include "Common.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace art {
namespace {

using namespace look;

// Where the game puts things on the menus (screen pixels).
constexpr int kMainX = 489, kMainTop = 177, kMainStep = 44;
constexpr int kPanelX = 31, kPanelY = 175, kPanelW = 450, kPanelH = 353;
const char* const kMainTexts[6] = {"START GAME", "OPTIONS", "HIGH SCORES", "HELP", "WEB SITE", "EXIT"};

const Font kMainFont{20, true};
constexpr int kMainPadX = 14, kMainH = 36;
const Font kSmallFont{10, true};
constexpr int kSmallPadX = 6, kSmallH = 18;
const Font kToggleFont{13, true};
constexpr int kTogglePadX = 6, kToggleH = 28;

TextLook dimLook() { return TextLook{solid(kTextDim), hex(0x04101E), 1.5f}; }
TextLook brightLook() {
    return TextLook{linear({0, 0}, hex(0xFFF6C8), {0, 30}, kGold), hex(0x3A1E00), 1.5f, Color{0, 0, 0, 0}, 2};
}

// A lit pill: the look of every highlight.
Image pill(int w, int h) {
    Image img(w, h);
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    img.fill(Path().roundRect(0.5f, 0.5f, fw - 1, fh - 1, fh / 2),
             linear({0, 0}, hex(0x1F8FB0), {0, fh}, hex(0x0A3F66)));
    img.fill(Path().roundRect(2, 1.5f, fw - 4, fh * 0.45f, fh / 3), hex(0xFFFFFF, 0.18f));
    std::vector<Vec> edge = Path().roundRect(1, 1, fw - 2, fh - 2, fh / 2 - 0.5f).contours().front();
    img.stroke(edge, 1.2f, hex(0x9FF0FF), true);
    return img;
}

// A text highlight: the pill with the text on it, sized to the text.
Picture highlight(const std::string& text, Font font, int padX, int h) {
    const int w = textWidth(text, font) + 2 * padX;
    Picture p;
    p.image = pill(w, h);
    drawText(p.image, padX, (h - textHeight(font)) / 2, text, font, brightLook());
    return p;
}

// The dim text a highlight lies over, drawn where the highlight will be.
void dimLabel(Image& img, int x, int y, const std::string& text, Font font, int padX, int h) {
    drawText(img, x + padX, y + (h - textHeight(font)) / 2, text, font, dimLook());
}

void frame(Image& img, float x, float y, float w, float h, float r) {
    img.fill(Path().roundRect(x, y, w, h, r), linear({0, y}, hex(0x0E3358, 0.97f), {0, y + h}, hex(0x061A32, 0.97f)));
    img.stroke(Path().roundRect(x + 1, y + 1, w - 2, h - 2, r).contours().front(), 2.0f, kPanelEdge, true);
    img.stroke(Path().roundRect(x + 4, y + 4, w - 8, h - 8, r - 3).contours().front(), 1.0f, hex(0x2A6A8A), true);
    for (const Vec v : {Vec{x + 9, y + 9}, Vec{x + w - 9, y + 9}, Vec{x + 9, y + h - 9}, Vec{x + w - 9, y + h - 9}}) {
        img.fill(circle(v.x, v.y, 2.6f), radial({v.x - 1, v.y - 1}, 3, hex(0xE8F4FF), hex(0x5A7A8A)));
    }
}

Image firstPattern(const Picture& p) {
    Image one(p.patternWidth > 0 ? p.patternWidth : p.image.width(),
              p.patternHeight > 0 ? p.patternHeight : p.image.height());
    one.draw(p.image, 0, 0);
    return one;
}

// The main menu: the sea, the title, the six texts and a diver at the treasure.
Picture menuBackground(const Args&) {
    Image img = seaImage(800, 600, 0, 7);
    // Sea floor across the bottom, with the chest on it.
    Picture floor1 = runProgram("sea-floor", {"400", "127", "71"});
    Picture floor2 = runProgram("sea-floor", {"400", "127", "72"});
    img.draw(floor1.image, 0, 490);
    img.draw(floor2.image, 400, 490);
    Picture kelp = runProgram("plant", {"kelp"});
    img.draw(kelp.image.scaled(120 * 2, 160), -20, 420);
    img.draw(runProgram("treasure", {"8"}).image.scaled(84, 72), 330, 500);
    img.draw(runProgram("treasure", {"1"}).image, 300, 540);
    img.draw(runProgram("treasure", {"2"}).image, 420, 548);
    // Fish around, the shark far in the blue.
    img.draw(firstPattern(runProgram("enemy", {"13"})), 40, 208, 0.35f);
    Image hero = runProgram("hero", {}).image;
    Image oneHero(120, 44);
    oneHero.draw(hero, -120, 0);
    img.draw(oneHero.scaled(240, 88), 90, 330);
    for (int i = 0; i < 14; ++i) {
        const float r = 2.0f + static_cast<float>(i % 4);
        img.draw(runProgram("bubble", {std::to_string(static_cast<int>(r * 2 + 1))}).image, 258 + (i % 3) * 4 - i,
                 320 - i * 12);
    }
    img.draw(firstPattern(runProgram("enemy", {"1"})), 300, 250);
    img.draw(firstPattern(runProgram("enemy", {"1"})), 340, 272);
    img.draw(firstPattern(runProgram("enemy", {"2"})), 380, 320);
    img.draw(firstPattern(runProgram("enemy", {"8"})), 330, 408);
    img.draw(firstPattern(runProgram("enemy", {"3"})), 60, 460);
    // Title.
    TextLook title{linearStops({0, 30}, {0, 110}, {{0.0f, hex(0xFFF6C8)}, {0.5f, kGold}, {1.0f, hex(0xC87A10)}}),
                   hex(0x201004),
                   3.0f,
                   hex(0x000000, 0.6f),
                   5,
                   hex(0x5FE0FF, 0.5f),
                   14};
    drawTextCentred(img, 400, 30, "TIDE WARDEN", Font{58, true}, title);
    drawTextCentred(img, 400, 118, "A DEEP SEA ADVENTURE", Font{13, true},
                    TextLook{solid(hex(0xCFF6FF)), hex(0x04101E), 1.5f});
    // The main column.
    img.fill(Path().roundRect(472, 163, 300, 280, 18), hex(0x04142A, 0.55f));
    img.stroke(Path().roundRect(472, 163, 300, 280, 18).contours().front(), 1.5f, hex(0x5FC2D6, 0.5f), true);
    for (int i = 0; i < 6; ++i)
        dimLabel(img, kMainX, kMainTop + i * kMainStep, kMainTexts[i], kMainFont, kMainPadX, kMainH);
    drawText(img, 600, 578, "ARROWS, MOUSE OR JOYSTICK", Font{8, true}, TextLook{solid(hex(0x9FC8E0))});
    Picture p;
    p.image = img;
    p.keyed = false;
    return p;
}

Picture mainHighlight(const Args& a) {
    const int i = a.integer(0);
    if (i < 1 || i > 6) throw std::runtime_error("main menu item must be 1 to 6");
    return highlight(kMainTexts[i - 1], kMainFont, kMainPadX, kMainH);
}

Picture smallHighlight(const Args& a) { return highlight(a.text(0), kSmallFont, kSmallPadX, kSmallH); }
Picture toggle(const Args& a) { return highlight(a.text(0), kToggleFont, kTogglePadX, kToggleH); }

Image panelBase(const std::string& heading) {
    Image img(kPanelW, kPanelH);
    frame(img, 0, 0, kPanelW, kPanelH, 14);
    drawTextCentred(img, kPanelW / 2, 6, heading, Font{12, true}, TextLook{solid(kGold), hex(0x201004), 1.5f});
    return img;
}

// Positions below are screen pixels, turned into panel pixels here.
void panelLabel(Image& img, int sx, int sy, const std::string& text, Font font = Font{13, true}) {
    drawText(img, sx - kPanelX, sy - kPanelY, text, font, TextLook{solid(hex(0xCFE8FF)), hex(0x04101E), 1.5f});
}
void panelDim(Image& img, int sx, int sy, const std::string& text, Font font, int padX, int h) {
    dimLabel(img, sx - kPanelX, sy - kPanelY, text, font, padX, h);
}
void panelBox(Image& img, int sx, int sy, int w, int h) {
    const float x = static_cast<float>(sx - kPanelX), y = static_cast<float>(sy - kPanelY);
    img.fill(Path().roundRect(x, y, static_cast<float>(w), static_cast<float>(h), 4), hex(0x020A16, 0.9f));
    img.stroke(Path().roundRect(x, y, static_cast<float>(w), static_cast<float>(h), 4).contours().front(), 1.0f,
               hex(0x2A6A8A), true);
}

Picture optionsPanel(const Args&) {
    Image img = panelBase("OPTIONS");
    panelLabel(img, 45, 220, "DISPLAY");
    panelLabel(img, 45, 268, "MUSIC");
    panelLabel(img, 45, 315, "SOUND");
    panelLabel(img, 45, 364, "COUNTRY");
    panelLabel(img, 45, 410, "BOSS KEY");
    panelDim(img, 178, 215, "WINDOW", kToggleFont, kTogglePadX, kToggleH);
    panelDim(img, 305, 215, "FULL SCREEN", kToggleFont, kTogglePadX, kToggleH);
    panelDim(img, 155, 264, "ON", kToggleFont, kTogglePadX, kToggleH);
    panelDim(img, 213, 264, "OFF", kToggleFont, kTogglePadX, kToggleH);
    panelDim(img, 164, 311, "ON", kToggleFont, kTogglePadX, kToggleH);
    panelDim(img, 221, 311, "OFF", kToggleFont, kTogglePadX, kToggleH);
    panelBox(img, 258, 360, 215, 30);
    panelBox(img, 195, 406, 130, 30);
    drawText(img, 340 - kPanelX, 445 - kPanelY, "F1-F12, PAUSE OR", Font{8, true}, TextLook{solid(kTextDim)});
    drawText(img, 340 - kPanelX, 457 - kPanelY, "ANY KEY YOU LIKE", Font{8, true}, TextLook{solid(kTextDim)});
    panelDim(img, 318, 504, "BACK", kSmallFont, kSmallPadX, kSmallH);
    Picture p;
    p.image = img;
    p.matte = hex(0x0A2440);
    return p;
}

Picture scoresPanel(const Args&) {
    Image img = panelBase("HIGH SCORES");
    const TextLook head{solid(kGold), hex(0x201004), 1.0f};
    drawText(img, 60 - kPanelX, 197 - kPanelY, "#", Font{8, true}, head);
    drawText(img, 130 - kPanelX, 197 - kPanelY, "NAME", Font{8, true}, head);
    drawText(img, 340 - kPanelX, 197 - kPanelY, "SCORE", Font{8, true}, head);
    for (int n = 0; n < 10; ++n) {
        const float y = static_cast<float>(215 + 25 * n - kPanelY);
        if (n % 2 == 0) img.fill(Path().roundRect(50 - kPanelX, y - 2, 380, 24, 4), hex(0x1A4A70, 0.35f));
    }
    panelDim(img, 31, 487, "CLEAR", kSmallFont, kSmallPadX, kSmallH);
    panelDim(img, 270, 486, "WORLD SCORES", kSmallFont, kSmallPadX, kSmallH);
    panelDim(img, 318, 504, "BACK", kSmallFont, kSmallPadX, kSmallH);
    Picture p;
    p.image = img;
    p.matte = hex(0x0A2440);
    return p;
}

Picture helpPanel(const Args&) {
    Image img(kPanelW, kPanelH);
    frame(img, 0, 0, kPanelW, kPanelH, 14);
    panelDim(img, 31, 486, "< PREV", kSmallFont, kSmallPadX, kSmallH);
    panelDim(img, 416, 488, "NEXT >", kSmallFont, kSmallPadX, kSmallH);
    panelDim(img, 318, 504, "BACK", kSmallFont, kSmallPadX, kSmallH);
    Picture p;
    p.image = img;
    p.matte = hex(0x0A2440);
    return p;
}

// The dialog frame: every dialog writes its title at (200, 165) and its lines below.
Picture console(const Args&) {
    Image img(424, 232);
    frame(img, 0, 0, 424, 232, 16);
    img.fill(Path().roundRect(6, 4, 412, 30, 10), linear({0, 4}, hex(0x1F6F96), {0, 34}, hex(0x0C3A60)));
    img.stroke({{10, 35}, {414, 35}}, 1.0f, hex(0x5FC2D6, 0.7f));
    Picture p;
    p.image = img;
    p.matte = hex(0x0A2440);
    return p;
}

// The top bar. The game writes the level at (112, 10), the score centred on 717 at y 42, draws
// the air gauge at (257, 60), the bonus indicators at x 104/144/184 y 40, the lives from x 486.
Picture statusBar(const Args&) {
    Image img(800, 86);
    img.fill(Path().rect(0, 0, 800, 80), linear({0, 0}, hex(0x1A3E62), {0, 80}, hex(0x08203C)));
    img.fill(Path().rect(0, 0, 800, 2), hex(0x6FD3E0, 0.6f));
    Path lip;
    lip.moveTo(0, 78);
    for (int x = 0; x <= 800; x += 10)
        lip.lineTo(static_cast<float>(x), 80 + std::sin(static_cast<float>(x) * 0.05f) * 2.5f);
    lip.lineTo(800, 86).lineTo(0, 86).close();
    img.fill(lip, hex(0x5FC2D6));
    img.fill(Path().rect(0, 78, 800, 3), hex(0x08203C));
    const TextLook label{solid(hex(0x9FD0F0)), hex(0x04101E), 1.2f};
    drawText(img, 40, 13, "LEVEL", Font{11, true}, label);
    drawText(img, 110, 32, "BONUS", Font{8, true}, label);
    // Empty slots under the three indicators.
    for (int i = 0; i < 3; ++i) {
        const float cx = static_cast<float>(104 + 40 * i + 25), cy = 63;
        img.fill(circle(cx, cy, 15.5f), hex(0x04101E, 0.8f));
        img.stroke(Path().ellipse(cx, cy, 15.5f, 15.5f).contours().front(), 1.0f, hex(0x2A6A8A), true);
    }
    drawText(img, 257, 42, "AIR", Font{8, true}, label);
    img.fill(Path().roundRect(254, 57, 208, 18, 5), hex(0x020A16));
    img.stroke(Path().roundRect(254, 57, 208, 18, 5).contours().front(), 1.2f, hex(0x5FC2D6), true);
    drawText(img, 486, 22, "LIVES", Font{8, true}, label);
    drawTextCentred(img, 717, 22, "SCORE", Font{8, true}, label);
    img.fill(Path().roundRect(655, 38, 124, 28, 6), hex(0x020A16, 0.7f));
    Picture p;
    p.image = img;
    p.matte = hex(0x0E3B5C);
    return p;
}

// Help pages: a small markup read from a text file.
//   # title           the page heading
//   text lines        wrapped to the page
//   [program args] | caption   a picture with a caption, two to a row; "program:N" shows pattern N,
//                              "caption;second line" gives the caption a second, plainer line
//   (blank line)      a paragraph break
constexpr int kPageW = 430, kPageH = 292;

Picture helpPage(const Args& a) {
    const std::string path = sourceDirectory() + "/help/" + a.text(0);
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot open help page " + path);
    Image img(kPageW, kPageH);
    const Font body{11, false}, bold{11, true};
    const TextLook text{solid(hex(0xE8F4FF))};
    int y = 0;
    int col = 0;
    int rowH = 0;
    std::string line, paragraph;
    auto flush = [&]() {
        if (paragraph.empty()) return;
        std::istringstream words(paragraph);
        std::string word, current;
        while (words >> word) {
            const std::string trial = current.empty() ? word : current + " " + word;
            if (textWidth(trial, body) > kPageW - 8 && !current.empty()) {
                drawText(img, 4, y, current, body, text);
                y += textHeight(body) + 1;
                current = word;
            } else {
                current = trial;
            }
        }
        if (!current.empty()) {
            drawText(img, 4, y, current, body, text);
            y += textHeight(body) + 1;
        }
        y += 5;
        paragraph.clear();
    };
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '#') {
            flush();
            drawText(img, 4, y, line.substr(line.find_first_not_of("# ")), Font{15, true},
                     TextLook{linear({0, 0}, hex(0xFFF6C8), {0, 24}, kGold), hex(0x201004), 1.5f});
            y += 30;
            img.stroke({{4, static_cast<float>(y - 5)}, {kPageW - 4, static_cast<float>(y - 5)}}, 1.0f,
                       hex(0x5FC2D6, 0.6f));
        } else if (!line.empty() && line[0] == '[') {
            flush();
            const std::size_t close = line.find(']');
            const std::size_t bar = line.find('|');
            if (close == std::string::npos || bar == std::string::npos)
                throw std::runtime_error(path + ": bad picture line: " + line);
            std::istringstream entry(line.substr(1, close - 1));
            std::string program, arg;
            entry >> program;
            int pattern = 0;
            if (const std::size_t colon = program.find(':'); colon != std::string::npos) {
                pattern = std::stoi(program.substr(colon + 1));
                program.resize(colon);
            }
            std::vector<std::string> args;
            while (entry >> arg) args.push_back(arg);
            const std::string caption = line.substr(line.find_first_not_of(' ', bar + 1));
            Picture pic = runProgram(program, args);
            const int pw = pic.patternWidth > 0 ? pic.patternWidth : pic.image.width();
            const int ph = pic.patternHeight > 0 ? pic.patternHeight : pic.image.height();
            const int columns = std::max(1, pic.image.width() / pw);
            Image first(pw, ph);
            first.draw(pic.image, -(pattern % columns) * pw, -(pattern / columns) * ph);
            // Fit into a 56 x 30 box, never enlarged.
            const float k = std::min({1.0f, 56.0f / static_cast<float>(pw), 30.0f / static_cast<float>(ph)});
            const int sw = std::max(1, static_cast<int>(static_cast<float>(pw) * k)),
                      sh = std::max(1, static_cast<int>(static_cast<float>(ph) * k));
            Image small = first.scaled(sw, sh);
            const int cellX = col == 0 ? 4 : kPageW / 2 + 2;
            img.draw(small, cellX + (56 - sw) / 2, y + (30 - sh) / 2);
            const std::size_t tab = caption.find(';');
            drawText(img, cellX + 62, y + (tab == std::string::npos ? 8 : 0), caption.substr(0, tab), bold, text);
            if (tab != std::string::npos)
                drawText(img, cellX + 62, y + 15, caption.substr(tab + 1), body, TextLook{solid(hex(0xA8D0F0))});
            rowH = std::max(rowH, 32);
            if (++col == 2) {
                col = 0;
                y += rowH;
                rowH = 0;
            }
        } else if (line.find_first_not_of(' ') == std::string::npos) {
            if (col != 0) {
                col = 0;
                y += rowH;
                rowH = 0;
            }
            flush();
        } else {
            if (col != 0) {
                col = 0;
                y += rowH + 4;
                rowH = 0;
            }
            paragraph += (paragraph.empty() ? "" : " ") + line;
        }
    }
    if (col != 0) y += rowH;
    flush();
    // The page number takes the last line.
    if (y > kPageH - 14)
        throw std::runtime_error(path + ": the page is " + std::to_string(y) + " pixels tall, more than " +
                                 std::to_string(kPageH - 14));
    drawText(img, kPageW - 60, kPageH - 14, "PAGE " + a.text(1) + " / 7", Font{8, true}, TextLook{solid(kTextDim)});
    Picture p;
    p.image = img;
    p.matte = hex(0x0A2440);
    return p;
}

// The title on its own, for anything that wants the game's name in pictures.
Picture logo(const Args&) {
    const Font font{40, true};
    Image img(textWidth("TIDE WARDEN", font) + 40, textHeight(font) + 30);
    TextLook title{linearStops({0, 10}, {0, 60}, {{0.0f, hex(0xFFF6C8)}, {0.5f, kGold}, {1.0f, hex(0xC87A10)}}),
                   hex(0x201004), 3.0f, hex(0x000000, 0.6f), 4};
    drawText(img, 20, 12, "TIDE WARDEN", font, title);
    Picture p;
    p.image = img;
    return p;
}

// A square picture of the diver's helmet, for a window icon.
Picture gameIcon(const Args&) {
    Image img(64, 64);
    img.fill(Path().roundRect(0, 0, 64, 64, 12), linear({0, 0}, kShallow, {0, 64}, kDeep));
    img.draw(runProgram("life", {}).image.scaled(48, 48), 8, 8);
    Picture p;
    p.image = img;
    p.keyed = false;
    return p;
}

const RegisterProgram kLogo("logo", logo);
const RegisterProgram kIcon("game-icon", gameIcon);
const RegisterProgram kMenuBack("menu-background", menuBackground);
const RegisterProgram kMainHi("main-highlight", mainHighlight);
const RegisterProgram kSmallHi("small-highlight", smallHighlight);
const RegisterProgram kToggle("toggle", toggle);
const RegisterProgram kOptions("options-panel", optionsPanel);
const RegisterProgram kScores("scores-panel", scoresPanel);
const RegisterProgram kHelp("help-panel", helpPanel);
const RegisterProgram kConsole("console", console);
const RegisterProgram kStatus("status-bar", statusBar);
const RegisterProgram kHelpPage("help-page", helpPage);

} // namespace

} // namespace art
