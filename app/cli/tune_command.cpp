#include "tune_command.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli_support.h"
#include "corvane/engine/channel_choice.h"
#include "corvane/engine/composition.h"
#include "corvane/engine/degree_mapping.h"
#include "corvane/engine/fractal_tune.h"
#include "corvane/engine/level_counter.h"
#include "corvane/engine/seed.h"
#include "corvane/platform/clock.h"
#include "corvane/platform/reporter.h"
#include "corvane/tuning/builtin_tables.h"
#include "corvane/tuning/pitch_format.h"
#include "corvane/tuning/pitch_list.h"
#include "corvane/tuning/step_list.h"
#include "corvane/tuning/temperament.h"

namespace corvane::cli {
namespace {

using engine::Composition;
using nlohmann::json;

// Shows the limits' messages on the terminal, caption first, as the dialogs would.
class TerminalReporter final : public platform::Reporter {
public:
    void report(std::string_view message, std::string_view caption) override {
        std::cerr << "corvane-cli: " << caption << ": " << message << '\n';
    }
    platform::Answer ask_yes_no(std::string_view question, std::string_view caption) override {
        report(question, caption);
        return platform::Answer::no;
    }
};

long long whole_number_argument(const std::string& text, std::string_view option) {
    return static_cast<long long>(std::trunc(std::clamp(expression_argument(text, option), -1e15, 1e15)));
}

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

bool has_a_number(const std::string& text) {
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        if (tuning::evaluate_expression(word, tuning::PitchForm::ratio).number_read) return true;
    }
    return false;
}

std::vector<double> scale_argument(const std::string& text, Composition& c) {
    if (const auto steps = tuning::equal_temperament_code(text)) return tuning::make_equal_temperament(*steps).entries;
    auto reading = tuning::read_pitch_list(text, tuning::PitchForm::ratio, tuning::ListNotation::absolute,
                                           c.Frequency_of_lowest_note);
    if (reading.count_read == 0 || !has_a_number(text)) {
        throw UsageError("--scale: \"" + text + "\" has no pitches in it");
    }
    if (reading.lowest_frequency) c.Frequency_of_lowest_note = *reading.lowest_frequency;
    return reading.entries;
}

// The counter's digits, top level first; separated only when a digit can exceed 9.
std::string digits_text(const engine::LevelCounter& counter, int levels, int seed_length) {
    std::string text;
    for (int level = levels; level >= 0; --level) {
        if (!text.empty() && seed_length > 10) text += '.';
        text += std::to_string(counter.digits[static_cast<std::size_t>(level)]);
    }
    return text;
}

json digits_json(const engine::LevelCounter& counter, int levels) {
    json digits = json::array();
    for (int level = levels; level >= 0; --level) digits.push_back(counter.digits[static_cast<std::size_t>(level)]);
    return digits;
}

struct TuneCommand {
    std::string seed, levels, scale, arpeggio, frequency, channels_in_play, voices, choose_channels_by, formula,
        octave_shifts, shift_mode;
    bool use_ratios = false;
    bool as_json = false;
    bool show_array = false;
    long long notes = 16;

    // Reading a composition file comes here once composition files can be read; until then
    // every run starts from a new composition.
    static Composition starting_composition() { return engine::new_composition(); }

    Composition composition(platform::Reporter& reporter) const {
        Composition c = starting_composition();
        if (!seed.empty()) {
            const auto reading = engine::read_seed(seed, engine::SeedStrictness::strict);
            if (!reading) throw UsageError("--seed: \"" + seed + "\" holds a value that is not a number");
            engine::set_seed(c, reading->values);
        }
        if (!levels.empty()) engine::set_levels(c, whole_number_argument(levels, "--levels"), reporter);
        if (!frequency.empty()) c.Frequency_of_lowest_note = expression_argument(frequency, "--frequency");
        if (!scale.empty()) engine::set_intervals(c, scale_argument(scale, c));
        if (!arpeggio.empty()) {
            if (tuning::is_follow_scale_text(arpeggio)) c.Use_ratios = true;
            else c.Arpeggio = tuning::read_step_list(arpeggio, tuning::ListNotation::absolute);
        }
        if (use_ratios) c.Use_ratios = true;
        if (!voices.empty()) read_per_channel(voices, "--voices", c.Voices_for_channels);
        if (!channels_in_play.empty()) {
            engine::set_channels_in_play(c, whole_number_argument(channels_in_play, "--channels-in-play"), reporter);
        }
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
        return c;
    }

    void run() const {
        TerminalReporter reporter;
        Composition c = composition(reporter);
        if (show_array) print_array(c);
        else print_notes(c);
    }

