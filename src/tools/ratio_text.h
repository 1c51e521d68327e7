#pragma once

#include <numeric>
#include <string>

#include "corvane/tuning/pitch_format.h"

namespace corvane::tools {

// A pitch (a ratio) as the program writes ratios.
inline std::string ratio_text(double ratio, const tuning::PitchFormat& format) {
    return tuning::format_pitch_value(ratio, tuning::PitchForm::ratio, format);
}

// A ratio of whole numbers kept exact while it fits in 64 bits.
struct ExactRatio {
    long long p = 1;
    long long q = 1;
    bool exact = true;

    ExactRatio times(const ExactRatio& other) const {
        if (!exact || !other.exact) return {1, 1, false};
        const long long g1 = std::gcd(p, other.q);
        const long long g2 = std::gcd(other.p, q);
        ExactRatio out;
        if (__builtin_mul_overflow(p / g1, other.p / g2, &out.p) || __builtin_mul_overflow(q / g2, other.q / g1, &out.q)) {
            return {1, 1, false};
        }
        return out;
    }
    // "p/q", or "p" for a whole number.
    std::string text() const { return q == 1 ? std::to_string(p) : std::to_string(p) + "/" + std::to_string(q); }
};

}  // namespace corvane::tools
