#pragma once

#include <CLI/CLI.hpp>

namespace corvane::cli {

// play: the tune in real time through a MIDI output or the built-in synthesizer, or into a
// WAV file.
void add_play_command(CLI::App& app);

}  // namespace corvane::cli
