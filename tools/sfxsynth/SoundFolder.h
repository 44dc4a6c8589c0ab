// SPDX-License-Identifier: MIT
// Renders a set of sound descriptions into a folder of WAV files with the manifest that the
// wave-collection packer reads.
#pragma once

#include <filesystem>
#include <vector>

namespace tw::synth {

// Each source <name>.sfx becomes <outDir>/<name>.wav; <outDir>/manifest.txt lists them in the
// order given. Throws SynthError (naming the file and line) or std::filesystem errors.
void renderSoundFolder(const std::filesystem::path& outDir, const std::vector<std::filesystem::path>& sources);

} // namespace tw::synth
