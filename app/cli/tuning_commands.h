#pragma once

#include <CLI/CLI.hpp>

namespace corvane::cli {

// The tuning calculator: pitch, scale, equal, meantone, beats, note-name.
void add_tuning_commands(CLI::App& app);

}  // namespace corvane::cli
