// SPDX-License-Identifier: MIT
// Reading and writing "config.dat", the short texts and the high-score table's defaults, clearing
// and insertion.
#include "shell/Config.h"

#include "platform/MessageBox.h"
#include "platform/VirtualKeys.h"
#include "shell/MainForm.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

// ---- The record ----------------------------------------------------------------------------------
//
// "config.dat" is one record of 158 bytes; numbers are little-endian. In file order:
//
//   offset size  field                 file form
//        0    1  Windowed (1/0)        value XOR 1
//        1    1  MusicOn (1/0)         value XOR 1
//        2    1  SoundOn (1/0)         value XOR 1
//        3    1  reserved              as is (0 in a new file)
//        4    2  BossKey (virtual key) as is
//        6    1  Country length 0..10  as is
//        7   10  Country characters    each byte complemented
//       17    1  reserved              as is
//       18  140  ten table entries, place 1 first, 14 bytes each:
//                  +0   1  name length 0..10    as is
//                  +1  10  name characters      each byte complemented
//                  +11  1  reserved             as is
//                  +12  2  score                the 16 bits complemented
//
// The scrambling is its own inverse. A file longer than one record is read by its first record; a
// shorter one counts as missing. A length byte above 10 (never written by the game) reads as 10, and
// a flag other than 0 or 1 reads as on: the toggles flip the value, which must then be 0 or 1. A
// damaged or edited file may hold what the game never writes: a boss key the capture could not
// have stored (a modifier, Enter, an arrow, a code no key has) reads as F12, and a table out of
// order is sorted, best first, so that a new result finds its right place.

namespace {

constexpr std::size_t CountryOffset = 6;
constexpr std::size_t TableOffset = 18;
constexpr std::size_t EntrySize = 14;

void packText(const TShortText& text, std::uint8_t* out) {
    out[0] = text.Length;
    std::copy(text.Chars.begin(), text.Chars.end(), out + 1);
}

void unpackText(const std::uint8_t* in, TShortText& text) {
    text.Length = std::min<std::uint8_t>(in[0], TShortText::MaxLength);
    std::copy(in + 1, in + 1 + TShortText::MaxLength, text.Chars.begin());
}

std::uint8_t flag(std::uint8_t value) { return value != 0 ? 1 : 0; }

std::uint8_t* entryAt(TConfigRecord& record, std::size_t index) {
    return record.data() + TableOffset + index * EntrySize;
}

const std::uint8_t* entryAt(const TConfigRecord& record, std::size_t index) {
    return record.data() + TableOffset + index * EntrySize;
}

} // namespace

bool CanBeBossKey(std::uint16_t key) {
    namespace vk = tw::platform::vk;
    switch (key) {
    case vk::Return:
    case vk::Escape:
    case vk::Left:
    case vk::Up:
    case vk::Right:
    case vk::Down:
    case vk::letter('P'):
    case vk::Shift:
    case vk::Control:
    case vk::Menu: return false;
    default: return tw::platform::isDeliveredVirtualKey(key);
    }
}

TConfigRecord PackConfigRecord(const SettingsState& s) {
    TConfigRecord r{};
    r[0] = flag(s.Windowed);
    r[1] = flag(s.MusicOn);
    r[2] = flag(s.SoundOn);
    r[3] = s.Reserved3;
    r[4] = static_cast<std::uint8_t>(s.BossKey & 0xFF);
    r[5] = static_cast<std::uint8_t>(s.BossKey >> 8);
    packText(s.Country, r.data() + CountryOffset);
    r[17] = s.Reserved17;
    for (std::size_t i = 0; i < s.HighScores.size(); ++i) {
        const THighScoreEntry& e = s.HighScores[i];
        std::uint8_t* out = entryAt(r, i);
        packText(e.Name, out);
        out[11] = e.Reserved;
        out[12] = static_cast<std::uint8_t>(e.Score & 0xFF);
        out[13] = static_cast<std::uint8_t>(e.Score >> 8);
    }
    return r;
}

void UnpackConfigRecord(const TConfigRecord& r, SettingsState& s) {
    s.Windowed = flag(r[0]);
    s.MusicOn = flag(r[1]);
    s.SoundOn = flag(r[2]);
    s.Reserved3 = r[3];
    s.BossKey = static_cast<std::uint16_t>(r[4] | (r[5] << 8));
    if (!CanBeBossKey(s.BossKey)) s.BossKey = DefaultBossKey;
    unpackText(r.data() + CountryOffset, s.Country);
    s.Reserved17 = r[17];
    for (std::size_t i = 0; i < s.HighScores.size(); ++i) {
        THighScoreEntry& e = s.HighScores[i];
        const std::uint8_t* in = entryAt(r, i);
        unpackText(in, e.Name);
        e.Reserved = in[11];
        e.Score = static_cast<std::uint16_t>(in[12] | (in[13] << 8));
    }
    std::stable_sort(s.HighScores.begin(), s.HighScores.end(),
                     [](const THighScoreEntry& a, const THighScoreEntry& b) { return a.Score > b.Score; });
}

