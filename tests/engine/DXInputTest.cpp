// SPDX-License-Identifier: MIT
// Input states from held keys and a joystick, with the window in and out of the foreground.
#include "engine/DXInput.h"

#include "platform/Joystick.h"
#include "platform/KeyboardState.h"
#include "platform/VirtualKeys.h"

#include <gtest/gtest.h>

#include <memory>

namespace vk = tw::platform::vk;
using tw::platform::KeyboardState;

namespace {

class DXInputTest : public ::testing::Test {
protected:
    void SetUp() override { KeyboardState::instance().clear(); }
    void TearDown() override { KeyboardState::instance().clear(); }

    // The component as the main window sets it up, with the game's table.
    TDXInput& MainFormInput() {
        input.Keyboard().KeyAssigns = GameKeyAssigns();
        input.Loaded();
        return input;
    }
    static void Hold(std::uint8_t key, bool down = true) { KeyboardState::instance().setDown(key, down); }

    bool foreground = true;
    TDXInput input{[this] { return foreground; }};
};

TEST_F(DXInputTest, KeysOfOneStateTogetherGiveItOnceAndReleasingOneKeepsIt) {
    TDXInput& in = MainFormInput();
    Hold(vk::letter('W'));
    Hold(vk::Up);
    Hold(vk::numpad(8));
    in.Update();
    EXPECT_EQ(in.InputStates, TDXInputStates{InputUp});

    Hold(vk::Up, false);
    in.Update();
    EXPECT_EQ(in.InputStates, TDXInputStates{InputUp});

    Hold(vk::letter('W'), false);
    Hold(vk::numpad(8), false);
    in.Update();
    EXPECT_TRUE(in.InputStates.Empty());
}

TEST_F(DXInputTest, MainFormKeysGiveTheirStates) {
    TDXInput& in = MainFormInput();
    struct Case {
        std::uint8_t key;
        TDXInputStates expected;
    };
    const Case cases[] = {
        {vk::Control, {InputButton1}},
        {vk::Space, {InputButton1}},
        {vk::letter('Z'), {}}, // the game fires with Ctrl, not Z
        {vk::Shift, {InputButton2}},
        {vk::Return, {InputButton2}},
        {vk::letter('S'), {InputDown}},
        {vk::numpad(4), {InputLeft}},
        {vk::letter('D'), {InputRight}},
        {vk::function(2), {InputButton9}},
        // Punctuation has its own codes: the apostrophe is not the Right arrow, "." not Delete.
        {vk::Quote, {}},
        {vk::Period, {}},
    };
    for (const Case& c : cases) {
        Hold(c.key);
        in.Update();
        EXPECT_EQ(in.InputStates, c.expected) << "key 0x" << std::hex << int{c.key};
        Hold(c.key, false);
        in.Update();
        EXPECT_TRUE(in.InputStates.Empty());
    }
}

TEST_F(DXInputTest, BuiltInTableUsesTheLetterKeysOfItsOwn) {
    input.Loaded();
    Hold(vk::letter('K'));
    Hold(vk::letter('Z'));
    Hold(vk::letter('W'));
    input.Update();
    EXPECT_EQ(input.InputStates, (TDXInputStates{InputUp, InputButton1}));
}

TEST_F(DXInputTest, LeftAndRightTogetherSetBoth) {
    TDXInput& in = MainFormInput();
    Hold(vk::Left);
    Hold(vk::Right);
    in.Update();
    EXPECT_EQ(in.InputStates, (TDXInputStates{InputLeft, InputRight}));
}

TEST_F(DXInputTest, StatesGoOffInTheBackgroundAndReturnOnReactivation) {
    TDXInput& in = MainFormInput();
    Hold(vk::Up);
    Hold(vk::Space);
    in.Update();
    ASSERT_EQ(in.InputStates, (TDXInputStates{InputUp, InputButton1}));

    foreground = false;
    in.Update();
    EXPECT_TRUE(in.InputStates.Empty());
    EXPECT_FALSE(in.Keyboard().Key(vk::Up)); // the key table is empty too

    foreground = true;
    in.Update();
    EXPECT_EQ(in.InputStates, (TDXInputStates{InputUp, InputButton1}));
}

TEST_F(DXInputTest, BackgroundInputIsReadWhenNotActiveOnly) {
    TDXInput& in = MainFormInput();
    in.ActiveOnly = false;
    foreground = false;
    Hold(vk::Down);
    in.Update();
    EXPECT_EQ(in.InputStates, TDXInputStates{InputDown});
}

TEST_F(DXInputTest, StateRemovedByHandStaysOffUntilPressedAgain) {
    TDXInput& in = MainFormInput();
    Hold(vk::Space);
    in.Update();
    in.InputStates.Exclude(InputButton1);
    in.Update();
    EXPECT_FALSE(in.InputStates.Has(InputButton1));

    Hold(vk::Space, false);
    in.Update();
    Hold(vk::Space);
    in.Update();
    EXPECT_TRUE(in.InputStates.Has(InputButton1));
}

TEST_F(DXInputTest, DisabledOrUnboundKeyboardGivesNoStates) {
    TDXInput& in = MainFormInput();
    Hold(vk::Up);
    in.Keyboard().BindInputStates = false;
    in.Update();
    EXPECT_TRUE(in.InputStates.Empty());
    EXPECT_TRUE(in.Keyboard().States().Has(InputUp)); // read, but not merged

    in.Keyboard().BindInputStates = true;
    in.Keyboard().SetEnabled(false);
    in.Update();
    EXPECT_TRUE(in.InputStates.Empty());
}

TEST(DXInputErrors, ComponentWithoutWindowAndMouseWithoutDirectInput) {
    try {
        TDXInput orphan{TForegroundQuery{}};
        FAIL() << "no error";
    } catch (const EDXInputError& e) {
        EXPECT_STREQ(e.what(), "Form not found");
    }

    TDXInput in{[] { return true; }};
    EXPECT_FALSE(in.Mouse().Enabled());
    EXPECT_FALSE(in.Mouse().BindInputStates);
    in.Loaded();
    try {
        in.Mouse().SetEnabled(true);
        FAIL() << "no error";
    } catch (const EDXInputError& e) {
        EXPECT_STREQ(e.what(), "DirectInput is necessary to use the mouse");
    }
    EXPECT_FALSE(in.Mouse().Enabled());
    in.SetUseDirectInput(false); // reopening all devices still works
}

TEST(KeyAssignsStorage, RoundTripsAndRejectsAWrongLength) {
    TDXInput a{[] { return true; }};
    a.Keyboard().KeyAssigns = GameKeyAssigns();
    a.Keyboard().KeyAssigns[InputButton32] = {-1, 0x1234, 255};
    const std::vector<std::uint8_t> bytes = a.Keyboard().WriteAssigns();
    ASSERT_EQ(bytes.size(), 432u);
    // W is the first key of the first state, stored little-endian.
    EXPECT_EQ((std::vector<std::uint8_t>{bytes.begin(), bytes.begin() + 4}), (std::vector<std::uint8_t>{'W', 0, 0, 0}));

    TDXInput b{[] { return true; }};
    b.Keyboard().ReadAssigns(bytes);
    EXPECT_EQ(b.Keyboard().KeyAssigns, a.Keyboard().KeyAssigns);

    const std::vector<std::uint8_t> shorter(bytes.begin(), bytes.end() - 1);
    EXPECT_THROW(b.Keyboard().ReadAssigns(shorter), EDXInputError);
    EXPECT_EQ(b.Keyboard().KeyAssigns, a.Keyboard().KeyAssigns); // nothing half-read

    EXPECT_TRUE(TKeyboard::IsAssignsProperty("Assigns"));
    EXPECT_TRUE(TKeyboard::IsAssignsProperty("Aissgns"));
    EXPECT_FALSE(TKeyboard::IsAssignsProperty("Assign"));
}

TEST(JoystickAxis, DeadZoneAndRange) {
    struct Case {
        std::int32_t raw, deadZone, range, expected;
    };
    // A 0 ... 65535 device: half = 32767, a 50 % dead zone is 16383.
    const Case cases[] = {
        {32767, 50, 1000, 0},         // centre
        {32767 + 13107, 50, 1000, 0}, // 40 % of the travel
        {32767 - 13107, 50, 1000, 0},
        {32767 + 16383, 50, 1000, 0},   // the dead zone's edge itself
        {32767 + 19660, 50, 1000, 200}, // 60 %: 3277 * 1000 / 16384 = 200.01
        {32767 - 19660, 50, 1000, -200},
        {65535, 50, 1000, 1000}, // 16385 * 1000 / 16384 rounds to 1000
        {0, 50, 1000, -1000},
        {65535, 0, 1000, 1000},
        {65535, 100, 1000, 0},          // the whole travel is dead zone
        {32767 + 100, 0, 327670, 1000}, // 100 * 327670 / 32767 = 1000 exactly
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ConvertJoystickAxis(c.raw, 0, 65535, c.deadZone, c.range), c.expected)
            << "raw " << c.raw << " dead zone " << c.deadZone;
    }
    // Ties go to even: half = 2, dz = 0, v = 1 gives 1 * 1 / 2 = 0.5 -> 0 and 1 * 3 / 2 = 1.5 -> 2.
    EXPECT_EQ(ConvertJoystickAxis(3, 0, 4, 0, 1), 0);
    EXPECT_EQ(ConvertJoystickAxis(1, 0, 4, 0, 1), 0);
    EXPECT_EQ(ConvertJoystickAxis(3, 0, 4, 0, 3), 2);
}

