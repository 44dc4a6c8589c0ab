// SPDX-License-Identifier: MIT
// A pad SDL knows as a game controller is read by its layout: the left stick and the d-pad steer,
// A and B are buttons 1 and 2; a pulled-out pad reads as gone. Every attached device read as one, a
// mapping file for a pad SDL does not know, and the stick and hat as the menus' four directions.
#include "platform/EventLoop.h"
#include "platform/Joystick.h"

#include <SDL.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using tw::platform::Joystick;
using tw::platform::JoystickPosition;
using tw::platform::VirtualGameController;
using tw::platform::VirtualJoystick;

constexpr std::int32_t Centre = 65535 / 2;

TEST(Gamepad, StickDPadAndFaceButtonsReadAsTheJoysticks) {
    VirtualGameController pad;
    ASSERT_TRUE(pad.attached());
    Joystick j;
    ASSERT_TRUE(j.open(0));
    EXPECT_TRUE(j.isGameController());
    EXPECT_EQ(j.buttonCount(), 2);

    JoystickPosition p;
    ASSERT_TRUE(j.read(p));
    EXPECT_NEAR(p.x, Centre, 1);
    EXPECT_NEAR(p.y, Centre, 1);
    EXPECT_EQ(p.pov, -1);
    EXPECT_EQ(p.buttons, 0u);

    pad.setLeftStick(32767, -32768);
    ASSERT_TRUE(j.read(p));
    EXPECT_EQ(p.x, 65535);
    EXPECT_EQ(p.y, 0);

    // The d-pad overrides the stick, at full deflection.
    pad.setButton(VirtualGameController::DPadLeft, true);
    pad.setButton(VirtualGameController::DPadDown, true);
    ASSERT_TRUE(j.read(p));
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 65535);
    EXPECT_EQ(p.pov, 22500);
    pad.setButton(VirtualGameController::DPadLeft, false);
    pad.setButton(VirtualGameController::DPadDown, false);

    struct Case {
        VirtualGameController::Button button;
        std::uint32_t bits;
    };
    for (const Case c : {Case{VirtualGameController::A, 1u}, Case{VirtualGameController::B, 2u},
                         Case{VirtualGameController::X, 0u}, Case{VirtualGameController::Y, 0u}}) {
        SCOPED_TRACE(static_cast<int>(c.button));
        pad.setButton(c.button, true);
        ASSERT_TRUE(j.read(p));
        EXPECT_EQ(p.buttons, c.bits);
        pad.setButton(c.button, false);
    }
}

TEST(Gamepad, APulledOutPadReadsAsGoneAndAPlainJoystickIsNoPad) {
    auto pad = std::make_unique<VirtualGameController>();
    Joystick j;
    ASSERT_TRUE(j.open(0));
    pad.reset();
    JoystickPosition p;
    EXPECT_FALSE(j.read(p));
    EXPECT_NEAR(p.x, Centre, 1) << "a gone pad reads centred";

    VirtualJoystick stick(2, 4);
    ASSERT_TRUE(j.open(0));
    EXPECT_FALSE(j.isGameController());
    EXPECT_EQ(j.buttonCount(), 4);
    stick.setButton(3, true);
    ASSERT_TRUE(j.read(p));
    EXPECT_EQ(p.buttons, 8u);
}

} // namespace

namespace {

using tw::platform::JoystickSet;
using tw::platform::PadButton;
using tw::platform::PadDirections;
using Change = PadDirections::Change;

TEST(PadDirections, AStickPressesBeyondHalfItsTravelAndLetsGoBelowAThird) {
    struct Step {
        int axis, value;
        std::vector<Change> expected;
    };
    const std::vector<Step> steps = {
        {0, 16000, {}},                          // not yet half
        {0, 16384, {{PadButton::Right, true}}},  // half
        {0, 12000, {}},                          // above a third: still held
        {0, 30000, {}},                          // no second press while held
        {0, 10000, {{PadButton::Right, false}}}, // below a third
        {0, 14000, {}},                          // between the two: not pressed again
        {0, -32768, {{PadButton::Left, true}}},
        {0, 32767, {{PadButton::Left, false}, {PadButton::Right, true}}}, // swept across: release first
        {1, -20000, {{PadButton::Up, true}}},                             // the other axis on its own
        {1, 20000, {{PadButton::Up, false}, {PadButton::Down, true}}},
        {0, 0, {{PadButton::Right, false}}},
        {2, 32767, {}}, // a third axis steers no menu
    };
    PadDirections d;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(d.stick(7, steps[i].axis, steps[i].value), steps[i].expected);
    }
}

