#include "corvane/engine/degree_mapping.h"

#include <cmath>

#include <gtest/gtest.h>

#include "corvane/tuning/step_list.h"

namespace corvane::engine {
namespace {

using tuning::NoteAndBend;

class DegreeMappingTest : public ::testing::Test {
protected:
    ValuePitch pitch(long value) { return pitch_of_value(value, c, voices, 0); }

    Composition c;  // pentatonic over the equal-tempered semitone, lowest note middle C
    tuning::ModeVoices voices{};
};

TEST_F(DegreeMappingTest, PentatonicValuesWalkTheArpeggioIntoOtherOctaves) {
    c.Frequency_of_lowest_note = 261.63;
    const struct {
        long value;
        long degree;
        int note;
    } cases[] = {{0, 0, 60}, {5, 12, 72}, {-1, -3, 57}, {7, 16, 76}, {-5, -12, 48}, {-6, -15, 45}};
    for (const auto& [value, degree, note] : cases) {
        const ValuePitch p = pitch(value);
        EXPECT_EQ(p.degree, degree) << value;
        EXPECT_EQ(p.note_and_bend.note, note) << value;
        EXPECT_NEAR(p.note_and_bend.bend, 8192, 2) << value;
        EXPECT_EQ(pitch_to_note_and_bend(value, c, voices, 0).note, note);
    }
}

// Following the scale, or with an arpeggio of one entry, a value is its degree; a scale of one
// entry is a harmonic series, of several an arithmetic one that adds its periods.
TEST_F(DegreeMappingTest, FollowingTheScaleValuesAreDegrees) {
    c.Use_ratios = true;
    EXPECT_EQ(pitch(7).degree, 7);
    EXPECT_EQ(pitch(7).note_and_bend.note, 67);
    c.Intervals = {0.5, 0.75, 1.0};
    EXPECT_DOUBLE_EQ(pitch(2).frequency / c.Frequency_of_lowest_note, 3.0);
    EXPECT_DOUBLE_EQ(pitch(1).frequency / c.Frequency_of_lowest_note, 1.75);
    c.Intervals = {1.0};
    EXPECT_DOUBLE_EQ(pitch(3).frequency / c.Frequency_of_lowest_note, 4.0);
    EXPECT_DOUBLE_EQ(pitch(-3).frequency / c.Frequency_of_lowest_note, 0.25);
    c.Use_ratios = false;
    c.Arpeggio = tuning::read_step_list("", tuning::ListNotation::absolute);
    EXPECT_EQ(pitch(5).degree, 5);
    EXPECT_EQ(pitch(-4).degree, -4);
}

TEST_F(DegreeMappingTest, TheBendCarriesWhatLiesBetweenTheKeys) {
    c.Use_ratios = true;
    c.Intervals = {0.0, 0.5};  // 3/2, a just fifth: 7.02 semitones
    const NoteAndBend nb = pitch(1).note_and_bend;
    EXPECT_EQ(nb.note, 67);
    EXPECT_EQ(nb.bend, 8192 + static_cast<int>((12 * std::log2(1.5) - 7) * 4096));
}

class ChannelShiftTest : public DegreeMappingTest {
protected:
    NoteAndBend shifted(ShiftMode mode, int shift, NoteAndBend nb = {60, 9000}) {
        c.shift_by_octave_or_arpeggio = static_cast<int>(mode);
        c.Octave_shifts_for_channels[2] = shift;
        return channel_shift(nb, 2, c);
    }
    static double pitch_of(NoteAndBend nb) { return tuning::midi_pitch_of(nb); }
};

// Octaves and arpeggio degrees keep the bend; nothing moves without a shift or on another
// channel.
TEST_F(ChannelShiftTest, OctavesAndArpeggioDegreesKeepTheBend) {
    const NoteAndBend down = shifted(ShiftMode::octave, -1);
    EXPECT_EQ(down.note, 48);
    EXPECT_EQ(down.bend, 9000);
    const NoteAndBend up = shifted(ShiftMode::arpeggio_degree, 7);
    EXPECT_EQ(up.note, 67);
    EXPECT_EQ(up.bend, 9000);
    EXPECT_EQ(shifted(ShiftMode::octave, 0).note, 60);
    c.Octave_shifts_for_channels[2] = 3;
    EXPECT_EQ(channel_shift({60, 9000}, 1, c).note, 60);
    EXPECT_EQ(channel_shift({60, 9000}, 16, c).note, 60);
}

TEST_F(ChannelShiftTest, AnArpeggioShiftMovesByWholeArpeggios) {
    EXPECT_NEAR(pitch_of(shifted(ShiftMode::arpeggio, 1, {60, 8192})), 72, 1e-3);
    c.Arpeggio = tuning::read_step_list("0 2 4 7", tuning::ListNotation::absolute);
    EXPECT_NEAR(pitch_of(shifted(ShiftMode::arpeggio, 2, {60, 8192})), 74, 1e-3);
    c.Use_ratios = true;
    c.Intervals = {0.0, 0.5};  // period 3/2
    EXPECT_NEAR(pitch_of(shifted(ShiftMode::arpeggio, 1, {60, 8192})), 60 + 12 * std::log2(1.5), 1e-3);
}

TEST_F(ChannelShiftTest, ModulationMovesByTheRatioOfADegree) {
    EXPECT_NEAR(pitch_of(shifted(ShiftMode::modulate_by_degree, 7, {60, 8192})), 67, 1e-3);
    EXPECT_EQ(shifted(ShiftMode::modulate_by_degree, 7, {125, 8192}).note, 127);  // kept within MIDI
    // Degree 2 of the pentatonic arpeggio is scale degree 4; the whole table is one cycle.
    EXPECT_NEAR(pitch_of(shifted(ShiftMode::modulate_by_arpeggio_degree, 2, {60, 8192})), 64, 1e-3);
    EXPECT_NEAR(pitch_of(shifted(ShiftMode::modulate_by_arpeggio_degree, 6, {60, 8192})), 74, 1e-3);
}

}  // namespace
}  // namespace corvane::engine
