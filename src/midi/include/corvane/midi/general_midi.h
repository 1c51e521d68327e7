#pragma once

#include <string_view>

namespace corvane::midi {

// The General MIDI Level 1 instrument of a program number 0-127; empty outside that range.
std::string_view general_midi_instrument(int program);

}  // namespace corvane::midi
