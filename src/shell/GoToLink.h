// SPDX-License-Identifier: MIT
// Opening documents and web pages with the desktop's default handler, and the last step of the
// program: "play.url" is opened after the window has gone, when that file exists.
#pragma once

#include <string>

void GoToLink(const std::string& target);
// Opens "play.url" of the current folder if it exists; true when it was handed to the desktop.
bool OpenPlayUrl();
