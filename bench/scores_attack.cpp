// SPDX-License-Identifier: MIT
// Hostile load on the world high-score service, on loopback only and bounded in count and time: it
// starts tidewarden-scores itself (a database of its own in a temporary folder) and measures
// 1. 1,000 slow and idle clients held open from distinct 127.1.x.y addresses while a normal client
//    asks for the page: its latency;
// 2. range requests, 3. heads of 300,000 header lines, 4. a flood of version checks and submissions
//    from one client: what each is answered and the token table after;
// 5. 16 clients storing results, presented as distinct clients behind --trust-proxy: results a second;
// 6. replays at the size cap posted by 32 clients at once, and as many announcing more than the cap;
// and the service's memory (resident set) through every phase.
//   scores_attack [--service PATH] [--slow 1000] [--slow-seconds 12] [--pairs 20000]
#include "online/ResultEncoding.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

int ServicePort = 0;

double Ms(Clock::duration span) { return std::chrono::duration<double, std::milli>(span).count(); }

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

// A blocking connection to the service; from: a loopback source address, or none for 127.0.0.1.
int Connect(const std::string& from = {}) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    if (!from.empty()) {
        sockaddr_in source{};
        source.sin_family = AF_INET;
        ::inet_pton(AF_INET, from.c_str(), &source.sin_addr);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) {
            ::close(fd);
            return -1;
        }
    }
    const int yes = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(ServicePort));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

struct Reply {
    int status = -1; // -1: no answer
    std::string head;
    std::string body;
    bool close = false;
};

// One answer from a kept-alive connection; buffer keeps what came after it.
Reply ReadReply(int fd, std::string& buffer) {
    Reply reply;
    std::size_t end;
    char chunk[65536];
    while ((end = buffer.find("\r\n\r\n")) == std::string::npos) {
        const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0) return reply;
        buffer.append(chunk, static_cast<std::size_t>(got));
    }
    reply.head = buffer.substr(0, end + 4);
    buffer.erase(0, end + 4);
    if (reply.head.size() > 12) reply.status = std::atoi(reply.head.c_str() + 9);
    std::size_t length = 0;
    const auto at = reply.head.find("\r\nContent-Length: ");
    if (at != std::string::npos) length = std::strtoul(reply.head.c_str() + at + 18, nullptr, 10);
    reply.close = reply.head.find("\r\nConnection: close") != std::string::npos;
    while (buffer.size() < length) {
        const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0) {
            reply.status = -1;
            return reply;
        }
        buffer.append(chunk, static_cast<std::size_t>(got));
    }
    reply.body = buffer.substr(0, length);
    buffer.erase(0, length);
    return reply;
}

// A kept-alive client that opens a new connection whenever the service closed the last one.
class Client {
public:
    ~Client() { Drop(); }
    Reply Get(const std::string& target, const std::string& headers = {}) {
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (fd_ < 0) fd_ = Connect();
            if (fd_ < 0) return {};
            if (SendAll(fd_, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n")) {
                Reply reply = ReadReply(fd_, buffer_);
                if (reply.status > 0) {
                    if (reply.close) Drop();
                    return reply;
                }
            }
            Drop();
        }
        return {};
    }

private:
    void Drop() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        buffer_.clear();
    }
    int fd_ = -1;
    std::string buffer_;
};

// The service's resident memory, sampled through every phase.
struct MemoryWatch {
    pid_t pid = 0;
    std::atomic<long> peakKb{0};
    std::atomic<long> overallKb{0};
    std::atomic<bool> stop{false};
    std::thread sampler;
    static long Field(pid_t pid, const char* name) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind(name, 0) == 0) return std::atol(line.c_str() + std::strlen(name));
        return 0;
    }
    void Start() {
        sampler = std::thread([this] {
            while (!stop) {
                const long kb = Field(pid, "VmRSS:");
                long seen = peakKb.load();
                while (kb > seen && !peakKb.compare_exchange_weak(seen, kb)) {}
                if (kb > overallKb) overallKb = kb;
                std::this_thread::sleep_for(20ms);
            }
        });
    }
    // The peak since the last call, in MB.
    double TakePeak() { return static_cast<double>(peakKb.exchange(Field(pid, "VmRSS:"))) / 1024.0; }
};

