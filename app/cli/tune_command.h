#pragma once

#include <CLI/CLI.hpp>

namespace corvane::cli {

// tune: the first notes of a fractal tune with their channels and pitches, or its array.
void add_tune_command(CLI::App& app);

}  // namespace corvane::cli
