// SPDX-License-Identifier: MIT
// The XM writer (read back by a separate reader) and the score reader of the song builder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "Instruments.h"
#include "Score.h"
#include "XmReader.h"
#include "XmWriter.h"

using tw::xm::Cell;
using tw::xm::Module;

namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

Module smallModule() {
    Module m;
    m.name = "Round Trip";
    m.channels = 3;
    m.speed = 5;
    m.bpm = 99;
    m.order = {1, 0, 1};
    m.restart = 1;
    tw::xm::Pattern short3;
    short3.rows = 3;
    short3.cells = {Cell{49, 1, 0x50, 0x0C, 0x20}, Cell{},      Cell{tw::xm::kKeyOff},
                    Cell{0, 0, 0, 0x0F, 0x03},     Cell{96, 2}, Cell{0, 0, 0x30},
                    Cell{1, 1, 0, 0, 0x44},        Cell{},      Cell{}};
    tw::xm::Pattern empty64;
    empty64.cells.assign(64 * 3, Cell{});
    empty64.cells[5] = Cell{60, 2, 0x40};
    m.patterns = {short3, empty64};

    tw::xm::Instrument a;
    a.name = "looped 16-bit";
    a.volumeEnvelope.points = {{0, 0}, {4, 64}, {30, 40}};
    a.volumeEnvelope.sustain = 2;
    a.panningEnvelope.points = {{0, 32}, {10, 16}, {20, 48}};
    a.panningEnvelope.loopStart = 1;
    a.panningEnvelope.loopEnd = 2;
    a.vibratoType = 1;
    a.vibratoSweep = 20;
    a.vibratoDepth = 4;
    a.vibratoRate = 9;
    a.fadeout = 1234;
    tw::xm::Sample s16;
    s16.name = "wave";
    s16.data = {0, 1000, -1000, 32767, -32768, 5};
    s16.loop = tw::xm::Loop::Forward;
    s16.loopStart = 1;
    s16.loopLength = 4;
    s16.volume = 48;
    s16.finetune = -20;
    s16.panning = 64;
    s16.relativeNote = 29;
    a.samples = {s16};

    tw::xm::Instrument b;
    b.name = "two 8-bit samples";
    tw::xm::Sample s8;
    s8.sixteenBit = false;
    s8.data = {0, 127 * 256, -128 * 256, 64 * 256};
    s8.loop = tw::xm::Loop::PingPong;
    s8.loopStart = 0;
    s8.loopLength = 4;
    tw::xm::Sample other = s8;
    other.loop = tw::xm::Loop::None;
    other.loopLength = 0;
    other.relativeNote = -12;
    b.samples = {s8, other};
    b.noteSample.fill(0);
    for (std::size_t n = 48; n < 96; ++n) b.noteSample[n] = 1;

    tw::xm::Instrument silent;
    silent.name = "no samples";
    m.instruments = {a, b, silent};
    return m;
}

void expectSameSample(const tw::xm::Sample& got, const tw::xm::Sample& want) {
    EXPECT_EQ(got.name, want.name);
    EXPECT_EQ(got.data, want.data);
    EXPECT_EQ(got.sixteenBit, want.sixteenBit);
    EXPECT_EQ(got.loop, want.loop);
    EXPECT_EQ(got.loopStart, want.loopStart);
    EXPECT_EQ(got.loopLength, want.loopLength);
    EXPECT_EQ(got.volume, want.volume);
    EXPECT_EQ(got.finetune, want.finetune);
    EXPECT_EQ(got.panning, want.panning);
    EXPECT_EQ(got.relativeNote, want.relativeNote);
}

void expectSameEnvelope(const tw::xm::Envelope& got, const tw::xm::Envelope& want) {
    EXPECT_EQ(got.points, want.points);
    EXPECT_EQ(got.sustain, want.sustain);
    EXPECT_EQ(got.loopStart, want.loopStart);
    EXPECT_EQ(got.loopEnd, want.loopEnd);
}

} // namespace

