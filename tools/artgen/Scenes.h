// SPDX-License-Identifier: MIT
// Mock-up screens of the built pictures for review: menus, help pages, dialogs and a game in
// progress, written as PNG files.
#pragma once

#include "Collection.h"

#include <string>
#include <vector>

namespace art {

void writeScenes(const std::string& outDir, const std::vector<BuiltItem>& menuItems,
                 const std::vector<BuiltItem>& gameItems);

} // namespace art
