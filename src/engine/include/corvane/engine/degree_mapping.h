#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "corvane/engine/composition.h"
#include "corvane/tuning/keyboard_mapping.h"
#include "corvane/tuning/pitch_mapping.h"
#include "corvane/tuning/step_list.h"

namespace corvane::engine {

// How a channel's Octave_shifts_for_channels value moves its notes
// (shift_by_octave_or_arpeggio).
enum class ShiftMode {
    octave = 0,
    arpeggio = 1,
    arpeggio_degree = 2,
    modulate_by_degree = 3,
    modulate_by_arpeggio_degree = 4,
};
inline constexpr int kShiftModeCount = 5;
// The option names, in mode order.
std::span<const std::string_view> shift_mode_names();

// A tune value on its way to sound. Everything here is allocation-free: the player works
// it out on the real-time path for every note.
struct ValuePitch {
    long degree = 0;        // scale degree, after the arpeggio
    double frequency = 0;   // hertz
    double midi_pitch = 0;  // unrounded; 69 is A 440
    tuning::NoteAndBend note_and_bend;
};

// The scale degree of a tune value: the value itself when the arpeggio follows the scale,
// otherwise the arpeggio's degree, its ascending or descending form chosen for `slot`.
long degree_of_value(long value, const Composition& c, tuning::ModeVoices& voices, int slot);

// The frequency of a scale degree: the lowest note times the degree's ratio in the scale.
double degree_frequency(const Composition& c, long degree);

// The whole chain: arpeggio, scale ratio, frequency of the lowest note, MIDI pitch, note and bend.
ValuePitch pitch_of_value(long value, const Composition& c, tuning::ModeVoices& voices, int slot);

// A key of a keyboard mapping through the composition's scale alone (no arpeggio): its
// degree counted from the mapping's middle key, and the pitch at which the reference key
// sounds at the reference frequency. None for a key the mapping leaves unmapped.
std::optional<ValuePitch> pitch_of_mapped_key(const tuning::KeyboardMapping& mapping, const Composition& c, int key);

// The MIDI note and bend of a tune value (note = pitch + 0.5 truncated, bend 6144..10239).
inline tuning::NoteAndBend pitch_to_note_and_bend(long value, const Composition& c, tuning::ModeVoices& voices,
                                                  int slot) {
    return pitch_of_value(value, c, voices, slot).note_and_bend;
}

// Moves a note by its channel's Octave_shifts_for_channels value in the composition's shift
// mode. A shift of 0, a channel outside 0..15 or an unknown mode leave the note as it is.
tuning::NoteAndBend channel_shift(tuning::NoteAndBend note, int channel, const Composition& c);

}  // namespace corvane::engine
