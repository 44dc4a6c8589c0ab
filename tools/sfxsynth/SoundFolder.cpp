// SPDX-License-Identifier: MIT
// Rendering of a folder of sound effects and their manifest (see SoundFolder.h).
#include "SoundFolder.h"

#include <fstream>
#include <sstream>

#include "SoundDesc.h"

namespace fs = std::filesystem;

namespace tw::synth {

namespace {

// Written beside the target and renamed, so a failed run never leaves half a file.
void writeFile(const fs::path& target, const std::string& bytes) {
    const fs::path temp = target.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw SynthError("cannot write " + temp.string());
    }
    fs::rename(temp, target);
}

} // namespace

void renderSoundFolder(const fs::path& outDir, const std::vector<fs::path>& sources) {
    fs::create_directories(outDir);
    std::ostringstream manifest;
    for (const auto& source : sources) {
        std::ifstream in(source, std::ios::binary);
        if (!in) throw SynthError("cannot read " + source.string());
        std::ostringstream text;
        text << in.rdbuf();
        const auto desc = parseSound(text.str(), source.string());
        const auto wav = encodeWav(renderSound(desc), desc.sampleRate);
        const fs::path target = outDir / (source.stem().string() + ".wav");
        writeFile(target, std::string(wav.begin(), wav.end()));
        manifest << "[item]\nname = " << source.stem().string() << "\nwave = " << target.filename().string()
                 << "\nlooped = false\nmaxplayingcount = " << desc.maxPlaying << "\n";
    }
    writeFile(outDir / "manifest.txt", manifest.str());
}

} // namespace tw::synth
