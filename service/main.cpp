// tidewarden-scores: the world high-score service for Tide Warden, one program with one SQLite file.
#include "ScoreStore.h"
#include "ScoresService.h"

#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <mutex>
#include <pthread.h>
#include <sys/socket.h>
#include <string>
#include <thread>

namespace {

constexpr const char* Usage =
    "Usage: tidewarden-scores [options]\n"
    "The world high-score service of Tide Warden: answers /cgi/version.pl (version check, result\n"
    "submission, the world table as a page and as JSON) and keeps everything in one SQLite file.\n"
    "\n"
    "  --address ADDR       address to listen on (default 127.0.0.1; 0.0.0.0 for every interface)\n"
    "  --port N             port to listen on (default 8421; 0 picks a free one)\n"
    "  --database FILE      the SQLite file (default tidewarden-scores.db in the current folder);\n"
    "                       several processes may share one file\n"
    "  --token-minutes N    how long a version check's token stays valid (default 10)\n"
    "  --threads N          requests answered at once (default 32)\n"
    "  --quiet              no line per request\n"
    "  --help               this text\n"
    "\n"
    "It logs one line per request to the standard error, and stops cleanly on SIGINT or SIGTERM.\n";

struct Options {
    std::string address = "127.0.0.1";
    int port = 8421;
    std::string database = "tidewarden-scores.db";
    long tokenMinutes = 10;
    long threads = 32;
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

// Nothing when the program should stop at once (help shown); throws on a bad option.
bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << Usage;
            return false;
        }
        if (arg == "--quiet") {
            options.quiet = true;
            continue;
        }
        if (i + 1 >= argc) throw std::invalid_argument("unknown option or missing value: " + arg);
        const char* value = argv[++i];
        if (arg == "--address")
            options.address = value;
        else if (arg == "--port")
            options.port = static_cast<int>(NumberArgument(arg, value, 0, 65535));
        else if (arg == "--database")
            options.database = value;
        else if (arg == "--token-minutes")
            options.tokenMinutes = NumberArgument(arg, value, 1, 24 * 60);
        else if (arg == "--threads")
            options.threads = NumberArgument(arg, value, 1, 1024);
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

} // namespace

int main(int argc, char** argv) {
    Options options;
    try {
        if (!ParseOptions(argc, argv, options)) return 0;
    } catch (const std::exception& error) {
        std::cerr << "tidewarden-scores: " << error.what() << "\n" << Usage;
        return 2;
    }

    // SIGINT and SIGTERM are taken by one thread that stops the server; every other thread
    // (the request workers too) inherits the blocked mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    try {
        tw::scores::ScoreStore store(options.database);
        tw::scores::ServiceSettings settings;
        settings.tokenMinutes = options.tokenMinutes;
        if (!options.quiet) settings.log = LogLine;
        tw::scores::ScoresService service(store, settings);

        httplib::Server server;
        const auto threads = static_cast<std::size_t>(options.threads);
        server.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
        service.Install(server);
        // The library listens with a backlog of 5: clients connecting together beyond that would
        // wait a second for their SYN to be sent again. Listening again only raises the backlog.
        int listening = -1;
        server.set_socket_options([&listening](int socket) {
            const int yes = 1;
            ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
            listening = socket;
        });

        int port = options.port;
        if (port == 0)
            port = server.bind_to_any_port(options.address);
        else if (!server.bind_to_port(options.address, port))
            port = -1;
        if (port < 0) {
            std::cerr << "tidewarden-scores: cannot listen on " << options.address << ":" << options.port << "\n";
            return 1;
        }
        if (listening >= 0) ::listen(listening, SOMAXCONN);
        LogLine("listening on http://" + options.address + ":" + std::to_string(port) + " (database " +
                options.database + ")");

        std::thread stopper([&server, stopSignals] {
            int signal = 0;
            sigwait(&stopSignals, &signal);
            server.stop();
        });
        const bool served = server.listen_after_bind();
        if (stopper.joinable()) {
            // The server may also end on its own; wake the waiting thread so it can be joined.
            pthread_kill(stopper.native_handle(), SIGTERM);
            stopper.join();
        }
        LogLine("stopped");
        return served ? 0 : 1;
    } catch (const std::exception& error) {
        std::cerr << "tidewarden-scores: " << error.what() << "\n";
        return 1;
    }
}
