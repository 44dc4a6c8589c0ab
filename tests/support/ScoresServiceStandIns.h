// Stand-ins for the world high-score service on loopback: a scripted one that answers the version
// check and the submission as a test says and keeps every request, and raw sockets that refuse
// connections or accept them and never answer.
#pragma once

#include "support/LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <mutex>
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
    LoopbackServer loopback_;
    std::mutex mutex_;
    std::vector<httplib::Request> requests_;
};

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
    ~RawSocket() {
        if (fd_ >= 0) ::close(fd_);
    }
    RawSocket(const RawSocket&) = delete;
    RawSocket& operator=(const RawSocket&) = delete;
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
    int fd_ = -1;
    int port_ = 0;
};

} // namespace tw::test
