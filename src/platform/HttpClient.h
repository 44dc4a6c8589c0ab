// SPDX-License-Identifier: MIT
// HTTP GET (and one POST, of a replay) of an absolute address over libcurl, with bounded waits: the
// game's only network use.
// One client is one session: cookies set by an answer go with the following requests, and one
// deadline bounds all its requests together.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>

namespace tw::platform {

// Any failed exchange: no connection, a time-out, an error status, an answer too large.
class HttpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct HttpLimits {
    std::chrono::milliseconds connectTimeout{5000}; // each connection
    // Every request of one client together, connections included, counted from its first request:
    // a client is one sending, and a slow first answer leaves that much less to the next ones.
    std::chrono::milliseconds totalTimeout{10000};
    std::size_t maxBodySize = 64 * 1024;
};

class HttpClient {
public:
    virtual ~HttpClient() = default;
    // The body of a 2xx answer; throws HttpError for everything else. Redirects are not followed.
    virtual std::string Get(const std::string& url) = 0;
    // The same for a POST of these bytes, sent as application/octet-stream.
    virtual std::string Post(const std::string& url, const std::string& bytes) = 0;
};

class CurlHttpClient final : public HttpClient {
public:
    // cancelled, when given, may be set from any thread: the exchange under way then ends at its next
    // progress report (within about a second) and every later one fails at once. It must outlive
    // the client.
    explicit CurlHttpClient(HttpLimits limits = {}, const std::atomic<bool>* cancelled = nullptr);
    ~CurlHttpClient() override;
    CurlHttpClient(const CurlHttpClient&) = delete;
    CurlHttpClient& operator=(const CurlHttpClient&) = delete;

    std::string Get(const std::string& url) override;
    std::string Post(const std::string& url, const std::string& bytes) override;

private:
    std::string Perform(const std::string& url);

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tw::platform
