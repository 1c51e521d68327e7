#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "corvane/tuning/pitch_format.h"

namespace corvane::cli {

// Exit statuses: 0 success, 1 the work failed, 2 the command line was wrong.
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// A value on the command line that does not read (reported with exit status 2).
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// Work that could not be done: an unreadable file and the like (exit status 1).
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Reads a whole file or throws Failure naming it.
std::string read_text_file(const std::string& path);

// Evaluates an expression given for `what`, or throws UsageError naming it.
double expression_argument(std::string_view text, std::string_view what, bool increment_form = false);

// Options shared by every command that writes pitches.
struct FormatOptions {
    tuning::PitchFormat format = tuning::PitchFormat::configuration_defaults();
    tuning::FormatRequest request{};
    bool full_precision = false;

    void add_to(CLI::App& command);
    tuning::PitchFormat settings() const;
};

// Prints JSON to standard output: Latin-1 texts from old files are replaced, never thrown on.
void print_json(const nlohmann::json& value);

}  // namespace corvane::cli
