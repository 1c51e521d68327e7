// The configuration file "Corvane.ini": every key of the settings survives a write and a
// read, the special items, the auto-save stop rule, the trailing composition, the reset file.
#include "corvane/files/configuration_file.h"

#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "composition_test_support.h"
#include "corvane/files/setting_items.h"
#include "corvane/files/whole_file.h"
#include "corvane/tuning/pitch_format.h"
#include "files_test_support.h"

namespace corvane::files {
namespace {

using engine::Composition;

// Every key of the configuration's key table, as the file names them.
const std::vector<std::string_view> kEveryKey{
    "ScalaModesLSC", "scala_auto_sort_lmds", "sort_defs_for_scala_auto_sort_lmds", "ListOfModesFile",
    "ListOfScalesFile", "play_on_start_up", "play_on_start_up_with_file", "from_previous_note",
    "arpeggio_from_previous_note", "replace_old_warning", "enable_sel_sound", "cShowMidiInInScore",
    "cShowSAPlaybackInScore", "cShowVibratoInScore", "cShowKbdInScore", "cShowMouseInScore", "uTimerRes",
    "ignore_pitch_bends", "ns_show_nbeats", "ns_show_chord_intervals", "ns_show_note_names", "ns_show_intervals",
    "ns_show_dots", "ns_include_volumes", "ns_include_timings", "ns_include_rests", "needs_save",
    "beats_max_harmonic", "beats_sig_figs", "beats_max_beats", "show_herz", "add_scala_button_to_new_arpeggio_window",
    "add_lsc_files_to_index_lsc_on_save_or_open", "fine_tune_step", "change_channels_for_pitch_bends", "exact_match",
    "iFormatForNoteNames", "show_cents", "show_cents_or_small_ratios", "cycle_melody", "use_concert_pitch",
    "draw_FGoctaves", "draw_FGseconds", "FGhalve_max_char_width", "FGsustain_as_ties", "iFGShowAsScore",
    "auto_select_sharps_or_flats", "fg_show_time_span", "fg_position_by_time", "fg_nudge_to_pitch",
    "fg_show_desired_times", "iLabelIntervalsAs", "iMaxQuotientForIntervals", "iMaxDivisorForRatiosQuotient",
    "iMaxQuotientForNRatios", "bFGScanLine", "add_ledger_lines", "bFactoriseRatios", "bUnderlineNote",
    "ratios_as_1o1_2o1_etc", "dMaxFileForKbReport", "dFGoctaves", "dFGseeds", "sharps_or_flats",
    "iFGnIntervalsPerLine", "iFGChannelToFollow", "iFGNotesAs", "iFGChannelToFollowNotesAs",
    "line_width_for_fractal_graph", "iFGGraphYAxis", "iCentsSigFigs", "iLookAhead", "hide_extra_options",
    "ok_to_skip_fast_notes", "labels_font", "Note_timing_shift", "Top_note_length", "Top_note_volume",
    "wWhichToSort", "szLMDSortTokenTemplate", "szSortTokenTemplate", "wWhereToSort", "wWhatToSearch",
    "szWordsToFind", "synchronise_modes", "scala_show_original_filename",
    "scala_show_if_last_note_is_other_than_octave", "add_reduce_button_to_new_scale_window",
    "need_extra_dialog_space", "alphabetical_percussion_menu", "new_sas_windows_on_top",
    "add_scala_button_to_new_scale_window", "dsps_max_memory", "sps_show_as_steps_in_description", "sps_nnotes",
    "sps_min_nnotes", "sps_maxscales", "dsps_topnote", "smallest_max_time_for_calc", "largest_max_time_for_calc",
    "delay_for_calc_smallest_max_time", "delay_for_calc_largest_max_time", "min_calcs_for_min_time",
    "set_high_priority_for_crv", "midi_time_sig_numerator", "midi_time_sig_denominator", "mf_time_duration_of_beat",
    "midi_ticks_per_quarter_note", "midi_32nd_notes_per_quarter_note", "midi_clocks_per_metronome",
    "midi_fade_secs", "midi_save_time_resolution", "midi_file_play_secs", "midi_file_play_mins",
    "mf_n_sharps_or_flats", "mf_use_minor_key", "mf_add_to_gallery", "mf_skip_times_in_first_name",
    "ns_show_degrees", "szLSC", "SisCmdFile", "ScalaModesListFile", "ScalaLocation", "SisSclFile",
    "show_new_arpeggio_scale", "sync_midi_in_with_mouse", "open_midi_in_at_start_of_session",
    "open_midi_out_on_midi_in_event", "OkMidiInChannel", "n1stMidiInNoteForVoiceChannel", "szCRV_Gallery",
    "sz_gallery_images", "max_midi_file_size_for_playalong", "max_midi_file_size_for_gallery", "hex_dump",
    "CRV_Gallery_mins", "mf_sharps_or_flats", "midi_file_format", "mf_auto_generate_key_signatures",
    "mf_add_key_signature", "mf_add_time_signature", "dw_mf_max_file_size", "mf_single_pass_recording",
    "wReplaceOrAppendPlayAlong", "szPlayAlong", "warn_replace_old_play_along_file", "enable_play_along_recording",
    "sas_mouse_activated", "voices_by_keyboard_row", "pc_key_1_for_degree_1", "voices_for_pc_keyboard_rows",
    "volumes_by_keyboard_row", "vols_for_pc_keyboard_rows", "iSAPlaybackMethod",
    "sa_playback_play_all_in_order_visited", "sa_playback_slide_old_to_new", "iSAPlaybackAscDesc",
    "iSAPlaybackFiguration", "dSAPlaybackSustain", "iPlaybackFiguration", "iModeForMidiInNotes",
    "iNonMelodicPercussionForMidiInNote", "iScalePosForMidiInNote", "iVoiceChannelForMidiInNote",
    "iSelNAForMidiInNote", "iNASolo", "iMidiInPresets", "iPlayNotesFrom", "start_at_same_note_for_sa_repeat",
    "iPitchesForPCKeyboardRows", "iMidiInFor", "iMidiInVoices", "nEndSeed", "nClearSeed", "nApplySeed", "nPlaySeed",
    "nStartRecordingToMidi", "remove_duplicates_for_sort", "all_sound_off_before_pitch_bends", "iRangesChannel",
    "iEffectsChannel", "auto_pan", "tremulo_amount", "vibrato", "vibrato_vol_amp", "vibrato_amp", "vibrato_freq",
    "dtime_step_for_pitch_bend_vibrato", "legato", "portamento", "portamento_slide_time", "midi_range_max",
    "midi_range_min", "action_if_out_of_range", "iChannelForVoiceForPcKeyboard",
};

// Moves every setting away from its default, to values the file keeps exactly.
struct AwayFromDefaults {
    int counter = 0;

