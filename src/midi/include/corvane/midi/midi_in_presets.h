#pragma once

#include <span>
#include <string_view>

#include "corvane/engine/composition.h"
#include "corvane/midi/play_along_settings.h"

namespace corvane::midi {

inline constexpr int kMidiInPresetCount = 13;

// The names of the MIDI keyboard presets, in menu order.
std::span<const std::string_view> midi_in_preset_names();

// Sets the note assignments (voice ranges, first note, key pattern, percussion) and, where
// the preset names them, the voices' instruments and the scale. Then iMidiInPresets is the
// preset. False for an index outside the list.
bool apply_midi_in_preset(int preset, PlayAlongSettings& settings, engine::Composition& composition);

// The preset the assignments, instruments and scale now match, -1 when none does. Presets
// that name instruments and a scale are tried before those that only arrange the keyboard.
int matching_midi_in_preset(const PlayAlongSettings& settings, const engine::Composition& composition);

}  // namespace corvane::midi
