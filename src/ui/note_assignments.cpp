#include "corvane/ui/note_assignments.h"

#include <algorithm>
#include <cstddef>

namespace corvane::ui {
namespace {

std::size_t at(int note) { return static_cast<std::size_t>(std::clamp(note, 0, midi::kMidiInNotes - 1)); }

bool is_single_note(const midi::PlayAlongSettings& s, int note) {
    return s.iModeForMidiInNotes[at(note)] != midi::kNoFixedAssignment ||
           s.iNonMelodicPercussionForMidiInNote[at(note)] != midi::kNoPercussion;
}

}  // namespace

std::vector<NoteAssignment> read_note_assignments(const midi::PlayAlongSettings& s) {
    std::vector<NoteAssignment> ranges;
    std::vector<NoteAssignment> singles;
    for (int note = 0; note < midi::kMidiInNotes; ++note) {
        const int voice = s.iVoiceChannelForMidiInNote[at(note)];
        if (is_single_note(s, note)) {
            singles.push_back({AssignmentKind::single_note, note, note, voice, s.iModeForMidiInNotes[at(note)],
                               s.iScalePosForMidiInNote[at(note)], s.iNonMelodicPercussionForMidiInNote[at(note)]});
        } else if (!ranges.empty() && ranges.back().voice == voice) {
            ranges.back().top_note = note;
        } else {
            ranges.push_back({.kind = AssignmentKind::voice_range, .first_note = note, .top_note = note, .voice = voice});
        }
    }
    ranges.insert(ranges.end(), singles.begin(), singles.end());
    return ranges;
}

void write_note_assignments(std::span<const NoteAssignment> rows, midi::PlayAlongSettings& s) {
    using Kind = midi::MidiInTableKind;
    s.iModeForMidiInNotes = midi::default_midi_in_table(Kind::mode);
    s.iScalePosForMidiInNote = midi::default_midi_in_table(Kind::scale_position);
    s.iVoiceChannelForMidiInNote = midi::default_midi_in_table(Kind::voice_channel);
    s.iNonMelodicPercussionForMidiInNote = midi::default_midi_in_table(Kind::non_melodic_percussion);
    s.iSelNAForMidiInNote = midi::default_midi_in_table(Kind::selected_assignment);
    for (const AssignmentKind kind : {AssignmentKind::voice_range, AssignmentKind::single_note}) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const NoteAssignment& row = rows[i];
            if (row.kind != kind) continue;
            for (int note = std::max(row.first_note, 0); note <= std::min(row.top_note, midi::kMidiInNotes - 1); ++note) {
                s.iVoiceChannelForMidiInNote[at(note)] = row.voice;
                s.iSelNAForMidiInNote[at(note)] = static_cast<int>(i);
                if (kind == AssignmentKind::voice_range) continue;
                s.iModeForMidiInNotes[at(note)] = row.mode;
                s.iScalePosForMidiInNote[at(note)] = row.scale_position;
                s.iNonMelodicPercussionForMidiInNote[at(note)] = row.percussion;
            }
        }
    }
}

void capture_note(NoteAssignment& row, CaptureTarget target, int note) {
    note = std::clamp(note, 0, midi::kMidiInNotes - 1);
    if (row.kind == AssignmentKind::single_note) {
        row.first_note = row.top_note = note;
    } else if (target == CaptureTarget::first_note) {
        row.first_note = note;
        row.top_note = std::max(row.top_note, note);
    } else {
        row.top_note = note;
        row.first_note = std::min(row.first_note, note);
    }
}

int row_of_note(std::span<const NoteAssignment> rows, int note) {
    int found = -1;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (note < rows[i].first_note || note > rows[i].top_note) continue;
        if (rows[i].kind == AssignmentKind::single_note) return static_cast<int>(i);
        if (found < 0) found = static_cast<int>(i);
    }
    return found;
}

NoteAssignment single_note_at(int note) {
    const auto scale_positions = midi::default_midi_in_table(midi::MidiInTableKind::scale_position);
    return {AssignmentKind::single_note, note, note, 0, 0, scale_positions[at(note)], midi::kNoPercussion};
}

}  // namespace corvane::ui
