// SPDX-License-Identifier: MIT
// dxgtool: list, extract and pack picture collections (.dxg) and wave collections (.dxw).
// The collection file's extension picks the family of commands.
#include "PictureCommands.h"
#include "WaveCommands.h"

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char* kUsage =
    "usage: dxgtool list FILE            index, name, picture size and bit count, patterns, transparency\n"
    "       dxgtool extract FILE OUTDIR  every item to OUTDIR, with OUTDIR/manifest.txt\n"
    "       dxgtool pack MANIFEST FILE   a manifest and its files into FILE\n"
    "FILE is a picture collection (.dxg) or a wave collection (.dxw).\n";

bool endsWithNoCase(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size()) return false;
    return std::equal(tail.begin(), tail.end(), s.end() - static_cast<std::ptrdiff_t>(tail.size()), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "-h" || args[0] == "--help") {
        std::cout << kUsage;
        return args.empty() ? 2 : 0;
    }
    // The collection file is the first operand of list and extract, the second of pack.
    const std::size_t fileArg = args[0] == "pack" ? 2 : 1;
    if (args.size() > fileArg && endsWithNoCase(args[fileArg], ".dxw"))
        return runWaveCommand(args, std::cout, std::cerr);
    return runPictureCommand(args, std::cout, std::cerr);
}
