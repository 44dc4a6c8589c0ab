// SPDX-License-Identifier: MIT
// Moderation on the database while the service answers from it (either store), client addresses
// kept only as long as told, and files of the first version of the tables brought up to date in place.
#include "InProcessService.h"
#include "Moderation.h"
#include "SqliteStore.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <sstream>

namespace tw::scores {
namespace {

using test::GoodRecord;
using test::Padded;
using test::Start;
using test::Submission;

class Moderation : public test::InProcessService, public ::testing::WithParamInterface<test::StoreKind> {
protected:
    Moderation() : InProcessService(GetParam()) {
        ServerSettings server;
        server.trustedProxies = {*Network::Parse("127.0.0.1")};
        Restart(Unlimited(), server);
    }
    struct Result {
        int status;
        std::string out;
        std::string err;
    };
    Result Run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin() + 1, {"--database", path_});
        std::ostringstream out;
        std::ostringstream err;
        const int status = RunModeration(arguments, out, err);
        return {status, out.str(), err.str()};
    }
    std::string SendFrom(const std::string& address, const std::string& name, int score) {
        const httplib::Headers from = {{"X-Forwarded-For", address}};
        const std::string record = Padded("type=0|name=" + name + "|score=" + std::to_string(score) +
                                          "|key=T|p=" + FreshToken(from) + "|add=nz|z=");
        return Get(Submission(record), from).body;
    }
    std::string Page() { return Get("/cgi/version.pl?prg=Tidewarden&show&type=0&format=json").body; }
};

TEST_P(Moderation, AForgedEntryIsFoundRemovedAndItsSenderRefused) {
    ASSERT_EQ(SendFrom("198.51.100.7", "Nemo", 900), "OK\n");
    ASSERT_EQ(SendFrom("203.0.113.66", "Forger", 65535), "OK\n");
    ASSERT_EQ(SendFrom("198.51.100.8", "Dory", 800), "OK\n");

    const auto list = Run({"list"});
    EXPECT_EQ(list.status, 0) << list.err;
    std::istringstream rows(list.out);
    std::string header;
    std::getline(rows, header);
    EXPECT_EQ(header, "id\tplace\tscore\tname\tcountry\tstored (UTC)\taddress\treplay");
    std::string first;
    std::getline(rows, first);
    EXPECT_NE(first.find("\t1\t65535\tForger\tnz\t2026-09-21 "), std::string::npos) << first;
    EXPECT_NE(first.find("\t203.0.113.66\t-"), std::string::npos) << first << " (no replay came)";
    const std::string forgedId = first.substr(0, first.find('\t'));

    const auto removed = Run({"remove", forgedId});
    EXPECT_EQ(removed.status, 0) << removed.err;
    EXPECT_EQ(removed.out, "removed 1 of 1 entries\n");
    EXPECT_EQ(Page().find("Forger"), std::string::npos) << "the page still shows it";
    EXPECT_EQ(Run({"remove", forgedId}).status, 1) << "an id that is gone";

    // From then on: that range's version checks and submissions, and that name in any spelling.
    EXPECT_EQ(Run({"refuse", "address", "203.0.113.0/24"}).status, 0);
    EXPECT_EQ(Run({"refuse", "name", "For Ger"}).status, 0);
    const httplib::Headers forger = {{"X-Forwarded-For", "203.0.113.70"}};
    const auto version = Get("/cgi/version.pl?version&prg=Tidewarden", forger);
    EXPECT_EQ(version.status, 403);
    EXPECT_EQ(version.body, "ERROR refused\n");
    const std::string token = FreshToken();
    const auto byName = Get(Submission(GoodRecord(token, "forger")));
    EXPECT_EQ(byName.status, 403);
    EXPECT_EQ(store().ResultCount(), 2);
    const auto refusals = Run({"refusals"});
    EXPECT_NE(refusals.out.find("address\t203.0.113.0/24\t"), std::string::npos) << refusals.out;
    EXPECT_NE(refusals.out.find("name\tforger\t"), std::string::npos) << refusals.out;

    // Allowed again, the refused submission's token is still good.
    EXPECT_EQ(Run({"allow", "name", "FORGER"}).status, 0);
    EXPECT_EQ(Get(Submission(GoodRecord(token, "forger"))).body, "OK\n");
    EXPECT_EQ(Run({"allow", "address", "203.0.113.0/24"}).status, 0);
    EXPECT_EQ(Get("/cgi/version.pl?version&prg=Tidewarden", forger).status, 200);
    EXPECT_EQ(Run({"allow", "name", "Nobody"}).status, 1);
}

TEST_P(Moderation, BadCommandLinesAreRefusedBeforeTheFileIsTouched) {
    for (std::vector<std::string> bad : {std::vector<std::string>{"remove"},
                                         {"remove", "x1"},
                                         {"refuse", "name"},
                                         {"refuse", "colour", "red"},
                                         {"refuse", "address", "300.1.1.1"},
                                         {"list", "extra"},
                                         {"list", "--count", "-1"}}) {
        SCOPED_TRACE(bad[0] + " " + (bad.size() > 1 ? bad[1] : ""));
        const auto result = Run(bad);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.err.rfind("tidewarden-scores: ", 0), 0U) << result.err;
    }
    EXPECT_TRUE(store().Refusals().empty());
}

