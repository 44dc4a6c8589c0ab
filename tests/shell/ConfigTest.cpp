// SPDX-License-Identifier: MIT
// "config.dat": the bytes of a new file, reading a record made by hand, short and damaged files,
// inserting results, clearing the table, saves that fail without losing the old file, and a file
// that is a link, a pipe, or in a read-only folder.
#include "host/GameHost.h"
#include "platform/MessageBox.h"
#include "platform/VirtualKeys.h"
#include "shell/Config.h"
#include "state/ShellState.h"
#include "state/Settings.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& file, const Bytes& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> folderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    return names;
}

// The file a first start must write, put together from the file layout by hand.
Bytes expectedDefaultFile() {
    Bytes b = {0, 0, 0, 0, 0x7B, 0x00, 0};
    b.insert(b.end(), 10, 0xFF); // no country: ten zero bytes, complemented
    b.push_back(0);
    const std::string name = "Anonymous";
    for (int place = 1; place <= 10; ++place) {
        b.push_back(9);
        for (char c : name) b.push_back(static_cast<std::uint8_t>(~static_cast<std::uint8_t>(c)));
        b.push_back(0xFF); // the tenth character byte, unused
        b.push_back(0);
        const auto score = static_cast<std::uint16_t>(~((11 - place) * 100));
        b.push_back(static_cast<std::uint8_t>(score & 0xFF));
        b.push_back(static_cast<std::uint8_t>(score >> 8));
    }
    return b;
}

// Runs each test in an empty temporary folder with message boxes captured and fresh settings.
class ConfigFile : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        fs::current_path(folder_);
        Settings = SettingsState{};
        tw::platform::setMessageBoxHandler([this](const std::string& text) { messages_.push_back(text); });
    }
    void TearDown() override {
        tw::platform::setMessageBoxHandler({});
        fs::current_path(previous_);
        // A test may have made the folder read-only; it must be writable again to be removed.
        std::error_code ec;
        fs::permissions(folder_, fs::perms::owner_all, ec);
    }

    fs::path previous_;
    const tw::test::TempDir tmp_{"tidewarden-config"};
    const fs::path folder_ = tmp_.path();
    std::vector<std::string> messages_;
};

