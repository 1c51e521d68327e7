#include "tuning_commands.h"

#include <cmath>
#include <iomanip>
#include <iostream>
#include <memory>
#include <sstream>

#include "cli_support.h"
#include "corvane/tuning/builtin_tables.h"
#include "corvane/tuning/note_names.h"
#include "corvane/tuning/pitch_list.h"
#include "corvane/tuning/pitch_mapping.h"
#include "corvane/tuning/scala.h"
#include "corvane/tuning/step_list.h"
#include "corvane/tuning/temperament.h"

namespace corvane::cli {
namespace {

using nlohmann::json;
using tuning::PitchForm;

std::string cents_text(double ratio, int figures) {
    const double cents = 1200.0 * std::log2(std::max(ratio, 1e-50));
    return tuning::format_general(std::fabs(cents) < 1e-9 ? 0.0 : cents, figures);
}

double cents_value(double ratio) { return 1200.0 * std::log2(std::max(ratio, 1e-50)); }

// ---- pitch ----------------------------------------------------------------------------

struct PitchCommand {
    std::vector<std::string> expressions;
    bool increment_form = false;
    bool as_json = false;
    FormatOptions format;

    void run() const {
        const PitchForm form = increment_form ? PitchForm::increment : PitchForm::ratio;
        const auto settings = format.settings();
        json rows = json::array();
        for (const auto& text : expressions) {
            const double value = expression_argument(text, "expression", increment_form);
            const double ratio = increment_form ? value + 1.0 : value;
            const std::string shown = tuning::format_pitch_value(value, form, settings, format.request);
            if (as_json) {
                rows.push_back({{"expression", text}, {"value", value}, {"ratio", ratio},
                                {"cents", cents_value(ratio)}, {"text", shown}});
            } else {
                std::cout << text << "\tvalue " << tuning::format_shortest(value) << "\tratio "
                          << tuning::format_shortest(ratio) << "\tcents " << cents_text(ratio, 10) << "\t"
                          << shown << '\n';
            }
        }
        if (as_json) print_json(rows);
    }
};

void add_pitch_command(CLI::App& app) {
    auto command = std::make_shared<PitchCommand>();
    auto* sub = app.add_subcommand("pitch", "Evaluate pitch expressions: value, ratio, cents and the shortest text");
    sub->add_option("EXPR", command->expressions, "expressions such as 3/2, n(7/12), `700")->required();
    sub->add_flag("--increment-form", command->increment_form, "expressions give ratio - 1 (1/8 is a whole tone)");
    sub->add_flag("--json", command->as_json, "print a JSON array");
    command->format.add_to(*sub);
    sub->callback([command] { command->run(); });
}

// ---- scale ----------------------------------------------------------------------------

struct DegreeRange {
    long first = 0;
    long last = 0;
};

DegreeRange parse_degree_range(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) throw UsageError("--degrees: \"" + text + "\" is not a range A:B");
    const auto read = [&](std::string_view part) {
        const auto e = tuning::evaluate_expression(part, PitchForm::ratio);
        if (!e.number_read) throw UsageError("--degrees: \"" + text + "\" is not a range A:B");
        return static_cast<long>(std::trunc(e.value));
    };
    DegreeRange range{read(std::string_view(text).substr(0, colon)), read(std::string_view(text).substr(colon + 1))};
    if (range.last < range.first) throw UsageError("--degrees: \"" + text + "\" runs backwards");
    if (range.last - range.first > 100000) throw UsageError("--degrees: \"" + text + "\" is more than 100000 degrees");
    return range;
}

struct LoadedScale {
    std::vector<double> entries;
    std::string title;
    double lowest_frequency;
};

struct ScaleCommand {
    std::string text;
    std::string scl_path;
    bool increment_form = false;
    std::string arpeggio_text;
    std::string degrees;
    std::string frequency_text;
    bool as_json = false;
    bool flats = false;
    int style = 1;
    FormatOptions format;

