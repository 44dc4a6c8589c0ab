// SPDX-License-Identifier: MIT
// The answers of the service: the one script "/cgi/version.pl" (the version check with its token,
// the submission of a result, the world table as a page or as JSON), "/cgi/replay.pl" (a result's
// replay received for its check, a verified one handed out) and "/health", with the limits per
// client. Everything else is refused. It knows nothing of HTTP connections (HttpServer.h).
#pragma once

#include "RateLimiter.h"
#include "ScoreStore.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tw::scores {

struct ServiceSettings {
    std::int64_t tokenMinutes = 10;
    int tablePlaces = 100;
    // Client addresses of stored results are forgotten after this many days; 0 stores none.
    int keepAddressDays = 7;
    // Requests a minute per client address, each kind its own bucket; 0 is no limit.
    Rate versions{10};
    Rate submissions{10};
    Rate pages{120};
    Rate replays{10};
    // Replays: whether they are checked here at all (a program to check them with; without one
    // they are refused), the most bytes one may have, how many may wait for their check, and
    // whether the page and the JSON list only entries whose replay was verified.
    bool checkReplays = false;
    std::size_t replayBytes = std::size_t{4} << 20;
    std::int64_t replayQueue = 100;
    bool requireVerified = false;
    // Told when a replay was received, so a checker looks at once; empty: nobody is told.
    std::function<void()> replayReceived;
    // Seconds since 1970, for tokens and dates; tests move it to let tokens expire.
    std::function<std::int64_t()> now;
    // Milliseconds of a steady clock, for the limits; tests move it by hand too.
    std::function<std::int64_t()> steadyMs;
    // Errors of the store; empty: not logged.
    std::function<void(const std::string&)> log;
};

struct Query; // a request's parameters, as the script reads them

struct Request {
    std::string method;
    std::string target; // path and query, as sent
    std::string client; // the address the limits count by and the log shows
    std::string body;   // only a replay's upload has one
};

struct Answer {
    int status = 200;
    std::string body;
    std::string contentType = "text/plain; charset=utf-8";
    // Seconds a cache may keep the answer; 0: not to be stored at all.
    int cacheSeconds = 0;
    // Seconds after which a limited client may try again; 0: not limited.
    int retryAfter = 0;
    // A file to be saved rather than shown, by this name; empty: none.
    std::string fileName;
};

class ScoresService {
public:
    ScoresService(ScoreStore& store, ServiceSettings settings);

    Answer Handle(const Request& request);
    // The most bytes of body the request may have; 0: it may have none. Asked before the body is
    // read, so a larger one never is.
    std::size_t BodyLimit(std::string_view method, std::string_view target) const;

private:
    Answer Script(const Request& request);
    Answer Version(const Request& request);
    Answer Submit(const Request& request, const std::string& inf);
    Answer Show(const std::string& type, const std::string* format, const std::string* period);
    Answer ReplayScript(const Request& request, const Query& query);
    void ForgetOldAddresses(std::int64_t now);

    ScoreStore& store_;
    ServiceSettings settings_;
    RateLimiter limiter_;
    std::atomic<std::int64_t> lastForget_{0};
};

// The page of the best results, every stored text escaped; with `replays`, a column that marks the
// verified entries and links their replays.
std::string TablePage(const std::vector<StoredResult>& best, bool replays = false);
std::string TableJson(const std::vector<StoredResult>& best, bool replays = false);

} // namespace tw::scores
