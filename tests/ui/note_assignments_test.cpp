// The note assignments editor's rows against MIDI in's per-note tables.
#include "corvane/ui/note_assignments.h"

#include <gtest/gtest.h>

#include "corvane/midi/midi_in_presets.h"

namespace corvane::ui {
namespace {

using Kind = AssignmentKind;

TEST(NoteAssignments, SingleNotesOverRangesRoundTripThroughTheTables) {
    const std::vector<NoteAssignment> rows{
        {.kind = Kind::voice_range, .first_note = 0, .top_note = 59, .voice = 0},
        {.kind = Kind::voice_range, .first_note = 60, .top_note = 127, .voice = 1},
        {Kind::single_note, 36, 36, 3, midi::kNoFixedAssignment, -24, 38},
        {Kind::single_note, 64, 64, 2, 0, 7, midi::kNoPercussion},
    };
    midi::PlayAlongSettings s;
    write_note_assignments(rows, s);
    EXPECT_EQ(s.iVoiceChannelForMidiInNote[59], 0);
    EXPECT_EQ(s.iVoiceChannelForMidiInNote[65], 1);
    EXPECT_EQ(s.iVoiceChannelForMidiInNote[64], 2);
    EXPECT_EQ(s.iModeForMidiInNotes[64], 0);
    EXPECT_EQ(s.iScalePosForMidiInNote[64], 7);
    EXPECT_EQ(s.iModeForMidiInNotes[36], midi::kNoFixedAssignment);
    EXPECT_EQ(s.iNonMelodicPercussionForMidiInNote[36], 38);
    EXPECT_EQ(s.iSelNAForMidiInNote[36], 2);
    EXPECT_EQ(s.iSelNAForMidiInNote[64], 3);
    EXPECT_EQ(s.iSelNAForMidiInNote[65], 1);
    // The single notes do not split the ranges they lie in.
    EXPECT_EQ(read_note_assignments(s), rows);

    EXPECT_EQ(row_of_note(rows, 64), 3);
    EXPECT_EQ(row_of_note(rows, 63), 1);
    EXPECT_EQ(row_of_note(rows, 36), 2);
    EXPECT_EQ(row_of_note(std::span<const NoteAssignment>{rows}.first(1), 100), -1);
}

TEST(NoteAssignments, EveryPresetIsStillRecognisedAfterItsRowsAreWrittenBack) {
    for (int preset = 0; preset < midi::kMidiInPresetCount; ++preset) {
        midi::PlayAlongSettings s;
        engine::Composition composition;
        ASSERT_TRUE(midi::apply_midi_in_preset(preset, s, composition));
        const midi::PlayAlongSettings applied = s;
        write_note_assignments(read_note_assignments(s), s);
        EXPECT_EQ(s.iVoiceChannelForMidiInNote, applied.iVoiceChannelForMidiInNote) << preset;
        EXPECT_EQ(s.iNonMelodicPercussionForMidiInNote, applied.iNonMelodicPercussionForMidiInNote) << preset;
        EXPECT_EQ(midi::matching_midi_in_preset(s, composition), preset);
    }
}

TEST(NoteAssignments, ACapturedNoteMovesTheChosenEndOfARangeOrTheSingleNote) {
    NoteAssignment range{.kind = Kind::voice_range, .first_note = 48, .top_note = 59, .voice = 1};
    capture_note(range, CaptureTarget::first_note, 65);  // above the top: the top follows
    EXPECT_EQ(std::pair(range.first_note, range.top_note), std::pair(65, 65));
    capture_note(range, CaptureTarget::top_note, 72);
    capture_note(range, CaptureTarget::first_note, 60);
    EXPECT_EQ(std::pair(range.first_note, range.top_note), std::pair(60, 72));
    capture_note(range, CaptureTarget::top_note, 40);  // below the first: the first follows
    EXPECT_EQ(std::pair(range.first_note, range.top_note), std::pair(40, 40));

    NoteAssignment single = single_note_at(62);
    EXPECT_EQ(single.scale_position, 2);
    capture_note(single, CaptureTarget::top_note, 70);
    EXPECT_EQ(std::pair(single.first_note, single.top_note), std::pair(70, 70));
}

}  // namespace
}  // namespace corvane::ui
