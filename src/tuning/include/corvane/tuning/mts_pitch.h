#pragma once

// A pitch as the MIDI Tuning Standard writes it: the equal-tempered semitone at or below it,
// then the fraction of a semitone above that in 1/16384ths (about 0.0061 cent), as two 7-bit
// bytes. Bulk tuning dumps and single-note tuning changes carry three such bytes per key.

#include "corvane/platform/midi_message.h"

namespace corvane::tuning {

using MtsPitch = platform::TuningBytes;

inline constexpr int kMtsFractionSteps = 16384;

// The nearest pitch the standard can write for an unrounded MIDI pitch (69 is A 440), held
// within 0 and the highest pitch it can write: 127 7F 7F 7F means "no change", so the top
// is 127 7F 7E.
[[nodiscard]] MtsPitch mts_pitch(double midi_pitch);

// The MIDI pitch three bytes stand for.
[[nodiscard]] double midi_pitch_of(const MtsPitch& pitch);

}  // namespace corvane::tuning
