#include "corvane/tuning/pitch_mapping.h"

#include <cmath>

#include <gtest/gtest.h>

#include "corvane/tuning/pitch_list.h"
#include "corvane/tuning/step_list.h"

namespace corvane::tuning {
namespace {

TEST(DegreeRatio, OctaveScaleRepeatsByMultiplying) {
    const std::vector<double> just{0, 0.125, 0.25, 1.0 / 3, 0.5, 2.0 / 3, 0.875, 1};
    EXPECT_DOUBLE_EQ(degree_ratio(just, 4), 1.5);
    EXPECT_DOUBLE_EQ(degree_ratio(just, 11), 3.0);
    EXPECT_DOUBLE_EQ(degree_ratio(just, -3), 0.75);
    EXPECT_DOUBLE_EQ(degree_ratio(just, -7), 0.5);
    EXPECT_DOUBLE_EQ(degree_ratio(just, -14), 0.25);
}

TEST(DegreeRatio, ArithmeticAndOneEntryScales) {
    const std::vector<double> arithmetic{0.5, 0.75, 1};
    EXPECT_DOUBLE_EQ(degree_ratio(arithmetic, 2), 3.0);
    EXPECT_DOUBLE_EQ(degree_ratio(arithmetic, 1), 1.75);
    EXPECT_DOUBLE_EQ(degree_ratio(arithmetic, 0), 1.5);   // the first entry: no period down
    EXPECT_DOUBLE_EQ(degree_ratio(arithmetic, -2), 0.0);  // a whole period down
    const std::vector<double> one{1};
    EXPECT_DOUBLE_EQ(degree_ratio(one, 3), 4.0);
    EXPECT_DOUBLE_EQ(degree_ratio(one, -3), 0.25);
    EXPECT_EQ(degree_ratio(std::vector<double>{-2}, 1), 0.0);
}

TEST(MidiPitch, FrequencyAndBack) {
    EXPECT_DOUBLE_EQ(frequency_to_midi_pitch(440), 69.0);
    EXPECT_NEAR(frequency_to_midi_pitch(kMiddleCFrequency), 60.0, 1e-12);
    EXPECT_EQ(frequency_to_midi_pitch(450, true), 69.0);
    EXPECT_EQ(frequency_to_midi_pitch_clamped(1e9), 127.0);
    EXPECT_EQ(frequency_to_midi_pitch_clamped(0), 0.0);
    EXPECT_NEAR(midi_pitch_to_frequency(60), kMiddleCFrequency, 1e-9);
}

TEST(MidiPitch, SplitsIntoNoteAndBend) {
    EXPECT_EQ(split_midi_pitch(60.0).note, 60);
    EXPECT_EQ(split_midi_pitch(60.0).bend, 8192);
    const auto up = split_midi_pitch(60.25);
    EXPECT_EQ(up.note, 60);
    EXPECT_EQ(up.bend, 9216);
    const auto down = split_midi_pitch(60.75);
    EXPECT_EQ(down.note, 61);
    EXPECT_EQ(down.bend, 7168);
    EXPECT_NEAR(midi_pitch_of(split_midi_pitch(64.8631371386)), 64.8631371386, 1.0 / 4096);
}

// The chain the player runs: arpeggio degree, scale ratio, MIDI pitch.
TEST(MidiPitch, PentatonicOverTheSemitoneScale) {
    const auto scale = read_pitch_list("1 n(1/12)", PitchForm::ratio, ListNotation::absolute, 261.63).entries;
    const auto mode = read_step_list("0 2 4 7 9 12", ListNotation::absolute);
    auto pitch_of_value = [&](long value) {
        const long degree = to_degree(wrap_step(value, mode.last_index(), mode.entries));
        return split_midi_pitch(frequency_to_midi_pitch(261.63 * degree_ratio(scale, degree))).note;
    };
    EXPECT_EQ(pitch_of_value(0), 60);
    EXPECT_EQ(pitch_of_value(5), 72);
    EXPECT_EQ(pitch_of_value(-1), 57);
    EXPECT_EQ(pitch_of_value(7), 76);
}

}  // namespace
}  // namespace corvane::tuning
