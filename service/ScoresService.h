// The answers of the one script "/cgi/version.pl": the version check with its token, the
// submission of a result, and the world table as a page or as JSON. Everything else is refused.
#pragma once

#include "ScoreStore.h"

#include <cstdint>
#include <functional>
#include <string>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace tw::scores {

struct ServiceSettings {
    std::int64_t tokenMinutes = 10;
    int tablePlaces = 100;
    // Seconds since 1970; tests move it to let tokens expire.
    std::function<std::int64_t()> now;
    // One line per request; empty: no log.
    std::function<void(const std::string&)> log;
};

class ScoresService {
public:
    ScoresService(ScoreStore& store, ServiceSettings settings);

    // Routes every method and path of server to this service, with its limits and its log.
    void Install(httplib::Server& server);

    void Handle(const httplib::Request& request, httplib::Response& response);

private:
    void Version(httplib::Response& response);
    void Submit(const httplib::Request& request, httplib::Response& response);
    void Show(const httplib::Request& request, httplib::Response& response);

    ScoreStore& store_;
    ServiceSettings settings_;
};

// The page of the best results, every stored text escaped.
std::string TablePage(const std::vector<StoredResult>& best);
std::string TableJson(const std::vector<StoredResult>& best);

} // namespace tw::scores