    void text(std::string_view, std::string& value, const std::string&, TextForm form) {
        value = (form == TextForm::token ? "x(" : "a file name ") + std::to_string(++counter);
    }
    void flag(std::string_view, bool& value, bool fallback) { value = !fallback; }
    void flag_written_when_off(std::string_view, bool& value) { value = !value; }
    template <class T>
    void whole(std::string_view, T& value, T fallback, Written, std::string_view) {
        value = static_cast<T>(fallback + 3 + (++counter % 5));
    }
    void real(std::string_view, double& value, double fallback, RealForm, Written) { value = fallback + 0.5; }
    void list_of_modes_file() {}
    void list_of_scales_file(std::string& name) { name = "some lists/my scales.lsc"; }
    void timer_resolution(std::uint32_t& value, bool& set_explicitly) {
        value = 5;
        set_explicitly = true;
    }
    void labels_font(LabelsFont& f) { f = LabelsFont{-13, 0, 0, 0, 700, 1, 0, 0, 0, 3, 2, 1, 34, "DejaVu Sans Mono"}; }
    void composition_optionals() {}
    void priority(int& level, bool& save) {
        level = 3;
        save = true;
    }
    template <class Values>
    void number_list(std::string_view, Values values, std::span<const int> fallback) {
        for (std::size_t i = 0; i < values.size(); ++i) values[i] = fallback[i] + static_cast<int>(i % 3) - 1;
    }
    void gallery_minutes(std::array<double, kGalleryMinutes>& minutes) {
        for (std::size_t i = 0; i < minutes.size(); ++i) minutes[i] = 0.25 * static_cast<double>(i + 1);
    }
    void keyboard_rows(std::string_view, KeyboardRows& rows, const KeyboardRows& fallback, int) {
        for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = fallback[i] + 1;
    }
    void replace_or_append(int& value) { value = 1; }
};

// Every setting as the reset file's writer puts it: the settings compared item by item.
std::string settings_text(const Settings& s) {
    SaveBuffer out;
    write_settings(out, s, Composition{});
    return out.take();
}

std::string written(const Settings& s, const Composition& c = Composition{},
                    const Colours& colours = default_colours()) {
    SaveBuffer out;
    write_configuration(out, s, c, colours);
    return out.take();
}

struct Read {
    Settings settings;
    Composition composition;
    Colours colours = default_colours();
    ConfigurationReading reading;
};

// Starts from `start` when given, else from the built-in settings.
Read read(std::string_view text, ConfigurationReadOptions options = {}, const Settings* start = nullptr) {
    Read r;
    if (start != nullptr) r.settings = *start;
    r.reading = read_configuration(text, options, r.settings, r.composition, r.colours);
    return r;
}

Settings every_setting_changed() {
    Settings s;
    AwayFromDefaults away;
    const Settings defaults;
    for_each_setting(s, defaults, away);
    s.File = "/home/someone/tunes/first tune.cv";
    s.Directory = "/home/someone/tunes";
    return s;
}

std::string shipped_reset_file() {
    return read_whole_file(std::string(CORVANE_SOURCE_DIR) + "/data/CRV_reset.ini").value_or("(missing)");
}

// ---- Every key

TEST(ConfigurationRoundTrip, EverySettingAwayFromItsDefaultComesBackTheSame) {
    const Settings s = every_setting_changed();
    Composition c = testing::composition_with_every_field_set();
    const std::string text = written(s, c);
    const Read back = read(text);
    EXPECT_EQ(settings_text(back.settings), settings_text(s));
    EXPECT_TRUE(back.reading.composition_read);
    testing::expect_same_composition(back.composition, c, 1e-13);
}

TEST(ConfigurationRoundTrip, EveryKeyOfTheTableIsWrittenWhenAwayFromItsDefault) {
    Composition c = testing::composition_with_every_field_set();
    const std::string text = written(every_setting_changed(), c);
    const std::string settings_part = text.substr(0, text.find("Composition_and_Colours"));
    std::set<std::string> written_keys;
    std::istringstream in(settings_part);
    for (std::string token; in >> token;) written_keys.insert(token.substr(0, token.find('=')));
    for (const auto key : kEveryKey) {
        if (key == "set_high_priority_for_crv") continue;  // below, with save_priority_for_next_session
        EXPECT_TRUE(written_keys.contains(std::string(key))) << key;
    }
}

// ---- The written forms

// Each change is written in its own form, leaves out what it names as absent, and reads back.
TEST(ConfigurationForms, ItemsAreWrittenInTheirFormsAndReadBack) {
    struct Case {
        std::function<void(Settings&)> change;
        std::vector<std::string_view> written;
        std::vector<std::string_view> absent;
    };
    const std::vector<Case> cases{
        {[](Settings& s) {
             s.szSortTokenTemplate = "n+~-i (most notes first)";  // a token keeps its blanks as "_"
             s.play_along.szPlayAlong = "my recordings/play along_2.mid";  // a path takes the whole line
         },
         {"szSortTokenTemplate n+~-i_(most_notes_first)\r\n", "szPlayAlong my recordings/play along_2.mid\r\n"},
         {}},
        // Flags are written in their non-default state only.
        {[](Settings& s) {
             s.replace_old_warning = false;
             s.play_on_start_up = true;
         },
         {"\r\nreplace_old_warning=0\r\n", "\r\nplay_on_start_up=1\r\n"},
         {"enable_sel_sound"}},
        // The open flags use the form that keeps their state.
        {[](Settings& s) {
             s.smf.mf_add_time_signature = true;
             s.play_along.warn_replace_old_play_along_file = false;
             s.play_along.enable_play_along_recording = true;
             s.smf.mf_sharps_or_flats = true;
             s.midi_file_format = 2;
             s.play_on_start_up_with_file = true;
         },
         {"mf_add_time_signature=1\r\n", "warn_replace_old_play_along_file=0\r\n", "enable_play_along_recording=1\r\n",
          "mf_sharps_or_flats=1\r\n", "midi_file_format 2\r\n", "play_on_start_up_with_file=1\r\n"},
         {}},
        // The priority is kept only when priority saving is on, and then only away from 1.
        {[](Settings& s) { s.player.set_high_priority_for_crv = 3; }, {}, {"priority"}},
        {[](Settings& s) {
             s.player.set_high_priority_for_crv = 3;
             s.save_priority_for_next_session = true;
         },
         {"set_high_priority_for_crv 3\r\n"},
         {}},
        {[](Settings& s) { s.save_priority_for_next_session = true; },
         {"save_priority_for_next_session=1\r\n"},
         {"set_high_priority_for_crv"}},
        // The timer resolution is written only when set in this run and not 2, with a blank after it.
        {[](Settings& s) { s.player.uTimerRes = 5; }, {}, {"uTimerRes"}},
        {[](Settings& s) {
             s.player.uTimerRes = 5;
             s.uTimerRes_set_explicitly = true;
         },
         {"\r\nuTimerRes 5 ns_show_note_names 0\r\n"},
         {}},
        {[](Settings& s) {
             s.player.uTimerRes = 2;
             s.uTimerRes_set_explicitly = true;
         },
         {},
         {"uTimerRes"}},
        {[](Settings& s) { s.labels_font = LabelsFont{-13, 0, 0, 0, 700, 1, 0, 0, 0, 3, 2, 1, 34, "DejaVu Sans"}; },
         {"labels_font -13 0 0 0 700  1 0 0 0 3  2 1 34 DejaVu Sans\r\n"},
         {}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        Settings s;
        cases[i].change(s);
        const std::string text = written(s);
        for (const auto piece : cases[i].written) EXPECT_NE(text.find(piece), std::string::npos) << piece;
        for (const auto piece : cases[i].absent) EXPECT_EQ(text.find(piece), std::string::npos) << piece;
        const Read back = read(text);
        EXPECT_EQ(settings_text(back.settings), settings_text(s));
    }
}

// ---- Reading rules

TEST(ConfigurationReading, AFileSavedWithAutoSaveOffIsNotAppliedAtStartUpButIsWhenAskedFor) {
    const std::string text = "Auto_save_to_Corvane.ini_on_exit=0\r\nFile= *\r\nDirectory= *\r\nplay_on_start_up=1\r\n"
                             "beats_sig_figs 9\r\nComposition_and_Colours\r\n\r\nLevels 3\r\n";
    const Read at_start = read(text);
    EXPECT_TRUE(at_start.reading.stopped_by_auto_save_off);
    EXPECT_FALSE(at_start.settings.Auto_save_to_Corvane_ini_on_exit);
    EXPECT_FALSE(at_start.settings.play_on_start_up);
    EXPECT_EQ(at_start.settings.beats_sig_figs, 5);
    EXPECT_EQ(at_start.composition.Levels, 10);

    const Read asked = read(text, {.explicit_read = true});
    EXPECT_FALSE(asked.reading.stopped_by_auto_save_off);
    EXPECT_FALSE(asked.settings.Auto_save_to_Corvane_ini_on_exit);
    EXPECT_TRUE(asked.settings.play_on_start_up);
    EXPECT_EQ(asked.settings.beats_sig_figs, 9);
    EXPECT_EQ(asked.composition.Levels, 3);
}

// Each text, read over settings that are all away from their defaults, gives the defaults
// with what it names and nothing else; short lists keep the rest of their defaults. A star
// for File or Directory leaves it as it was.
TEST(ConfigurationReading, ItemsSetTheirSettingsAndNothingElse) {
    struct Case {
        std::string_view text;
        std::function<void(Settings&)> expect;
    };
    const std::vector<Case> cases{
        {"vols_for_pc_keyboard_rows 100 90\r\nvoices_for_pc_keyboard_rows 5\r\n7 7\r\n", [](Settings& s) {
             s.play_along.vols_for_pc_keyboard_rows = {100, 90, 127, 127};
             s.play_along.voices_for_pc_keyboard_rows = {5, 0, 0, 0};  // a list is read from its own line
         }},
        {"OkMidiInChannel 0 1 0 //\r\nCRV_Gallery_mins 2 8 //\r\niScalePosForMidiInNote 5 //\r\n", [](Settings& s) {
             s.play_along.OkMidiInChannel[0] = 0;
             s.play_along.OkMidiInChannel[2] = 0;
             s.CRV_Gallery_mins[0] = 2;
             s.CRV_Gallery_mins[1] = 8;
             s.play_along.iScalePosForMidiInNote[0] = 5;
         }},
        // An older key, an expression and a decimal comma.
        {"bFGShowAsScore 0 fine_tune_step 1/8 sps_nnotes 6,7", [](Settings& s) {
             s.iFGShowAsScore = 0;
             s.fine_tune_step = 0.125;
             s.sps_nnotes = 6;
         }},
        // The timer resolution read is one set explicitly; the item after it still reads.
        {"cShowMouseInScore=0\r\nuTimerRes 4 ns_show_nbeats=1\r\nbeats_sig_figs 7\r\n", [](Settings& s) {
             s.cShowMouseInScore = false;
             s.player.uTimerRes = 4;
             s.uTimerRes_set_explicitly = true;
             s.ns_show_nbeats = true;
             s.beats_sig_figs = 7;
         }},
        // A flag reads in either form, the last one standing.
        {"replace_old_warning=1 enable_sel_sound=0", [](Settings& s) { s.play_along.enable_sel_sound = false; }},
        {"replace_old_warning=0 replace_old_warning=1", [](Settings&) {}},
        // Auto-save is on only with the header or its older key.
        {"Auto_save_to_CM.INI_on_exit=1", [](Settings& s) { s.Auto_save_to_Corvane_ini_on_exit = true; }},
        // File and Directory take their lines, unless a star.
        {"File= *\r\nDirectory= *\r\n", [](Settings&) {}},
        {"File= /tunes/my tune.cv\r\nDirectory= /tunes\r\n", [](Settings& s) {
             s.File = "/tunes/my tune.cv";
             s.Directory = "/tunes";
         }},
    };
    const Settings changed = every_setting_changed();
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.text));
        Settings expected;
        expected.Auto_save_to_Corvane_ini_on_exit = false;  // none of the texts starts with the header
        expected.player.uTimerRes = 5;  // the timer resolution chosen in this run and the current folder stay
        expected.uTimerRes_set_explicitly = true;
        expected.Directory = "/home/someone/tunes";
        k.expect(expected);
        const Read back = read(k.text, {}, &changed);
        EXPECT_EQ(settings_text(back.settings), settings_text(expected));
    }
}