// Root writes into read-only folders. To meet the folder as a player does, the capabilities that
// override file permissions leave this thread's effective set for the scope and come back after.
class WithoutFilePermissionOverride {
public:
    WithoutFilePermissionOverride() {
        if (syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        const std::uint32_t mask = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);
        reduced[0].effective &= ~mask;
        dropped_ = syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~WithoutFilePermissionOverride() {
        if (dropped_) syscall(SYS_capset, &header_, saved_);
    }
    WithoutFilePermissionOverride(const WithoutFilePermissionOverride&) = delete;
    WithoutFilePermissionOverride& operator=(const WithoutFilePermissionOverride&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool dropped_ = false;
};

bool canCreateFileIn(const fs::path& folder) {
    const fs::path probe = folder / "probe";
    {
        std::ofstream out(probe);
        if (!out) return false;
    }
    std::error_code ec;
    fs::remove(probe, ec);
    return true;
}

TEST(ConfigStart, FirstStartInAnEmptyFolderWritesTheDefaultRecord) {
    tw::test::GameHost::Options options;
    options.writeConfig = false;
    options.focus = false; // no menu music in a folder without songs
    tw::test::GameHost host(options);

    EXPECT_EQ(readFile(host.runFolder() / "config.dat"), expectedDefaultFile());
    // The record in memory is the plain one. (Music is left out: in a folder without songs the
    // menu switches it off.)
    EXPECT_EQ(Settings.Windowed, 1);
    EXPECT_EQ(Settings.SoundOn, 1);
    EXPECT_EQ(Settings.BossKey, 0x7B);
    EXPECT_EQ(Settings.Country.Text(), "");
    EXPECT_EQ(Settings.HighScores[0].Name.Text(), "Anonymous");
    EXPECT_EQ(Settings.HighScores[0].Score, 1000);
    EXPECT_EQ(Settings.HighScores[9].Score, 100);
}

TEST_F(ConfigFile, ReadsARecordMadeByHand) {
    fs::copy_file(fs::path(TW_FIXTURES_DIR) / "shell" / "custom.dat", "config.dat");
    ASSERT_TRUE(LoadConfig());
    EXPECT_EQ(Settings.Windowed, 0);
    EXPECT_EQ(Settings.MusicOn, 1);
    EXPECT_EQ(Settings.SoundOn, 0);
    EXPECT_EQ(Settings.BossKey, 0x09);
    EXPECT_EQ(Settings.Country.Text(), "NORGE");
    const char* names[] = {"ZED", "Ann", "Bo", "Chris", "Dee", "Eve", "Fay", "Gus", "Hal", "Ivy"};
    const std::uint16_t scores[] = {0xBEEF, 5000, 4000, 3000, 2000, 1000, 900, 800, 700, 0};
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(Settings.HighScores[i].Name.Text(), names[i]) << "place " << i + 1;
        EXPECT_EQ(Settings.HighScores[i].Score, scores[i]) << "place " << i + 1;
    }
    EXPECT_TRUE(messages_.empty());

    // Written back unchanged, reserved bytes and all.
    ASSERT_TRUE(SaveConfig());
    EXPECT_EQ(readFile("config.dat"), readFile(fs::path(TW_FIXTURES_DIR) / "shell" / "custom.dat"));
}

TEST_F(ConfigFile, FilesShorterThanOneRecordAreReplacedByTheDefaultsLongerOnesReadTheirFirstRecord) {
    const Bytes custom = readFile(fs::path(TW_FIXTURES_DIR) / "shell" / "custom.dat");
    struct Case {
        std::size_t size;
        bool readsCustom;
    };
    for (const Case c : {Case{0, false}, Case{1, false}, Case{157, false}, Case{158, true}, Case{400, true}}) {
        SCOPED_TRACE(c.size);
        Bytes file(custom);
        file.resize(c.size, 0x5A);
        writeFile("config.dat", file);
        Settings = SettingsState{};
        Settings.MusicOn = 0; // must be overwritten either way

        EXPECT_TRUE(LoadConfig());
        if (c.readsCustom) {
            EXPECT_EQ(Settings.Country.Text(), "NORGE");
            EXPECT_EQ(Settings.HighScores[0].Score, 0xBEEF);
            EXPECT_EQ(readFile("config.dat").size(), c.size) << "reading never writes";
        } else {
            EXPECT_EQ(Settings.Windowed, 1);
            EXPECT_EQ(Settings.MusicOn, 1);
            EXPECT_EQ(Settings.HighScores[0].Name.Text(), "Anonymous");
            EXPECT_EQ(Settings.HighScores[0].Score, 1000);
            EXPECT_EQ(readFile("config.dat"), expectedDefaultFile());
        }
    }
    EXPECT_THAT(folderEntries(folder_), ::testing::ElementsAre("config.dat")) << "no temporary file is left";
}

TEST_F(ConfigFile, ScramblingTouchesOnlyFlagsTextsAndScores) {
    Settings.Windowed = 0;
    Settings.SoundOn = 0;
    Settings.Reserved3 = 0x33;
    Settings.BossKey = 0x1234;
    Settings.Country.SetText("DE");
    Settings.Reserved17 = 0x44;
    Settings.HighScores[2].Name.SetText("Kim");
    Settings.HighScores[2].Reserved = 0x66;
    Settings.HighScores[2].Score = 0x0334; // 820: between places 2 and 4, so the table stays in order
    ASSERT_TRUE(SaveConfig());
    const Bytes f = readFile("config.dat");
    ASSERT_EQ(f.size(), 158u);
    EXPECT_EQ(f[0], 1);
    EXPECT_EQ(f[1], 0);
    EXPECT_EQ(f[2], 1);
    EXPECT_EQ(f[3], 0x33);
    EXPECT_EQ(f[4], 0x34);
    EXPECT_EQ(f[5], 0x12);
    EXPECT_EQ(f[6], 2);
    EXPECT_EQ(f[7], static_cast<std::uint8_t>(~'D'));
    EXPECT_EQ(f[8], static_cast<std::uint8_t>(~'E'));
    EXPECT_EQ(f[17], 0x44);
    const std::size_t entry = 18 + 2 * 14;
    EXPECT_EQ(f[entry], 3);
    EXPECT_EQ(f[entry + 1], static_cast<std::uint8_t>(~'K'));
    EXPECT_EQ(f[entry + 11], 0x66);
    EXPECT_EQ(f[entry + 12], static_cast<std::uint8_t>(~0x34));
    EXPECT_EQ(f[entry + 13], static_cast<std::uint8_t>(~0x03));

    SettingsState written = Settings;
    written.BossKey = DefaultBossKey; // no key has the code 0x1234: it reads as F12
    Settings = SettingsState{};
    ASSERT_TRUE(LoadConfig());
    EXPECT_EQ(PackConfigRecord(Settings), PackConfigRecord(written)) << "read back as written";
}

TEST_F(ConfigFile, LengthBytesAboveTenReadAsTen) {
    Bytes file = expectedDefaultFile();
    file[6] = 200;       // country
    file[18] = 11;       // place 1's name
    file[18 + 14] = 255; // place 2's name
    writeFile("config.dat", file);
    ASSERT_TRUE(LoadConfig());
    EXPECT_EQ(Settings.Country.Length, 10);
    EXPECT_EQ(Settings.Country.Text(), std::string(10, '\0'));
    EXPECT_EQ(Settings.HighScores[0].Name.Text(), std::string("Anonymous") + '\0');
    EXPECT_EQ(Settings.HighScores[1].Name.Length, 10);
    EXPECT_EQ(Settings.HighScores[2].Name.Text(), "Anonymous");

    ASSERT_TRUE(SaveConfig());
    const Bytes saved = readFile("config.dat");
    EXPECT_EQ(saved[6], 10);
    EXPECT_EQ(saved[18], 10);
    EXPECT_EQ(saved[18 + 14], 10);
}

TEST_F(ConfigFile, ABossKeyTheCaptureCouldNeverStoreReadsAsF12AndEveryOtherStays) {
    namespace vk = tw::platform::vk;
    const struct {
        std::uint16_t stored;
        std::uint16_t read;
    } cases[] = {
        // Modifiers (and the sided codes no key event carries), Enter, Esc, the arrows, P, codes of no key.
        {vk::Shift, 0x7B},
        {vk::Control, 0x7B},
        {vk::Menu, 0x7B},
        {vk::LShift, 0x7B},
        {vk::RControl, 0x7B},
        {vk::LMenu, 0x7B},
        {vk::Return, 0x7B},
        {vk::Escape, 0x7B},
        {vk::Left, 0x7B},
        {vk::Up, 0x7B},
        {vk::Right, 0x7B},
        {vk::Down, 0x7B},
        {'P', 0x7B},
        {0x00, 0x7B},
        {0x7C, 0x7B},
        {0x3A, 0x7B},
        {0xFF, 0x7B},
        {0x0141, 0x7B},
        {0xFFFF, 0x7B},
        // Keys the capture stores, named or not.
        {vk::Tab, vk::Tab},
        {vk::Back, vk::Back},
        {vk::Space, vk::Space},
        {'Q', 'Q'},
        {'0', '0'},
        {vk::F1, vk::F1},
        {vk::F12, vk::F12},
        {vk::LWin, vk::LWin},
        {vk::numpad(5), vk::numpad(5)},
        {vk::Semicolon, vk::Semicolon},
        {vk::Pause, vk::Pause},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        Bytes file = expectedDefaultFile();
        file[4] = static_cast<std::uint8_t>(c.stored & 0xFF);
        file[5] = static_cast<std::uint8_t>(c.stored >> 8);
        writeFile("config.dat", file);
        Settings = SettingsState{};
        ASSERT_TRUE(LoadConfig());
        EXPECT_EQ(Settings.BossKey, c.read);
        EXPECT_EQ(CanBeBossKey(c.stored), c.read == c.stored) << "the capture takes what the reader keeps";
    }
}

TEST(ConfigStart, TheOptionsScreenShowsF12ForADamagedBossKey) {
    tw::test::GameHost::Options options;
    options.prepare = [](const fs::path& folder) {
        Bytes file = expectedDefaultFile();
        file[4] = tw::platform::vk::Left;
        writeFile(folder / "config.dat", file);
    };
    tw::test::GameHost host(options);
    EXPECT_EQ(Settings.BossKey, 0x7B);
    EXPECT_EQ(Shell.BossKeyName, "F12") << "was empty: Left has no name of its own";
}

TEST_F(ConfigFile, ATableOutOfOrderIsReadSortedSoANewResultFindsItsPlace) {
    Bytes file = expectedDefaultFile();
    // Scores as an editor left them: place n gets scores[n], names A to J show where each went.
    const std::uint16_t scores[] = {100, 900, 900, 50, 1000, 900, 0, 65535, 300, 300};
    for (std::size_t n = 0; n < 10; ++n) {
        const std::size_t e = 18 + n * 14;
        file[e] = 1;
        file[e + 1] = static_cast<std::uint8_t>(~static_cast<std::uint8_t>('A' + n));
        file[e + 12] = static_cast<std::uint8_t>(~scores[n] & 0xFF);
        file[e + 13] = static_cast<std::uint8_t>(~scores[n] >> 8);
    }
    writeFile("config.dat", file);
    ASSERT_TRUE(LoadConfig());
    const std::vector<std::pair<std::string, int>> sorted = {{"H", 65535}, {"E", 1000}, {"B", 900}, {"C", 900},
                                                             {"F", 900},   {"I", 300},  {"J", 300}, {"A", 100},
                                                             {"D", 50},    {"G", 0}};
    std::vector<std::pair<std::string, int>> rows;
    for (const auto& e : Settings.HighScores) rows.emplace_back(e.Name.Text(), e.Score);
    EXPECT_EQ(rows, sorted) << "best first, equal scores in file order";

    Settings.NewEntry.Name.SetText("NEW");
    Settings.NewEntry.Score = 950;
    InsertResult();
    EXPECT_EQ(Settings.HighScores[2].Name.Text(), "NEW") << "below 1000, above the 900s";
    EXPECT_EQ(Settings.HighScores[9].Name.Text(), "D") << "the lowest, G with 0, dropped";
}

// A process id that was in use a moment ago and is gone now.
pid_t goneProcess() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

// A process that runs until the scope ends.
class RunningProcess {
public:
    RunningProcess() : pid_(fork()) {
        if (pid_ == 0) {
            pause();
            _exit(0);
        }
    }
    ~RunningProcess() {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    RunningProcess(const RunningProcess&) = delete;
    RunningProcess& operator=(const RunningProcess&) = delete;
    pid_t pid() const { return pid_; }

private:
    pid_t pid_;
};

TEST_F(ConfigFile, StaleTemporaryFilesOfKilledSavesGoAtStartAndAfterEachSave) {
    const RunningProcess otherGame;
    ASSERT_GT(otherGame.pid(), 0);
    auto temp = [](pid_t pid) { return "config.dat.new-" + std::to_string(pid); };
    const std::string live = temp(otherGame.pid());
    const Bytes half(60, 0x11);
    for (const std::string& name : {temp(goneProcess()), temp(goneProcess()), live, std::string("config.dat.new-x1"),
                                    std::string("config.dat.new-0"), std::string("other.new-1")})
        writeFile(name, half);
    fs::copy_file(fs::path(TW_FIXTURES_DIR) / "shell" / "custom.dat", "config.dat");

    ASSERT_TRUE(LoadConfig());
    EXPECT_THAT(folderEntries(folder_), ::testing::UnorderedElementsAre("config.dat", live, "config.dat.new-x1",
                                                                        "config.dat.new-0", "other.new-1"));
    EXPECT_EQ(Settings.Country.Text(), "NORGE");

    const std::string killedLater = temp(goneProcess());
    writeFile(killedLater, half);
    ASSERT_TRUE(SaveConfig());
    EXPECT_THAT(folderEntries(folder_), ::testing::Not(::testing::Contains(killedLater)));
    EXPECT_THAT(folderEntries(folder_), ::testing::Contains(live)) << "another running game's save is left alone";
    EXPECT_EQ(readFile(live), half);
}

TEST(ShortText, KeepsAtMostTenCharacters) {
    TShortText t;
    t.SetText("ABCDEFGHIJKL");
    EXPECT_EQ(t.Text(), "ABCDEFGHIJ");
    EXPECT_FALSE(t.Append('X'));
    EXPECT_EQ(t.Text(), "ABCDEFGHIJ");
    EXPECT_TRUE(t.DeleteLast());
    EXPECT_TRUE(t.Append('Z'));
    EXPECT_EQ(t.Text(), "ABCDEFGHIZ");
    t.SetText("");
    EXPECT_FALSE(t.DeleteLast());
    EXPECT_EQ(t.Length, 0);
}

// The table as (name, score) pairs, place 1 first.
std::vector<std::pair<std::string, int>> table() {
    std::vector<std::pair<std::string, int>> rows;
    for (const auto& e : Settings.HighScores) rows.emplace_back(e.Name.Text(), e.Score);
    return rows;
}

TEST(InsertResult, PutsTheResultBelowEveryEqualOrHigherScoreAndDropsTheLowest) {
    struct Case {
        std::uint16_t score;
        int place; // 0: not in the table
    };
    for (const Case c :
         {Case{1000, 2}, Case{1001, 1}, Case{65535, 1}, Case{950, 2}, Case{101, 10}, Case{100, 0}, Case{0, 0}}) {
        SCOPED_TRACE(c.score);
        Settings = SettingsState{};
        const auto before = table();
        Settings.NewEntry.Name.SetText("NEW");
        Settings.NewEntry.Score = c.score;
        InsertResult();

        auto expected = before;
        if (c.place > 0) {
            expected.insert(expected.begin() + (c.place - 1), {"NEW", c.score});
            expected.pop_back();
        }
        EXPECT_EQ(table(), expected);
    }
}

TEST(InsertResult, ThousandGoesToPlaceTwoAndTheOldHundredDrops) {
    Settings = SettingsState{};
    Settings.NewEntry.Name.SetText("DIVER");
    Settings.NewEntry.Score = 1000;
    InsertResult();
    const std::vector<std::pair<std::string, int>> expected = {
        {"Anonymous", 1000}, {"DIVER", 1000},    {"Anonymous", 900}, {"Anonymous", 800}, {"Anonymous", 700},
        {"Anonymous", 600},  {"Anonymous", 500}, {"Anonymous", 400}, {"Anonymous", 300}, {"Anonymous", 200}};
    EXPECT_EQ(table(), expected);
}

TEST(InsertResult, ZeroIntoATableOfZerosChangesNothing) {
    Settings = SettingsState{};
    for (std::size_t i = 0; i < 10; ++i) {
        Settings.HighScores[i].Name.SetText(std::string(1, static_cast<char>('A' + i)));
        Settings.HighScores[i].Score = 0;
    }
    const auto before = table();
    Settings.NewEntry.Name.SetText("NEW");
    Settings.NewEntry.Score = 0;
    InsertResult();
    EXPECT_EQ(table(), before);
}

TEST_F(ConfigFile, ClearingTheScoresKeepsEverySetting) {
    Settings.Windowed = 0;
    Settings.MusicOn = 0;
    Settings.SoundOn = 0;
    Settings.BossKey = 0x09;
    Settings.Country.SetText("CHILE");
    for (auto& e : Settings.HighScores) {
        e.Name.SetText("X");
        e.Score = 7;
    }
    ResetHighScores();
    EXPECT_EQ(Settings.Windowed, 0);
    EXPECT_EQ(Settings.MusicOn, 0);
    EXPECT_EQ(Settings.SoundOn, 0);
    EXPECT_EQ(Settings.BossKey, 0x09);
    EXPECT_EQ(Settings.Country.Text(), "CHILE");
    for (int place = 1; place <= 10; ++place) {
        EXPECT_EQ(Settings.HighScores[static_cast<std::size_t>(place - 1)].Name.Text(), "Anonymous");
        EXPECT_EQ(Settings.HighScores[static_cast<std::size_t>(place - 1)].Score, (11 - place) * 100);
    }

    ASSERT_TRUE(SaveConfig());
    Settings = SettingsState{};
    ASSERT_TRUE(LoadConfig());
    EXPECT_EQ(Settings.Windowed, 0);
    EXPECT_EQ(Settings.Country.Text(), "CHILE");
    EXPECT_EQ(Settings.HighScores[0].Score, 1000);
}

TEST(ConfigSave, AReadOnlyFolderWithAWritableFileIsSavedInPlace) {
    tw::test::GameHost host;
    const fs::path folder = host.runFolder();
    ASSERT_EQ(readFile(folder / "config.dat").size(), 158u);
    const std::size_t shown = host.messages().size();
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    {
        WithoutFilePermissionOverride asUser;
        if (canCreateFileIn(folder)) {
            fs::permissions(folder, fs::perms::owner_all);
            GTEST_SKIP() << "this process writes into read-only folders";
        }
        host.maximizeRequest(); // goes full screen and saves
    }
    fs::permissions(folder, fs::perms::owner_all);

    EXPECT_EQ(host.messages().size(), shown) << "no error: the file itself could be written";
    const Bytes saved = readFile(folder / "config.dat");
    ASSERT_EQ(saved.size(), 158u);
    EXPECT_EQ(saved.at(0), 0 ^ 1) << "full screen stored";
    const TConfigRecord expected = EncodeConfigFile(Settings);
    EXPECT_EQ(saved, Bytes(expected.begin(), expected.end()));
    EXPECT_THAT(folderEntries(folder), ::testing::Not(::testing::Contains(::testing::HasSubstr(".new-"))));
}

TEST_F(ConfigFile, FlagsOtherThanZeroOrOneReadAsOnAndAreWrittenAsOneOrZero) {
    Bytes file = expectedDefaultFile();
    file[0] = 3;    // 3 XOR 1 = 2: windowed
    file[1] = 1;    // 0: music off
    file[2] = 0xFE; // 0xFF: sound on
    writeFile("config.dat", file);
    ASSERT_TRUE(LoadConfig());
    EXPECT_EQ(Settings.Windowed, 1);
    EXPECT_EQ(Settings.MusicOn, 0);
    EXPECT_EQ(Settings.SoundOn, 1);
    Settings.SoundOn ^= 1; // the options screen's toggle now turns sound off
    ASSERT_TRUE(SaveConfig());
    const Bytes saved = readFile("config.dat");
    EXPECT_EQ(saved[0], 0);
    EXPECT_EQ(saved[1], 1);
    EXPECT_EQ(saved[2], 1);
}

TEST_F(ConfigFile, ALinkIsReadAndSavedThroughAndStaysALink) {
    fs::create_directory("elsewhere");
    fs::copy_file(fs::path(TW_FIXTURES_DIR) / "shell" / "custom.dat", "elsewhere/table.dat");
    fs::create_symlink("elsewhere/table.dat", "config.dat");
    ASSERT_TRUE(LoadConfig());
    EXPECT_EQ(Settings.Country.Text(), "NORGE");
    ResetHighScores();
    ASSERT_TRUE(SaveConfig());
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status("config.dat")));
    const TConfigRecord expected = EncodeConfigFile(Settings);
    EXPECT_EQ(readFile("elsewhere/table.dat"), Bytes(expected.begin(), expected.end()));
    EXPECT_THAT(folderEntries(folder_ / "elsewhere"), ::testing::ElementsAre("table.dat"));
}

