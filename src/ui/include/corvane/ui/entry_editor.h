#pragma once

// The seed, scale and arpeggio editors without a toolkit: the entry as a list of values,
// the keys of the keyboard-like display that a click or a computer key adds, the text
// that Apply puts into the composition, and the timing of a preview.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/files/composition_edits.h"
#include "corvane/files/workspace.h"
#include "corvane/ui/tune_graph_layout.h"

namespace corvane::ui {

enum class EntryKind { seed, scale, arpeggio };

// "New Seed", "New Scale", "New Arpeggio".
std::string_view entry_window_name(EntryKind kind);

// A key of the display: the number it adds (a tune value, a semitone of the scale, a scale
// degree), the value written into the entry, and where it sounds.
struct EntryKey {
    int number = 0;
    double value = 0;  // seed values and degrees as they are; scale entries as ratios
    double pitch = 0;  // MIDI pitch, unrounded
    bool black = false;
};
std::vector<EntryKey> entry_keys(EntryKind kind, const engine::Composition& c);
// The key whose pitch is nearest, for a note played in from MIDI.
std::optional<EntryKey> nearest_key(std::span<const EntryKey> keys, double pitch);

// The entry's values: the seed, the scale's ratios (the last is the period) or the
// arpeggio's degrees (its descending part left out).
std::vector<double> entry_values(EntryKind kind, const files::Workspace& ws);
std::string entry_text(EntryKind kind, std::span<const double> values, const tuning::PitchFormat& format);
// The values of a typed text; nothing when it holds none.
std::optional<std::vector<double>> read_entry(EntryKind kind, std::string_view text, double lowest_frequency);
// Puts the text into the composition as the main window's fields do; whether it changed.
files::EditResult apply_entry(EntryKind kind, files::Workspace& ws, std::string_view text);

// Where an entry value sounds, as MIDI pitch.
double entry_pitch(EntryKind kind, double value, const engine::Composition& c);

// The keyboard-like display: one key per EntryKey across the width, black keys shorter,
// a dot on each key for every time the entry holds its value, a triangle over the key
// added or sounded last, each key's number underneath.
Drawing draw_entry_keys(std::span<const EntryKey> keys, std::span<const double> values, std::optional<int> marked,
                        const files::Colours::NewSeedArpeggioScale& colours, double width, double height);
// The key under a click at `x`.
std::optional<EntryKey> key_at(std::span<const EntryKey> keys, double width, double x);

// The preview: the entry's pitches as a sequence (each note ends as the next starts), a
// chord (all at once) or a broken chord (one after another, each held to the end), in the
// entry's order (ascending) or the reverse (descending).
enum class Figure { sequence = 0, chord = 1, broken_chord = 2 };
enum class Direction { ascending = 0, descending = 1 };
struct PreviewNote {
    int start_ms = 0;
    int end_ms = 0;
    double pitch = 0;
};
std::vector<PreviewNote> preview_notes(std::span<const double> pitches, Figure figure, Direction direction,
                                       int note_ms);

}  // namespace corvane::ui
