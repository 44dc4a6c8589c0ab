// SPDX-License-Identifier: MIT
// Fuzzes the picture-collection reader: any bytes as a DXG file. What loads must decode, cut into
// patterns, and write out to a file that reads back to the same bytes.
#include "graphics/PictureCollection.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TPictureCollection c;
    try {
        c.LoadFromStream(std::span<const std::uint8_t>(data, size));
    } catch (const EReadError&) {
        return 0;
    } catch (const EInvalidGraphic&) {
        return 0;
    }
    for (int i = 0; i < c.Count(); ++i) {
        const TPictureCollectionItem& item = *c.ItemAt(i);
        const TDIB* dib = item.Picture();
        // Huge pictures decode by the same code as small ones, only slower.
        if (!dib || dib->Empty() ||
            static_cast<std::size_t>(dib->Width()) * static_cast<std::size_t>(dib->Height()) > (1u << 20))
            continue;
        std::vector<std::uint32_t> px(static_cast<std::size_t>(dib->Width()) * static_cast<std::size_t>(dib->Height()));
        dib->CopyRectRGB(0, 0, dib->Width(), dib->Height(), px.data(), dib->Width());
        const auto layout = ComputePatternLayout(dib->Width(), dib->Height(), item.PatternWidth, item.PatternHeight,
                                                 item.SkipWidth, item.SkipHeight, item.SystemMemory);
        // Overlapping cells (a negative skip) may run past their piece; Draw clips those.
        if (item.SkipWidth < 0 || item.SkipHeight < 0) continue;
        for (const auto& p : layout.patterns) {
            const TRect& s = layout.surfaces.at(static_cast<std::size_t>(p.surface));
            if (p.rect.Left < 0 || p.rect.Top < 0 || p.rect.Right > s.Width() || p.rect.Bottom > s.Height())
                std::abort();
        }
    }
    const auto saved = c.SaveToStream();
    TPictureCollection again;
    again.LoadFromStream(saved); // must not throw: our own output
    if (again.SaveToStream() != saved) std::abort();
    // Pictures the game does not decode come back byte for byte.
    for (int i = 0; i < c.Count(); ++i)
        if (again.ItemAt(i)->UndecodedPicture() != c.ItemAt(i)->UndecodedPicture()) std::abort();
    return 0;
}
