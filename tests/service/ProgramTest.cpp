// SPDX-License-Identifier: MIT
// The real tidewarden-scores program: its options, a restart, and a SIGKILL in the middle of a
// burst of submissions, after which every result it had answered "OK" must still be in the file.
#include "RawClient.h"
#include "PostgresCluster.h"
#include "SqliteStore.h"
#include "online/ResultEncoding.h"
#include "online/SendResult.h"
#include "platform/HttpClient.h"
#include "support/RawSocket.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <httplib.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

extern char** environ;

namespace tw::scores {
namespace {

// The program started with some arguments; its standard error is read through a pipe.
class ServiceProcess {
public:
    // nobody: run it as the user nobody when the tests run as root, for whom no file is read-only.
    explicit ServiceProcess(std::vector<std::string> arguments, bool nobody = false) {
        arguments.insert(arguments.begin(), SCORES_PROGRAM);
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) throw std::runtime_error("pipe");
        int failed = 0;
        if (nobody && ::geteuid() == 0) {
            pid_ = ::fork();
            if (pid_ == 0) {
                ::dup2(pipeFds[1], STDERR_FILENO);
                ::dup2(pipeFds[1], STDOUT_FILENO);
                ::close(pipeFds[0]);
                const gid_t group = 65534;
                if (::setgroups(1, &group) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(126);
                ::execve(SCORES_PROGRAM, argv.data(), environ);
                ::_exit(127);
            }
            failed = pid_ < 0;
        } else {
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
            posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
            posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
            failed = posix_spawn(&pid_, SCORES_PROGRAM, &actions, nullptr, argv.data(), environ);
            posix_spawn_file_actions_destroy(&actions);
        }
        ::close(pipeFds[1]);
        output_ = pipeFds[0];
        if (failed != 0) throw std::runtime_error("cannot start " SCORES_PROGRAM);
    }
    ~ServiceProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
        ::close(output_);
    }
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    // Reads the output up to the line that names the port; -1 when the program ended first.
    int Port() {
        const std::string marker = "listening on http://127.0.0.1:";
        while (true) {
            const std::size_t at = output.find(marker);
            if (at != std::string::npos && output.find(' ', at + marker.size()) != std::string::npos)
                return std::stoi(output.substr(at + marker.size()));
            if (!ReadMore()) return -1;
        }
    }
    // Everything the program wrote until it closed its output.
    std::string AllOutput() {
        while (ReadMore()) {}
        return output;
    }
    void Signal(int signal) { ::kill(pid_, signal); }
    // The exit status, or 128 + the signal that ended it.
    int Wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    std::string output;

private:
    bool ReadMore() {
        char buffer[4096];
        const ssize_t got = ::read(output_, buffer, sizeof buffer);
        if (got <= 0) return false;
        output.append(buffer, static_cast<std::size_t>(got));
        return true;
    }
    pid_t pid_ = -1;
    int output_ = -1;
};

class ProgramTest : public ::testing::Test {
protected:
    std::string Database() const { return folder_ / "scores.db"; }
    // No limits: these tests send as fast as one machine can.
    std::vector<std::string> Arguments() const {
        return {"--port",   "0",
                "--quiet",  "--database",
                Database(), "--limit-versions",
                "0",        "--limit-submissions",
                "0",        "--limit-pages",
                "0"};
    }

    static bool Send(int port, const std::string& name, std::uint16_t score) {
        platform::CurlHttpClient http;
        return online::SendResult(http, "http://127.0.0.1:" + std::to_string(port), name, score, "nz");
    }

