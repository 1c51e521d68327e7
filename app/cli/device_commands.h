#pragma once

#include <CLI/CLI.hpp>

namespace corvane::cli {

// devices: the MIDI output devices with their numbers, as the Out menu lists them.
void add_device_commands(CLI::App& app);

}  // namespace corvane::cli
