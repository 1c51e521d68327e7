#include "composition_options.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <sstream>

#include "cli_support.h"
#include "corvane/engine/channel_choice.h"
#include "corvane/engine/degree_mapping.h"
#include "corvane/engine/seed.h"
#include "corvane/files/composition_edits.h"
#include "corvane/files/workspace.h"
#include "corvane/platform/data_folder.h"
#include "corvane/platform/terminal_reporter.h"
#include "corvane/tuning/builtin_tables.h"
#include "corvane/tuning/pitch_list.h"
#include "corvane/tuning/step_list.h"
#include "corvane/tuning/temperament.h"

namespace corvane::cli {
namespace {

using engine::Composition;

int int_argument_in(const std::string& text, std::string_view option, int low, int high) {
    const long long value = whole_number_argument(text, option);
    if (value < low || value > high) {
        throw UsageError(std::string(option) + ": " + text + " is outside " + std::to_string(low) + " to " +
                         std::to_string(high));
    }
    return static_cast<int>(value);
}

// Up to 16 blank-separated numbers, in channel order; channels not given keep their values.
void read_per_channel(const std::string& text, std::string_view option, engine::PerChannel<int>& values) {
    std::istringstream words(text);
    std::string word;
    std::size_t channel = 0;
    while (words >> word) {
        if (channel == values.size()) throw UsageError(std::string(option) + ": more than 16 values");
        values[channel++] = static_cast<int>(std::clamp(whole_number_argument(word, option), -1000000LL, 1000000LL));
    }
}



bool is_composition_file_name(const std::string& path) {
    const auto dot = path.rfind('.');
    const auto slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return true;
    std::string ext = path.substr(dot + 1);
    for (char& ch : ext) {
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    }
    return ext == "cv" || ext == "cmp";
}

// The settings and composition of "Corvane.ini" in the data folder, read as at start-up.
// Without a data folder the built-in settings stand, and the command says why.
void start_from_configuration(files::Workspace& ws) {
    std::string error;
    const auto folder = platform::open_data_folder(error);
    if (!folder) {
        std::cerr << "corvane-cli: " << error << "; the built-in settings are used\n";
        return;
    }
    ws.program_folder = folder->folder;
    files::start_up(ws);
}

void open_composition_file(files::Workspace& ws, const std::string& path, platform::Reporter& reporter) {
    if (!is_composition_file_name(path)) {
        throw UsageError(path + ": a composition file is named .cv or .cmp");
    }
    if (!files::open_file(ws, path, reporter).read) throw Failure("cannot read the composition file " + path);
}

}  // namespace

long long whole_number_argument(const std::string& text, std::string_view option) {
    return static_cast<long long>(std::trunc(std::clamp(expression_argument(text, option), -1e15, 1e15)));
}

platform::Reporter& terminal_reporter() {
    static platform::TerminalReporter reporter(std::cerr, std::cin, false);
    return reporter;
}

void CompositionOptions::add_to(CLI::App& command, ConfigurationUse use) {
    configuration = use;
    command.add_option("composition", composition_file,
                       "composition file (.cv or .cmp) to start from; the options below override it");
    if (use == ConfigurationUse::start_up) {
        command.add_flag("--no-config", no_config, "start from the built-in settings and a new composition, not "
                                                   "from Corvane.ini in the data folder");
    }
    auto* group = command.add_option_group("Composition");
    group->add_option("--seed", seed, "the musical seed, such as \"0 1 2 1\" (default 0 1 0)");
    group->add_option("--levels", levels, "highest level index, 0 to 29 (default 10)");
    group->add_option("--scale", scale, "scale in ratio form, such as \"1 n(1/12)\" (the default); eN for N-tone "
                                        "equal temperament");
    group->add_option("--arpeggio", arpeggio, "arpeggio or mode in scale degrees, such as \"0 2 4 7 9 12\" (the "
                                              "default); \"Use ratios\" follows the scale");
    group->add_flag("--use-ratios", use_ratios, "tune values are scale degrees: the arpeggio follows the scale");
    group->add_option("--frequency", frequency, "frequency of the lowest note in Hz (default middle C)");
    group->add_option("--channels-in-play", channels_in_play, "number of channels, 1 to 16 (default 1)");
    group->add_option("--voices", voices, "voices of channels 0 to 15, blank-separated: program 0 to 127, 128 rests, "
                                          "negative not in play (default 73, channel 9 -1)");
    group->add_option("--choose-channels-by", choose_channels_by,
                      "0 note height, 1 time, 2 formula, 3 cumulative note height, 4 level (default), 5 level with "
                      "simultaneous notes");
    group->add_option("--formula", formula, "formula of rule 2 over N T S P M Y H L C, such as \"N+H+1\"; chooses "
                                            "rule 2 unless --choose-channels-by is given");
    group->add_option("--octave-shifts", octave_shifts, "shift of channels 0 to 15, blank-separated");
    group->add_option("--shift-mode", shift_mode, "how shifts apply: 0 octave, 1 arpeggio, 2 arpeggio degree, 3 "
                                                  "modulate by degree, 4 modulate by arpeggio degree");
}

// An option's text taken as its field takes it, or the field's refusal as the option's error.
void take(const files::EditResult& result, std::string_view option) {
    if (!result.refused.empty()) throw UsageError(std::string(option) + ": " + result.refused);
}

// The options change the composition as typing into the main window's fields does.
StartingPoint CompositionOptions::start(platform::Reporter& reporter) const {
    files::Workspace ws;
    ws.settings.file_named_on_command_line = !composition_file.empty();
    if (configuration == ConfigurationUse::start_up && !no_config) start_from_configuration(ws);
    if (!composition_file.empty()) open_composition_file(ws, composition_file, reporter);
    Composition& c = ws.composition;
    if (!seed.empty()) take(files::edit_seed(ws, seed), "--seed");
    if (!levels.empty()) take(files::edit_levels(ws, levels, reporter), "--levels");
    if (!frequency.empty()) take(files::edit_lowest_frequency(ws, frequency), "--frequency");
    if (!scale.empty()) take(files::edit_scale(ws, scale), "--scale");
    if (!arpeggio.empty()) take(files::edit_arpeggio(ws, arpeggio), "--arpeggio");
    if (use_ratios) take(files::edit_arpeggio(ws, files::kFollowScaleText), "--use-ratios");
    if (!voices.empty()) read_per_channel(voices, "--voices", c.Voices_for_channels);
    if (!channels_in_play.empty()) take(files::edit_channels_in_play(ws, channels_in_play, reporter), "--channels-in-play");
    if (!choose_channels_by.empty()) {
        engine::select_channel_rule(c, int_argument_in(choose_channels_by, "--choose-channels-by", 0, 5));
    } else if (!formula.empty()) {
        engine::select_channel_rule(c, static_cast<int>(engine::ChannelRule::formula));
    }
    if (!formula.empty()) engine::set_formula(c, formula);
    if (!octave_shifts.empty()) read_per_channel(octave_shifts, "--octave-shifts", c.Octave_shifts_for_channels);
    if (!shift_mode.empty()) {
        c.shift_by_octave_or_arpeggio = int_argument_in(shift_mode, "--shift-mode", 0, engine::kShiftModeCount - 1);
    }
    return {std::move(ws.composition), std::move(ws.settings)};
}

}  // namespace corvane::cli