void ScrambleConfigRecord(TConfigRecord& r) {
    for (std::size_t i = 0; i < 3; ++i) r[i] ^= 1;
    for (std::size_t i = CountryOffset + 1; i <= CountryOffset + TShortText::MaxLength; ++i)
        r[i] = static_cast<std::uint8_t>(~r[i]);
    for (std::size_t n = 0; n < static_cast<std::size_t>(HighScoreCount); ++n) {
        std::uint8_t* e = entryAt(r, n);
        for (std::size_t i = 1; i <= TShortText::MaxLength; ++i) e[i] = static_cast<std::uint8_t>(~e[i]);
        e[12] = static_cast<std::uint8_t>(~e[12]);
        e[13] = static_cast<std::uint8_t>(~e[13]);
    }
}

bool DecodeConfigFile(std::span<const std::uint8_t> bytes, SettingsState& settings) {
    if (bytes.size() < ConfigRecordSize) return false;
    TConfigRecord r;
    std::copy_n(bytes.begin(), ConfigRecordSize, r.begin());
    ScrambleConfigRecord(r);
    UnpackConfigRecord(r, settings);
    return true;
}

TConfigRecord EncodeConfigFile(const SettingsState& settings) {
    TConfigRecord r = PackConfigRecord(settings);
    ScrambleConfigRecord(r);
    return r;
}

// ---- Writing safely -----------------------------------------------------------------------------

namespace {

[[noreturn]] void writeFailed(const std::filesystem::path& file, int error) {
    throw EConfigWriteError("Can't write \"" + file.filename().string() + "\": " + std::strerror(error));
}

// Closes the descriptor and removes the half-made temporary file unless told the job is done.
class TempFile {
public:
    TempFile(std::filesystem::path path, int fd) : path_(std::move(path)), fd_(fd) {}
    ~TempFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!kept_) ::unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    int fd() const { return fd_; }
    // Closes the file; returns 0 or the error.
    int close() {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0 ? 0 : errno;
    }
    void keep() { kept_ = true; }

private:
    std::filesystem::path path_;
    int fd_;
    bool kept_ = false;
};

// Follows symbolic links to the file they name, so that a save replaces the target and the link
// stays. A dangling link names the file to be made.
std::filesystem::path followLinks(const std::filesystem::path& file) {
    std::filesystem::path path = file;
    for (int hops = 0; hops < 40; ++hops) { // as many as the system itself follows
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::error_code ec;
        const std::filesystem::path link = std::filesystem::read_symlink(path, ec);
        if (ec) return path;
        path = link.is_absolute() ? link : path.parent_path() / link;
    }
    return path;
}

void writeAll(int fd, const TConfigRecord& record, const std::filesystem::path& file) {
    std::size_t done = 0;
    while (done < record.size()) {
        const ssize_t n = ::pwrite(fd, record.data() + done, record.size() - done, static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            writeFailed(file, errno);
        }
        done += static_cast<std::size_t>(n);
    }
}

// The last resort where the folder takes no new file but the file itself may be written: less
// safe than a rename, since a crash during the write leaves a mixed record.
void rewriteInPlace(const std::filesystem::path& target, const std::filesystem::path& file,
                    const TConfigRecord& record) {
    struct Descriptor {
        int fd;
        ~Descriptor() { ::close(fd); }
    } out{::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)};
    if (out.fd < 0) writeFailed(file, errno);
    writeAll(out.fd, record, file);
    if (::ftruncate(out.fd, static_cast<off_t>(record.size())) != 0) writeFailed(file, errno);
    if (::fsync(out.fd) != 0) writeFailed(file, errno);
}

} // namespace