TEST_P(Moderation, ClientAddressesAreKeptOnlyAsLongAsTold) {
    ServiceSettings settings = Unlimited();
    settings.keepAddressDays = 2;
    ServerSettings server;
    server.trustedProxies = {*Network::Parse("127.0.0.1")};
    Restart(settings, server);
    ASSERT_EQ(SendFrom("198.51.100.7", "Old", 10), "OK\n");
    clock_ += 24 * 3600;
    ASSERT_EQ(SendFrom("198.51.100.8", "Newer", 20), "OK\n");
    clock_ += 36 * 3600 + 1;
    Page(); // any request lets the service forget, once an hour at most
    const auto entries = store().Entries(10);
    ASSERT_EQ(entries.size(), 2U);
    EXPECT_EQ(entries[0].result.address, "198.51.100.8");
    EXPECT_EQ(entries[1].result.address, "") << "kept for more than two days";

    settings.keepAddressDays = 0;
    Restart(settings, server);
    ASSERT_EQ(SendFrom("198.51.100.9", "None", 30), "OK\n");
    EXPECT_EQ(store().Entries(1)[0].result.address, "");
}

INSTANTIATE_TEST_SUITE_P(Stores, Moderation, ::testing::Values(test::StoreKind::Sqlite, test::StoreKind::Postgres),
                         test::StoreName);

// The tables exactly as the first service made them, with a token and two results.
void MakeFirstVersionFile(const std::string& path, int userVersion = 0) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const std::string sql =
        "PRAGMA journal_mode=WAL;"
        "CREATE TABLE tokens (token TEXT PRIMARY KEY, expires INTEGER NOT NULL, used INTEGER NOT NULL DEFAULT 0)"
        " WITHOUT ROWID;"
        "CREATE INDEX tokens_by_expiry ON tokens(expires);"
        "CREATE TABLE results (id INTEGER PRIMARY KEY, name TEXT NOT NULL, country TEXT NOT NULL,"
        " score INTEGER NOT NULL, time INTEGER NOT NULL);"
        "CREATE INDEX results_by_rank ON results(score DESC, id);"
        "INSERT INTO tokens VALUES('oldtoken', 1790000600, 0);"
        "INSERT INTO results(name, country, score, time) VALUES('Nemo', 'nz', 4321, 1789000000), "
        "('Dory', 'au', 5000, 1789000100);"
        "PRAGMA user_version=" +
        std::to_string(userVersion) + ";";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

TEST(ScoreStoreMigration, AFileOfTheFirstTablesIsBroughtUpToDateInPlaceOnce) {
    tw::test::TempDir folder("tw-scores");
    const std::string path = folder / "old.db";
    MakeFirstVersionFile(path);
    for (std::size_t open = 0; open < 2; ++open) {
        SCOPED_TRACE(open == 0 ? "first open" : "second open");
        SqliteStore store(path);
        EXPECT_EQ(store.SchemaVersion(), ScoreStore::Schema);
        // The results from before the periods were kept are in the table of their month.
        EXPECT_EQ(store.Table(10, Period::Month, 1789000000).size(), 2U + open);
        EXPECT_EQ(store.Table(10, Period::Day, Start).size(), open) << "only the result stored on the day";
        const auto entries = store.Entries(10);
        ASSERT_EQ(entries.size(), 2U + open);
        EXPECT_EQ(entries[0].result.name, "Dory");
        EXPECT_EQ(entries[0].result.address, "");
        EXPECT_EQ(entries[1 + open].result.name, "Nemo");
        if (open == 0) {
            // The token handed out before the update is still good, and new results keep an address.
            EXPECT_EQ(store.StoreResult("oldtoken", {"Marlin", "nz", 4500, Start, "198.51.100.7"}, Start),
                      Refusal::None);
            EXPECT_EQ(store.Entries(10)[1].result.address, "198.51.100.7");
            // And the result it stored can have its replay.
            EXPECT_EQ(store.StoreReplay("oldtoken", "TWRP", Start), ReplayRefusal::None);
            EXPECT_EQ(store.ReplayStateOf(store.Entries(10)[1].id), ReplayState::Waiting);
        }
    }
}

TEST(ScoreStoreMigration, AFileOfANewerVersionIsLeftAlone) {
    tw::test::TempDir folder("tw-scores");
    const std::string path = folder / "newer.db";
    MakeFirstVersionFile(path, 99);
    try {
        SqliteStore store(path);
        FAIL() << "opened";
    } catch (const StoreError& error) {
        EXPECT_NE(std::string(error.what()).find(path + " was made by a newer tidewarden-scores"), std::string::npos)
            << error.what();
    }
}

} // namespace
} // namespace tw::scores
