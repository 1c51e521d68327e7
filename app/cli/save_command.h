#pragma once

#include <CLI/CLI.hpp>

namespace corvane::cli {

// save: the tune as a Standard MIDI File (or, for a .wav name, as sound).
void add_save_command(CLI::App& app);

}  // namespace corvane::cli
