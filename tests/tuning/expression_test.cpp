#include "corvane/tuning/expression.h"

#include <array>
#include <cmath>
#include <numbers>
#include <string_view>
#include <tuple>

#include <gtest/gtest.h>

#include "corvane/platform/key_state.h"
#include "corvane/tuning/pitch_format.h"

namespace corvane::tuning {
namespace {

constexpr PitchForm ratio = PitchForm::ratio;
constexpr PitchForm increment = PitchForm::increment;

double ratio_value(std::string_view text) { return evaluate_expression(text, ratio).value; }

TEST(Expression, ValuesInEitherForm) {
    struct Case {
        std::string_view text;
        PitchForm form;
        double value;
    };
    const Case cases[] = {
        // Arithmetic, precedence, signs and exponents.
        {"9/8", ratio, 1.125}, {"1+2*3", ratio, 7.0}, {"2*3^2", ratio, 18.0}, {"(1+2)*3", ratio, 9.0},
        {"2**3", ratio, 8.0}, {"2|3", ratio, 8.0}, {"-5", ratio, -5.0}, {"3*-2", ratio, -6.0},
        {"1e-3+1", ratio, 1.001}, {"2.5E2", ratio, 250.0},
        // Chains group from the left, powers from the right; a sign after ^ is a sign.
        {"8/4/2", ratio, 1.0}, {"5-2-1", ratio, 2.0}, {"2^3^2", ratio, 512.0}, {"2^-1", ratio, 0.5},
        // A bracketed base: the bracket opening the text counts like any other.
        {"(16/15)^2", ratio, 256.0 / 225.0},
        {"6561/4096*(16/15)^2", ratio, 6561.0 / 4096.0 * 256.0 / 225.0},
        {"(2)^(1/2)^2", ratio, std::pow(2.0, 0.25)},
        // Implied multiplication.
        {"3(1/2)", ratio, 1.5}, {"(1/2)3", ratio, 1.5}, {"(1/2)(1/4)", ratio, 0.125},
        // Octave fractions and cents give the ratio or ratio - 1; a power applies no offset.
        {"n(1/12)", ratio, std::exp2(1.0 / 12)}, {"n(1/12)", increment, std::exp2(1.0 / 12) - 1},
        {"n(0)", ratio, 1.0}, {"n(0)", increment, 0.0}, {"m(7/12)", ratio, std::exp2(7.0 / 12)},
        {"`1200", ratio, 2.0}, {"'700", increment, std::exp2(700.0 / 1200) - 1}, {"`0", increment, 0.0},
        {"`-1200", ratio, 0.5}, {"2^(1/13)", increment, std::pow(2.0, 1.0 / 13)},
        // The function takes what is left once the operators have split: n1/12 is 2/12.
        {"n1/12", ratio, 2.0 / 12},
        // Functions and pi.
        {"e1", ratio, std::numbers::e}, {"l(e2)", ratio, 2.0}, {"r9", ratio, 3.0}, {"s0", ratio, 0.0},
        {"c0", ratio, 1.0}, {"2*p", ratio, 2 * std::numbers::pi}, {"-n(1)", ratio, -2.0},
        // Guards never let infinity or NaN out; an out-of-range power keeps the base.
        {"5/0", ratio, 5.0}, {"10^400", ratio, 10.0}, {"0^2", ratio, 0.0}, {"7^0", ratio, 1.0},
        {"e1000", ratio, std::exp(308.0)}, {"l0", ratio, std::log(1e-50)}, {"1e999", ratio, 1e308},
        {"r(-4)", ratio, 0.0},
        // The token ends at the first foreign character; a decimal comma reads as a point.
        {"  3/2 and more", ratio, 1.5}, {"440Hz", ratio, 440.0}, {"1,5", ratio, 1.5},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(evaluate_expression(c.text, c.form).value, c.value) << c.text;
    }
}

// Whether a number was read, and whether the whole text was one well-formed expression.
TEST(Expression, NumberReadAndCompleteFlags) {
    struct Case {
        std::string_view text;
        bool number_read;
        bool complete;
    };
    const Case cases[] = {
        {"0", true, true}, {"-.5", true, true}, {"", false, false}, {"p", false, false},
        {"// 3/2", false, false}, {"hello", false, false},
        // A sign or points with no number after them leave the expression incomplete.
        {"-", false, false}, {"3*-", true, false}, {"..5", false, false}, {"2+.-", true, false},
        {"2+..5", true, false},
        // More after the number or the token, or a division by zero.
        {"2n", true, false}, {"3/2 x", true, false}, {"5/0", true, false},
    };
    for (const Case& c : cases) {
        const Evaluation e = evaluate_expression(c.text, ratio);
        EXPECT_EQ(e.number_read, c.number_read) << c.text;
        EXPECT_EQ(e.complete, c.complete) << c.text;
    }
    EXPECT_DOUBLE_EQ(evaluate_or_default("xyz", 7.0, ratio), 7.0);
    EXPECT_DOUBLE_EQ(evaluate_or_default("3", 7.0, ratio), 3.0);
}

TEST(ExpressionInABuffer, ReadsAsTheAllocatingEvaluationAndCutsALongerToken) {
    std::array<char, 64> scratch{};
    for (const std::string_view text : {"3/2", "n(7/12)", "1,5*2", "  -7/2 rest", "`1200", "x", "2+..5", ""}) {
        const Evaluation in_buffer = evaluate_expression(text, ratio, scratch);
        const Evaluation own = evaluate_expression(text, ratio);
        EXPECT_EQ(std::tie(in_buffer.value, in_buffer.number_read, in_buffer.complete),
                  std::tie(own.value, own.number_read, own.complete)) << text;
    }
    std::array<char, 3> small{};
    const Evaluation cut = evaluate_expression("12+34", ratio, small);  // read as "12+"
    EXPECT_EQ(cut.value, 12.0);
    EXPECT_FALSE(cut.complete);
    // Deep nesting and long chains and tokens stay bounded.
    const std::string deep(100000, '(');
    EXPECT_EQ(ratio_value(deep + "1"), 0.0);
    std::string chain = "1";
    for (int i = 0; i < 20000; ++i) chain += "+1";
    EXPECT_TRUE(std::isfinite(ratio_value(chain)));
    EXPECT_TRUE(std::isfinite(ratio_value(std::string(5000, 'n') + "1")));
}

TEST(PitchFormat, ValuesWrittenAsTheSettingsAndRequestAsk) {
    const PitchFormat plain;
    const PitchFormat cents{.show_cents = true, .show_cents_or_small_ratios = false};  // even over small ratios
    const PitchFormat slash_one{.ratios_as_1o1_2o1_etc = true};
    const PitchFormat no_prime_limit{.iMaxDivisorForRatiosQuotient = 0};
    const PitchFormat factorised{.bFactoriseRatios = true};
    const PitchFormat eleven{.iMaxQuotientForNRatios = 11};
    const PitchFormat one{.iMaxQuotientForNRatios = 1};  // the configuration's default: whole octaves only
    const PitchFormat cents_or_small{.show_cents = true};
    const PitchFormat fixed{
        .iCentsSigFigs = 3, .show_cents = true, .show_cents_or_small_ratios = false, .cents_fixed_point = true};
    const PitchFormat four_figures{.iCentsSigFigs = 4};
    const PitchFormat full = PitchFormat::full_precision();
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
        {std::exp2(5.0 / 31), ratio, plain, {}, "n(5/31)"}, {std::sqrt(2.0), ratio, plain, {}, "n(1/2)"},
        {semitone, ratio, eleven, {}, "1.05946"},
        {semitone, ratio, one, {}, "1.05946"},
        // Cents when preferred; an octave fraction gives way to cents only when the cents hold it exactly.
        {1.5, ratio, cents, {.cents_word = true}, "701.955 cents"},
        {1.0, ratio, cents, {.cents_word = true}, "0 cents"},
        {1.5, ratio, cents, {}, "701.955"}, {1.5, ratio, cents_or_small, {}, "3/2"},
        {semitone, ratio, cents_or_small, {.cents_word = true}, "100 cents"},
        {std::exp2(1.0 / 7), ratio, cents_or_small, {}, "n(1/7)"},
        // The request's bits override the settings.
        {1.5, ratio, cents, {.ratio_only = true}, "3/2"}, {semitone, ratio, plain, {.ratio_only = true}, "1.05946"},
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

// Escape cuts the search for a ratio short. Durations are written in words.
TEST(NumberText, EscapeCutsTheSearchShortAndDurationsAreInWords) {
    platform::SettableKeyState keys;
    keys.set_escape(true);
    EXPECT_EQ(format_pitch_value(1.5, PitchForm::ratio, {}, {}, &keys), "1.5");
    EXPECT_EQ(format_duration(3661.5), "1 hour 1 minute 1.50 sec");
    EXPECT_EQ(format_duration(120), "2 minutes ");
    EXPECT_EQ(format_duration(0), "0 secs");
    EXPECT_EQ(format_duration(2 * 86400 + 7322, 2), "2 days 2 hours ");
    EXPECT_EQ(format_duration(86400), "1 day ");
    EXPECT_EQ(format_duration(62), "1 minute 2.00 secs");
}

// Sizes in kB of 1024 bytes and MB of 1024 kB: a decimal below 100 of the unit, none above.
TEST(NumberText, FileSizesInBytesKilobytesAndMegabytes) {
    const std::pair<unsigned long long, std::string_view> sizes[] = {
        {1, "1 byte"},      {1023, "1023 bytes"}, {1024, "1.0 kB"},    {1229, "1.2 kB"},
        {102297, "99.9 kB"}, {102349, "100 kB"},   {3565158, "3.4 MB"}, {5ULL << 30, "5120 MB"}};
    for (const auto& [bytes, text] : sizes) EXPECT_EQ(format_size(bytes), text) << bytes;
}

}  // namespace
}  // namespace corvane::tuning
