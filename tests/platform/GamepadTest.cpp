// A pad SDL knows as a game controller is read by its layout: the left stick and the d-pad steer,
// A and B are buttons 1 and 2; a pulled-out pad reads as gone.
#include "platform/Joystick.h"

#include <gtest/gtest.h>

#include <memory>

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
