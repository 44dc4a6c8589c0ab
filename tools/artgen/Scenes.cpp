// SPDX-License-Identifier: MIT
// Mock-up screens for reviewing the art: the built pictures placed where the game places them,
// colour-keyed as the game draws them, with the texts the game writes over them.
#include "Scenes.h"

#include "Text.h"
#include "platform/Png.h"

#include <cmath>
#include <map>
#include <stdexcept>

namespace art {

namespace {

class Screen {
public:
    explicit Screen(const std::vector<BuiltItem>& items) : px_(800 * 600, 0) {
        for (const BuiltItem& item : items) {
            flat_[item.name] = {flatten(item.picture), &item.picture};
            order_.push_back(item.name);
        }
    }

    const Picture& picture(const std::string& name) const { return *get(name).second; }
    int width(const std::string& name) const {
        const Picture& p = picture(name);
        return p.patternWidth > 0 ? p.patternWidth : p.image.width();
    }
    int height(const std::string& name) const {
        const Picture& p = picture(name);
        return p.patternHeight > 0 ? p.patternHeight : p.image.height();
    }
    const std::string& nameAt(std::size_t index) const { return order_.at(index); }

    // Pattern i of the named picture at (x, y), leaving out key pixels when the picture is keyed.
    void draw(const std::string& name, int x, int y, int pattern = 0) {
        const auto& [pixels, pic] = get(name);
        const int pw = width(name), ph = height(name);
        const int cols = pic->image.width() / pw;
        if (pattern < 0 || pattern >= cols * (pic->image.height() / ph)) return;
        const int sx = (pattern % cols) * pw, sy = (pattern / cols) * ph;
        for (int yy = 0; yy < ph; ++yy)
            for (int xx = 0; xx < pw; ++xx) {
                const int tx = x + xx, ty = y + yy;
                if (tx < 0 || ty < 0 || tx >= 800 || ty >= 600) continue;
                const std::uint32_t v = pixels[static_cast<std::size_t>((sy + yy) * pic->image.width() + sx + xx)];
                if (pic->keyed && v == kColorKeyRGB) continue;
                px_[static_cast<std::size_t>(ty * 800 + tx)] = v;
            }
    }

    // Text as the game writes it: 16 point unless told, transparent background.
    void text(int x, int y, const std::string& s, std::uint32_t rgb, int points = 16) {
        Image layer(800, 600);
        drawText(layer, x, y, s, Font{points, false}, TextLook{solid(hex(rgb))});
        composite(layer);
    }
    void textCentred(int cx, int y, const std::string& s, std::uint32_t rgb, int points = 16) {
        text(cx - textWidth(s, Font{points, false}) / 2, y, s, rgb, points);
    }
    void frame(int x1, int y1, int x2, int y2, std::uint32_t rgb) {
        Image layer(800, 600);
        const auto f = [](int v) { return static_cast<float>(v); };
        layer.stroke({{f(x1), f(y1)}, {f(x2), f(y1)}, {f(x2), f(y2)}, {f(x1), f(y2)}}, 2, hex(rgb), true);
        composite(layer);
    }

    void save(const std::string& path) const { tw::platform::writePng(path, px_.data(), 800, 600, 800, false); }

private:
    const std::pair<std::vector<std::uint32_t>, const Picture*>& get(const std::string& name) const {
        const auto it = flat_.find(name);
        if (it == flat_.end()) throw std::runtime_error("no picture called '" + name + "'");
        return it->second;
    }
    void composite(const Image& layer) {
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                const Color c = layer.at(x, y);
                if (c.a <= 0) continue;
                std::uint32_t& d = px_[static_cast<std::size_t>(y * 800 + x)];
                auto ch = [&](int shift, float v) {
                    const float under = static_cast<float>((d >> shift) & 0xFF) / 255.0f;
                    return static_cast<std::uint32_t>(std::lround(std::clamp(v + under * (1 - c.a), 0.0f, 1.0f) * 255))
                           << shift;
                };
                d = ch(16, c.r) | ch(8, c.g) | ch(0, c.b);
            }
    }

    std::vector<std::uint32_t> px_;
    std::map<std::string, std::pair<std::vector<std::uint32_t>, const Picture*>> flat_;
    std::vector<std::string> order_;
};

constexpr std::uint32_t kLightBlue = 0x99CCFF, kRed = 0xFF0000, kWhite = 0xFFFFFF;

void menuBase(Screen& s, int selected) {
    s.draw(s.nameAt(0), 0, 0);
    s.draw(s.nameAt(static_cast<std::size_t>(selected)), 489, 177 + 44 * (selected - 1));
}

} // namespace

