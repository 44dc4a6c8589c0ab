// SPDX-License-Identifier: MIT
// Stand-ins for the world high-score service on loopback: a scripted one that answers the version
// check and the submission as a test says and keeps every request, and (RawSocket.h) raw sockets
// that refuse connections or accept them and never answer.
#pragma once

#include "support/LoopbackServer.h"
#include "support/RawSocket.h"

#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tw::test {

using Responder = std::function<void(const httplib::Request&, httplib::Response&)>;

inline Responder Answer(std::string body, int status = 200) {
    return [body = std::move(body), status](const httplib::Request&, httplib::Response& response) {
        response.status = status;
        response.set_content(body, "text/html");
    };
}

// Answers the version check and the submission with the responders given, and keeps every request.
class ScriptedService {
public:
    // replay, when given, answers the game's replay posted after a result; without it that post
    // gets 404, as from a service that takes none.
    ScriptedService(Responder version, Responder submission, std::optional<Responder> replay = std::nullopt) {
        if (replay)
            loopback_.server().Post("/cgi/replay.pl",
                                    [this, replay](const httplib::Request& request, httplib::Response& response) {
                                        {
                                            const std::lock_guard lock(mutex_);
                                            requests_.push_back(request);
                                        }
                                        (*replay)(request, response);
                                    });
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
    LoopbackServer loopback_;
    std::mutex mutex_;
    std::vector<httplib::Request> requests_;
};

} // namespace tw::test
