// SPDX-License-Identifier: MIT
// The commands read their own small command line and act on a ScoreStore of their own.
#include "Moderation.h"

#include "ScoreStore.h"

#include <chrono>
#include <ctime>
#include <ostream>
#include <stdexcept>

namespace tw::scores {

const char* const ModerationUsage =
    "Moderation (safe while the service runs on the same database):\n"
    "  tidewarden-scores list [--database FILE|URI] [--count N]\n"
    "      the best N entries (default 100): id, place, score, name, country, time stored, address,\n"
    "      replay (verified, not verified, waiting, or - for none)\n"
    "  tidewarden-scores remove [--database FILE|URI] ID...\n"
    "  tidewarden-scores refuse [--database FILE|URI] name NAME | address ADDRESS|CIDR\n"
    "      refuses results under that name (letter case and spaces aside) or from that address\n"
    "  tidewarden-scores allow [--database FILE|URI] name NAME | address ADDRESS|CIDR\n"
    "  tidewarden-scores refusals [--database FILE|URI]\n";

namespace {

// Whether the entry is proved, for the moderator who looks for forged entries.
const char* ReplayText(const std::optional<ReplayState>& state) {
    if (!state) return "-";
    switch (*state) {
    case ReplayState::Waiting: return "waiting";
    case ReplayState::Verified: return "verified";
    case ReplayState::Failed: return "not verified";
    }
    return "-";
}

std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string TimeText(std::int64_t seconds) {
    const auto time = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
    return text;
}

long Number(const std::string& text, const std::string& what) {
    std::size_t used = 0;
    long value = -1;
    try {
        value = std::stol(text, &used);
    } catch (const std::exception&) {}
    if (used != text.size() || value < 0) throw std::invalid_argument(what + " is not a number: " + text);
    return value;
}

struct CommandLine {
    std::string command;
    std::string database = "tidewarden-scores.db";
    int count = 100;
    std::vector<std::string> words;
};

CommandLine Parse(const std::vector<std::string>& arguments) {
    CommandLine line;
    line.command = arguments.at(0);
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (arg == "--database" || arg == "--count") {
            if (i + 1 >= arguments.size()) throw std::invalid_argument(arg + " needs a value");
            if (arg == "--database")
                line.database = arguments[++i];
            else
                line.count = static_cast<int>(std::min(Number(arguments[++i], "--count"), 1000000L));
        } else {
            line.words.push_back(arg);
        }
    }
    return line;
}

Refused KindOf(const std::vector<std::string>& words) {
    if (words.size() != 2 || (words[0] != "name" && words[0] != "address"))
        throw std::invalid_argument("give: name NAME, or address ADDRESS|CIDR");
    return words[0] == "name" ? Refused::Name : Refused::Address;
}

} // namespace

bool IsModerationCommand(const std::string& word) {
    return word == "list" || word == "remove" || word == "refuse" || word == "allow" || word == "refusals";
}

int RunModeration(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    CommandLine line;
    try {
        line = Parse(arguments);
        if (line.command == "remove" && line.words.empty()) throw std::invalid_argument("remove needs ids");
        if ((line.command == "list" || line.command == "refusals") && !line.words.empty())
            throw std::invalid_argument("unexpected argument: " + line.words[0]);
        if (line.command == "refuse" || line.command == "allow") KindOf(line.words);
        if (line.command == "remove")
            for (const auto& word : line.words) Number(word, "an id");
    } catch (const std::exception& error) {
        err << "tidewarden-scores: " << error.what() << "\n" << ModerationUsage;
        return 2;
    }

    try {
        const auto opened = OpenStore(line.database);
        ScoreStore& store = *opened;
        if (line.command == "list") {
            out << "id\tplace\tscore\tname\tcountry\tstored (UTC)\taddress\treplay\n";
            for (const auto& entry : store.Entries(line.count))
                out << entry.id << '\t' << entry.place << '\t' << entry.result.score << '\t' << entry.result.name
                    << '\t' << entry.result.country << '\t' << TimeText(entry.result.time) << '\t'
                    << (entry.result.address.empty() ? "-" : entry.result.address) << '\t' << ReplayText(entry.replay)
                    << '\n';
            return 0;
        }
        if (line.command == "remove") {
            std::vector<std::int64_t> ids;
            for (const auto& word : line.words) ids.push_back(Number(word, "an id"));
            const int removed = store.Remove(ids);
            out << "removed " << removed << " of " << ids.size() << " entries\n";
            return removed == static_cast<int>(ids.size()) ? 0 : 1;
        }
        if (line.command == "refusals") {
            for (const auto& refusal : store.Refusals())
                out << (refusal.kind == Refused::Name ? "name" : "address") << '\t' << refusal.value << '\t'
                    << TimeText(refusal.since) << '\n';
            return 0;
        }
        const Refused kind = KindOf(line.words);
        if (line.command == "refuse") {
            store.Refuse(kind, line.words[1], Now());
            out << "refused " << line.words[0] << " " << line.words[1] << "\n";
            return 0;
        }
        if (store.Allow(kind, line.words[1])) {
            out << "allowed " << line.words[0] << " " << line.words[1] << " again\n";
            return 0;
        }
        err << "tidewarden-scores: " << line.words[0] << " " << line.words[1] << " was not refused\n";
        return 1;
    } catch (const std::invalid_argument& error) {
        err << "tidewarden-scores: " << error.what() << "\n";
        return 2;
    } catch (const std::exception& error) {
        err << "tidewarden-scores: " << error.what() << "\n";
        return 1;
    }
}

} // namespace tw::scores
