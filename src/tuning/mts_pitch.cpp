#include "corvane/tuning/mts_pitch.h"

#include <cmath>

namespace corvane::tuning {
namespace {

constexpr long long kHighestUnits = 127LL * kMtsFractionSteps + (kMtsFractionSteps - 2);  // 127 7F 7E

}  // namespace

MtsPitch mts_pitch(double midi_pitch) {
    const double units = std::isfinite(midi_pitch) ? std::round(midi_pitch * kMtsFractionSteps) : 0.0;
    const long long held = units <= 0 ? 0 : units >= static_cast<double>(kHighestUnits) ? kHighestUnits
                                                                                      : static_cast<long long>(units);
    const auto fraction = static_cast<int>(held % kMtsFractionSteps);
    return {static_cast<std::uint8_t>(held / kMtsFractionSteps), static_cast<std::uint8_t>(fraction >> 7),
            static_cast<std::uint8_t>(fraction & 0x7F)};
}

double midi_pitch_of(const MtsPitch& pitch) {
    const int fraction = pitch.fraction_high << 7 | pitch.fraction_low;
    return pitch.semitone + static_cast<double>(fraction) / kMtsFractionSteps;
}

}  // namespace corvane::tuning
