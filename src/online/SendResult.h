// SPDX-License-Identifier: MIT
// Sends one result to the world high-score service: the version check that hands out a token,
// then the submission of the encoded record, then, when the game has one, the game's replay for the
// same token, which the service may check to mark the result verified. Blocks until the exchanges
// have ended.
#pragma once

#include "platform/HttpClient.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::online {

// The service's one script, below its base address.
inline constexpr std::string_view ScriptPath = "/cgi/version.pl";
// Where a result's replay goes, beside the script.
inline constexpr std::string_view ReplayPath = "/cgi/replay.pl";

std::string VersionCheckUrl(std::string_view baseUrl);
std::string SubmissionUrl(std::string_view baseUrl, std::string_view inf);
// The token percent-encoded: it came from the service's answer, whatever that held.
std::string ReplayUploadUrl(std::string_view baseUrl, std::string_view token);

// True when both answers start with "OK". Every failed exchange, an answer that does not start
// with "OK" and a token too long to trust give false; nothing is retried. http should be a fresh
// session, so the cookies of the version check go with this submission only. A replay (the
// encoded file; empty: none) is posted after a stored result only, and whatever becomes of it
// leaves the result sent: a service that takes no replays is as good as any other.
bool SendResult(platform::HttpClient& http, std::string_view baseUrl, std::string_view name, std::uint16_t score,
                std::string_view country, const std::string& replay = {});

// The same over a fresh libcurl session with these waits: what the game's send question calls.
bool SendResult(std::string_view baseUrl, std::string_view name, std::uint16_t score, std::string_view country,
                platform::HttpLimits limits = {}, const std::string& replay = {});

} // namespace tw::online