TEST(ConfigurationReading, AFileNamedOnTheCommandLineIsKept) {
    Settings started_with_file;
    started_with_file.file_named_on_command_line = true;
    started_with_file.File = "given.cv";
    const Read kept = read("File= /tunes/my tune.cv\r\n", {}, &started_with_file);
    EXPECT_EQ(kept.settings.File, "given.cv");
}

TEST(ConfigurationReading, NewMidiInTablesHoldTheirFixedValues) {
    const Settings s;
    EXPECT_EQ(s.play_along.iScalePosForMidiInNote[60], 0);
    EXPECT_EQ(s.play_along.iScalePosForMidiInNote[0], -60);
    EXPECT_EQ(s.play_along.iModeForMidiInNotes[64], 128);
    EXPECT_EQ(s.play_along.iVoiceChannelForMidiInNote[64], 0);
}

// The composition's optional values among the settings, and the change the main window acts on.
TEST(ConfigurationReading, CompositionKeysAndTheDialogSpaceChangeAreTakenFromTheSettings) {
    const Read r = read("Note_timing_shift 1/4 Top_note_volume 0.25 need_extra_dialog_space=1");
    EXPECT_TRUE(r.composition.has_Note_timing_shift);
    EXPECT_EQ(r.composition.Note_timing_shift, 0.25);
    EXPECT_TRUE(r.composition.has_Top_note_volume);
    EXPECT_EQ(r.composition.Top_note_volume, 0.25);
    EXPECT_FALSE(r.composition.has_Top_note_length);
    EXPECT_TRUE(r.reading.extra_dialog_space_changed);
    EXPECT_FALSE(read("hex_dump=1").reading.extra_dialog_space_changed);
}

