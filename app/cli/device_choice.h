#pragma once

#include <string>

#include "corvane/midi/midi_in_port.h"
#include "corvane/midi/midi_out_port.h"

namespace corvane::cli {

// The output device given by number (-1 the built-in synthesizer) or by part of its name;
// the built-in synthesizer when `text` is empty. UsageError when no device has the name.
int chosen_output_device(const midi::MidiOutPort& port, const std::string& text, std::string_view option);
// The input device given by number or part of its name; 0 (our own virtual port) when empty.
int chosen_input_device(const midi::MidiInPort& port, const std::string& text, std::string_view option);

}  // namespace corvane::cli
