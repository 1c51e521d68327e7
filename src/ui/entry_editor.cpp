#include "corvane/ui/entry_editor.h"

#include <algorithm>
#include <cmath>

#include "corvane/engine/degree_mapping.h"
#include "corvane/engine/seed.h"
#include "corvane/tuning/pitch_format.h"
#include "corvane/tuning/pitch_list.h"
#include "corvane/tuning/pitch_mapping.h"
#include "corvane/files/composition_edits.h"

namespace corvane::ui {
namespace {

constexpr int kLowestSeedKey = -7;
constexpr int kHighestSeedKey = 21;
constexpr int kScaleSemitones = 24;
constexpr int kFewestDegreeKeys = 24;
constexpr int kMostDegreeKeys = 48;

bool is_black(double pitch) {
    const int pc = (static_cast<int>(std::floor(pitch + 0.5)) % 12 + 12) % 12;
    return pc == 1 || pc == 3 || pc == 6 || pc == 8 || pc == 10;
}

std::string joined(std::span<const double> values, auto&& text_of) {
    std::string text;
    for (const double v : values) text += (text.empty() ? "" : " ") + text_of(v);
    return text;
}

double lowest_pitch(const engine::Composition& c) { return tuning::frequency_to_midi_pitch(c.Frequency_of_lowest_note); }

}  // namespace

std::string_view entry_window_name(EntryKind kind) {
    switch (kind) {
        case EntryKind::scale:
            return "New Scale";
        case EntryKind::arpeggio:
            return "New Arpeggio";
        case EntryKind::seed:
            break;
    }
    return "New Seed";
}

double entry_pitch(EntryKind kind, double value, const engine::Composition& c) {
    switch (kind) {
        case EntryKind::scale:
            return lowest_pitch(c) + 12 * std::log2(std::max(value, 1e-9));
        case EntryKind::arpeggio:
            return tuning::frequency_to_midi_pitch(tuning::degree_ratio(c.Intervals, tuning::to_degree(value)) *
                                                   c.Frequency_of_lowest_note);
        case EntryKind::seed:
            break;
    }
    tuning::ModeVoices voices{};
    return engine::pitch_of_value(static_cast<long>(value), c, voices, 0).midi_pitch;
}

std::vector<EntryKey> entry_keys(EntryKind kind, const engine::Composition& c) {
    int first = 0;
    int last = kScaleSemitones;
    if (kind == EntryKind::seed) {
        first = kLowestSeedKey;
        last = kHighestSeedKey;
    } else if (kind == EntryKind::arpeggio) {
        const int per_period = std::max(1, static_cast<int>(c.Intervals.size()) - 1);
        last = std::clamp(2 * per_period, kFewestDegreeKeys, kMostDegreeKeys);
    }
    std::vector<EntryKey> keys;
    for (int n = first; n <= last; ++n) {
        const double value = kind == EntryKind::scale ? std::pow(2.0, n / 12.0) : n;
        const double pitch = entry_pitch(kind, value, c);
        keys.push_back({n, value, pitch, is_black(pitch)});
    }
    return keys;
}

std::optional<EntryKey> nearest_key(std::span<const EntryKey> keys, double pitch) {
    if (keys.empty()) return std::nullopt;
    return *std::min_element(keys.begin(), keys.end(), [&](const EntryKey& a, const EntryKey& b) {
        return std::abs(a.pitch - pitch) < std::abs(b.pitch - pitch);
    });
}

std::vector<double> entry_values(EntryKind kind, const files::Workspace& ws) {
    const engine::Composition& c = ws.composition;
    switch (kind) {
        case EntryKind::scale: {
            std::vector<double> ratios;
            for (const double increment : c.Intervals) ratios.push_back(1 + increment);
            return ratios;
        }
        case EntryKind::arpeggio: {
            const auto ascending = c.Arpeggio.ascending();
            return {ascending.begin(), ascending.end()};
        }
        case EntryKind::seed:
            break;
    }
    return {c.Note_heights.begin(), c.Note_heights.end()};
}

// Scale pitches as the main window writes them, cents with their word: a bare "63.1579"
// would read back as a ratio of 63.
std::string entry_text(EntryKind kind, std::span<const double> values, const tuning::PitchFormat& format) {
    if (kind == EntryKind::scale) {
        return joined(values, [&](double v) {
            return tuning::format_pitch_value(v, tuning::PitchForm::ratio, format, tuning::FormatRequest{.cents_word = true});
        });
    }
    return joined(values, [](double v) { return files::number_text(v); });
}

std::optional<std::vector<double>> read_entry(EntryKind kind, std::string_view text, double lowest_frequency) {
    std::vector<double> values;
    switch (kind) {
        case EntryKind::seed: {
            const auto seed = engine::read_seed(text, engine::SeedStrictness::lenient);
            if (!seed) return std::nullopt;
            values.assign(seed->values.begin(), seed->values.end());
            break;
        }
        case EntryKind::scale: {
            const auto list =
                tuning::read_pitch_list(text, tuning::PitchForm::ratio, tuning::ListNotation::absolute, lowest_frequency);
            if (list.count_read == 0) return std::nullopt;
            for (const double increment : list.entries) values.push_back(1 + increment);
            break;
        }
        case EntryKind::arpeggio:
            values = tuning::read_step_list(text, tuning::ListNotation::absolute).entries;
            break;
    }
    if (values.empty()) return std::nullopt;
    return values;
}

files::EditResult apply_entry(EntryKind kind, files::Workspace& ws, std::string_view text) {
    switch (kind) {
        case EntryKind::scale:
            return files::edit_scale(ws, text);
        case EntryKind::arpeggio:
            return files::edit_arpeggio(ws, text);
        case EntryKind::seed:
            break;
    }
    return files::edit_seed(ws, text);
}

std::vector<PreviewNote> preview_notes(std::span<const double> pitches, Figure figure, Direction direction,
                                       int note_ms) {
    std::vector<double> order(pitches.begin(), pitches.end());
    if (direction == Direction::descending) std::reverse(order.begin(), order.end());
    const int count = static_cast<int>(order.size());
    const int total_ms = std::max(count, 1) * note_ms;
    std::vector<PreviewNote> notes;
    for (int i = 0; i < count; ++i) {
        const double pitch = order[static_cast<std::size_t>(i)];
        switch (figure) {
            case Figure::sequence:
                notes.push_back({i * note_ms, (i + 1) * note_ms, pitch});
                break;
            case Figure::chord:
                notes.push_back({0, total_ms, pitch});
                break;
            case Figure::broken_chord:
                notes.push_back({i * note_ms, total_ms + note_ms, pitch});
                break;
        }
    }
    return notes;
}

namespace {

bool same_value(double a, double b) { return std::abs(a - b) < 1e-9 * std::max(1.0, std::abs(a)); }

}  // namespace

Drawing draw_entry_keys(std::span<const EntryKey> keys, std::span<const double> values, std::optional<int> marked,
                        const files::Colours::NewSeedArpeggioScale& colours, double width, double height) {
    Drawing d = blank_drawing(width, height, colours.Background);
    if (keys.empty()) return d;
    const double key_width = width / static_cast<double>(keys.size());
    const double keys_top = height * 0.2;
    const double keys_height = height * 0.65;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const EntryKey& key = keys[i];
        const double left = static_cast<double>(i) * key_width;
        const double middle = left + key_width / 2;
        const double key_height = key.black ? keys_height * 0.62 : keys_height;
        d.boxes.push_back({{left, keys_top}, key_width, key_height, key.black ? colours.Text : colours.White_Keys,
                           colours.Lines});
        const auto times = std::count_if(values.begin(), values.end(), [&](double v) { return same_value(v, key.value); });
        for (long n = 0; n < times; ++n) {
            d.notes.push_back({{middle, keys_top + key_height - key_width * (0.5 + 0.9 * static_cast<double>(n))},
                               key_width * 0.3, colours.Dots, 0});
        }
        if (marked == key.number) {
            const double tip = keys_top - 3;
            const double half = key_width * 0.35;
            d.lines.push_back({{middle - half, tip - 2 * half}, {middle + half, tip - 2 * half}, colours.Triangles, 2});
            d.lines.push_back({{middle - half, tip - 2 * half}, {middle, tip}, colours.Triangles, 2});
            d.lines.push_back({{middle + half, tip - 2 * half}, {middle, tip}, colours.Triangles, 2});
        }
        d.labels.push_back(label({middle, height - 4}, std::to_string(key.number), colours.Text, Drawing::Align::centre, 0.75));
    }
    return d;
}

std::optional<EntryKey> key_at(std::span<const EntryKey> keys, double width, double x) {
    if (keys.empty() || width <= 0 || x < 0 || x >= width) return std::nullopt;
    const auto i = static_cast<std::size_t>(x / width * static_cast<double>(keys.size()));
    return keys[std::min(i, keys.size() - 1)];
}

}  // namespace corvane::ui
