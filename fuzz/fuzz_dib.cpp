// SPDX-License-Identifier: MIT
// Fuzzes the bitmap reader: any bytes as a picture payload and as a bitmap file; whatever loads
// must convert to colours completely.
#include "graphics/DIB.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace {

void decodeAll(const TDIB& dib) {
    // Huge run-length pictures decode by the same code as small ones, only slower: skip them so
    // the fuzzer spends its time on variety.
    if (dib.Empty() || static_cast<std::size_t>(dib.Width()) * static_cast<std::size_t>(dib.Height()) > (1u << 20))
        return;
    std::vector<std::uint32_t> px(static_cast<std::size_t>(dib.Width()) * static_cast<std::size_t>(dib.Height()));
    dib.CopyRectRGB(0, 0, dib.Width(), dib.Height(), px.data(), dib.Width());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    try {
        ByteReader in(bytes);
        TDIB dib;
        dib.LoadFromPayload(in);
        decodeAll(dib);
        // What was read writes out and reads back.
        ByteWriter out;
        dib.SaveToPayload(out);
        ByteReader again(out.data());
        TDIB copy;
        copy.LoadFromPayload(again);
        decodeAll(copy);
    } catch (const EInvalidGraphic&) {
    } catch (const EReadError&) {}
    try {
        ByteReader in(bytes);
        TDIB dib;
        dib.LoadFromBitmapFile(in);
        decodeAll(dib);
    } catch (const EInvalidGraphic&) {
    } catch (const EReadError&) {}
    return 0;
}
