// SPDX-License-Identifier: MIT
// Replay files written and read, the game's check value, and the recorder and player.
#include "game/Replay.h"

#include "core/ByteStream.h"
#include "engine/DXSprite.h"
#include "game/GameContext.h"
#include "game/GameSprites.h"
#include "game/GameState.h"
#include "platform/Random.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <system_error>

namespace {

constexpr std::uint8_t QuitFlag = 1;
constexpr std::size_t RunBytes = 10;
// The largest file a replay within MaxReplayTicks can make, with a little room.
constexpr std::size_t MaxReplayFileBytes = 64u * 1024u * 1024u;

std::uint32_t crc32(std::span<const std::uint8_t> bytes) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::uint8_t b : bytes) c = table[(c ^ b) & 0xFFu] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void writeTick(ByteWriter& out, std::uint16_t count, const TReplayTick& tick) {
    out.u16(count);
    out.u8(tick.Input.Held);
    for (std::uint8_t push : tick.Input.Push) out.u8(push);
    out.u16(static_cast<std::uint16_t>(std::clamp<std::int32_t>(tick.Input.LagCount, 0, 0xFFFF)));
    out.u8(tick.Quit ? QuitFlag : 0);
}

[[noreturn]] void damaged(const std::string& source, const std::string& why) {
    throw EReplayError("Replay '" + source + "' is damaged: " + why);
}

// The state's values mixed into one word (FNV-1a over their bytes).
struct CheckHash {
    std::uint32_t h = 2166136261u;
    void add(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            h ^= (v >> (8 * i)) & 0xFFu;
            h *= 16777619u;
        }
    }
};

} // namespace

std::vector<std::uint8_t> EncodeReplay(const TReplay& replay) {
    ByteWriter out;
    for (char c : {'T', 'W', 'R', 'P'}) out.u8(static_cast<std::uint8_t>(c));
    out.u16(ReplayVersion);
    out.u32(replay.Start.RandomState);
    for (std::uint16_t d : replay.Start.Delays) out.u16(d);
    out.u32(static_cast<std::uint32_t>(replay.Ticks.size()));
    out.u32(replay.End.Score);
    out.u16(replay.End.Level);
    out.u32(replay.End.Check);
    const std::size_t runCountAt = out.size();
    out.u32(0);
    std::uint32_t runs = 0;
    for (std::size_t i = 0; i < replay.Ticks.size();) {
        std::size_t j = i + 1;
        while (j < replay.Ticks.size() && j - i < 0xFFFF && replay.Ticks[j] == replay.Ticks[i]) ++j;
        writeTick(out, static_cast<std::uint16_t>(j - i), replay.Ticks[i]);
        ++runs;
        i = j;
    }
    out.patchU32(runCountAt, runs);
    out.u32(static_cast<std::uint32_t>(replay.Checks.size()));
    for (std::uint32_t c : replay.Checks) out.u32(c);
    out.u32(crc32(out.data()));
    return out.take();
}

TReplay DecodeReplay(std::span<const std::uint8_t> bytes, const std::string& source) {
    if (bytes.size() < 4 || bytes[0] != 'T' || bytes[1] != 'W' || bytes[2] != 'R' || bytes[3] != 'P')
        throw EReplayError("'" + source + "' is not a replay");
    if (bytes.size() < 8) damaged(source, "it ends early");
    const std::span<const std::uint8_t> body = bytes.first(bytes.size() - 4);
    ByteReader tail(bytes.last(4));
    if (tail.u32() != crc32(body)) damaged(source, "its check sum does not match");
    try {
        ByteReader in(body);
        in.skip(4);
        if (const std::uint16_t version = in.u16(); version != ReplayVersion)
            throw EReplayError("Replay '" + source + "' is of version " + std::to_string(version) +
                               ", which this game cannot read");
        TReplay replay;
        replay.Start.RandomState = in.u32();
        for (std::uint16_t& d : replay.Start.Delays) d = in.u16();
        const std::uint32_t ticks = in.u32();
        if (ticks > MaxReplayTicks) damaged(source, "it claims " + std::to_string(ticks) + " ticks");
        replay.End.Score = in.u32();
        replay.End.Level = in.u16();
        replay.End.Check = in.u32();
        const std::uint32_t runs = in.u32();
        // Checked against the bytes there are before anything is reserved: a lying count costs nothing.
        if (runs > ticks || static_cast<std::uint64_t>(runs) * RunBytes > in.remaining())
            damaged(source, "its tick runs do not fit the file");
        replay.Ticks.reserve(ticks);
        for (std::uint32_t r = 0; r < runs; ++r) {
            const std::uint16_t count = in.u16();
            TReplayTick tick;
            tick.Input.Held = in.u8();
            for (std::uint8_t& push : tick.Input.Push) push = in.u8();
            tick.Input.LagCount = in.u16();
            const std::uint8_t flags = in.u8();
            if (count == 0 || (flags & ~QuitFlag) != 0)
                damaged(source, "tick run " + std::to_string(r) + " is not valid");
            tick.Quit = (flags & QuitFlag) != 0;
            if (replay.Ticks.size() + count > ticks) damaged(source, "its runs hold more ticks than it claims");
            replay.Ticks.insert(replay.Ticks.end(), count, tick);
        }
        if (replay.Ticks.size() != ticks) damaged(source, "its runs hold fewer ticks than it claims");
        const std::uint32_t checks = in.u32();
        if (checks != ticks / ReplayCheckInterval)
            damaged(source, "it holds " + std::to_string(checks) + " check values");
        replay.Checks.reserve(checks);
        for (std::uint32_t c = 0; c < checks; ++c) replay.Checks.push_back(in.u32());
        if (!in.atEnd()) damaged(source, "there are bytes after its end");
        return replay;
    } catch (const EReadError&) {
        damaged(source, "it ends early");
    }
}

