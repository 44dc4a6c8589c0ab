// sfxsynth: renders the game's sound-effect descriptions (*.sfx) into 16-bit PCM WAV files.
// Usage: sfxsynth <output-folder> <sound.sfx>...   (each sound becomes <output-folder>/<name>.wav,
// and <output-folder>/manifest.txt lists them, in the order given, for the wave-collection packer)
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "SoundDesc.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: sfxsynth <output-folder> <sound.sfx>...\n";
    return 2;
  }
  const fs::path outDir = argv[1];
  try {
    fs::create_directories(outDir);
    std::ostringstream manifest;
    for (int i = 2; i < argc; ++i) {
      const fs::path source = argv[i];
      std::ifstream in(source, std::ios::binary);
      if (!in) throw tw::synth::SynthError("cannot read " + source.string());
      std::ostringstream text;
      text << in.rdbuf();
      const auto desc = tw::synth::parseSound(text.str(), source.string());
      const auto bytes = tw::synth::encodeWav(tw::synth::renderSound(desc), desc.sampleRate);
      // Written beside the target and renamed, so a failed run never leaves half a file.
      const fs::path target = outDir / (source.stem().string() + ".wav");
      const fs::path temp = target.string() + ".tmp";
      {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw tw::synth::SynthError("cannot write " + temp.string());
      }
      fs::rename(temp, target);
      manifest << "[item]\nname = " << source.stem().string() << "\nwave = " << target.filename().string()
               << "\nlooped = false\nmaxplayingcount = 0\n";
    }
    std::ofstream(outDir / "manifest.txt", std::ios::binary | std::ios::trunc) << manifest.str();
  } catch (const std::exception& e) {
    std::cerr << "sfxsynth: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
