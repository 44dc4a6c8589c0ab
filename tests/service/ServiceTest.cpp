// SPDX-License-Identifier: MIT
// The service's answers, in process on loopback: the game's own client and encoder for the
// round trips, hand-made requests for everything hostile.
#include "InProcessService.h"
#include "RecordCodec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <thread>

namespace tw::scores {
namespace {

using test::BothStores;
using test::Padded;
using test::Start;
using test::Submission;

TEST(RecordCodecTest, DecodesWhatTheGameEncodes) {
    const struct {
        std::string name;
        std::uint16_t score;
        std::string token;
        std::string country;
    } cases[] = {
        {"", 0, "a", ""},
        {"Nemo", 120, "tok42", "nz"},
        {"Ten Chars ", 65535, std::string(254, 'f'), "ABCDEFGHIJ"},
        {"  ", 1, "0", " "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto record = DecodeInf(online::EncodeRecord(online::ResultRecord(c.name, c.score, c.token, c.country)));
        ASSERT_TRUE(record);
        const auto parsed = ParseRecord(*record);
        ASSERT_TRUE(parsed.submission) << parsed.error;
        EXPECT_EQ(parsed.submission->name, c.name);
        EXPECT_EQ(parsed.submission->score, c.score);
        EXPECT_EQ(parsed.submission->key, online::ClientKey);
        EXPECT_EQ(parsed.submission->token, c.token);
        EXPECT_EQ(parsed.submission->country, c.country);
    }
}

TEST_P(BothStores, AResultSentByTheGameAppearsOnThePageAndInTheJson) {
    const auto version = Get("/cgi/version.pl?version&prg=Tidewarden");
    EXPECT_EQ(version.status, 200);
    EXPECT_EQ(version.body.substr(0, 16), "OK|Tidewarden|1|");
    EXPECT_EQ(online::TokenFromAnswer(version.body).value_or("").size(), 32U);

    ASSERT_TRUE(Send("Nemo", 120, "nz"));
    const auto page = Get("/cgi/version.pl?prg=Tidewarden&show&type=0");
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(
        page.body.find("<td class=\"n\">1</td><td>Nemo</td><td>nz</td><td class=\"n\">120</td><td>2026-09-21</td>"),
        std::string::npos)
        << page.body;
    EXPECT_EQ(
        Get("/cgi/version.pl?prg=Tidewarden&show&type=0&format=json").body,
        "{\"results\":[{\"place\":1,\"name\":\"Nemo\",\"country\":\"nz\",\"score\":120,\"date\":\"2026-09-21\"}]}\n");
}

TEST_P(BothStores, HostileRequestsAreRefusedAndStoreNothing) {
    const std::string good = Padded("type=0|name=Nemo|score=120|key=T|p=" + FreshToken() + "|add=nz|z=");
    const std::string goodInf = online::EncodeRecord(good);
    const auto withToken = [this](const std::string& fields) { return Submission(Padded("type=0|" + fields)); };
    const std::string script = "/cgi/version.pl?hs&prg=Tidewarden&inf=";
    const struct {
        const char* what;
        int status;
        std::string method;
        std::string target;
    } cases[] = {
        {"no inf", 400, "GET", "/cgi/version.pl?hs&prg=Tidewarden"},
        {"empty inf", 400, "GET", script},
        {"inf given twice", 400, "GET", script + goodInf + "&inf=" + goodInf},
        {"a second, different inf", 400, "GET", script + goodInf + "&inf=" + goodInf.substr(8)},
        {"truncated by one symbol", 400, "GET", script + goodInf.substr(0, goodInf.size() - 1)},
        {"truncated by one group", 400, "GET", script + goodInf.substr(0, goodInf.size() - 8)},
        {"characters outside the symbols", 400, "GET", script + "kx72q4s8" + goodInf.substr(8)},
        {"I and 1 are no symbols", 400, "GET", script + "IIIIIIII" + goodInf.substr(8)},
        {"percent-encoded bytes", 400, "GET", script + "%00%FF%7C" + goodInf},
        {"100 KiB of symbols", 431, "GET", script + std::string(100 * 1024, 'Q')},
        {"2 KiB of symbols", 414, "GET", script + std::string(2048, 'W')},
        {"a record of zero bytes", 400, "GET", script + std::string(80, 'Q')},
        {"missing field", 400, "GET", withToken("name=Nemo|score=120|key=T|p=" + FreshToken() + "|z=")},
        {"extra field", 400, "GET", withToken("name=Nemo|score=120|key=T|p=" + FreshToken() + "|add=nz|x=1|z=")},
        {"reordered fields", 400, "GET", withToken("score=120|name=Nemo|key=T|p=" + FreshToken() + "|add=nz|z=")},
        {"duplicated field", 400, "GET", withToken("name=Nemo|name=Eve|key=T|p=" + FreshToken() + "|add=nz|z=")},
        {"unknown type", 400, "GET",
         Submission(Padded("type=1|name=Nemo|score=1|key=T|p=" + FreshToken() + "|add=|z="))},
        {"key in lower case", 400, "GET", withToken("name=Nemo|score=120|key=t|p=" + FreshToken() + "|add=nz|z=")},
        {"key of two letters", 400, "GET", withToken("name=Nemo|score=120|key=TT|p=" + FreshToken() + "|add=nz|z=")},
        {"markup in the name", 400, "GET", withToken("name=<b>x</b>|score=1|key=T|p=" + FreshToken() + "|add=nz|z=")},
        {"quotes in the country", 400, "GET", withToken("name=Nemo|score=1|key=T|p=" + FreshToken() + "|add=\"'|z=")},
        {"name of eleven characters", 400, "GET",
         withToken("name=ABCDEFGHIJK|score=1|key=T|p=" + FreshToken() + "|add=|z=")},
        {"score 65536", 400, "GET", withToken("name=Nemo|score=65536|key=T|p=" + FreshToken() + "|add=nz|z=")},
        {"negative score", 400, "GET", withToken("name=Nemo|score=-1|key=T|p=" + FreshToken() + "|add=nz|z=")},
        {"score not a number", 400, "GET", withToken("name=Nemo|score=12a|key=T|p=" + FreshToken() + "|add=nz|z=")},
        {"score with a leading zero", 400, "GET",
         withToken("name=Nemo|score=0120|key=T|p=" + FreshToken() + "|add=nz|z=")},
        {"empty score", 400, "GET", withToken("name=Nemo|score=|key=T|p=" + FreshToken() + "|add=nz|z=")},
        {"padding of other characters", 400, "GET",
         Submission("type=0|name=Nemo|score=12|key=T|p=" + FreshToken() + "|add=nz|z=xy")},
        {"five padding zeros", 400, "GET",
         Submission(Padded("type=0|name=Nemo|score=12|key=T|p=" + FreshToken() + "|add=nz|z=") + "00000")},
        {"unknown token", 403, "GET",
         withToken("name=Nemo|score=120|key=T|p=0123456789abcdef0123456789abcdef|add=nz|z=")},
        {"empty token", 400, "GET", withToken("name=Nemo|score=120|key=T|p=|add=nz|z=")},
        {"other program on submission", 400, "GET", "/cgi/version.pl?hs&prg=Other&inf=" + goodInf},
        {"program name in lower case", 400, "GET", "/cgi/version.pl?hs&prg=tidewarden&inf=" + goodInf},
        {"no program", 400, "GET", "/cgi/version.pl?hs&inf=" + goodInf},
        {"two requests at once", 400, "GET", "/cgi/version.pl?hs&version&prg=Tidewarden&inf=" + goodInf},
        {"other path", 404, "GET", "/cgi/other.pl?hs&prg=Tidewarden&inf=" + goodInf},
        {"POST", 413, "POST", "/cgi/version.pl?hs&prg=Tidewarden&inf=" + goodInf},
        {"DELETE", 405, "DELETE", "/cgi/version.pl?hs&prg=Tidewarden&inf=" + goodInf},
        {"HEAD", 405, "HEAD", "/cgi/version.pl?hs&prg=Tidewarden&inf=" + goodInf},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto answer = Request(c.method, c.target);
        EXPECT_EQ(answer.status, c.status);
        EXPECT_EQ(answer.body.substr(0, c.method == "HEAD" ? 0 : 6), c.method == "HEAD" ? "" : "ERROR ");
        EXPECT_EQ(store().ResultCount(), 0);
    }
    // The token of the good record was never spent by the refusals above.
    EXPECT_EQ(Get(script + goodInf).body, "OK\n");
    EXPECT_EQ(store().ResultCount(), 1);
}

TEST_P(BothStores, TokensAreSpentOnceAndExpire) {
    const std::string record = Padded("type=0|name=Nemo|score=120|key=T|p=" + FreshToken() + "|add=nz|z=");
    EXPECT_EQ(Get(Submission(record)).body, "OK\n");
    const auto again = Get(Submission(record));
    EXPECT_EQ(again.status, 403);
    EXPECT_EQ(again.body, "ERROR token already used\n");

    const std::string late = Padded("type=0|name=Eve|score=1|key=T|p=" + FreshToken() + "|add=|z=");
    clock_ += 10 * 60;
    EXPECT_EQ(Get(Submission(late)).body, "ERROR expired token\n");
    EXPECT_EQ(store().ResultCount(), 1);
}

TEST_P(BothStores, OtherRequestsOfTheScriptAreRefused) {
    for (const char* target :
         {"/cgi/version.pl?version&prg=Other", "/cgi/version.pl?version", "/cgi/version.pl?version=1&prg=Tidewarden",
          "/cgi/version.pl?version&prg=Tidewarden&x=1", "/cgi/version.pl?prg=Tidewarden&show&type=1",
          "/cgi/version.pl?prg=Tidewarden&show", "/cgi/version.pl?prg=Tidewarden&show&type=0&format=xml",
          "/cgi/version.pl?prg=Tidewarden", "/cgi/version.pl", "/", "/cgi/version.pl/x?version&prg=Tidewarden"}) {
        SCOPED_TRACE(target);
        const auto answer = Get(target);
        EXPECT_GE(answer.status, 400);
        EXPECT_EQ(answer.body.substr(0, 6), "ERROR ");
    }
    EXPECT_GE(Request("POST", "/cgi/version.pl?version&prg=Tidewarden").status, 400);
}

TEST_P(BothStores, ThePageEscapesStoredTextAndShowsTheBestHundred) {
    // Texts that no submission lets through, as a damaged or shared file might still hold.
    ASSERT_EQ(
        store().StoreResult(store().IssueToken(Start, Start + 60), {"<b>\"O'N\"&", "\\\"x", 500, Start, {}}, Start),
        Refusal::None);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(store().StoreResult(store().IssueToken(Start, Start + 60),
                                      {"P" + std::to_string(i), "", static_cast<std::uint16_t>(i % 50), Start + i, {}},
                                      Start),
                  Refusal::None);
    const std::string page = Get("/cgi/version.pl?prg=Tidewarden&show&type=0").body;
    EXPECT_NE(page.find("<td>&lt;b&gt;&quot;O&#39;N&quot;&amp;</td><td>\\&quot;x</td>"), std::string::npos);
    EXPECT_EQ(page.find("<b>"), std::string::npos);
    std::size_t rows = 0;
    for (std::size_t at = page.find("<tr>"); at != std::string::npos; at = page.find("<tr>", at + 1)) ++rows;
    EXPECT_EQ(rows, 101U); // the heading and the best hundred

    const std::string json = Get("/cgi/version.pl?prg=Tidewarden&show&type=0&format=json").body;
    EXPECT_NE(json.find(R"("name":"<b>\"O'N\"&","country":"\\\"x","score":500)"), std::string::npos);
    // Equal scores keep the order they were stored in: P49 before P99.
    EXPECT_LT(json.find("\"P49\""), json.find("\"P99\""));
    // P0 and P50 share the lowest score; the later one is the one below place 100.
    EXPECT_NE(json.find("\"P0\""), std::string::npos);
    EXPECT_EQ(json.find("\"P50\""), std::string::npos);
}

TEST_P(BothStores, SixteenClientsAtOnceStoreEveryResultOnce) {
    constexpr int Clients = 16;
    constexpr int Each = 10;
    std::atomic<int> sent{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < Clients; ++c)
        clients.emplace_back([&, c] {
            for (int i = 0; i < Each; ++i)
                if (Send("C" + std::to_string(c) + "x" + std::to_string(i), static_cast<std::uint16_t>(c * 100 + i),
                         "zz"))
                    ++sent;
        });
    for (auto& client : clients) client.join();
    EXPECT_EQ(sent.load(), Clients * Each);
    const auto best = store().Best(1000);
    ASSERT_EQ(best.size(), static_cast<std::size_t>(Clients * Each));
    std::set<std::string> names;
    for (const auto& result : best) {
        EXPECT_TRUE(names.insert(result.name).second) << result.name;
        EXPECT_EQ(result.name, "C" + std::to_string(result.score / 100) + "x" + std::to_string(result.score % 100));
    }
}

INSTANTIATE_TEST_SUITE_P(Stores, BothStores, ::testing::Values(test::StoreKind::Sqlite, test::StoreKind::Postgres),
                         test::StoreName);

} // namespace
} // namespace tw::scores
