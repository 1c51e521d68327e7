#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "corvane/files/scale_list.h"

namespace corvane::tools {

// The notes of a list entry as the tools measure them: for a scale its pitches as ratios
// (the definition read in ratio form), for a mode its degrees. A link, or a definition
// with no value in it, has no notes.
class EntryNotes {
public:
    EntryNotes(const files::ListEntry& entry, files::ListKind kind);

    bool has_notes() const { return !values_.empty(); }
    std::span<const double> values() const { return values_; }
    // Notes in one period: the values written, less the period's top.
    long long note_count() const { return values_.empty() ? 0 : static_cast<long long>(values_.size()) - 1; }
    // Between successive notes: ratios for scales, differences for modes.
    std::vector<double> steps() const;
    // The largest denominator among the pitches written as ratios (scales only).
    long long largest_complexity() const;

private:
    files::ListKind kind_;
    std::vector<double> values_;
};

// The step from one pitch (a ratio) to the next; a pitch at or below zero gives 1.
double step_between(double lower, double upper);

}  // namespace corvane::tools