TEST(XmWriter, ModuleReadsBackUnchanged) {
    const Module m = smallModule();
    const auto r = xmtest::readXm(tw::xm::writeXm(m));
    EXPECT_EQ(r.id, "Extended Module: ");
    EXPECT_EQ(r.marker, 0x1A);
    EXPECT_EQ(r.version, 0x0104);
    EXPECT_EQ(r.headerSize, 276);
    EXPECT_EQ(r.name, m.name);
    EXPECT_EQ(r.tracker, m.tracker);
    EXPECT_EQ(r.module.channels, 3);
    EXPECT_EQ(r.module.speed, 5);
    EXPECT_EQ(r.module.bpm, 99);
    EXPECT_TRUE(r.module.linearFrequencies);
    EXPECT_EQ(r.module.order, m.order);
    EXPECT_EQ(r.module.restart, 1);
    ASSERT_EQ(r.module.patterns.size(), 2u);
    for (std::size_t p = 0; p < 2; ++p) {
        EXPECT_EQ(r.module.patterns[p].rows, m.patterns[p].rows);
        EXPECT_EQ(r.module.patterns[p].cells, m.patterns[p].cells) << "pattern " << p;
    }
    ASSERT_EQ(r.module.instruments.size(), 3u);
    EXPECT_EQ(r.instrumentHeaderSizes, (std::vector<int>{263, 263, 29}));
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& got = r.module.instruments[i];
        const auto& want = m.instruments[i];
        EXPECT_EQ(got.name, want.name);
        ASSERT_EQ(got.samples.size(), want.samples.size());
        for (std::size_t s = 0; s < want.samples.size(); ++s) expectSameSample(got.samples[s], want.samples[s]);
        if (want.samples.empty()) continue;
        EXPECT_EQ(got.noteSample, want.noteSample);
        expectSameEnvelope(got.volumeEnvelope, want.volumeEnvelope);
        expectSameEnvelope(got.panningEnvelope, want.panningEnvelope);
        EXPECT_EQ(got.fadeout, want.fadeout);
        EXPECT_EQ(got.vibratoType, want.vibratoType);
        EXPECT_EQ(got.vibratoSweep, want.vibratoSweep);
        EXPECT_EQ(got.vibratoDepth, want.vibratoDepth);
        EXPECT_EQ(got.vibratoRate, want.vibratoRate);
    }
}

TEST(XmWriter, CellsPackAsTheFormatSays) {
    using Bytes = std::vector<std::uint8_t>;
    const std::pair<Cell, Bytes> cases[] = {
        {Cell{}, {0x80}},
        {Cell{49}, {0x81, 49}},
        {Cell{tw::xm::kKeyOff}, {0x81, 97}},
        {Cell{49, 1, 0x50}, {0x87, 49, 1, 0x50}},
        {Cell{0, 0, 0, 0x0F, 0x03}, {0x98, 0x0F, 0x03}},
        {Cell{0, 0, 0x30}, {0x84, 0x30}},
        {Cell{49, 1, 0x50, 0x0C, 0x20}, {49, 1, 0x50, 0x0C, 0x20}}, // a full cell goes unpacked
    };
    for (const auto& [cell, bytes] : cases) {
        tw::xm::Pattern p;
        p.rows = 1;
        p.cells = {cell};
        EXPECT_EQ(tw::xm::packPattern(p, 1), bytes) << int(cell.note) << " " << int(cell.effect);
    }
}

TEST(XmWriter, SamplesAreStoredAsWrappingDifferences) {
    tw::xm::Sample s;
    s.data = {100, -100, 32767, -32768};
    // 100; -200 = 0xFF38; 32867 wraps to 0x8063; -65535 wraps to 0x0001
    EXPECT_EQ(tw::xm::deltaEncode(s), (std::vector<std::uint8_t>{0x64, 0x00, 0x38, 0xFF, 0x63, 0x80, 0x01, 0x00}));
    s.sixteenBit = false;
    s.data = {10 * 256, -10 * 256, 127 * 256, -128 * 256};
    EXPECT_EQ(tw::xm::deltaEncode(s), (std::vector<std::uint8_t>{10, 236, 137, 1}));
}

TEST(XmWriter, TuningMakesANotePlayAtTheWantedRate) {
    EXPECT_EQ(tw::xm::tuningFor(8363.0, 49), (std::pair<std::int8_t, std::int8_t>{0, 0}));
    EXPECT_EQ(tw::xm::tuningFor(16726.0, 49), (std::pair<std::int8_t, std::int8_t>{12, 0}));
    EXPECT_EQ(tw::xm::tuningFor(8363.0, 25), (std::pair<std::int8_t, std::int8_t>{24, 0}));
    for (const auto& [rate, note] : {std::pair{44100.0, 49}, std::pair{22050.0, 25}, std::pair{33000.0, 61}}) {
        const auto [relative, finetune] = tw::xm::tuningFor(rate, note);
        const double played = 8363.0 * std::pow(2.0, (note - 49 + relative + finetune / 128.0) / 12.0);
        EXPECT_NEAR(1200.0 * std::log2(played / rate), 0.0, 0.5) << rate; // within half a cent
    }
}

