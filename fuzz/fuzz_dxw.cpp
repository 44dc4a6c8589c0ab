// SPDX-License-Identifier: MIT
// Fuzzes the wave collection reader and the RIFF WAVE reader it hands each wave block to. Damaged
// input may only end in the readers' own errors; anything else (a crash, a sanitizer report, an
// unexpected exception type) is a finding.
#include "core/ByteStream.h"
#include "sound/DXSounds.h"
#include "sound/Wave.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> bytes(data, size);
    try {
        TWave wave;
        wave.LoadFromBytes(bytes);
        // Whatever was read must convert for the device when it is playable.
        if (auto pcm = parsePcmFormat(wave.Format())) (void)convertToDevice(*pcm, wave.Data(), 44100);
    } catch (const EWaveStreamError&) {
    } catch (const EReadError&) {}
    try {
        TWaveCollection c;
        c.LoadFromBytes(bytes);
        // A collection that loads writes back and reads again to the same items.
        TWaveCollection again;
        again.LoadFromBytes(c.SaveToBytes());
        if (again.Count() != c.Count()) __builtin_trap();
    } catch (const EReadError&) {
    } catch (const EWaveStreamError&) {}
    return 0;
}
