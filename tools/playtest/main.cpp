// SPDX-License-Identifier: MIT
// playtest: plays whole games on the built data with automated divers of several skills, on fixed
// seeds, and prints a difficulty table for each: how far they get, what takes their lives on each
// level, how long a level lasts and how much air is left when the diver surfaces.
//   playtest [--profile idle|casual|skilled|all[,...]] [--games N] [--seed FIRST]
//            [--max-level L] [--max-ticks T] [--data FOLDER] [--shots FOLDER [--shot-every T]]
// --data plays on the data/ and sound/ of another folder (a saved copy of older data, say);
// --shots saves a screenshot of every game every T ticks (250 unless told).
#include "AutoDiver.h"
#include "Playthrough.h"
#include "Tally.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: playtest [--profile idle|casual|skilled|all[,...]] [--games N] [--seed FIRST]\n"
                 "                [--max-level L] [--max-ticks T] [--data FOLDER] [--shots FOLDER [--shot-every T]]\n");
    return 2;
}

bool number(const char* text, long min, long& out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!end || *end || end == text || v < min) return false;
    out = v;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<const playtest::Profile*> profiles;
    long games = 20, seed = 1, maxLevel = 20, maxTicks = 200000, shotEvery = 250;
    std::string data, shots;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return usage();
        const char* value = argv[++i];
        if (arg == "--data") {
            data = value;
        } else if (arg == "--shots") {
            shots = value;
        } else if (arg == "--profile") {
            std::stringstream names(value);
            for (std::string name; std::getline(names, name, ',');) {
                if (name == "all") {
                    for (const playtest::Profile& p : playtest::Profiles()) profiles.push_back(&p);
                } else if (const playtest::Profile* p = playtest::FindProfile(name)) {
                    profiles.push_back(p);
                } else {
                    std::fprintf(stderr, "playtest: no profile '%s'\n", name.c_str());
                    return usage();
                }
            }
        } else if (!((arg == "--games" && number(value, 1, games)) || (arg == "--seed" && number(value, 0, seed)) ||
                     (arg == "--max-level" && number(value, 1, maxLevel)) ||
                     (arg == "--max-ticks" && number(value, 1, maxTicks)) ||
                     (arg == "--shot-every" && number(value, 1, shotEvery)))) {
            return usage();
        }
    }
    if (profiles.empty())
        for (const playtest::Profile& p : playtest::Profiles()) profiles.push_back(&p);

    const playtest::Limits limits{static_cast<int>(maxLevel), static_cast<int>(maxTicks), data, shots,
                                  static_cast<int>(shotEvery)};
    std::cout << "playtest: " << games << " games a profile on seeds " << seed << ".." << seed + games - 1
              << ", up to level " << maxLevel << " or " << maxTicks << " ticks"
              << (data.empty() ? "" : ", data of " + data) << "\n";
    try {
        for (const playtest::Profile* profile : profiles) {
            std::vector<playtest::GameRecord> records;
            for (long g = 0; g < games; ++g)
                records.push_back(playtest::PlayGame(*profile, static_cast<std::uint32_t>(seed + g), limits));
            playtest::PrintTally(std::cout, profile->name, records);
            std::cout.flush();
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "playtest: %s\n", e.what());
        return 1;
    }
    return 0;
}
