// SPDX-License-Identifier: MIT
// The difficulty table: how far games get, what takes the lives on each level, how long a level
// lasts and how much air is left when the diver surfaces.
#include "Tally.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>

namespace playtest {

namespace {

constexpr double kSecondsPerTick = 0.016;

std::string fixed(double v, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

} // namespace

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const double rank = std::ceil(p / 100.0 * static_cast<double>(values.size()));
    const auto index = static_cast<std::size_t>(std::clamp(rank, 1.0, static_cast<double>(values.size()))) - 1;
    return values[index];
}

void PrintTally(std::ostream& out, const std::string& profile, const std::vector<GameRecord>& games) {
    std::vector<double> reached, scores;
    int stopped = 0;
    std::size_t deepest = 0;
    for (const GameRecord& g : games) {
        reached.push_back(g.levelReached);
        scores.push_back(g.score);
        if (!g.over) ++stopped;
        deepest = std::max(deepest, g.levels.size());
    }
    out << "profile " << profile << ": " << games.size() << " games; level reached p10 " << Percentile(reached, 10)
        << ", median " << Percentile(reached, 50) << ", p90 " << Percentile(reached, 90) << "; score median "
        << Percentile(scores, 50);
    if (stopped) out << "; " << stopped << " still alive at the limit";
    out << "\n";
    out << "  level  games  passed  lost: fish  rock  air   seconds (median)  air left at the end (median, of start)\n";
    for (std::size_t level = 0; level < deepest; ++level) {
        int played = 0, passed = 0, fish = 0, rock = 0, air = 0;
        std::vector<double> seconds, airLeft, airShare;
        for (const GameRecord& g : games) {
            if (level >= g.levels.size()) continue;
            const LevelRecord& r = g.levels[level];
            ++played;
            fish += r.lostToFish;
            rock += r.lostToRock;
            air += r.lostToAir;
            if (!r.passed) continue;
            ++passed;
            seconds.push_back(r.ticks * kSecondsPerTick);
            airLeft.push_back(r.airLeft);
            if (r.airAtStart > 0) airShare.push_back(100.0 * r.airLeft / r.airAtStart);
        }
        char line[200];
        std::snprintf(
            line, sizeof line, "  %5zu  %5d  %6d  %10d  %4d  %4d   %16s  %s\n", level + 1, played, passed, fish, rock,
            air, passed ? fixed(Percentile(seconds, 50), 1).c_str() : "-",
            passed ? (fixed(Percentile(airLeft, 50), 0) + " (" + fixed(Percentile(airShare, 50), 0) + " %)").c_str()
                   : "-");
        out << line;
    }
}

} // namespace playtest
