#include "corvane/tuning/pitch_list.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "corvane/tuning/builtin_tables.h"
#include "corvane/tuning/pitch_mapping.h"
#include "corvane/tuning/scala.h"

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
    EXPECT_EQ(std::vector<double>(g.entries.begin(), g.entries.begin() + 4), (std::vector<double>{0, 1, 7, 127}));
    const auto h = read_ratio("#h 1");
    ASSERT_EQ(h.last_index(), 999);
    for (int k : {0, 1, 2, 3, 998}) EXPECT_DOUBLE_EQ(h.entries[k], k);
    for (double e : read_ratio("#H 10").entries) EXPECT_TRUE(std::isfinite(e));
    std::string many;
    for (int i = 0; i < 1200; ++i) many += "3/2 ";
    EXPECT_EQ(read_ratio(many).last_index(), 999);
}

TEST(PitchList, WritingInEachFormNotationAndHertz) {
    const std::vector<double> scale{0, std::exp2(1.0 / 12) - 1, 0.25, 1.0 / 3, 0.5, 1};
    EXPECT_EQ(write_pitch_list(scale, {}, {}), "1 n(1/12) 5/4 4/3 3/2 2 ");
    EXPECT_EQ(write_pitch_list(scale, {}, {.form = PitchForm::increment}), "0 n(1/12) 1/4 1/3 1/2 1 ");
    EXPECT_EQ(write_pitch_list(scale, {}, {.notation = ListNotation::steps}), "1 n(1/12) 1.17984 16/15 9/8 4/3 ");
    EXPECT_EQ(write_pitch_list(std::vector<double>{0, 0.5}, {}, {.hertz = true, .lowest_frequency = 440}),
              "440 Hz 660 Hz ");
}

// A value with a point or followed by "cents" is in cents, else a ratio; what follows a value is
// ignored; lines may end in a lone carriage return; steps accumulate when asked.
TEST(ScalaText, ReadsCentsRatiosAndStepsAndNotesAWrongCountOrPeriod) {
    struct Case {
        std::string_view text;
        ListNotation notation;
        std::vector<double> entries;
        std::string_view scale_text;
    };
    const double huge_ratio = 1709671705179880612640625.0 / 1208925819614629174706176.0;
    const Case cases[] = {
        {"! small.scl\r\n!\r\ntest\r\n 3\r\n!\r\n 100.0\r\n 3/2\r\n 2/1\r\n", ListNotation::absolute,
         {0, std::exp2(100.0 / 1200) - 1, 0.5, 1}, "1 100.0 cents 3/2 2/1 "},
        {"desc\n 3\n 492 cents fourth\n 3/2 fifth ! comment\n 2 octave\n", ListNotation::absolute,
         {0, std::exp2(492.0 / 1200) - 1, 0.5, 1}, "1 492 cents 3/2 2 "},
        {"d\r2\r-5.5\r1709671705179880612640625/1208925819614629174706176\r", ListNotation::absolute,
         {0, std::exp2(-5.5 / 1200) - 1, huge_ratio - 1},
         "1 -5.5 cents 1709671705179880612640625/1208925819614629174706176 "},
        {"\n2\n9/8\n9/8\n", ListNotation::steps, {0, 0.125, 81.0 / 64 - 1}, "1 9/8 9/8 "},
    };
    for (const Case& c : cases) {
        const ScalaReading s = read_scala_text(c.text, c.notation);
        ASSERT_EQ(s.entries.size(), c.entries.size()) << c.text;
        for (std::size_t i = 0; i < s.entries.size(); ++i) EXPECT_NEAR(s.entries[i], c.entries[i], 1e-15) << c.text;
        EXPECT_EQ(s.scale_text, c.scale_text);
        EXPECT_EQ(s.notes_read, s.expected_notes) << c.text;
    }
    const ScalaReading small = read_scala_text(cases[0].text);
    EXPECT_EQ(small.description, "test");
    EXPECT_EQ(small.expected_notes, 3);
    EXPECT_EQ(small.title_note, "");
    EXPECT_EQ(read_scala_text(cases[3].text).description, "");
    // A wrong count and a period other than the octave are noted in the title; a note count
    // beyond any int is held at the limit.
    EXPECT_EQ(read_scala_text("test\n4\n100.0\n3/2\n2/1\n").title_note, " (3 notes - expected 4) ");
    const auto tritave = read_scala_text("BP\n2\n9/7\n3/1\n");
    EXPECT_EQ(tritave.title_note, "~");
    EXPECT_FALSE(tritave.is_octave_scale());
    EXPECT_EQ(read_scala_text("x\n3\n3/1\n").title_note, "~ (1 notes - expected 3) ");
    EXPECT_EQ(read_scala_text("huge\n-8882030549448\n3/2\n").expected_notes, -2147483647 - 1);
    EXPECT_EQ(cycle_round_entries_arpeggio(3), "0 1 2 3 0");
    EXPECT_EQ(cycle_round_entries_message(3), "Cycle round entries 0 to 3");
}

std::vector<double> load(std::string_view definition, PitchForm form) {
    return read_pitch_list(definition, form, ListNotation::absolute, kMiddleCFrequency).entries;
}

// The menus' rows themselves are checked through the lists the files make of them.
TEST(BuiltinTables, CodesAndScaleDefinitions) {
    EXPECT_EQ(equal_temperament_code("e12"), 12);
    EXPECT_EQ(equal_temperament_code("e31"), 31);
    EXPECT_FALSE(equal_temperament_code("0 1/8").has_value());
    EXPECT_FALSE(equal_temperament_code("e").has_value());
    EXPECT_NE(find_scale_with_modes("harmonic SERIES"), nullptr);
    EXPECT_EQ(find_scale_with_modes("no such scale"), nullptr);
    EXPECT_TRUE(is_mode_list_file(other_scale_mode_rows().back().definition));
    EXPECT_TRUE(is_mode_list_file("a.LMD"));  // a one-letter name, the extension in either case
    EXPECT_FALSE(is_mode_list_file(".lmd"));
    EXPECT_EQ(twelve_tone_mode_rows()[kDefaultTwelveToneModeRow].title, "Pentatonic");
    // Every scale definition reads to an ascending scale from the lowest note.
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

// The Bohlen-Pierce scale, with the period 3/1, and the just twelve-tone scale are the same in
// both menus.
TEST(BuiltinTables, TheScalesOfBothMenusAgree) {
    const auto bohlen_pierce = load(new_scale_rows().back().definition, PitchForm::increment);
    const auto ratio = load(scales_with_modes_rows()[scales_with_modes_rows().size() - 2].definition, PitchForm::ratio);
    ASSERT_EQ(bohlen_pierce.size(), ratio.size());
    for (std::size_t i = 0; i < ratio.size(); ++i) EXPECT_NEAR(bohlen_pierce[i], ratio[i], 1e-15);
    EXPECT_DOUBLE_EQ(ratio.back(), 2.0);
    const auto twelve_tone = load(new_scale_rows()[4].definition, PitchForm::increment);
    const auto twelve_tone_ratio = load(scales_with_modes_rows()[19].definition, PitchForm::ratio);
    ASSERT_EQ(twelve_tone.size(), 13u);
    for (std::size_t i = 0; i < 13; ++i) EXPECT_DOUBLE_EQ(twelve_tone[i], twelve_tone_ratio[i]);
}

}  // namespace
}  // namespace corvane::tuning
