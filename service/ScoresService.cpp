// SPDX-License-Identifier: MIT
// Request checking and the answers of the high-score service.
#include "ScoresService.h"

#include "ClientAddress.h"
#include "RecordCodec.h"

#include <chrono>
#include <ctime>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

namespace tw::scores {

// The query's parameters: names as sent (still percent-encoded, so "pr%67" is no "prg"), values
// decoded.
struct Query {
    std::vector<std::pair<std::string, std::string>> pairs;
    const std::string* Find(std::string_view key) const {
        for (const auto& [name, value] : pairs)
            if (name == key) return &value;
        return nullptr;
    }
};

namespace {

constexpr const char* ScriptPath = "/cgi/version.pl";
constexpr const char* ReplayPath = "/cgi/replay.pl";
// Every replay file starts so; anything else is not worth a check.
constexpr std::string_view ReplayMagic = "TWRP";
constexpr const char* ProgramName = "Tidewarden";

// An answer the game reads as a failure: it never starts with "OK".
Answer ErrorAnswer(int status, const std::string& reason) {
    Answer answer;
    answer.status = status;
    answer.body = "ERROR " + reason + "\n";
    return answer;
}

std::string HtmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string JsonEscaped(const std::string& text) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            out += "\\u00";
            out += hex[byte >> 4];
            out += hex[byte & 15U];
        } else {
            out += c;
        }
    }
    return out;
}

std::string DateOf(std::int64_t seconds) {
    const auto time = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &utc);
    return text;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A query value as a browser encodes it: "+" a space, "%XX" a byte; a broken escape stays as it is.
std::string Decoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

Query ParseQuery(std::string_view query) {
    Query parsed;
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const std::size_t equals = pair.find('=');
        parsed.pairs.emplace_back(std::string(pair.substr(0, equals)),
                                  equals == std::string_view::npos ? std::string() : Decoded(pair.substr(equals + 1)));
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return parsed;
}

// The query's parameter names, or nothing when one is given twice.
std::optional<std::set<std::string>> DistinctKeys(const Query& query) {
    std::set<std::string> keys;
    for (const auto& [key, value] : query.pairs)
        if (!keys.insert(key).second) return std::nullopt;
    return keys;
}

std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t SystemNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

ScoresService::ScoresService(ScoreStore& store, ServiceSettings settings)
    : store_(store), settings_(std::move(settings)),
      limiter_({settings_.versions, settings_.submissions, settings_.pages, settings_.replays}) {
    if (!settings_.now) settings_.now = SystemNow;
    if (!settings_.steadyMs) settings_.steadyMs = SteadyMs;
}

Answer ScoresService::Handle(const Request& request) {
    const std::size_t question = request.target.find('?');
    const std::string_view path = std::string_view(request.target).substr(0, question);
    // For the proxy or a supervisor: costs nothing, counts toward no limit, touches no file.
    if (path == "/health") {
        if (request.method != "GET") return ErrorAnswer(405, "only GET is answered");
        return {200, "OK\n", "text/plain; charset=utf-8", 0, 0, {}};
    }
    try {
        ForgetOldAddresses(settings_.now());
        return Script(request);
    } catch (const StoreError& error) {
        // The file is busy beyond the wait or broken: the client may try again; nothing was stored.
        if (settings_.log) settings_.log(std::string("store error: ") + error.what());
        return ErrorAnswer(503, "store unavailable");
    }
}

Answer ScoresService::Script(const Request& request) {
    const std::size_t question = request.target.find('?');
    const std::string_view path = std::string_view(request.target).substr(0, question);
    const Query query = ParseQuery(
        question == std::string::npos ? std::string_view() : std::string_view(request.target).substr(question + 1));
    // Counted before anything else, so malformed requests and other paths drain a bucket too: the
    // version check's, the submission's, or the pages' for everything else.
    const bool script = path == ScriptPath;
    const Limited kind = script && query.Find("version") ? Limited::Versions
                         : script && query.Find("hs")    ? Limited::Submissions
                         : path == ReplayPath            ? Limited::Replays
                                                         : Limited::Pages;
    if (const int wait = limiter_.Take(LimitKey(request.client), kind, settings_.steadyMs()); wait > 0) {
        Answer answer = ErrorAnswer(429, "too many requests, try again later");
        answer.retryAfter = wait;
        return answer;
    }

    if (path == ReplayPath) return ReplayScript(request, query);
    if (!script) return ErrorAnswer(404, "no such page");
    // HEAD would hand out tokens nobody reads; the script only answers GET.
    if (request.method != "GET") return ErrorAnswer(405, "only GET is answered");
    const auto distinct = DistinctKeys(query);
    if (!distinct) return ErrorAnswer(400, "parameter given twice");
    const std::set<std::string>& keys = *distinct;
    const std::string* program = query.Find("prg");
    if (!program || *program != ProgramName) return ErrorAnswer(400, "unknown program");

    const bool version = keys.count("version") != 0;
    const bool submit = keys.count("hs") != 0;
    const bool show = keys.count("show") != 0;
    if (int{version} + int{submit} + int{show} != 1) return ErrorAnswer(400, "unknown request");
    const std::set<std::string> allowed = version  ? std::set<std::string>{"version", "prg"}
                                          : submit ? std::set<std::string>{"hs", "prg", "inf"}
                                                   : std::set<std::string>{"show", "prg", "type", "format", "period"};
    for (const auto& key : keys)
        if (allowed.count(key) == 0) return ErrorAnswer(400, "unexpected parameter");
    const std::string* flag = query.Find(version ? "version" : submit ? "hs" : "show");
    if (flag && !flag->empty()) return ErrorAnswer(400, "unexpected value");

    if (version) return Version(request);
    if (submit) {
        const std::string* inf = query.Find("inf");
        return Submit(request, inf ? *inf : std::string());
    }
    const std::string* type = query.Find("type");
    return Show(type ? *type : std::string(), query.Find("format"), query.Find("period"));
}

