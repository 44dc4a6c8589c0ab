// SPDX-License-Identifier: MIT
// The service's HTTP side, on Boost.Beast: connections bounded in time (a deadline for a whole
// request head, and for the body of the one request that has one, short keep-alive), in size (head
// bytes, header lines, the address, the body) and in number (per client address and in all), each
// request handed to the ScoresService and logged.
#pragma once

#include "ClientAddress.h"
#include "ScoresService.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tw::scores {

struct ServerSettings {
    std::string address = "127.0.0.1";
    int port = 8421; // 0 picks a free one
    int threads = 4;
    // A connection's request head must be in within this from its start; a kept-alive connection
    // waits this long for the whole of its next one.
    std::chrono::milliseconds headDeadline{5000};
    std::chrono::milliseconds keepAliveIdle{2000};
    std::chrono::milliseconds writeDeadline{10000};
    // A request that may have a body (a replay) must have sent all of it within this of its head.
    std::chrono::milliseconds bodyDeadline{10000};
    // Bodies read at once, in all: with the body's own cap, what uploads can cost in memory.
    int bodiesAtOnce = 8;
    std::uint32_t headBytes = 8192;
    std::size_t headLines = 50;
    std::size_t targetBytes = 2048;
    // Connections open at once from one client address (trusted proxies are not counted so), and
    // in all.
    int connectionsPerAddress = 32;
    int maxConnections = 4096;
    int requestsPerConnection = 100;
    std::vector<Network> trustedProxies;
    // One line per request and per connection closed by a limit; empty: no log.
    std::function<void(const std::string&)> log;
};

class ServerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class HttpServer {
public:
    explicit HttpServer(ServerSettings settings);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Takes the address and port without listening yet, so a port in use is found before
    // anything else is done; the ServerError says why.
    void Bind();
    int Port() const;
    std::string Base() const; // "http://ADDRESS:PORT"
    // Listens and hands every request to the service, on the settings' threads; returns at once.
    void Start(ScoresService& service);
    // Stops listening, closes every connection whatever its client does, and waits for the
    // threads: within about a second.
    void Stop();

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tw::scores
