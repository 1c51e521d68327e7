#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/tuning/expression.h"
#include "corvane/tuning/pitch_list.h"

namespace corvane::tuning {

// An arpeggio or mode: scale degrees, with an optional descending form after "|".
// Entries 0..ascending_last are the ascending form, the rest the descending form.
// Never empty: a text with nothing in it reads as the single degree 0.
struct StepList {
    std::vector<double> entries{0.0};
    int ascending_last = 0;

    int last_index() const { return static_cast<int>(entries.size()) - 1; }
    bool has_descending_part() const { return last_index() > ascending_last; }
    std::span<const double> ascending() const {
        return std::span<const double>(entries).first(static_cast<std::size_t>(ascending_last) + 1);
    }
    std::span<const double> descending() const {
        return std::span<const double>(entries).subspan(static_cast<std::size_t>(ascending_last) + 1);
    }
    bool operator==(const StepList&) const = default;
};

// Reads "0 2 4 7 9 12" or "0 2 3 5 7 9 11 12 | 0 2 3 5 7 8 10 12"; "|" may stand alone or
// be glued to a number. A token with no number reads as 0. At most 1000 entries.
StepList read_step_list(std::string_view text, ListNotation notation, PitchForm form = PitchForm::ratio);

// The same list truncated toward zero, as the integer readers of seeds and modes take it.
std::vector<int> truncated_steps(const StepList& list);

// Writes each entry as "%g " (the difference from the one before in step notation), with
// "| " before the descending form. At most 1001 entries are written.
std::string write_step_list(const StepList& list, ListNotation notation);

// The value of a mode at any whole degree: the written entries repeat, each period raised
// by list[n] - list[0]. With n = 0 the degree is its own value.
double wrap_step(long degree, int last_index, std::span<const double> list);

// The direction state of one voice, for modes that differ going up and going down.
struct ModeDirection {
    double previous_degree = 0;
    double previous_ascending = 0;
    double previous_descending = 0;
    bool chose_ascending = true;
    int force = 0;  // 0 none, 1 ascending, anything else descending; cleared after use
};

inline constexpr int kModeVoiceSlots = 8;
using ModeVoices = std::array<ModeDirection, kModeVoiceSlots>;

// The mode value of `degree` for `voice` (clamped to 0..7), choosing the ascending form
// while the tune rises and the descending form while it falls.
double choose_mode_form(long degree, const StepList& list, ModeVoices& voices, int voice);

// The first part of an arpeggio text that is no degree ("abc", "2x"), if any; "|" between or
// beside numbers marks the descending part.
std::optional<std::string> first_unreadable_step(std::string_view text);

// True for the words that make an arpeggio follow the scale: "Use_ratios", "Use_intervals",
// "FOLLOW_SCALE", "FOLLOW_WAVE_SCALE" (any case), and the menu's "Use ratios".
bool is_follow_scale_text(std::string_view text);

// The nearest whole degree of a mode value.
inline long to_degree(double value) { return static_cast<long>(value >= 0 ? value + 1e-10 : value - 1e-10); }

}  // namespace corvane::tuning
