// SPDX-License-Identifier: MIT
// songbuild: turns a text score (*.song) into an XM module.
// Usage: songbuild <score.song> <out.xm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "Score.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: songbuild <score.song> <out.xm>\n";
        return 2;
    }
    try {
        std::ifstream in(argv[1], std::ios::binary);
        if (!in) throw std::runtime_error(std::string("cannot read ") + argv[1]);
        std::ostringstream text;
        text << in.rdbuf();
        const auto bytes = tw::xm::writeXm(tw::song::buildSong(text.str(), argv[1]));
        // Written beside the target and renamed, so a failed run never leaves half a file.
        const fs::path target = argv[2];
        if (target.has_parent_path()) fs::create_directories(target.parent_path());
        const fs::path temp = target.string() + ".tmp";
        {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            if (!out) throw std::runtime_error("cannot write " + temp.string());
        }
        fs::rename(temp, target);
    } catch (const std::exception& e) {
        std::cerr << "songbuild: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
