// SPDX-License-Identifier: MIT
// Reader of the text score and assembly of the module (see Score.h and assets/music/README.md).
#include "Score.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <sstream>

#include "Instruments.h"

namespace tw::song {

namespace {

using tw::synth::splitWords;

struct InstrumentDef {
    std::string name;
    int line = 0;
    bool oneShot = false;
    ToneRecipe tone;
    tw::synth::SoundDesc sound;
    int baseNote = 48; // C-4
    std::uint8_t volume = 64, panning = 128;
    tw::xm::Instrument xm;
};

struct TrackDef {
    std::string name, instrument;
    std::vector<std::pair<std::string, int>> tokens; // word and its line
    int line = 0;
};

struct Segment {
    std::string track;
    int transpose = 0;
};

// A channel of a pattern plays its segments one after another, then again from the first.
struct TrackUse {
    int channel = 0;
    std::vector<Segment> segments;
    int line = 0;
};

struct PatternDef {
    std::string name;
    int rows = 0;
    std::vector<TrackUse> uses;
    int line = 0;
};

int integer(const std::string& word, int low, int high, const std::string& what) {
    std::size_t used = 0;
    long value = 0;
    try {
        value = std::stol(word, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != word.size() || value < low || value > high)
        throw ScoreError(what + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                         ", got '" + word + "'");
    return static_cast<int>(value);
}

void need(const std::vector<std::string>& words, std::size_t count) {
    if (words.size() < count) throw ScoreError("'" + words[0] + "' needs " + std::to_string(count - 1) + " value(s)");
}

int note(const std::string& word) {
    const int n = tw::synth::parseNoteName(word);
    if (n < 0 || n > 95) throw ScoreError("unknown note '" + word + "'");
    return n;
}

// "tick:value ... [sustain N] [loop A B]"
tw::xm::Envelope readEnvelope(const std::vector<std::string>& words) {
    tw::xm::Envelope env;
    for (std::size_t i = 1; i < words.size(); ++i) {
        if (words[i] == "sustain") {
            need(words, i + 2);
            env.sustain = integer(words[++i], 0, 11, "sustain point");
        } else if (words[i] == "loop") {
            need(words, i + 3);
            env.loopStart = integer(words[++i], 0, 11, "loop start");
            env.loopEnd = integer(words[++i], env.loopStart, 11, "loop end");
        } else {
            const auto colon = words[i].find(':');
            if (colon == std::string::npos) throw ScoreError("envelope point needs tick:value, got '" + words[i] + "'");
            const int tick = integer(words[i].substr(0, colon), 0, 65535, "envelope tick");
            const int value = integer(words[i].substr(colon + 1), 0, 64, "envelope value");
            if (!env.points.empty() && tick <= env.points.back().first) throw ScoreError("envelope ticks must rise");
            env.points.emplace_back(static_cast<std::uint16_t>(tick), static_cast<std::uint16_t>(value));
        }
    }
    if (env.points.empty() || env.points.size() > 12) throw ScoreError("an envelope has 1 to 12 points");
    const auto count = static_cast<int>(env.points.size());
    if (env.sustain >= count || env.loopEnd >= count) throw ScoreError("envelope point number out of range");
    return env;
}

double decimal(const std::string& word) {
    std::size_t used = 0;
    double value = 0.0;
    try {
        value = std::stod(word, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != word.size()) throw ScoreError("not a number: '" + word + "'");
    return value;
}

// Instrument keywords; anything else of a one-shot goes to the sound reader.
void instrumentLine(InstrumentDef& ins, tw::synth::SoundReader& sound, const std::vector<std::string>& w) {
    const std::string& key = w[0];
    if (key == "oneshot") {
        ins.oneShot = true;
    } else if (key == "base") {
        need(w, 2);
        ins.baseNote = note(w[1]);
    } else if (key == "volume") {
        need(w, 2);
        ins.volume = static_cast<std::uint8_t>(integer(w[1], 0, 64, "volume"));
    } else if (key == "pan") {
        need(w, 2);
        ins.panning = static_cast<std::uint8_t>(integer(w[1], 0, 255, "pan"));
    } else if (key == "envelope") {
        ins.xm.volumeEnvelope = readEnvelope(w);
    } else if (key == "fadeout") {
        need(w, 2);
        ins.xm.fadeout = static_cast<std::uint16_t>(integer(w[1], 0, 4095, "fadeout"));
    } else if (key == "autovibrato") {
        need(w, 5);
        ins.xm.vibratoType = static_cast<std::uint8_t>(integer(w[1], 0, 3, "vibrato type"));
        ins.xm.vibratoSweep = static_cast<std::uint8_t>(integer(w[2], 0, 255, "vibrato sweep"));
        ins.xm.vibratoDepth = static_cast<std::uint8_t>(integer(w[3], 0, 15, "vibrato depth"));
        ins.xm.vibratoRate = static_cast<std::uint8_t>(integer(w[4], 0, 63, "vibrato rate"));
    } else if (!ins.oneShot && key == "tone") {
        need(w, 2);
        if (!presetHarmonics(w[1], ins.tone.harmonics)) throw ScoreError("unknown tone '" + w[1] + "'");
    } else if (!ins.oneShot && key == "harmonics") {
        need(w, 2);
        ins.tone.harmonics.clear();
        for (std::size_t i = 1; i < w.size(); ++i) ins.tone.harmonics.push_back(decimal(w[i]));
    } else if (!ins.oneShot && key == "chorus") {
        need(w, 3);
        ins.tone.voices = integer(w[1], 1, 8, "chorus voices");
        ins.tone.spreadCents = decimal(w[2]);
    } else if (!ins.oneShot && key == "rolloff") {
        need(w, 2);
        ins.tone.rolloff = decimal(w[1]);
    } else if (!ins.oneShot && key == "seed") {
        need(w, 2);
        ins.tone.seed = static_cast<std::uint32_t>(integer(w[1], 0, 1 << 30, "seed"));
    } else if (!ins.oneShot || !sound.accept(w)) {
        throw ScoreError("unknown instrument keyword '" + key + "'");
    }
}

tw::xm::Cell cellFor(const std::string& word, std::uint8_t instrument, int baseNote, int transpose) {
    tw::xm::Cell cell;
    if (word == ".") return cell;
    if (word == "off") {
        cell.note = tw::xm::kKeyOff;
        return cell;
    }
    std::string notePart = word;
    const auto colon = word.find(':');
    if (colon != std::string::npos) {
        notePart = word.substr(0, colon);
        cell.volume = static_cast<std::uint8_t>(0x10 + integer(word.substr(colon + 1), 0, 64, "note volume"));
    }
    if (notePart.size() > 1 && notePart[0] == 'v' && std::isdigit(static_cast<unsigned char>(notePart[1]))) {
        cell.volume = static_cast<std::uint8_t>(0x10 + integer(notePart.substr(1), 0, 64, "volume"));
        return cell;
    }
    const int n = notePart == "x" ? baseNote : note(notePart) + transpose;
    if (n < 0 || n > 95) throw ScoreError("'" + word + "' transposed leaves the note range");
    cell.note = static_cast<std::uint8_t>(n + 1);
    cell.instrument = instrument;
    return cell;
}

class Reader {
public:
    explicit Reader(std::string source) : source_(std::move(source)) {}

    tw::xm::Module read(const std::string& text) {
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            ++line_;
            const auto words = splitWords(line);
            if (words.empty()) continue;
            try {
                const bool indented = std::isspace(static_cast<unsigned char>(line[0])) != 0;
                indented ? blockLine(words) : topLine(words);
            } catch (const std::runtime_error& e) {
                throw ScoreError(where(line_) + e.what());
            }
        }
        return assemble();
    }

private:
    std::string where(int line) const { return source_ + ":" + std::to_string(line) + ": "; }

    void topLine(const std::vector<std::string>& w) {
        block_ = Block::None;
        const std::string& key = w[0];
        if (key == "title") {
            need(w, 2);
            module_.name.clear();
            for (std::size_t i = 1; i < w.size(); ++i) module_.name += (i > 1 ? " " : "") + w[i];
        } else if (key == "speed") {
            need(w, 2);
            module_.speed = static_cast<std::uint16_t>(integer(w[1], 1, 31, "speed"));
        } else if (key == "bpm") {
            need(w, 2);
            module_.bpm = static_cast<std::uint16_t>(integer(w[1], 32, 255, "bpm"));
        } else if (key == "channels") {
            need(w, 2);
            module_.channels = integer(w[1], 1, 32, "channels");
        } else if (key == "rows") {
            need(w, 2);
            rows_ = integer(w[1], 1, 256, "rows");
        } else if (key == "instrument") {
            need(w, 2);
            unique(instrumentIndex_, w[1], "instrument");
            instrumentIndex_[w[1]] = instruments_.size();
            instruments_.push_back(InstrumentDef{});
            instruments_.back().name = w[1];
            instruments_.back().line = line_;
            sound_.emplace(instruments_.back().sound);
            block_ = Block::Instrument;
        } else if (key == "track") {
            need(w, 3);
            unique(trackIndex_, w[1], "track");
            trackIndex_[w[1]] = tracks_.size();
            tracks_.push_back(TrackDef{w[1], w[2], {}, line_});
            for (std::size_t i = 3; i < w.size(); ++i) tracks_.back().tokens.emplace_back(w[i], line_);
            block_ = Block::Track;
        } else if (key == "pattern") {
            need(w, 2);
            unique(patternIndex_, w[1], "pattern");
            patternIndex_[w[1]] = patterns_.size();
            patterns_.push_back(PatternDef{w[1], rows_, {}, line_});
            if (w.size() == 4 && w[2] == "rows")
                patterns_.back().rows = integer(w[3], 1, 256, "rows");
            else if (w.size() != 2)
                throw ScoreError("pattern line is 'pattern <name> [rows N]'");
            block_ = Block::Pattern;
        } else if (key == "order") {
            orderLine_ = line_;
            orderWords(w, 1);
            block_ = Block::Order;
        } else {
            throw ScoreError("unknown keyword '" + key + "'");
        }
    }

    void blockLine(const std::vector<std::string>& w) {
        switch (block_) {
        case Block::None: throw ScoreError("indented line outside an instrument, track, pattern or order");
        case Block::Instrument: instrumentLine(instruments_.back(), *sound_, w); break;
        case Block::Track:
            for (const auto& word : w) tracks_.back().tokens.emplace_back(word, line_);
            break;
        case Block::Pattern: {
            if (w.size() < 2) throw ScoreError("a channel line is '<channel> <track>[+n|-n]...'");
            TrackUse use{integer(w[0], 1, module_.channels, "channel"), {}, line_};
            for (std::size_t i = 1; i < w.size(); ++i) {
                // "bass-4" is the track "bass" four semitones down.
                const auto sign = w[i].find_first_of("+-", 1);
                Segment segment{w[i].substr(0, sign), 0};
                if (sign != std::string::npos) {
                    const std::string amount = w[i].substr(sign + 1);
                    segment.transpose = integer(amount, 0, 48, "transpose") * (w[i][sign] == '-' ? -1 : 1);
                }
                use.segments.push_back(segment);
            }
            patterns_.back().uses.push_back(use);
            break;
        }
        case Block::Order: orderWords(w, 0); break;
        }
    }

    void orderWords(const std::vector<std::string>& w, std::size_t from) {
        for (std::size_t i = from; i < w.size(); ++i) {
            if (w[i] == "|:") {
                if (restart_) throw ScoreError("the order list has one loop point '|:'");
                restart_ = order_.size();
            } else {
                order_.emplace_back(w[i], line_);
            }
        }
    }

    template <typename Map>
    void unique(const Map& map, const std::string& name, const std::string& what) {
        if (map.count(name)) throw ScoreError(what + " '" + name + "' is defined twice");
    }

    tw::xm::Module assemble() {
        if (order_.empty()) throw ScoreError(source_ + ": the song has no order list");
        for (const auto& def : instruments_) {
            try {
                module_.instruments.push_back(renderInstrument(def));
            } catch (const std::runtime_error& e) {
                throw ScoreError(where(def.line) + "instrument '" + def.name + "': " + e.what());
            }
        }
        for (const auto& def : patterns_) module_.patterns.push_back(buildPattern(def));
        for (const auto& [name, line] : order_) {
            const auto it = patternIndex_.find(name);
            if (it == patternIndex_.end())
                throw ScoreError(where(line) + "unknown pattern '" + name + "' in the order list");
            module_.order.push_back(static_cast<std::uint8_t>(it->second));
        }
        module_.restart = static_cast<std::uint16_t>(restart_.value_or(0));
        if (module_.restart >= module_.order.size())
            throw ScoreError(where(orderLine_) + "the loop point '|:' ends the order list");
        try {
            tw::xm::validate(module_);
        } catch (const tw::xm::XmError& e) {
            throw ScoreError(source_ + ": " + e.what());
        }
        return std::move(module_);
    }

    tw::xm::Instrument renderInstrument(const InstrumentDef& def) {
        tw::xm::Instrument ins = def.xm;
        ins.name = def.name;
        tw::xm::Sample sample;
        if (def.oneShot) {
            if (def.sound.layers.empty()) throw ScoreError("a one-shot instrument needs a layer");
            sample = renderOneShot(def.sound, def.baseNote);
        } else {
            sample = renderTone(def.tone, def.baseNote);
        }
        sample.name = def.name;
        sample.volume = def.volume;
        sample.panning = def.panning;
        ins.samples.push_back(std::move(sample));
        return ins;
    }

    std::size_t instrumentNamed(const std::string& name) const {
        const auto i = instrumentIndex_.find(name);
        if (i == instrumentIndex_.end()) throw ScoreError("unknown instrument '" + name + "'");
        return i->second;
    }

    void appendTrack(const Segment& segment, std::vector<tw::xm::Cell>& cells) const {
        const auto t = trackIndex_.find(segment.track);
        if (t == trackIndex_.end()) throw ScoreError("unknown track '" + segment.track + "'");
        const TrackDef& track = tracks_[t->second];
        for (const auto& [word, line] : track.tokens) {
            if (word == "|") continue; // bar line, for the reader's eye
            try {
                // "x@rim" plays another instrument than the track's for one row.
                std::string cellWord = word, name = track.instrument;
                const auto at = word.find('@');
                if (at != std::string::npos) {
                    const auto end = word.find(':', at);
                    name = word.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
                    cellWord = word.substr(0, at) + (end == std::string::npos ? "" : word.substr(end));
                }
                const std::size_t ins = instrumentNamed(name);
                cells.push_back(cellFor(cellWord, static_cast<std::uint8_t>(ins + 1), instruments_[ins].baseNote,
                                        segment.transpose));
            } catch (const std::runtime_error& e) {
                throw ScoreError(where(line) + "track '" + track.name + "': " + e.what());
            }
        }
    }

    tw::xm::Pattern buildPattern(const PatternDef& def) {
        tw::xm::Pattern pattern;
        pattern.rows = def.rows;
        pattern.cells.assign(static_cast<std::size_t>(def.rows * module_.channels), tw::xm::Cell{});
        std::vector<bool> used(static_cast<std::size_t>(module_.channels), false);
        for (const auto& use : def.uses) {
            try {
                const auto channel = static_cast<std::size_t>(use.channel - 1);
                if (used[channel]) throw ScoreError("channel " + std::to_string(use.channel) + " has two tracks");
                used[channel] = true;
                std::vector<tw::xm::Cell> cells;
                for (const auto& segment : use.segments) appendTrack(segment, cells);
                if (cells.empty()) throw ScoreError("channel " + std::to_string(use.channel) + " has no rows");
                if (cells.size() > static_cast<std::size_t>(def.rows) || def.rows % static_cast<int>(cells.size()) != 0)
                    throw ScoreError("channel " + std::to_string(use.channel) + " has " + std::to_string(cells.size()) +
                                     " rows, which do not divide the pattern's " + std::to_string(def.rows));
                // A shorter track repeats to fill the pattern.
                for (int row = 0; row < def.rows; ++row)
                    pattern.cells[static_cast<std::size_t>(row * module_.channels) + channel] =
                        cells[static_cast<std::size_t>(row) % cells.size()];
            } catch (const ScoreError& e) {
                const std::string text = e.what();
                if (text.rfind(source_ + ":", 0) == 0) throw;
                throw ScoreError(where(use.line) + text);
            }
        }
        return pattern;
    }

    enum class Block { None, Instrument, Track, Pattern, Order };
    std::string source_;
    int line_ = 0;
    int orderLine_ = 0;
    int rows_ = 64;
    Block block_ = Block::None;
    tw::xm::Module module_;
    std::vector<InstrumentDef> instruments_;
    std::vector<TrackDef> tracks_;
    std::vector<PatternDef> patterns_;
    std::map<std::string, std::size_t> instrumentIndex_, trackIndex_, patternIndex_;
    std::vector<std::pair<std::string, int>> order_;
    std::optional<std::size_t> restart_;
    std::optional<tw::synth::SoundReader> sound_;
};

} // namespace

tw::xm::Module buildSong(const std::string& text, const std::string& sourceName) {
    return Reader(sourceName).read(text);
}

} // namespace tw::song
