// SPDX-License-Identifier: MIT
// The game's own message in its window: its picture, the answers that end it, and the events it puts
// back for the game.
#include "platform/Font.h"
#include "platform/Window.h"
#include "platform/WindowMessage.h"

#include <SDL.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace tw::platform;

class WindowMessage : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("SDL_VIDEODRIVER", "dummy", 1); }
    void SetUp() override {
        window = std::make_unique<Window>();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        picture.assign(800u * 600u, 0x406080);
        window->present(picture.data(), 800, 600, 800);
    }
    void TearDown() override { SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT); }

    static void push(Uint32 type, SDL_Keycode key = SDLK_UNKNOWN) {
        SDL_Event e{};
        e.type = type;
        if (type == SDL_KEYDOWN || type == SDL_KEYUP) e.key.keysym.sym = key;
        if (type == SDL_MOUSEBUTTONDOWN || type == SDL_MOUSEBUTTONUP) e.button.button = SDL_BUTTON_LEFT;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    static std::vector<SDL_Event> pending() {
        std::vector<SDL_Event> events;
        SDL_PumpEvents();
        SDL_Event e;
        while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1) events.push_back(e);
        return events;
    }

    std::unique_ptr<Window> window;
    std::vector<std::uint32_t> picture;
};

TEST_F(WindowMessage, EnterEscOrAClickAnswerItAndTheGamesPictureComesBack) {
    struct Answer {
        const char* what;
        Uint32 down, up;
        SDL_Keycode key;
    };
    for (const Answer a :
         {Answer{"Enter", SDL_KEYDOWN, SDL_KEYUP, SDLK_RETURN}, Answer{"Esc", SDL_KEYDOWN, SDL_KEYUP, SDLK_ESCAPE},
          Answer{"click", SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP, SDLK_UNKNOWN}}) {
        SCOPED_TRACE(a.what);
        push(a.down, a.key);
        push(a.up, a.key);
        const int uploads = window->uploadCount();
        ASSERT_TRUE(showMessageInWindow(*window, "Can't load music."));
        EXPECT_EQ(window->uploadCount(), uploads + 2) << "the message, then the game's picture";
        EXPECT_EQ(window->shownPicture(), picture);
        EXPECT_TRUE(pending().empty()) << "the answer is not passed on";
    }
}

TEST_F(WindowMessage, EventsItDoesNotAnswerToGoBackToTheGameInOrder) {
    push(SDL_KEYUP, SDLK_RETURN); // the key that led to the message is released
    push(SDL_KEYDOWN, SDLK_a);    // a key that does not answer
    push(SDL_KEYUP, SDLK_a);
    push(SDL_QUIT); // a signal: ends the message and then the game
    ASSERT_TRUE(showMessageInWindow(*window, "Stream read error"));
    const std::vector<SDL_Event> back = pending();
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].type, static_cast<Uint32>(SDL_KEYUP));
    EXPECT_EQ(back[0].key.keysym.sym, SDLK_RETURN);
    EXPECT_EQ(back[1].type, static_cast<Uint32>(SDL_QUIT));
}

TEST_F(WindowMessage, ThePanelLiesOverTheDimmedPictureWithTheTextInIt) {
    const Font font("Arial", 21, fontBold);
    const std::vector<std::uint32_t> shown = composeMessagePicture(picture, 800, 600, "Can't load music.", font);
    ASSERT_EQ(shown.size(), picture.size());
    EXPECT_EQ(shown[0], 0x203040u) << "the picture beneath at half brightness";
    const auto white = std::count(shown.begin(), shown.end(), 0xFFFFFFu);
    EXPECT_GT(white, 50) << "the text and OK are drawn in full ink";
    EXPECT_NE(shown[300u * 800u + 400u], 0x203040u) << "the panel covers the middle";
}

TEST_F(WindowMessage, LongTextIsWrappedBetweenWordsAndCutInsideAWordTooLongForALine) {
    const Font font("Arial", 21, fontBold);
    const std::string path(80, 'x');
    const std::vector<std::string> lines =
        wrapMessageText(font, "Cannot open file \"" + path + "\". No such file or directory\nsecond", 300);
    ASSERT_GE(lines.size(), 4u);
    for (const std::string& line : lines) EXPECT_LE(font.textWidth(line), 300) << line;
    EXPECT_EQ(lines.back(), "second") << "a line feed starts a new line";
    std::string joined;
    for (const std::string& line : lines) joined += line;
    EXPECT_NE(joined.find(path), std::string::npos) << "the long word is cut, not dropped";
}

} // namespace
