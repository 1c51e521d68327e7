#pragma once

#include <cmath>

#include <gtest/gtest.h>

#include "corvane/engine/composition.h"

namespace corvane::files::testing {

// Every field of the record; the frequency and the scale within `tolerance` (relative),
// since the file writes the frequency with six figures and decimals with fourteen.
inline void expect_same_composition(const engine::Composition& a, const engine::Composition& b,
                                    double tolerance = 0.0) {
    const auto near = [tolerance](double x, double y) { return x == y || std::fabs(x - y) <= tolerance * std::fabs(y); };
    EXPECT_EQ(a.Note_heights, b.Note_heights);
    EXPECT_EQ(a.Levels, b.Levels);
    EXPECT_EQ(a.times_by_melody_pos, b.times_by_melody_pos);
    EXPECT_EQ(a.has_times_by_melody_pos, b.has_times_by_melody_pos);
    EXPECT_EQ(a.volumes_by_melody_pos, b.volumes_by_melody_pos);
    EXPECT_EQ(a.has_volumes_by_melody_pos, b.has_volumes_by_melody_pos);
    EXPECT_EQ(a.iRhythmFractalToLevel, b.iRhythmFractalToLevel);
    EXPECT_EQ(a.Note_length, b.Note_length);
    EXPECT_EQ(a.Top_note_length, b.Top_note_length);
    EXPECT_EQ(a.has_Top_note_length, b.has_Top_note_length);
    EXPECT_EQ(a.Note_timing_shift, b.Note_timing_shift);
    EXPECT_EQ(a.has_Note_timing_shift, b.has_Note_timing_shift);
    EXPECT_EQ(a.Sustain, b.Sustain);
    EXPECT_EQ(a.Top_note_volume, b.Top_note_volume);
    EXPECT_EQ(a.has_Top_note_volume, b.has_Top_note_volume);
    EXPECT_EQ(a.VolForSilentSimNote, b.VolForSilentSimNote);
    EXPECT_TRUE(near(a.Frequency_of_lowest_note, b.Frequency_of_lowest_note))
        << a.Frequency_of_lowest_note << " vs " << b.Frequency_of_lowest_note;
    ASSERT_EQ(a.Intervals.size(), b.Intervals.size());
    for (std::size_t i = 0; i < a.Intervals.size(); ++i) {
        EXPECT_TRUE(near(a.Intervals[i] + 1, b.Intervals[i] + 1)) << "scale entry " << i;
    }
    EXPECT_EQ(a.Intervals_Title, b.Intervals_Title);
    EXPECT_EQ(a.Arpeggio.entries, b.Arpeggio.entries);
    EXPECT_EQ(a.Arpeggio.ascending_last, b.Arpeggio.ascending_last);
    EXPECT_EQ(a.Arpeggio_Title, b.Arpeggio_Title);
    EXPECT_EQ(a.Use_ratios, b.Use_ratios);
    EXPECT_EQ(a.shift_by_octave_or_arpeggio, b.shift_by_octave_or_arpeggio);
    EXPECT_EQ(a.seed_has_test, b.seed_has_test);
    EXPECT_EQ(a.Channels_in_Play, b.Channels_in_Play);
    EXPECT_EQ(a.Channel, b.Channel);
    EXPECT_EQ(a.Voices_for_channels, b.Voices_for_channels);
    EXPECT_EQ(a.Choose_channels_by, b.Choose_channels_by);
    EXPECT_EQ(a.ccbo_first_channel, b.ccbo_first_channel);
    EXPECT_EQ(a.ccbo_multiple_notes_in_same_channel, b.ccbo_multiple_notes_in_same_channel);
    EXPECT_EQ(a.ccbo_sym_chs, b.ccbo_sym_chs);
    EXPECT_EQ(a.sz_ccbo_formula, b.sz_ccbo_formula);
    EXPECT_EQ(a.ListOfModesFile, b.ListOfModesFile);
    EXPECT_EQ(a.Octave_shifts_for_channels, b.Octave_shifts_for_channels);
    EXPECT_EQ(a.Volumes_for_channels, b.Volumes_for_channels);
    EXPECT_EQ(a.Min_notes_for_channels, b.Min_notes_for_channels);
    EXPECT_EQ(a.Max_notes_for_channels, b.Max_notes_for_channels);
    EXPECT_EQ(a.Sync_to_pitch, b.Sync_to_pitch);
    EXPECT_EQ(a.iActionIfOutOfRange, b.iActionIfOutOfRange);
    EXPECT_EQ(a.iPitch_for_sync_to_pitch, b.iPitch_for_sync_to_pitch);
    EXPECT_EQ(a.iVibrato, b.iVibrato);
    EXPECT_EQ(a.dVibrato_freq, b.dVibrato_freq);
    EXPECT_EQ(a.dVibrato_amp, b.dVibrato_amp);
    EXPECT_EQ(a.dVibrato_vol_amp, b.dVibrato_vol_amp);
    EXPECT_EQ(a.iPortamento, b.iPortamento);
    EXPECT_EQ(a.iPortamento_slide_time, b.iPortamento_slide_time);
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
    c.Intervals_Title = "Just diatonic";
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