void ScoresService::ForgetOldAddresses(std::int64_t now) {
    // Once an hour is soon enough for a limit counted in days.
    std::int64_t last = lastForget_.load();
    if (now - last < 3600 || !lastForget_.compare_exchange_strong(last, now)) return;
    store_.ForgetAddresses(now - std::int64_t{settings_.keepAddressDays} * 24 * 3600);
}

Answer ScoresService::Version(const Request& request) {
    if (store_.AddressRefused(request.client)) return ErrorAnswer(403, "refused");
    const std::int64_t now = settings_.now();
    const std::string token = store_.IssueToken(now, now + settings_.tokenMinutes * 60, request.client);
    return {200, std::string("OK|") + ProgramName + "|1|0|" + token + "|\n", "text/plain; charset=utf-8", 0, 0, {}};
}

Answer ScoresService::Submit(const Request& request, const std::string& inf) {
    const auto record = DecodeInf(inf);
    if (!record) return ErrorAnswer(400, "inf is not an encoded record");
    const auto parsed = ParseRecord(*record);
    if (!parsed.submission) return ErrorAnswer(400, parsed.error);
    const Submission& submission = *parsed.submission;
    const std::int64_t now = settings_.now();
    const std::string address = settings_.keepAddressDays > 0 ? request.client : std::string();
    switch (store_.StoreResult(submission.token, {submission.name, submission.country, submission.score, now, address},
                               now)) {
    case Refusal::None: return {200, "OK\n", "text/plain; charset=utf-8", 0, 0, {}};
    case Refusal::UnknownToken: return ErrorAnswer(403, "unknown token");
    case Refusal::ExpiredToken: return ErrorAnswer(403, "expired token");
    case Refusal::UsedToken: return ErrorAnswer(403, "token already used");
    case Refusal::RefusedName:
    case Refusal::RefusedAddress: return ErrorAnswer(403, "refused");
    }
    return ErrorAnswer(500, "unknown refusal");
}

Answer ScoresService::Show(const std::string& type, const std::string* format, const std::string* period) {
    if (type != "0") return ErrorAnswer(400, "unknown table type");
    const std::string shape = format ? *format : "html";
    if (shape != "html" && shape != "json") return ErrorAnswer(400, "unknown format");
    // All time unless asked: the page the game links to stays the table it always was.
    const std::string span = period ? *period : "all";
    Period chosen = Period::All;
    if (span == "day")
        chosen = Period::Day;
    else if (span == "week")
        chosen = Period::Week;
    else if (span == "month")
        chosen = Period::Month;
    else if (span != "all")
        return ErrorAnswer(400, "unknown period");
    const auto best = store_.Table(settings_.tablePlaces, chosen, settings_.now(), settings_.requireVerified);
    // A proxy may serve the table for a few seconds: it changes only when a result is stored.
    if (shape == "json") return {200, TableJson(best, settings_.checkReplays), "application/json", 10, 0, {}};
    return {200, TablePage(best, settings_.checkReplays), "text/html; charset=utf-8", 10, 0, {}};
}

std::size_t ScoresService::BodyLimit(std::string_view method, std::string_view target) const {
    return method == "POST" && target.substr(0, target.find('?')) == ReplayPath ? settings_.replayBytes : 0;
}

