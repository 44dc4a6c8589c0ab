// SPDX-License-Identifier: MIT
// Menu commands and the mouse: the one routine behind every menu and dialog action
// (TmainForm::RunMenuCommand), hover and clicks over the items, the mouse buttons and mouse steering
// during play, and the two web pages the menus open.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

class TmainForm;

// The path and query of the world high-score page, after the service's base address.
inline constexpr std::string_view WorldScoresPagePath = "/cgi/version.pl?prg=Tidewarden&show&type=0";
// The page the game ships beside itself, opened when no publisher address was configured.
inline constexpr std::string_view AboutPageFile = "about.html";

// The publisher's page: the configured address, or with none the "about" page in programFolder.
std::string PublisherPageAddress(std::string_view configured, const std::filesystem::path& programFolder);
// The world high-score page of the service at base (one trailing slash of base is ignored).
std::string WorldScoresPageAddress(std::string_view base);

// The addresses this build opens: the configured ones, the "about" page next to the running program.
std::string PublisherPageAddress();
std::string WorldScoresPageAddress();
// The world high-score service's base address: the one set for this run, else as configured
// ("http://127.0.0.1:8421" by default). Set before the main window is made.
std::string ScoresServiceBase();
void SetScoresServiceBase(std::string base);

// The item that leaves a screen lying over the main menu: its back item, or "NO" of a dialog. Esc
// chooses it, and so does a main-menu item chosen beside the screen. 0 for the main menu and for
// screens that cannot be left that way.
std::uint8_t BackItem(std::uint8_t screen);

// The finished game's result into the table and the file.
void StoreNewResult(TmainForm& form);
// The game-over window's "YES" (and Enter on its name field): the result goes into the table and
// the file, then the send question opens.
void AcceptNewResult(TmainForm& form);
