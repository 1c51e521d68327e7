#pragma once

#include <CLI/CLI.hpp>

namespace corvane::cli {

// scales: the list files the program ships in its data folder, made by its own code.
void add_scales_commands(CLI::App& app);

}  // namespace corvane::cli
