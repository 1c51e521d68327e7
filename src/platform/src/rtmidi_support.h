#pragma once

// What the RtMidi inputs and outputs share: the choice of MIDI system and error capture.

#include <RtMidi.h>

#include <optional>
#include <string>

#include "corvane/platform/rtmidi_output.h"

namespace corvane::platform::detail {

inline RtMidi::Api rtmidi_api(MidiApi api) { return api == MidiApi::jack ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA; }

// RtMidi reports errors through this callback once one is set, instead of throwing or
// printing; the port keeps the last text so that a failure can be told apart.
void keep_error_text(RtMidiError::Type, const std::string& text, void* user_data);

// The MIDI system to use for `wanted`, or none with the reason in `reason`.
std::optional<MidiApi> choose_midi_api(MidiApi wanted, std::string& reason);

}  // namespace corvane::platform::detail
