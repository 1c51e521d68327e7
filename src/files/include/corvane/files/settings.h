#pragma once

// The program-wide settings kept in the configuration file "Corvane.ini", one member per
// key of the file, named by its key; the member initialisers are the built-in defaults.
// Settings that other parts of the program already gather in their own structs live in
// those structs (pitch formatting, player, channel voices, MIDI files).
//
// Flags are written only in their non-default state, as "key=1" (default off) or "key=0"
// (default on); the reader recognises both texts of every flag, so a hand-edited file
// with the other form still reads. Where the file format leaves the form open, these
// forms are used, chosen so that the state survives a save and a read:
//   save_priority_for_next_session   "save_priority_for_next_session=1" when priority saving
//                                     is on at level 1; at any other level the item
//                                     "set_high_priority_for_crv N" is written instead, and
//                                     reading it also switches priority saving on.
//   mf_add_time_signature            "mf_add_time_signature=1" when on.
//   warn_replace_old_play_along_file "warn_replace_old_play_along_file=0" when off (on is the
//                                     default: ask before replacing a recording).
//   enable_play_along_recording      "enable_play_along_recording=1" when on.
//   mf_sharps_or_flats               "mf_sharps_or_flats=1" when on (the key is one of flats).
//   midi_file_format                 "midi_file_format N", always written and read back.
// Two other flags whose written text disagrees with their default:
//   play_on_start_up_with_file       written "=0" whenever off, and "=1" when on, so that
//                                     the file alone keeps it.
//   FGhalve_max_char_width           on by default, so written "=0" when off.

#include <array>
#include <cstdint>
#include <string>

#include "corvane/engine/channel_voices.h"
#include "corvane/engine/player.h"
#include "corvane/midi/midi_file_save.h"
#include "corvane/midi/play_along_settings.h"
#include "corvane/midi/smf_settings.h"
#include "corvane/tuning/pitch_format.h"

namespace corvane::files {

inline constexpr std::string_view kConfigurationFileName = "Corvane.ini";
inline constexpr std::string_view kResetConfigurationFileName = "CRV_reset.ini";
inline constexpr std::string_view kResetScalesFileName = "CRV_reset.lsc";
inline constexpr std::string_view kResetModesFileName = "CRV_reset.lmd";

inline constexpr int kGalleryMinutes = 16;

using midi::default_midi_in_table;
using midi::kMidiInNotes;
using midi::KeyboardRows;
using midi::MidiInTable;
using midi::MidiInTableKind;

// The platform's logical-font description of the labels font of the graph.
struct LabelsFont {
    long height = 0, width = 0, escapement = 0, orientation = 0, weight = 0;
    int italic = 0, underline = 0, strike_out = 0, char_set = 0, out_precision = 0, clip_precision = 0,
        quality = 0, pitch_and_family = 0;
    std::string face_name;  // the font is kept only when it has a face name

    bool operator==(const LabelsFont&) const = default;
};

inline constexpr std::array<double, kGalleryMinutes> kDefaultGalleryMinutes{
    4, 16, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5};
inline constexpr double kMissingGalleryMinutes = 0.5;

struct Settings {
    // Header of the file: auto-save at exit, the composition file and the current folder.
    bool Auto_save_to_Corvane_ini_on_exit = true;
    std::string File;       // the composition file; empty for a new one
    std::string Directory;  // the current folder
    bool file_named_on_command_line = false;  // File is kept when a configuration is read

    // Number formats, the player, the channel voices and MIDI files.
    tuning::PitchFormat format = tuning::PitchFormat::configuration_defaults();
    engine::PlayerSettings player;
    bool uTimerRes_set_explicitly = false;  // read from a file or typed in this run
    bool save_priority_for_next_session = false;
    engine::VoiceSettings voices;
    midi::SmfSettings smf;

    // Scala and the lists of scales and modes.
    std::string ScalaModesLSC = "SCALA Modes.lsc";
    bool scala_auto_sort_lmds = false;
    bool sort_defs_for_scala_auto_sort_lmds = true;
    std::string ListOfScalesFile;       // written as it is held: a path, or a name in the program folder
    std::string ListOfScalesDirectory;  // an older file's folder item for the list
    std::string ListOfModesDirectory;   // (the list of modes itself is named by the composition)

