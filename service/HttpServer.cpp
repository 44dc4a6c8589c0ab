// SPDX-License-Identifier: MIT
// Beast's basic_stream gives each read and write a deadline for the whole operation, and its
// parser a limit on the head's bytes; the counts per address and the log are this file's.
#include "HttpServer.h"

// Asio's scheduler, inlined by an optimised build, trips GCC's null-dereference guess.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnull-dereference"
#include <boost/asio/dispatch.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#pragma GCC diagnostic pop

#include <array>
#include <atomic>
#include <condition_variable>
#include <ctime>
#include <iterator>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

namespace tw::scores {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

using Clock = std::chrono::steady_clock;

// Bytes a refused request may still send while the refusal is read, and for how long: the client
// sees the answer instead of a reset, and a hostile one costs no more than this.
constexpr std::size_t LingerBytes = 1 << 20;
constexpr std::chrono::milliseconds LingerTime{1000};

std::string HttpDate() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[40];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return text;
}

// The log shows what came in, never raw bytes a client chose.
std::string Printable(std::string_view text, std::size_t limit) {
    std::string out;
    for (char c : text.substr(0, limit)) out += (c >= 0x20 && c < 0x7F) ? c : '?';
    if (text.size() > limit) out += "...(" + std::to_string(text.size()) + " bytes)";
    return out;
}

std::string AddressText(const net::ip::address& address) {
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        return net::ip::make_address_v4(net::ip::v4_mapped, address.to_v6()).to_string();
    return address.to_string();
}

} // namespace

class HttpServer::Impl {
public:
    explicit Impl(ServerSettings settings)
        : settings_(std::move(settings)), acceptor_(net::make_strand(io_)), retryTimer_(acceptor_.get_executor()) {}

    class Connection;

    void Bind();
    void Start(ScoresService& service);
    void Stop();
    int Port() const { return port_; }
    std::string Base() const {
        return std::string("http://") + (settings_.address.find(':') != std::string::npos ? "[" : "") +
               settings_.address + (settings_.address.find(':') != std::string::npos ? "]" : "") + ":" +
               std::to_string(port_);
    }

    void Log(const std::string& line) {
        if (settings_.log) settings_.log(line);
    }
    // Lines for connections closed by a limit, at most a few a second: a flood of them must not
    // become a flood of the log.
    void LimitLog(const std::string& line);
    void Release(const std::string& key, bool counted, Connection* connection);
    bool TakeBodySlot() {
        if (++bodies_ <= settings_.bodiesAtOnce) return true;
        --bodies_;
        return false;
    }
    void ReleaseBodySlot() { --bodies_; }

    ScoresService* service_ = nullptr;
    const ServerSettings settings_;

private:
    void Accept();
    void OnAccept(tcp::socket socket);

    // The counts outlive the loop: connections still held by its handlers release themselves
    // when the loop is destroyed.
    std::mutex mutex_;
    std::condition_variable closed_;
    bool stopping_ = false;
    int open_ = 0;
    std::unordered_map<std::string, int> perAddress_;
    std::unordered_map<Connection*, std::weak_ptr<Connection>> connections_;

    std::atomic<int> bodies_{0};
    std::mutex logMutex_;
    std::int64_t logSecond_ = 0;
    int logLines_ = 0;
    int logSuppressed_ = 0;

    net::io_context io_;
    tcp::acceptor acceptor_;
    net::steady_timer retryTimer_;
    std::vector<std::thread> threads_;
    int port_ = -1;
    bool started_ = false;
};

