#include "corvane/midi/play_along_settings.h"

namespace corvane::midi {

MidiInTable default_midi_in_table(MidiInTableKind kind) {
    MidiInTable table{};
    switch (kind) {
        case MidiInTableKind::mode: table.fill(128); break;
        case MidiInTableKind::scale_position:
            for (int note = 0; note < kMidiInNotes; ++note) table[static_cast<std::size_t>(note)] = note - 60;
            break;
        case MidiInTableKind::playback_figuration:
        case MidiInTableKind::non_melodic_percussion:
        case MidiInTableKind::voice_channel:
        case MidiInTableKind::selected_assignment:
        case MidiInTableKind::solo: break;
    }
    return table;
}

}  // namespace corvane::midi
