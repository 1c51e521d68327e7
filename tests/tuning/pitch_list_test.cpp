#include "corvane/tuning/pitch_list.h"

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

namespace corvane::tuning {
namespace {

constexpr double kLowest = 261.6255653005986;

PitchListReading read_ratio(std::string_view text, double lowest = kLowest) {
    return read_pitch_list(text, PitchForm::ratio, ListNotation::absolute, lowest);
}

// Both forms store increments; "cents" rereads the value before it; "Hz" sets the lowest note
// when it comes first and reads relative to it after; step notation accumulates.
TEST(PitchList, EntriesReadInEachFormAndNotation) {
    constexpr auto ratio = PitchForm::ratio;
    constexpr auto increment = PitchForm::increment;
    constexpr auto absolute = ListNotation::absolute;
    constexpr auto steps = ListNotation::steps;
    struct Case {
        std::string_view text;
        PitchForm form;
        ListNotation notation;
        double lowest;
        std::vector<double> entries;
    };
    const Case cases[] = {
        {"9/8", ratio, absolute, kLowest, {0.125}},
        {"1/8", increment, absolute, kLowest, {0.125}},
        {"1 n(1/12)", ratio, absolute, kLowest, {0, std::exp2(1.0 / 12) - 1}},
        {"1 94.135 cents 2", ratio, absolute, kLowest, {0, std::exp2(94.135 / 1200) - 1, 1}},
        {"0 700 Cents", increment, absolute, kLowest, {0, std::exp2(700.0 / 1200) - 1}},
        {"440 Hz 660 Hz 880 herz", ratio, absolute, kLowest, {0, 0.5, 1}},
        {"1 330 Hz", ratio, absolute, 220.0, {0, 0.5}},
        {"1 9/8 10/9 16/15", ratio, steps, kLowest, {0, 0.125, 0.25, 1.0 / 3}},
        // A list that starts away from the lowest note adds its steps.
        {"1 2 3", increment, steps, kLowest, {1, 3, 6}},
        // A reread value is accumulated too.
        {"1 100 cents 100 cents", ratio, steps, kLowest, {0, std::exp2(100.0 / 1200) - 1, std::exp2(200.0 / 1200) - 1}},
        // Nothing read is the lowest note alone; a comment ends the list.
        {"   ", ratio, absolute, kLowest, {0}},
        {"1 3/2 // 5/4 and words", ratio, absolute, kLowest, {0, 0.5}},
    };
    for (const Case& c : cases) {
        const auto read = read_pitch_list(c.text, c.form, c.notation, c.lowest).entries;
        ASSERT_EQ(read.size(), c.entries.size()) << c.text;
        for (std::size_t i = 0; i < read.size(); ++i) {
            const double tolerance = 1e-15 * std::max(1.0, std::fabs(c.entries[i]));
            EXPECT_NEAR(read[i], c.entries[i], tolerance) << c.text << ", entry " << i;
        }
    }
    EXPECT_EQ(read_ratio("440 Hz 660 Hz").lowest_frequency, 440.0);
    EXPECT_FALSE(read_ratio("1 330 Hz", 220.0).lowest_frequency.has_value());
    EXPECT_EQ(read_ratio("   ").count_read, 0);
}

TEST(PitchList, SeriesGeneratorsAndTheLimitOfAThousandEntries) {
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
    std::string many;
    for (int i = 0; i < 1200; ++i) many += "3/2 ";
    EXPECT_EQ(read_ratio(many).last_index(), 999);
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
