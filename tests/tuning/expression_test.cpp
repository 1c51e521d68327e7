#include "corvane/tuning/expression.h"

#include <array>
#include <cmath>
#include <numbers>
#include <string_view>

#include <gtest/gtest.h>

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

TEST(Expression, DeepNestingAndLongTokensStayBounded) {
    const std::string deep(100000, '(');
    EXPECT_EQ(ratio_value(deep + "1"), 0.0);
    std::string chain = "1";
    for (int i = 0; i < 20000; ++i) chain += "+1";
    EXPECT_TRUE(std::isfinite(ratio_value(chain)));
    EXPECT_TRUE(std::isfinite(ratio_value(std::string(5000, 'n') + "1")));
}

TEST(ExpressionInABuffer, ReadsAsTheAllocatingEvaluationAndCutsALongerToken) {
    std::array<char, 64> scratch{};
    for (const std::string_view text : {"3/2", "n(7/12)", "1,5*2", "  -7/2 rest", "`1200", "x", "2+..5", ""}) {
        const Evaluation in_buffer = evaluate_expression(text, ratio, scratch);
        const Evaluation own = evaluate_expression(text, ratio);
        EXPECT_EQ(in_buffer.value, own.value) << text;
        EXPECT_EQ(in_buffer.number_read, own.number_read) << text;
        EXPECT_EQ(in_buffer.complete, own.complete) << text;
    }
    std::array<char, 3> small{};
    const Evaluation cut = evaluate_expression("12+34", ratio, small);  // read as "12+"
    EXPECT_EQ(cut.value, 12.0);
    EXPECT_FALSE(cut.complete);
}

}  // namespace
}  // namespace corvane::tuning