TEST(PadDirections, StickAndHatHoldEachOtherUpAndDevicesAreApart) {
    PadDirections d;
    EXPECT_EQ(d.hat(1, 2), (std::vector<Change>{{PadButton::Right, true}}));
    EXPECT_EQ(d.stick(1, 0, 32767), std::vector<Change>{}) << "already held by the hat";
    EXPECT_EQ(d.hat(1, 0), std::vector<Change>{}) << "the stick still holds it";
    EXPECT_EQ(d.stick(1, 0, 0), (std::vector<Change>{{PadButton::Right, false}}));
    EXPECT_EQ(d.hat(2, 1 | 8), (std::vector<Change>{{PadButton::Up, true}, {PadButton::Left, true}}))
        << "another device, diagonal";
    EXPECT_EQ(d.hat(1, 4), (std::vector<Change>{{PadButton::Down, true}}));
    EXPECT_EQ(d.forget(2), (std::vector<Change>{{PadButton::Up, false}, {PadButton::Left, false}}));
    EXPECT_EQ(d.forget(2), std::vector<Change>{});
}

TEST(Gamepad, EveryAttachedDeviceSteersAndFiresAtOnceAndOnePluggedInLaterJoins) {
    VirtualGameController first;
    JoystickSet set;
    ASSERT_TRUE(set.open(-1));
    EXPECT_EQ(set.deviceCount(), 1u);
    auto second = std::make_unique<VirtualJoystick>(2, 4);
    JoystickPosition p;
    ASSERT_TRUE(set.read(p));
    EXPECT_EQ(set.deviceCount(), 2u) << "joined at the next read";
    EXPECT_EQ(set.buttonCount(), 4);

    // The axis pushed furthest counts, whichever device it is on; the buttons of both.
    first.setLeftStick(8000, 0);
    second->setAxis(0, -30000);
    second->setButton(1, true);
    first.setButton(VirtualGameController::A, true);
    ASSERT_TRUE(set.read(p));
    EXPECT_LT(p.x, 65535 / 2 - 20000);
    EXPECT_EQ(p.buttons, 3u);

    second.reset();
    ASSERT_TRUE(set.read(p));
    EXPECT_EQ(set.deviceCount(), 1u);
    EXPECT_GT(p.x, 65535 / 2) << "the pad left over steers alone";
    EXPECT_EQ(p.buttons, 1u);
}

TEST(Gamepad, AMappingFileNamedByTheEnvironmentTeachesSdlAPadItDoesNotKnow) {
    // SDL takes no mapping for its software joysticks, so the file names a made-up real device.
    const std::string guid = "03000000aaaa0000bbbb000001000000";
    Joystick before;
    before.open(0); // starts the service, with no device attached
    ASSERT_EQ(Joystick::knownLayout(guid), "");
    before.close();
    ASSERT_EQ(SDL_WasInit(SDL_INIT_JOYSTICK), 0u) << "the mapping is read when the service starts";

    const std::string file = ::testing::TempDir() + "/tidewarden-pads.txt";
    {
        std::ofstream out(file);
        out << "# a pad of our own\n"
            << guid << ",Our pad,a:b1,b:b0,start:b3,leftx:a0,lefty:a1,dpup:h0.1,dpright:h0.2,dpdown:h0.4,"
            << "dpleft:h0.8,platform:Linux,\n";
    }
    setenv("SDL_GAMECONTROLLERCONFIG_FILE", file.c_str(), 1);
    Joystick after;
    after.open(0);
    EXPECT_EQ(Joystick::knownLayout(guid), "Our pad");
    after.close();
    unsetenv("SDL_GAMECONTROLLERCONFIG_FILE");
    std::remove(file.c_str());
}

} // namespace
