// SPDX-License-Identifier: MIT
// The picture-collection commands of dxgtool: list, extract and pack.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// args[0] is the command ("list", "extract", "pack"). Returns the exit status; a failure is one
// line on err.
int runPictureCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
