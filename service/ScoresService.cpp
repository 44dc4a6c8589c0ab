// Request checking and the answers of the high-score service.
#include "ScoresService.h"

#include "RecordCodec.h"

#include <httplib.h>

#include <chrono>
#include <ctime>
#include <set>
#include <string_view>
#include <vector>

namespace tw::scores {

namespace {

constexpr const char* ScriptPath = "/cgi/version.pl";
constexpr const char* ProgramName = "Tidewarden";

// An answer the game reads as a failure: it never starts with "OK".
void Refuse(httplib::Response& response, int status, const std::string& reason) {
    response.status = status;
    response.set_content("ERROR " + reason + "\n", "text/plain; charset=utf-8");
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

// The log shows what came in, never raw bytes a client chose.
std::string Printable(const std::string& text, std::size_t limit) {
    std::string out;
    for (char c : text.substr(0, limit)) out += (c >= 0x20 && c < 0x7F) ? c : '?';
    if (text.size() > limit) out += "...(" + std::to_string(text.size()) + " bytes)";
    return out;
}

// The names of the query's parameters, as sent (still percent-encoded).
std::vector<std::string> QueryKeys(const std::string& target) {
    std::vector<std::string> keys;
    const std::size_t question = target.find('?');
    if (question == std::string::npos) return keys;
    std::string_view query(target);
    query.remove_prefix(question + 1);
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        keys.emplace_back(pair.substr(0, pair.find('=')));
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return keys;
}

std::int64_t SystemNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

ScoresService::ScoresService(ScoreStore& store, ServiceSettings settings)
    : store_(store), settings_(std::move(settings)) {
    if (!settings_.now) settings_.now = SystemNow;
}

void ScoresService::Install(httplib::Server& server) {
    const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
        Handle(request, response);
    };
    server.Get(".*", handler);
    server.Post(".*", handler);
    server.Put(".*", handler);
    server.Patch(".*", handler);
    server.Delete(".*", handler);
    server.Options(".*", handler);
    // What the library refuses itself (a request line too long, a bad request) is still an error
    // answer in words, never an empty page.
    server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (response.body.empty()) Refuse(response, response.status, "status " + std::to_string(response.status));
    });
    // Headers and body leave in separate writes; without this each answer waits for a delayed ACK.
    server.set_tcp_nodelay(true);
    server.set_payload_max_length(64 * 1024);
    server.set_read_timeout(5);
    server.set_write_timeout(5);
    server.set_keep_alive_timeout(2);
    server.set_keep_alive_max_count(1000);
    if (settings_.log) {
        server.set_logger([log = settings_.log](const httplib::Request& request, const httplib::Response& response) {
            std::string line = request.remote_addr + " " + Printable(request.method, 16) + " " +
                               Printable(request.target, 120) + " " + std::to_string(response.status) + " " +
                               Printable(response.body.substr(0, response.body.find_first_of("|\n")), 40);
            log(line);
        });
    }
}

void ScoresService::Handle(const httplib::Request& request, httplib::Response& response) {
    try {
        if (request.path != ScriptPath) return Refuse(response, 404, "no such page");
        // HEAD would hand out tokens nobody reads; the script only answers GET.
        if (request.method != "GET") return Refuse(response, 405, "only GET is answered");
        // Counted on the raw query: the parsed parameters fold repeated identical pairs into one.
        std::set<std::string> keys;
        for (const auto& key : QueryKeys(request.target))
            if (!keys.insert(key).second) return Refuse(response, 400, "parameter given twice");
        if (request.get_param_value("prg") != ProgramName) return Refuse(response, 400, "unknown program");

        const bool version = keys.count("version") != 0;
        const bool submit = keys.count("hs") != 0;
        const bool show = keys.count("show") != 0;
        if (int{version} + int{submit} + int{show} != 1) return Refuse(response, 400, "unknown request");
        const std::set<std::string> allowed = version  ? std::set<std::string>{"version", "prg"}
                                              : submit ? std::set<std::string>{"hs", "prg", "inf"}
                                                       : std::set<std::string>{"show", "prg", "type", "format"};
        for (const auto& key : keys)
            if (allowed.count(key) == 0) return Refuse(response, 400, "unexpected parameter");
        if (!request.get_param_value(version ? "version" : submit ? "hs" : "show").empty())
            return Refuse(response, 400, "unexpected value");

        if (version) return Version(response);
        if (submit) return Submit(request, response);
        return Show(request, response);
    } catch (const StoreError& error) {
        // The file is busy beyond the wait or broken: the client may try again; nothing was stored.
        if (settings_.log) settings_.log(std::string("store error: ") + error.what());
        return Refuse(response, 503, "store unavailable");
    }
}