std::string PageTarget() { return "/cgi/version.pl?prg=Tidewarden&show&type=0"; }

std::string ForwardedFor(long n) {
    // 198.18.0.0/15 is set aside for benchmarks: never a real client.
    return "X-Forwarded-For: 198." + std::to_string(18 + n / 65536) + "." + std::to_string(n / 256 % 256) + "." +
           std::to_string(n % 256) + "\r\n";
}

// One version check and one submission as the game makes them; true when stored.
bool StorePair(Client& client, long n, const std::string& from) {
    const Reply version = client.Get("/cgi/version.pl?version&prg=Tidewarden", from);
    if (version.status != 200) return false;
    std::string token = version.body;
    for (int field = 0; field < 4 && token.find('|') != std::string::npos; ++field) token.erase(0, token.find('|') + 1);
    token = token.substr(0, token.find('|'));
    std::string name = "A";
    name += std::to_string(n % 100000000);
    const std::string inf =
        tw::online::EncodeRecord(tw::online::ResultRecord(name, static_cast<std::uint16_t>(n % 60000), token, "bench"));
    const Reply answer = client.Get("/cgi/version.pl?hs&prg=Tidewarden&inf=" + inf, from);
    return answer.status == 200 && answer.body == "OK\n";
}

void SlowPhase(int slow, int seconds, MemoryWatch& memory) {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);

    struct Slow {
        int fd = -1;
        std::string from;
        bool trickles = false;
        int lines = 0;
    };
    std::vector<Slow> clients(static_cast<std::size_t>(slow));
    long reopened = 0;
    long failedOpen = 0;
    const auto open = [&](Slow& client) {
        client.fd = Connect(client.from);
        client.lines = 0;
        if (client.fd < 0) {
            ++failedOpen;
            return;
        }
        ::fcntl(client.fd, F_SETFL, O_NONBLOCK);
        if (client.trickles) SendAll(client.fd, "GET " + PageTarget() + " HTTP/1.1\r\n");
    };
    for (int i = 0; i < slow; ++i) {
        auto& client = clients[static_cast<std::size_t>(i)];
        client.from = "127.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
        client.trickles = i % 2 == 0;
        open(client);
    }
    std::atomic<bool> done{false};
    std::vector<double> pages;
    long unanswered = 0;
    std::thread normal([&] {
        // Visitors with a browser: a connection of their own for each page, each a client of its own
        // through the proxy (one client asking 50 times a second would be limited).
        for (long visitor = 0; !done; ++visitor) {
            const auto t0 = Clock::now();
            Client client;
            const Reply reply = client.Get(PageTarget(), ForwardedFor(130000 + visitor % 1000));
            if (reply.status == 200)
                pages.push_back(Ms(Clock::now() - t0));
            else
                ++unanswered;
            std::this_thread::sleep_for(20ms);
        }
    });
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    long heldSamples = 0;
    long heldSum = 0;
    while (Clock::now() < end) {
        // A line a second from each trickling client; any client the service closed comes back.
        for (auto& client : clients) {
            if (client.fd < 0) {
                open(client);
                continue;
            }
            char drop[4096];
            const ssize_t got = ::recv(client.fd, drop, sizeof drop, 0);
            if (got == 0 || (got < 0 && errno != EAGAIN)) {
                ::close(client.fd);
                ++reopened;
                open(client);
                continue;
            }
            if (client.trickles) SendAll(client.fd, "X-Slow-" + std::to_string(client.lines++) + ": 1\r\n");
        }
        long held = 0;
        for (const auto& client : clients) held += client.fd >= 0;
        heldSum += held;
        ++heldSamples;
        std::this_thread::sleep_for(1s);
    }
    done = true;
    normal.join();
    for (auto& client : clients)
        if (client.fd >= 0) ::close(client.fd);
    std::printf("slow clients: %d held open (%d trickling a header line a second, %d idle) for %d s, on average %.0f "
                "open; the service closed %ld of them (reopened at once), %ld could not connect\n",
                slow, slow / 2, slow - slow / 2, seconds,
                heldSamples ? static_cast<double>(heldSum) / static_cast<double>(heldSamples) : 0.0, reopened,
                failedOpen);
    std::printf(
        "  normal clients' pages meanwhile: %zu answered (%ld not), median %.2f ms, 95th percentile %.2f ms, 99th %.2f "
        "ms, max %.2f ms\n",
        pages.size(), unanswered, Percentile(pages, 0.5), Percentile(pages, 0.95), Percentile(pages, 0.99),
        pages.empty() ? 0.0 : *std::max_element(pages.begin(), pages.end()));
    std::printf("  service memory: peak %.1f MB\n", memory.TakePeak());
}

