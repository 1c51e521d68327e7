#pragma once

#include <CLI/CLI.hpp>

namespace corvane::cli {

// convert: opens a file as the program's File menu does and saves what it holds under the
// output's extension.
void add_convert_command(CLI::App& app);

}  // namespace corvane::cli