    bool play_on_start_up = false;
    bool play_on_start_up_with_file = false;
    bool from_previous_note = false;
    bool arpeggio_from_previous_note = false;
    bool replace_old_warning = true;
    bool cShowMidiInInScore = true;
    bool cShowSAPlaybackInScore = true;
    bool cShowVibratoInScore = false;
    bool cShowMouseInScore = true;
    bool ns_show_nbeats = false;
    bool ns_show_chord_intervals = false;
    int ns_show_note_names = 0;
    bool ns_show_intervals = true;
    bool ns_show_dots = true;
    bool ns_include_volumes = false;
    bool ns_include_timings = true;
    bool ns_include_rests = false;
    bool needs_save = false;
    int beats_max_harmonic = 32;
    int beats_sig_figs = 5;
    int beats_max_beats = 20;
    bool show_herz = false;
    bool add_scala_button_to_new_arpeggio_window = false;
    bool add_lsc_files_to_index_lsc_on_save_or_open = false;
    double fine_tune_step = 0.1;
    bool exact_match = true;
    int iFormatForNoteNames = 0;
    bool use_concert_pitch = true;
    bool draw_FGoctaves = true;
    bool draw_FGseconds = true;
    bool FGhalve_max_char_width = true;
    bool FGsustain_as_ties = false;
    int iFGShowAsScore = 1;
    bool auto_select_sharps_or_flats = true;
    bool fg_show_time_span = false;
    bool fg_position_by_time = false;
    bool fg_nudge_to_pitch = false;
    bool fg_show_desired_times = true;
    int iLabelIntervalsAs = 0;
    bool bFGScanLine = true;
    bool add_ledger_lines = true;
    bool bUnderlineNote = false;
    double dMaxFileForKbReport = -1;
    double dFGoctaves = 5;
    double dFGseeds = 5;
    int sharps_or_flats = 0;
    int iFGnIntervalsPerLine = 2;
    int iFGChannelToFollow = 0;
    int iFGNotesAs = 0;
    int iFGChannelToFollowNotesAs = 15;
    int line_width_for_fractal_graph = 2;
    int iFGGraphYAxis = 0;
    bool hide_extra_options = false;
    LabelsFont labels_font;

    // Sorting, searching and the scale tools.
    int wWhichToSort = 3;
    std::string szLMDSortTokenTemplate = "n+~-i";
    std::string szSortTokenTemplate = "n+~-i (least notes, smallest steps, most 1st for steps)";
    int wWhereToSort = 0;
    int wWhatToSearch = 0;
    std::string szWordsToFind = "3/2";
    bool synchronise_modes = true;
    bool scala_show_original_filename = false;
    bool scala_show_if_last_note_is_other_than_octave = false;
    bool add_reduce_button_to_new_scale_window = false;
    bool need_extra_dialog_space = false;
    bool alphabetical_percussion_menu = false;
    bool new_sas_windows_on_top = false;
    bool add_scala_button_to_new_scale_window = false;
    double dsps_max_memory = 100;
    bool sps_show_as_steps_in_description = true;
    int sps_nnotes = 5;
    int sps_min_nnotes = 5;
    int sps_maxscales = 1000;
    double dsps_topnote = 2;

    // MIDI files and the gallery.
    double midi_file_play_secs = 0;
    double midi_file_play_mins = 1;
    bool mf_add_to_gallery = false;
    bool mf_skip_times_in_first_name = false;
    bool ns_show_degrees = true;
    std::string szLSC = "SCALA Scales.lsc";
    std::string SisCmdFile = "show_xxx.cmd";
    std::string ScalaModesListFile = "modename.htm";
    std::string ScalaLocation = "c:\\scala16win\\scala.exe";
    std::string SisSclFile = "xxx.scl";
    bool show_new_arpeggio_scale = false;

    // MIDI in, the computer keyboard and play-along recording.
    midi::PlayAlongSettings play_along;

    // MIDI files, the gallery and playback of the editors.
    std::string szCRV_Gallery = "CRV_Gallery.htm";
    std::string sz_gallery_images = "red_semiquaver.gif 15  33  blue_crotchet.gif 15  33";
    bool hex_dump = false;
    // Periods an output that places messages in time holds them back; 0 sends at once. Two:
    // a JACK cycle may begin before the timer that is due in it has woken (see the README).
    int output_latency_periods = 2;
    std::array<double, kGalleryMinutes> CRV_Gallery_mins = kDefaultGalleryMinutes;
    int midi_file_format = 0;
    bool mf_auto_generate_key_signatures = true;
    int dw_mf_max_file_size = 0;
    int iSAPlaybackMethod = 0;
    bool sa_playback_play_all_in_order_visited = false;
    bool sa_playback_slide_old_to_new = false;
    int iSAPlaybackAscDesc = 0;
    int iSAPlaybackFiguration = 0;
    double dSAPlaybackSustain = 1;
    MidiInTable iPlaybackFiguration = default_midi_in_table(MidiInTableKind::playback_figuration);
    int iPlayNotesFrom = 1;

    // Sorting, and the defaults of the channels' ranges and effects dialogs.
    bool remove_duplicates_for_sort = true;
    int iRangesChannel = 0;
    int iEffectsChannel = 0;
    bool auto_pan = false;
    int tremulo_amount = 0;
    bool vibrato = false;
    double vibrato_vol_amp = 0;
    double vibrato_amp = 10;
    double vibrato_freq = 0;
    bool portamento = false;
    int portamento_slide_time = 0;
    int midi_range_max = 127;
    int midi_range_min = 0;
    int action_if_out_of_range = 0;

};

// The settings of a MIDI file save, as the configuration holds them.
inline midi::MidiSaveSettings midi_save_settings(const Settings& s) {
    midi::MidiSaveSettings m;
    m.midi_file_play_mins = s.midi_file_play_mins;
    m.midi_file_play_secs = s.midi_file_play_secs;
    m.midi_file_format = s.midi_file_format;
    m.hex_dump = s.hex_dump;
    m.mf_auto_generate_key_signatures = s.mf_auto_generate_key_signatures;
    m.smf = s.smf;
    return m;
}

}  // namespace corvane::files