    LoadedScale load(double frequency) const {
        if (!scl_path.empty()) {
            const auto s = tuning::read_scala_text(read_text_file(scl_path));
            return {s.entries, s.description + s.title_note, frequency};
        }
        if (const auto steps = tuning::equal_temperament_code(text)) {
            auto et = tuning::make_equal_temperament(*steps);
            return {std::move(et.entries), std::move(et.title), frequency};
        }
        const auto form = increment_form ? PitchForm::increment : PitchForm::ratio;
        auto reading = tuning::read_pitch_list(text, form, tuning::ListNotation::absolute, frequency);
        if (reading.count_read == 0) throw UsageError("scale: \"" + text + "\" has no pitches in it");
        return {std::move(reading.entries), "", reading.lowest_frequency.value_or(frequency)};
    }

    void run() const {
        if (text.empty() == scl_path.empty()) throw UsageError("scale: give either a scale TEXT or --scl FILE");
        const double frequency =
            frequency_text.empty() ? tuning::kMiddleCFrequency : expression_argument(frequency_text, "--frequency");
        const LoadedScale scale = load(frequency);
        const bool follow_scale = arpeggio_text.empty() || tuning::is_follow_scale_text(arpeggio_text);
        const auto arpeggio = tuning::read_step_list(follow_scale ? "0" : arpeggio_text, tuning::ListNotation::absolute);
        const long default_last = follow_scale ? static_cast<long>(scale.entries.size()) - 1 : arpeggio.last_index();
        const DegreeRange range = degrees.empty() ? DegreeRange{0, default_last} : parse_degree_range(degrees);
        print(scale, arpeggio, follow_scale, range);
    }

