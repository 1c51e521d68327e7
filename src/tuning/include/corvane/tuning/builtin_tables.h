#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace corvane::tuning {

// A row of the scale window's "new scale" menu, in increment form ("1/8" is 9/8).
// Two kinds of definition are codes rather than pitch texts: "eN" (N-tone equal
// temperament) and "mean-tone" (the mean-tone dialog).
struct NewScaleRow {
    std::string_view title;
    std::string_view definition;
};

// A scale with its modes, in ratio form. `modes` is a mode-list file (".lmd"), ":12" for
// the 12-tone mode menu, ":" for none, or empty for the menu's first and last rows.
struct ScaleWithModesRow {
    std::string_view title;
    std::string_view definition;
    std::string_view modes;
};

// A row of a mode menu: a mode text in scale degrees, "Use ratios" (follow the scale),
// or the name of a mode-list file.
struct ModeRow {
    std::string_view title;
    std::string_view definition;
};

std::span<const NewScaleRow> new_scale_rows();
// Begins with "Clear" and ends with "More scales..." (which opens "index.lsc").
std::span<const ScaleWithModesRow> scales_with_modes_rows();
std::span<const ModeRow> twelve_tone_mode_rows();
std::span<const ModeRow> other_scale_mode_rows();

inline constexpr std::string_view kFollowScaleDefinition = "Use ratios";
inline constexpr std::string_view kMoreScalesTitle = "More scales...";
inline constexpr std::string_view kMeanToneCode = "mean-tone";
inline constexpr std::string_view kTwelveToneModesCode = ":12";
inline constexpr std::string_view kNoModesCode = ":";
// The row of the 12-tone mode menu selected in a new arpeggio window ("Pentatonic").
inline constexpr int kDefaultTwelveToneModeRow = 7;

// N for an equal-temperament code "eN", else nothing.
std::optional<int> equal_temperament_code(std::string_view definition);
bool is_mode_list_file(std::string_view definition);

// The built-in scale whose title matches (case-insensitive), if any.
const ScaleWithModesRow* find_scale_with_modes(std::string_view title);

}  // namespace corvane::tuning
