// SPDX-License-Identifier: MIT
// A result's replay: received for the token that stored the result, checked by a program that
// stands in for the game's own (fake-verifier.sh; the game's real check is in the end-game test),
// the entry marked verified only when the check ends at its score, and the verified replays
// offered for download. Every refusal stores nothing; an old client is served as before.
#include "InProcessService.h"
#include "Moderation.h"
#include "RawClient.h"

#include <sstream>

#include <thread>

namespace tw::scores {
namespace {

using namespace std::chrono_literals;
using test::BothStores;
using test::GoodRecord;
using test::Submission;

class Replays : public BothStores {
protected:
    Answer Upload(const std::string& token, const std::string& bytes, const httplib::Headers& headers = {}) {
        httplib::Client client("127.0.0.1", port());
        const auto result = client.Post("/cgi/replay.pl?token=" + token, headers, bytes, "application/octet-stream");
        if (!result) return {};
        return {result->status, result->body, result->headers};
    }
    // A stored result's token (score 120), ready for its replay.
    std::string StoredToken(const std::string& name = "Nemo") {
        const std::string token = FreshToken();
        EXPECT_EQ(Get(Submission(GoodRecord(token, name))).body, "OK\n");
        return token;
    }
    std::int64_t IdOf(const std::string& name) {
        for (const auto& entry : store().Entries(100))
            if (entry.result.name == name) return entry.id;
        ADD_FAILURE() << "no entry of " << name;
        return 0;
    }
    // The replay's state once its check has ended (or what it is after the wait).
    std::optional<ReplayState> Checked(std::int64_t id, std::chrono::milliseconds wait = 30s) {
        const auto end = std::chrono::steady_clock::now() + wait;
        auto state = store().ReplayStateOf(id);
        while (state == ReplayState::Waiting && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(20ms);
            state = store().ReplayStateOf(id);
        }
        return state;
    }
    std::string Page(const std::string& extra = {}) {
        return Get("/cgi/version.pl?prg=Tidewarden&show&type=0" + extra).body;
    }
};

TEST_P(Replays, OnlyAReplayThatEndsAtTheEntrysScoreVerifiesIt) {
    CheckReplaysWith(FAKE_VERIFIER);
    const struct {
        const char* name;
        std::string replay;
        ReplayState expected;
    } cases[] = {
        {"True", "TWRPmatch 120", ReplayState::Verified},
        {"Forged", "TWRPmatch 999", ReplayState::Failed},        // plays through, to another score
        {"Desync", "TWRPdiffer 120", ReplayState::Failed},       // the game went another way
        {"Damaged", "TWRP\x01\x02garbage", ReplayState::Failed}, // the game cannot read it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::CurlHttpClient http;
        ASSERT_TRUE(online::SendResult(http, base(), c.name, 120, "nz", c.replay));
        EXPECT_EQ(Checked(IdOf(c.name)), c.expected);
    }
    const std::int64_t verified = IdOf("True");

    // The moderator's list says which entries are proved.
    std::ostringstream listed;
    std::ostringstream errors;
    ASSERT_EQ(RunModeration({"list", "--database", path_}, listed, errors), 0) << errors.str();
    const auto lineOf = [&listed](const std::string& name) {
        std::istringstream lines(listed.str());
        std::string line;
        while (std::getline(lines, line))
            if (line.find("\t" + name + "\tnz\t") != std::string::npos) return line;
        return std::string();
    };
    EXPECT_TRUE(lineOf("True").ends_with("\t127.0.0.1\tverified")) << listed.str();
    EXPECT_TRUE(lineOf("Forged").ends_with("\t127.0.0.1\tnot verified")) << listed.str();

    const std::string page = Page();
    EXPECT_NE(page.find("<th>REPLAY</th>"), std::string::npos);
    EXPECT_NE(
        page.find(
            "<td>True</td><td>nz</td><td class=\"n\">120</td><td>2026-09-21</td><td>VERIFIED <a href=\"replay.pl?id=" +
            std::to_string(verified) + "\" download>download</a></td>"),
        std::string::npos)
        << page;
    EXPECT_NE(page.find("<td>Forged</td><td>nz</td><td class=\"n\">120</td><td>2026-09-21</td><td></td>"),
              std::string::npos);
    const std::string json = Get("/cgi/version.pl?prg=Tidewarden&show&type=0&format=json").body;
    EXPECT_NE(json.find("\"name\":\"True\",\"country\":\"nz\",\"score\":120,\"date\":\"2026-09-21\",\"verified\":true,"
                        "\"replay\":\"/cgi/replay.pl?id=" +
                        std::to_string(verified) + "\"}"),
              std::string::npos)
        << json;
    EXPECT_NE(
        json.find("\"name\":\"Forged\",\"country\":\"nz\",\"score\":120,\"date\":\"2026-09-21\",\"verified\":false}"),
        std::string::npos);

    // The verified replay is handed out as it came; the others are not.
    const auto download = Get("/cgi/replay.pl?id=" + std::to_string(verified));
    EXPECT_EQ(download.status, 200);
    EXPECT_EQ(download.body, "TWRPmatch 120");
    EXPECT_EQ(download.headers.find("Content-Type")->second, "application/octet-stream");
    EXPECT_EQ(download.headers.find("Content-Disposition")->second,
              "attachment; filename=\"tidewarden-" + std::to_string(verified) + ".twr\"");
    for (const char* name : {"Forged", "Desync"})
        EXPECT_EQ(Get("/cgi/replay.pl?id=" + std::to_string(IdOf(name))).status, 404) << name;
    EXPECT_EQ(Get("/cgi/replay.pl?id=999999").status, 404);
    EXPECT_EQ(Get("/cgi/replay.pl?id=1x").status, 400);

    // Only the verified entry, on the page and in the JSON, of any period.
    ServiceSettings strict = InProcessService::Unlimited();
    strict.requireVerified = true;
    CheckReplaysWith(FAKE_VERIFIER, 20s, strict);
    for (const char* period : {"", "&period=day", "&period=month"}) {
        SCOPED_TRACE(period);
        const std::string only = Page(period);
        EXPECT_NE(only.find("<td>True</td>"), std::string::npos);
        for (const char* name : {"Forged", "Desync", "Damaged"})
            EXPECT_EQ(only.find(std::string("<td>") + name + "</td>"), std::string::npos) << name;
        const std::string onlyJson =
            Get(std::string("/cgi/version.pl?prg=Tidewarden&show&type=0&format=json") + period).body;
        EXPECT_NE(onlyJson.find("\"place\":1,\"name\":\"True\""), std::string::npos) << onlyJson;
        EXPECT_EQ(onlyJson.find("\"place\":2"), std::string::npos) << onlyJson;
    }

    // Removing the entry takes its replay with it.
    EXPECT_EQ(store().Remove({verified}), 1);
    EXPECT_EQ(Get("/cgi/replay.pl?id=" + std::to_string(verified)).status, 404);
}

TEST_P(Replays, UploadsThatCannotBeTakenAreRefusedAndStoreNothing) {
    ServiceSettings settings = InProcessService::Unlimited();
    settings.replayBytes = 1000;
    // No program behind it: nothing is checked, so what is stored stays waiting to be seen here.
    CheckReplaysWith("/nonexistent/tidewarden", 20s, settings);
    const std::string spent = StoredToken("Spent");
    ASSERT_EQ(Upload(spent, "TWRPmatch 120").status, 202);
    const std::string unspent = FreshToken();
    const std::string stored = StoredToken("Stored");
    const std::string expiring = StoredToken("Expiring");

    const struct {
        const char* what;
        std::string token;
        std::string body;
        int status;
        const char* answer;
    } cases[] = {
        {"a second replay for a token", spent, "TWRPmatch 120", 409,
         "ERROR a replay was received for this token already\n"},
        {"an unknown token", "0123456789abcdef0123456789abcdef", "TWRPmatch 120", 403, "ERROR unknown token\n"},
        {"no token", "", "TWRPmatch 120", 403, "ERROR unknown token\n"},
        {"a token that stored no result", unspent, "TWRPmatch 120", 403,
         "ERROR no result was stored with this token\n"},
        {"no body", stored, "", 400, "ERROR no replay\n"},
        {"not a replay", stored, "GIF89a", 400, "ERROR not a replay\n"},
        {"larger than the cap", stored, "TWRP" + std::string(997, 'x'), 413, "ERROR body larger than 1000 bytes\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto answer = Upload(c.token, c.body);
        EXPECT_EQ(answer.status, c.status);
        EXPECT_EQ(answer.body, c.answer);
    }
    EXPECT_EQ(store().WaitingReplays(), 1) << "only the first replay was kept";
    EXPECT_EQ(store().ReplayStateOf(IdOf("Stored")), std::nullopt);

    // A token's replay is taken only while the token is valid.
    clock_ += 11 * 60;
    EXPECT_EQ(Upload(expiring, "TWRPmatch 120").body, "ERROR expired token\n");
    clock_ -= 11 * 60;

    // Exactly the cap is taken; other requests of the path are refused.
    EXPECT_EQ(Upload(stored, "TWRP" + std::string(996, 'x')).status, 202);
    EXPECT_EQ(Request("DELETE", "/cgi/replay.pl?token=" + stored).status, 405);
    EXPECT_EQ(Get("/cgi/replay.pl?token=" + stored).status, 400);
    httplib::Client client("127.0.0.1", port());
    EXPECT_EQ(client.Post("/cgi/replay.pl?token=" + stored + "&token=x", "TWRP", "application/octet-stream")->status,
              400);
    EXPECT_EQ(client.Post("/cgi/version.pl?version&prg=Tidewarden", "TWRP", "application/octet-stream")->status, 413)
        << "the script takes no body";
}

TEST_P(Replays, UploadsHaveABucketOfTheirOwn) {
    ServiceSettings settings = InProcessService::Unlimited();
    settings.replays = Rate{2};
    CheckReplaysWith("/nonexistent/tidewarden", 20s, settings);
    const std::string token = StoredToken();
    EXPECT_EQ(Upload(token, "TWRPmatch 120").status, 202);
    EXPECT_EQ(Upload(token, "TWRPmatch 120").status, 409);
    const auto limited = Upload(token, "TWRPmatch 120");
    EXPECT_EQ(limited.status, 429);
    EXPECT_EQ(limited.headers.count("Retry-After"), 1U);
    EXPECT_FALSE(FreshToken().empty()) << "version checks are counted apart";
    EXPECT_EQ(Get("/cgi/replay.pl?id=1").status, 429) << "downloads share the uploads' bucket";
}

TEST_P(Replays, AServiceWithoutAProgramToCheckRefusesReplaysAndServesOldClientsAsBefore) {
    const std::string token = StoredToken();
    EXPECT_EQ(Upload(token, "TWRPmatch 120").status, 501);
    EXPECT_EQ(store().WaitingReplays(), 0);
    // The page and the JSON are what they always were.
    EXPECT_EQ(Page().find("REPLAY"), std::string::npos);
    EXPECT_EQ(
        Get("/cgi/version.pl?prg=Tidewarden&show&type=0&format=json").body,
        "{\"results\":[{\"place\":1,\"name\":\"Nemo\",\"country\":\"nz\",\"score\":120,\"date\":\"2026-09-21\"}]}\n");

    // With a checker, an old client that sends no replay is stored as ever, and stays unverified.
    CheckReplaysWith(FAKE_VERIFIER);
    ASSERT_TRUE(Send("Old", 130, "de"));
    EXPECT_EQ(store().ReplayStateOf(IdOf("Old")), std::nullopt);
    EXPECT_NE(Page().find("<td>Old</td><td>de</td><td class=\"n\">130</td><td>2026-09-21</td><td></td>"),
              std::string::npos);
}

TEST_P(Replays, AHangingCheckIsKilledAtItsDeadlineAndTheQueueIsBounded) {
    ServiceSettings settings = InProcessService::Unlimited();
    settings.replayQueue = 1;
    CheckReplaysWith(FAKE_VERIFIER, 1500ms, settings);
    ASSERT_EQ(Upload(StoredToken("Hangs"), "TWRPhang").status, 202);
    // While it waits, the queue is full: the next one is told to come back later.
    const auto full = Upload(StoredToken("Later"), "TWRPmatch 120");
    EXPECT_EQ(full.status, 503);
    EXPECT_EQ(full.headers.find("Retry-After")->second, "60");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Checked(IdOf("Hangs"), 10s), ReplayState::Failed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(store().WaitingReplays(), 0);
}

TEST_P(Replays, StoppingEndsACheckAtOnceAndTheReplayWaitsForTheNextStart) {
    CheckReplaysWith(FAKE_VERIFIER, 30s);
    ASSERT_EQ(Upload(StoredToken("Hangs"), "TWRPhang").status, 202);
    std::this_thread::sleep_for(500ms); // taken and being checked
    const auto start = std::chrono::steady_clock::now();
    replays_->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(store().ReplayStateOf(IdOf("Hangs")), ReplayState::Waiting);
    EXPECT_EQ(store().WaitingReplays(), 1);
}

TEST(ReplayProbe, FindsAProgramThatCannotRunInItsBoxBeforeAnyReplayIs) {
    CheckSettings settings;
    settings.memoryBytes = 0;
    settings.program = FAKE_VERIFIER;
    EXPECT_EQ(ProbeVerifier(settings), "");
    settings.program = "/nonexistent/tidewarden";
    EXPECT_EQ(ProbeVerifier(settings), "it cannot be run");
    // Too little memory for even a shell to start.
    settings.program = FAKE_VERIFIER;
    settings.memoryBytes = 1 << 16;
    EXPECT_NE(ProbeVerifier(settings), "");
}

// How a replay's body comes in, over a raw connection: each way out of bounds is answered, or the
// connection closed, and nothing is stored.
class ReplayBodies : public test::InProcessService {
protected:
    ReplayBodies() {
        CheckReplaysWith("/nonexistent/tidewarden"); // kept, never checked: the store shows what came
        ServerSettings server;
        server.bodyDeadline = 500ms;
        server.bodiesAtOnce = 1;
        Restart(Unlimited(), server);
    }
    std::string Head(const std::string& token, const std::string& fields) {
        return "POST /cgi/replay.pl?token=" + token + " HTTP/1.1\r\nHost: x\r\n" + fields + "\r\n";
    }
    std::string StoredToken() {
        const std::string token = FreshToken();
        EXPECT_EQ(Get(Submission(test::GoodRecord(token))).body, "OK\n");
        return token;
    }
};

TEST_F(ReplayBodies, AreReadOnlyWithinTheirBounds) {
    using test::RawClient;
    using test::StatusOf;
    {
        // A client that asks first is told to go on at once.
        RawClient client(port());
        ASSERT_TRUE(client.Send(Head(StoredToken(), "Content-Length: 13\r\nExpect: 100-continue\r\n")));
        EXPECT_EQ(client.Read(300ms).rfind("HTTP/1.1 100 Continue\r\n", 0), 0U);
        ASSERT_TRUE(client.Send("TWRPmatch 120"));
        const std::string answer = client.Read(2s);
        EXPECT_EQ(StatusOf(answer), 202) << answer;
        EXPECT_EQ(test::BodyOf(answer), "OK replay received\n");
    }
    EXPECT_EQ(store().WaitingReplays(), 1);

    const struct {
        const char* what;
        std::string fields;
        int status;
    } refused[] = {
        {"a length past the cap, never read", "Content-Length: 10000000\r\n", 413},
        {"no length", "Transfer-Encoding: chunked\r\n", 411},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.what);
        RawClient client(port());
        ASSERT_TRUE(client.Send(Head(StoredToken(), c.fields)));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(StatusOf(client.Read(3s)), c.status);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    }

    // A body still coming in at its deadline ends the connection; meanwhile it holds the one
    // place for a body, so another upload is told to come back.
    RawClient slow(port());
    ASSERT_TRUE(slow.Send(Head(StoredToken(), "Content-Length: 13\r\n") + "TWRP"));
    std::this_thread::sleep_for(100ms);
    {
        RawClient other(port());
        ASSERT_TRUE(other.Send(Head(StoredToken(), "Content-Length: 13\r\n") + "TWRPmatch 120"));
        EXPECT_EQ(StatusOf(other.Read(2s)), 503);
    }
    EXPECT_EQ(slow.Read(2s), "");
    EXPECT_TRUE(slow.Closed());
    EXPECT_EQ(store().WaitingReplays(), 1) << "nothing more was stored";

    // The place is free again.
    const auto answer = httplib::Client("127.0.0.1", port())
                            .Post("/cgi/replay.pl?token=" + StoredToken(), "TWRPmatch 120", "application/octet-stream");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 202);

    // A long game's replay, past the HTTP library's own default cap of a body, is taken whole (in
    // the default time for a body, so a loaded machine still sends it in time).
    Restart(Unlimited());
    const std::string longGame = "TWRP" + std::string(std::size_t{3} << 20, 'x');
    const auto taken = httplib::Client("127.0.0.1", port())
                           .Post("/cgi/replay.pl?token=" + StoredToken(), longGame, "application/octet-stream");
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->status, 202) << taken->body;
    EXPECT_EQ(store().WaitingReplays(), 3);
}

INSTANTIATE_TEST_SUITE_P(Stores, Replays, ::testing::Values(test::StoreKind::Sqlite, test::StoreKind::Postgres),
                         test::StoreName);

} // namespace
} // namespace tw::scores
