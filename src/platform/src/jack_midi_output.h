#pragma once

#include <memory>
#include <string>

#include "corvane/platform/midi_output.h"
#include "jack_client.h"

namespace corvane::platform::detail {

// A MIDI output port of our own named `port_name` on the shared JACK client, connected to the
// port named `destination` unless that is empty (our virtual port, which other programs
// connect to). Null, with the message in `error`, when it cannot be made.
//
// Messages, short and system exclusive alike, wait in a queue for the next process cycle; what
// does not fit in one cycle's port buffer waits for the next, in order, rather than being
// dropped. The output counts as lost
// from the moment its server shuts down.
std::unique_ptr<MidiOutput> open_jack_output(JackClient& client, const std::string& port_name,
                                             const std::string& destination, std::string& error);

}  // namespace corvane::platform::detail
