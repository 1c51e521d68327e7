#pragma once

#include <CLI/CLI.hpp>

namespace corvane::cli {

// dump FILE.mid [-o OUT.hex]: the annotated hex dump of a MIDI file.
void add_dump_command(CLI::App& app);

}  // namespace corvane::cli
