#pragma once

#include <CLI/CLI.hpp>

namespace corvane::cli {

// tuning-export: the composition's scale laid on the keyboard, for other instruments.
void add_tuning_export_command(CLI::App& app);

}  // namespace corvane::cli
