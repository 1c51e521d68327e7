#include "corvane/files/composition_edits.h"

#include <array>
#include <charconv>
#include <cmath>

#include "corvane/engine/seed.h"
#include "corvane/tuning/expression.h"
#include "corvane/tuning/pitch_list.h"
#include "corvane/tuning/step_list.h"
#include "corvane/tuning/builtin_tables.h"
#include "corvane/tuning/temperament.h"

namespace corvane::files {
namespace {

using tuning::PitchForm;

std::optional<double> read_number(std::string_view text) {
    const auto e = tuning::evaluate_expression(text, PitchForm::ratio);
    if (!e.number_read || !std::isfinite(e.value)) return std::nullopt;
    return e.value;
}

long long whole_number(double value) {
    if (value > 1e15) return 1000000000000000LL;
    if (value < -1e15) return -1000000000000000LL;
    return static_cast<long long>(value);
}

// Stores `value` in `field` and marks the composition unsaved when it differs.
template <class T>
bool store(Workspace& ws, T& field, T value) {
    if (field == value) return false;
    field = std::move(value);
    ws.settings.needs_save = true;
    return true;
}

bool mark_if(Workspace& ws, bool changed) {
    if (changed) ws.settings.needs_save = true;
    return changed;
}

// Reads a number and stores it through `set`, which keeps the field's limits.
template <class T, class Set>
bool edit_with_limits(Workspace& ws, std::string_view text, const T& field, Set set) {
    const auto value = read_number(text);
    if (!value) return false;
    const T before = field;
    return mark_if(ws, set(*value) != before);
}

}  // namespace

std::string number_text(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 10);
    return std::string(buffer, result.ptr);
}

bool edit_seed(Workspace& ws, std::string_view text) {
    const auto reading = engine::read_seed(text, engine::SeedStrictness::lenient);
    if (!reading || reading->values.empty()) return false;
    auto& c = ws.composition;
    const bool changed = c.Note_heights != reading->values || c.seed_has_test != reading->contains_test;
    engine::set_seed(c, reading->values);
    c.seed_has_test = reading->contains_test;
    return mark_if(ws, changed);
}

bool edit_levels(Workspace& ws, std::string_view text, platform::Reporter& reporter) {
    return edit_with_limits(ws, text, ws.composition.Levels,
                            [&](double v) { return engine::set_levels(ws.composition, whole_number(v), reporter); });
}

bool edit_note_length(Workspace& ws, std::string_view text) {
    const auto value = read_number(text);
    if (!value || *value <= 0) return false;
    return store(ws, ws.composition.Note_length, *value);
}

bool edit_sustain(Workspace& ws, std::string_view text, platform::Reporter& reporter) {
    return edit_with_limits(ws, text, ws.composition.Sustain,
                            [&](double v) { return engine::set_sustain(ws.composition, v, reporter); });
}

bool edit_channels_in_play(Workspace& ws, std::string_view text, platform::Reporter& reporter) {
    return edit_with_limits(ws, text, ws.composition.Channels_in_Play, [&](double v) {
        return engine::set_channels_in_play(ws.composition, whole_number(v), reporter);
    });
}

bool edit_scale(Workspace& ws, std::string_view text) {
    auto& c = ws.composition;
    if (const auto steps = tuning::equal_temperament_code(text)) {  // "e19": nineteen equal steps
        const auto before = c.Intervals;
        engine::set_intervals(c, tuning::make_equal_temperament(*steps).entries);
        return mark_if(ws, c.Intervals != before);
    }
    const auto reading =
        tuning::read_pitch_list(text, PitchForm::ratio, tuning::ListNotation::absolute, c.Frequency_of_lowest_note);
    const auto before = c.Intervals;
    engine::set_intervals(c, reading.entries);
    bool changed = c.Intervals != before;
    if (reading.lowest_frequency) changed |= store(ws, c.Frequency_of_lowest_note, *reading.lowest_frequency);
    return mark_if(ws, changed);
}

bool edit_scale_title(Workspace& ws, std::string_view text) {
    return store(ws, ws.composition.Intervals_Title, std::string(text.substr(0, engine::kMaxTitleLength)));
}

bool edit_arpeggio(Workspace& ws, std::string_view text) {
    auto& c = ws.composition;
    if (tuning::is_follow_scale_text(text)) return store(ws, c.Use_ratios, true);
    const auto list = tuning::read_step_list(text, tuning::ListNotation::absolute);
    const bool changed = c.Use_ratios || c.Arpeggio.entries != list.entries ||
                         c.Arpeggio.ascending_last != list.ascending_last;
    c.Use_ratios = false;
    c.Arpeggio = list;
    return mark_if(ws, changed);
}

bool edit_arpeggio_title(Workspace& ws, std::string_view text) {
    return store(ws, ws.composition.Arpeggio_Title, std::string(text.substr(0, engine::kMaxTitleLength)));
}

bool edit_lowest_frequency(Workspace& ws, std::string_view text) {
    const auto value = read_number(text);
    if (!value || *value <= 0) return false;
    return store(ws, ws.composition.Frequency_of_lowest_note, *value);
}

void step_note_length(Workspace& ws, bool up) {
    const double factor = std::sqrt(2.0);
    store(ws, ws.composition.Note_length, up ? ws.composition.Note_length * factor : ws.composition.Note_length / factor);
}

void step_channels_in_play(Workspace& ws, bool up, platform::Reporter& reporter) {
    const int wanted = ws.composition.Channels_in_Play + (up ? 1 : -1);
    if (wanted < 1 || wanted > engine::kMidiChannels) return;  // the arrows stop at the limits
    edit_channels_in_play(ws, std::to_string(wanted), reporter);
}

bool choose_scale_entry(Workspace& ws, std::size_t index) {
    if (index >= ws.scales.entries.size()) return false;
    const ListEntry entry = ws.scales.entries[index];
    if (!entry.link.empty()) {
        return load_list_of_scales(ws, resolve_list_path(ws.program_folder, entry.link));
    }
    ws.scales.selected = index;
    if (tuning::is_follow_scale_text(entry.definition)) return edit_arpeggio(ws, entry.definition);
    edit_scale(ws, entry.definition);
    edit_scale_title(ws, entry.description);
    if (!ws.settings.synchronise_modes || entry.modes_file.empty()) return false;
    if (entry.modes_file.front() == ':') {
        ws.modes = builtin_mode_list(entry.modes_file);
        return true;
    }
    return load_list_of_modes(ws, resolve_list_path(ws.program_folder, entry.modes_file), false);
}

bool choose_mode_entry(Workspace& ws, std::size_t index) {
    if (index >= ws.modes.entries.size()) return false;
    const ListEntry entry = ws.modes.entries[index];
    if (!entry.link.empty()) {
        return load_list_of_modes(ws, resolve_list_path(ws.program_folder, entry.link), true);
    }
    ws.modes.selected = index;
    edit_arpeggio(ws, entry.definition);
    edit_arpeggio_title(ws, entry.description);
    return false;
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