Answer ScoresService::ReplayScript(const Request& request, const Query& query) {
    const auto keys = DistinctKeys(query);
    if (!keys) return ErrorAnswer(400, "parameter given twice");

    if (request.method == "GET") {
        // A verified replay, for anyone to watch with the game.
        const std::string* id = query.Find("id");
        if (!id || keys->size() != 1 || id->empty() || id->size() > 18 ||
            id->find_first_not_of("0123456789") != std::string::npos)
            return ErrorAnswer(400, "unknown request");
        const std::int64_t number = std::stoll(*id);
        const auto bytes = store_.VerifiedReplay(number);
        if (!bytes) return ErrorAnswer(404, "no verified replay of that entry");
        // A verified replay never changes; it goes only with its entry.
        return {200, *bytes, "application/octet-stream", 300, 0, "tidewarden-" + *id + ".twr"};
    }
    if (request.method != "POST") return ErrorAnswer(405, "only GET and POST are answered");

    const std::string* token = query.Find("token");
    if (!token || keys->size() != 1) return ErrorAnswer(400, "unknown request");
    if (!settings_.checkReplays) return ErrorAnswer(501, "replays are not checked here");
    if (request.body.empty()) return ErrorAnswer(400, "no replay");
    if (request.body.size() > settings_.replayBytes)
        return ErrorAnswer(413, "replay larger than " + std::to_string(settings_.replayBytes) + " bytes");
    if (std::string_view(request.body).substr(0, ReplayMagic.size()) != ReplayMagic)
        return ErrorAnswer(400, "not a replay");
    if (store_.WaitingReplays() >= settings_.replayQueue) {
        Answer answer = ErrorAnswer(503, "too many replays waiting for their check, try again later");
        answer.retryAfter = 60;
        return answer;
    }
    switch (store_.StoreReplay(*token, request.body, settings_.now())) {
    case ReplayRefusal::None:
        if (settings_.replayReceived) settings_.replayReceived();
        return {202, "OK replay received\n", "text/plain; charset=utf-8", 0, 0, {}};
    case ReplayRefusal::UnknownToken: return ErrorAnswer(403, "unknown token");
    case ReplayRefusal::ExpiredToken: return ErrorAnswer(403, "expired token");
    case ReplayRefusal::NoResult: return ErrorAnswer(403, "no result was stored with this token");
    case ReplayRefusal::AlreadyReceived: return ErrorAnswer(409, "a replay was received for this token already");
    }
    return ErrorAnswer(500, "unknown refusal");
}

std::string TablePage(const std::vector<StoredResult>& best, bool replays) {
    // Black ground, light blue text and red headings: the game's own screen colours.
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                       "<title>Tide Warden - world high scores</title><style>"
                       "body{background:#000;color:#99ccff;font-family:Arial,Helvetica,sans-serif;text-align:center}"
                       "h1{color:#ff0000;letter-spacing:.1em}table{margin:0 auto;border-collapse:collapse}"
                       "th{color:#ff0000;padding:4px 16px}td{padding:2px 16px}td.n{text-align:right}"
                       "tr:nth-child(odd) td{background:#0a1a2a}"
                       "</style></head><body>\n<h1>WORLD HIGH SCORES</h1>\n";
    if (best.empty()) {
        page += "<p>No results yet.</p>\n";
    } else {
        page += std::string("<table>\n<tr><th>PLACE</th><th>NAME</th><th>COUNTRY</th><th>SCORE</th><th>DATE</th>") +
                (replays ? "<th>REPLAY</th>" : "") + "</tr>\n";
        int place = 0;
        for (const auto& result : best) {
            page += "<tr><td class=\"n\">" + std::to_string(++place) + "</td><td>" + HtmlEscaped(result.name) +
                    "</td><td>" + HtmlEscaped(result.country) + "</td><td class=\"n\">" + std::to_string(result.score) +
                    "</td><td>" + DateOf(result.time) + "</td>";
            // Relative to the page, so a proxy's path in front of the script is kept.
            if (replays)
                page += result.verified ? "<td>VERIFIED <a href=\"replay.pl?id=" + std::to_string(result.id) +
                                              "\" download>download</a></td>"
                                        : "<td></td>";
            page += "</tr>\n";
        }
        page += "</table>\n";
    }
    page += "</body></html>\n";
    return page;
}

std::string TableJson(const std::vector<StoredResult>& best, bool replays) {
    std::string json = "{\"results\":[";
    int place = 0;
    for (const auto& result : best) {
        if (place > 0) json += ',';
        json += "{\"place\":" + std::to_string(++place) + ",\"name\":\"" + JsonEscaped(result.name) +
                "\",\"country\":\"" + JsonEscaped(result.country) + "\",\"score\":" + std::to_string(result.score) +
                ",\"date\":\"" + DateOf(result.time) + "\"";
        if (replays) {
            json += std::string(",\"verified\":") + (result.verified ? "true" : "false");
            if (result.verified) json += ",\"replay\":\"/cgi/replay.pl?id=" + std::to_string(result.id) + "\"";
        }
        json += "}";
    }
    json += "]}\n";
    return json;
}

} // namespace tw::scores
