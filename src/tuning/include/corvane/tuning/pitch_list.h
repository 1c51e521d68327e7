#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/tuning/expression.h"
#include "corvane/tuning/pitch_format.h"

namespace corvane::tuning {

// Scales, arpeggios and pitch lists hold at most this many entries.
inline constexpr int kMaxListEntries = 1000;

// How the tokens of a list relate: each one from the lowest note, or each from the one before.
enum class ListNotation { absolute, steps };

// A pitch list as read: entries in increment form (ratio - 1), entry 0 the lowest note.
// Never empty: a text with nothing in it reads as the single entry 0.
struct PitchListReading {
    std::vector<double> entries{0.0};
    int count_read = 0;  // entries the text gave; 0 when it gave none
    // Set when the first entry was a frequency in hertz ("440 Hz"): it becomes the
    // frequency of the lowest note and concert pitch is switched off.
    std::optional<double> lowest_frequency;

    int last_index() const { return static_cast<int>(entries.size()) - 1; }
};

// Reads a scale text: expressions, "cents" and "Hz" after a value, #G and #H series,
// "//" ends the list. `lowest_frequency` is the current frequency of the lowest note,
// needed to read later entries in hertz.
PitchListReading read_pitch_list(std::string_view text, PitchForm form, ListNotation notation,
                                 double lowest_frequency);

// The first token of a scale text that is no pitch ("abc", "4/e"), if any, as the text has
// it; "//" ends the text, and "cents", "Hz" and the #G/#H series read as read_pitch_list
// reads them.
std::optional<std::string> first_unreadable_pitch(std::string_view text);

struct PitchListWriting {
    PitchForm form = PitchForm::ratio;
    ListNotation notation = ListNotation::absolute;
    bool hertz = false;              // each entry as a frequency "%g Hz"
    double lowest_frequency = 261.6255653005986;
};

// Writes entries (increment form) back as text, each followed by one blank.
std::string write_pitch_list(std::span<const double> entries, const PitchFormat& format,
                             const PitchListWriting& how);

}  // namespace corvane::tuning
