// SPDX-License-Identifier: MIT
// The moderation commands of tidewarden-scores: list the stored entries with their ids, client
// addresses and replays, remove entries, refuse a name or an address from then on (and allow it
// again). They work on the file while the service runs: SQLite's log lets both write, one short
// transaction each.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tw::scores {

bool IsModerationCommand(const std::string& word);

// arguments: the command and what follows it. Returns the exit status: 0 done, 1 the file could not
// be used or an id was not found, 2 a bad command line.
int RunModeration(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

extern const char* const ModerationUsage;

} // namespace tw::scores
