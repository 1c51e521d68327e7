#pragma once

#include <span>

#include "corvane/platform/midi_message.h"

namespace corvane::tuning {

// The frequency of MIDI note 60, the lowest note of a new composition.
inline constexpr double kMiddleCFrequency = 261.6255653005986;

// The ratio of scale degree `degree` to the lowest note. `scale` holds entries 0..n in
// increment form; entry n is the period. Degrees beyond the entries repeat at the period;
// a scale whose entry 0 is not 0 is arithmetic (periods add); a one-entry scale gives
// 1 + |d| * entry 0 (its reciprocal below 0), so "2" is the harmonic series. Never negative.
double degree_ratio(std::span<const double> scale, long degree);

// MIDI pitch of a frequency: 69 is A 440, one unit an equal-tempered semitone.
// With `round_to_semitone` the pitch is rounded to the nearest whole semitone.
double frequency_to_midi_pitch(double frequency, bool round_to_semitone = false);
double frequency_to_midi_pitch_clamped(double frequency, bool round_to_semitone = false);
double midi_pitch_to_frequency(double pitch);

using platform::kBendCentre;
inline constexpr int kBendPerSemitone = platform::kBendStepsPerSemitone;

// A MIDI note with a pitch bend; the bend range is two semitones, so 4096 units a
// semitone and 8192 no bend.
struct NoteAndBend {
    int note = 0;
    int bend = kBendCentre;
};

// note = pitch + 0.5 truncated; bend = (pitch - note) * 4096 + 8192 truncated (6144..10239).
NoteAndBend split_midi_pitch(double pitch);
// The same onto a key that exists: the note kept to 0..127 and the bend taking up the rest,
// as far as it reaches (it is clamped when sent).
NoteAndBend split_onto_key(double pitch);
// The pitch a note and bend stand for.
inline double midi_pitch_of(NoteAndBend nb) {
    return nb.note + static_cast<double>(nb.bend - kBendCentre) / kBendPerSemitone;
}

}  // namespace corvane::tuning
