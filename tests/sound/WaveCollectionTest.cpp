// SPDX-License-Identifier: MIT
// The wave collection: its file (read, written, damaged), lookup, loading while bound to a sound
// device, and the collection tool on waves written by SoX.
#include "WaveBuilder.h"
#include "WaveCommands.h"

#include "core/ByteStream.h"
#include "core/CollectionFile.h"
#include "graphics/PictureCollection.h"
#include "sound/DXSounds.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

using ::testing::StartsWith;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

namespace fs = std::filesystem;

const std::string kFixtures = TW_FIXTURES_DIR "/sound";

std::vector<std::uint8_t> readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes a DXW by hand, entry by entry, so a test can store what our own writer never would.
struct DxwBuilder {
    CollectionWriter w{"TWaveCollectionComponent", ""};
    DxwBuilder() {
        w.PropertyName("List");
        w.CollectionBegin();
    }
    std::vector<std::uint8_t> finish() {
        w.ListEnd();
        w.ListEnd();
        return w.Finish();
    }
};

std::vector<std::uint8_t> waveBlock(std::int16_t value = 1000) {
    return constantWave(1, 22050, 4, value).SaveToBytes();
}

using tw::test::TempDir;

TEST(WaveCollection, FileRoundTripKeepsItemsInOrder) {
    TWaveCollection c;
    auto& a = c.Add();
    a.SetName("fishdie");
    a.SetMaxPlayingCount(2);
    a.Wave() = constantWave(1, 11025, 10, -5);
    auto& b = c.Add();
    b.SetName("menu");
    b.SetLooped(true);
    b.Wave() = constantWave(2, 44100, 3, 7);
    c.Add().SetName("silent"); // no wave at all

    TWaveCollection r;
    r.LoadFromBytes(c.SaveToBytes());
    ASSERT_EQ(r.Count(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r.ItemAt(i).Name(), c.ItemAt(i).Name());
        EXPECT_EQ(r.ItemAt(i).Looped(), c.ItemAt(i).Looped());
        EXPECT_EQ(r.ItemAt(i).MaxPlayingCount(), c.ItemAt(i).MaxPlayingCount());
        EXPECT_EQ(r.ItemAt(i).Wave().SaveToBytes(), c.ItemAt(i).Wave().SaveToBytes());
    }
    EXPECT_TRUE(r.ItemAt(2).Wave().Empty());
}

TEST(WaveCollection, ReaderAcceptsWhatOtherWritersStore) {
    DxwBuilder d;
    d.w.ItemBegin();
    d.w.PropertyName("wave.wave"); // names in any case and order
    auto block =
        WaveBuilder().chunk("LIST", {1, 2}).chunk("fmt ", makePcmFormat(1, 8, 8000)).chunk("data", {200}).bytes;
    d.w.Binary(block);
    d.w.PropertyName("MAXPLAYINGCOUNT");
    d.w.Integer(-3);
    d.w.PropertyName("Looped");
    d.w.Ident("True");
    d.w.PropertyName("Name");
    d.w.String("Bonus");
    d.w.ListEnd();
    d.w.ItemBegin(); // an item with nothing stored keeps its start values
    d.w.ListEnd();
    TWaveCollection c;
    c.LoadFromBytes(d.finish());
    ASSERT_EQ(c.Count(), 2);
    auto& item = c.Find("BONUS");
    EXPECT_EQ(item.MaxPlayingCount(), 0);
    EXPECT_TRUE(item.Looped());
    EXPECT_EQ(item.Wave().Size(), 1u);
    EXPECT_EQ(c.ItemAt(1).Name(), "");
    EXPECT_FALSE(c.ItemAt(1).Looped());
}

