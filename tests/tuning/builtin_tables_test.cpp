#include "corvane/tuning/builtin_tables.h"

#include <cmath>

#include <gtest/gtest.h>

#include "corvane/tuning/pitch_list.h"
#include "corvane/tuning/pitch_mapping.h"
#include "corvane/tuning/step_list.h"

namespace corvane::tuning {
namespace {

std::vector<double> load(std::string_view definition, PitchForm form) {
    return read_pitch_list(definition, form, ListNotation::absolute, kMiddleCFrequency).entries;
}

TEST(BuiltinTables, MenusHaveTheirRowsInOrder) {
    EXPECT_EQ(new_scale_rows().size(), 14u);
    EXPECT_EQ(new_scale_rows()[5].definition, kMeanToneCode);
    const auto with_modes = scales_with_modes_rows();
    EXPECT_EQ(with_modes.front().title, "Clear");
    EXPECT_EQ(with_modes.front().definition, "1");
    EXPECT_EQ(with_modes.back().title, kMoreScalesTitle);
    EXPECT_EQ(with_modes[1].title, "Equal Temperament (M)");
    EXPECT_EQ(with_modes[1].modes, kTwelveToneModesCode);
    EXPECT_EQ(twelve_tone_mode_rows()[kDefaultTwelveToneModeRow].title, "Pentatonic");
    EXPECT_EQ(twelve_tone_mode_rows()[1].definition, kFollowScaleDefinition);
    EXPECT_EQ(other_scale_mode_rows().size(), 9u);
    EXPECT_TRUE(is_mode_list_file(other_scale_mode_rows().back().definition));
}

TEST(BuiltinTables, Codes) {
    EXPECT_EQ(equal_temperament_code("e12"), 12);
    EXPECT_EQ(equal_temperament_code("e31"), 31);
    EXPECT_FALSE(equal_temperament_code("0 1/8").has_value());
    EXPECT_FALSE(equal_temperament_code("e").has_value());
    EXPECT_NE(find_scale_with_modes("harmonic SERIES"), nullptr);
    EXPECT_EQ(find_scale_with_modes("no such scale"), nullptr);
}

TEST(BuiltinTables, EveryScaleDefinitionReadsToAnAscendingScale) {
    for (const auto& row : new_scale_rows()) {
        if (equal_temperament_code(row.definition) || row.definition == kMeanToneCode || row.title == "Clear") continue;
        const auto entries = load(row.definition, PitchForm::increment);
        EXPECT_EQ(entries.front(), 0.0) << row.title;
        EXPECT_TRUE(std::is_sorted(entries.begin(), entries.end())) << row.title;
    }
    for (const auto& row : scales_with_modes_rows()) {
        if (row.definition.empty() || row.title == "Clear" || row.title == "Harmonic series") continue;
        const auto entries = load(row.definition, PitchForm::ratio);
        EXPECT_EQ(entries.front(), 0.0) << row.title;
    }
}

TEST(BuiltinTables, BohlenPierceRowsAgreeWithPeriodThreeToOne) {
    const auto increment = load(new_scale_rows().back().definition, PitchForm::increment);
    const auto ratio = load(scales_with_modes_rows()[scales_with_modes_rows().size() - 2].definition, PitchForm::ratio);
    ASSERT_EQ(increment.size(), ratio.size());
    for (std::size_t i = 0; i < ratio.size(); ++i) EXPECT_NEAR(increment[i], ratio[i], 1e-15);
    EXPECT_DOUBLE_EQ(ratio.back(), 2.0);
}

TEST(BuiltinTables, TwelveToneTablesAgreeAcrossMenus) {
    const auto increment = load(new_scale_rows()[4].definition, PitchForm::increment);
    const auto ratio = load(scales_with_modes_rows()[19].definition, PitchForm::ratio);
    ASSERT_EQ(increment.size(), 13u);
    for (std::size_t i = 0; i < 13; ++i) EXPECT_DOUBLE_EQ(increment[i], ratio[i]);
}

}  // namespace
}  // namespace corvane::tuning
