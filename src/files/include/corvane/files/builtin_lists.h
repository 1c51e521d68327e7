#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "corvane/files/scale_list.h"

namespace corvane::files {

// The built-in list of scales: the scales-with-modes menu, each scale with its modes
// (":12" the twelve-tone mode menu, ":" none, or a list-of-modes file), and "More
// scales..." as a link to "index.lsc". What "CRV_reset.lsc" holds as shipped.
ScaleList builtin_scale_list();

// The built-in list of modes for a scale's modes code: ":12" the twelve-tone mode menu
// (entries that load a list of modes name it as their modes file), anything else the
// modes offered for the other scales.
ScaleList builtin_mode_list(std::string_view modes_code);
inline constexpr std::string_view kTwelveToneModesHeader = "Equal Temperament (M) 1 n(1/12)";

// The index of lists of scales as shipped: a link to the reset list of scales.
ScaleList shipped_index_list();

// A list file of the data folder: its name, its header line and its entries.
struct ListFile {
    std::string file_name;
    std::string header;
    ScaleList list;
};

// Every mode of twelve degrees: each set of semitones 1..11 added to 0, written as a mode
// text ending with 12, grouped by its number of notes, in the files the twelve-tone mode
// menu names ("12_tone_-_2_to_4_notes.lmd" ... "12_tone.lmd", which holds them all).
std::vector<ListFile> twelve_tone_mode_files();

// The moment-of-symmetry modes of a scale of `degrees_per_period` degrees: for every
// generator g and every count k of 5 to 12 notes (fewer than the scale has), the chain
// 0, g, 2g ... (k-1)g taken within the period, kept when it holds k degrees with at most
// two sizes of step; then every mode of each, once. Fewest notes first, each count in
// ascending order of degrees; a mode is written ending with the period ("0 1 2 4 5 7")
// and described by its notes, its generator and its steps.
std::vector<ListEntry> moment_of_symmetry_modes(int degrees_per_period);

// The lists of modes the scale rows with other than twelve degrees name, each headed by
// its scale and holding that scale's moment-of-symmetry modes, then
// "Modes_for_default_scales.lmd" (the mode menu of the other scales names it), an entry
// opening each of them.
std::vector<ListFile> scale_mode_list_files();

// The reset lists "CRV_reset.lsc" and "CRV_reset.lmd", and "index.lsc".
std::vector<ListFile> shipped_list_files();

}  // namespace corvane::files
