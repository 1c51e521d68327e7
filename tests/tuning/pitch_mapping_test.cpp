#include "corvane/tuning/pitch_mapping.h"

#include <cmath>

#include <gtest/gtest.h>

#include "corvane/tuning/pitch_list.h"
#include "corvane/tuning/step_list.h"

namespace corvane::tuning {
namespace {

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
