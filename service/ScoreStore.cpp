// SPDX-License-Identifier: MIT
// What both stores share: picking one, the period numbers of a result, refusal matching, tokens.
#include "ScoreStore.h"

#include "ClientAddress.h"
#include "PostgresStore.h"
#include "SqliteStore.h"

#include <cctype>
#include <ctime>
#include <random>

namespace tw::scores {

namespace {

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

} // namespace

PeriodNumbers PeriodsOf(std::int64_t time) {
    PeriodNumbers numbers;
    numbers.day = FloorDiv(time, 86400);
    // 1 January 1970 was a Thursday: three days on, the weeks start on Mondays.
    numbers.week = FloorDiv(numbers.day + 3, 7);
    const auto seconds = static_cast<std::time_t>(time);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    numbers.month = (std::int64_t{utc.tm_year} + 1900) * 12 + utc.tm_mon;
    return numbers;
}

bool IsServerDatabase(const std::string& database) {
    return database.rfind("postgresql://", 0) == 0 || database.rfind("postgres://", 0) == 0;
}

std::unique_ptr<ScoreStore> OpenStore(const std::string& database, StoreOptions options) {
    if (IsServerDatabase(database)) return std::make_unique<PostgresStore>(database, options);
    return std::make_unique<SqliteStore>(database, options.limits);
}

std::string FoldedName(const std::string& name) {
    std::string folded;
    for (char c : name)
        if (c != ' ') folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

bool RefusalCovers(Refused kind, const std::string& refused, const std::string& value) {
    return kind == Refused::Name ? refused == FoldedName(value)
                                 : Network::Parse(refused).value_or(Network()).Contains(value);
}

const char* KindName(Refused kind) { return kind == Refused::Name ? "name" : "address"; }

std::string RandomToken() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    static constexpr char hex[] = "0123456789abcdef";
    std::string token;
    for (int word = 0; word < 2; ++word) {
        std::uint64_t bits = generator();
        for (int i = 0; i < 16; ++i, bits >>= 4) token.push_back(hex[bits & 15U]);
    }
    return token;
}

} // namespace tw::scores
