#include "corvane/tuning/step_list.h"

#include <gtest/gtest.h>

namespace corvane::tuning {
namespace {

StepList read_absolute(std::string_view text) { return read_step_list(text, ListNotation::absolute); }

TEST(StepList, MelodicMinorHasTwoPartsAndIsWrittenWithTheBar) {
    const auto list = read_absolute("0 2 3 5 7 9 11 12 | 0 2 3 5 7 8 10 12");
    EXPECT_EQ(list.ascending_last, 7);
    EXPECT_EQ(list.last_index(), 15);
    EXPECT_EQ(list.entries[8], 0);
    EXPECT_EQ(list.entries[13], 8);
    EXPECT_EQ(write_step_list(list, ListNotation::absolute), "0 2 3 5 7 9 11 12 | 0 2 3 5 7 8 10 12 ");
    EXPECT_EQ(truncated_steps(read_absolute("2.7 -1.5")), (std::vector<int>{2, -1}));
}

TEST(StepList, BarGluedOrAloneGivesTheSameParts) {
    const auto alone = read_absolute("0 2 4 | 0 1 4");
    for (const char* text : {"0 2 4| 0 1 4", "0 2 4 |0 1 4", "0 2 4|0 1 4"}) {
        const auto glued = read_absolute(text);
        EXPECT_EQ(glued.entries, alone.entries) << text;
        EXPECT_EQ(glued.ascending_last, alone.ascending_last) << text;
    }
}

TEST(StepList, NoBarMeansOnePartNothingMeansDegreeZeroAndAThousandIsTheMost) {
    const auto one = read_absolute("0 2 4 7 9 12");
    EXPECT_EQ(one.ascending_last, 5);
    EXPECT_FALSE(one.has_descending_part());
    const auto nothing = read_absolute("");
    EXPECT_EQ(nothing.entries, std::vector<double>{0});
    EXPECT_EQ(read_absolute("| 3 4").ascending_last, 0);
    EXPECT_EQ(read_absolute("x 4").entries, (std::vector<double>{0, 4}));
    std::string many;
    for (int i = 0; i < 1500; ++i) many += "1 ";
    EXPECT_EQ(read_absolute(many).last_index(), 999);
}

TEST(StepList, StepNotationRestartsInTheDescendingPart) {
    const auto list = read_step_list("0 2 2 1 | 12 -2 -2", ListNotation::steps);
    EXPECT_EQ(list.entries, (std::vector<double>{0, 2, 4, 5, 12, 10, 8}));
    EXPECT_EQ(write_step_list(list, ListNotation::steps), "0 2 2 1 | 12 -2 -2 ");
}

TEST(WrapStep, RepeatsAtThePeriod) {
    const auto diatonic = read_absolute("0 2 4 5 7 9 11 12");
    const int n = diatonic.last_index();
    EXPECT_EQ(wrap_step(7, n, diatonic.entries), 12);
    EXPECT_EQ(wrap_step(8, n, diatonic.entries), 14);
    EXPECT_EQ(wrap_step(-1, n, diatonic.entries), -1);
    EXPECT_EQ(wrap_step(-7, n, diatonic.entries), -12);
    EXPECT_EQ(wrap_step(-8, n, diatonic.entries), -13);
    EXPECT_EQ(wrap_step(5, 0, diatonic.entries), 5);
}

TEST(ChooseModeForm, FollowsTheDirectionOfTheTune) {
    const auto minor = read_absolute("0 2 3 5 7 9 11 12 | 0 2 3 5 7 8 10 12");
    ModeVoices voices{};
    voices[0].force = 1;
    EXPECT_EQ(choose_mode_form(0, minor, voices, 0), 0);   // forced ascending
    EXPECT_EQ(choose_mode_form(5, minor, voices, 0), 9);   // rising from the shared tonic
    EXPECT_EQ(choose_mode_form(6, minor, voices, 0), 11);  // keeps the ascending form
    EXPECT_EQ(choose_mode_form(7, minor, voices, 0), 12);
    EXPECT_EQ(choose_mode_form(6, minor, voices, 0), 10);  // falling from the octave
    EXPECT_EQ(choose_mode_form(5, minor, voices, 0), 8);
    voices[0].force = 2;
    EXPECT_EQ(choose_mode_form(6, minor, voices, 0), 10);
    EXPECT_EQ(voices[0].force, 0);
}

TEST(ChooseModeForm, VoicesAreIndependentAndClamped) {
    const auto minor = read_absolute("0 2 3 5 7 9 11 12 | 0 2 3 5 7 8 10 12");
    ModeVoices voices{};
    voices[7].force = 2;
    EXPECT_EQ(choose_mode_form(5, minor, voices, 42), 8);  // voice 42 shares slot 7, forced down
    EXPECT_EQ(choose_mode_form(5, minor, voices, 0), 9);
    voices[7].force = 1;
    EXPECT_EQ(choose_mode_form(5, minor, voices, 7), 9);  // forced up, though the last went down
    const auto pentatonic = read_absolute("0 2 4 7 9 12");
    EXPECT_EQ(choose_mode_form(-1, pentatonic, voices, 3), -3);
}

}  // namespace
}  // namespace corvane::tuning
