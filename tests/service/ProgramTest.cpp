// The real tidewarden-scores program: its options, a restart, and a SIGKILL in the middle of a
// burst of submissions, after which every result it had answered "OK" must still be in the file.
#include "ScoreStore.h"
#include "online/ResultEncoding.h"
#include "online/SendResult.h"
#include "platform/HttpClient.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

extern char** environ;

namespace tw::scores {
namespace {

// The program started with some arguments; its standard error is read through a pipe.
class ServiceProcess {
public:
    explicit ServiceProcess(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), SCORES_PROGRAM);
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        const int failed = posix_spawn(&pid_, SCORES_PROGRAM, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
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

    test::TempDir folder_{"tw-scores"};
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

    ScoreStore store(Database());
    std::set<std::string> stored;
    for (const auto& result : store.Best(1000000)) stored.insert(result.name);
    for (const auto& name : answered) EXPECT_EQ(stored.count(name), 1U) << name << " was answered OK but is lost";
    // A submission the kill cut off may be stored without its answer, at most one per client.
    EXPECT_LE(stored.size(), answered.size() + Clients);
}

} // namespace
} // namespace tw::scores
