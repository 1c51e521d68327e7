#pragma once

// The settings of playing along: MIDI in, the computer keyboard and recording what is
// played. Member names are the configuration keys; the initialisers are the configuration's
// defaults.

#include <array>
#include <string>

namespace corvane::midi {

inline constexpr int kMidiInNotes = 128;
inline constexpr int kPcKeyboardRows = 4;
inline constexpr int kNoFixedAssignment = 128;  // iModeForMidiInNotes: mapped through the scale
inline constexpr int kNoPercussion = 0;         // iNonMelodicPercussionForMidiInNote: none

using MidiInTable = std::array<int, kMidiInNotes>;
using KeyboardRows = std::array<int, kPcKeyboardRows>;

// The per-note tables of MIDI in. A new setup maps each note through the scale (no fixed
// assignment, stored as 128), plays scale position note - 60 on voice 0, with no percussion
// sound, assignment row 0, no figuration and no solo.
enum class MidiInTableKind {
    playback_figuration,       // iPlaybackFiguration: 0
    mode,                      // iModeForMidiInNotes: 128, no fixed assignment
    non_melodic_percussion,    // iNonMelodicPercussionForMidiInNote: 0, none
    scale_position,            // iScalePosForMidiInNote: note - 60
    voice_channel,             // iVoiceChannelForMidiInNote: 0
    selected_assignment,       // iSelNAForMidiInNote: 0
    solo,                      // iNASolo: 0
};
MidiInTable default_midi_in_table(MidiInTableKind kind);

// Which keys of an octave count when scale positions are counted in keys, from C. All
// twelve: positions are semitones. A preset may count the white keys only, say; black
// keys then play the scale position of the white key below them.
using KeyPattern = std::array<bool, 12>;
inline constexpr KeyPattern kEveryKey{true, true, true, true, true, true, true, true, true, true, true, true};
inline constexpr KeyPattern kWhiteKeys{true, false, true, false, true, true, false, true, false, true, false, true};

inline constexpr KeyboardRows kDefaultRowVoices{0, 1, 2, 3};
inline constexpr KeyboardRows kDefaultRowVolumes{127, 95, 63, 31};  // row x 31.75, rows 4 to 1

// iMidiInFor: what notes from MIDI in are for.
inline constexpr int kMidiInForPlayAlong = 0;
inline constexpr int kMidiInForPlayAlongToo = 1;
inline constexpr int kMidiInForNewSeed = 2;
inline constexpr int kMidiInForScaleOrArpeggio = 3;

struct PlayAlongSettings {
    // MIDI in.
    std::array<int, 16> OkMidiInChannel = all_channels_on();
    int iMidiInFor = kMidiInForPlayAlong;
    int iMidiInVoices = 5;  // kept for the note assignments editor
    int n1stMidiInNoteForVoiceChannel = 60;
    int iMidiInPresets = -1;
    int nStartRecordingToMidi = -1;
    int nPlaySeed = 82;
    int nApplySeed = 81;
    int nClearSeed = 84;
    int nEndSeed = 83;
    bool open_midi_out_on_midi_in_event = true;
    bool open_midi_in_at_start_of_session = false;
    bool sync_midi_in_with_mouse = true;
    bool ignore_pitch_bends = false;
    bool start_at_same_note_for_sa_repeat = false;
    bool sas_mouse_activated = true;
    MidiInTable iModeForMidiInNotes = default_midi_in_table(MidiInTableKind::mode);
    MidiInTable iNonMelodicPercussionForMidiInNote = default_midi_in_table(MidiInTableKind::non_melodic_percussion);
    MidiInTable iScalePosForMidiInNote = default_midi_in_table(MidiInTableKind::scale_position);
    MidiInTable iVoiceChannelForMidiInNote = default_midi_in_table(MidiInTableKind::voice_channel);
    MidiInTable iSelNAForMidiInNote = default_midi_in_table(MidiInTableKind::selected_assignment);
    MidiInTable iNASolo = default_midi_in_table(MidiInTableKind::solo);
    // Not a configuration key: set by the presets and the command line.
    KeyPattern key_pattern = kEveryKey;
    // A Scala keyboard mapping (.kbm) that places the keys in the scale instead of the note
    // assignments; empty: the assignments. Play-along reads it when it is chosen or starts.
    std::string midi_in_keyboard_mapping;

    // The computer keyboard.
    int iChannelForVoiceForPcKeyboard = 0;
    bool voices_by_keyboard_row = false;
    KeyboardRows voices_for_pc_keyboard_rows = kDefaultRowVoices;
    bool volumes_by_keyboard_row = false;
    KeyboardRows vols_for_pc_keyboard_rows = kDefaultRowVolumes;
    bool pc_key_1_for_degree_1 = true;
    int iPitchesForPCKeyboardRows = 1;
    bool enable_sel_sound = true;
    bool cShowKbdInScore = true;

    // Recording.
    std::string szPlayAlong = "Play along.mid";
    int wReplaceOrAppendPlayAlong = 0;  // 1: continue the file from its end
    bool warn_replace_old_play_along_file = true;
    bool enable_play_along_recording = false;

    static std::array<int, 16> all_channels_on() {
        std::array<int, 16> on{};
        on.fill(1);
        return on;
    }
};

}  // namespace corvane::midi
