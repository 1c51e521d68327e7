#include "corvane/files/composition_edits.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>

#include "corvane/engine/seed.h"
#include "corvane/tuning/ascii_text.h"
#include "corvane/tuning/expression.h"
#include "corvane/tuning/pitch_list.h"
#include "corvane/tuning/step_list.h"
#include "corvane/tuning/builtin_tables.h"
#include "corvane/tuning/temperament.h"

namespace corvane::files {
namespace {

using tuning::PitchForm;

// A number only when the whole text is one: "abc", "3x" and "4/e" are not.
std::optional<double> read_number(std::string_view text) {
    const auto e = tuning::evaluate_expression(text, PitchForm::ratio);
    if (!e.complete || !std::isfinite(e.value)) return std::nullopt;
    return e.value;
}

long long whole_number(double value) {
    if (value > 1e15) return 1000000000000000LL;
    if (value < -1e15) return -1000000000000000LL;
    return static_cast<long long>(value);
}

std::string in_quotes(std::string_view text) { return "\"" + std::string(text) + "\""; }

EditResult refused(std::string why) { return {false, std::move(why)}; }

EditResult not_a_number(std::string_view text, std::string_view field) {
    const std::string shown = ascii::trimmed(text).empty() ? std::string("Nothing") : in_quotes(ascii::trimmed(text));
    return refused(shown + " is not a number, so " + std::string(field) + " is left as it was.");
}

// Stores `value` in `field` and marks the composition unsaved when it differs.
template <class T>
bool store(Workspace& ws, T& field, T value) {
    if (field == value) return false;
    field = std::move(value);
    ws.settings.needs_save = true;
    return true;
}

EditResult mark_if(Workspace& ws, bool changed) {
    if (changed) ws.settings.needs_save = true;
    return {changed, {}};
}

// Reads a number and stores it through `set`, which keeps the field's limits.
template <class T, class Set>
EditResult edit_with_limits(Workspace& ws, std::string_view text, std::string_view field_name, const T& field,
                            Set set) {
    const auto value = read_number(text);
    if (!value) return not_a_number(text, field_name);
    const T before = field;
    return mark_if(ws, set(*value) != before);
}

// The first word of a seed that is no number (a word beginning "TEST" is the bend test).
std::optional<std::string> first_unreadable_seed_word(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && ascii::is_blank(text[pos])) ++pos;
        const std::size_t start = pos;
        while (pos < text.size() && !ascii::is_blank(text[pos])) ++pos;
        const std::string_view word = text.substr(start, pos - start);
        if (word.empty() || ascii::starts_with_any_case(word, "TEST")) continue;
        if (!tuning::evaluate_expression(word, PitchForm::ratio).complete) return std::string(word);
    }
    return std::nullopt;
}

struct ScaleReading {
    std::vector<double> intervals;
    std::optional<double> lowest_frequency;
};

// A scale text as a list of scales holds it, read as the reader reads files: leniently.
ScaleReading read_scale_text(std::string_view text, double lowest_frequency) {
    engine::Composition scale;
    if (const auto steps = tuning::equal_temperament_code(text)) {  // "e19": nineteen equal steps
        engine::set_intervals(scale, tuning::make_equal_temperament(*steps).entries);
        return {scale.Intervals, std::nullopt};
    }
    const auto reading = tuning::read_pitch_list(text, PitchForm::ratio, tuning::ListNotation::absolute, lowest_frequency);
    engine::set_intervals(scale, reading.entries);
    return {scale.Intervals, reading.lowest_frequency};
}

bool apply_scale_text(Workspace& ws, std::string_view text) {
    auto& c = ws.composition;
    ScaleReading reading = read_scale_text(text, c.Frequency_of_lowest_note);
    bool changed = store(ws, c.Intervals, std::move(reading.intervals));
    if (reading.lowest_frequency) changed |= store(ws, c.Frequency_of_lowest_note, *reading.lowest_frequency);
    return changed;
}

