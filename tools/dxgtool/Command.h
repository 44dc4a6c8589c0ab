// SPDX-License-Identifier: MIT
// What the picture and wave command families of dxgtool share: their error type and the dispatch of
// "list", "extract" and "pack" with the one-line error report.
#pragma once

#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

// A failure of a command, reported as one line on the error stream.
class ToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using CommandFunction = int (*)(const std::vector<std::string>& args, std::ostream& out);

struct CommandFamily {
    CommandFunction list;
    CommandFunction extract;
    CommandFunction pack;
};

// Runs the command args[0] of the family; any error becomes "dxgtool: <text>" on err and status 1.
int runCommand(const CommandFamily& family, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
