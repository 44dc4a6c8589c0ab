// SPDX-License-Identifier: MIT
// What each store must do alike (the tables of a period, a token spent once however many try at
// once), and what only the PostgreSQL store has: migrations run once by several processes at once.
#include "InProcessService.h"
#include "PostgresStore.h"

#include <gtest/gtest.h>

#include <libpq-fe.h>

#include <algorithm>
#include <thread>

namespace tw::scores {
namespace {

using test::BothStores;
using test::Start;

std::vector<std::string> Names(const std::vector<StoredResult>& results) {
    std::vector<std::string> names;
    for (const auto& result : results) names.push_back(result.name);
    return names;
}

TEST_P(BothStores, EachPeriodHasTheBestOfItsOwnResults) {
    // Start is a Monday, 14:13 UTC: the week and the day begin the same midnight.
    const std::int64_t midnight = Start - (14 * 3600 + 13 * 60 + 20);
    const struct {
        const char* name;
        std::int64_t time;
        std::uint16_t score;
    } results[] = {
        {"Today", Start - 3600, 300},           {"Midnight", midnight, 100},
        {"Sunday", midnight - 1, 900},          {"August", midnight - 21 * 86400 - 1, 800},
        {"LastYear", Start - 365 * 86400, 700},
    };
    for (const auto& result : results)
        ASSERT_EQ(store().StoreResult(store().IssueToken(Start, Start + 60),
                                      {result.name, "nz", result.score, result.time, {}}, Start),
                  Refusal::None);
    using List = std::vector<std::string>;
    EXPECT_EQ(Names(store().Table(10, Period::Day, Start)), (List{"Today", "Midnight"}));
    EXPECT_EQ(Names(store().Table(10, Period::Week, Start)), (List{"Today", "Midnight"}));
    EXPECT_EQ(Names(store().Table(10, Period::Month, Start)), (List{"Sunday", "Today", "Midnight"}));
    EXPECT_EQ(Names(store().Table(10, Period::All, Start)),
              (List{"Sunday", "August", "LastYear", "Today", "Midnight"}));
    EXPECT_EQ(Names(store().Table(1, Period::Month, Start)), (List{"Sunday"}));
    // A day later the day's table is empty; Sunday is in last week's table.
    EXPECT_TRUE(store().Table(10, Period::Day, Start + 86400).empty());
    EXPECT_EQ(Names(store().Table(10, Period::Week, midnight - 1)), (List{"Sunday"}));

    const auto json = [this](const std::string& period) {
        return Get("/cgi/version.pl?prg=Tidewarden&show&type=0&format=json" + period).body;
    };
    const std::string week = json("&period=week");
    EXPECT_NE(week.find("\"name\":\"Today\""), std::string::npos) << week;
    EXPECT_EQ(week.find("\"name\":\"Sunday\""), std::string::npos) << week;
    EXPECT_EQ(json("&period=all"), json(""));
    EXPECT_NE(json("").find("\"place\":5,\"name\":\"Midnight\""), std::string::npos);
    const std::string day = Get("/cgi/version.pl?prg=Tidewarden&show&type=0&period=day").body;
    EXPECT_NE(day.find("<td>Today</td>"), std::string::npos);
    EXPECT_EQ(day.find("<td>August</td>"), std::string::npos);
    for (const char* bad : {"&period=year", "&period=", "&period=DAY", "&period=day&period=week"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(Get(std::string("/cgi/version.pl?prg=Tidewarden&show&type=0") + bad).status, 400);
    }
}

TEST_P(BothStores, ATokenSentByManyAtOnceIsSpentOnce) {
    const std::string token = store().IssueToken(Start, Start + 60);
    std::atomic<int> stored{0};
    std::atomic<int> spent{0};
    std::vector<std::thread> senders;
    for (int i = 0; i < 8; ++i)
        senders.emplace_back([&, i] {
            const Refusal refusal = store().StoreResult(
                token, {"N" + std::to_string(i), "nz", static_cast<std::uint16_t>(i), Start, {}}, Start);
            ++(refusal == Refusal::None ? stored : refusal == Refusal::UsedToken ? spent : stored);
        });
    for (auto& sender : senders) sender.join();
    EXPECT_EQ(stored.load(), 1);
    EXPECT_EQ(spent.load(), 7);
    EXPECT_EQ(store().ResultCount(), 1);
}

// BothStores is instantiated with the other tests of the service (ServiceTest.cpp).

class PostgresOnly : public ::testing::Test {
protected:
    void SetUp() override {
        if (!cluster_.Available()) GTEST_SKIP() << cluster_.Reason();
        uri_ = cluster_.FreshDatabase();
    }
    std::int64_t Count(const std::string& sql) const {
        PGconn* connection = PQconnectdb(uri_.c_str());
        PGresult* result = PQexec(connection, sql.c_str());
        const std::int64_t count =
            PQresultStatus(result) == PGRES_TUPLES_OK ? std::stoll(PQgetvalue(result, 0, 0)) : -1;
        PQclear(result);
        PQfinish(connection);
        return count;
    }
    test::PostgresCluster& cluster_ = test::PostgresCluster::Get();
    std::string uri_;
};

TEST_F(PostgresOnly, ProcessesOpeningANewDatabaseAtOnceMigrateItOnce) {
    std::vector<std::thread> openers;
    std::atomic<int> opened{0};
    for (int i = 0; i < 3; ++i)
        openers.emplace_back([&] {
            try {
                PostgresStore store(uri_, {});
                if (store.SchemaVersion() == ScoreStore::Schema) ++opened;
            } catch (const StoreError& error) {
                ADD_FAILURE() << error.what();
            }
        });
    for (auto& opener : openers) opener.join();
    EXPECT_EQ(opened.load(), 3);
    EXPECT_EQ(Count("SELECT count(*) FROM migrations"), ScoreStore::Schema);
    EXPECT_EQ(Count("SELECT count(*) FROM pg_indexes WHERE tablename = 'results'"), 7)
        << "key, rank, address, three periods, verified by rank";

    test::PostgresCluster::ExecuteOn(uri_, "INSERT INTO migrations VALUES(99, 0)");
    try {
        PostgresStore store(uri_, {});
        FAIL() << "opened";
    } catch (const StoreError& error) {
        EXPECT_NE(std::string(error.what()).find(" was made by a newer tidewarden-scores"), std::string::npos)
            << error.what();
    }
}

TEST_F(PostgresOnly, AnUnreachableServerIsNamedWithoutItsPassword) {
    const std::string uri = "postgresql://tidewarden:secret@/nowhere?host=/nonexistent-folder";
    try {
        PostgresStore store(uri, {});
        FAIL() << "opened";
    } catch (const StoreError& error) {
        const std::string what = error.what();
        EXPECT_NE(what.find("postgresql://tidewarden:***@/nowhere"), std::string::npos) << what;
        EXPECT_EQ(what.find("secret"), std::string::npos) << what;
    }
    EXPECT_EQ(WithoutPassword("postgres://u:p@h/db?password=q&x=1"), "postgres://u:***@h/db?password=***&x=1");
    EXPECT_TRUE(IsServerDatabase("postgres://h/db"));
    EXPECT_FALSE(IsServerDatabase("postgresql.db"));
}

} // namespace
} // namespace tw::scores