void RangePhase(MemoryWatch& memory) {
    Client plain;
    const std::size_t whole = plain.Get(PageTarget(), ForwardedFor(129999)).body.size();
    std::string ranges = "Range: bytes=0-";
    while (ranges.size() < 6000) ranges += ",0-";
    ranges += "\r\n";
    std::atomic<long> full{0};
    std::atomic<long> other{0};
    std::atomic<long> next{0};
    std::vector<std::thread> threads;
    const auto end = Clock::now() + 5s;
    for (int t = 0; t < 16; ++t)
        threads.emplace_back([&] {
            Client client;
            while (Clock::now() < end) {
                // A fresh client each time, so the limits let every one through to a full answer.
                const Reply reply = client.Get(PageTarget(), ranges + ForwardedFor(next++ % 60000 + 60000));
                const bool plainAnswer = reply.status == 200 && reply.body.size() == whole &&
                                         reply.head.find("Accept-Ranges") == std::string::npos;
                ++(plainAnswer ? full : other);
            }
        });
    for (auto& thread : threads) thread.join();
    std::printf("ranges: 16 connections, 5 s of page requests with a %zu-byte Range header of overlapping ranges, each "
                "from a client of its own: %ld answered 200 with the %zu-byte page and no Accept-Ranges, %ld "
                "otherwise (limited or not answered)\n",
                ranges.size(), full.load(), whole, other.load());
    std::printf("  service memory: peak %.1f MB\n", memory.TakePeak());
}

void HeaderPhase(MemoryWatch& memory) {
    std::string lines;
    // About 57 bytes a line: 17 MB in all.
    for (int i = 0; i < 300000; ++i)
        lines += "X-Flood-" + std::to_string(1000000 + i) + ": " + std::string(38, 'a') + "\r\n";
    std::atomic<long> attempts{0};
    std::atomic<long> refused{0};
    std::atomic<long> sentBeforeClose{0};
    std::vector<std::thread> threads;
    const auto end = Clock::now() + 5s;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            while (Clock::now() < end) {
                const int fd = Connect();
                if (fd < 0) continue;
                ++attempts;
                const std::string head = "GET " + PageTarget() + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
                SendAll(fd, head);
                // Sent in pieces, so the service's early answer is seen as soon as it closes.
                std::size_t sent = 0;
                while (sent < lines.size()) {
                    const std::size_t piece = std::min<std::size_t>(65536, lines.size() - sent);
                    if (!SendAll(fd, lines.substr(sent, piece))) break;
                    sent += piece;
                }
                sentBeforeClose += static_cast<long>(sent);
                std::string buffer;
                const Reply reply = ReadReply(fd, buffer);
                if (reply.status == 431) ++refused;
                ::close(fd);
            }
        });
    for (auto& thread : threads) thread.join();
    std::printf("header floods: 8 clients, 5 s of requests of 300,000 header lines (%.1f MB each): %ld sent, %ld "
                "answered 431 (the rest closed before the answer could be read); each client got %.1f MB into the "
                "connection (the kernel's buffers included) before the service closed it\n",
                static_cast<double>(lines.size()) / 1e6, attempts.load(), refused.load(),
                attempts ? static_cast<double>(sentBeforeClose.load()) / static_cast<double>(attempts.load()) / 1e6
                         : 0.0);
    std::printf("  service memory: peak %.1f MB\n", memory.TakePeak());
}

long CountRows(const std::string& database, const char* table) {
    sqlite3* db = nullptr;
    long count = -1;
    if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        const std::string sql = std::string("SELECT count(*) FROM ") + table;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
            count = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return count;
}

