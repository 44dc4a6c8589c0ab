// SPDX-License-Identifier: MIT
// Item lists (assets/pictures/*.items): which pictures a collection holds, in file order, and the
// program that draws each; building them, writing them out for packing, and the review sheet.
#pragma once

#include "Picture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace art {

struct ItemLine {
    std::string name;
    std::string program;
    std::vector<std::string> args;
    int line = 0;
};

// One item a line: name, program, arguments (a "quoted text" is one argument); # starts a comment.
// Throws std::runtime_error "<path>:<line>: <what>" for a malformed line or an unknown program.
std::vector<ItemLine> readItemList(const std::string& path);

struct BuiltItem {
    std::string name;
    Picture picture;
};

std::vector<BuiltItem> buildCollection(const std::vector<ItemLine>& entries);

// 0x00RRGGBB pixels as the game will see them: keyed pictures get the colour key where they are
// less than half covered and their edges mixed with the matte; no pixel of the art equals the key.
std::vector<std::uint32_t> flatten(const Picture& picture);

// <outDir>/<collection>/NN-<name>.png for every item and <outDir>/<collection>/manifest.txt, the
// packing list of the collection tool (dxgtool pack).
void writeCollection(const std::string& outDir, const std::string& collection, const std::vector<BuiltItem>& items);

// Every item on one sheet with its index, name and pattern grid, for looking at the art.
void writeContactSheet(const std::string& path, const std::vector<BuiltItem>& items);

} // namespace art
