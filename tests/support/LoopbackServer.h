// SPDX-License-Identifier: MIT
// An HTTP server on 127.0.0.1 for one test, answering from its own thread until the test ends.
#pragma once

#include <httplib.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

namespace tw::test {

class LoopbackServer {
public:
    // Set up routes on server() first, then call Start().
    LoopbackServer() : server_(std::make_unique<httplib::Server>()) {}
    ~LoopbackServer() { Stop(); }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    httplib::Server& server() { return *server_; }

    void Start() {
        port_ = server_->bind_to_any_port("127.0.0.1");
        if (port_ < 0) throw std::runtime_error("no free loopback port");
        // The socket listens from here on, so requests wait in the backlog until the loop runs.
        thread_ = std::thread([this] { server_->listen_after_bind(); });
    }

    void Stop() {
        if (!thread_.joinable()) return;
        // stop() only reaches a server whose loop has started.
        while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        server_->stop();
        thread_.join();
    }

    int port() const { return port_; }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = -1;
};

} // namespace tw::test
