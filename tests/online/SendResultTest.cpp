// Sending a result over the real HTTP client to servers on loopback: one that plays the service,
// and the dead or lying ones a player may meet.
#include "online/ResultEncoding.h"
#include "online/SendResult.h"
#include "platform/HttpClient.h"
#include "support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <mutex>
#include <vector>

namespace tw::online {
namespace {

using Responder = std::function<void(const httplib::Request&, httplib::Response&)>;

// The worked example: this result with the token "tok42" encodes as this inf.
constexpr const char* NemoInf = "KX72Q4S8UW9U73FHGB9B74FHH89PU36LKSCV5GSCUW9UM4F4PNDP37W8KX2MMHWCLXZMA4W8H48P39X8";

Responder Answer(std::string body, int status = 200) {
    return [body = std::move(body), status](const httplib::Request&, httplib::Response& response) {
        response.status = status;
        response.set_content(body, "text/html");
    };
}

// Answers the version check and the submission with the responders given, and keeps every request.
class ScriptedService {
public:
    ScriptedService(Responder version, Responder submission) {
        loopback_.server().Get("/cgi/version.pl", [this, version, submission](const httplib::Request& request,
                                                                              httplib::Response& response) {
            {
                const std::lock_guard lock(mutex_);
                requests_.push_back(request);
            }
            (request.has_param("hs") ? submission : version)(request, response);
        });
        loopback_.Start();
    }
    std::string base() const { return loopback_.base(); }
    std::vector<httplib::Request> requests() {
        const std::lock_guard lock(mutex_);
        return requests_;
    }
    bool submitted() {
        for (const auto& request : requests())
            if (request.has_param("hs")) return true;
        return false;
    }

private:
    test::LoopbackServer loopback_;
    std::mutex mutex_;
    std::vector<httplib::Request> requests_;
};

bool Send(const std::string& base, platform::HttpLimits limits = {}) {
    return SendResult(base, "Nemo", 120, "nz", limits);
}

// A loopback socket in the state a test needs: bound only (connections are refused), or
// listening without ever accepting (connections hang).
class RawSocket {
public:
    explicit RawSocket(bool listening) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
            (listening && ::listen(fd_, 4) != 0))
            throw std::runtime_error("loopback socket");
        port_ = ntohs(address.sin_port);
    }
    ~RawSocket() { ::close(fd_); }
    RawSocket(const RawSocket&) = delete;
    RawSocket& operator=(const RawSocket&) = delete;
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
    int fd_ = -1;
    int port_ = 0;
};

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
    limits.exchangeTimeout = std::chrono::milliseconds(300);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Send(silent.base(), limits));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

} // namespace
} // namespace tw::online
