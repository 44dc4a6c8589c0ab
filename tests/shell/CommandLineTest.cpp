// SPDX-License-Identifier: MIT
// The command line: every option and the errors in one table, what --help, --version and a bad
// option print and end with, where the score service's address comes from, and a --windowed or
// --fullscreen run that plays as asked yet leaves the saved display choice alone.
#include "host/GameHost.h"
#include "platform/VirtualKeys.h"
#include "shell/CommandLine.h"
#include "shell/MenuHostTest.h"
#include "state/Settings.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct ParseCase {
    std::vector<std::string_view> args;
    std::string error; // a part of the error text; empty: understood
    bool help = false, version = false;
    std::optional<bool> windowed;
    std::optional<std::string> scoresUrl;
};

TEST(CommandLine, ReadsEveryOptionAndNamesWhatItCannot) {
    const std::vector<ParseCase> cases = {
        {{}, "", false, false, std::nullopt, std::nullopt},
        {{"--help"}, "", true, false, std::nullopt, std::nullopt},
        {{"--version"}, "", false, true, std::nullopt, std::nullopt},
        {{"--fullscreen"}, "", false, false, false, std::nullopt},
        {{"--windowed"}, "", false, false, true, std::nullopt},
        {{"--fullscreen", "--windowed"}, "", false, false, true, std::nullopt},
        {{"--windowed", "--fullscreen"}, "", false, false, false, std::nullopt},
        {{"--scores-url", "https://scores.example.org"}, "", false, false, std::nullopt, "https://scores.example.org"},
        {{"--scores-url=http://10.0.0.2:8421/"}, "", false, false, std::nullopt, "http://10.0.0.2:8421/"},
        {{"--bogus"}, "unknown option '--bogus'", false, false, std::nullopt, std::nullopt},
        {{"-h"}, "unknown option '-h'", false, false, std::nullopt, std::nullopt},
        {{"level3"}, "unknown option 'level3'", false, false, std::nullopt, std::nullopt},
        {{"--windowed", "--bogus"}, "unknown option '--bogus'", false, false, std::nullopt, std::nullopt},
        {{"--help=yes"}, "--help takes no value", false, false, std::nullopt, std::nullopt},
        {{"--scores-url"}, "--scores-url needs a URL", false, false, std::nullopt, std::nullopt},
        {{"--scores-url", "scores.example.org"}, "http:// or https://", false, false, std::nullopt, std::nullopt},
        {{"--scores-url="}, "http:// or https://", false, false, std::nullopt, std::nullopt},
        {{"--scores-url", "http://"}, "http:// or https://", false, false, std::nullopt, std::nullopt},
        {{"--scores-url", "ftp://example.org"}, "http:// or https://", false, false, std::nullopt, std::nullopt},
    };
    for (const ParseCase& c : cases) {
        std::string line;
        for (std::string_view a : c.args) line += std::string(a) + " ";
        SCOPED_TRACE(line);
        const TCommandLine::TParsed p = TCommandLine::Parse(c.args);
        if (!c.error.empty()) {
            EXPECT_NE(p.Error.find(c.error), std::string::npos) << p.Error;
            continue;
        }
        EXPECT_EQ(p.Error, "");
        EXPECT_EQ(p.Options.ShowHelp, c.help);
        EXPECT_EQ(p.Options.ShowVersion, c.version);
        EXPECT_EQ(p.Options.Windowed, c.windowed);
        EXPECT_EQ(p.Options.ScoresUrl, c.scoresUrl);
    }
}

