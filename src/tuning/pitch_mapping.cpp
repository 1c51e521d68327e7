#include "corvane/tuning/pitch_mapping.h"

#include <algorithm>
#include <cmath>

namespace corvane::tuning {
namespace {

long floor_div(long a, long b) {
    long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

}  // namespace

double degree_ratio(std::span<const double> scale, long degree) {
    if (scale.empty()) return 1.0;
    const long n = static_cast<long>(scale.size()) - 1;
    if (n < 1) {
        const double ratio = 1.0 + std::fabs(static_cast<double>(degree)) * scale[0];
        if (degree >= 0) return std::max(ratio, 0.0);
        return ratio > 0.0 ? 1.0 / ratio : 0.0;
    }
    long q = floor_div(degree, n);
    long k = degree - q * n;
    if (degree < 0 && k == 0) {  // a whole number of periods down: the period of the one below
        k = n;
        --q;
    }
    const double period = scale[static_cast<std::size_t>(n)];
    double ratio = 0.0;
    if (std::fabs(scale[0]) > 0.00001) {
        ratio = scale[static_cast<std::size_t>(k)] + 1.0 + static_cast<double>(q) * (period + scale[0]);
    } else {
        double periods = 1.0;
        if (q != 0) {
            const double exponent = static_cast<double>(q) * std::log(std::max(period + 1.0, 1e-50));
            periods = std::exp(std::clamp(exponent, -308.0, 308.0));
        }
        ratio = (scale[static_cast<std::size_t>(k)] + 1.0) * periods;
    }
    return std::max(ratio, 0.0);
}

double frequency_to_midi_pitch(double frequency, bool round_to_semitone) {
    const double pitch = 12.0 * std::log2(std::max(frequency / 440.0, 1e-50)) + 69.0;
    return round_to_semitone ? std::trunc(pitch + 0.5) : pitch;
}

double frequency_to_midi_pitch_clamped(double frequency, bool round_to_semitone) {
    return std::clamp(frequency_to_midi_pitch(frequency, round_to_semitone), 0.0, 127.0);
}

double midi_pitch_to_frequency(double pitch) {
    return 440.0 * std::exp(std::clamp((pitch - 69.0) / 12.0 * std::log(2.0), -308.0, 308.0));
}

NoteAndBend split_midi_pitch(double pitch) {
    const double limited = std::clamp(pitch, -1e6, 1e6);
    const int note = static_cast<int>(std::trunc(limited + 0.5));
    const int bend = static_cast<int>(std::trunc((limited - note) * kBendPerSemitone + kBendCentre));
    return {note, bend};
}

NoteAndBend split_onto_key(double pitch) {
    const NoteAndBend split = split_midi_pitch(pitch);
    const int note = std::clamp(split.note, 0, 127);
    return {note, split.bend + (split.note - note) * kBendPerSemitone};
}

}  // namespace corvane::tuning
