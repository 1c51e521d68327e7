#include "corvane/engine/composition.h"

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "corvane/engine/seed.h"

namespace corvane::engine {
namespace {

using ::testing::ElementsAre;

// Too large is held at the top and said; too small is held at the bottom without a word.
TEST(Limits, LevelsSustainChannelsAndListsAreHeldWithinTheirRanges) {
    Composition c;
    platform::RecordingReporter reporter;
    EXPECT_EQ(set_levels(c, 35, reporter), 29);
    EXPECT_EQ(set_sustain(c, 301, reporter), 300);
    EXPECT_EQ(set_channels_in_play(c, 17, reporter), 16);
    std::vector<std::string> said;
    for (const auto& entry : reporter.entries()) said.push_back(entry.caption + ": " + entry.message);
    EXPECT_THAT(said, ElementsAre("Levels: Maximum of 30 levels",
                                  "Notes in chord: Maximum of 300 notes to be played simultaneously.\n\n"
                                  "Sustain can't exceed this value.",
                                  "Number of MIDI channels to use: Maximum of 16 MIDI channels."));
    reporter.clear();
    EXPECT_EQ(set_levels(c, -2, reporter), 0);
    EXPECT_EQ(set_sustain(c, -1, reporter), 0);
    EXPECT_EQ(set_channels_in_play(c, 0, reporter), 1);
    EXPECT_EQ(set_levels(c, 29, reporter), 29);
    EXPECT_EQ(set_sustain(c, 300, reporter), 300);
    EXPECT_EQ(set_channels_in_play(c, 16, reporter), 16);
    EXPECT_TRUE(reporter.entries().empty());

    // Lists are cut to a thousand values, the formula to a hundred characters.
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

// Rule 6 of older files is rule 5.
TEST(DerivedValues, SustainGivesSlotsAndTheFractionOfTheLastAndAFilesRuleSixIsRuleFive) {
    using SustainCase = std::tuple<double, int, double>;  // sustain, slots and the fraction of the last
    for (const auto& [sustain, slots, fraction] :
         {SustainCase{0.5, 1, 0.5}, SustainCase{1, 1, 1}, SustainCase{1.5, 2, 0.5}, SustainCase{2, 2, 1},
          SustainCase{0, 1, 0}, SustainCase{300, 300, 1}}) {
        Composition c;
        c.Sustain = sustain;
        EXPECT_EQ(c.SustainSlots(), slots) << sustain;
        EXPECT_DOUBLE_EQ(c.SustainFraction(), fraction) << sustain;
    }
    EXPECT_EQ(choose_channels_by_from_file(6), 5);
    EXPECT_EQ(choose_channels_by_from_file(2), 2);
}

std::vector<int> seed_of(std::string_view text, SeedStrictness strictness = SeedStrictness::lenient) {
    const auto reading = read_seed(text, strictness);
    return reading ? reading->values : std::vector<int>{-999};
}

// Values are expressions truncated toward zero; the annotations of a composition file end the
// seed; a test word is skipped and remembered; strict reading refuses what is not a number; a
// thousand values are the most.
TEST(ReadSeed, ReadsValuesUpToTheAnnotationsOfACompositionFile) {
    // "#x" is no stop word: it reads as a (non-)number, as "x" does.
    const std::pair<std::string_view, std::vector<int>> leniently_read[] = {
        {"3 -1 2.7 -2.7 7/2 \t 1e1", {3, -1, 2, -2, 3, 10}}, {"", {}}, {"0 1 2 1 v 1 2 3 4", {0, 1, 2, 1}},
        {"0 1 VELOCITY 5", {0, 1}}, {"0 1 ;comment 5", {0, 1}}, {"0 1 durations 1 1", {0, 1}}, {"0 #r 1", {0}},
        {"0 #S 1", {0}}, {"0 #x 1", {0, 0, 1}}, {"0 x 1", {0, 0, 1}}};
    for (const auto& [text, values] : leniently_read) EXPECT_EQ(seed_of(text), values) << text;
    EXPECT_FALSE(read_seed("0 x 1", SeedStrictness::strict));
    const auto reading = read_seed("0 TEST 1 test2 2", SeedStrictness::strict);
    ASSERT_TRUE(reading);
    EXPECT_THAT(reading->values, ElementsAre(0, 1, 2));
    EXPECT_TRUE(reading->contains_test);
    EXPECT_FALSE(read_seed("0 1 2", SeedStrictness::strict)->contains_test);
    std::string long_text;
    for (int i = 0; i < 1200; ++i) long_text += std::to_string(i % 7) + " ";
    EXPECT_EQ(seed_of(long_text).size(), 1000u);
}

// The ten offered seeds all read; the drop list is one seed a line.
TEST(BuiltinSeeds, AreTheTenOfferedSeedsAndAllReadAndTheDropListIsOneSeedALine) {
    const auto seeds = builtin_seeds();
    ASSERT_EQ(seeds.size(), 10u);
    for (const auto seed : seeds) EXPECT_TRUE(read_seed(seed, SeedStrictness::strict)) << seed;
    EXPECT_THAT(seeds_drop_list_lines("0 1\r\n0 2 1\r\n\r\n0 3"), ElementsAre("0 1", "0 2 1", "", "0 3"));
    EXPECT_EQ(no_text_editor_message("C:\\Corvane"),
              "Couldn't find the application associated with text files.\n\nTo edit the seeds drop list, use a text "
              "editor such as Notepad to open the file \"musical seeds drop list.txt\" in the folder \"C:\\Corvane\"");
}

}  // namespace
}  // namespace corvane::engine
