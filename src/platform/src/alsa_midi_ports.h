#pragma once

#include <memory>
#include <optional>
#include <string>

#include "alsa_client.h"
#include "corvane/platform/midi_input.h"
#include "corvane/platform/midi_output.h"

namespace corvane::platform::detail {

// A MIDI output port of ours named `port_name` on the shared sequencer client, connected to
// `destination` unless there is none (our virtual port, which other programs connect to).
// Each message goes straight out. Null, with the message in `error`, when it cannot be made.
std::unique_ptr<MidiOutput> open_alsa_output(AlsaClient& client, const std::string& port_name,
                                             const std::optional<AlsaPortAddress>& destination, std::string& error);

// A MIDI input port of ours named `port_name` on the shared sequencer client, connected from
// `source` unless there is none (our virtual port). Short messages reach `receiver` in the
// order they came; system exclusive does not. Null, with the message in `error`, when it
// cannot be made.
std::unique_ptr<MidiInput> open_alsa_input(AlsaClient& client, const std::string& port_name,
                                           const std::optional<AlsaPortAddress>& source, MidiInputReceiver& receiver,
                                           std::string& error);

}  // namespace corvane::platform::detail