    tw::test::TempDir folder_{"tw-scores"};
};

TEST_F(ProgramTest, HelpAndBadOptions) {
    ServiceProcess help({"--help"});
    EXPECT_NE(help.AllOutput().find("Usage: tidewarden-scores"), std::string::npos);
    EXPECT_EQ(help.Wait(), 0);

    for (std::vector<std::string> bad : {std::vector<std::string>{"--port", "70000"}, {"--frobnicate"}, {"--port"}}) {
        ServiceProcess process(bad);
        EXPECT_NE(process.AllOutput().find("tidewarden-scores: "), std::string::npos);
        EXPECT_EQ(process.Wait(), 2);
    }
}

TEST_F(ProgramTest, TellsItsVersion) {
    ServiceProcess version({"--version"});
    EXPECT_EQ(version.AllOutput().rfind("tidewarden-scores " TW_VERSION "\n", 0), 0U) << version.output;
    EXPECT_EQ(version.Wait(), 0);
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A file of several pages whose page headers are then overwritten.
void MakeDamagedFile(const std::string& path) {
    {
        SqliteStore store(path);
        for (int i = 0; i < 400; ++i)
            store.StoreResult(store.IssueToken(1790000000, 1790000600),
                              {"Padding" + std::to_string(i), "nz", 1, 1790000000, {}}, 1790000000);
    }
    const auto pages = std::filesystem::file_size(path) / 4096;
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    for (std::uintmax_t page = 1; page < pages; ++page) {
        file.seekp(static_cast<std::streamoff>(page * 4096));
        file << std::string(16, '\x5a');
    }
}

TEST_F(ProgramTest, ABadDatabaseOrABusyPortStopsTheStartWithTheReason) {
    const struct {
        const char* what;
        std::function<void(const std::string& folder, const std::string& file)> make;
        std::string says; // after "tidewarden-scores: "
        bool nobody = false;
    } cases[] = {
        {"a file that is no database",
         [](const std::string&, const std::string& file) { std::ofstream(file) << std::string(8192, 'x'); },
         "the database FILE is damaged (file is not a database)"},
        {"a damaged page", [](const std::string&, const std::string& file) { MakeDamagedFile(file); },
         "the database FILE is damaged ("},
        {"a read-only file",
         [](const std::string& folder, const std::string& file) {
             { SqliteStore store(file); }
             ::chmod(folder.c_str(), 0777);
             ::chmod(file.c_str(), 0444);
         },
         "the database FILE is read-only", true},
        {"a folder it may not write",
         [](const std::string& folder, const std::string& file) {
             { SqliteStore store(file); }
             ::chmod(file.c_str(), 0666);
             ::chmod(folder.c_str(), 0555);
         },
         "the database FILE cannot be written: ", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const tw::test::TempDir folder("tw-scores");
        const std::string file = folder / "scores.db";
        c.make(folder.path().string(), file);
        const std::string before = FileBytes(file);
        ServiceProcess service({"--port", "0", "--database", file}, c.nobody);
        EXPECT_EQ(service.Port(), -1) << "it started";
        if (HasFailure()) return;
        const std::string output = service.AllOutput();
        EXPECT_EQ(service.Wait(), 1);
        std::string says = c.says;
        says.replace(says.find("FILE"), 4, file);
        EXPECT_NE(output.find("tidewarden-scores: " + says), std::string::npos) << output;
        EXPECT_EQ(output.find("listening"), std::string::npos) << output;
        EXPECT_EQ(FileBytes(file), before) << "the refused file was written";
        ::chmod(folder.path().c_str(), 0700);
    }

    // A port in use is found before the file would be made.
    tw::test::RawSocket taken(true);
    const std::string port = taken.base().substr(taken.base().rfind(':') + 1);
    ServiceProcess service({"--port", port, "--database", Database()});
    const std::string output = service.AllOutput();
    EXPECT_EQ(service.Wait(), 1);
    EXPECT_NE(output.find("tidewarden-scores: cannot listen on 127.0.0.1:" + port + ": Address already in use"),
              std::string::npos)
        << output;
    EXPECT_FALSE(std::filesystem::exists(Database()));
}

TEST_F(ProgramTest, EachStopSignalEndsItPromptlyWhateverItsClientsDo) {
    using namespace std::chrono_literals;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        auto arguments = Arguments();
        arguments.insert(arguments.end(), {"--connections", "1000"});
        ServiceProcess service(arguments);
        const int port = service.Port();
        ASSERT_GT(port, 0) << service.output;
        // Idle connections, heads never finished, and a client that never reads its answers.
        std::vector<std::unique_ptr<test::RawClient>> held;
        for (int i = 0; i < 200; ++i) held.push_back(std::make_unique<test::RawClient>(port));
        for (int i = 0; i < 50; ++i) {
            held.push_back(std::make_unique<test::RawClient>(port));
            held.back()->Send("GET /cgi/version.pl?prg=Tidewarden&show&type=0 HTTP/1.1\r\nX-Slow: ");
        }
        held.push_back(std::make_unique<test::RawClient>(port));
        std::string pipelined;
        for (int i = 0; i < 200; ++i) pipelined += "GET /cgi/version.pl?prg=Tidewarden&show&type=0 HTTP/1.1\r\n\r\n";
        held.back()->Send(pipelined);
        std::this_thread::sleep_for(200ms);

        const auto start = std::chrono::steady_clock::now();
        service.Signal(signal);
        EXPECT_EQ(service.Wait(), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    }
}

TEST_F(ProgramTest, ModerationWorksOnTheFileWhileTheServiceRuns) {
    ServiceProcess service(Arguments());
    const int port = service.Port();
    ASSERT_GT(port, 0) << service.output;
    ASSERT_TRUE(Send(port, "Nemo", 100));
    ASSERT_TRUE(Send(port, "Forger", 65535));

    ServiceProcess list({"list", "--database", Database()});
    const std::string rows = list.AllOutput();
    EXPECT_EQ(list.Wait(), 0);
    const std::size_t forged = rows.find("\t1\t65535\tForger\tnz\t");
    ASSERT_NE(forged, std::string::npos) << rows;
    EXPECT_NE(rows.find("\t127.0.0.1\t-\n", forged), std::string::npos) << rows;
    const std::string id = rows.substr(rows.rfind('\n', forged) + 1, forged - rows.rfind('\n', forged) - 1);

    ServiceProcess remove({"remove", "--database", Database(), id});
    EXPECT_EQ(remove.AllOutput(), "removed 1 of 1 entries\n");
    EXPECT_EQ(remove.Wait(), 0);
    ServiceProcess refuse({"refuse", "--database", Database(), "name", "forger"});
    EXPECT_EQ(refuse.Wait(), 0);

    EXPECT_FALSE(Send(port, "Forger", 65535));
    httplib::Client client("127.0.0.1", port);
    const auto json = client.Get("/cgi/version.pl?prg=Tidewarden&show&type=0&format=json");
    ASSERT_TRUE(json);
    EXPECT_EQ(json->body.find("Forger"), std::string::npos) << json->body;
    EXPECT_NE(json->body.find("Nemo"), std::string::npos) << json->body;
}

TEST_F(ProgramTest, ResultsSurviveARestart) {
    {
        ServiceProcess service(Arguments());
        const int port = service.Port();
        ASSERT_GT(port, 0) << service.output;
        ASSERT_TRUE(Send(port, "Nemo", 4321));
        service.Signal(SIGTERM);
        EXPECT_EQ(service.Wait(), 0);
    }
    ServiceProcess service(Arguments());
    const int port = service.Port();
    ASSERT_GT(port, 0) << service.output;
    httplib::Client client("127.0.0.1", port);
    const auto json = client.Get("/cgi/version.pl?prg=Tidewarden&show&type=0&format=json");
    ASSERT_TRUE(json);
    EXPECT_NE(json->body.find("\"name\":\"Nemo\",\"country\":\"nz\",\"score\":4321"), std::string::npos) << json->body;
}

TEST_F(ProgramTest, ReplaysAreCheckedByTheProgramNamedAndRefusedWithoutOne) {
    const auto upload = [](int port, const std::string& token, const std::string& bytes) {
        httplib::Client client("127.0.0.1", port);
        const auto answer = client.Post("/cgi/replay.pl?token=" + token, bytes, "application/octet-stream");
        return answer ? answer->status : 0;
    };
    const auto storedToken = [](int port) {
        platform::CurlHttpClient http;
        const std::string base = "http://127.0.0.1:" + std::to_string(port);
        const auto token = online::TokenFromAnswer(http.Get(online::VersionCheckUrl(base))).value_or("");
        const std::string record = online::ResultRecord("Nemo", 120, token, "nz");
        EXPECT_EQ(http.Get(online::SubmissionUrl(base, online::EncodeRecord(record))), "OK\n");
        return token;
    };
    {
        std::vector<std::string> arguments = Arguments();
        arguments.insert(arguments.end(), {"--verifier", FAKE_VERIFIER, "--require-verified"});
        ServiceProcess service(arguments);
        const int port = service.Port();
        ASSERT_GT(port, 0) << service.output;
        httplib::Client client("127.0.0.1", port);
        const std::string json = "/cgi/version.pl?prg=Tidewarden&show&type=0&format=json";
        EXPECT_EQ(client.Get(json)->body, "{\"results\":[]}\n");
        EXPECT_EQ(upload(port, storedToken(port), "TWRPmatch 120"), 202);
        std::string verified;
        for (int tries = 0; tries < 300 && verified.find("\"verified\":true") == std::string::npos; ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            verified = client.Get(json)->body;
        }
        EXPECT_NE(verified.find("\"name\":\"Nemo\",\"country\":\"nz\",\"score\":120,\"date\":"), std::string::npos)
            << verified;
        EXPECT_NE(verified.find("\"verified\":true,\"replay\":\"/cgi/replay.pl?id=1\""), std::string::npos) << verified;
        EXPECT_EQ(client.Get("/cgi/replay.pl?id=1")->body, "TWRPmatch 120");
        service.Signal(SIGTERM);
        EXPECT_EQ(service.Wait(), 0);
    }
    {
        std::vector<std::string> arguments = Arguments();
        arguments.insert(arguments.end(), {"--verifier", "none"});
        ServiceProcess service(arguments);
        const int port = service.Port();
        ASSERT_GT(port, 0) << service.output;
        EXPECT_EQ(upload(port, storedToken(port), "TWRPmatch 120"), 501);
    }
    std::vector<std::string> arguments = Arguments();
    arguments.insert(arguments.end(), {"--verifier", (folder_ / "missing")});
    ServiceProcess missing(arguments);
    EXPECT_NE(missing.AllOutput().find("--verifier " + (folder_ / "missing") + ": not a program that can be run"),
              std::string::npos)
        << missing.output;
    EXPECT_EQ(missing.Wait(), 1);
}

TEST_F(ProgramTest, TwoProcessesShareOneDatabase) {
    ServiceProcess first(Arguments());
    ServiceProcess second(Arguments());
    const int firstPort = first.Port();
    const int secondPort = second.Port();
    ASSERT_GT(firstPort, 0) << first.output;
    ASSERT_GT(secondPort, 0) << second.output;

    // A token handed out by one process is good at the other, and only once.
    platform::CurlHttpClient http;
    const std::string version = http.Get(online::VersionCheckUrl("http://127.0.0.1:" + std::to_string(firstPort)));
    const std::string inf =
        online::EncodeRecord(online::ResultRecord("Nemo", 77, online::TokenFromAnswer(version).value_or(""), "nz"));
    EXPECT_EQ(http.Get(online::SubmissionUrl("http://127.0.0.1:" + std::to_string(secondPort), inf)), "OK\n");
    EXPECT_THROW(http.Get(online::SubmissionUrl("http://127.0.0.1:" + std::to_string(firstPort), inf)),
                 platform::HttpError);

    httplib::Client client("127.0.0.1", firstPort);
    const auto json = client.Get("/cgi/version.pl?prg=Tidewarden&show&type=0&format=json");
    ASSERT_TRUE(json);
    EXPECT_NE(json->body.find("\"name\":\"Nemo\",\"country\":\"nz\",\"score\":77"), std::string::npos);
}

TEST_F(ProgramTest, AKillDuringABurstLosesNoAnsweredResult) {
    ServiceProcess service(Arguments());
    const int port = service.Port();
    ASSERT_GT(port, 0) << service.output;

    constexpr int Clients = 8;
    std::mutex mutex;
    std::set<std::string> answered;
    std::atomic<int> answeredCount{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < Clients; ++c)
        clients.emplace_back([&, c] {
            // Each client sends until the service is gone.
            for (int i = 0; i < 100000; ++i) {
                const std::string name = "K" + std::to_string(c) + "x" + std::to_string(i);
                if (!Send(port, name, static_cast<std::uint16_t>(i))) return;
                const std::lock_guard lock(mutex);
                answered.insert(name);
                ++answeredCount;
            }
        });
    while (answeredCount < 150) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    service.Signal(SIGKILL);
    EXPECT_EQ(service.Wait(), 128 + SIGKILL);
    for (auto& client : clients) client.join();

    SqliteStore store(Database());
    std::set<std::string> stored;
    for (const auto& result : store.Best(1000000)) stored.insert(result.name);
    for (const auto& name : answered) EXPECT_EQ(stored.count(name), 1U) << name << " was answered OK but is lost";
    // A submission the kill cut off may be stored without its answer, at most one per client.
    EXPECT_LE(stored.size(), answered.size() + Clients);
}

// Three processes on three ports, one PostgreSQL database: what one hands out is good at the
// others, every result is stored once, a killed one loses nothing it answered, and a restart of
// the database server is answered with 503 until it is back, without restarting the service.
TEST_F(ProgramTest, ThreeProcessesShareOnePostgresDatabase) {
    auto& cluster = test::PostgresCluster::Get();
    if (!cluster.Available()) GTEST_SKIP() << cluster.Reason();
    const std::string uri = cluster.FreshDatabase();
    std::vector<std::string> arguments = Arguments();
    arguments[4] = uri; // the value of --database
    std::vector<std::unique_ptr<ServiceProcess>> services;
    std::vector<int> ports;
    for (int i = 0; i < 3; ++i) {
        services.push_back(std::make_unique<ServiceProcess>(arguments));
        ports.push_back(services.back()->Port());
        ASSERT_GT(ports.back(), 0) << services.back()->output;
    }
    const auto base = [&](int i) { return "http://127.0.0.1:" + std::to_string(ports[static_cast<std::size_t>(i)]); };

    // A token from the first is spent at the second, and refused at the third.
    platform::CurlHttpClient http;
    const std::string inf = online::EncodeRecord(online::ResultRecord(
        "Nemo", 77, online::TokenFromAnswer(http.Get(online::VersionCheckUrl(base(0)))).value_or(""), "nz"));
    EXPECT_EQ(http.Get(online::SubmissionUrl(base(1), inf)), "OK\n");
    EXPECT_THROW(http.Get(online::SubmissionUrl(base(2), inf)), platform::HttpError);

    // 16 clients spread over the three, each result stored once; then the first is killed in the
    // middle of the same again.
    constexpr int Clients = 16;
    std::mutex mutex;
    std::set<std::string> answered;
    std::atomic<int> answeredCount{0};
    const auto burst = [&](const std::string& prefix, int each) {
        std::vector<std::thread> clients;
        for (int c = 0; c < Clients; ++c)
            clients.emplace_back([&, c, prefix, each] {
                for (int i = 0; i < each; ++i) {
                    const std::string name = prefix + std::to_string(c) + "x" + std::to_string(i);
                    if (!Send(ports[static_cast<std::size_t>(c % 3)], name, static_cast<std::uint16_t>(i))) return;
                    const std::lock_guard lock(mutex);
                    answered.insert(name);
                    ++answeredCount;
                }
            });
        return clients;
    };
    for (auto& client : burst("A", 10)) client.join();
    EXPECT_EQ(answeredCount.load(), Clients * 10);
    auto killed = burst("K", 40);
    while (answeredCount < Clients * 10 + 100) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    services[0]->Signal(SIGKILL);
    EXPECT_EQ(services[0]->Wait(), 128 + SIGKILL);
    for (auto& client : killed) client.join();

    const auto storedNames = [&] {
        std::multiset<std::string> names;
        for (const auto& result : OpenStore(uri)->Best(1000000)) names.insert(result.name);
        return names;
    };
    const auto stored = storedNames();
    for (const auto& name : answered) EXPECT_EQ(stored.count(name), 1U) << name << " was answered OK but is lost";
    EXPECT_EQ(stored.count("Nemo"), 1U);
    // A submission the kill cut off may be stored without its answer, at most one per client.
    EXPECT_LE(stored.size(), answered.size() + 1 + Clients);

    // The database goes away: the service says so, and comes back with it.
    ASSERT_TRUE(cluster.Stop());
    httplib::Client second("127.0.0.1", ports[1]);
    const auto during = second.Get("/cgi/version.pl?prg=Tidewarden&show&type=0&format=json");
    ASSERT_TRUE(during);
    EXPECT_EQ(during->status, 503);
    EXPECT_EQ(during->body, "ERROR store unavailable\n");
    ASSERT_TRUE(cluster.Resume());
    for (int i = 1; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(Send(ports[static_cast<std::size_t>(i)], "After" + std::to_string(i), 5000));
    }
    const auto after = second.Get("/cgi/version.pl?prg=Tidewarden&show&type=0&format=json");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
    EXPECT_NE(after->body.find("\"name\":\"After2\""), std::string::npos) << after->body;
}

} // namespace
} // namespace tw::scores