void writeScenes(const std::string& outDir, const std::vector<BuiltItem>& menuItems,
                 const std::vector<BuiltItem>& gameItems) {
    const std::string dir = outDir + "/";
    {
        Screen s(menuItems);
        menuBase(s, 1);
        s.save(dir + "menu-main.png");
    }
    {
        Screen s(menuItems);
        menuBase(s, 2);
        s.draw("optionsback", 31, 175);
        s.draw("window", 178, 215);
        s.draw("muson", 155, 264);
        s.draw("soundoff", 221, 311);
        s.text(258, 360, " DE|", kLightBlue);
        s.text(195, 406, "Pause", kLightBlue);
        s.frame(258, 360, 473, 390, kLightBlue);
        s.save(dir + "menu-options.png");
    }
    {
        Screen s(menuItems);
        menuBase(s, 3);
        s.draw("scoreback", 31, 175);
        s.draw("clearscore", 31, 487);
        for (int n = 1; n <= 10; ++n) {
            s.text(60, 190 + 25 * n, std::to_string(n), kLightBlue);
            s.text(130, 190 + 25 * n, "Anonymous", kLightBlue);
            s.text(340, 190 + 25 * n, std::to_string(1100 - 100 * n), kLightBlue);
        }
        s.save(dir + "menu-scores.png");
    }
    for (int page = 1; page <= 7; ++page) {
        Screen s(menuItems);
        menuBase(s, 4);
        s.draw("helpback", 31, 175);
        s.draw(s.nameAt(static_cast<std::size_t>(23 + page)), 45, 187);
        s.draw(page == 7 ? "prev" : "next", page == 7 ? 31 : 416, page == 7 ? 486 : 488);
        s.save(dir + "menu-help" + std::to_string(page) + ".png");
    }
    {
        Screen s(menuItems);
        menuBase(s, 6);
        s.draw("console", 188, 160);
        s.text(200, 165, "EXIT", kLightBlue);
        s.text(320, 270, "EXIT THE GAME?", kLightBlue);
        s.text(360, 320, "YES", kRed);
        s.text(405, 320, "/", kLightBlue);
        s.text(415, 320, "NO", kLightBlue);
        s.save(dir + "menu-exit.png");
    }
    {
        // A game in progress with every kind of sprite.
        Screen s(gameItems);
        s.draw("back", 0, 0);
        int x = -60;
        for (const char* piece : {"uprelief3", "uprelief4-1", "uprelief4-2", "uprelief4-3", "uprelief4-4",
                                  "uprelief4-5", "uprelief4-6", "uprelief5-1", "uprelief5-2"}) {
            s.draw(piece, x, 114);
            x += s.width(piece);
        }
        x = -30;
        for (const char* piece : {"downrelief2", "downrelief4", "downrelief1", "downrelief3", "downrelief2"}) {
            s.draw(piece, x, 473);
            x += s.width(piece);
        }
        s.draw("treasure8", 250, 540);
        s.draw("treasure1", 520, 550);
        s.draw("treasure3", 700, 552);
        s.draw("hero", 60, 330, 1);
        s.draw("handengine", 60 + 113, 335);
        for (int i = 0; i < 9; ++i)
            s.draw("bubble" + std::to_string(i % 4 + 1), 140 + static_cast<int>(std::sin(i * 0.7) * 12), 320 - i * 22);
        s.draw("heroweapon1", 300, 345);
        s.draw("tail", 300 - 72, 346, 0);
        s.draw("netweapon", 430, 240, 3);
        const int fishY[13] = {150, 200, 250, 300, 420, 380, 570, 440, 160, 230, 330, 400, 250};
        const int fishX[13] = {540, 620, 700, 760, 520, 600, 660, 720, 450, 360, 560, 680, 600};
        for (int k = 1; k <= 13; ++k) s.draw("enemy" + std::to_string(k), fishX[k - 1], fishY[k - 1], k % 3);
        s.draw("killfish", 380, 470);
        s.draw("bonus", 300, 210);
        s.draw("supergun", 300, 210);
        s.draw("float", 300, 88);
        for (int r = 124; r <= 210; ++r) s.draw("line", 300 + 25, r);
        s.draw("algae1", 30, 530, 1);
        s.draw("algae2", 470, 550);
        s.draw("algae3", 610, 500, 2);
        s.draw("statusbar", 0, 0);
        for (int i = 0; i <= 140; ++i) s.draw("scale", 257 + i, 60, i);
        s.draw("supergun", 104, 40);
        s.draw("engine", 184, 40);
        for (int i = 1; i <= 3; ++i) s.draw("life", 462 + 24 * i, 42);
        s.text(112, 10, "3", kWhite);
        s.textCentred(717, 42, "1250", kWhite);
        s.save(dir + "game-play.png");
    }
    {
        Screen s(gameItems);
        s.draw("back", 0, 0);
        s.draw("uprelief1", 0, 114);
        s.draw("uprelief2", 200, 114);
        for (int x = 0; x < 800; x += s.width("downrelief1")) s.draw("downrelief1", x, 473);
        s.draw("fishkilledhero", 200, 300);
        s.draw("dienoair", 450, 200);
        s.draw("statusbar", 0, 0);
        s.draw(s.nameAt(1), 188, 160);
        s.text(112, 10, "3", kWhite);
        s.textCentred(717, 42, "1250", kWhite);
        s.text(200, 165, "YOUR SCORE IS 1250", kLightBlue);
        s.text(240, 230, "PLEASE, ENTER YOUR NAME:", kLightBlue);
        s.textCentred(400, 260, "Diver|", kRed);
        s.textCentred(400, 290, "YOUR COUNTRY:", kLightBlue);
        s.textCentred(400, 320, "DE", kLightBlue);
        s.text(360, 350, "YES", kLightBlue);
        s.text(405, 350, "/", kLightBlue);
        s.text(415, 350, "NO", kLightBlue);
        s.save(dir + "game-name-entry.png");
    }
    {
        Screen s(gameItems);
        s.draw("back", 0, 0);
        s.draw("uprelief2", 100, 114);
        for (int x = 0; x < 800; x += s.width("downrelief3")) s.draw("downrelief3", x, 473);
        s.draw("statusbar", 0, 0);
        s.text(112, 10, "2", kWhite);
        s.textCentred(717, 42, "0", kWhite);
        s.text(320, 280, "LEVEL 2", kRed, 38);
        s.save(dir + "game-level-intro.png");
    }
}

} // namespace art
