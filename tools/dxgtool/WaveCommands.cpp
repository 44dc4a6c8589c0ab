// SPDX-License-Identifier: MIT
// list, extract and pack for wave collections. A wave travels as a WAV file holding exactly the
// format and data of the collection's item; the manifest keeps the names and playing settings.
#include "WaveCommands.h"

#include "Command.h"
#include "Manifest.h"
#include "sound/DXSounds.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;

std::string describe(const TWave& wave) {
    std::ostringstream s;
    std::string why;
    auto pcm = parsePcmFormat(wave.Format(), &why);
    if (!pcm) {
        s << "not playable: " << why << ", " << wave.Size() << " bytes";
        return s.str();
    }
    s << pcm->bitsPerSample << "-bit " << (pcm->isFloat ? "float " : "");
    if (pcm->channels <= 2)
        s << (pcm->channels == 1 ? "mono" : "stereo");
    else
        s << pcm->channels << " channels";
    s << " " << pcm->samplesPerSec << " Hz, " << wave.Size() / static_cast<std::size_t>(pcm->blockAlign) << " frames, "
      << wave.Size() << " bytes";
    return s.str();
}

std::string fileStem(int index, const std::string& name) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%03d", index);
    std::string out = prefix;
    if (!name.empty()) out += '-';
    for (char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        bool keep = (c < 0x80 && ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) ||
                    c == '_' || c == '-';
        out += keep ? ch : '_';
    }
    return out;
}

int cmdList(const std::vector<std::string>& args, std::ostream& out) {
    if (args.size() != 2) throw ToolError("usage: dxgtool list FILE.dxw");
    TWaveCollection c;
    c.LoadFromFile(args[1]);
    for (int i = 0; i < c.Count(); ++i) {
        const auto& item = c.ItemAt(i);
        out << i << "  \"" << escapeValue(item.Name()) << "\"  " << (item.Looped() ? "looped" : "once") << "  max "
            << item.MaxPlayingCount() << "  " << describe(item.Wave()) << "\n";
    }
    return 0;
}

int cmdExtract(const std::vector<std::string>& args, std::ostream& out) {
    if (args.size() != 3) throw ToolError("usage: dxgtool extract FILE.dxw OUTDIR");
    TWaveCollection c;
    c.LoadFromFile(args[1]);
    const fs::path dir = args[2];
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) throw ToolError("cannot make folder \"" + dir.string() + "\": " + ec.message());

    std::ostringstream m;
    m << "# Wave collection extracted by dxgtool; pack it again with: dxgtool pack manifest.txt FILE.dxw\n"
      << "# One [item] block per wave, in file order. wave: a WAV file beside this one. Escapes: \\\\ and \\xNN.\n";
    for (int i = 0; i < c.Count(); ++i) {
        const auto& item = c.ItemAt(i);
        const std::string file = fileStem(i, item.Name()) + ".wav";
        item.Wave().SaveToFile((dir / file).string());
        m << "\n[item]\nname = " << escapeValue(item.Name()) << "\nwave = " << file
          << "\nlooped = " << (item.Looped() ? "true" : "false") << "\nmaxplayingcount = " << item.MaxPlayingCount()
          << "\n";
    }
    const fs::path manifest = dir / "manifest.txt";
    std::ofstream(manifest, std::ios::binary) << m.str();
    if (!fs::exists(manifest)) throw ToolError("cannot write \"" + manifest.string() + "\"");
    out << "extracted " << c.Count() << " waves to " << dir.string() << "\n";
    return 0;
}

bool parseBool(const std::string& v) {
    if (v == "true") return true;
    if (v == "false") return false;
    throw ToolError("looped must be true or false, not \"" + v + "\"");
}

int parseInt(const std::string& v) {
    std::size_t used = 0;
    int n = 0;
    try {
        n = std::stoi(v, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (v.empty() || used != v.size()) throw ToolError("maxplayingcount must be a whole number, not \"" + v + "\"");
    return n;
}

void packItem(TWaveCollectionItem& item, const ManifestItem& mi, const fs::path& baseDir) {
    bool haveWave = false;
    for (const auto& [key, value] : mi.values) {
        // Values come unescaped from the manifest reader; a second pass would misread backslashes.
        if (key == "name")
            item.SetName(value);
        else if (key == "looped")
            item.SetLooped(parseBool(value));
        else if (key == "maxplayingcount")
            item.SetMaxPlayingCount(parseInt(value));
        else if (key == "wave") {
            item.Wave().LoadFromFile((baseDir / value).string());
            haveWave = true;
        } else {
            throw ToolError("unknown key \"" + key + "\"");
        }
    }
    if (!haveWave) throw ToolError("no wave file");
}

int cmdPack(const std::vector<std::string>& args, std::ostream& out) {
    if (args.size() != 3) throw ToolError("usage: dxgtool pack MANIFEST FILE.dxw");
    const std::string manifestPath = args[1];
    std::ifstream in(manifestPath, std::ios::binary);
    if (!in) throw ToolError("cannot read \"" + manifestPath + "\"");
    std::ostringstream text;
    text << in.rdbuf();
    const Manifest m = parseManifest(text.str(), manifestPath);
    if (!m.global.empty())
        throw ToolError(manifestPath + ": unknown key \"" + m.global.begin()->first + "\" before the first [item]");
    const fs::path baseDir = fs::path(manifestPath).parent_path();
    TWaveCollection c;
    for (const ManifestItem& mi : m.items) {
        try {
            packItem(c.Add(), mi, baseDir);
        } catch (const std::exception& e) {
            throw ToolError(manifestPath + ":" + std::to_string(mi.line) + ": " + e.what());
        }
    }
    c.SaveToFile(args[2]);
    out << "packed " << c.Count() << " waves into " << args[2] << "\n";
    return 0;
}

} // namespace

int runWaveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return runCommand({cmdList, cmdExtract, cmdPack}, args, out, err);
}