TEST(XmWriter, RefusesWhatTheFormatCannotHold) {
    const std::pair<void (*)(Module&), const char*> cases[] = {
        {[](Module& m) { m.restart = 3; }, "restart position"},
        {[](Module& m) { m.order.push_back(7); }, "missing pattern"},
        {[](Module& m) { m.order.clear(); }, "order list"},
        {[](Module& m) { m.patterns[0].cells.pop_back(); }, "cell count"},
        {[](Module& m) { m.patterns[0].cells[0].instrument = 4; }, "unknown instrument"},
        {[](Module& m) { m.patterns[0].cells[0].note = 98; }, "note out of range"},
        {[](Module& m) { m.instruments[0].samples[0].loopLength = 6; }, "loop must lie inside"},
        {[](Module& m) {
             m.instruments[0].volumeEnvelope.points.assign(13, {0, 0});
         },
         "at most 12 points"},
        {[](Module& m) { m.instruments[0].volumeEnvelope.points[1].first = 0; }, "ticks must rise"},
        {[](Module& m) { m.instruments[1].noteSample[0] = 2; }, "missing sample"},
        {[](Module& m) { m.bpm = 20; }, "BPM"},
    };
    for (const auto& [change, message] : cases) {
        Module m = smallModule();
        change(m);
        EXPECT_THAT([&] { tw::xm::writeXm(m); }, ThrowsMessage<tw::xm::XmError>(HasSubstr(message)))
            << "accepted a module with: " << message;
    }
}

namespace {

const char* kScore = R"(title Test Song
speed 4
bpm 150
channels 4
rows 16

instrument bass
  tone sine
  base C-2
  volume 50
  envelope 0:64 10:32 sustain 1
instrument kick   # a drum made by the effect synthesiser
  oneshot
  length 0.05
  layer
    freq 100 -> 50
    env 0:1 0.05:0

track riff bass
  E-2 . E-3 .
track beat kick
  x . x:32 . x@bass .
  .  .
track long bass
  G-2 . . . . . . . . . . . . . . .

pattern a
  1 riff riff+5 riff-2 riff
  2 beat
pattern b rows 32
  3 long long-12
order a |: b a
)";

} // namespace

TEST(SongScore, TracksBecomeCells) {
    const Module m = tw::song::buildSong(kScore, "t.song");
    EXPECT_EQ(m.name, "Test Song");
    EXPECT_EQ(m.speed, 4);
    EXPECT_EQ(m.bpm, 150);
    EXPECT_EQ(m.channels, 4);
    EXPECT_EQ(m.order, (std::vector<std::uint8_t>{0, 1, 0}));
    EXPECT_EQ(m.restart, 1);
    ASSERT_EQ(m.instruments.size(), 2u);
    EXPECT_EQ(m.instruments[0].name, "bass");
    EXPECT_EQ(m.instruments[0].volumeEnvelope.sustain, 1);
    EXPECT_EQ(m.instruments[0].samples[0].volume, 50);

    const auto& a = m.patterns[0];
    auto cell = [&](const tw::xm::Pattern& p, int row, int ch) {
        return p.cells[static_cast<std::size_t>(row * m.channels + ch)];
    };
    // Channel 1: the riff on E, then moved up 5 and down 2, then again on E. E-2 is tracker note 29.
    const std::uint8_t riffNotes[] = {29, 34, 27, 29};
    for (int seg = 0; seg < 4; ++seg) {
        EXPECT_EQ(cell(a, seg * 4, 0), (Cell{riffNotes[seg], 1})) << seg;
        EXPECT_EQ(cell(a, seg * 4 + 2, 0), (Cell{static_cast<std::uint8_t>(riffNotes[seg] + 12), 1})) << seg;
    }
    // Channel 2: an 8-row beat repeated twice; "x" is the base note, "@" another instrument.
    for (int rep = 0; rep < 2; ++rep) {
        EXPECT_EQ(cell(a, rep * 8 + 0, 1), (Cell{49, 2})) << rep;
        EXPECT_EQ(cell(a, rep * 8 + 2, 1), (Cell{49, 2, 0x10 + 32})) << rep;
        EXPECT_EQ(cell(a, rep * 8 + 4, 1), (Cell{25, 1})) << rep; // the bass's base note, C-2
    }
    EXPECT_EQ(cell(a, 1, 1), Cell{});
    EXPECT_EQ(cell(a, 0, 2), Cell{});
    // A 32-row pattern: the long note, then the same an octave down.
    const tw::xm::Pattern& b = m.patterns[1];
    EXPECT_EQ(b.rows, 32);
    EXPECT_EQ(cell(b, 0, 2), (Cell{32, 1}));
    EXPECT_EQ(cell(b, 16, 2), (Cell{20, 1}));
}

