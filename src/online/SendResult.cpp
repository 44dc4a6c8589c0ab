// The two exchanges of a result submission.
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

bool SendResult(platform::HttpClient& http, std::string_view baseUrl, std::string_view name, std::uint16_t score,
                std::string_view country) {
    const std::string version = AnswerOf(http, VersionCheckUrl(baseUrl));
    if (!StartsWithOk(version)) return false;
    const auto token = TokenFromAnswer(version);
    if (!token) return false;
    const std::string inf = EncodeRecord(ResultRecord(name, score, *token, country));
    return StartsWithOk(AnswerOf(http, SubmissionUrl(baseUrl, inf)));
}

bool SendResult(std::string_view baseUrl, std::string_view name, std::uint16_t score, std::string_view country,
                platform::HttpLimits limits) {
    try {
        platform::CurlHttpClient http(limits);
        return SendResult(http, baseUrl, name, score, country);
    } catch (const platform::HttpError&) {
        return false; // libcurl could not even be set up: as good as no connection
    }
}

} // namespace tw::online
