// SPDX-License-Identifier: MIT
// Loudness through libebur128 (see Loudness.h).
#include "Loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>
#include <vector>

namespace tw::levels {

Loudness loudness(std::span<const std::int16_t> interleaved, int channels, int rate) {
    const auto free = [](ebur128_state* s) { ebur128_destroy(&s); };
    std::unique_ptr<ebur128_state, decltype(free)> state(
        ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate),
                     EBUR128_MODE_I | EBUR128_MODE_S | EBUR128_MODE_TRUE_PEAK),
        free);
    if (!state) throw std::runtime_error("the loudness meter refuses this layout");

    const auto ch = static_cast<std::size_t>(channels);
    std::vector<std::int16_t> samples(interleaved.begin(), interleaved.end());
    const std::size_t minimum = static_cast<std::size_t>(rate) * 4 / 10 * ch;
    if (samples.size() < minimum) samples.resize(minimum, 0);

    constexpr double none = -std::numeric_limits<double>::infinity();
    Loudness out{none, none, none, none};
    const std::size_t step = static_cast<std::size_t>(rate) / 10; // frames per 100 ms
    const std::size_t frames = samples.size() / ch;
    for (std::size_t done = 0; done < frames;) {
        const std::size_t n = std::min(step, frames - done);
        ebur128_add_frames_short(state.get(), samples.data() + done * ch, n);
        done += n;
        double value = 0.0;
        if (done * 10 >= static_cast<std::size_t>(rate) * 4 &&
            ebur128_loudness_momentary(state.get(), &value) == EBUR128_SUCCESS)
            out.momentaryMax = std::max(out.momentaryMax, value);
        if (done >= static_cast<std::size_t>(rate) * 3 &&
            ebur128_loudness_shortterm(state.get(), &value) == EBUR128_SUCCESS)
            out.shortTermMax = std::max(out.shortTermMax, value);
    }
    double value = 0.0;
    if (ebur128_loudness_global(state.get(), &value) == EBUR128_SUCCESS) out.integrated = value;
    double peak = 0.0;
    for (unsigned c = 0; c < static_cast<unsigned>(channels); ++c)
        if (ebur128_true_peak(state.get(), c, &value) == EBUR128_SUCCESS) peak = std::max(peak, value);
    out.truePeak = peak > 0.0 ? 20.0 * std::log10(peak) : none;
    return out;
}

} // namespace tw::levels