TEST(SongScore, ReleaseAndVolumeOnlyRows) {
    const Module m = tw::song::buildSong(
        "channels 1\nrows 4\ninstrument i\n  tone saw\ntrack t i\n  C-4:12 off v7 .\npattern p\n  1 t\norder p\n", "t");
    const auto& cells = m.patterns[0].cells;
    EXPECT_EQ(cells[0], (Cell{49, 1, 0x10 + 12}));
    EXPECT_EQ(cells[1], (Cell{tw::xm::kKeyOff}));
    EXPECT_EQ(cells[2], (Cell{0, 0, 0x10 + 7}));
    EXPECT_EQ(cells[3], Cell{});
}

TEST(SongScore, ToneInstrumentLoopsWholeCyclesAtTheRightPitch) {
    const Module m = tw::song::buildSong(kScore, "t.song");
    const auto& s = m.instruments[0].samples[0];
    ASSERT_EQ(s.loop, tw::xm::Loop::Forward);
    EXPECT_EQ(s.loopStart, 0u);
    EXPECT_EQ(s.loopLength, s.data.size());
    // The loop's end runs into its start without a jump.
    EXPECT_LT(std::abs(s.data.back() - s.data.front()), 600);
    // Count the sine's cycles around the loop; played at C-2 (tracker note 25) it must sound C-2.
    int cycles = 0;
    for (std::size_t i = 0; i < s.data.size(); ++i)
        if (s.data[(i + s.data.size() - 1) % s.data.size()] < 0 && s.data[i] >= 0) ++cycles;
    const double rate = 8363.0 * std::pow(2.0, (25 - 49 + s.relativeNote + s.finetune / 128.0) / 12.0);
    const double heard = cycles * rate / static_cast<double>(s.data.size());
    EXPECT_NEAR(1200.0 * std::log2(heard / 65.406), 0.0, 1.0); // C-2 within a cent
}

TEST(SongScore, MistakesNameTheLine) {
    const std::string head = "channels 2\nrows 8\ninstrument i\n  tone sine\n";
    const std::pair<std::string, const char*> cases[] = {
        {head + "track t i\n  C-4 . H-4 .\npattern p\n  1 t\norder p\n", "t.song:6: track 't': unknown note 'H-4'"},
        {head + "pattern p\n  1 nothing\norder p\n", "t.song:6: unknown track 'nothing'"},
        {head + "track t i\n  C-4 . .\npattern p\n  1 t\norder p\n",
         "t.song:8: channel 1 has 3 rows, which do not divide the pattern's 8"},
        {head + "track t i\n  C-4\npattern p\n  3 t\norder p\n",
         "t.song:8: channel must be a whole number from 1 to 2"},
        {head + "track t i\n  C-4\npattern p\n  1 t\norder p |:\n", "the loop point '|:' ends the order list"},
        {head + "track t i\n  C-4\npattern p\n  1 t\norder p q\n", "t.song:9: unknown pattern 'q' in the order list"},
        {head + "instrument i\n", "t.song:5: instrument 'i' is defined twice"},
        {head + "  layer\n", "t.song:5: unknown instrument keyword 'layer'"},
        {"  tone sine\n", "t.song:1: indented line outside"},
        {head + "track t i\n  B-7+\npattern p\n  1 t+12\norder p\n", "unknown note 'B-7+'"},
        {head + "track t i\n  B-7\npattern p\n  1 t+12\norder p\n", "transposed leaves the note range"},
        {head + "track t i\n  C-4@drum\npattern p\n  1 t\norder p\n", "unknown instrument 'drum'"},
        {head, "t.song: the song has no order list"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_THAT([&] { tw::song::buildSong(text, "t.song"); },
                    ThrowsMessage<tw::song::ScoreError>(HasSubstr(message)))
            << "accepted:\n"
            << text;
    }
}