void ScoresService::Version(httplib::Response& response) {
    const std::int64_t now = settings_.now();
    const std::string token = store_.IssueToken(now, now + settings_.tokenMinutes * 60);
    response.set_content(std::string("OK|") + ProgramName + "|1|0|" + token + "|\n", "text/plain; charset=utf-8");
}

void ScoresService::Submit(const httplib::Request& request, httplib::Response& response) {
    const auto record = DecodeInf(request.get_param_value("inf"));
    if (!record) return Refuse(response, 400, "inf is not an encoded record");
    const auto parsed = ParseRecord(*record);
    if (!parsed.submission) return Refuse(response, 400, parsed.error);
    const Submission& submission = *parsed.submission;
    const std::int64_t now = settings_.now();
    switch (store_.StoreResult(submission.token, {submission.name, submission.country, submission.score, now}, now)) {
    case Refusal::None: response.set_content("OK\n", "text/plain; charset=utf-8"); return;
    case Refusal::UnknownToken: return Refuse(response, 403, "unknown token");
    case Refusal::ExpiredToken: return Refuse(response, 403, "expired token");
    case Refusal::UsedToken: return Refuse(response, 403, "token already used");
    }
}

void ScoresService::Show(const httplib::Request& request, httplib::Response& response) {
    if (request.get_param_value("type") != "0") return Refuse(response, 400, "unknown table type");
    const std::string format = request.has_param("format") ? request.get_param_value("format") : "html";
    if (format != "html" && format != "json") return Refuse(response, 400, "unknown format");
    const auto best = store_.Best(settings_.tablePlaces);
    if (format == "json")
        response.set_content(TableJson(best), "application/json");
    else
        response.set_content(TablePage(best), "text/html; charset=utf-8");
}

std::string TablePage(const std::vector<StoredResult>& best) {
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
        page += "<table>\n<tr><th>PLACE</th><th>NAME</th><th>COUNTRY</th><th>SCORE</th><th>DATE</th></tr>\n";
        int place = 0;
        for (const auto& result : best) {
            page += "<tr><td class=\"n\">" + std::to_string(++place) + "</td><td>" + HtmlEscaped(result.name) +
                    "</td><td>" + HtmlEscaped(result.country) + "</td><td class=\"n\">" + std::to_string(result.score) +
                    "</td><td>" + DateOf(result.time) + "</td></tr>\n";
        }
        page += "</table>\n";
    }
    page += "</body></html>\n";
    return page;
}

std::string TableJson(const std::vector<StoredResult>& best) {
    std::string json = "{\"results\":[";
    int place = 0;
    for (const auto& result : best) {
        if (place > 0) json += ',';
        json += "{\"place\":" + std::to_string(++place) + ",\"name\":\"" + JsonEscaped(result.name) +
                "\",\"country\":\"" + JsonEscaped(result.country) + "\",\"score\":" + std::to_string(result.score) +
                ",\"date\":\"" + DateOf(result.time) + "\"}";
    }
    json += "]}\n";
    return json;
}

} // namespace tw::scores