TEST(WaveCollection, FindIgnoresCaseAndTheLaterItemWins) {
    TWaveCollection c;
    c.Add().SetName("Herogun");
    c.Add().SetName("HEROGUN");
    c.Add().SetName("menu");
    EXPECT_EQ(c.Find("herogun").Index(), 1);
    EXPECT_EQ(c.Find("MENU").Index(), 2);
    EXPECT_EQ(c.IndexOf("looser"), -1);
    EXPECT_THAT([&] { c.Find("looser"); }, ThrowsMessage<EWaveCollectionError>(StrEq("Wave 'looser' not found")));
    EXPECT_THROW(c.ItemAt(3), EListError);
}

TEST(WaveCollection, DamagedFilesGiveTheReadersErrorsAndKeepWhatWasRead) {
    auto withItems = [](const std::function<void(CollectionWriter&)>& items) {
        DxwBuilder d;
        items(d.w);
        return d.finish();
    };
    auto good = [](CollectionWriter& w, const std::string& name) {
        w.ItemBegin();
        w.PropertyName("Name");
        w.String(name);
        w.PropertyName("Wave.WAVE");
        w.Binary(waveBlock());
        w.ListEnd();
    };
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        const char* message;
        int itemsLeft;
    };
    auto truncated = withItems([&](CollectionWriter& w) {
        good(w, "a");
        good(w, "b");
    });
    truncated.resize(truncated.size() - 30);
    std::vector<Case> cases = {
        {"not a collection file", {'R', 'I', 'F', 'F'}, "Invalid stream format", 0},
        {"wave block not RIFF", withItems([&](CollectionWriter& w) {
             good(w, "a");
             w.ItemBegin();
             w.PropertyName("Wave.WAVE");
             w.Binary(std::vector<std::uint8_t>{'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'});
             w.ListEnd();
         }),
         "Error reading Wave.WAVE: Wave is invalid", 2},
        {"wave data cut short", withItems([&](CollectionWriter& w) {
             w.ItemBegin();
             w.PropertyName("Wave.WAVE");
             w.Binary(WaveBuilder().chunk("fmt ", makePcmFormat(1, 16, 8000)).chunkSized("data", 9, {1}).bytes);
             w.ListEnd();
         }),
         "Error reading Wave.WAVE: Stream read error", 1},
        {"unknown property", withItems([&](CollectionWriter& w) {
             w.ItemBegin();
             w.PropertyName("Volume");
             w.Integer(3);
             w.ListEnd();
         }),
         "Error reading Volume: Property Volume does not exist", 1},
        {"path through a plain value", withItems([&](CollectionWriter& w) {
             w.ItemBegin();
             w.PropertyName("Name.Data");
             w.String("x");
             w.ListEnd();
         }),
         "Error reading Name.Data: Invalid property path", 1},
        {"wrong value type", withItems([&](CollectionWriter& w) {
             w.ItemBegin();
             w.PropertyName("MaxPlayingCount");
             w.String("2");
             w.ListEnd();
         }),
         "Error reading MaxPlayingCount: Invalid property value", 1},
        {"file cut short", truncated, "Error reading Wave.WAVE: Stream read error", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TWaveCollection coll;
        coll.Add().SetName("old");
        EXPECT_THAT([&] { coll.LoadFromBytes(c.bytes); }, ThrowsMessage<EReadError>(StrEq(c.message))) << "no error";
        EXPECT_EQ(coll.Count(), c.itemsLeft);
        if (c.itemsLeft > 1) {
            EXPECT_EQ(coll.ItemAt(0).Name(), "a");
        }
    }
}

TEST(WaveCollection, MissingFileNamesItself) {
    TWaveCollection c;
    EXPECT_THAT([&] { c.LoadFromFile("/nonexistent/gamesound.dxw"); },
                ThrowsMessage<EFOpenError>(StartsWith("Cannot open file \"/nonexistent/gamesound.dxw\". ")));
    const TempDir dir;
    fs::create_directory(dir / "gamesound.dxw");
    EXPECT_THAT(
        [&] { c.LoadFromFile(dir / "gamesound.dxw"); },
        ThrowsMessage<EFOpenError>(StrEq("Cannot open file \"" + dir / "gamesound.dxw" + "\". Is a directory")));

    c.LoadFromFile(kFixtures + "/seed/good.dxw");
    EXPECT_THAT([&] { c.Find("looser"); }, ThrowsMessage<EWaveCollectionError>(StrEq("Wave 'looser' not found in \"" +
                                                                                     kFixtures + "/seed/good.dxw\"")));
}