TEST(CommandLine, HelpAndVersionPrintAndEndWellABadOptionPrintsTheUsageAndEndsWithTwo) {
    struct Case {
        std::vector<std::string_view> args;
        TCommandLine::TOutcome outcome;
        int status;
        std::string out, err; // a part of each; empty: nothing printed there
    };
    const std::vector<Case> cases = {
        {{"--help"}, TCommandLine::TOutcome::Exit, 0, "--scores-url URL", ""},
        {{"--version"}, TCommandLine::TOutcome::Exit, 0, "Tide Warden 0.", ""},
        {{"--bogus"}, TCommandLine::TOutcome::Exit, 2, "", "tidewarden: unknown option '--bogus'\nUsage: tidewarden"},
        {{"--windowed"}, TCommandLine::TOutcome::Run, 0, "", ""},
        {{}, TCommandLine::TOutcome::Run, 0, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "(none)" : std::string(c.args.front()));
        std::ostringstream out, err;
        TRunOptions options;
        int status = -1;
        EXPECT_EQ(TCommandLine::Read(c.args, "tidewarden", options, status, out, err), c.outcome);
        EXPECT_EQ(status, c.status);
        if (c.out.empty())
            EXPECT_EQ(out.str(), "");
        else
            EXPECT_NE(out.str().find(c.out), std::string::npos) << out.str();
        if (c.err.empty())
            EXPECT_EQ(err.str(), "");
        else
            EXPECT_NE(err.str().find(c.err), std::string::npos) << err.str();
    }
    // Every option of the table is in the usage.
    const std::string usage = TCommandLine::Usage("tidewarden");
    for (const char* name : {"--help", "--version", "--fullscreen", "--windowed", "--scores-url"})
        EXPECT_NE(usage.find(name), std::string::npos) << name;
}

TEST(CommandLine, TheScoreServiceComesFromTheOptionElseTheEnvironmentElseTheBuild) {
    TRunOptions given;
    given.ScoresUrl = "https://a.example/";
    const TRunOptions none;
    const std::string built = "http://127.0.0.1:8421";
    struct Case {
        const TRunOptions* options;
        const char* environment;
        std::string expected;
        bool warns;
    };
    for (const Case& c : {Case{&given, "https://b.example", "https://a.example", false},
                          Case{&none, "https://b.example//", "https://b.example", false}, Case{&none, "", built, false},
                          Case{&none, nullptr, built, false}, Case{&none, "b.example", built, true}}) {
        SCOPED_TRACE(c.environment ? c.environment : "(unset)");
        std::string warning;
        EXPECT_EQ(ChooseScoresUrl(*c.options, c.environment, built, warning), c.expected);
        EXPECT_EQ(!warning.empty(), c.warns) << warning;
    }
}

// The display choice of the command line is played but never saved, until the player switches the
// display themselves.
class RunDisplayChoiceTest : public ::testing::Test {
protected:
    void start(std::optional<bool> windowedThisRun) {
        tw::test::GameHost::Options options;
        options.gameData = true;
        options.windowedThisRun = windowedThisRun;
        host = std::make_unique<tw::test::GameHost>(options);
        host->runTicks(1);
        ASSERT_EQ(Shell.GameState, gsMenu);
    }
    void altEnter() {
        host->keyDown(tw::platform::vk::Menu);
        host->keyDown(tw::platform::vk::Return);
        host->keyUp(tw::platform::vk::Return);
        host->keyUp(tw::platform::vk::Menu);
    }
    std::unique_ptr<tw::test::GameHost> host;
};

TEST_F(RunDisplayChoiceTest, FullScreenThisRunIsPlayedButNeverSavedUntilThePlayerSwitches) {
    start(false);
    EXPECT_TRUE(host->window().isFullScreen());
    EXPECT_EQ(SavedSettings().Windowed, 1);
    // Another setting saved meanwhile keeps the stored display choice.
    host->form().SaveConfig();
    EXPECT_EQ(SavedSettings().Windowed, 1);
    EXPECT_EQ(Settings.Windowed, 0) << "still full screen in memory";
    EXPECT_TRUE(host->window().isFullScreen());
    // The player's own switch is saved as usual.
    altEnter();
    EXPECT_FALSE(host->window().isFullScreen());
    EXPECT_EQ(SavedSettings().Windowed, 1);
    altEnter();
    EXPECT_TRUE(host->window().isFullScreen());
    EXPECT_EQ(SavedSettings().Windowed, 0) << "the player chose full screen";
}

TEST_F(RunDisplayChoiceTest, WithoutTheOptionTheStoredChoiceIsPlayed) {
    start(std::nullopt);
    EXPECT_FALSE(host->window().isFullScreen());
    EXPECT_EQ(Settings.Windowed, 1);
}

} // namespace
