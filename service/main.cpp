// SPDX-License-Identifier: MIT
// tidewarden-scores: the world high-score service for Tide Warden, one program with one SQLite file
// or PostgreSQL database, and the moderation commands that work on it.
#include "HttpServer.h"
#include "Moderation.h"
#include "PostgresStore.h"
#include "ReplayQueue.h"
#include "ScoreStore.h"
#include "ScoresService.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <ctime>
#include <iostream>
#include <malloc.h>
#include <mutex>
#include <pthread.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr const char* Usage =
    "Usage: tidewarden-scores [options]\n"
    "       tidewarden-scores list|remove|refuse|allow|refusals [--database FILE|URI] ...\n"
    "The world high-score service of Tide Warden: answers /cgi/version.pl (version check, result\n"
    "submission, the world table as a page and as JSON), /cgi/replay.pl (a result's replay, checked\n"
    "with the game's own program; verified replays for download) and /health, and keeps everything\n"
    "in one SQLite file or one PostgreSQL database.\n"
    "\n"
    "  --address ADDR       address to listen on (default 127.0.0.1; 0.0.0.0 for every interface)\n"
    "  --port N             port to listen on (default 8421; 0 picks a free one)\n"
    "  --database FILE|URI  the SQLite file (default tidewarden-scores.db in the current folder;\n"
    "                       processes on one host may share it), or a PostgreSQL database as a\n"
    "                       postgresql:// or postgres:// URI (processes on any host may share it)\n"
    "  --pool N             connections to a PostgreSQL database (default 4)\n"
    "  --token-minutes N    how long a version check's token stays valid (default 10)\n"
    "  --keep-addresses D   days a stored result keeps its client's address (default 7; 0: none)\n"
    "  --trust-proxy NET    a reverse proxy's address or CIDR range (may be given again): requests\n"
    "                       from it are counted by the last X-Forwarded-For address; without it\n"
    "                       that header is ignored\n"
    "  --limit-versions N   version checks a minute per client address (default 10; 0: no limit)\n"
    "  --limit-submissions N  submissions a minute per client address (default 10)\n"
    "  --limit-pages N      other requests a minute per client address (default 120)\n"
    "  --limit-replays N    replay uploads a minute per client address (default 10)\n"
    "  --verifier PATH      the game's program that checks replays (tidewarden --verify); default:\n"
    "                       the game installed beside the service, or none; 'none': replays are\n"
    "                       refused\n"
    "  --verifier-data DIR  the folder holding the game's data folder (default: the installed\n"
    "                       data, or the verifier's own folder)\n"
    "  --verify-seconds N   time a check may take before it is killed (default 60)\n"
    "  --verify-memory MB   memory a check may use (default 1024; 0: no limit)\n"
    "  --verify-jobs N      checks run at once (default 1)\n"
    "  --replay-bytes N     the largest replay accepted (default 4194304)\n"
    "  --replay-queue N     replays that may wait for their check (default 100)\n"
    "  --require-verified   the page and the JSON list only entries with a verified replay\n"
    "  --connections N      connections at once per client address (default 32)\n"
    "  --max-connections N  connections at once in all (default 4096)\n"
    "  --threads N          threads answering requests (default 4)\n"
    "  --quiet              no line per request\n"
    "  --version            the program's version\n"
    "  --help               this text\n"
    "\n"
    "It logs one line per request to the standard error, and stops on SIGINT, SIGTERM or SIGHUP.\n\n";

struct Options {
    tw::scores::ServerSettings server;
    tw::scores::ServiceSettings service;
    tw::scores::QueueSettings replays;
    bool verifierGiven = false;
    bool verifierDataGiven = false;
    std::string database = "tidewarden-scores.db";
    int pool = 4;
    bool quiet = false;
};

