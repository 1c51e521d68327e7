#pragma once

#include <string>

#include "corvane/tuning/expression.h"
#include "corvane/tuning/number_text.h"

namespace corvane::platform {
class KeyState;
}

namespace corvane::tuning {

// The settings that decide how pitches are written. Member names are the configuration keys.
// The initial values are those a fresh process starts with; the configuration file's own
// defaults are applied on top by the settings reader.
struct PitchFormat {
    int iCentsSigFigs = 6;                           // figures of decimals and cents
    bool show_cents = false;                         // prefer cents to ratios
    bool show_cents_or_small_ratios = true;          // ... but still a ratio when one fits
    long long iMaxQuotientForIntervals = 100000000;  // largest q of a ratio p/q
    long long iMaxDivisorForRatiosQuotient = 50;     // prime limit once q reaches it (0: none)
    long long iMaxQuotientForNRatios = 100;          // largest q of an octave fraction n(p/q)
    bool bFactoriseRatios = false;                   // 45/32 as 3^2*5/2^5
    bool ratios_as_1o1_2o1_etc = false;              // 2 as 2/1
    bool cents_fixed_point = false;                  // cents with fixed decimals, aligned

    // The settings the composition writer forces so that files keep full precision.
    static PitchFormat full_precision();
    // The defaults the configuration file starts from (fewer digits in large ratios,
    // octave fractions only for whole octaves, cents where no small ratio fits).
    static PitchFormat configuration_defaults();
};

// What the caller asks of one formatting.
struct FormatRequest {
    bool cents_word = false;   // append " cents" to a cents result
    bool ratio_only = false;   // search ratios even when cents are preferred; never cents
    bool cents_only = false;   // cents rather than an octave fraction
};

// Writes `value` (in the notation `form`) as the shortest readable text: a whole number,
// a ratio p/q, a factorised ratio, an octave fraction n(p/q), cents or a decimal.
// Holding Escape (when `keys` is given) cuts the searches short. Never fails.
std::string format_pitch_value(double value, PitchForm form, const PitchFormat& settings,
                               FormatRequest request = {}, const platform::KeyState* keys = nullptr);

// A pitch as a file keeps it: text that the expression reader reads back as the same pitch,
// to its 14 figures, whatever the user's number settings: a ratio, an octave fraction
// n(p/q), a decimal, or cents with the word " cents".
std::string exact_pitch_text(double value, PitchForm form = PitchForm::ratio);

}  // namespace corvane::tuning