// Numbers written to a file and read back differ in their last digits.
bool nearly_equal(std::span<const double> a, std::span<const double> b) {
    constexpr double kTolerance = 1e-9;
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](double x, double y) {
        return std::abs(x - y) <= kTolerance * std::max({1.0, std::abs(x), std::abs(y)});
    });
}

bool holds_arpeggio(const ListEntry& entry, const engine::Composition& c) {
    if (tuning::is_follow_scale_text(entry.definition)) return c.Use_ratios;
    if (c.Use_ratios) return false;
    const auto list = tuning::read_step_list(entry.definition, tuning::ListNotation::absolute);
    return list.ascending_last == c.Arpeggio.ascending_last && nearly_equal(list.entries, c.Arpeggio.entries);
}

template <class Holds>
std::optional<std::size_t> matching_entry(const ScaleList& list, const std::string& title, Holds holds) {
    const auto candidate = [&](std::size_t i) {
        const ListEntry& e = list.entries[i];
        return e.link.empty() && !e.definition.empty() && holds(e);
    };
    if (list.selected < list.entries.size() && candidate(list.selected)) return list.selected;
    std::optional<std::size_t> first;
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
        if (!candidate(i)) continue;
        if (list.entries[i].description == title) return i;
        if (!first) first = i;
    }
    return first;
}

bool apply_arpeggio_text(Workspace& ws, std::string_view text) {
    auto& c = ws.composition;
    if (tuning::is_follow_scale_text(text)) return store(ws, c.Use_ratios, true);
    const auto list = tuning::read_step_list(text, tuning::ListNotation::absolute);
    const bool changed = c.Use_ratios || c.Arpeggio.entries != list.entries ||
                         c.Arpeggio.ascending_last != list.ascending_last;
    c.Use_ratios = false;
    c.Arpeggio = list;
    return changed;
}

std::string unreadable_list_message(std::string_view list, const std::filesystem::path& path, std::string_view kept) {
    return "Couldn't read the " + std::string(list) + " " + in_quotes(path.filename().string()) + " in the folder " +
           in_quotes(path.parent_path().string()) + ", so " + std::string(kept) + " stays as it was.";
}

bool load_named_list_of_scales(Workspace& ws, std::string_view name, platform::Reporter& reporter) {
    const auto path = resolve_list_path(ws.program_folder, name);
    if (load_list_of_scales(ws, path)) return true;
    reporter.report(unreadable_list_message("list of scales", path, "the scale list"), kListOfScalesCaption);
    return false;
}

bool load_named_list_of_modes(Workspace& ws, std::string_view name, bool set_scale, platform::Reporter& reporter) {
    const auto path = resolve_list_path(ws.program_folder, name);
    if (load_list_of_modes(ws, path, set_scale)) return true;
    reporter.report(unreadable_list_message("list of modes", path, "the arpeggio list"), kListOfModesCaption);
    return false;
}

constexpr double kLowestFrequency = 0.001;   // Hz
constexpr double kHighestFrequency = 100000;  // Hz: far above hearing, and above MIDI's top note
constexpr double kLongestNote = 3600;        // seconds

}  // namespace

std::string number_text(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 10);
    return std::string(buffer, result.ptr);
}

EditResult edit_seed(Workspace& ws, std::string_view text) {
    if (const auto bad = first_unreadable_seed_word(text)) {
        return refused(in_quotes(*bad) + " is not a number, so the seed is left as it was.");
    }
    const auto reading = engine::read_seed(text, engine::SeedStrictness::lenient);
    if (!reading || reading->values.empty()) return refused("The seed is empty, so it is left as it was.");
    auto& c = ws.composition;
    const bool changed = c.Note_heights != reading->values || c.seed_has_test != reading->contains_test;
    engine::set_seed(c, reading->values);
    c.seed_has_test = reading->contains_test;
    return mark_if(ws, changed);
}

EditResult edit_levels(Workspace& ws, std::string_view text, platform::Reporter& reporter) {
    return edit_with_limits(ws, text, "Levels", ws.composition.Levels,
                            [&](double v) { return engine::set_levels(ws.composition, whole_number(v), reporter); });
}