TEST(JoystickProperties, DeadZonesAndRangesAreClamped) {
    TDXInput in{[] { return true; }};
    TJoystick& j = in.Joystick();
    EXPECT_EQ(j.DeadZoneX(), 50);
    EXPECT_EQ(j.RangeY(), 1000);
    j.SetDeadZoneX(150);
    j.SetDeadZoneY(-5);
    j.SetRangeZ(-1);
    EXPECT_EQ(j.DeadZoneX(), 100);
    EXPECT_EQ(j.DeadZoneY(), 0);
    EXPECT_EQ(j.RangeZ(), 0);
}

TEST(VirtualJoystickInput, HalfTheTravelIsTheDeadZone) {
    tw::platform::VirtualJoystick stick(3, 32);
    ASSERT_TRUE(stick.attached());
    TDXInput in{[] { return true; }};
    in.Loaded();
    ASSERT_TRUE(in.Joystick().IsOpen());

    const auto at = [](double fraction) { return static_cast<std::int16_t>(fraction * 32767); };
    stick.setAxis(0, at(0.4));
    stick.setAxis(1, at(-0.4));
    in.Update();
    EXPECT_TRUE(in.InputStates.Empty());
    EXPECT_EQ(in.Joystick().X(), 0);

    stick.setAxis(0, at(0.6));
    stick.setAxis(1, at(-0.6));
    in.Update();
    EXPECT_EQ(in.InputStates, (TDXInputStates{InputRight, InputUp}));
    EXPECT_GT(in.Joystick().X(), 0);
    EXPECT_LT(in.Joystick().Y(), 0);

    stick.setAxis(0, at(-0.6));
    stick.setAxis(1, at(0.6));
    stick.setButton(0, true);
    stick.setButton(31, true);
    in.Update();
    EXPECT_EQ(in.InputStates, (TDXInputStates{InputLeft, InputDown, InputButton1, InputButton32}));
}

