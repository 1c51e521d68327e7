#include "corvane/tuning/pitch_format.h"

#include <cmath>

#include <gtest/gtest.h>

#include "corvane/platform/key_state.h"

namespace corvane::tuning {
namespace {

std::string ratio_text(double v, const PitchFormat& s = {}, FormatRequest r = {}) {
    return format_pitch_value(v, PitchForm::ratio, s, r);
}

TEST(PitchFormat, WholeNumbersAndRatios) {
    EXPECT_EQ(ratio_text(2.0), "2");
    EXPECT_EQ(ratio_text(1.5), "3/2");
    EXPECT_EQ(ratio_text(1.125), "9/8");
    EXPECT_EQ(format_pitch_value(0.125, PitchForm::increment, {}), "1/8");
    EXPECT_EQ(ratio_text(45.0 / 32), "45/32");
    PitchFormat slash_one;
    slash_one.ratios_as_1o1_2o1_etc = true;
    EXPECT_EQ(ratio_text(2.0, slash_one), "2/1");
    EXPECT_EQ(ratio_text(1.5, slash_one), "3/2");
}

TEST(PitchFormat, DecimalsOutsideTheSearchedRangeAndForZero) {
    EXPECT_EQ(format_pitch_value(0.0, PitchForm::increment, {}), "0");
    EXPECT_EQ(ratio_text(-0.5), "-0.5");
    EXPECT_EQ(ratio_text(2e10), "2e+10");
}

TEST(PitchFormat, PrimeLimitRejectsRatiosWithLargePrimes) {
    // 53/52 has q above the limit of 50 and primes 53 and 13: no ratio, so the octave
    // fraction search runs and finds nothing within 100; the decimal stands.
    EXPECT_EQ(ratio_text(53.0 / 52), "1.01923");
    PitchFormat no_limit;
    no_limit.iMaxDivisorForRatiosQuotient = 0;
    EXPECT_EQ(ratio_text(53.0 / 52, no_limit), "53/52");
    // Below the limit on q, any primes are accepted.
    EXPECT_EQ(ratio_text(47.0 / 46), "47/46");
    // 7-smooth numbers pass however large q is.
    EXPECT_EQ(ratio_text(2187.0 / 2048), "2187/2048");
}

TEST(PitchFormat, FactorisedRatios) {
    PitchFormat f;
    f.bFactoriseRatios = true;
    EXPECT_EQ(ratio_text(45.0 / 32, f), "3^2*5/2^5");
    EXPECT_EQ(ratio_text(7.0 / 6, f), "7/(2*3) ");
    EXPECT_EQ(ratio_text(81.0 / 64, f), "3^4/2^6");
    EXPECT_EQ(format_pitch_value(0.5, PitchForm::increment, f), "1/2");
}

TEST(PitchFormat, OctaveFractions) {
    EXPECT_EQ(ratio_text(std::exp2(1.0 / 12)), "n(1/12)");
    EXPECT_EQ(format_pitch_value(std::exp2(7.0 / 12) - 1, PitchForm::increment, {}), "n(7/12)");
    EXPECT_EQ(ratio_text(std::exp2(5.0 / 31)), "n(5/31)");
    PitchFormat eleven;
    eleven.iMaxQuotientForNRatios = 11;
    EXPECT_EQ(ratio_text(std::exp2(1.0 / 12), eleven), "1.05946");
    PitchFormat one;  // the configuration's default: whole octaves only
    one.iMaxQuotientForNRatios = 1;
    EXPECT_EQ(ratio_text(std::exp2(1.0 / 12), one), "1.05946");
}

TEST(PitchFormat, CentsWhenPreferred) {
    PitchFormat cents;
    cents.show_cents = true;
    cents.show_cents_or_small_ratios = false;
    EXPECT_EQ(ratio_text(1.5, cents, {.cents_word = true}), "701.955 cents");
    EXPECT_EQ(ratio_text(1.0, cents, {.cents_word = true}), "0 cents");
    EXPECT_EQ(ratio_text(1.5, cents), "701.955");
    // An octave fraction gives way to cents only when the cents hold it exactly.
    PitchFormat both = cents;
    both.show_cents_or_small_ratios = true;
    EXPECT_EQ(ratio_text(1.5, both), "3/2");
    EXPECT_EQ(ratio_text(std::exp2(1.0 / 12), both, {.cents_word = true}), "100 cents");
    EXPECT_EQ(ratio_text(std::exp2(1.0 / 7), both), "n(1/7)");
}

TEST(PitchFormat, RequestBits) {
    PitchFormat cents;
    cents.show_cents = true;
    cents.show_cents_or_small_ratios = false;
    EXPECT_EQ(ratio_text(1.5, cents, {.ratio_only = true}), "3/2");
    EXPECT_EQ(ratio_text(std::exp2(1.0 / 12), {}, {.ratio_only = true}), "1.05946");
    EXPECT_EQ(ratio_text(std::exp2(1.0 / 12), {}, {.cents_only = true}), "100");
    EXPECT_EQ(ratio_text(1.5, {}, {.cents_only = true}), "3/2");
}

TEST(PitchFormat, FixedPointCents) {
    PitchFormat fixed;
    fixed.show_cents = true;
    fixed.show_cents_or_small_ratios = false;
    fixed.cents_fixed_point = true;
    fixed.iCentsSigFigs = 3;
    EXPECT_EQ(ratio_text(1.5, fixed), " 701.955");
    EXPECT_EQ(ratio_text(std::exp2(1.0 / 12), fixed), " 100.000");
}

TEST(PitchFormat, SignificantFigures) {
    PitchFormat four;
    four.iCentsSigFigs = 4;
    EXPECT_EQ(ratio_text(std::numbers::pi, four), "3.142");
    EXPECT_EQ(format_general(0.1, 6), "0.1");
    EXPECT_EQ(format_general(1234567.0, 6), "1.23457e+06");
}

TEST(NumberText, DurationsInWords) {
    EXPECT_EQ(format_duration(3661.5), "1 hour 1 minute 1.50 sec");
    EXPECT_EQ(format_duration(120), "2 minutes ");
    EXPECT_EQ(format_duration(0), "0 secs");
    EXPECT_EQ(format_duration(2 * 86400 + 7322, 2), "2 days 2 hours ");
    EXPECT_EQ(format_duration(62), "1 minute 2.00 secs");
}

TEST(PitchFormat, FullPrecisionKeepsEveryDigit) {
    const PitchFormat full = PitchFormat::full_precision();
    EXPECT_EQ(ratio_text(0.125, full), "1/8");
    EXPECT_EQ(ratio_text(0.1, full), "1/10");
    EXPECT_EQ(ratio_text(std::numbers::pi, full), "3.1415926535898");
    EXPECT_EQ(ratio_text(std::exp2(1.0 / 12), full), "n(1/12)");
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

}  // namespace
}  // namespace corvane::tuning
