// SPDX-License-Identifier: MIT
// Songs from memory: a good module plays, damaged bytes are refused.
#include "platform/AudioOutput.h"
#include "platform/XmPlayer.h"

#include "XmWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using tw::platform::AudioOutput;
using tw::platform::XmPlayer;
using tw::platform::XmSong;

// Past the limiter's delay, which still holds what played before.
bool silentRender() {
    std::vector<std::int16_t> out(2 * 2048);
    AudioOutput::instance().render(out.data(), 2048);
    return std::all_of(out.begin() + 2 * tw::platform::MixLimiter::kLookahead, out.end(),
                       [](std::int16_t s) { return s == 0; });
}

TEST(XmSong, LoadsFromMemoryAndPlays) {
    const auto bytes = tw::test::XmWriter::build({});
    auto song = XmSong::loadFromMemory(bytes.data(), bytes.size());
    ASSERT_NE(song, nullptr);
    XmPlayer player;
    EXPECT_TRUE(silentRender());
    ASSERT_TRUE(player.play(*song));
    EXPECT_TRUE(player.isPlaying(*song));
    EXPECT_FALSE(silentRender());
    player.stop(*song);
    EXPECT_FALSE(player.isPlaying(*song));
    EXPECT_TRUE(silentRender());
}

TEST(XmSong, DamagedBytesAreRefused) {
    const auto good = tw::test::XmWriter::build({});
    std::vector<std::uint8_t> badMagic = good;
    badMagic[0] = 'X';
    const std::vector<std::uint8_t> header(good.begin(), good.begin() + 60);
    const std::vector<std::uint8_t> noise(500, 0xAB);
    EXPECT_EQ(XmSong::loadFromMemory(nullptr, 10), nullptr);
    EXPECT_EQ(XmSong::loadFromMemory(good.data(), 0), nullptr);
    EXPECT_EQ(XmSong::loadFromMemory(badMagic.data(), badMagic.size()), nullptr);
    EXPECT_EQ(XmSong::loadFromMemory(header.data(), header.size()), nullptr);
    EXPECT_EQ(XmSong::loadFromMemory(noise.data(), noise.size()), nullptr);
}

} // namespace
