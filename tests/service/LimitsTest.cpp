// SPDX-License-Identifier: MIT
// The limits per client: token buckets on a clock moved by hand, the token table's bounds, and the
// client address taken from a trusted proxy's forwarded-for header, and only from it.
#include "ClientAddress.h"
#include "InProcessService.h"
#include "SqliteStore.h"
#include "RateLimiter.h"

#include <gtest/gtest.h>

#include <mutex>

namespace tw::scores {
namespace {

using test::GoodRecord;
using test::Start;
using test::Submission;

constexpr std::int64_t T = 5000000; // ms on the limiter's clock

TEST(RateLimiterTest, ABucketHoldsAMinutesWorthAndRefillsWithTime) {
    RateLimiter limiter({Rate{10}, Rate{2}, Rate{0}});
    for (int i = 0; i < 10; ++i) EXPECT_EQ(limiter.Take("a", Limited::Versions, T), 0) << i;
    EXPECT_EQ(limiter.Take("a", Limited::Versions, T), 6) << "one request every 6 s";
    EXPECT_EQ(limiter.Take("a", Limited::Versions, T + 5999), 1);
    EXPECT_EQ(limiter.Take("a", Limited::Versions, T + 5999 + 6000), 0);
    // Each kind and each client has its own bucket; 0 a minute is no limit.
    EXPECT_EQ(limiter.Take("a", Limited::Submissions, T), 0);
    EXPECT_EQ(limiter.Take("a", Limited::Submissions, T), 0);
    EXPECT_EQ(limiter.Take("a", Limited::Submissions, T), 30);
    EXPECT_EQ(limiter.Take("b", Limited::Versions, T), 0);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(limiter.Take("a", Limited::Pages, T), 0);
    // A bucket never holds more than a minute's worth, however long it was left.
    for (int i = 0; i < 2; ++i) EXPECT_EQ(limiter.Take("c", Limited::Submissions, T + 3600 * 1000), 0);
    EXPECT_GT(limiter.Take("c", Limited::Submissions, T + 3600 * 1000), 0);
}

TEST(RateLimiterTest, AFloodOfAddressesKeepsTheTableBounded) {
    RateLimiter limiter({Rate{10}, Rate{10}, Rate{10}}, 100);
    int allowed = 0;
    for (int i = 0; i < 10000; ++i)
        if (limiter.Take("flood" + std::to_string(i), Limited::Versions, T) == 0) ++allowed;
    EXPECT_EQ(limiter.Clients(), 100U);
    // The first hundred are followed one by one; every later one shares a single bucket.
    EXPECT_EQ(allowed, 100 + 10);
    // A minute later they are all as good as new, and make room.
    EXPECT_EQ(limiter.Take("late", Limited::Versions, T + 60 * 1000), 0);
    EXPECT_EQ(limiter.Clients(), 1U);
}

TEST(ClientAddressTest, ForwardedForCountsOnlyFromATrustedProxy) {
    const std::vector<Network> proxies = {*Network::Parse("127.0.0.1"), *Network::Parse("10.1.0.0/16")};
    const struct {
        std::string peer;
        std::vector<std::string> forwarded;
        std::string client;
    } cases[] = {
        {"127.0.0.1", {"198.51.100.7"}, "198.51.100.7"},
        {"127.0.0.1", {"203.0.113.9, 198.51.100.7"}, "198.51.100.7"}, // the client's own claim is ignored
        {"127.0.0.1", {"203.0.113.9", "198.51.100.8"}, "198.51.100.8"},
        {"10.1.200.3", {" 2001:db8::1 "}, "2001:db8::1"},
        {"127.0.0.1", {"198.51.100.7, not-an-address"}, "127.0.0.1"},
        {"127.0.0.1", {}, "127.0.0.1"},
        {"192.0.2.5", {"198.51.100.7"}, "192.0.2.5"}, // not a proxy of ours
        {"10.2.0.1", {"198.51.100.7"}, "10.2.0.1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.peer + " " + (c.forwarded.empty() ? "" : c.forwarded.back()));
        EXPECT_EQ(ClientOf(c.peer, c.forwarded, proxies), c.client);
        EXPECT_EQ(ClientOf(c.peer, c.forwarded, {}), c.peer);
    }
    // One IPv6 host holds a whole /64; the limits count it as one.
    EXPECT_EQ(LimitKey("2001:db8:1:2:aaaa::1"), LimitKey("2001:db8:1:2:bbbb::7"));
    EXPECT_NE(LimitKey("2001:db8:1:2::1"), LimitKey("2001:db8:1:3::1"));
    EXPECT_EQ(LimitKey("198.51.100.7"), "198.51.100.7");
    EXPECT_EQ(CanonicalAddress("::ffff:198.51.100.7").value_or(""), "198.51.100.7");
    for (const char* bad : {"", "x", "10.0.0.0/33", "10.0.0.0/", "10.0.0.0/8/8", "::/129", "10.0.0.0/-1"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(Network::Parse(bad));
    }
    EXPECT_TRUE(Network::Parse("10.1.0.0/16")->Contains("10.1.255.255"));
    EXPECT_FALSE(Network::Parse("10.1.0.0/16")->Contains("10.2.0.0"));
    EXPECT_FALSE(Network::Parse("10.1.0.0/16")->Contains("::ffff:10.3.0.1"));
}

class LimitedService : public test::InProcessService {
protected:
    static ServiceSettings Limits() {
        ServiceSettings settings;
        settings.versions = Rate{3};
        settings.submissions = Rate{1};
        settings.pages = Rate{2};
        return settings;
    }
    LimitedService() { Restart(Limits()); }
    int Status(const std::string& target, const httplib::Headers& headers = {}) { return Get(target, headers).status; }
};

constexpr const char* Version = "/cgi/version.pl?version&prg=Tidewarden";
constexpr const char* Page = "/cgi/version.pl?prg=Tidewarden&show&type=0";

TEST_F(LimitedService, EachKindIsLimitedOnItsOwnAndAnsweredWithRetryAfter) {
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Status(Version), 200) << i;
    const auto limited = Get(Version);
    EXPECT_EQ(limited.status, 429);
    EXPECT_EQ(limited.body, "ERROR too many requests, try again later\n");
    ASSERT_EQ(limited.headers.count("Retry-After"), 1U);
    EXPECT_EQ(limited.headers.find("Retry-After")->second, "20");
    EXPECT_EQ(store().TokenCount(), 3) << "a limited version check handed out a token";

    // Pages and everything else share a bucket of their own: a flood of wrong paths drains it too.
    EXPECT_EQ(Status(Page), 200);
    EXPECT_EQ(Status("/cgi/other.pl"), 404);
    EXPECT_EQ(Status(Page), 429);
    // The health route counts toward nothing.
    for (int i = 0; i < 20; ++i) ASSERT_EQ(Get("/health").body, "OK\n");

    // One submission a minute; a limited one stores nothing and leaves its token unspent.
    steadyMs_ += 20000;
    const std::string first = Submission(GoodRecord(FreshToken(), "First"));
    steadyMs_ += 20000;
    const std::string second = Submission(GoodRecord(FreshToken(), "Second"));
    EXPECT_EQ(Get(first).body, "OK\n");
    EXPECT_EQ(Status(second), 429);
    EXPECT_EQ(store().ResultCount(), 1);
    steadyMs_ += 60000;
    EXPECT_EQ(Get(second).body, "OK\n");
    EXPECT_EQ(store().ResultCount(), 2);
}

TEST_F(LimitedService, ATrustedProxysClientsAreCountedByTheirForwardedAddress) {
    std::mutex mutex;
    std::vector<std::string> lines;
    ServerSettings server;
    server.trustedProxies = {*Network::Parse("127.0.0.0/8")};
    server.log = [&](const std::string& line) {
        const std::lock_guard lock(mutex);
        lines.push_back(line);
    };
    Restart(Limits(), server);
    const httplib::Headers seven = {{"X-Forwarded-For", "203.0.113.99, 198.51.100.7"}};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Status(Version, seven), 200) << i;
    EXPECT_EQ(Status(Version, seven), 429);
    // The forged first address is not the client; another forwarded address is another client.
    EXPECT_EQ(Status(Version, {{"X-Forwarded-For", "203.0.113.99, 198.51.100.8"}}), 200);
    EXPECT_EQ(Status(Version), 200) << "the proxy's own requests are its own client";

    steadyMs_ += 60000;
    const httplib::Headers eight = {{"X-Forwarded-For", "198.51.100.8"}};
    EXPECT_EQ(Get(Submission(GoodRecord(FreshToken(eight)))).body, "OK\n");
    ASSERT_EQ(store().Entries(10).size(), 1U);
    EXPECT_EQ(store().Entries(10)[0].result.address, "127.0.0.1") << "stored under the address that submitted";
    EXPECT_EQ(Get(Submission(GoodRecord(FreshToken(eight), "Eight")), eight).body, "OK\n");
    EXPECT_EQ(store().Entries(10)[1].result.address, "198.51.100.8");

    server_->Stop();
    const std::lock_guard lock(mutex);
    bool logged = false;
    for (const auto& line : lines) logged = logged || line.rfind("198.51.100.7 GET /cgi/version.pl?version", 0) == 0;
    EXPECT_TRUE(logged) << "the log names the forwarded client";
}

TEST_F(LimitedService, WithoutATrustedProxyForwardedForIsIgnored) {
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Status(Version, {{"X-Forwarded-For", "198.51.100." + std::to_string(i)}}), 200) << i;
    EXPECT_EQ(Status(Version, {{"X-Forwarded-For", "198.51.100.50"}}), 429);
    steadyMs_ += 60000;
    EXPECT_EQ(Get(Submission(GoodRecord(FreshToken())), {{"X-Forwarded-For", "198.51.100.9"}}).body, "OK\n");
    EXPECT_EQ(store().Entries(10).at(0).result.address, "127.0.0.1");
}

TEST_F(LimitedService, TheTokenTableStaysBoundedAndIsPurged) {
    Restart(Unlimited());
    std::string newest;
    for (int i = 0; i < 200; ++i) newest = FreshToken();
    EXPECT_LE(store().TokenCount(), TokenLimits{}.perAddress);
    EXPECT_EQ(Get(Submission(GoodRecord(newest))).body, "OK\n");
    clock_ += 11 * 60;
    FreshToken();
    EXPECT_EQ(store().TokenCount(), 1) << "expired tokens are dropped";

    // From many addresses the table stops at its total.
    tw::test::TempDir folder("tw-scores");
    SqliteStore small(folder / "small.db", TokenLimits{4, 100});
    for (int i = 0; i < 1000; ++i)
        small.IssueToken(Start, Start + 600, "198.51." + std::to_string(i / 250) + "." + std::to_string(i % 250));
    EXPECT_LE(small.TokenCount(), 100 + 64);
    for (int i = 0; i < 50; ++i) small.IssueToken(Start, Start + 600, "203.0.113.1");
    EXPECT_LE(small.TokenCount(), 100 + 64);
}

} // namespace
} // namespace tw::scores