long NumberArgument(const std::string& option, const char* text, long low, long high) {
    try {
        std::size_t used = 0;
        const long value = std::stol(text, &used);
        if (used == std::string(text).size() && value >= low && value <= high) return value;
    } catch (const std::exception&) {}
    throw std::invalid_argument(option + " needs a number from " + std::to_string(low) + " to " + std::to_string(high));
}

// False when the program should stop at once (help or version shown); throws on a bad option.
bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << Usage << tw::scores::ModerationUsage;
            return false;
        }
        if (arg == "--version") {
            std::cout << "tidewarden-scores " TW_VERSION "\n";
            return false;
        }
        if (arg == "--quiet") {
            options.quiet = true;
            continue;
        }
        if (arg == "--require-verified") {
            options.service.requireVerified = true;
            continue;
        }
        if (i + 1 >= argc) throw std::invalid_argument("unknown option or missing value: " + arg);
        const char* value = argv[++i];
        auto& server = options.server;
        auto& service = options.service;
        if (arg == "--address")
            server.address = value;
        else if (arg == "--port")
            server.port = static_cast<int>(NumberArgument(arg, value, 0, 65535));
        else if (arg == "--database")
            options.database = value;
        else if (arg == "--pool")
            options.pool = static_cast<int>(NumberArgument(arg, value, 1, 1000));
        else if (arg == "--token-minutes")
            service.tokenMinutes = NumberArgument(arg, value, 1, 24 * 60);
        else if (arg == "--keep-addresses")
            service.keepAddressDays = static_cast<int>(NumberArgument(arg, value, 0, 3650));
        else if (arg == "--trust-proxy") {
            const auto network = tw::scores::Network::Parse(value);
            if (!network)
                throw std::invalid_argument("--trust-proxy needs an address or CIDR range, not " + std::string(value));
            server.trustedProxies.push_back(*network);
        } else if (arg == "--limit-versions")
            service.versions.perMinute = static_cast<double>(NumberArgument(arg, value, 0, 1000000));
        else if (arg == "--limit-submissions")
            service.submissions.perMinute = static_cast<double>(NumberArgument(arg, value, 0, 1000000));
        else if (arg == "--limit-pages")
            service.pages.perMinute = static_cast<double>(NumberArgument(arg, value, 0, 1000000));
        else if (arg == "--limit-replays")
            service.replays.perMinute = static_cast<double>(NumberArgument(arg, value, 0, 1000000));
        else if (arg == "--verifier") {
            // The check runs in a folder of its own: a relative name would not be found from there.
            options.replays.check.program =
                std::string(value) == "none" ? std::string() : std::filesystem::absolute(value).string();
            options.verifierGiven = true;
        } else if (arg == "--verifier-data") {
            options.replays.check.dataFolder = std::filesystem::absolute(value).string();
            options.verifierDataGiven = true;
        } else if (arg == "--verify-seconds")
            options.replays.check.timeout = std::chrono::seconds(NumberArgument(arg, value, 1, 3600));
        else if (arg == "--verify-memory")
            options.replays.check.memoryBytes = static_cast<std::uint64_t>(NumberArgument(arg, value, 0, 1 << 20))
                                                << 20;
        else if (arg == "--verify-jobs")
            options.replays.workers = static_cast<int>(NumberArgument(arg, value, 1, 64));
        else if (arg == "--replay-bytes")
            service.replayBytes = static_cast<std::size_t>(NumberArgument(arg, value, 64, 64L << 20));
        else if (arg == "--replay-queue")
            service.replayQueue = NumberArgument(arg, value, 1, 1000000);
        else if (arg == "--connections")
            server.connectionsPerAddress = static_cast<int>(NumberArgument(arg, value, 1, 100000));
        else if (arg == "--max-connections")
            server.maxConnections = static_cast<int>(NumberArgument(arg, value, 1, 1000000));
        else if (arg == "--threads")
            server.threads = static_cast<int>(NumberArgument(arg, value, 1, 256));
        else
            throw std::invalid_argument("unknown option: " + arg);
    }
    return true;
}

