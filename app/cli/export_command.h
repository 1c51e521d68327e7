#pragma once

#include <CLI/CLI.hpp>

namespace corvane::cli {

// export: the tune as a MusicXML score.
void add_export_command(CLI::App& app);

}  // namespace corvane::cli
