#pragma once

#include <string>

#include "corvane/engine/composition.h"
#include "corvane/engine/player.h"
#include "corvane/platform/fluidsynth_output.h"

namespace corvane::cli {

// Plays the tune on a simulated clock into the built-in synthesizer, far faster than real
// time, and writes `seconds` of its sound (and the last notes' ring) to a WAV file. Throws
// Failure with the reason when the synthesizer or the file fails.
void render_to_wav(engine::Composition& composition, const engine::PlayerSettings& settings,
                   const engine::VoiceSettings& voice_settings, const platform::SynthOptions& synth, double seconds,
                   const std::string& path);

}  // namespace corvane::cli
