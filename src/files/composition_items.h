#pragma once

// Items of the composition that the configuration file also writes among its settings.

#include "corvane/engine/composition.h"
#include "corvane/files/save_buffer.h"

namespace corvane::files::detail {

// A pitch-expression value as the composition file writes it, under full precision.
std::string composition_pitch_text(double value);

// "Note_timing_shift", "Top_note_length", "Top_note_volume", each only when present.
void write_optional_timing_items(SaveBuffer& out, const engine::Composition& c);

}  // namespace corvane::files::detail
