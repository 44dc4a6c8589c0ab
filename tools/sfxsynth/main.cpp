// SPDX-License-Identifier: MIT
// sfxsynth: renders the game's sound-effect descriptions (*.sfx) into 16-bit PCM WAV files.
// Usage: sfxsynth <output-folder> <sound.sfx>...   (each sound becomes <output-folder>/<name>.wav,
// and <output-folder>/manifest.txt lists them, in the order given, for the wave-collection packer)
#include <iostream>

#include "SoundFolder.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: sfxsynth <output-folder> <sound.sfx>...\n";
        return 2;
    }
    try {
        tw::synth::renderSoundFolder(argv[1], std::vector<std::filesystem::path>(argv + 2, argv + argc));
    } catch (const std::exception& e) {
        std::cerr << "sfxsynth: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
