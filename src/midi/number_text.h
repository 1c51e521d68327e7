#pragma once

// Numbers in the MIDI texts (hex dump, messages), written the same whatever the user's locale
// by the program's one formatter.

#include <string>

#include "corvane/tuning/pitch_format.h"

namespace corvane::midi::detail {

// "%g": six significant figures, the C library's general format.
inline std::string general_text(double value) { return tuning::format_general(value, 6); }
inline void append_general(std::string& out, double value) { out += general_text(value); }

// "%.*f": `decimals` places after the point.
inline void append_fixed(std::string& out, double value, int decimals) { out += tuning::format_fixed(value, decimals); }

// A whole number in decimal (std::to_string of a whole number ignores the locale).
template <typename Integer>
void append_integer(std::string& out, Integer value) {
    out += std::to_string(value);
}

}  // namespace corvane::midi::detail