// A pad pulled out goes quiet; plugged back (or plugged in only after the start) it works from the
// next frame on, without the window being activated again.
TEST(VirtualJoystickInput, UnpluggedStickGoesQuietAndIsTakenUpAgainNextFrame) {
    bool foreground = true;
    TDXInput in{[&] { return foreground; }};
    in.Loaded();
    EXPECT_FALSE(in.Joystick().IsOpen()) << "no pad yet";
    auto stick = std::make_unique<tw::platform::VirtualJoystick>(2, 4);
    stick->setButton(1, true);
    in.Update();
    EXPECT_EQ(in.InputStates, TDXInputStates{InputButton2});

    stick.reset();
    in.Update();
    EXPECT_TRUE(in.InputStates.Empty());
    EXPECT_FALSE(in.Joystick().IsOpen());
    in.Update();
    EXPECT_TRUE(in.InputStates.Empty());

    stick = std::make_unique<tw::platform::VirtualJoystick>(2, 4);
    stick->setAxis(1, 32767);
    foreground = false; // in the background it is not read, found or not
    in.Update();
    EXPECT_TRUE(in.InputStates.Empty());
    foreground = true;
    in.Update();
    EXPECT_TRUE(in.Joystick().IsOpen());
    EXPECT_EQ(in.InputStates, TDXInputStates{InputDown});

    // A component that releases its devices stops looking.
    in.Joystick().SetEnabled(false);
    in.Update();
    EXPECT_FALSE(in.Joystick().IsOpen());
    EXPECT_TRUE(in.InputStates.Empty());
}

} // namespace