std::string TimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::mutex logMutex;

void LogLine(const std::string& line) {
    const std::lock_guard lock(logMutex);
    std::fprintf(stderr, "%s %s\n", TimeStamp().c_str(), line.c_str());
}

// Every connection is a descriptor: take all the system allows, and keep the count of connections
// below it, with room for the database and the log.
void FitConnectionsToDescriptors(tw::scores::ServerSettings& server) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < static_cast<rlim_t>(server.maxConnections) + 64)
        server.maxConnections = std::max(1, static_cast<int>(limit.rlim_cur) - 64);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && tw::scores::IsModerationCommand(argv[1]))
        return tw::scores::RunModeration(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);

    Options options;
    try {
        if (!ParseOptions(argc, argv, options)) return 0;
    } catch (const std::exception& error) {
        std::cerr << "tidewarden-scores: " << error.what() << "\n" << Usage;
        return 2;
    }

    // The stop signals are taken by the main thread; every other thread (the request threads too)
    // inherits the blocked mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    if (!options.quiet) {
        options.server.log = LogLine;
        options.service.log = LogLine;
    }
    FitConnectionsToDescriptors(options.server);
    // Replays are checked by the game's own program: the one named, else the one installed
    // beside the service; with neither, they are refused.
    auto& check = options.replays.check;
    if (!options.verifierGiven) {
        check.program = tw::scores::InstalledVerifier();
        if (!options.verifierDataGiven) check.dataFolder = tw::scores::InstalledVerifierData();
    } else if (!check.program.empty() && ::access(check.program.c_str(), X_OK) != 0) {
        std::cerr << "tidewarden-scores: --verifier " << check.program << ": not a program that can be run\n";
        return 1;
    }
    // A program that cannot run in its box would fail every replay: found now, not by the players.
    if (!check.program.empty()) {
        if (const std::string why = tw::scores::ProbeVerifier(check); !why.empty()) {
            if (options.verifierGiven) {
                std::cerr << "tidewarden-scores: --verifier " << check.program << ": " << why << "\n";
                return 1;
            }
            LogLine("the game found at " + check.program + " cannot check replays: " + why);
            check.program.clear();
        }
    }
    options.service.checkReplays = !check.program.empty();
    options.replays.log = options.service.log;
    // Requests free what they allocated on another thread's heap; handing the heap's top back
    // to the system each time costs every core a TLB flush. A few MB kept in hand is cheaper.
    mallopt(M_TRIM_THRESHOLD, 8 << 20);
    try {
        // The port first, before any file is made; then the file, before anything listens.
        tw::scores::HttpServer server(options.server);
        server.Bind();
        tw::scores::StoreOptions storeOptions;
        storeOptions.pool = options.pool;
        const auto opened = tw::scores::OpenStore(options.database, storeOptions);
        tw::scores::ScoreStore& store = *opened;
        tw::scores::ReplayQueue replays(store, options.replays);
        options.service.replayReceived = [&replays] { replays.Wake(); };
        tw::scores::ScoresService service(store, options.service);
        replays.Start();
        server.Start(service);
        LogLine("listening on " + server.Base() + " (database " + tw::scores::WithoutPassword(options.database) + ")");
        LogLine(check.program.empty()
                    ? std::string("replays are refused: no game program to check them with (--verifier)")
                    : "replays are checked by " + check.program +
                          (check.dataFolder.empty() ? std::string() : " (data " + check.dataFolder + ")"));

        int signal = 0;
        sigwait(&stopSignals, &signal);
        LogLine(std::string("stopping on ") + (signal == SIGHUP ? "SIGHUP" : signal == SIGINT ? "SIGINT" : "SIGTERM"));
        store.StopWaiting();
        replays.Stop();
        server.Stop();
        LogLine("stopped");
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "tidewarden-scores: " << error.what() << "\n";
        return 1;
    }
}
