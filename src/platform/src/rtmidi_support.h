#pragma once

// What the RtMidi inputs and outputs on the ALSA sequencer share: error capture.

#include <RtMidi.h>

#include <string>

namespace corvane::platform::detail {

// RtMidi reports errors through this callback once one is set, instead of throwing or
// printing; the port keeps the last text so that a failure can be told apart.
void keep_error_text(RtMidiError::Type, const std::string& text, void* user_data);

}  // namespace corvane::platform::detail