EditResult edit_note_length(Workspace& ws, std::string_view text) {
    const auto value = read_number(text);
    if (!value) return not_a_number(text, "the time for one note");
    if (*value <= 0 || *value > kLongestNote) {
        return refused(in_quotes(ascii::trimmed(text)) + " is no time for one note: it must be above 0 and at most " +
                       number_text(kLongestNote) + " seconds, so it is left as it was.");
    }
    return {store(ws, ws.composition.Note_length, *value), {}};
}

EditResult edit_sustain(Workspace& ws, std::string_view text, platform::Reporter& reporter) {
    return edit_with_limits(ws, text, "Sustain", ws.composition.Sustain,
                            [&](double v) { return engine::set_sustain(ws.composition, v, reporter); });
}

EditResult edit_channels_in_play(Workspace& ws, std::string_view text, platform::Reporter& reporter) {
    return edit_with_limits(ws, text, "Channels in Play", ws.composition.Channels_in_Play, [&](double v) {
        return engine::set_channels_in_play(ws.composition, whole_number(v), reporter);
    });
}

EditResult edit_scale(Workspace& ws, std::string_view text) {
    if (!tuning::equal_temperament_code(text)) {
        if (const auto bad = tuning::first_unreadable_pitch(text)) {
            return refused(in_quotes(*bad) + " is not a pitch, so the scale is left as it was.");
        }
        const auto reading = tuning::read_pitch_list(text, PitchForm::ratio, tuning::ListNotation::absolute, 1.0);
        if (reading.count_read == 0) return refused("The scale is empty, so it is left as it was.");
    }
    return mark_if(ws, apply_scale_text(ws, text));
}

EditResult edit_scale_title(Workspace& ws, std::string_view text) {
    return {store(ws, ws.composition.Intervals_Title, std::string(text.substr(0, engine::kMaxTitleLength))), {}};
}

EditResult edit_arpeggio(Workspace& ws, std::string_view text) {
    if (!tuning::is_follow_scale_text(text)) {
        if (const auto bad = tuning::first_unreadable_step(text)) {
            return refused(in_quotes(*bad) + " is not a scale degree, so the arpeggio is left as it was.");
        }
        if (ascii::trimmed(text).empty()) return refused("The arpeggio is empty, so it is left as it was.");
    }
    return mark_if(ws, apply_arpeggio_text(ws, text));
}

EditResult edit_arpeggio_title(Workspace& ws, std::string_view text) {
    return {store(ws, ws.composition.Arpeggio_Title, std::string(text.substr(0, engine::kMaxTitleLength))), {}};
}

EditResult edit_lowest_frequency(Workspace& ws, std::string_view text) {
    const auto value = read_number(text);
    if (!value) return not_a_number(text, "the frequency of the lowest note");
    if (*value < kLowestFrequency || *value > kHighestFrequency) {
        return refused(in_quotes(ascii::trimmed(text)) + " Hz is no frequency of the lowest note: it must be from " +
                       number_text(kLowestFrequency) + " to " + number_text(kHighestFrequency) +
                       " Hz, so it is left as it was.");
    }
    return {store(ws, ws.composition.Frequency_of_lowest_note, *value), {}};
}

void step_note_length(Workspace& ws, bool up) {
    const double factor = std::sqrt(2.0);
    store(ws, ws.composition.Note_length, up ? ws.composition.Note_length * factor : ws.composition.Note_length / factor);
}

void step_channels_in_play(Workspace& ws, bool up, platform::Reporter& reporter) {
    const int wanted = ws.composition.Channels_in_Play + (up ? 1 : -1);
    if (wanted < 1 || wanted > engine::kMidiChannels) return;  // the arrows stop at the limits
    (void)edit_channels_in_play(ws, std::to_string(wanted), reporter);  // a whole number within the limits
}