class HttpServer::Impl::Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(Impl& server, tcp::socket socket, std::string peer, std::string key, bool counted)
        : server_(server), settings_(server.settings_), stream_(std::move(socket)), peer_(std::move(peer)),
          key_(std::move(key)), counted_(counted), buffer_(settings_.headBytes + 4096) {}
    ~Connection() {
        ReleaseBody();
        server_.Release(key_, counted_, this);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void Start() {
        net::dispatch(stream_.get_executor(), beast::bind_front_handler(&Connection::ReadHead, shared_from_this()));
    }
    // From any thread: ends whatever the connection is waiting for.
    void Close() {
        net::post(stream_.get_executor(), [self = shared_from_this()] {
            self->closing_ = true;
            beast::error_code ignored;
            self->stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
            self->stream_.close();
        });
    }

private:
    void ReadHead() {
        parser_.emplace();
        parser_->header_limit(settings_.headBytes);
        // The body's limit is chosen once the head says what the request is (a limit of none
        // would refuse every body: Beast compares a length with it as with an empty optional).
        parser_->body_limit(std::numeric_limits<std::uint64_t>::max());
        stream_.expires_after(served_ == 0 ? settings_.headDeadline : settings_.keepAliveIdle);
        http::async_read_header(stream_, buffer_, *parser_,
                                beast::bind_front_handler(&Connection::OnHead, shared_from_this()));
    }

    void OnHead(beast::error_code error, std::size_t) {
        if (closing_) return;
        if (error == beast::error::timeout) {
            // A kept-alive connection that sends nothing more is the ordinary end of it.
            if (parser_->got_some() || buffer_.size() > 0)
                server_.LimitLog(peer_ + " closed: request head not complete within " +
                                 std::to_string(Deadline().count()) + " ms");
            else if (served_ == 0)
                server_.LimitLog(peer_ + " closed: no request within " + std::to_string(Deadline().count()) + " ms");
            return;
        }
        if (error == http::error::header_limit || error == http::error::buffer_overflow)
            return Refuse(431, "request head too large",
                          "closed: request head over " + std::to_string(settings_.headBytes) + " bytes");
        if (error == http::error::end_of_stream || error == net::error::eof || error == net::error::operation_aborted ||
            error == net::error::connection_reset)
            return;
        if (error) return Refuse(400, "malformed request", "closed: malformed request (" + error.message() + ")");

        const auto& request = parser_->get();
        const auto lines = static_cast<std::size_t>(std::distance(request.begin(), request.end()));
        if (lines > settings_.headLines)
            return Refuse(431, "too many header lines",
                          "closed: " + std::to_string(lines) + " header lines, over " +
                              std::to_string(settings_.headLines));
        if (request.target().size() > settings_.targetBytes)
            return Refuse(414, "address too long",
                          "closed: address of " + std::to_string(request.target().size()) + " bytes");
        const bool body = parser_->chunked() || parser_->content_length().value_or(0) > 0;
        if (body) {
            // Only the service's one request with a body has one, and only up to its size: a
            // larger one announced is never read.
            const std::size_t limit = server_.service_->BodyLimit(
                std::string_view(request.method_string().data(), request.method_string().size()),
                std::string_view(request.target().data(), request.target().size()));
            if (limit == 0) return Refuse(413, "no request body is accepted", "closed: request with a body");
            if (parser_->chunked())
                return Refuse(411, "a body is sent with its length", "closed: request body without a length");
            if (*parser_->content_length() > limit)
                return Refuse(413, "body larger than " + std::to_string(limit) + " bytes",
                              "closed: request body of " + std::to_string(*parser_->content_length()) + " bytes");
            if (!server_.TakeBodySlot())
                return Refuse(503, "too many uploads at once, try again later",
                              "closed: " + std::to_string(settings_.bodiesAtOnce) + " bodies being read already");
            holdsBody_ = true;
            parser_->body_limit(limit);
            stream_.expires_after(settings_.bodyDeadline);
            // A client waiting to be told to go on is told at once.
            if (beast::iequals(request[http::field::expect], "100-continue")) {
                continue_ = {};
                continue_.version(11);
                continue_.result(http::status::continue_);
                http::async_write(stream_, continue_,
                                  beast::bind_front_handler(&Connection::OnContinue, shared_from_this()));
                return;
            }
            return ReadBody();
        }
        Dispatch();
    }

    void OnContinue(beast::error_code error, std::size_t) {
        if (closing_ || error) return;
        ReadBody();
    }

    void ReleaseBody() {
        if (holdsBody_) server_.ReleaseBodySlot();
        holdsBody_ = false;
    }

    void ReadBody() {
        http::async_read(stream_, buffer_, *parser_,
                         beast::bind_front_handler(&Connection::OnBody, shared_from_this()));
    }

    void OnBody(beast::error_code error, std::size_t) {
        ReleaseBody();
        if (closing_) return;
        if (error == beast::error::timeout) {
            server_.LimitLog(peer_ + " closed: request body not complete within " +
                             std::to_string(settings_.bodyDeadline.count()) + " ms");
            return;
        }
        if (error == http::error::body_limit)
            return Refuse(413, "body too large", "closed: request body over its limit");
        if (error) return;
        Dispatch();
    }

    // The request is in whole: the service answers it.
    void Dispatch() {
        auto& request = parser_->get();
        started_ = Clock::now();
        std::vector<std::string> forwarded;
        const auto [first, last] = request.equal_range("X-Forwarded-For");
        for (auto field = first; field != last; ++field) forwarded.emplace_back(field->value());
        Request asked{std::string(request.method_string()), std::string(request.target()),
                      ClientOf(peer_, forwarded, settings_.trustedProxies), std::move(request.body())};
        client_ = asked.client;
        line_ = Printable(asked.method, 16) + " " + Printable(asked.target, 120);
        const Answer answer = server_.service_->Handle(asked);
        const bool keepAlive = request.keep_alive() && served_ + 1 < settings_.requestsPerConnection;
        Send(answer, request.version(), request.method() == http::verb::head, keepAlive);
    }

    std::chrono::milliseconds Deadline() const {
        return served_ == 0 ? settings_.headDeadline : settings_.keepAliveIdle;
    }

    void Send(const Answer& answer, unsigned version, bool head, bool keepAlive) {
        response_ = {};
        response_.version(version == 10 ? 10 : 11);
        response_.result(static_cast<unsigned>(answer.status));
        response_.set(http::field::date, HttpDate());
        response_.set(http::field::content_type, answer.contentType);
        response_.set(http::field::cache_control,
                      answer.cacheSeconds > 0 ? "public, max-age=" + std::to_string(answer.cacheSeconds) : "no-store");
        if (answer.retryAfter > 0) response_.set(http::field::retry_after, std::to_string(answer.retryAfter));
        response_.set("X-Content-Type-Options", "nosniff");
        if (!answer.fileName.empty())
            response_.set(http::field::content_disposition, "attachment; filename=\"" + answer.fileName + "\"");
        if (answer.contentType.rfind("text/html", 0) == 0)
            response_.set("Content-Security-Policy", "default-src 'none'; style-src 'unsafe-inline'");
        response_.body() = head ? std::string() : answer.body;
        response_.keep_alive(keepAlive);
        response_.prepare_payload();
        result_ = answer.fileName.empty() ? answer.body.substr(0, answer.body.find_first_of("|\n")) : answer.fileName;
        keepAlive_ = keepAlive;
        stream_.expires_after(settings_.writeDeadline);
        http::async_write(stream_, response_, beast::bind_front_handler(&Connection::OnWrite, shared_from_this()));
    }

    void OnWrite(beast::error_code error, std::size_t bytes) {
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - started_).count();
        char duration[32];
        std::snprintf(duration, sizeof duration, "%.1fms", ms);
        server_.Log(client_ + " " + line_ + " " + std::to_string(response_.result_int()) + " " + std::to_string(bytes) +
                    " " + duration + " " + Printable(result_, 40) + (error ? " (not delivered)" : ""));
        ++served_;
        if (error || closing_) return;
        if (lingering_) return Linger();
        if (keepAlive_) return ReadHead();
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    }

    // A request refused before it was read whole: the answer, then the connection closes.
    void Refuse(int status, const std::string& reason, const std::string& why) {
        server_.LimitLog(peer_ + " " + why);
        started_ = Clock::now();
        client_ = peer_;
        line_ = parser_->is_header_done() ? Printable(std::string(parser_->get().method_string()), 16) + " " +
                                                Printable(std::string(parser_->get().target()), 120)
                                          : "-";
        lingering_ = true;
        Answer answer;
        answer.status = status;
        answer.body = "ERROR " + reason + "\n";
        Send(answer, 11, false, false);
    }

    // Reads and drops what the client still sends, within bounds, so that closing does not reset
    // the connection before the client has read the answer.
    void Linger() {
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        stream_.expires_after(LingerTime);
        stream_.async_read_some(net::buffer(drain_),
                                [self = shared_from_this()](beast::error_code error, std::size_t bytes) {
                                    self->drained_ += bytes;
                                    if (!error && !self->closing_ && self->drained_ < LingerBytes)
                                        return self->Linger();
                                    self->stream_.close();
                                });
    }

    Impl& server_;
    const ServerSettings& settings_;
    beast::tcp_stream stream_;
    std::string peer_;
    std::string key_;
    bool counted_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    http::response<http::string_body> response_;
    http::response<http::empty_body> continue_;
    int served_ = 0;
    bool keepAlive_ = false;
    bool lingering_ = false;
    bool holdsBody_ = false;
    bool closing_ = false; // the server is stopping
    std::size_t drained_ = 0;
    std::array<char, 4096> drain_{};
    Clock::time_point started_;
    std::string client_;
    std::string line_;
    std::string result_;
};