    void print_notes(Composition& c) const {
        engine::LevelCounter counter;
        counter.reset(c.Levels);
        engine::ChannelChooser chooser;
        engine::start_channel_choice(c, chooser);
        tuning::ModeVoices mode_voices{};
        mode_voices[0].force = 1;  // every play starts ascending

        json rows = json::array();
        if (!as_json) std::cout << "note\tcounter\tlevel\tvalue\tchannel\tdegree\tfrequency\tmidi\tbend\n";
        for (long long k = 0; k < notes; ++k) {
            if (k > 0) counter.step(c.seed_length(), c.Levels);
            const int value = engine::value_at_counter(counter, c.Note_heights, c.Levels);
            const auto channel = engine::choose_channel(c, chooser, counter, value, counter.ChangedLevel);
            const auto pitch = engine::pitch_of_value(value, c, mode_voices, 0);
            const auto nb = channel ? engine::channel_shift(pitch.note_and_bend, *channel, c) : pitch.note_and_bend;
            if (as_json) {
                rows.push_back({{"note", counter.NoteStepCount}, {"counter", digits_json(counter, c.Levels)},
                                {"changed_level", counter.ChangedLevel}, {"value", value},
                                {"channel", channel ? json(*channel) : json(nullptr)}, {"degree", pitch.degree},
                                {"frequency", pitch.frequency}, {"midi_pitch", pitch.midi_pitch},
                                {"midi_note", nb.note}, {"bend", nb.bend}});
            } else {
                std::cout << counter.NoteStepCount << '\t' << digits_text(counter, c.Levels, c.seed_length()) << '\t'
                          << counter.ChangedLevel << '\t' << value << '\t'
                          << (channel ? std::to_string(*channel) : std::string("-")) << '\t' << pitch.degree << '\t'
                          << tuning::format_general(pitch.frequency, 8) << '\t' << nb.note << '\t' << nb.bend << '\n';
            }
        }
        if (as_json) print_json(rows);
    }

    void print_array(const Composition& c) const {
        auto tune = std::make_unique<engine::FractalTune>();
        engine::build_fractal_tune(*tune, c.Note_heights, c.Levels, platform::SteadyClock{});
        const std::string line = engine::tune_line_text(*tune, 0, 0);
        if (as_json) {
            print_json({{"count", tune->count}, {"tune_full", tune->tune_full},
                        {"tune_truncated", tune->tune_truncated}, {"tune_timed_out", tune->tune_timed_out},
                        {"values", tune->notes()}, {"tune_line", line}});
            return;
        }
        const auto yes_no = [](bool flag) { return flag ? "yes" : "no"; };
        std::cout << "count\t" << tune->count << "\ntune_full\t" << yes_no(tune->tune_full) << "\ntune_truncated\t"
                  << yes_no(tune->tune_truncated) << "\ntune_timed_out\t" << yes_no(tune->tune_timed_out) << '\n';
        const auto values = tune->notes();
        for (std::size_t i = 0; i < values.size(); ++i) {
            std::cout << values[i] << ((i + 1) % 20 == 0 || i + 1 == values.size() ? '\n' : ' ');
        }
        std::cout << line << '\n';
    }
};

}  // namespace

void add_tune_command(CLI::App& app) {
    auto command = std::make_shared<TuneCommand>();
    auto* sub = app.add_subcommand(
        "tune", "List the first notes of a fractal tune: note number, level counter (top level first), changed "
                "level, tune value, channel (0 is MIDI channel 1), scale degree, frequency, MIDI note and bend");
    sub->add_option("--seed", command->seed, "the musical seed, such as \"0 1 2 1\" (default 0 1 0)");
    sub->add_option("--levels", command->levels, "highest level index, 0 to 29 (default 10)");
    sub->add_option("--scale", command->scale, "scale in ratio form, such as \"1 n(1/12)\" (the default); eN for "
                                               "N-tone equal temperament");
    sub->add_option("--arpeggio", command->arpeggio, "arpeggio or mode in scale degrees, such as \"0 2 4 7 9 12\" "
                                                     "(the default); \"Use ratios\" follows the scale");
    sub->add_flag("--use-ratios", command->use_ratios, "tune values are scale degrees: the arpeggio follows the scale");
    sub->add_option("--frequency", command->frequency, "frequency of the lowest note in Hz (default middle C)");
    sub->add_option("--channels-in-play", command->channels_in_play, "number of channels, 1 to 16 (default 1)");
    sub->add_option("--voices", command->voices, "voices of channels 0 to 15, blank-separated: program 0 to 127, "
                                                 "128 rests, negative not in play (default 73, channel 9 -1)");
    sub->add_option("--choose-channels-by", command->choose_channels_by,
                    "0 note height, 1 time, 2 formula, 3 cumulative note height, 4 level (default), 5 level with "
                    "simultaneous notes");
    sub->add_option("--formula", command->formula, "formula of rule 2 over N T S P M Y H L C, such as \"N+H+1\"; "
                                                   "chooses rule 2 unless --choose-channels-by is given");
    sub->add_option("--octave-shifts", command->octave_shifts, "shift of channels 0 to 15, blank-separated");
    sub->add_option("--shift-mode", command->shift_mode, "how shifts apply: 0 octave, 1 arpeggio, 2 arpeggio "
                                                         "degree, 3 modulate by degree, 4 modulate by arpeggio degree");
    sub->add_option("-n,--notes", command->notes, "how many notes to list")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    sub->add_flag("--array", command->show_array, "print the tune array (at most 10240 notes) with its flags");
    sub->add_flag("--json", command->as_json, "print JSON");
    sub->callback([command] { command->run(); });
}

}  // namespace corvane::cli
