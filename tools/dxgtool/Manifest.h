// SPDX-License-Identifier: MIT
// The manifest of an extracted picture collection: a small "key = value" text with one [item]
// block per picture, in file order. Reading it reports the line of any fault.
#pragma once

#include <map>
#include <string>
#include <vector>

struct ManifestItem {
    int line = 0;                              // where the block starts, for error messages
    std::map<std::string, std::string> values; // keys in lower case
    std::vector<std::string> order;            // keys as they came, for writing back
};

struct Manifest {
    std::map<std::string, std::string> global; // keys before the first [item]
    std::vector<ManifestItem> items;
};

// Throws std::runtime_error "<path>:<line>: <what>".
Manifest parseManifest(const std::string& text, const std::string& path);

// Values are written with backslash escapes for '\\' and bytes outside printable ASCII (\xNN), so a
// name of any 8-bit text survives the round trip.
std::string escapeValue(const std::string& raw);
std::string unescapeValue(const std::string& text); // throws std::runtime_error on a bad escape
