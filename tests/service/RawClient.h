// SPDX-License-Identifier: MIT
// A loopback TCP client that sends exactly the bytes a test gives, for requests no HTTP library
// would send: trickled heads, floods of header lines, bodies the service never reads.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tw::scores::test {

class RawClient {
public:
    // from: a loopback source address such as "127.0.0.2", so one machine can be many clients.
    explicit RawClient(int port, const char* from = nullptr) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd_ < 0) throw std::runtime_error("socket");
        if (from) {
            sockaddr_in source{};
            source.sin_family = AF_INET;
            ::inet_pton(AF_INET, from, &source.sin_addr);
            if (::bind(fd_, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0)
                throw std::runtime_error("bind to a source address");
        }
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("connect");
    }
    ~RawClient() { ::close(fd_); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    // False once the service has closed or reset the connection.
    bool Send(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }

    // What arrives until the service closes the connection, or until wait has passed.
    std::string Read(std::chrono::milliseconds wait = std::chrono::seconds(5)) {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + wait;
        closed_ = false;
        while (true) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            pollfd ready{fd_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) return got;
            char buffer[65536];
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) {
                closed_ = true;
                return got;
            }
            got.append(buffer, static_cast<std::size_t>(n));
        }
    }
    // Whether the last Read ended because the service closed the connection.
    bool Closed() const { return closed_; }

private:
    int fd_ = -1;
    bool closed_ = false;
};

inline int StatusOf(const std::string& response) {
    if (response.rfind("HTTP/1.", 0) != 0 || response.size() < 12) return 0;
    return std::stoi(response.substr(9, 3));
}

// The value of a header of the answer (names compared as given), or nothing.
inline std::string HeaderOf(const std::string& response, const std::string& name) {
    const std::size_t end = response.find("\r\n\r\n");
    const std::string key = "\r\n" + name + ": ";
    const std::size_t at = response.find(key);
    if (at == std::string::npos || at > end) return {};
    const std::size_t from = at + key.size();
    return response.substr(from, response.find("\r\n", from) - from);
}

inline std::string BodyOf(const std::string& response) {
    const std::size_t end = response.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : response.substr(end + 4);
}

} // namespace tw::scores::test
