#include "corvane/tuning/pitch_mapping.h"

#include <cmath>
#include <utility>

#include <gtest/gtest.h>

#include "corvane/tuning/mts_pitch.h"
#include "corvane/tuning/pitch_list.h"
#include "corvane/tuning/step_list.h"

namespace corvane::tuning {
namespace {

StepList read_absolute(std::string_view text) { return read_step_list(text, ListNotation::absolute); }

// The bar parts the ascending and descending forms, glued to its neighbours or not; step
// notation starts again after it.
TEST(StepList, MelodicMinorHasTwoPartsAndIsWrittenWithTheBar) {
    const auto list = read_absolute("0 2 3 5 7 9 11 12 | 0 2 3 5 7 8 10 12");
    EXPECT_EQ(list.ascending_last, 7);
    EXPECT_EQ(list.entries, (std::vector<double>{0, 2, 3, 5, 7, 9, 11, 12, 0, 2, 3, 5, 7, 8, 10, 12}));
    EXPECT_EQ(write_step_list(list, ListNotation::absolute), "0 2 3 5 7 9 11 12 | 0 2 3 5 7 8 10 12 ");
    EXPECT_EQ(truncated_steps(read_absolute("2.7 -1.5")), (std::vector<int>{2, -1}));
    for (const char* text : {"0 2 4| 0 1 4", "0 2 4 |0 1 4", "0 2 4|0 1 4"}) {
        EXPECT_EQ(read_absolute(text).entries, (std::vector<double>{0, 2, 4, 0, 1, 4})) << text;
        EXPECT_EQ(read_absolute(text).ascending_last, 2) << text;
    }
    const auto steps = read_step_list("0 2 2 1 | 12 -2 -2", ListNotation::steps);  // restarting after the bar
    EXPECT_EQ(steps.entries, (std::vector<double>{0, 2, 4, 5, 12, 10, 8}));
    EXPECT_EQ(read_step_list("3 2 2", ListNotation::steps).entries, (std::vector<double>{3, 5, 7}));
    EXPECT_EQ(write_step_list(steps, ListNotation::steps), "0 2 2 1 | 12 -2 -2 ");
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

// An arpeggio text that follows the scale is one of its names, whole, in any case; a step
// that does not read is found after a bar as before one.
TEST(StepList, FollowScaleNamesAreWholeWordsAndUnreadableStepsAreFoundAfterABar) {
    EXPECT_TRUE(is_follow_scale_text("use_RATIOS"));
    EXPECT_FALSE(is_follow_scale_text("0.12345678 2"));  // as long as "Use_ratios", no such name
    EXPECT_FALSE(is_follow_scale_text("Use ratios2"));
    EXPECT_EQ(first_unreadable_step("0 2|x 4"), "x");
    EXPECT_EQ(first_unreadable_step("0 2|12 4"), std::nullopt);
}

// Steps repeat at the period. Of two forms the one chosen follows the direction of the tune unless
// forced, for each voice on its own; voices beyond the slots share the last.
TEST(ChooseModeForm, StepsRepeatAtThePeriodAndTheFormFollowsTheDirectionOfTheTune) {
    const auto diatonic = read_absolute("0 2 4 5 7 9 11 12");
    const int n = diatonic.last_index();
    const std::pair<int, int> steps_and_degrees[] = {{7, 12}, {8, 14}, {-1, -1}, {-7, -12}, {-8, -13}};
    for (const auto& [step, degree] : steps_and_degrees) EXPECT_EQ(wrap_step(step, n, diatonic.entries), degree);
    EXPECT_EQ(wrap_step(5, 0, diatonic.entries), 5);
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
    voices[7].force = 2;
    EXPECT_EQ(choose_mode_form(5, minor, voices, 42), 8);  // voice 42 shares slot 7, forced down
    voices[7].force = 1;
    EXPECT_EQ(choose_mode_form(5, minor, voices, 7), 9);  // forced up, though the last went down
    EXPECT_EQ(choose_mode_form(-1, read_absolute("0 2 4 7 9 12"), voices, 3), -3);
}

TEST(DegreeRatio, ScalesRepeatAtTheirPeriod) {
    const std::vector<double> just{0, 0.125, 0.25, 1.0 / 3, 0.5, 2.0 / 3, 0.875, 1};
    const std::vector<double> arithmetic{0.5, 0.75, 1};
    const std::vector<double> harmonic{1};
    const std::vector<double> et31 =
        read_pitch_list("1 n(1/31)", PitchForm::ratio, ListNotation::absolute, kMiddleCFrequency).entries;
    struct Case {
        const std::vector<double>& scale;
        long degree;
        double ratio;
    };
    const Case cases[] = {
        // An octave scale repeats by multiplying, up and down.
        {just, 4, 1.5}, {just, 11, 3.0}, {just, -3, 0.75}, {just, -7, 0.5}, {just, -14, 0.25},
        // A first entry above the lowest note: no period down from it, a whole period below.
        {arithmetic, 2, 3.0}, {arithmetic, 1, 1.75}, {arithmetic, 0, 1.5}, {arithmetic, -2, 0.0},
        // One entry repeats itself: the harmonic series, an equal temperament.
        {harmonic, 3, 4.0}, {harmonic, -3, 0.25}, {et31, 31, 2.0}, {et31, -62, 0.25},
    };
    for (const Case& c : cases) {
        // Powers of the 31st root of 2 carry rounding; the others agree to the last bits.
        if (&c.scale == &et31) {
            EXPECT_NEAR(degree_ratio(c.scale, c.degree), c.ratio, 1e-14) << c.degree;
        } else {
            EXPECT_DOUBLE_EQ(degree_ratio(c.scale, c.degree), c.ratio) << c.degree;
        }
    }
    EXPECT_EQ(degree_ratio(std::vector<double>{-2}, 1), 0.0);
    EXPECT_EQ(degree_ratio(std::vector<double>{-0.5}, -2), 0.0);  // 1 - 2 x 0.5: no pitch, not 1/0
}

TEST(MidiPitch, FrequencyAndBackAndSplitIntoNoteAndBend) {
    EXPECT_DOUBLE_EQ(frequency_to_midi_pitch(440), 69.0);
    EXPECT_NEAR(frequency_to_midi_pitch(kMiddleCFrequency), 60.0, 1e-12);
    EXPECT_EQ(frequency_to_midi_pitch(450, true), 69.0);
    EXPECT_EQ(frequency_to_midi_pitch_clamped(1e9), 127.0);
    EXPECT_EQ(frequency_to_midi_pitch_clamped(0), 0.0);
    EXPECT_NEAR(midi_pitch_to_frequency(60), kMiddleCFrequency, 1e-9);
    const auto split = [](double pitch) {
        const NoteAndBend note_and_bend = split_midi_pitch(pitch);
        return std::pair(note_and_bend.note, note_and_bend.bend);
    };
    EXPECT_EQ(split(60.0), std::pair(60, 8192));
    EXPECT_EQ(split(60.25), std::pair(60, 9216));
    EXPECT_EQ(split(60.75), std::pair(61, 7168));
    EXPECT_NEAR(midi_pitch_of(split_midi_pitch(64.8631371386)), 64.8631371386, 1.0 / 4096);
    // Onto a key: the lowest key plays pitches near it; beyond the keys the bend takes the rest.
    const auto onto_key = [](double pitch) {
        const NoteAndBend note_and_bend = split_onto_key(pitch);
        return std::pair(note_and_bend.note, note_and_bend.bend);
    };
    EXPECT_EQ(onto_key(0.25), std::pair(0, 9216));
    EXPECT_EQ(onto_key(-1.0), std::pair(0, 4096));
    EXPECT_EQ(onto_key(128.0), std::pair(127, 12288));
}

// The tuning standard's three bytes: the semitone at or below, then 1/16384ths of a semitone
// in two 7-bit bytes, rounded to the nearest and held within what they can write.
TEST(MtsPitch, SemitoneAndFourteenBitFractionRoundedAndHeld) {
    // 61.99999 rounds up into the next semitone; 200 stops short of 7F 7F 7F, which means "no change".
    const std::pair<double, MtsPitch> pitches[] = {
        {69, {69, 0, 0}},       {60.5, {60, 0x40, 0}}, {60 + 1.0 / 16384, {60, 0, 1}}, {60 + 129.0 / 16384, {60, 1, 1}},
        {61.99999, {62, 0, 0}}, {-3, {0, 0, 0}},       {200, {127, 0x7F, 0x7E}},       {std::nan(""), {0, 0, 0}}};
    for (const auto& [pitch, bytes] : pitches) EXPECT_EQ(mts_pitch(pitch), bytes) << pitch;
    // A 19-tone step from middle C comes back within half a step of 1/16384 semitone.
    for (int degree = 0; degree <= 19 * 5; ++degree) {
        const double pitch = 36 + degree * 12.0 / 19;
        EXPECT_NEAR(midi_pitch_of(mts_pitch(pitch)), pitch, 0.5 / 16384) << degree;
    }
}

}  // namespace
}  // namespace corvane::tuning
