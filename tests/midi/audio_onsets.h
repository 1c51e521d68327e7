#pragma once

// Where notes begin in rendered audio, and how far those beginnings lie from a grid. Shared
// by the synthesizer timing test and its bench.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "timing_statistics.h"

namespace corvane::testing {

// The frames where a note begins in interleaved stereo: the first sample of the left channel
// above a tenth of the loudest after at least `quiet_frames` below it.
inline std::vector<std::size_t> onsets_of(std::span<const std::int16_t> interleaved, std::size_t quiet_frames) {
    const std::size_t frames = interleaved.size() / 2;
    int loudest = 0;
    for (std::size_t f = 0; f < frames; ++f) loudest = std::max(loudest, std::abs(int{interleaved[2 * f]}));
    const int threshold = std::max(loudest / 10, 1);
    std::vector<std::size_t> onsets;
    std::size_t quiet = quiet_frames;  // the start counts as silence
    for (std::size_t f = 0; f < frames; ++f) {
        if (std::abs(int{interleaved[2 * f]}) <= threshold) {
            ++quiet;
            continue;
        }
        if (quiet >= quiet_frames) onsets.push_back(f);
        quiet = 0;
    }
    return onsets;
}

// How far each onset lies from its place on a grid of `spacing`, in frames, largest first.
// The grid starts where the onsets put it at the median: a note's onset lies a little after
// its message, by the attack of the instrument's sample, the same for every note.
inline std::vector<double> onset_errors(const std::vector<std::size_t>& onsets, double spacing) {
    std::vector<double> offsets;
    for (std::size_t k = 0; k < onsets.size(); ++k) {
        offsets.push_back(static_cast<double>(onsets[k]) - static_cast<double>(k) * spacing);
    }
    std::vector<double> sorted = offsets;
    std::sort(sorted.begin(), sorted.end());
    const double start = sorted.empty() ? 0.0 : sorted[sorted.size() / 2];
    std::vector<double> errors;
    for (const double offset : offsets) errors.push_back(std::fabs(offset - start));
    std::sort(errors.rbegin(), errors.rend());
    return errors;
}

}  // namespace corvane::testing