void HttpServer::Impl::Bind() {
    boost::system::error_code error;
    const auto address = net::ip::make_address(settings_.address, error);
    const std::string where = settings_.address + ":" + std::to_string(settings_.port);
    if (error) throw ServerError("cannot listen on " + where + ": not an IP address");
    try {
        const tcp::endpoint endpoint(address, static_cast<unsigned short>(settings_.port));
        acceptor_.open(endpoint.protocol());
        acceptor_.set_option(net::socket_base::reuse_address(true));
        acceptor_.bind(endpoint);
        port_ = acceptor_.local_endpoint().port();
    } catch (const boost::system::system_error& failure) {
        beast::error_code ignored;
        acceptor_.close(ignored);
        throw ServerError("cannot listen on " + where + ": " + failure.code().message());
    }
}

void HttpServer::Impl::Start(ScoresService& service) {
    service_ = &service;
    try {
        acceptor_.listen(net::socket_base::max_listen_connections);
    } catch (const boost::system::system_error& failure) {
        throw ServerError("cannot listen on " + settings_.address + ":" + std::to_string(port_) + ": " +
                          failure.code().message());
    }
    started_ = true;
    net::dispatch(acceptor_.get_executor(), [this] { Accept(); });
    for (int i = 0; i < std::max(1, settings_.threads); ++i) threads_.emplace_back([this] { io_.run(); });
}

