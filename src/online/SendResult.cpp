// SPDX-License-Identifier: MIT
// The exchanges of a result submission.
#include "online/SendResult.h"

#include "online/ResultEncoding.h"

namespace tw::online {

namespace {

// A failed exchange reads as an empty answer, which fails the "OK" test.
std::string AnswerOf(platform::HttpClient& http, const std::string& url) {
    try {
        return http.Get(url);
    } catch (const platform::HttpError&) {
        return {};
    }
}

bool StartsWithOk(std::string_view answer) { return answer.substr(0, 2) == "OK"; }

} // namespace

std::string VersionCheckUrl(std::string_view baseUrl) {
    return std::string(baseUrl) + std::string(ScriptPath) + "?version&prg=Tidewarden";
}

std::string SubmissionUrl(std::string_view baseUrl, std::string_view inf) {
    return std::string(baseUrl) + std::string(ScriptPath) + "?hs&prg=Tidewarden&inf=" + std::string(inf);
}

std::string ReplayUploadUrl(std::string_view baseUrl, std::string_view token) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string url = std::string(baseUrl) + std::string(ReplayPath) + "?token=";
    for (const char c : token) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '_' ||
            c == '.' || c == '~') {
            url += c;
        } else {
            url += '%';
            url += hex[byte >> 4];
            url += hex[byte & 15U];
        }
    }
    return url;
}

bool SendResult(platform::HttpClient& http, std::string_view baseUrl, std::string_view name, std::uint16_t score,
                std::string_view country, const std::string& replay) {
    const std::string version = AnswerOf(http, VersionCheckUrl(baseUrl));
    if (!StartsWithOk(version)) return false;
    const auto token = TokenFromAnswer(version);
    if (!token) return false;
    const std::string inf = EncodeRecord(ResultRecord(name, score, *token, country));
    if (!StartsWithOk(AnswerOf(http, SubmissionUrl(baseUrl, inf)))) return false;
    if (!replay.empty() && !token->empty()) {
        try {
            http.Post(ReplayUploadUrl(baseUrl, *token), replay);
        } catch (const platform::HttpError&) {
            // The result is stored; only the proof of it is missing, which a player need not hear of.
        }
    }
    return true;
}

bool SendResult(std::string_view baseUrl, std::string_view name, std::uint16_t score, std::string_view country,
                platform::HttpLimits limits, const std::string& replay) {
    try {
        platform::CurlHttpClient http(limits);
        return SendResult(http, baseUrl, name, score, country, replay);
    } catch (const platform::HttpError&) {
        return false; // libcurl could not even be set up: as good as no connection
    }
}

} // namespace tw::online
