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
#include "composition_options.h"
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
    CompositionOptions composition;
    bool as_json = false;
    bool show_array = false;
    long long notes = 16;

    void run() const {
        Composition c = composition.build(terminal_reporter());
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
    command->composition.add_to(*sub, ConfigurationUse::start_up);
    sub->add_option("-n,--notes", command->notes, "how many notes to list")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    sub->add_flag("--array", command->show_array, "print the tune array (at most 10240 notes) with its flags");
    sub->add_flag("--json", command->as_json, "print JSON");
    sub->callback([command] { command->run(); });
}

}  // namespace corvane::cli
