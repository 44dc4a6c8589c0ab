// SPDX-License-Identifier: MIT
// The program's command line: the options it takes, read before any window opens, and the usage
// text made from the same table. With no option the game starts as it always has.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

// What the options ask of this run. Nothing here is ever written to "config.dat".
struct TRunOptions {
    bool ShowHelp = false;
    bool ShowVersion = false;
    std::optional<bool> Windowed; // --windowed / --fullscreen: the last one given wins
    std::optional<std::string> ScoresUrl;
    std::optional<std::string> ReplayFile; // --replay: watched in the window once it is up
    std::optional<std::string> VerifyFile; // --verify: checked without a window, then the end
};

class TCommandLine {
public:
    // What the program does after reading its arguments.
    enum class TOutcome { Run, Exit };

    struct TParsed {
        TRunOptions Options;
        std::string Error; // empty when the arguments were understood
    };

    // Reads the arguments after the program's name. "--name value" and "--name=value" are the same.
    static TParsed Parse(std::span<const std::string_view> args);
    // The usage: one line per option, from the option table.
    static std::string Usage(std::string_view program);

    // Parses, and handles what needs no window: --help and --version print to out and end the
    // program with status 0; an error prints itself and the usage to err and ends it with status 2.
    // Otherwise the options are left in options and the game runs.
    template <class Out, class Err>
    static TOutcome Read(std::span<const std::string_view> args, std::string_view program, TRunOptions& options,
                         int& exitStatus, Out& out, Err& err) {
        TParsed parsed = Parse(args);
        exitStatus = 0;
        if (!parsed.Error.empty()) {
            err << program << ": " << parsed.Error << "\n" << Usage(program);
            exitStatus = 2;
            return TOutcome::Exit;
        }
        options = std::move(parsed.Options);
        if (options.ShowHelp) {
            out << Usage(program);
            return TOutcome::Exit;
        }
        if (options.ShowVersion) {
            out << VersionText() << "\n";
            return TOutcome::Exit;
        }
        return TOutcome::Run;
    }

    static std::string VersionText();
};

// The world high-score service's base address for this run: the option, else the environment's
// TIDEWARDEN_SCORES_URL when it is set and not empty, else the build's address; trailing slashes
// dropped. An environment value that is no service address is passed over, and warning says so.
std::string ChooseScoresUrl(const TRunOptions& options, const char* environment, std::string_view built,
                            std::string& warning);
// Whether an address can be a score service's: http:// or https:// and a host.
bool IsServiceAddress(std::string_view url);
