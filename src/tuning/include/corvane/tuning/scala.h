#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "corvane/tuning/pitch_list.h"

namespace corvane::tuning {

// A scale read from the Scala layout: "!" comment lines, a description line, the note
// count, then one pitch per line (a value with a point is cents, any other a ratio; the
// rest of a line after its value is a comment).
struct ScalaReading {
    std::string description;
    std::vector<double> entries{0.0};  // increment form; entry 0 is the implied 1/1
    int expected_notes = 0;            // the count the text states
    int notes_read = 0;                // pitches read, the implied 1/1 not counted
    // "~" when the last pitch is not an octave; " (%d notes - expected %d) " when the
    // counts differ. Added to the title where the scale is shown.
    std::string title_note;
    // The scale as the program's own ratio-form text: "1 " and each value as written,
    // "cents " after a value with a point that had no "cents" word of its own.
    std::string scale_text;

    int last_index() const { return static_cast<int>(entries.size()) - 1; }
    bool is_octave_scale() const;
};

ScalaReading read_scala_text(std::string_view text, ListNotation notation = ListNotation::absolute);

// The arpeggio that walks a non-octave scale's entries without rising: "0 1 ... n 0",
// and the text that says so.
std::string cycle_round_entries_arpeggio(int last_index);
std::string cycle_round_entries_message(int last_index);

}  // namespace corvane::tuning