TEST_F(ConfigFile, APipeInPlaceOfTheFileCountsAsMissingAndIsNeverWritten) {
    ASSERT_EQ(mkfifo("config.dat", 0600), 0);
    alarm(20); // opening a pipe without a writer blocks: a fault must fail the test, not hang it
    EXPECT_FALSE(LoadConfig());
    alarm(0);
    EXPECT_EQ(Settings.HighScores[0].Name.Text(), "Anonymous");
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_THAT(messages_[0], ::testing::HasSubstr("config.dat"));
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status("config.dat")));
}

TEST_F(ConfigFile, FirstStartInAReadOnlyFolderKeepsTheDefaultsInMemory) {
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    WithoutFilePermissionOverride asUser;
    if (canCreateFileIn(folder_)) GTEST_SKIP() << "this process writes into read-only folders";
    Settings.MusicOn = 0;
    EXPECT_FALSE(LoadConfig());
    EXPECT_EQ(Settings.MusicOn, 1);
    EXPECT_EQ(Settings.HighScores[0].Score, 1000);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_THAT(messages_[0], ::testing::HasSubstr("config.dat"));
}

TEST_F(ConfigFile, AReadOnlyFileStaysUnwrittenAndAWritableOneKeepsItsPermissions) {
    const fs::path fixture = fs::path(TW_FIXTURES_DIR) / "shell" / "custom.dat";
    fs::copy_file(fixture, "config.dat");
    const auto readWrite = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions("config.dat", readWrite);
    ASSERT_TRUE(LoadConfig());
    ResetHighScores();
    ASSERT_TRUE(SaveConfig());
    EXPECT_EQ(fs::status("config.dat").permissions(), readWrite);

    const Bytes cleared = readFile("config.dat");
    Settings.MusicOn = 0;
    fs::permissions("config.dat", fs::perms::owner_read);
    {
        WithoutFilePermissionOverride asUser;
        EXPECT_FALSE(SaveConfig());
    }
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_THAT(messages_[0], ::testing::HasSubstr("config.dat"));
    EXPECT_EQ(readFile("config.dat"), cleared);
}

TEST_F(ConfigFile, AWriteThatFailsPartWayLeavesTheOldFileWhole) {
    const fs::path fixture = fs::path(TW_FIXTURES_DIR) / "shell" / "custom.dat";
    fs::copy_file(fixture, "config.dat");
    ASSERT_TRUE(LoadConfig());
    ResetHighScores();

    // A file-size limit below one record stands in for a disk that fills up during the write.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 100;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = SaveConfig();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_THAT(messages_[0], ::testing::HasSubstr("config.dat"));
    EXPECT_EQ(readFile("config.dat"), readFile(fixture));
    EXPECT_THAT(folderEntries(folder_), ::testing::ElementsAre("config.dat")) << "no temporary file is left";
}

} // namespace
