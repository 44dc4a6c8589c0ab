// SPDX-License-Identifier: MIT
// The option table, the parser and the usage text of the program's command line.
#include "shell/CommandLine.h"

#ifndef TW_VERSION
#define TW_VERSION "unknown"
#endif

namespace {

// One option: its name, the name of its value (empty when it takes none), what it does, and how it
// is stored. A new option is one more line of the table.
struct TOptionEntry {
    std::string_view Name;
    std::string_view Value;
    std::string_view Help;
    // Stores the option; returns an error text, or nothing when the value is good.
    std::string (*Apply)(TRunOptions& options, std::string_view value);
};

constexpr TOptionEntry OptionTable[] = {
    {"--help", "", "show this help and end",
     [](TRunOptions& o, std::string_view) {
         o.ShowHelp = true;
         return std::string();
     }},
    {"--version", "", "show the version and end",
     [](TRunOptions& o, std::string_view) {
         o.ShowVersion = true;
         return std::string();
     }},
    {"--fullscreen", "", "play full screen this time (the saved choice stays as it is)",
     [](TRunOptions& o, std::string_view) {
         o.Windowed = false;
         return std::string();
     }},
    {"--windowed", "", "play in a window this time (the saved choice stays as it is)",
     [](TRunOptions& o, std::string_view) {
         o.Windowed = true;
         return std::string();
     }},
    {"--scores-url", "URL", "the world high-score service to use (else $TIDEWARDEN_SCORES_URL)",
     [](TRunOptions& o, std::string_view url) {
         if (!IsServiceAddress(url))
             return "--scores-url needs an http:// or https:// address, not '" + std::string(url) + "'";
         o.ScoresUrl = std::string(url);
         return std::string();
     }},
    {"--replay", "FILE", "watch a recorded game in the window",
     [](TRunOptions& o, std::string_view file) {
         o.ReplayFile = std::string(file);
         return std::string();
     }},
    {"--verify", "FILE", "play a recorded game without a window, print its end and say if it matches (0, 1, 2)",
     [](TRunOptions& o, std::string_view file) {
         o.VerifyFile = std::string(file);
         return std::string();
     }},
};

const TOptionEntry* FindOption(std::string_view name) {
    for (const TOptionEntry& entry : OptionTable)
        if (entry.Name == name) return &entry;
    return nullptr;
}

} // namespace

bool IsServiceAddress(std::string_view url) {
    for (std::string_view scheme : {std::string_view("http://"), std::string_view("https://")}) {
        if (url.starts_with(scheme)) {
            const std::string_view rest = url.substr(scheme.size());
            return !rest.empty() && rest.front() != '/' && rest.find_first_of(" \t\r\n") == std::string_view::npos;
        }
    }
    return false;
}

TCommandLine::TParsed TCommandLine::Parse(std::span<const std::string_view> args) {
    TParsed parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        std::string_view name = arg;
        std::optional<std::string_view> value;
        if (const std::size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        const TOptionEntry* entry = FindOption(name);
        if (entry == nullptr) {
            parsed.Error = "unknown option '" + std::string(arg) + "'";
            return parsed;
        }
        if (entry->Value.empty()) {
            if (value) {
                parsed.Error = std::string(name) + " takes no value";
                return parsed;
            }
            value = std::string_view();
        } else if (!value) {
            if (i + 1 >= args.size()) {
                parsed.Error = std::string(name) + " needs a " + std::string(entry->Value);
                return parsed;
            }
            value = args[++i];
        }
        if (std::string error = entry->Apply(parsed.Options, *value); !error.empty()) {
            parsed.Error = std::move(error);
            return parsed;
        }
    }
    return parsed;
}

std::string TCommandLine::Usage(std::string_view program) {
    std::string text = "Usage: " + std::string(program) + " [OPTION]...\nThe underwater arcade game Tide Warden.\n\n";
    for (const TOptionEntry& entry : OptionTable) {
        // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) of a literal plus a string.
        std::string left = "  ";
        left += entry.Name;
        if (!entry.Value.empty()) {
            left += ' ';
            left += entry.Value;
        }
        if (left.size() < 22)
            left.resize(22, ' ');
        else
            left += "  ";
        text += left + std::string(entry.Help) + "\n";
    }
    return text;
}

std::string TCommandLine::VersionText() { return std::string("Tide Warden ") + TW_VERSION; }

namespace {

// The game adds the page's path itself: "http://host/" and "http://host" are one service.
std::string WithoutTrailingSlash(std::string url) {
    while (url.ends_with('/')) url.pop_back();
    return url;
}

} // namespace

std::string ChooseScoresUrl(const TRunOptions& options, const char* environment, std::string_view built,
                            std::string& warning) {
    warning.clear();
    if (options.ScoresUrl) return WithoutTrailingSlash(*options.ScoresUrl);
    if (environment != nullptr && *environment != '\0') {
        if (IsServiceAddress(environment)) return WithoutTrailingSlash(environment);
        warning = "TIDEWARDEN_SCORES_URL is no http:// or https:// address ('" + std::string(environment) +
                  "'); the game uses " + std::string(built);
    }
    return std::string(built);
}
