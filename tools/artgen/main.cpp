// artgen: draws the game's pictures from assets/pictures and writes them out for packing.
//   artgen build <pictures dir> <out dir> <collection>...   PNG files and <out>/<collection>.list
//   artgen sheet <pictures dir> <collection> <sheet.png>     every item on one review sheet
//   artgen scenes <pictures dir> <out dir>                  mock-up screens for review
//   artgen programs                                          the drawing programs there are
#include "Collection.h"
#include "Scenes.h"

#include <filesystem>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr, "usage: artgen build <pictures dir> <out dir> <collection>...\n"
                         "       artgen sheet <pictures dir> <collection> <sheet.png>\n"
                         "       artgen scenes <pictures dir> <out dir>\n"
                         "       artgen programs\n");
    return 2;
}

std::vector<art::BuiltItem> build(const std::string& dir, const std::string& collection) {
    art::setSourceDirectory(dir);
    return art::buildCollection(art::readItemList(dir + "/" + collection + ".items"));
}

} // namespace

int main(int argc, char** argv) {
    try {
        if (!art::Programs::instance().duplicates().empty()) {
            std::fprintf(stderr, "artgen: drawing program '%s' is defined twice\n",
                         art::Programs::instance().duplicates().front().c_str());
            return 1;
        }
        if (argc >= 5 && std::strcmp(argv[1], "build") == 0) {
            for (int i = 4; i < argc; ++i) art::writeCollection(argv[3], argv[i], build(argv[2], argv[i]));
            return 0;
        }
        if (argc == 5 && std::strcmp(argv[1], "sheet") == 0) {
            art::writeContactSheet(argv[4], build(argv[2], argv[3]));
            return 0;
        }
        if (argc == 4 && std::strcmp(argv[1], "scenes") == 0) {
            std::filesystem::create_directories(argv[3]);
            art::writeScenes(argv[3], build(argv[2], "menu"), build(argv[2], "gamegraphic"));
            return 0;
        }
        if (argc == 2 && std::strcmp(argv[1], "programs") == 0) {
            for (const std::string& n : art::Programs::instance().names()) std::printf("%s\n", n.c_str());
            return 0;
        }
        return usage();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "artgen: %s\n", e.what());
        return 1;
    }
}