TReplay LoadReplayFile(const std::filesystem::path& file) {
    const std::string name = file.string();
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec))
        throw EReplayError("Cannot read replay '" + name + "': Is a directory");
    std::ifstream in(file, std::ios::binary);
    if (!in) throw EReplayError("Cannot open replay '" + name + "': " + std::generic_category().message(errno));
    std::vector<std::uint8_t> bytes;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + in.gcount());
        if (bytes.size() > MaxReplayFileBytes) damaged(name, "it is larger than any replay");
    }
    if (in.bad()) throw EReplayError("Cannot read replay '" + name + "'");
    return DecodeReplay(bytes, name);
}

void SaveReplayFile(const std::filesystem::path& file, const TReplay& replay) {
    const std::vector<std::uint8_t> bytes = EncodeReplay(replay);
    std::filesystem::path temporary = file;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            throw EReplayError("Cannot write replay '" + file.string() + "'");
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, file, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        throw EReplayError("Cannot write replay '" + file.string() + "'");
    }
}

std::uint32_t ReplayCheckValue() {
    CheckHash hash;
    hash.add(tw::platform::randomSeed());
    hash.add(Game.Score);
    hash.add(Game.Level);
    hash.add(static_cast<std::uint32_t>(Game.Lives));
    hash.add(static_cast<std::uint32_t>(Game.Air));
    hash.add(static_cast<std::uint32_t>(Game.UpReliefEnd));
    if (const THeroSprite* hero = Game.Hero) {
        hash.add(static_cast<std::uint32_t>(hero->X));
        hash.add(static_cast<std::uint32_t>(hero->Y));
    }
    // Every fish and shot where it is: they carry a different course before the score shows it.
    if (TCustomDXSpriteEngine* engine = CurrentGameContext().SpriteEngine) {
        TSprite& root = engine->Engine();
        for (int i = 0; i < root.ChildCount(); ++i) {
            const TSprite* s = root.Child(i);
            const TSpriteKind kind = SpriteKind(*s);
            if (kind != spFish && kind != spShot) continue;
            hash.add(static_cast<std::uint32_t>(s->X));
            hash.add(static_cast<std::uint32_t>(s->Y));
        }
    }
    return hash.h;
}

void TReplayRecorder::Start() {
    replay_ = TReplay{};
    replay_.Start.RandomState = tw::platform::randomSeed();
    replay_.Start.Delays = {Game.EnemyDelay, Game.BonusDelay, Game.AlgaeDelay, Game.TreasureDelay};
    recording_ = true;
    quitPending_ = false;
    tickOpen_ = false;
}

void TReplayRecorder::Add(const TTickInput& input) {
    if (!recording_ || replay_.Ticks.size() >= MaxReplayTicks) return;
    replay_.Ticks.push_back({input, quitPending_});
    quitPending_ = false;
    tickOpen_ = true;
}

void TReplayRecorder::TickDone() {
    if (!recording_ || !tickOpen_) return;
    tickOpen_ = false;
    if (replay_.Ticks.size() % ReplayCheckInterval == 0) replay_.Checks.push_back(ReplayCheckValue());
}

TReplay TReplayRecorder::Finish() {
    recording_ = false;
    replay_.End = {Game.Score, Game.Level, ReplayCheckValue()};
    return std::move(replay_);
}

void TReplayPlayer::Begin() const {
    tw::platform::seedRandom(replay_.Start.RandomState);
    Game.EnemyDelay = replay_.Start.Delays[0];
    Game.BonusDelay = replay_.Start.Delays[1];
    Game.AlgaeDelay = replay_.Start.Delays[2];
    Game.TreasureDelay = replay_.Start.Delays[3];
}

bool TReplayPlayer::CheckAfterTick() const {
    if (next_ == 0 || next_ % ReplayCheckInterval != 0) return true;
    const std::size_t i = next_ / ReplayCheckInterval - 1;
    return i >= replay_.Checks.size() || replay_.Checks[i] == ReplayCheckValue();
}
