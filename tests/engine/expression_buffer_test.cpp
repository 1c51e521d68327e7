#include <array>
#include <string_view>

#include <gtest/gtest.h>

#include "corvane/tuning/expression.h"

namespace corvane::tuning {
namespace {

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
