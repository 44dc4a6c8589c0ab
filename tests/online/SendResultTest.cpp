// SPDX-License-Identifier: MIT
// Sending a result over the real HTTP client to servers on loopback: one that plays the service,
// and the dead or lying ones a player may meet.
#include "online/ResultEncoding.h"
#include "online/ResultSubmission.h"
#include "online/SendResult.h"
#include "platform/HttpClient.h"
#include "support/ScoresServiceStandIns.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

namespace tw::online {
namespace {

using test::Answer;
using test::RawSocket;
using test::Responder;
using test::ScriptedService;

// The worked example: this result with the token "tok42" encodes as this inf.
constexpr const char* NemoInf = "KX72Q4S8UW9U73FHGB9B74FHH89PU36LKSCV5GSCUW9UM4F4PNDP37W8KX2MMHWCLXZMA4W8H48P39X8";

bool Send(const std::string& base, platform::HttpLimits limits = {}) {
    return SendResult(base, "Nemo", 120, "nz", limits);
}

TEST(SendResultTest, SendsTheEncodedRecordWithTheTokenHeadersAndCookies) {
    ScriptedService service(
        [](const httplib::Request&, httplib::Response& response) {
            response.set_header("Set-Cookie", "session=abc; Path=/");
            response.set_content("OK|Tidewarden|1|0|tok42|more", "text/plain");
        },
        Answer("OK thanks"));
    ASSERT_TRUE(Send(service.base()));

    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 2U);
    EXPECT_EQ(requests[0].target, "/cgi/version.pl?version&prg=Tidewarden");
    EXPECT_EQ(requests[1].target, std::string("/cgi/version.pl?hs&prg=Tidewarden&inf=") + NemoInf);
    EXPECT_EQ(requests[1].get_header_value("Cookie"), "session=abc");
    for (const auto& request : requests) {
        EXPECT_EQ(request.get_header_value("Accept"), "text/html, */*");
        EXPECT_EQ(request.get_header_value("Content-Type"), "text/html");
        EXPECT_EQ(request.get_header_value("User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
    }
}

TEST(SendResultTest, AReplayFollowsAStoredResultAndWhatBecomesOfItLeavesTheResultSent) {
    const std::string replay("TWRP\0\x01binary", 12);
    for (const int status : {202, 500}) {
        SCOPED_TRACE(status);
        ScriptedService service(Answer("OK|Tidewarden|1|0|a b&c|"), Answer("OK"), Answer("OK replay received", status));
        EXPECT_TRUE(SendResult(service.base(), "Nemo", 120, "nz", {}, replay));
        const auto requests = service.requests();
        ASSERT_EQ(requests.size(), 3U);
        EXPECT_EQ(requests[2].method, "POST");
        EXPECT_EQ(requests[2].target, "/cgi/replay.pl?token=a%20b%26c");
        EXPECT_EQ(requests[2].body, replay);
        EXPECT_EQ(requests[2].get_header_value("Content-Type"), "application/octet-stream");
        EXPECT_FALSE(requests[2].has_header("Expect")) << "sent at once, not after asking";
    }
    // A refused result sends no replay; a service that takes none answers 404, and the result
    // still counts as sent.
    ScriptedService refusing(Answer("OK|Tidewarden|1|0|tok42|"), Answer("ERROR unknown token"), Answer("OK"));
    EXPECT_FALSE(SendResult(refusing.base(), "Nemo", 120, "nz", {}, replay));
    EXPECT_EQ(refusing.requests().size(), 2U);
    ScriptedService old(Answer("OK|Tidewarden|1|0|tok42|"), Answer("OK"));
    EXPECT_TRUE(SendResult(old.base(), "Nemo", 120, "nz", {}, replay));
}

TEST(SendResultTest, AVersionAnswerWithoutTokenStillSubmits) {
    for (const char* answer : {"OK", "OK|a|b|c|d"}) {
        SCOPED_TRACE(answer);
        ScriptedService service(Answer(answer), Answer("OK"));
        EXPECT_TRUE(Send(service.base()));
        const auto requests = service.requests();
        ASSERT_EQ(requests.size(), 2U);
        EXPECT_EQ(requests[1].get_param_value("inf"), EncodeRecord(ResultRecord("Nemo", 120, "", "nz")));
    }
}

TEST(SendResultTest, DeadOrLyingServersFail) {
    const std::string version = "OK|Tidewarden|1|0|tok42|";
    const std::string huge = version + std::string(64 * 1024, 'x');
    const struct {
        const char* what;
        Responder version;
        Responder submission;
        bool submits;
    } cases[] = {
        {"version answer in lower case", Answer("ok|Tidewarden|1|0|tok42|"), Answer("OK"), false},
        {"garbage version answer", Answer(std::string("\0\xff<html>", 8)), Answer("OK"), false},
        {"empty version answer", Answer(""), Answer("OK"), false},
        {"error status on the version check", Answer(version, 500), Answer("OK"), false},
        {"redirect instead of a version answer", Answer(version, 302), Answer("OK"), false},
        {"version answer beyond 64 KiB", Answer(huge), Answer("OK"), false},
        {"token beyond 254 characters", Answer("OK|a|b|c|" + std::string(255, 't') + "|"), Answer("OK"), false},
        {"submission answered in lower case", Answer(version), Answer("ok"), true},
        {"submission answered with garbage", Answer(version), Answer("Error: bad record"), true},
        {"error status on the submission", Answer(version), Answer("OK", 503), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedService service(c.version, c.submission);
        EXPECT_FALSE(Send(service.base()));
        EXPECT_EQ(service.submitted(), c.submits);
    }
}

TEST(SendResultTest, ARefusedConnectionFails) {
    const RawSocket closed(false);
    EXPECT_FALSE(Send(closed.base()));
}

TEST(SendResultTest, AServerThatNeverAnswersFailsWithinTheBound) {
    const RawSocket silent(true);
    platform::HttpLimits limits;
    limits.connectTimeout = std::chrono::milliseconds(1000);
    limits.totalTimeout = std::chrono::milliseconds(300);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Send(silent.base(), limits));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST(SendResultTest, OneDeadlineBoundsTheWholeSending) {
    using namespace std::chrono_literals;
    platform::HttpLimits limits;
    limits.connectTimeout = 1000ms;
    limits.totalTimeout = 1500ms;
    // The version answer comes well within the bound; the submission then hangs until let go.
    const auto released = std::make_shared<std::atomic<bool>>(false);
    ScriptedService service(
        [](const httplib::Request&, httplib::Response& response) {
            std::this_thread::sleep_for(1000ms);
            response.set_content("OK|Tidewarden|1|0|tok42|", "text/html");
        },
        [released](const httplib::Request&, httplib::Response&) {
            for (int i = 0; i < 500 && !*released; ++i) std::this_thread::sleep_for(10ms);
        });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Send(service.base(), limits));
    const auto took = std::chrono::steady_clock::now() - start;
    *released = true;
    EXPECT_TRUE(service.submitted());
    EXPECT_GE(took, limits.totalTimeout - 100ms) << "the submission had what the version check left";
    // A bound per exchange would have given the submission 1500 ms of its own: 2500 ms in all.
    EXPECT_LT(took, 2200ms);
}

TEST(SendResultTest, ARequestAfterTheDeadlineIsNeverMade) {
    using namespace std::chrono_literals;
    ScriptedService service(Answer("OK|Tidewarden|1|0|tok42|"), Answer("OK"));
    platform::HttpLimits limits;
    limits.totalTimeout = 500ms;
    platform::CurlHttpClient http(limits);
    EXPECT_EQ(http.Get(VersionCheckUrl(service.base())), "OK|Tidewarden|1|0|tok42|");
    std::this_thread::sleep_for(600ms);
    EXPECT_THROW(http.Get(SubmissionUrl(service.base(), "X")), platform::HttpError);
    EXPECT_FALSE(service.submitted());
}

// The outcome of a send on the worker, waited for in real time.
std::optional<bool> OutcomeWithin(ResultSubmission& submission, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (auto outcome = submission.TakeOutcome()) return outcome;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return std::nullopt;
}

TEST(ResultSubmissionTest, TheWorkerReportsEachSendOnce) {
    ScriptedService service(Answer("OK|Tidewarden|1|0|tok42|"), Answer("OK"));
    ResultSubmission submission(service.base());
    EXPECT_FALSE(submission.TakeOutcome()) << "nothing was started";
    for (const bool reachable : {true, false, true}) {
        SCOPED_TRACE(reachable ? "service" : "no service");
        const RawSocket closed(false);
        submission.BaseUrl = reachable ? service.base() : closed.base();
        submission.Start("Nemo", 120, "nz");
        EXPECT_TRUE(submission.Pending());
        EXPECT_EQ(OutcomeWithin(submission, std::chrono::seconds(5)), std::optional<bool>(reachable));
        EXPECT_FALSE(submission.Pending());
        EXPECT_FALSE(submission.TakeOutcome()) << "an outcome is taken once";
    }
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 4U);
    EXPECT_EQ(requests[3].get_param_value("inf"), NemoInf);
}

TEST(ResultSubmissionTest, CancellingASendToASilentServerEndsItAtOnce) {
    const RawSocket silent(true);
    // The waits a player has: only the cancel can end this send soon.
    std::optional<ResultSubmission> submission(std::in_place, silent.base());
    submission->Start("Nemo", 120, "nz");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto start = std::chrono::steady_clock::now();
    submission->Cancel();
    EXPECT_FALSE(submission->Pending());
    EXPECT_FALSE(submission->TakeOutcome()) << "a cancelled send reports nothing";
    // Destroying a sender in the middle of a send is the same cancel.
    submission->Start("Nemo", 120, "nz");
    submission.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
}

} // namespace
} // namespace tw::online
