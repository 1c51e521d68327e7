#pragma once

// The rows of the note assignments editor, read from and written to MIDI in's per-note
// tables. A voice range is a run of notes mapped through the scale on one voice; a single
// note has a fixed scale position, a percussion sound, or both, and overrides any range
// it lies in. iSelNAForMidiInNote holds, for each note, the row that assigns it.

#include <span>
#include <vector>

#include "corvane/midi/play_along_settings.h"

namespace corvane::ui {

enum class AssignmentKind { voice_range, single_note };

struct NoteAssignment {
    AssignmentKind kind = AssignmentKind::voice_range;
    int first_note = 0;  // a single note's note
    int top_note = 0;    // a single note's note too
    int voice = 0;
    // Single notes: iModeForMidiInNotes (kNoFixedAssignment: through the scale), the fixed
    // scale position, and the percussion sound (kNoPercussion: none).
    int mode = midi::kNoFixedAssignment;
    int scale_position = 0;
    int percussion = midi::kNoPercussion;

    bool operator==(const NoteAssignment&) const = default;
};

// Where a note captured from MIDI in goes in a row.
enum class CaptureTarget { first_note, top_note };

// The rows the tables hold: voice ranges in note order (single notes do not split them),
// then the single notes in note order.
std::vector<NoteAssignment> read_note_assignments(const midi::PlayAlongSettings& settings);

// Rebuilds the five tables from the rows: notes no row covers take the new-setup values;
// ranges are laid first, in order, and single notes over them.
void write_note_assignments(std::span<const NoteAssignment> rows, midi::PlayAlongSettings& settings);

// Puts a note into a row: a single note becomes that note; a range's first or top note
// moves to it, the other end following when the range would turn over.
void capture_note(NoteAssignment& row, CaptureTarget target, int note);

// The row that assigns a note (a single note before a range), -1 when none does.
int row_of_note(std::span<const NoteAssignment> rows, int note);

// A new single note at `note`: fixed to its own default scale position, on voice 0.
NoteAssignment single_note_at(int note);

}  // namespace corvane::ui
