#include "corvane/tuning/expression.h"

#include <array>
#include <cmath>
#include <numbers>
#include <string_view>

#include <gtest/gtest.h>

namespace corvane::tuning {
namespace {

double ratio_value(std::string_view text) { return evaluate_expression(text, PitchForm::ratio).value; }
double increment_value(std::string_view text) { return evaluate_expression(text, PitchForm::increment).value; }

TEST(Expression, ArithmeticAndPrecedence) {
    EXPECT_DOUBLE_EQ(ratio_value("9/8"), 1.125);
    EXPECT_DOUBLE_EQ(ratio_value("1+2*3"), 7.0);
    EXPECT_DOUBLE_EQ(ratio_value("2*3^2"), 18.0);
    EXPECT_DOUBLE_EQ(ratio_value("(1+2)*3"), 9.0);
    EXPECT_DOUBLE_EQ(ratio_value("2**3"), 8.0);
    EXPECT_DOUBLE_EQ(ratio_value("2|3"), 8.0);
    EXPECT_DOUBLE_EQ(ratio_value("-5"), -5.0);
    EXPECT_DOUBLE_EQ(ratio_value("3*-2"), -6.0);
    EXPECT_DOUBLE_EQ(ratio_value("1e-3+1"), 1.001);
    EXPECT_DOUBLE_EQ(ratio_value("2.5E2"), 250.0);
}

TEST(Expression, ChainsGroupFromTheLeftAndPowersFromTheRight) {
    EXPECT_DOUBLE_EQ(ratio_value("8/4/2"), 1.0);
    EXPECT_DOUBLE_EQ(ratio_value("5-2-1"), 2.0);
    EXPECT_DOUBLE_EQ(ratio_value("2^3^2"), 512.0);
    EXPECT_DOUBLE_EQ(ratio_value("2^-1"), 0.5);
    // A bracketed base: the bracket opening the text counts like any other.
    EXPECT_DOUBLE_EQ(ratio_value("(16/15)^2"), 256.0 / 225.0);
    EXPECT_DOUBLE_EQ(ratio_value("6561/4096*(16/15)^2"), 6561.0 / 4096.0 * 256.0 / 225.0);
    EXPECT_DOUBLE_EQ(ratio_value("(2)^(1/2)^2"), std::pow(2.0, 0.25));
}

TEST(Expression, ImpliedMultiplication) {
    EXPECT_DOUBLE_EQ(ratio_value("3(1/2)"), 1.5);
    EXPECT_DOUBLE_EQ(ratio_value("(1/2)3"), 1.5);
    EXPECT_DOUBLE_EQ(ratio_value("(1/2)(1/4)"), 0.125);
}

TEST(Expression, OctaveFractionsDependOnTheForm) {
    EXPECT_DOUBLE_EQ(ratio_value("n(1/12)"), std::exp2(1.0 / 12));
    EXPECT_DOUBLE_EQ(increment_value("n(1/12)"), std::exp2(1.0 / 12) - 1);
    EXPECT_EQ(ratio_value("n(0)"), 1.0);
    EXPECT_EQ(increment_value("n(0)"), 0.0);
    EXPECT_DOUBLE_EQ(ratio_value("m(7/12)"), std::exp2(7.0 / 12));
    // The function takes what is left once the operators have split: n1/12 is 2/12.
    EXPECT_DOUBLE_EQ(ratio_value("n1/12"), 2.0 / 12);
}

TEST(Expression, CentsDependOnTheForm) {
    EXPECT_DOUBLE_EQ(ratio_value("`1200"), 2.0);
    EXPECT_DOUBLE_EQ(increment_value("'700"), std::exp2(700.0 / 1200) - 1);
    EXPECT_EQ(increment_value("`0"), 0.0);
    EXPECT_DOUBLE_EQ(ratio_value("`-1200"), 0.5);
}

TEST(Expression, PowerAppliesNoOffset) {
    EXPECT_DOUBLE_EQ(ratio_value("2^(1/13)"), std::pow(2.0, 1.0 / 13));
    EXPECT_DOUBLE_EQ(increment_value("2^(1/13)"), std::pow(2.0, 1.0 / 13));
}

TEST(Expression, Functions) {
    EXPECT_DOUBLE_EQ(ratio_value("e1"), std::numbers::e);
    EXPECT_DOUBLE_EQ(ratio_value("l(e2)"), 2.0);
    EXPECT_DOUBLE_EQ(ratio_value("r9"), 3.0);
    EXPECT_DOUBLE_EQ(ratio_value("s0"), 0.0);
    EXPECT_DOUBLE_EQ(ratio_value("c0"), 1.0);
    EXPECT_DOUBLE_EQ(ratio_value("2*p"), 2 * std::numbers::pi);
    EXPECT_DOUBLE_EQ(ratio_value("-n(1)"), -2.0);
}

TEST(Expression, GuardsNeverLetInfinityOrNanOut) {
    EXPECT_DOUBLE_EQ(ratio_value("5/0"), 5.0);
    EXPECT_DOUBLE_EQ(ratio_value("10^400"), 10.0);  // out-of-range power keeps the base
    EXPECT_DOUBLE_EQ(ratio_value("0^2"), 0.0);
    EXPECT_DOUBLE_EQ(ratio_value("7^0"), 1.0);
    EXPECT_DOUBLE_EQ(ratio_value("e1000"), std::exp(308.0));
    EXPECT_DOUBLE_EQ(ratio_value("l0"), std::log(1e-50));
    EXPECT_TRUE(std::isfinite(ratio_value("1e999")));
    EXPECT_EQ(ratio_value("r(-4)"), 0.0);
}

TEST(Expression, TokenEndsAtTheFirstForeignCharacter) {
    EXPECT_DOUBLE_EQ(ratio_value("  3/2 and more"), 1.5);
    EXPECT_DOUBLE_EQ(ratio_value("440Hz"), 440.0);
    EXPECT_DOUBLE_EQ(ratio_value("1,5"), 1.5);
}

TEST(Expression, NumberReadFlagAndDefault) {
    EXPECT_TRUE(evaluate_expression("0", PitchForm::ratio).number_read);
    EXPECT_FALSE(evaluate_expression("", PitchForm::ratio).number_read);
    EXPECT_FALSE(evaluate_expression("p", PitchForm::ratio).number_read);
    EXPECT_FALSE(evaluate_expression("// 3/2", PitchForm::ratio).number_read);
    EXPECT_FALSE(evaluate_expression("hello", PitchForm::ratio).number_read);
    EXPECT_DOUBLE_EQ(evaluate_or_default("xyz", 7.0, PitchForm::ratio), 7.0);
    EXPECT_DOUBLE_EQ(evaluate_or_default("3", 7.0, PitchForm::ratio), 3.0);
    // A sign or points with no number after them leave the expression incomplete.
    for (const std::string_view incomplete : {"-", "3*-", "..5", "2+.-"}) {
        EXPECT_FALSE(evaluate_expression(incomplete, PitchForm::ratio).complete) << incomplete;
    }
    EXPECT_TRUE(evaluate_expression("-.5", PitchForm::ratio).complete);
}

TEST(Expression, DeepNestingAndLongTokensStayBounded) {
    const std::string deep(100000, '(');
    EXPECT_EQ(ratio_value(deep + "1"), 0.0);
    std::string chain = "1";
    for (int i = 0; i < 20000; ++i) chain += "+1";
    EXPECT_TRUE(std::isfinite(ratio_value(chain)));
    EXPECT_TRUE(std::isfinite(ratio_value(std::string(5000, 'n') + "1")));
}

TEST(ExpressionInABuffer, ReadsAsTheAllocatingEvaluation) {
    std::array<char, 64> scratch{};
    for (const std::string_view text : {"3/2", "n(7/12)", "1,5*2", "  -7/2 rest", "`1200", "x", ""}) {
        const Evaluation in_buffer = evaluate_expression(text, PitchForm::ratio, scratch);
        const Evaluation own = evaluate_expression(text, PitchForm::ratio);
        EXPECT_EQ(in_buffer.value, own.value) << text;
        EXPECT_EQ(in_buffer.number_read, own.number_read) << text;
    }
}

TEST(ExpressionInABuffer, CutsATokenLongerThanTheBuffer) {
    std::array<char, 3> scratch{};
    EXPECT_EQ(evaluate_expression("12+34", PitchForm::ratio, scratch).value, 12.0);  // read as "12+"
}

}  // namespace
}  // namespace corvane::tuning