void HttpServer::Impl::Accept() {
    acceptor_.async_accept(net::make_strand(io_), [this](beast::error_code error, tcp::socket socket) {
        if (!acceptor_.is_open() || error == net::error::operation_aborted) return;
        if (error) {
            // Out of descriptors: accepting again at once would only spin; the clients wait in
            // the backlog meanwhile.
            LimitLog("accept failed: " + error.message());
            retryTimer_.expires_after(std::chrono::milliseconds(50));
            retryTimer_.async_wait([this](beast::error_code waited) {
                if (!waited && acceptor_.is_open()) Accept();
            });
            return;
        }
        OnAccept(std::move(socket));
        Accept();
    });
}

void HttpServer::Impl::OnAccept(tcp::socket socket) {
    beast::error_code error;
    const auto endpoint = socket.remote_endpoint(error);
    if (error) return;
    const std::string peer = AddressText(endpoint.address());
    // A proxy carries many clients over its connections; it is trusted to bound them itself.
    const bool counted = !IsTrusted(peer, settings_.trustedProxies);
    const std::string key = LimitKey(peer);
    std::string refusal;
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) return;
        if (open_ >= settings_.maxConnections)
            refusal = "closed: " + std::to_string(open_) + " connections open, the most allowed";
        else if (counted && perAddress_[key] >= settings_.connectionsPerAddress)
            refusal =
                "closed: " + std::to_string(perAddress_[key]) + " connections from this address, the most allowed";
        if (refusal.empty()) {
            ++open_;
            if (counted) ++perAddress_[key];
        } else if (counted && perAddress_[key] == 0) {
            perAddress_.erase(key);
        }
    }
    if (!refusal.empty()) {
        LimitLog(peer + " " + refusal);
        socket.close(error);
        return;
    }
    socket.set_option(tcp::no_delay(true), error);
    auto connection = std::make_shared<Connection>(*this, std::move(socket), peer, key, counted);
    {
        const std::lock_guard lock(mutex_);
        connections_.emplace(connection.get(), connection);
    }
    connection->Start();
}

void HttpServer::Impl::Release(const std::string& key, bool counted, Connection* connection) {
    const std::lock_guard lock(mutex_);
    connections_.erase(connection);
    --open_;
    if (counted) {
        auto found = perAddress_.find(key);
        if (found != perAddress_.end() && --found->second <= 0) perAddress_.erase(found);
    }
    if (open_ == 0) closed_.notify_all();
}

void HttpServer::Impl::LimitLog(const std::string& line) {
    if (!settings_.log) return;
    const std::int64_t second =
        std::chrono::duration_cast<std::chrono::seconds>(Clock::now().time_since_epoch()).count();
    std::string extra;
    {
        const std::lock_guard lock(logMutex_);
        if (second != logSecond_) {
            if (logSuppressed_ > 0)
                extra = std::to_string(logSuppressed_) + " more lines of connections closed by limits left out";
            logSecond_ = second;
            logLines_ = 0;
            logSuppressed_ = 0;
        }
        if (++logLines_ > 20) {
            ++logSuppressed_;
            return;
        }
    }
    if (!extra.empty()) Log(extra);
    Log(line);
}

void HttpServer::Impl::Stop() {
    if (!started_) return;
    started_ = false;
    std::vector<std::shared_ptr<Connection>> open;
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        for (auto& [key, weak] : connections_)
            if (auto connection = weak.lock()) open.push_back(std::move(connection));
    }
    net::post(acceptor_.get_executor(), [this] {
        beast::error_code ignored;
        acceptor_.close(ignored);
        retryTimer_.cancel();
    });
    for (auto& connection : open) connection->Close();
    open.clear();
    {
        // Answers being written get a moment to finish; then the loop is stopped regardless.
        std::unique_lock lock(mutex_);
        closed_.wait_for(lock, std::chrono::milliseconds(1000), [this] { return open_ == 0; });
    }
    io_.stop();
    for (auto& thread : threads_) thread.join();
    threads_.clear();
}

HttpServer::HttpServer(ServerSettings settings) : impl_(std::make_unique<Impl>(std::move(settings))) {}

HttpServer::~HttpServer() { Stop(); }

void HttpServer::Bind() { impl_->Bind(); }
int HttpServer::Port() const { return impl_->Port(); }
std::string HttpServer::Base() const { return impl_->Base(); }
void HttpServer::Start(ScoresService& service) { impl_->Start(service); }
void HttpServer::Stop() { impl_->Stop(); }

} // namespace tw::scores
