// SPDX-License-Identifier: MIT
// Hostile connections against the in-process service: heads too large, too long or never finished,
// bodies, ranges, floods of connections. Each gets its answer (or is closed) and stores nothing.
#include "InProcessService.h"
#include "RawClient.h"

#include <gtest/gtest.h>

#include <thread>

namespace tw::scores {
namespace {

using namespace std::chrono_literals;
using test::GoodRecord;
using test::RawClient;
using test::Submission;

class HostileConnections : public test::InProcessService {
protected:
    HostileConnections() {
        ServerSettings server;
        // Short waits keep the tests quick; the program's own are 5 s and 2 s.
        server.headDeadline = 300ms;
        server.keepAliveIdle = 200ms;
        server.connectionsPerAddress = 4;
        Restart(Unlimited(), server);
    }
    static std::string Head(const std::string& target, const std::string& headers = {}) {
        return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n";
    }
};

TEST_F(HostileConnections, EachGetsItsAnswerAndNothingIsStored) {
    const std::string submission = Submission(GoodRecord(FreshToken()));
    std::string lines;
    for (int i = 0; i < 2000; ++i) lines += "X-Line-" + std::to_string(i) + ": " + std::string(20, 'a') + "\r\n";
    std::string sixty;
    for (int i = 0; i < 60; ++i) sixty += "X-" + std::to_string(i) + ": 1\r\n";
    const struct {
        const char* what;
        std::string bytes;
        int status; // 0: closed without an answer
    } cases[] = {
        {"2000 header lines (57 KB)", Head(submission, lines), 431},
        {"60 short header lines", Head(submission, sixty), 431},
        {"one header line of 9000 bytes", Head(submission, "X-Big: " + std::string(9000, 'b') + "\r\n"), 431},
        {"a request line of 100 KiB", Head(submission + std::string(100 * 1024, 'Q')), 431},
        {"an address of 3000 bytes", Head(submission + "&" + std::string(3000, 'Q')), 414},
        {"a body announced", "GET " + submission + " HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello", 413},
        {"a chunked body",
         "GET " + submission + " HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n", 413},
        {"not HTTP", "HELLO THERE\r\n\r\n", 400},
        {"a head never finished", "GET " + submission + " HTTP/1.1\r\nHost: 127.0.0.1\r\n", 0},
        {"nothing at all", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RawClient client(port());
        client.Send(c.bytes);
        const std::string answer = client.Read(3s);
        EXPECT_TRUE(client.Closed()) << "the connection stays open";
        EXPECT_EQ(test::StatusOf(answer), c.status) << answer.substr(0, 200);
        if (c.status != 0) {
            EXPECT_EQ(test::BodyOf(answer).substr(0, 6), "ERROR ");
        }
        EXPECT_EQ(store().ResultCount(), 0);
    }
    // The token of that submission was never spent.
    EXPECT_EQ(Get(submission).body, "OK\n");
}

TEST_F(HostileConnections, AHeadTrickledLineByLineIsCutOffAtTheDeadline) {
    RawClient client(port());
    client.Send("GET /cgi/version.pl?version&prg=Tidewarden HTTP/1.1\r\n");
    // Each line arrives well within any per-read timeout; only the whole head has a deadline.
    bool cut = false;
    for (int i = 0; i < 30 && !cut; ++i) {
        std::this_thread::sleep_for(50ms);
        cut = !client.Send("X-Trickle-" + std::to_string(i) + ": 1\r\n");
        if (!cut) {
            client.Read(1ms);
            cut = client.Closed();
        }
    }
    EXPECT_TRUE(cut) << "1.5 s of trickling was let through";
    EXPECT_EQ(store().TokenCount(), 0) << "a cut-off version check handed out a token";
}

TEST_F(HostileConnections, RangesAreNeverAnswered) {
    const std::string page = "/cgi/version.pl?prg=Tidewarden&show&type=0";
    ASSERT_TRUE(Send("Nemo", 120, "nz"));
    const std::string whole = Get(page).body;
    std::string ranges = "Range: bytes=0-";
    for (int i = 0; i < 600; ++i) ranges += ",0-";
    RawClient client(port());
    client.Send("GET " + page + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" + ranges + "\r\n\r\n");
    const std::string answer = client.Read(3s);
    EXPECT_EQ(test::StatusOf(answer), 200);
    EXPECT_EQ(test::BodyOf(answer), whole);
    EXPECT_EQ(test::HeaderOf(answer, "Accept-Ranges"), "");
    EXPECT_EQ(test::HeaderOf(answer, "Content-Length"), std::to_string(whole.size()));
}

TEST_F(HostileConnections, AnswersCarryADateAndSayHowLongTheyMayBeCached) {
    const struct {
        std::string target;
        std::string cache;
    } cases[] = {
        {"/cgi/version.pl?version&prg=Tidewarden", "no-store"},
        {"/cgi/version.pl?prg=Tidewarden&show&type=0", "public, max-age=10"},
        {"/cgi/version.pl?prg=Tidewarden&show&type=0&format=json", "public, max-age=10"},
        {"/cgi/other.pl", "no-store"},
        {"/health", "no-store"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        const auto answer = Get(c.target);
        EXPECT_NE(answer.status, 0);
        EXPECT_EQ(answer.headers.count("Accept-Ranges"), 0U);
        ASSERT_EQ(answer.headers.count("Date"), 1U);
        EXPECT_NE(answer.headers.find("Date")->second.find(" GMT"), std::string::npos);
        ASSERT_EQ(answer.headers.count("Cache-Control"), 1U);
        EXPECT_EQ(answer.headers.find("Cache-Control")->second, c.cache);
    }
}

TEST_F(HostileConnections, AKeptAliveConnectionIsClosedWhenIdle) {
    RawClient client(port());
    client.Send(Head("/health"));
    const std::string first = client.Read(100ms);
    EXPECT_EQ(test::StatusOf(first), 200);
    EXPECT_FALSE(client.Closed());
    client.Send(Head("/health"));
    EXPECT_EQ(test::StatusOf(client.Read(100ms)), 200) << "a second request on the same connection";
    client.Read(3s);
    EXPECT_TRUE(client.Closed());
}

TEST_F(HostileConnections, ConnectionsPerAddressAreCapped) {
    std::vector<std::unique_ptr<RawClient>> held;
    for (int i = 0; i < 4; ++i) held.push_back(std::make_unique<RawClient>(port()));
    // Held connections have been counted once the service has read from them: one request each.
    RawClient fifth(port());
    fifth.Send(Head("/health"));
    const std::string refused = fifth.Read(1s);
    EXPECT_TRUE(fifth.Closed());
    EXPECT_EQ(refused, "");

    RawClient other(port(), "127.0.0.2");
    other.Send(Head("/health"));
    EXPECT_EQ(test::StatusOf(other.Read(1s)), 200) << "another address is not held up";

    held.clear();
    std::this_thread::sleep_for(50ms);
    RawClient again(port());
    again.Send(Head("/health"));
    EXPECT_EQ(test::StatusOf(again.Read(1s)), 200) << "closed connections are counted off";
}

} // namespace
} // namespace tw::scores
