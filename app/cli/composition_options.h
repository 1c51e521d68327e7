#pragma once

#include <cstdint>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "corvane/engine/channel_voices.h"
#include "corvane/engine/composition.h"
#include "corvane/files/settings.h"
#include "corvane/midi/midi_file_save.h"
#include "corvane/midi/midi_out_port.h"
#include "corvane/platform/reporter.h"

namespace corvane::cli {

// Whether a command starts, as the program does, from the settings and composition of
// "Corvane.ini" in the data folder.
enum class ConfigurationUse { none, start_up };

// Where a command starts from: the composition and the settings.
struct StartingPoint {
    engine::Composition composition;
    files::Settings settings;
};

// The options that set up a composition, shared by every command that plays or lists a
// tune: a composition file (.cv or .cmp) and options that override it. Commands that read
// the configuration start from "Corvane.ini" first (unless --no-config). Values are read
// with the expression reader; out-of-range values are clamped with the program's own
// messages, through the reporter.
struct CompositionOptions {
    std::string composition_file;
    std::string seed, levels, scale, arpeggio, frequency, channels_in_play, voices, choose_channels_by, formula,
        octave_shifts, shift_mode;
    bool use_ratios = false;
    bool no_config = false;
    ConfigurationUse configuration = ConfigurationUse::none;

    void add_to(CLI::App& command, ConfigurationUse use = ConfigurationUse::none);
    // The starting composition with the options applied; throws UsageError naming a bad
    // option, Failure for a composition file that cannot be read.
    engine::Composition build(platform::Reporter& reporter) const { return start(reporter).composition; }
    StartingPoint start(platform::Reporter& reporter) const;
};

// True when the option was given on the command line, so that it overrides the settings
// read from the configuration.
inline bool given(const CLI::Option* option) { return option != nullptr && option->count() > 0; }

// How long a saved or exported piece lasts: --minutes and --seconds, which together replace
// the configuration's length when either is given.
struct PieceLengthOptions {
    double minutes = 1;
    double seconds = 0;
    CLI::Option* minutes_option = nullptr;
    CLI::Option* seconds_option = nullptr;

    void add_to(CLI::App& command) {
        minutes_option = command.add_option("--minutes", minutes, "length of the piece, minutes part (default 1)")
                             ->check(CLI::NonNegativeNumber);
        seconds_option = command.add_option("--seconds", seconds, "length of the piece, seconds part (default 0)")
                             ->check(CLI::NonNegativeNumber);
    }
    void apply(midi::MidiSaveSettings& settings) const {
        if (!given(minutes_option) && !given(seconds_option)) return;
        settings.midi_file_play_mins = minutes;
        settings.midi_file_play_secs = seconds;
    }
};

// How notes get their exact pitch: --tuning-output bend|mts|mpe and --mpe-members, which
// replace the configuration's when given.
struct TuningOutputOptions {
    std::string output_word;
    int mpe_members = engine::kMpeMostMembers;
    CLI::Option* output_option = nullptr;
    CLI::Option* members_option = nullptr;

    void add_to(CLI::App& command) {
        output_option = command
                            .add_option("--tuning-output", output_word,
                                        "how notes get their exact pitch: bend (pitch bends, the default), mts "
                                        "(MIDI Tuning Standard) or mpe (MIDI Polyphonic Expression)")
                            ->transform(CLI::IsMember({"bend", "mts", "mpe"}, CLI::ignore_case));
        members_option = command.add_option("--mpe-members", mpe_members,
                                            "with mpe: member channels of the lower zone, 1 to 15 (default 15)")
                             ->check(CLI::Range(1, engine::kMpeMostMembers));
    }
    // The configuration's voice settings with the options given.
    engine::VoiceSettings applied_to(engine::VoiceSettings voices) const {
        if (given(output_option)) {
            voices.tuning_output = engine::tuning_output_of_word(output_word).value_or(voices.tuning_output);
        }
        if (given(members_option)) voices.mpe_member_channels = mpe_members;
        return voices;
    }
};

// --latency: how many periods an output that places messages in time holds them back.
struct LatencyOption {
    int periods = 0;
    CLI::Option* option = nullptr;

    void add_to(CLI::App& command) {
        option = command
                     .add_option("--latency", periods,
                                 "periods (JACK cycles, audio buffers) each message waits so that it sounds at "
                                 "its exact time, 1 to 3; 0 sends at once (default: output_latency_periods of "
                                 "Corvane.ini, else 2)")
                     ->check(CLI::Range(0, midi::kMostLatencyPeriods));
    }
    int applied_to(int configured) const { return given(option) ? periods : configured; }
};

// Tells of messages that came too late for the output to place at their time.
inline void report_late_messages(const midi::MidiOutPort& port) {
    const std::uint64_t late = port.late_messages();
    if (late == 0) return;
    std::cerr << "corvane-cli: " << late << (late == 1 ? " message" : " messages")
              << " came too late to sound at " << (late == 1 ? "its" : "their")
              << " exact time; a longer --latency gives the timer more room\n";
}

// A whole number given for `option`, or UsageError.
long long whole_number_argument(const std::string& text, std::string_view option);

// Reports on standard error, caption first, as the program's dialogs would show it;
// nobody answers questions.
platform::Reporter& terminal_reporter();

}  // namespace corvane::cli
