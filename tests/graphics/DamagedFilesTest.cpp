// SPDX-License-Identifier: MIT
// The corpus of damaged picture-collection files (tests/fixtures/graphics/damaged, made by make.py
// there): each gives its own error text, and those that load decode without leaving their buffers.
#include "graphics/PictureCollection.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

namespace {

const std::string kDir = std::string(TW_FIXTURES_DIR) + "/graphics/damaged/";

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(DamagedFiles, EachGivesItsError) {
    std::ifstream list(kDir + "expected.txt");
    ASSERT_TRUE(list) << "missing expected.txt";
    std::string line;
    int files = 0;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#') continue;
        const auto tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        const std::string file = line.substr(0, tab), expected = line.substr(tab + 1);
        SCOPED_TRACE(file);
        ++files;
        std::ifstream probe(kDir + file, std::ios::binary);
        ASSERT_TRUE(probe) << "missing fixture";
        TPictureCollection c;
        std::string error = "-";
        try {
            c.LoadFromStream(readBytes(kDir + file));
        } catch (const std::exception& e) {
            error = e.what();
        }
        EXPECT_EQ(error, expected);
        if (error != "-") continue;
        // Whatever loaded must decode completely.
        for (int i = 0; i < c.Count(); ++i) {
            const TDIB* dib = c.ItemAt(i)->Picture();
            if (!dib || dib->Empty()) continue;
            std::vector<std::uint32_t> px(static_cast<std::size_t>(dib->Width()) *
                                          static_cast<std::size_t>(dib->Height()));
            dib->CopyRectRGB(0, 0, dib->Width(), dib->Height(), px.data(), dib->Width());
        }
    }
    EXPECT_GE(files, 25);
}

} // namespace
