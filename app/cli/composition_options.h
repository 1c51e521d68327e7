#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "corvane/engine/composition.h"
#include "corvane/platform/reporter.h"

namespace corvane::cli {

// The options that set up a composition, shared by every command that plays or lists a
// tune. Values are read with the expression reader; out-of-range values are clamped with
// the program's own messages, through the reporter.
struct CompositionOptions {
    std::string seed, levels, scale, arpeggio, frequency, channels_in_play, voices, choose_channels_by, formula,
        octave_shifts, shift_mode;
    bool use_ratios = false;

    void add_to(CLI::App& command);
    // The new composition with the options applied; throws UsageError naming a bad option.
    engine::Composition build(platform::Reporter& reporter) const;
};

// A whole number given for `option`, or UsageError.
long long whole_number_argument(const std::string& text, std::string_view option);

// Reports on standard error, caption first, as the program's dialogs would show it;
// nobody answers questions.
platform::Reporter& terminal_reporter();

}  // namespace corvane::cli
