// SPDX-License-Identifier: MIT
// Fuzzes song loading: damaged music files must be refused (handle 0 in the game) or play, never
// crash. A song that loads is played for a few buffers through the real mix.
#include "platform/AudioOutput.h"
#include "platform/XmPlayer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tw::platform::XmPlayer player;
    auto song = tw::platform::XmSong::loadFromMemory(data, size);
    if (!song) return 0;
    if (player.play(*song)) {
        std::vector<std::int16_t> out(2 * 2048);
        for (int i = 0; i < 4; ++i) tw::platform::AudioOutput::instance().render(out.data(), 2048);
    }
    player.stopAll();
    return 0;
}
