#include "corvane/engine/composition.h"

#include <cmath>
#include <functional>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace corvane::engine {
namespace {

using ::testing::ElementsAre;

TEST(NewComposition, ParsesItsScaleAndArpeggioAndLeavesChannelNineSilent) {
    const Composition c = new_composition();
    EXPECT_NEAR(c.Frequency_of_lowest_note, 440.0 * std::exp2((60.0 - 69.0) / 12.0), 1e-9);
    ASSERT_EQ(c.Intervals.size(), 2u);
    EXPECT_EQ(c.Intervals[0], 0.0);
    EXPECT_NEAR(c.Intervals[1], std::exp2(1.0 / 12.0) - 1.0, 1e-15);
    EXPECT_THAT(c.Arpeggio.entries, ElementsAre(0, 2, 4, 7, 9, 12));
    EXPECT_EQ(c.Arpeggio.ascending_last, 5);
    for (int ch = 0; ch < kMidiChannels; ++ch) {
        EXPECT_EQ(c.Voices_for_channels[static_cast<std::size_t>(ch)], ch == 9 ? -1 : 73) << ch;
    }
}

// Too large is held at the top and said; too small is held at the bottom without a word.
TEST(Limits, LevelsSustainAndChannelsAreHeldWithinTheirRanges) {
    struct Case {
        std::function<double(Composition&, double, platform::Reporter&)> set;
        double too_large, top;
        const char* message;
        const char* caption;
        double too_small, bottom;
    };
    const std::vector<Case> cases{
        {[](Composition& c, double v, platform::Reporter& r) { return set_levels(c, static_cast<long long>(v), r); },
         35, 29, "Maximum of 30 levels", "Levels", -2, 0},
        {[](Composition& c, double v, platform::Reporter& r) { return set_sustain(c, v, r); }, 301, 300,
         "Maximum of 300 notes to be played simultaneously.\n\nSustain can't exceed this value.", "Notes in chord", -1,
         0},
        {[](Composition& c, double v, platform::Reporter& r) {
             return set_channels_in_play(c, static_cast<long long>(v), r);
         },
         17, 16, "Maximum of 16 MIDI channels.", "Number of MIDI channels to use", 0, 1},
    };
    for (const Case& limit : cases) {
        SCOPED_TRACE(limit.caption);
        Composition c;
        platform::RecordingReporter reporter;
        EXPECT_EQ(limit.set(c, limit.too_large, reporter), limit.top);
        ASSERT_EQ(reporter.entries().size(), 1u);
        EXPECT_EQ(reporter.entries()[0].message, limit.message);
        EXPECT_EQ(reporter.entries()[0].caption, limit.caption);
        reporter.clear();
        EXPECT_EQ(limit.set(c, limit.too_small, reporter), limit.bottom);
        EXPECT_EQ(limit.set(c, limit.top, reporter), limit.top);
        EXPECT_TRUE(reporter.entries().empty());
    }
}

TEST(Limits, ListsAreCutToAThousandValues) {
    Composition c;
    const std::vector<int> seed(1500, 1);
    const std::vector<double> values(1200, 0.5);
    set_seed(c, seed);
    set_intervals(c, values);
    set_times_by_melody_pos(c, values);
    set_volumes_by_melody_pos(c, values);
    EXPECT_EQ(c.Note_heights.size(), 1000u);
    EXPECT_EQ(c.Intervals.size(), 1000u);
    EXPECT_EQ(c.times_by_melody_pos.size(), 1000u);
    EXPECT_EQ(c.volumes_by_melody_pos.size(), 1000u);
    set_formula(c, std::string(150, 'N'));
    EXPECT_EQ(c.sz_ccbo_formula.size(), 100u);
}

struct SustainCase {
    double sustain;
    int slots;
    double fraction;
};

TEST(DerivedValues, SustainGivesSlotsAndTheFractionOfTheLast) {
    for (const auto& [sustain, slots, fraction] : {SustainCase{0.5, 1, 0.5}, SustainCase{1, 1, 1}, SustainCase{1.5, 2, 0.5},
                                                   SustainCase{2, 2, 1}, SustainCase{0, 1, 0}, SustainCase{300, 300, 1}}) {
        Composition c;
        c.Sustain = sustain;
        EXPECT_EQ(c.SustainSlots(), slots) << sustain;
        EXPECT_DOUBLE_EQ(c.SustainFraction(), fraction) << sustain;
    }
}

TEST(DerivedValues, ChannelsInPlaySkipThoseWithoutAVoice) {
    Composition c;
    c.Voices_for_channels[0] = -1;
    c.Voices_for_channels[1] = -1;
    c.Voices_for_channels[3] = -1;
    c.Channels_in_Play = 2;
    const ChannelsInPlay playing = c.channels_in_play();
    EXPECT_THAT(playing.list(), ElementsAre(2, 4));
    c.Channels_in_Play = 16;
    EXPECT_EQ(c.channels_in_play().count, 12);  // 0, 1, 3 and 9 have no voice
}

TEST(Reading, ClearsTheFlagsOfTheOptionalFieldsAFileMayLeaveOutAndResetsTheirValues) {
    Composition c;
    c.has_Top_note_length = c.has_Top_note_volume = c.has_times_by_melody_pos = c.has_volumes_by_melody_pos = true;
    c.Use_ratios = c.has_Note_timing_shift = true;
    clear_flags_before_reading(c);
    EXPECT_FALSE(c.has_Top_note_length || c.has_Top_note_volume || c.has_times_by_melody_pos ||
                 c.has_volumes_by_melody_pos || c.Use_ratios);
    EXPECT_TRUE(c.has_Note_timing_shift);
    EXPECT_EQ(choose_channels_by_from_file(6), 5);
    EXPECT_EQ(choose_channels_by_from_file(2), 2);
    // A settings reset restores only the optional scalars that are off.
    c.Top_note_length = 3;
    c.Top_note_volume = 4;
    c.has_Top_note_volume = true;
    c.Note_timing_shift = 0.9;
    c.has_Note_timing_shift = false;
    reset_optional_scalars(c);
    EXPECT_EQ(c.Top_note_length, 0.0625);
    EXPECT_EQ(c.Top_note_volume, 4);
    EXPECT_EQ(c.Note_timing_shift, 0.5);
}

}  // namespace
}  // namespace corvane::engine