bool choose_scale_entry(Workspace& ws, std::size_t index, platform::Reporter& reporter) {
    if (index >= ws.scales.entries.size()) return false;
    const ListEntry entry = ws.scales.entries[index];
    if (!entry.link.empty()) return load_named_list_of_scales(ws, entry.link, reporter);
    ws.scales.selected = index;
    if (tuning::is_follow_scale_text(entry.definition)) return mark_if(ws, apply_arpeggio_text(ws, entry.definition)).changed;
    mark_if(ws, apply_scale_text(ws, entry.definition));
    mark_if(ws, store(ws, ws.composition.Intervals_Title, entry.description.substr(0, engine::kMaxTitleLength)));
    if (!ws.settings.synchronise_modes || entry.modes_file.empty()) return false;
    if (entry.modes_file.front() == ':') {
        ws.modes = builtin_mode_list(entry.modes_file);
        return true;
    }
    return load_named_list_of_modes(ws, entry.modes_file, false, reporter);
}

bool choose_mode_entry(Workspace& ws, std::size_t index, platform::Reporter& reporter) {
    if (index >= ws.modes.entries.size()) return false;
    const ListEntry entry = ws.modes.entries[index];
    if (!entry.link.empty()) return load_named_list_of_modes(ws, entry.link, true, reporter);
    // "5 note modes..." and the like stand for the list of modes they name.
    if (tuning::is_mode_list_file(entry.modes_file)) return load_named_list_of_modes(ws, entry.modes_file, true, reporter);
    ws.modes.selected = index;
    mark_if(ws, apply_arpeggio_text(ws, entry.definition));
    mark_if(ws, store(ws, ws.composition.Arpeggio_Title, entry.description.substr(0, engine::kMaxTitleLength)));
    return false;
}

std::optional<std::size_t> entry_matching_scale(const Workspace& ws) {
    const auto& c = ws.composition;
    return matching_entry(ws.scales, c.Intervals_Title, [&c](const ListEntry& e) {
        return !tuning::is_follow_scale_text(e.definition) &&
               nearly_equal(read_scale_text(e.definition, c.Frequency_of_lowest_note).intervals, c.Intervals);
    });
}

std::optional<std::size_t> entry_matching_arpeggio(const Workspace& ws) {
    const auto& c = ws.composition;
    return matching_entry(ws.modes, c.Arpeggio_Title, [&c](const ListEntry& e) { return holds_arpeggio(e, c); });
}

int step_wolf_note(int wolf, bool up, bool to_natural) {
    const int pitch_class = ((wolf % 12) + 12) % 12;
    // Two semitones to the next white key going up from C, D, F, G and A, going down from
    // D, E, G, A and B.
    const auto whole_tone = [](int pc, bool rising) {
        constexpr std::array<bool, 12> up_by_two{true, false, true, false, false, true, false, true, false, true, false, false};
        constexpr std::array<bool, 12> down_by_two{false, false, true, false, true, false, false, true, false, true, false, true};
        return (rising ? up_by_two : down_by_two)[static_cast<std::size_t>(pc)];
    };
    const int step = to_natural && whole_tone(pitch_class, up) ? 2 : 1;
    return ((pitch_class + (up ? step : -step)) % 12 + 12) % 12;
}

std::string seed_text(const engine::Composition& c) {
    std::string text;
    for (const int v : c.Note_heights) {
        if (!text.empty()) text += ' ';
        text += std::to_string(v);
    }
    if (c.seed_has_test) text += " TEST";
    return text;
}

std::string scale_text(const Workspace& ws) {
    tuning::PitchListWriting how;
    how.lowest_frequency = ws.composition.Frequency_of_lowest_note;
    std::string text = tuning::write_pitch_list(ws.composition.Intervals, ws.settings.format, how);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::string arpeggio_text(const engine::Composition& c) {
    if (c.Use_ratios) return std::string(kFollowScaleText);
    std::string text = tuning::write_step_list(c.Arpeggio, tuning::ListNotation::absolute);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace corvane::files
