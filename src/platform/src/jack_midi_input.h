#pragma once

#include <memory>
#include <string>

#include "corvane/platform/midi_input.h"
#include "jack_client.h"

namespace corvane::platform::detail {

// A MIDI input port of our own named `port_name` on the shared JACK client, connected from the
// port named `source` unless that is empty (our virtual port, which a keyboard or another
// program connects to). Short messages reach `receiver` in the order they came; system
// exclusive does not. Null, with the message in `error`, when it cannot be made.
std::unique_ptr<MidiInput> open_jack_input(JackClient& client, const std::string& port_name,
                                           const std::string& source, MidiInputReceiver& receiver,
                                           std::string& error);

}  // namespace corvane::platform::detail