    void print(const LoadedScale& scale, const tuning::StepList& arpeggio, bool follow_scale, DegreeRange range) const {
        const auto settings = format.settings();
        const auto accidentals = flats ? tuning::Accidentals::flats : tuning::Accidentals::sharps;
        const auto octave_style = static_cast<tuning::OctaveStyle>(style);
        tuning::ModeVoices voices{};
        voices[0].force = 1;
        json rows = json::array();
        if (!as_json) {
            if (!scale.title.empty()) std::cout << scale.title << '\n';
            std::cout << "degree\tmode\tratio\tcents\tfrequency\tnote\tbend\tname\n";
        }
        for (long value = range.first; value <= range.last; ++value) {
            const double mode_value = follow_scale ? static_cast<double>(value)
                                                   : tuning::choose_mode_form(value, arpeggio, voices, 0);
            const long degree = tuning::to_degree(mode_value);
            const double ratio = tuning::degree_ratio(scale.entries, degree);
            const double hertz = ratio * scale.lowest_frequency;
            const auto nb = tuning::split_midi_pitch(tuning::frequency_to_midi_pitch(hertz));
            const std::string name = tuning::note_name(std::clamp(nb.note, 0, 127), accidentals, octave_style);
            const std::string ratio_text = tuning::format_pitch_value(ratio, PitchForm::ratio, settings, format.request);
            if (as_json) {
                rows.push_back({{"degree", value}, {"mode_value", mode_value}, {"scale_degree", degree},
                                {"ratio", ratio}, {"ratio_text", ratio_text}, {"cents", cents_value(ratio)},
                                {"frequency", hertz}, {"note", nb.note}, {"bend", nb.bend}, {"name", name}});
            } else {
                std::cout << value << '\t' << tuning::format_general(mode_value, 6) << '\t' << ratio_text << '\t'
                          << cents_text(ratio, 8) << '\t' << tuning::format_general(hertz, 8) << '\t' << nb.note
                          << '\t' << nb.bend << '\t' << name << '\n';
            }
        }
        if (as_json) print_json({{"title", scale.title}, {"lowest_frequency", scale.lowest_frequency},
                                 {"degrees", rows}});
    }
};

void add_scale_command(CLI::App& app) {
    auto command = std::make_shared<ScaleCommand>();
    auto* sub = app.add_subcommand("scale", "List the degrees of a scale through an arpeggio: ratio, cents, "
                                            "frequency, MIDI note and bend, note name");
    sub->add_option("TEXT", command->text, "scale text in ratio form, such as \"1 n(1/12)\" or \"1 9/8 5/4 4/3 3/2 "
                                           "5/3 15/8 2\"; eN for N-tone equal temperament");
    sub->add_option("--scl", command->scl_path, "read the scale from a Scala file");
    sub->add_flag("--increment-form", command->increment_form, "the scale text gives ratio - 1");
    sub->add_option("--arpeggio", command->arpeggio_text, "mode in scale degrees, such as \"0 2 4 7 9 12\"; "
                                                          "\"Use ratios\" or none follows the scale");
    sub->add_option("--degrees", command->degrees, "range of tune values A:B (default: one period)");
    sub->add_option("--frequency", command->frequency_text, "frequency of the lowest note in Hz (default middle C)");
    sub->add_option("--style", command->style, "note names: 0 number, 1 octave number, 2 apostrophes")
        ->check(CLI::Range(0, 2))
        ->capture_default_str();
    sub->add_flag("--flats", command->flats, "name black keys as flats");
    sub->add_flag("--json", command->as_json, "print JSON");
    command->format.add_to(*sub);
    sub->callback([command] { command->run(); });
}

// ---- equal, meantone ------------------------------------------------------------------

void print_generated(const tuning::GeneratedScale& scale, const tuning::PitchFormat& settings, bool as_json,
                     const json& extra = json::object()) {
    if (as_json) {
        json entries = json::array();
        for (double e : scale.entries) {
            entries.push_back({{"increment", e}, {"ratio", e + 1.0}, {"cents", cents_value(e + 1.0)},
                               {"text", tuning::format_pitch_value(e + 1.0, PitchForm::ratio, settings)}});
        }
        json out{{"title", scale.title}, {"entries", entries}};
        out.update(extra);
        print_json(out);
        return;
    }
    std::cout << scale.title << '\n';
    for (std::size_t i = 0; i < scale.entries.size(); ++i) {
        const double ratio = scale.entries[i] + 1.0;
        std::cout << i << '\t' << tuning::format_pitch_value(ratio, PitchForm::ratio, settings) << '\t'
                  << cents_text(ratio, 8) << " cents\n";
    }
    std::cout << "scale text: "
              << tuning::write_pitch_list(scale.entries, settings, {.form = PitchForm::ratio}) << '\n';
}

void add_equal_command(CLI::App& app) {
    struct Options {
        int steps = 12;
        bool as_json = false;
        FormatOptions format;
    };
    auto o = std::make_shared<Options>();
    auto* sub = app.add_subcommand("equal", "Make an N-tone equal temperament");
    sub->add_option("N", o->steps, "steps to the octave, 1 to 999")->required();
    sub->add_flag("--json", o->as_json, "print JSON");
    o->format.add_to(*sub);
    sub->callback([o] { print_generated(tuning::make_equal_temperament(o->steps), o->format.settings(), o->as_json); });
}

void add_meantone_command(CLI::App& app) {
    struct Options {
        std::string fraction;
        std::string wolf;
        bool as_json = false;
        FormatOptions format;
    };
    auto o = std::make_shared<Options>();
    auto* sub = app.add_subcommand("meantone", "Make a twelve-note mean-tone scale");
    sub->add_option("FRACTION", o->fraction, "fraction of the syntonic comma 81/80 by which each fifth is narrowed, "
                                             "such as 1/4")
        ->required();
    sub->add_option("WOLF-NOTE", o->wolf, "note name where the wolf fifth starts, such as G#")->required();
    sub->add_flag("--json", o->as_json, "print JSON");
    o->format.add_to(*sub);
    sub->callback([o] {
        const double fraction = expression_argument(o->fraction, "FRACTION");
        const int wolf = tuning::note_from_name(o->wolf, 0) % 12;
        if (o->wolf.find_first_of("ABCDEFGabcdefg") == std::string::npos) throw UsageError("WOLF-NOTE: \"" + o->wolf + "\" names no note A to G");
        const auto settings = o->format.settings();
        const auto scale = tuning::make_mean_tone(fraction, wolf, settings);
        const std::string from = tuning::note_name(wolf, tuning::Accidentals::sharps, tuning::OctaveStyle::none, false);
        const std::string to =
            tuning::note_name((wolf + 7) % 12, tuning::Accidentals::flats, tuning::OctaveStyle::none, false);
        if (!o->as_json) std::cout << "Wolf fifth " << from << " to " << to << '\n';
        print_generated(scale, settings, o->as_json, {{"wolf_from", from}, {"wolf_to", to}});
    });
}

// ---- beats, note-name -----------------------------------------------------------------

void add_beats_command(CLI::App& app) {
    struct Options {
        std::string ratio1, ratio2;
        std::string frequency_text;
        tuning::BeatsSettings beats;
        bool as_json = false;
        FormatOptions format;
    };
    auto o = std::make_shared<Options>();
    auto* sub = app.add_subcommand("beats", "List where the harmonics of two notes beat, and how fast");
    sub->add_option("RATIO1", o->ratio1, "ratio of the first note to the lowest note")->required();
    sub->add_option("RATIO2", o->ratio2, "ratio of the upper note to the lowest note")->required();
    sub->add_option("--frequency", o->frequency_text, "frequency of the lowest note in Hz (default middle C)");
    sub->add_option("--max-harmonic", o->beats.beats_max_harmonic, "highest harmonic of the first note")
        ->capture_default_str();
    sub->add_option("--max-beats", o->beats.beats_max_beats, "largest beat rate listed, per second")
        ->capture_default_str();
    sub->add_option("--beats-sig-figs", o->beats.beats_sig_figs, "figures of frequencies and rates")
        ->capture_default_str();
    sub->add_flag("--json", o->as_json, "print JSON");
    o->format.add_to(*sub);
    sub->callback([o] {
        const double r1 = expression_argument(o->ratio1, "RATIO1");
        const double r2 = expression_argument(o->ratio2, "RATIO2");
        const double frequency =
            o->frequency_text.empty() ? tuning::kMiddleCFrequency : expression_argument(o->frequency_text, "--frequency");
        const auto report = tuning::show_beats(r1, r2, frequency, o->beats, o->format.settings());
        if (o->as_json) {
            json out{{"text", report.text}};
            out["first_rate"] = report.first_rate ? json(*report.first_rate) : json(nullptr);
            print_json(out);
        } else {
            std::string text = report.text;
            std::erase(text, '\r');
            std::cout << text;
        }
    });
}

void add_note_name_command(CLI::App& app) {
    struct Options {
        std::vector<int> notes;
        int style = 1;
        bool flats = false;
        bool as_json = false;
    };
    auto o = std::make_shared<Options>();
    auto* sub = app.add_subcommand("note-name", "Name MIDI notes");
    sub->add_option("N", o->notes, "MIDI note numbers 0 to 127")->required()->check(CLI::Range(0, 127));
    sub->add_option("--style", o->style, "0 number and name, 1 octave number (60 is C4), 2 apostrophes (60 is c)")
        ->check(CLI::Range(0, 2))
        ->capture_default_str();
    sub->add_flag("--flats", o->flats, "name black keys as flats");
    sub->add_flag("--json", o->as_json, "print JSON");
    sub->callback([o] {
        const auto accidentals = o->flats ? tuning::Accidentals::flats : tuning::Accidentals::sharps;
        json rows = json::array();
        for (int n : o->notes) {
            const std::string name = tuning::note_name(n, accidentals, static_cast<tuning::OctaveStyle>(o->style));
            if (o->as_json) rows.push_back({{"note", n}, {"name", name}});
            else std::cout << name << '\n';
        }
        if (o->as_json) print_json(rows);
    });
}

}  // namespace

void add_tuning_commands(CLI::App& app) {
    add_pitch_command(app);
    add_scale_command(app);
    add_equal_command(app);
    add_meantone_command(app);
    add_beats_command(app);
    add_note_name_command(app);
}

}  // namespace corvane::cli
