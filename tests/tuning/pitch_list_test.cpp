#include "corvane/tuning/pitch_list.h"

#include <cmath>

#include <gtest/gtest.h>

namespace corvane::tuning {
namespace {

constexpr double kLowest = 261.6255653005986;

PitchListReading read_ratio(std::string_view text, double lowest = kLowest) {
    return read_pitch_list(text, PitchForm::ratio, ListNotation::absolute, lowest);
}

TEST(PitchList, BothFormsStoreIncrements) {
    EXPECT_DOUBLE_EQ(read_ratio("9/8").entries[0], 0.125);
    EXPECT_DOUBLE_EQ(read_pitch_list("1/8", PitchForm::increment, ListNotation::absolute, kLowest).entries[0], 0.125);
    const auto semitone = read_ratio("1 n(1/12)");
    ASSERT_EQ(semitone.last_index(), 1);
    EXPECT_EQ(semitone.entries[0], 0.0);
    EXPECT_DOUBLE_EQ(semitone.entries[1], std::exp2(1.0 / 12) - 1);
}

TEST(PitchList, CentsWordRereadsThePreviousValue) {
    const auto r = read_ratio("1 94.135 cents 2");
    ASSERT_EQ(r.last_index(), 2);
    EXPECT_DOUBLE_EQ(r.entries[1], std::exp2(94.135 / 1200) - 1);
    EXPECT_DOUBLE_EQ(r.entries[2], 1.0);
    const auto inc = read_pitch_list("0 700 Cents", PitchForm::increment, ListNotation::absolute, kLowest);
    EXPECT_DOUBLE_EQ(inc.entries[1], std::exp2(700.0 / 1200) - 1);
}

TEST(PitchList, HertzSetsTheLowestNoteThenReadsRelativeToIt) {
    const auto r = read_ratio("440 Hz 660 Hz 880 herz");
    ASSERT_TRUE(r.lowest_frequency.has_value());
    EXPECT_DOUBLE_EQ(*r.lowest_frequency, 440.0);
    ASSERT_EQ(r.last_index(), 2);
    EXPECT_EQ(r.entries[0], 0.0);
    EXPECT_DOUBLE_EQ(r.entries[1], 0.5);
    EXPECT_DOUBLE_EQ(r.entries[2], 1.0);
    const auto later = read_ratio("1 330 Hz", 220.0);
    EXPECT_FALSE(later.lowest_frequency.has_value());
    EXPECT_DOUBLE_EQ(later.entries[1], 0.5);
}

TEST(PitchList, SeriesGenerators) {
    const auto g = read_ratio("#G 2");
    ASSERT_EQ(g.last_index(), 999);
    EXPECT_EQ(g.entries[0], 0.0);
    EXPECT_DOUBLE_EQ(g.entries[1], 1.0);
    EXPECT_DOUBLE_EQ(g.entries[2], 7.0);
    EXPECT_DOUBLE_EQ(g.entries[3], 127.0);
    const auto h = read_ratio("#h 1");
    ASSERT_EQ(h.last_index(), 999);
    for (int k : {0, 1, 2, 3, 998}) EXPECT_DOUBLE_EQ(h.entries[k], k);
    for (double e : read_ratio("#H 10").entries) EXPECT_TRUE(std::isfinite(e));
}

TEST(PitchList, StepNotationAccumulates) {
    const auto ratios = read_pitch_list("1 9/8 10/9 16/15", PitchForm::ratio, ListNotation::steps, kLowest);
    ASSERT_EQ(ratios.last_index(), 3);
    EXPECT_DOUBLE_EQ(ratios.entries[2], 0.25);
    EXPECT_DOUBLE_EQ(ratios.entries[3], 1.0 / 3);
    // A list that starts away from the lowest note adds its steps.
    const auto sums = read_pitch_list("1 2 3", PitchForm::increment, ListNotation::steps, kLowest);
    EXPECT_DOUBLE_EQ(sums.entries[2], 6.0);
    // A reread value is accumulated too.
    const auto cents = read_pitch_list("1 100 cents 100 cents", PitchForm::ratio, ListNotation::steps, kLowest);
    EXPECT_NEAR(cents.entries[2], std::exp2(200.0 / 1200) - 1, 1e-15);
}

TEST(PitchList, LimitsAndOddInput) {
    std::string many;
    for (int i = 0; i < 1200; ++i) many += "3/2 ";
    EXPECT_EQ(read_ratio(many).last_index(), 999);
    const auto empty = read_ratio("   ");
    EXPECT_EQ(empty.count_read, 0);
    EXPECT_EQ(empty.last_index(), 0);
    EXPECT_EQ(read_ratio("1 3/2 // 5/4 and words").last_index(), 1);
}

TEST(PitchList, WriteThenReadGivesTheSameEntries) {
    const std::vector<double> scale{0, std::exp2(1.0 / 12) - 1, 0.25, 1.0 / 3, 0.5, 1};
    const PitchFormat full = PitchFormat::full_precision();
    for (auto form : {PitchForm::ratio, PitchForm::increment}) {
        for (auto notation : {ListNotation::absolute, ListNotation::steps}) {
            const std::string text = write_pitch_list(scale, full, {.form = form, .notation = notation});
            const auto back = read_pitch_list(text, form, notation, kLowest);
            ASSERT_EQ(back.entries.size(), scale.size()) << text;
            for (std::size_t i = 0; i < scale.size(); ++i) EXPECT_NEAR(back.entries[i], scale[i], 1e-12) << text;
        }
    }
    EXPECT_EQ(write_pitch_list(scale, {}, {}), "1 n(1/12) 5/4 4/3 3/2 2 ");
    EXPECT_EQ(write_pitch_list(scale, {}, {.form = PitchForm::increment}), "0 n(1/12) 1/4 1/3 1/2 1 ");
    EXPECT_EQ(write_pitch_list(std::vector<double>{0, 0.5}, {}, {.hertz = true, .lowest_frequency = 440}),
              "440 Hz 660 Hz ");
}

}  // namespace
}  // namespace corvane::tuning