// Damaged files kept in the fixtures: each must fail with the error named in expected.txt.
TEST(WaveCollection, DamagedCorpusFailsCleanly) {
    std::ifstream list(kFixtures + "/damaged/expected.txt");
    ASSERT_TRUE(list) << "missing corpus list";
    std::string line;
    int checked = 0;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#') continue;
        auto tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        std::string file = line.substr(0, tab), message = line.substr(tab + 1);
        SCOPED_TRACE(file);
        TWaveCollection c;
        const std::string path = kFixtures + "/damaged/" + file;
        EXPECT_THAT([&] { c.LoadFromFile(path); },
                    ThrowsMessage<std::exception>(StrEq("Cannot load file \"" + path + "\". " + message)))
            << "no error";
        ++checked;
    }
    EXPECT_GT(checked, 0);
    // The file they were made from is sound.
    TWaveCollection good;
    good.LoadFromFile(kFixtures + "/seed/good.dxw");
    ASSERT_EQ(good.Count(), 2);
    EXPECT_TRUE(good.Find("menu").Looped());
    EXPECT_EQ(good.Find("herogun").MaxPlayingCount(), 2);
}

TEST(WaveCollection, LoadingWhileBoundMakesTheBuffersAtOnce) {
    TManualSoundOutput output;
    TDXSound sound(&output);
    TDXWaveList list;
    list.SetDXSound(&sound);
    sound.Loaded();
    TWaveCollection src;
    auto& item = src.Add();
    item.SetName("nextlevel");
    item.Wave() = constantWave(1, 22050, 10, 1);
    list.Items().LoadFromBytes(src.SaveToBytes());
    auto& loaded = list.Items().Find("nextlevel");
    EXPECT_TRUE(loaded.Initialized());
    EXPECT_EQ(sound.DSound()->Buffers().size(), 2u); // the primary and the master
    // Assigning a collection copies the items and binds them too.
    TDXWaveList other;
    other.SetDXSound(&sound);
    other.SetItems(list.Items());
    EXPECT_TRUE(other.Items().Find("NEXTLEVEL").Initialized());
    EXPECT_NE(other.Items().Find("nextlevel").Buffer(), nullptr);
    // The device goes: the list lets go of it.
    list.SetDXSound(nullptr);
    EXPECT_FALSE(list.Items().Find("nextlevel").Initialized());
}

// The game's own sounds: without a device the file loads and every play is silent.
TEST(WaveCollection, GameSoundsWithoutADeviceLoadAndPlaySilently) {
    TWaveCollection src;
    for (const char* name :
         {"bonus", "fishdie", "herodieair", "herodiefish", "herogun", "heronet", "looser", "menu", "nextlevel"}) {
        auto& item = src.Add();
        item.SetName(name);
        item.Wave() = constantWave(1, 22050, 100, 3);
    }
    TempDir tmp;
    const std::string path = (tmp.path() / "gamesound.dxw").string();
    src.SaveToFile(path);

    TManualSoundOutput none(false);
    TDXSound sound(&none);
    TDXWaveList list;
    list.SetDXSound(&sound);
    sound.Loaded();
    list.Items().LoadFromFile(path);
    ASSERT_EQ(list.Items().Count(), 9);
    for (int i = 0; i < list.Items().Count(); ++i) {
        auto& item = list.Items().Find(list.Items().ItemAt(i).Name());
        EXPECT_NO_THROW(item.Play());
        EXPECT_EQ(item.CopyCount(), 0);
    }
}

