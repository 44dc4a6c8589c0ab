// SPDX-License-Identifier: MIT
// The wave-collection (.dxw) commands of dxgtool: list, extract to WAV files, pack from WAV files.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// args[0] is the command:
//   list FILE.dxw            one line per item: index, name, looped, max, format and length
//   extract FILE.dxw OUTDIR  each wave to OUTDIR/NNN-name.wav, with OUTDIR/manifest.txt
//   pack MANIFEST FILE.dxw   the manifest's WAV files into FILE.dxw
// The manifest has one [item] block per wave, in file order: name, wave (a WAV file beside the
// manifest), looped (true/false, default false), maxplayingcount (default 0: no limit).
// Returns the exit status; a failure is one line on err.
int runWaveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
