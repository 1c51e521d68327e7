#pragma once

#include <CLI/CLI.hpp>

namespace corvane::cli {

// play-along: a MIDI keyboard played through the composition's scale, with recording.
void add_play_along_command(CLI::App& app);

}  // namespace corvane::cli