void WriteConfigFile(const std::filesystem::path& file, const SettingsState& settings) {
    const TConfigRecord record = EncodeConfigFile(settings);
    const std::filesystem::path target = followLinks(file);
    std::filesystem::path temp = target;
    temp += ".new-" + std::to_string(::getpid());

    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists) {
        // A pipe or a device in its place would block the game or take the record somewhere else.
        if (!S_ISREG(existing.st_mode))
            throw EConfigWriteError("Can't write \"" + file.filename().string() + "\": it is not a regular file");
        // A file the player has made read-only stays unwritable, as it would be written in place.
        const int probe = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC); // opened, not truncated
        if (probe < 0) writeFailed(file, errno);
        ::close(probe);
    }

    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        if (!exists) writeFailed(file, error);
        rewriteInPlace(target, file, record);
        return;
    }
    TempFile out(temp, fd);
    if (exists) ::fchmod(out.fd(), existing.st_mode & 07777);

    writeAll(out.fd(), record, file);
    // The record must be on disk before it replaces the old file: a crash just after the rename
    // must not leave an empty file in its place.
    if (::fsync(out.fd()) != 0) writeFailed(file, errno);
    if (const int error = out.close()) writeFailed(file, error);
    if (std::rename(temp.c_str(), target.c_str()) != 0) writeFailed(file, errno);
    out.keep();

    // Make the rename itself durable; the new file is already complete, so a failure here is not
    // worth an error.
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void RemoveStaleTempFiles(const std::filesystem::path& file) {
    const std::filesystem::path target = followLinks(file);
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    const std::string prefix = target.filename().string() + ".new-";
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string id = name.substr(prefix.size());
        // Only the names a save makes: a process id in decimal.
        if (id.size() > 9 || id[0] == '0' ||
            !std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const auto pid = static_cast<pid_t>(std::stol(id));
        // Saves run one at a time on the game's thread, so a file of this process is a leftover of
        // an earlier process that had the same id. Another game that is still running may be saving.
        if (pid != ::getpid() && !(::kill(pid, 0) != 0 && errno == ESRCH)) continue;
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(it->path().c_str());
    }
}

// ---- The game's steps ----------------------------------------------------------------------------

namespace {

const std::filesystem::path ConfigFileName = "config.dat";

// The settings of a new file; the reserved bytes and the entry being typed stay.
void setDefaultSettings(SettingsState& s) {
    const SettingsState defaults;
    ResetHighScores();
    s.Windowed = defaults.Windowed;
    s.MusicOn = defaults.MusicOn;
    s.SoundOn = defaults.SoundOn;
    s.BossKey = defaults.BossKey;
    s.Country = defaults.Country;
}

// Reads the first record's bytes; anything but a regular file (a pipe would block the game for
// good) counts as missing, as does a file that cannot be opened.
std::size_t readRecordBytes(std::array<std::uint8_t, ConfigRecordSize>& bytes) {
    const int fd = ::open(ConfigFileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return 0;
    std::size_t got = 0;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
    return got;
}

} // namespace

bool LoadConfig() {
    RemoveStaleTempFiles(ConfigFileName);
    std::array<std::uint8_t, ConfigRecordSize> bytes{};
    const std::size_t got = readRecordBytes(bytes);
    if (DecodeConfigFile(std::span<const std::uint8_t>(bytes.data(), got), Settings)) return true;
    setDefaultSettings(Settings);
    return SaveConfig();
}

bool SaveConfig() {
    bool written = true;
    try {
        WriteConfigFile(ConfigFileName, Settings);
    } catch (const EConfigWriteError& e) {
        // The settings stay in memory; the game goes on and the next change tries again.
        tw::platform::showMessageBox(e.what());
        written = false;
    }
    RemoveStaleTempFiles(ConfigFileName);
    return written;
}

void ResetHighScores() {
    // Names and scores only: the reserved bytes stay as read.
    const THighScores defaults = DefaultHighScores();
    for (std::size_t i = 0; i < defaults.size(); ++i) {
        Settings.HighScores[i].Name = defaults[i].Name;
        Settings.HighScores[i].Score = defaults[i].Score;
    }
}

std::size_t InsertResult() {
    std::array<THighScoreEntry, HighScoreCount + 1> list{};
    std::copy(Settings.HighScores.begin(), Settings.HighScores.end(), list.begin());
    list[HighScoreCount] = Settings.NewEntry;
    // An equal score stays below the ones already there.
    std::size_t i = list.size() - 1;
    for (; i > 0 && list[i].Score > list[i - 1].Score; --i) std::swap(list[i], list[i - 1]);
    std::copy_n(list.begin(), HighScoreCount, Settings.HighScores.begin());
    return i < list.size() - 1 ? i + 1 : 0;
}

// ---- The main window's steps ----------------------------------------------------------------------

void TmainForm::LoadConfig() {
    ::LoadConfig();
    configLoaded_ = true;
}

void TmainForm::SaveConfig() {
    // Until the file was read (or made because there was none), the settings in memory are
    // defaults: saving them would put them over the player's table.
    if (!configLoaded_) return;
    const std::uint8_t windowed = Settings.Windowed;
    if (windowedThisRun_) {
        // The command line's choice holds until the player switches the display; only then does
        // the display choice on file change.
        if (windowed == (*windowedThisRun_ ? 1 : 0))
            Settings.Windowed = windowedOnFile_;
        else
            windowedThisRun_.reset();
    }
    ::SaveConfig();
    Settings.Windowed = windowed;
    if (SaveConfigHook) SaveConfigHook();
}
