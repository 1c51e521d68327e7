#pragma once

#include <CLI/CLI.hpp>

namespace corvane::cli {

// scales make-list, make-mode-lists, search, sort, superparticular, rearrange: the scale
// library tools, each run as the program's tool worker with Ctrl-C as its halt button.
void add_scale_tool_commands(CLI::App& scales);

}  // namespace corvane::cli