void FloodPhase(MemoryWatch& memory, const std::string& database) {
    const long tokensBefore = CountRows(database, "tokens");
    const long resultsBefore = CountRows(database, "results");
    const std::string from = ForwardedFor(120000);
    std::atomic<long> answered[2][2] = {};
    for (int kind = 0; kind < 2; ++kind) {
        std::vector<std::thread> threads;
        const auto end = Clock::now() + 5s;
        for (int t = 0; t < 8; ++t)
            threads.emplace_back([&, kind] {
                Client client;
                const std::string forged =
                    "/cgi/version.pl?hs&prg=Tidewarden&inf=" +
                    tw::online::EncodeRecord(tw::online::ResultRecord("Forger", 65535, "0123456789abcdef", "xx"));
                while (Clock::now() < end) {
                    const Reply reply =
                        client.Get(kind == 0 ? std::string("/cgi/version.pl?version&prg=Tidewarden") : forged, from);
                    ++answered[kind][reply.status == 429 ? 1 : 0];
                }
            });
        for (auto& thread : threads) thread.join();
    }
    std::printf("flood from one client, 8 connections, 5 s each: version checks %ld answered, %ld limited (429); "
                "forged submissions %ld answered, %ld limited\n",
                answered[0][0].load(), answered[0][1].load(), answered[1][0].load(), answered[1][1].load());
    std::printf("  tokens in the file: %ld before, %ld after; results: %ld before, %ld after\n", tokensBefore,
                CountRows(database, "tokens"), resultsBefore, CountRows(database, "results"));
    std::printf("  service memory: peak %.1f MB\n", memory.TakePeak());
}

void StorePhase(MemoryWatch& memory, long pairs) {
    std::atomic<long> next{0};
    std::atomic<long> stored{0};
    std::atomic<long> failed{0};
    const auto start = Clock::now();
    const auto limit = start + 60s;
    std::vector<std::thread> threads;
    for (int t = 0; t < 16; ++t)
        threads.emplace_back([&] {
            Client client;
            for (long n = next++; n < pairs && Clock::now() < limit; n = next++)
                // Four pairs per client address: within what its buckets allow at once.
                ++(StorePair(client, n, ForwardedFor(n / 4)) ? stored : failed);
        });
    for (auto& thread : threads) thread.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("storing: 16 clients, %ld pairs of version check and submission from %ld client addresses behind the "
                "trusted proxy: %ld stored, %ld failed in %.2f s: %.0f stored results a second\n",
                next.load() < pairs ? next.load() : pairs, (pairs + 3) / 4, stored.load(), failed.load(), seconds,
                static_cast<double>(stored.load()) / seconds);
    std::printf("  service memory: peak %.1f MB\n", memory.TakePeak());
}

void ReplayPhase(MemoryWatch& memory) {
    // Bodies at the cap for tokens that stored nothing, from many clients at once, and heads that
    // announce more than the cap: only a few bodies are read at once, the larger ones never.
    const std::size_t cap = std::size_t{4} << 20;
    const std::string body = "TWRP" + std::string(cap - 4, 'x');
    std::map<int, long> answered;
    std::mutex mutex;
    std::atomic<long> next{0};
    std::atomic<long> bytes{0};
    std::vector<std::thread> threads;
    const auto end = Clock::now() + 5s;
    for (int t = 0; t < 32; ++t)
        threads.emplace_back([&, t] {
            while (Clock::now() < end) {
                const int fd = Connect();
                if (fd < 0) continue;
                const bool over = t % 2 == 1;
                const std::string head = "POST /cgi/replay.pl?token=0123456789abcdef HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                                         ForwardedFor(next++ % 60000 + 140000) +
                                         "Content-Length: " + std::to_string(over ? cap * 4 : cap) + "\r\n\r\n";
                SendAll(fd, head);
                if (!over && SendAll(fd, body)) bytes += static_cast<long>(body.size());
                std::string buffer;
                const Reply reply = ReadReply(fd, buffer);
                ::close(fd);
                const std::lock_guard lock(mutex);
                ++answered[over ? -reply.status : reply.status];
            }
        });
    for (auto& thread : threads) thread.join();
    std::printf("replays: 32 clients, 5 s: half post %zu-byte bodies for a token that stored nothing (%.0f MB sent), "
                "half announce %zu bytes;",
                cap, static_cast<double>(bytes.load()) / 1e6, cap * 4);
    for (const auto& [status, count] : answered)
        std::printf(" %s %d: %ld", status < 0 ? "announced, answered" : "posted, answered", std::abs(status), count);
    std::printf("\n  service memory: peak %.1f MB\n", memory.TakePeak());
}

} // namespace

