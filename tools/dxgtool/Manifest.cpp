// SPDX-License-Identifier: MIT
// Reading and escaping the manifest text of the collection tool.
#include "Manifest.h"

#include <sstream>
#include <stdexcept>

namespace {

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::string lower(std::string s) {
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

std::string escapeValue(const std::string& raw) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char ch = raw[i];
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c >= 0x7F || (c == ' ' && (i == 0 || i + 1 == raw.size()))) {
            // Leading and trailing spaces are escaped too: the reader trims them.
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

std::string unescapeValue(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else if (i + 3 < text.size() && text[i + 1] == 'x' && hexDigit(text[i + 2]) >= 0 &&
                   hexDigit(text[i + 3]) >= 0) {
            out += static_cast<char>(hexDigit(text[i + 2]) * 16 + hexDigit(text[i + 3]));
            i += 3;
        } else {
            throw std::runtime_error("bad escape in \"" + text + "\" (use \\\\ or \\xNN)");
        }
    }
    return out;
}

Manifest parseManifest(const std::string& text, const std::string& path) {
    Manifest m;
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    auto fail = [&](const std::string& what) {
        throw std::runtime_error(path + ":" + std::to_string(lineNo) + ": " + what);
    };
    while (std::getline(in, raw)) {
        ++lineNo;
        const std::string line = trim(raw);
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            if (lower(line) != "[item]") fail("unknown section " + line + " (only [item])");
            m.items.push_back(ManifestItem{lineNo, {}, {}});
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos) fail("expected \"key = value\", got \"" + line + "\"");
        const std::string key = lower(trim(line.substr(0, eq)));
        if (key.empty()) fail("missing key before '='");
        std::string value;
        try {
            value = unescapeValue(trim(line.substr(eq + 1)));
        } catch (const std::exception& e) {
            fail(e.what());
        }
        auto& target = m.items.empty() ? m.global : m.items.back().values;
        if (target.count(key)) fail("\"" + key + "\" given twice");
        target[key] = value;
        if (!m.items.empty()) m.items.back().order.push_back(key);
    }
    return m;
}
