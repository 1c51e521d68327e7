#pragma once

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "corvane/engine/composition.h"
#include "corvane/files/composition_file.h"

namespace corvane::files::testing {

// The composition as its file holds it.
inline std::string composition_file_text(const engine::Composition& c) {
    SaveBuffer out;
    write_composition(out, c);
    return out.take();
}

// Every field of the record; the frequency and the scale within `tolerance` (relative),
// since the file writes the frequency with six figures and decimals with fourteen. A
// difference is shown as the two records' files.
inline void expect_same_composition(const engine::Composition& a, const engine::Composition& b,
                                    double tolerance = 0.0) {
    const auto near = [tolerance](double x, double y) {
        return x == y || std::fabs(x - y) <= tolerance * std::fabs(y);
    };
    engine::Composition a_within_tolerance = a;
    if (near(a.Frequency_of_lowest_note, b.Frequency_of_lowest_note)) {
        a_within_tolerance.Frequency_of_lowest_note = b.Frequency_of_lowest_note;
    }
    const bool same_scale = a.Intervals.size() == b.Intervals.size() &&
                            std::equal(a.Intervals.begin(), a.Intervals.end(), b.Intervals.begin(),
                                       [&](double x, double y) { return near(x + 1, y + 1); });
    if (same_scale) a_within_tolerance.Intervals = b.Intervals;
    EXPECT_TRUE(a_within_tolerance == b) << "read:\n"
                                         << composition_file_text(a) << "expected:\n"
                                         << composition_file_text(b);
}

// A composition with every field away from its New value, in values the file keeps exactly.
inline engine::Composition composition_with_every_field_set() {
    engine::Composition c;
    c.Note_heights = {0, 2, -1, 3};
    c.Levels = 7;
    c.times_by_melody_pos = {1, 0.5, 2, 1.25};
    c.has_times_by_melody_pos = true;
    c.volumes_by_melody_pos = {1, 0.75, 0.5, 1};
    c.has_volumes_by_melody_pos = true;
    c.iRhythmFractalToLevel = 3;
    c.Note_length = 0.25;
    c.Top_note_length = 0.125;
    c.has_Top_note_length = true;
    c.Note_timing_shift = 0.25;
    c.has_Note_timing_shift = true;
    c.Sustain = 2.5;
    c.Top_note_volume = 0.375;
    c.has_Top_note_volume = true;
    c.VolForSilentSimNote = 0.25;
    c.Frequency_of_lowest_note = 440;
    c.Intervals = {0, 0.125, 0.25, 1.0 / 3, 0.5, 2.0 / 3, 0.875, 1};
    c.Intervals_Title = "Just_diatonic (5-limit)";  // an underscore of its own is written escaped
    c.Arpeggio.entries = {0, 2, 3, 5, 7, 9, 11, 12, 0, 2, 3, 5, 7, 8, 10, 12};
    c.Arpeggio.ascending_last = 7;
    c.Arpeggio_Title = "Melodic minor";
    c.shift_by_octave_or_arpeggio = 2;
    c.Channels_in_Play = 3;
    c.Channel = 2;
    c.Voices_for_channels = {0, 1, -1, 40, 128, 73, 73, 73, 73, -1, 73, 73, 73, 73, 73, 12};
    c.Choose_channels_by = 2;
    c.ccbo_first_channel = 1;
    c.ccbo_multiple_notes_in_same_channel = false;
    c.ccbo_sym_chs = true;
    c.sz_ccbo_formula = "N+2*H";
    c.ListOfModesFile = "my modes.lmd";
    c.Octave_shifts_for_channels[1] = -1;
    c.Volumes_for_channels[0] = 100;
    c.Min_notes_for_channels[2] = 36;
    c.Max_notes_for_channels[3] = 96;
    c.Sync_to_pitch[4] = true;
    c.iActionIfOutOfRange = engine::filled(1);
    c.iPitch_for_sync_to_pitch[5] = 1.5;
    c.iVibrato[6] = 1;
    c.dVibrato_freq[7] = 5.5;
    c.dVibrato_amp[8] = 20;
    c.dVibrato_vol_amp[9] = 0.25;
    c.iPortamento[10] = 1;
    c.iPortamento_slide_time[11] = 32;
    return c;
}

}  // namespace corvane::files::testing
