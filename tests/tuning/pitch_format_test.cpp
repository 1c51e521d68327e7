#include "corvane/tuning/pitch_format.h"

#include <cmath>
#include <functional>
#include <numbers>

#include <gtest/gtest.h>

#include "corvane/platform/key_state.h"

namespace corvane::tuning {
namespace {

PitchFormat changed(const std::function<void(PitchFormat&)>& change) {
    PitchFormat format;
    change(format);
    return format;
}

// Cents preferred over ratios and octave fractions.
const PitchFormat kCents = changed([](PitchFormat& f) {
    f.show_cents = true;
    f.show_cents_or_small_ratios = false;
});

TEST(PitchFormat, ValuesWrittenAsTheSettingsAndRequestAsk) {
    const PitchFormat plain;
    const PitchFormat slash_one = changed([](PitchFormat& f) { f.ratios_as_1o1_2o1_etc = true; });
    const PitchFormat no_prime_limit = changed([](PitchFormat& f) { f.iMaxDivisorForRatiosQuotient = 0; });
    const PitchFormat factorised = changed([](PitchFormat& f) { f.bFactoriseRatios = true; });
    const PitchFormat eleven = changed([](PitchFormat& f) { f.iMaxQuotientForNRatios = 11; });
    // The configuration's default: whole octaves only.
    const PitchFormat one = changed([](PitchFormat& f) { f.iMaxQuotientForNRatios = 1; });
    const PitchFormat cents_or_small = changed([](PitchFormat& f) {
        f = kCents;
        f.show_cents_or_small_ratios = true;
    });
    const PitchFormat fixed = changed([](PitchFormat& f) {
        f = kCents;
        f.cents_fixed_point = true;
        f.iCentsSigFigs = 3;
    });
    const PitchFormat four_figures = changed([](PitchFormat& f) { f.iCentsSigFigs = 4; });
    const PitchFormat full = PitchFormat::full_precision();
    constexpr auto ratio = PitchForm::ratio;
    constexpr auto increment = PitchForm::increment;
    const double semitone = std::exp2(1.0 / 12);
    struct Case {
        double value;
        PitchForm form;
        const PitchFormat& format;
        FormatRequest request;
        std::string_view text;
    };
    const Case cases[] = {
        // Whole numbers and ratios; decimals outside the searched range and for zero.
        {2.0, ratio, plain, {}, "2"}, {1.5, ratio, plain, {}, "3/2"}, {1.125, ratio, plain, {}, "9/8"},
        {0.125, increment, plain, {}, "1/8"}, {45.0 / 32, ratio, plain, {}, "45/32"},
        {2.0, ratio, slash_one, {}, "2/1"}, {1.5, ratio, slash_one, {}, "3/2"},
        {0.0, increment, plain, {}, "0"}, {-0.5, ratio, plain, {}, "-0.5"}, {2e10, ratio, plain, {}, "2e+10"},
        // 53/52 has q above the limit of 50 and primes 53 and 13: no ratio, so the octave
        // fraction search runs and finds nothing within 100; the decimal stands. Below the
        // limit on q any primes are accepted; 7-smooth numbers pass however large q is.
        {53.0 / 52, ratio, plain, {}, "1.01923"}, {53.0 / 52, ratio, no_prime_limit, {}, "53/52"},
        {47.0 / 46, ratio, plain, {}, "47/46"}, {2187.0 / 2048, ratio, plain, {}, "2187/2048"},
        // Factorised ratios.
        {45.0 / 32, ratio, factorised, {}, "3^2*5/2^5"}, {7.0 / 6, ratio, factorised, {}, "7/(2*3) "},
        {81.0 / 64, ratio, factorised, {}, "3^4/2^6"}, {0.5, increment, factorised, {}, "1/2"},
        // Octave fractions, up to the largest quotient allowed.
        {semitone, ratio, plain, {}, "n(1/12)"}, {std::exp2(7.0 / 12) - 1, increment, plain, {}, "n(7/12)"},
        {std::exp2(5.0 / 31), ratio, plain, {}, "n(5/31)"}, {semitone, ratio, eleven, {}, "1.05946"},
        {semitone, ratio, one, {}, "1.05946"},
        // Cents when preferred; an octave fraction gives way to cents only when the cents hold it exactly.
        {1.5, ratio, kCents, {.cents_word = true}, "701.955 cents"},
        {1.0, ratio, kCents, {.cents_word = true}, "0 cents"},
        {1.5, ratio, kCents, {}, "701.955"}, {1.5, ratio, cents_or_small, {}, "3/2"},
        {semitone, ratio, cents_or_small, {.cents_word = true}, "100 cents"},
        {std::exp2(1.0 / 7), ratio, cents_or_small, {}, "n(1/7)"},
        // The request's bits override the settings.
        {1.5, ratio, kCents, {.ratio_only = true}, "3/2"}, {semitone, ratio, plain, {.ratio_only = true}, "1.05946"},
        {semitone, ratio, plain, {.cents_only = true}, "100"}, {1.5, ratio, plain, {.cents_only = true}, "3/2"},
        // Fixed-point cents, significant figures, and full precision keeping every digit.
        {1.5, ratio, fixed, {}, " 701.955"}, {semitone, ratio, fixed, {}, " 100.000"},
        {std::numbers::pi, ratio, four_figures, {}, "3.142"}, {0.125, ratio, full, {}, "1/8"},
        {0.1, ratio, full, {}, "1/10"}, {std::numbers::pi, ratio, full, {}, "3.1415926535898"},
        {semitone, ratio, full, {}, "n(1/12)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(format_pitch_value(c.value, c.form, c.format, c.request), c.text) << c.value;
    }
    EXPECT_EQ(format_general(0.1, 6), "0.1");
    EXPECT_EQ(format_general(1234567.0, 6), "1.23457e+06");
}

TEST(PitchFormat, EscapeCutsTheSearchShort) {
    platform::SettableKeyState keys;
    keys.set_escape(true);
    EXPECT_EQ(format_pitch_value(1.5, PitchForm::ratio, {}, {}, &keys), "1.5");
}

TEST(PitchFormat, RoundTripsThroughTheReader) {
    const PitchFormat full = PitchFormat::full_precision();
    for (double v : {1.0 + 1e-9, 1.0594630943592953, 1.5, 1.2345678901234, 3.0, 1.0 / 3.0 + 1}) {
        const std::string text = format_pitch_value(v, PitchForm::ratio, full);
        EXPECT_NEAR(evaluate_or_default(text, -1, PitchForm::ratio), v, 1e-12) << text;
    }
}

TEST(NumberText, DurationsInWords) {
    EXPECT_EQ(format_duration(3661.5), "1 hour 1 minute 1.50 sec");
    EXPECT_EQ(format_duration(120), "2 minutes ");
    EXPECT_EQ(format_duration(0), "0 secs");
    EXPECT_EQ(format_duration(2 * 86400 + 7322, 2), "2 days 2 hours ");
    EXPECT_EQ(format_duration(62), "1 minute 2.00 secs");
}

}  // namespace
}  // namespace corvane::tuning
