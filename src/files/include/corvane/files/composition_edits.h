#pragma once

// The main window's fields as text: each edit reads what the user typed through the
// expression reader, stores it with the composition's limits (reporting the clamps) and
// marks the composition unsaved when it changed; each display text is what the field
// shows back.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "corvane/files/workspace.h"
#include "corvane/platform/reporter.h"

namespace corvane::files {

// A number as the fields show it: up to ten significant figures, a point for decimals
// whatever the locale.
std::string number_text(double value);

// What an edit did with the text typed.
struct EditResult {
    bool changed = false;  // the composition changed, and is marked unsaved
    std::string refused;   // why the text was not taken, naming what could not be read; empty when taken
    explicit operator bool() const { return changed; }
};

// Each edit takes the whole text or nothing: a text that does not read as what the field
// holds (a word that is no pitch, a frequency of 0 Hz) leaves the composition as it was
// and says why.
[[nodiscard]] EditResult edit_seed(Workspace& ws, std::string_view text);
[[nodiscard]] EditResult edit_levels(Workspace& ws, std::string_view text, platform::Reporter& reporter);
[[nodiscard]] EditResult edit_note_length(Workspace& ws, std::string_view text);
[[nodiscard]] EditResult edit_sustain(Workspace& ws, std::string_view text, platform::Reporter& reporter);
[[nodiscard]] EditResult edit_channels_in_play(Workspace& ws, std::string_view text, platform::Reporter& reporter);
[[nodiscard]] EditResult edit_scale(Workspace& ws, std::string_view text);
[[nodiscard]] EditResult edit_scale_title(Workspace& ws, std::string_view text);
[[nodiscard]] EditResult edit_arpeggio(Workspace& ws, std::string_view text);
[[nodiscard]] EditResult edit_arpeggio_title(Workspace& ws, std::string_view text);
[[nodiscard]] EditResult edit_lowest_frequency(Workspace& ws, std::string_view text);

// The spin arrows: "Time for one note" times or divided by the square root of 2,
// "Channels in Play" one up or down within 1 to 16.
void step_note_length(Workspace& ws, bool up);
void step_channels_in_play(Workspace& ws, bool up, platform::Reporter& reporter);

// An entry of the list of scales or of modes: a link (or, among modes, a list-of-modes
// file) loads the list it names, any other entry sets the scale (and its modes) or the
// arpeggio. A named list that cannot be read is reported and the list stays as it was.
// Returns whether the list changed.
bool choose_scale_entry(Workspace& ws, std::size_t index, platform::Reporter& reporter);
bool choose_mode_entry(Workspace& ws, std::size_t index, platform::Reporter& reporter);
// The entry of the list of scales that holds the composition's scale, or of modes that holds
// its arpeggio: the selected entry when it does, else the first with the composition's title,
// else the first that does; none when no entry does. Links are never the match.
std::optional<std::size_t> entry_matching_scale(const Workspace& ws);
std::optional<std::size_t> entry_matching_arpeggio(const Workspace& ws);
inline constexpr std::string_view kListOfScalesCaption = "List of scales";
inline constexpr std::string_view kListOfModesCaption = "List of modes";

// The wolf note of the mean-tone dialog after one spin step: by a semitone, or to the next
// natural note in that direction; always a pitch class 0..11.
int step_wolf_note(int wolf, bool up, bool to_natural);

std::string seed_text(const engine::Composition& c);
std::string scale_text(const Workspace& ws);
std::string arpeggio_text(const engine::Composition& c);
inline constexpr std::string_view kFollowScaleText = "Use ratios";

}  // namespace corvane::files
