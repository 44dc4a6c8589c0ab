// Sends one result to the world high-score service: the version check that hands out a token,
// then the submission of the encoded record. Blocks until both exchanges have ended.
#pragma once

#include "platform/HttpClient.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::online {

// The service's one script, below its base address.
inline constexpr std::string_view ScriptPath = "/cgi/version.pl";

std::string VersionCheckUrl(std::string_view baseUrl);
std::string SubmissionUrl(std::string_view baseUrl, std::string_view inf);

// True when both answers start with "OK". Every failed exchange, an answer that does not start
// with "OK" and a token too long to trust give false; nothing is retried. http should be a fresh
// session, so the cookies of the version check go with this submission only.
bool SendResult(platform::HttpClient& http, std::string_view baseUrl, std::string_view name, std::uint16_t score,
                std::string_view country);

// The same over a fresh libcurl session with these waits: what the game's send question calls.
bool SendResult(std::string_view baseUrl, std::string_view name, std::uint16_t score, std::string_view country,
                platform::HttpLimits limits = {});

} // namespace tw::online