// Waves written by SoX in several layouts, packed, listed and extracted by the collection tool.
TEST(WaveTool, SoxWavesPackListAndExtract) {
    struct Expected {
        int channels, rate, bits, frames;
    };
    std::map<std::string, Expected> manifest;
    std::ifstream in(kFixtures + "/sox/manifest.txt");
    ASSERT_TRUE(in);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream s(line);
        std::string name;
        Expected e{};
        s >> name >> e.channels >> e.rate >> e.bits >> e.frames;
        manifest[name] = e;
    }
    ASSERT_GE(manifest.size(), 6u);

    TempDir tmp;
    std::ostringstream m;
    int index = 0;
    for (const auto& [name, e] : manifest) {
        m << "[item]\nname = " << name << "\nwave = " << kFixtures << "/sox/" << name
          << ".wav\nmaxplayingcount = " << index++ << "\nlooped = " << (e.channels == 2 ? "true" : "false") << "\n";
    }
    const fs::path manifestPath = tmp.path() / "in.txt";
    std::ofstream(manifestPath) << m.str();
    const std::string dxw = (tmp.path() / "sfx.dxw").string();
    std::ostringstream out, err;
    // Absolute wave paths: the manifest's folder is joined with them and they stay as they are.
    ASSERT_EQ(runWaveCommand({"pack", manifestPath.string(), dxw}, out, err), 0) << err.str();

    out.str("");
    ASSERT_EQ(runWaveCommand({"list", dxw}, out, err), 0) << err.str();
    std::istringstream listed(out.str());
    index = 0;
    for (const auto& [name, e] : manifest) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(std::getline(listed, line));
        std::ostringstream want;
        want << index << "  \"" << name << "\"  " << (e.channels == 2 ? "looped" : "once") << "  max " << index << "  "
             << e.bits << "-bit " << (e.channels == 1 ? "mono" : "stereo") << " " << e.rate << " Hz, " << e.frames
             << " frames, " << e.frames * e.channels * e.bits / 8 << " bytes";
        EXPECT_EQ(line, want.str());
        ++index;
    }

    const fs::path outDir = tmp.path() / "out";
    ASSERT_EQ(runWaveCommand({"extract", dxw, outDir.string()}, out, err), 0) << err.str();
    index = 0;
    for (const auto& [name, e] : manifest) {
        SCOPED_TRACE(name);
        std::string prefix = std::to_string(index++);
        prefix = std::string(3 - prefix.size(), '0') + prefix + "-";
        TWave w;
        w.LoadFromFile((outDir / (prefix + name + ".wav")).string());
        auto raw = readBytes(kFixtures + "/sox/" + name + ".raw"); // SoX's own export of the samples
        EXPECT_EQ(std::vector<std::uint8_t>(w.Data().begin(), w.Data().end()), raw);
        auto pcm = parsePcmFormat(w.Format());
        ASSERT_TRUE(pcm);
        EXPECT_EQ(pcm->channels, e.channels);
        EXPECT_EQ(pcm->samplesPerSec, e.rate);
        EXPECT_EQ(pcm->bitsPerSample, e.bits);
        // The extracted file is the sox file's fmt and data chunks, nothing else: byte for byte
        // the same as the original for these plain files.
        EXPECT_EQ(readBytes(outDir / (prefix + name + ".wav")), readBytes(kFixtures + "/sox/" + name + ".wav"));
    }

    // Packing the extracted folder again gives the same file.
    const std::string again = (tmp.path() / "again.dxw").string();
    ASSERT_EQ(runWaveCommand({"pack", (outDir / "manifest.txt").string(), again}, out, err), 0) << err.str();
    EXPECT_EQ(readBytes(again), readBytes(dxw));
}