int main(int argc, char** argv) {
    std::string service = SCORES_PROGRAM;
    int slow = 1000;
    int slowSeconds = 12;
    long pairs = 20000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--service")
            service = argv[i + 1];
        else if (option == "--slow")
            slow = std::clamp(std::atoi(argv[i + 1]), 1, 60000);
        else if (option == "--slow-seconds")
            slowSeconds = std::clamp(std::atoi(argv[i + 1]), 1, 120);
        else if (option == "--pairs")
            pairs = std::clamp(std::atol(argv[i + 1]), 1L, 1000000L);
        else {
            std::fprintf(stderr, "unknown option %s\n", option.c_str());
            return 2;
        }
    }
    std::signal(SIGPIPE, SIG_IGN);

    char folderName[] = "/tmp/scores-attack-XXXXXX";
    if (!mkdtemp(folderName)) return 1;
    const std::string database = std::string(folderName) + "/attack.db";
    std::vector<std::string> arguments = {
        service, "--port", "0", "--database", database, "--trust-proxy", "127.0.0.1", "--max-connections", "8192"};
    std::string commandLine;
    for (const auto& argument : arguments) commandLine += argument + " ";
    std::vector<char*> argvService;
    for (auto& argument : arguments) argvService.push_back(argument.data());
    argvService.push_back(nullptr);
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return 1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    pid_t pid = 0;
    if (posix_spawn(&pid, service.c_str(), &actions, nullptr, argvService.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", service.c_str());
        return 1;
    }
    ::close(pipeFds[1]);
    // The log is read to its end throughout, as a terminal or journal would; its first line names the port.
    std::atomic<long> logLines{0};
    std::atomic<int> port{0};
    std::thread log([&] {
        std::string text;
        char buffer[65536];
        ssize_t got;
        while ((got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) {
            if (port == 0) {
                text.append(buffer, static_cast<std::size_t>(got));
                const auto at = text.find("127.0.0.1:");
                if (at != std::string::npos) port = std::atoi(text.c_str() + at + 10);
            }
            logLines += std::count(buffer, buffer + got, '\n');
        }
    });
    for (int i = 0; i < 200 && port == 0; ++i) std::this_thread::sleep_for(50ms);
    if (port == 0) {
        std::fprintf(stderr, "the service did not start\n");
        ::kill(pid, SIGKILL);
        log.join();
        return 1;
    }
    ServicePort = port;
    std::printf("service: %s(pid %d, port %d)\n", commandLine.c_str(), pid, ServicePort);

    MemoryWatch memory;
    memory.pid = pid;
    memory.Start();
    {
        // A full page first, so every page asked for below is the best hundred.
        Client client;
        for (long n = 0; n < 100; ++n) StorePair(client, 1000000 + n, ForwardedFor(110000 + n));
    }
    std::printf("  service memory at start, 100 results stored: %.1f MB\n", memory.TakePeak());
    SlowPhase(slow, slowSeconds, memory);
    RangePhase(memory);
    HeaderPhase(memory);
    FloodPhase(memory, database);
    StorePhase(memory, pairs);
    ReplayPhase(memory);

    const auto stopAt = Clock::now();
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    memory.stop = true;
    memory.sampler.join();
    log.join();
    std::printf("stopped by SIGTERM in %.0f ms with exit status %d; the service's peak resident memory over the whole "
                "run: %.1f MB; %ld log lines\n",
                Ms(Clock::now() - stopAt), WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                static_cast<double>(memory.overallKb.load()) / 1024.0, logLines.load());
    std::filesystem::remove_all(folderName);
    return 0;
}
