// SPDX-License-Identifier: MIT
// Load for the world high-score service: clients at once, each sending version check and
// submission pairs with the game's own client and encoder over one kept-alive connection, spread
// over one or more service processes; then the time of the page of the best hundred of each
// period. All its clients are one address, so start tidewarden-scores with --limit-versions 0
// --limit-submissions 0 --limit-pages 0 first, then:
//   scores_load [--url http://127.0.0.1:8421[,URL...]] [--clients 16] [--pairs 20000] [--page-samples 200]
// To measure a big table, fill the database first (results spread over the days before now):
//   scores_load --fill 1000000 --database FILE|URI [--days 400]
#include "online/ResultEncoding.h"
#include "online/SendResult.h"
#include "platform/HttpClient.h"
#include "ScoreStore.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration span) { return std::chrono::duration<double, std::milli>(span).count(); }

double Percentile(std::vector<double>& sorted, double fraction) {
    if (sorted.empty()) return 0;
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1));
    return sorted[index];
}

// Stores results without the service, in batches, as if sent over the days before now.
int Fill(const std::string& database, long count, int days) {
    const auto start = Clock::now();
    std::unique_ptr<tw::scores::ScoreStore> store;
    try {
        store = tw::scores::OpenStore(database);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    const std::int64_t now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    std::mt19937_64 random(42);
    std::uniform_int_distribution<std::int64_t> age(0, std::int64_t{days} * 86400);
    std::uniform_int_distribution<int> score(0, 65535);
    std::vector<tw::scores::StoredResult> batch;
    for (long n = 0; n < count; ++n) {
        std::string name = "F";
        name += std::to_string(n % 100000000);
        const std::int64_t time = now - age(random);
        batch.push_back({name, "fill", static_cast<std::uint16_t>(score(random)), time, {}});
        if (batch.size() == 20000 || n + 1 == count) {
            store->Import(batch);
            batch.clear();
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("filled %ld results over %d days in %.1f s (%.0f a second)\n", count, days, seconds,
                static_cast<double>(count) / seconds);
    return 0;
}

// One client of the game is one sending, bounded to 10 s in all; a load client sends for as long
// as the run takes.
tw::platform::HttpLimits LoadLimits() {
    tw::platform::HttpLimits limits;
    limits.totalTimeout = std::chrono::hours(1);
    return limits;
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, ',');)
        if (!part.empty()) parts.push_back(part);
    return parts;
}

} // namespace

int main(int argc, char** argv) {
    std::string url = "http://127.0.0.1:8421";
    int clients = 16;
    long pairs = 20000;
    int pageSamples = 200;
    long fill = 0;
    int days = 400;
    std::string database;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--url")
            url = argv[i + 1];
        else if (option == "--fill")
            fill = std::max(1L, std::atol(argv[i + 1]));
        else if (option == "--days")
            days = std::max(1, std::atoi(argv[i + 1]));
        else if (option == "--database")
            database = argv[i + 1];
        else if (option == "--clients")
            clients = std::max(1, std::atoi(argv[i + 1]));
        else if (option == "--pairs")
            pairs = std::max(1L, std::atol(argv[i + 1]));
        else if (option == "--page-samples")
            pageSamples = std::max(1, std::atoi(argv[i + 1]));
        else {
            std::fprintf(stderr, "unknown option %s\n", option.c_str());
            return 2;
        }
    }
    if (fill > 0) {
        if (database.empty()) {
            std::fprintf(stderr, "--fill needs --database\n");
            return 2;
        }
        return Fill(database, fill, days);
    }
    const std::vector<std::string> urls = Split(url);
    if (urls.empty()) {
        std::fprintf(stderr, "--url needs an address\n");
        return 2;
    }

    std::atomic<long> next{0};
    std::atomic<long> stored{0};
    std::atomic<long> failed{0};
    std::vector<std::vector<double>> latencies(static_cast<std::size_t>(clients));
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            tw::platform::CurlHttpClient http(LoadLimits());
            const std::string& target = urls[static_cast<std::size_t>(c) % urls.size()];
            auto& mine = latencies[static_cast<std::size_t>(c)];
            for (long n = next++; n < pairs; n = next++) {
                try {
                    auto t0 = Clock::now();
                    const std::string version = http.Get(tw::online::VersionCheckUrl(target));
                    mine.push_back(Milliseconds(Clock::now() - t0));
                    const auto token = tw::online::TokenFromAnswer(version);
                    std::string name = "L";
                    name += std::to_string(n); // appended: GCC 12 misreads "L" + to_string(n) as an overlap
                    const std::string inf = tw::online::EncodeRecord(tw::online::ResultRecord(
                        name, static_cast<std::uint16_t>(n % 65536), token.value_or(""), "bench"));
                    t0 = Clock::now();
                    const std::string answer = http.Get(tw::online::SubmissionUrl(target, inf));
                    mine.push_back(Milliseconds(Clock::now() - t0));
                    if (version.rfind("OK", 0) == 0 && answer.rfind("OK", 0) == 0)
                        ++stored;
                    else
                        ++failed;
                } catch (const tw::platform::HttpError&) {
                    ++failed;
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

    std::vector<double> all;
    for (const auto& mine : latencies) all.insert(all.end(), mine.begin(), mine.end());
    std::sort(all.begin(), all.end());
    std::printf("%d clients over %zu processes, %ld pairs in %.2f s: %ld stored, %ld failed, %.0f stored results/s\n",
                clients, urls.size(), pairs, seconds, stored.load(), failed.load(),
                static_cast<double>(stored.load()) / seconds);
    std::printf("exchange: median %.2f ms, 99th percentile %.2f ms, max %.2f ms (%zu exchanges)\n",
                Percentile(all, 0.5), Percentile(all, 0.99), all.empty() ? 0.0 : all.back(), all.size());

    tw::platform::CurlHttpClient http(LoadLimits());
    for (const char* period : {"all", "day", "week", "month"}) {
        const std::string page =
            urls[0] + std::string(tw::online::ScriptPath) + "?prg=Tidewarden&show&type=0&period=" + period;
        std::vector<double> pageTimes;
        std::size_t pageBytes = 0;
        for (int i = 0; i < pageSamples; ++i) {
            const auto t0 = Clock::now();
            try {
                pageBytes = http.Get(page).size();
            } catch (const tw::platform::HttpError& error) {
                std::fprintf(stderr, "page: %s\n", error.what());
                return 1;
            }
            pageTimes.push_back(Milliseconds(Clock::now() - t0));
        }
        std::sort(pageTimes.begin(), pageTimes.end());
        std::printf("page of the best 100, period %s (%zu bytes): median %.2f ms, 99th percentile %.2f ms\n", period,
                    pageBytes, Percentile(pageTimes, 0.5), Percentile(pageTimes, 0.99));
    }
    return failed.load() == 0 ? 0 : 1;
}