TEST(DefaultConfiguration, KeepsTheCommandLineFileAndClearsTheListsAndOptionalValues) {
    Settings s = every_setting_changed();
    Composition c;
    c.ListOfModesFile = "modes.lmd";
    c.Top_note_length = 3;
    s.file_named_on_command_line = false;
    set_default_configuration(s, c);
    Settings expected;  // the timer resolution stays the one chosen in this run, and the current folder
    expected.player.uTimerRes = 5;
    expected.uTimerRes_set_explicitly = true;
    expected.Directory = "/home/someone/tunes";
    EXPECT_EQ(settings_text(s), settings_text(expected));
    EXPECT_EQ(c.ListOfModesFile, "");
    EXPECT_EQ(c.Top_note_length, 0.0625);

    s.File = "given.cv";
    s.file_named_on_command_line = true;
    set_default_configuration(s, c);
    EXPECT_EQ(s.File, "given.cv");
}

// ---- The reset file

// Also pins the written form of every default: number formats, flags, what is left out.
TEST(ResetFile, TheShippedFileIsTheBuiltInSettingsWithoutAComposition) {
    const Settings defaults;
    EXPECT_EQ(shipped_reset_file(), settings_text(defaults));
    EXPECT_EQ(shipped_reset_file().find("Composition_and_Colours"), std::string::npos);
}

TEST(ResetFile, KeepsTheNamesOfTheFilesInUse) {
    Settings s = every_setting_changed();
    Composition c;
    c.ListOfModesFile = "modes.lmd";
    c.Levels = 4;
    Colours colours;
    read_configuration(shipped_reset_file(), {.reset_file = true}, s, c, colours);
    Settings expected;
    expected.player.uTimerRes = s.player.uTimerRes;
    expected.uTimerRes_set_explicitly = s.uTimerRes_set_explicitly;
    expected.ListOfScalesFile = s.ListOfScalesFile;
    expected.File = "/home/someone/tunes/first tune.cv";
    expected.Directory = s.Directory;
    EXPECT_EQ(settings_text(s), settings_text(expected));
    EXPECT_EQ(c.ListOfModesFile, "modes.lmd");
    EXPECT_EQ(c.Levels, 4);
}

}  // namespace
}  // namespace corvane::files