// Names with backslashes and bytes outside printable ASCII survive extract and pack unchanged.
TEST(WaveTool, EscapedNamesRoundTrip) {
    TempDir tmp;
    const std::vector<std::string> names = {"to\\e8", "q\\x41", "q\\\\x41", "tab\there", " both ends ", "\xE9t\xE9"};
    TWaveCollection c;
    for (const auto& n : names) {
        auto& item = c.Add();
        item.SetName(n);
        item.Wave() = constantWave(1, 8000, 4, 1);
    }
    const std::string a = (tmp.path() / "a.dxw").string(), b = (tmp.path() / "b.dxw").string();
    c.SaveToFile(a);
    std::ostringstream out, err;
    ASSERT_EQ(runWaveCommand({"extract", a, (tmp.path() / "x").string()}, out, err), 0) << err.str();
    ASSERT_EQ(runWaveCommand({"pack", (tmp.path() / "x" / "manifest.txt").string(), b}, out, err), 0) << err.str();
    TWaveCollection back;
    back.LoadFromFile(b);
    ASSERT_EQ(back.Count(), static_cast<int>(names.size()));
    for (int i = 0; i < back.Count(); ++i) EXPECT_EQ(back.ItemAt(i).Name(), names[static_cast<std::size_t>(i)]);
    EXPECT_EQ(readBytes(a), readBytes(b));
}

// A modder's way: extract the sounds, put a 24-bit wave (SoX's, extensible) in place of one, pack,
// and the game's device plays it.
TEST(WaveTool, ModdedFileWithA24BitWavePlays) {
    TempDir tmp;
    TWaveCollection original;
    for (const char* name : {"bonus", "herogun"}) {
        auto& item = original.Add();
        item.SetName(name);
        item.Wave() = constantWave(1, 22050, 100, 3);
    }
    const std::string dxw = (tmp.path() / "gamesound.dxw").string(), modded = (tmp.path() / "modded.dxw").string();
    original.SaveToFile(dxw);
    std::ostringstream out, err;
    ASSERT_EQ(runWaveCommand({"extract", dxw, (tmp.path() / "x").string()}, out, err), 0) << err.str();
    fs::copy_file(kFixtures + "/sox-wide/s24_mono.wav", tmp.path() / "x" / "001-herogun.wav",
                  fs::copy_options::overwrite_existing);
    ASSERT_EQ(runWaveCommand({"pack", (tmp.path() / "x" / "manifest.txt").string(), modded}, out, err), 0) << err.str();

    TManualSoundOutput output;
    TDXSound sound(&output);
    TDXWaveList list;
    list.SetDXSound(&sound);
    sound.Loaded();
    list.Items().LoadFromFile(modded);
    auto& herogun = list.Items().Find("herogun");
    ASSERT_NE(herogun.Buffer(), nullptr);
    herogun.Play();
    std::vector<std::int16_t> pcm(2 * 400);
    output.Render(pcm.data(), 400);
    EXPECT_GT(*std::max_element(pcm.begin(), pcm.end()), 8000) << "the 24-bit sine is heard";
}

TEST(WaveTool, BadInputIsReportedNotCrashed) {
    TempDir tmp;
    std::ostringstream out, err;
    EXPECT_EQ(runWaveCommand({"list", (tmp.path() / "none.dxw").string()}, out, err), 1);
    EXPECT_NE(err.str().find("Cannot open file"), std::string::npos);
    const fs::path manifestPath = tmp.path() / "m.txt";
    std::ofstream(manifestPath) << "[item]\nname = x\nwave = missing.wav\n";
    err.str("");
    EXPECT_EQ(runWaveCommand({"pack", manifestPath.string(), (tmp.path() / "o.dxw").string()}, out, err), 1);
    EXPECT_NE(err.str().find("m.txt:1:"), std::string::npos) << err.str();
    std::ofstream(manifestPath) << "[item]\nname = x\nwave = " << kFixtures
                                << "/sox/u8_mono_11025.wav\nlooped = maybe\n";
    err.str("");
    EXPECT_EQ(runWaveCommand({"pack", manifestPath.string(), (tmp.path() / "o.dxw").string()}, out, err), 1);
    EXPECT_NE(err.str().find("looped must be true or false"), std::string::npos) << err.str();
}

} // namespace
