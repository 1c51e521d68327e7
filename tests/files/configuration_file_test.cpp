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

// Every setting as "key=value" texts, for comparing two Settings item by item.
struct Listing {
    std::vector<std::pair<std::string, std::string>> items;

    void add(std::string_view key, std::string value) { items.emplace_back(std::string(key), std::move(value)); }
    static std::string number(double v) { return tuning::format_shortest(v); }

    void text(std::string_view key, const std::string& value, const std::string&, TextForm) { add(key, value); }
    void flag(std::string_view key, bool value, bool) { add(key, value ? "on" : "off"); }
    void flag_written_when_off(std::string_view key, bool value) { add(key, value ? "on" : "off"); }
    template <class T>
    void whole(std::string_view key, const T& value, T, Written, std::string_view) {
        add(key, std::to_string(value));
    }
    void real(std::string_view key, double value, double, RealForm, Written) { add(key, number(value)); }
    void list_of_modes_file() {}
    void list_of_scales_file(const std::string& name) { add("ListOfScalesFile", name); }
    void timer_resolution(std::uint32_t value, bool set_explicitly) {
        add("uTimerRes", std::to_string(value) + (set_explicitly ? " explicit" : ""));
    }
    void labels_font(const LabelsFont& f) {
        add("labels_font", std::to_string(f.height) + " " + std::to_string(f.weight) + " " +
                               std::to_string(f.pitch_and_family) + " " + f.face_name);
    }
    void composition_optionals() {}
    void priority(int level, bool save) { add("priority", std::to_string(level) + (save ? " saved" : "")); }
    template <class Values>
    void number_list(std::string_view key, Values values, std::span<const int>) {
        std::string all;
        for (int v : values) all += std::to_string(v) + " ";
        add(key, all);
    }
    void gallery_minutes(const std::array<double, kGalleryMinutes>& minutes) {
        std::string all;
        for (double v : minutes) all += number(v) + " ";
        add("CRV_Gallery_mins", all);
    }
    void keyboard_rows(std::string_view key, const KeyboardRows& rows, const KeyboardRows&, int) {
        std::string all;
        for (int v : rows) all += std::to_string(v) + " ";
        add(key, all);
    }
    void replace_or_append(int value) { add("wReplaceOrAppendPlayAlong", std::to_string(value)); }
};

std::vector<std::pair<std::string, std::string>> listing(const Settings& s) {
    Listing l;
    const Settings defaults;
    for_each_setting(s, defaults, l);
    return l.items;
}

std::string written(const Settings& s, const Composition& c = Composition{}, const Colours& colours = default_colours()) {
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

Read read(std::string_view text, ConfigurationReadOptions options = {}) {
    Read r;
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

// ---- Every key

TEST(ConfigurationRoundTrip, EverySettingAwayFromItsDefaultComesBackTheSame) {
    const Settings s = every_setting_changed();
    Composition c = testing::composition_with_every_field_set();
    const std::string text = written(s, c);
    const Read back = read(text);
    EXPECT_EQ(listing(back.settings), listing(s));
    EXPECT_EQ(back.settings.File, s.File);
    EXPECT_EQ(back.settings.Directory, s.Directory);
    EXPECT_TRUE(back.settings.Auto_save_to_Corvane_ini_on_exit);
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

TEST(ConfigurationRoundTrip, DefaultsReadBackAsDefaults) {
    const Settings defaults;
    const std::string text = written(defaults);
    const Read back = read(text);
    EXPECT_EQ(listing(back.settings), listing(defaults));
}

TEST(ConfigurationRoundTrip, ATextSettingEqualToItsDefaultIsNotWrittenAndComesBackAsTheDefault) {
    Settings s;
    s.play_along.szPlayAlong = "Recording.mid";
    EXPECT_NE(written(s).find("szPlayAlong Recording.mid\r\n"), std::string::npos);
    Settings reader_state = s;
    Composition c;
    Colours colours;
    read_configuration("Auto_save_to_Corvane.ini_on_exit=1", {}, reader_state, c, colours);
    EXPECT_EQ(reader_state.play_along.szPlayAlong, "Play along.mid");
}

TEST(ConfigurationRoundTrip, TokenTextsKeepTheirBlanksAndPathsTheirWholeLine) {
    Settings s;
    s.szSortTokenTemplate = "n+~-i (most notes first)";
    s.play_along.szPlayAlong = "my recordings/play along_2.mid";
    const std::string text = written(s);
    EXPECT_NE(text.find("szSortTokenTemplate n+~-i_(most_notes_first)\r\n"), std::string::npos);
    const Read back = read(text);
    EXPECT_EQ(back.settings.szSortTokenTemplate, s.szSortTokenTemplate);
    EXPECT_EQ(back.settings.play_along.szPlayAlong, s.play_along.szPlayAlong);
}

// ---- The written forms

TEST(ConfigurationForms, FlagsAreWrittenInTheirNonDefaultStateAndReadInEitherForm) {
    Settings s;
    s.replace_old_warning = false;
    s.play_on_start_up = true;
    const std::string text = written(s);
    EXPECT_NE(text.find("\r\nreplace_old_warning=0\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nplay_on_start_up=1\r\n"), std::string::npos);
    EXPECT_EQ(text.find("enable_sel_sound"), std::string::npos);
    EXPECT_FALSE(read("replace_old_warning=1 enable_sel_sound=0").settings.play_along.enable_sel_sound);
    EXPECT_TRUE(read("replace_old_warning=0 replace_old_warning=1").settings.replace_old_warning);
}

TEST(ConfigurationForms, TheOpenFlagsUseTheFormThatKeepsTheirState) {
    Settings s;
    s.smf.mf_add_time_signature = true;
    s.play_along.warn_replace_old_play_along_file = false;
    s.play_along.enable_play_along_recording = true;
    s.smf.mf_sharps_or_flats = true;
    s.midi_file_format = 2;
    s.play_on_start_up_with_file = true;
    const std::string text = written(s);
    for (const std::string_view item :
         {"mf_add_time_signature=1\r\n", "warn_replace_old_play_along_file=0\r\n", "enable_play_along_recording=1\r\n",
          "mf_sharps_or_flats=1\r\n", "midi_file_format 2\r\n", "play_on_start_up_with_file=1\r\n"}) {
        EXPECT_NE(text.find(item), std::string::npos) << item;
    }
    const Settings back = read(text).settings;
    EXPECT_TRUE(back.smf.mf_add_time_signature);
    EXPECT_FALSE(back.play_along.warn_replace_old_play_along_file);
    EXPECT_TRUE(back.play_along.enable_play_along_recording);
    EXPECT_TRUE(back.smf.mf_sharps_or_flats);
    EXPECT_EQ(back.midi_file_format, 2);
    EXPECT_TRUE(back.play_on_start_up_with_file);
}

TEST(ConfigurationForms, ThePriorityIsKeptOnlyWhenPrioritySavingIsOn) {
    Settings s;
    s.player.set_high_priority_for_crv = 3;
    EXPECT_EQ(written(s).find("priority"), std::string::npos);

    s.save_priority_for_next_session = true;
    std::string text = written(s);
    EXPECT_NE(text.find("set_high_priority_for_crv 3\r\n"), std::string::npos);
    Settings back = read(text).settings;
    EXPECT_EQ(back.player.set_high_priority_for_crv, 3);
    EXPECT_TRUE(back.save_priority_for_next_session);

    s.player.set_high_priority_for_crv = 1;
    text = written(s);
    EXPECT_NE(text.find("save_priority_for_next_session=1\r\n"), std::string::npos);
    EXPECT_EQ(text.find("set_high_priority_for_crv"), std::string::npos);
    back = read(text).settings;
    EXPECT_EQ(back.player.set_high_priority_for_crv, 1);
    EXPECT_TRUE(back.save_priority_for_next_session);
}

TEST(ConfigurationForms, TheTimerResolutionIsFollowedByABlankAndWrittenOnlyWhenSetAndNotTwo) {
    Settings s;
    s.player.uTimerRes = 5;
    EXPECT_EQ(written(s).find("uTimerRes"), std::string::npos);  // the platform's choice
    s.uTimerRes_set_explicitly = true;
    const std::string text = written(s);
    EXPECT_NE(text.find("\r\nuTimerRes 5 ns_show_note_names 0\r\n"), std::string::npos);
    const Read back = read("cShowMouseInScore=0\r\nuTimerRes 4 ns_show_nbeats=1\r\nbeats_sig_figs 7\r\n");
    EXPECT_EQ(back.settings.player.uTimerRes, 4U);
    EXPECT_TRUE(back.settings.uTimerRes_set_explicitly);
    EXPECT_TRUE(back.settings.ns_show_nbeats);
    EXPECT_EQ(back.settings.beats_sig_figs, 7);
    s.player.uTimerRes = 2;
    EXPECT_EQ(written(s).find("uTimerRes"), std::string::npos);
}

TEST(ConfigurationForms, TheLabelsFontHasItsFourteenFields) {
    Settings s;
    s.labels_font = LabelsFont{-13, 0, 0, 0, 700, 1, 0, 0, 0, 3, 2, 1, 34, "DejaVu Sans"};
    const std::string text = written(s);
    EXPECT_NE(text.find("labels_font -13 0 0 0 700  1 0 0 0 3  2 1 34 DejaVu Sans\r\n"), std::string::npos);
    EXPECT_EQ(read(text).settings.labels_font, s.labels_font);
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

TEST(ConfigurationReading, AutoSaveIsOffWithoutTheHeaderAndTheOlderKeyTurnsItOn) {
    EXPECT_FALSE(read("beats_sig_figs 9").settings.Auto_save_to_Corvane_ini_on_exit);
    EXPECT_TRUE(read("Auto_save_to_CM.INI_on_exit=1").settings.Auto_save_to_Corvane_ini_on_exit);
}

TEST(ConfigurationReading, FileAndDirectoryTakeTheirLinesUnlessStar) {
    Read r = read("File= *\r\nDirectory= *\r\n");
    EXPECT_EQ(r.settings.File, "");
    EXPECT_EQ(r.settings.Directory, "");
    r = read("File= /tunes/my tune.cv\r\nDirectory= /tunes\r\n");
    EXPECT_EQ(r.settings.File, "/tunes/my tune.cv");
    EXPECT_EQ(r.settings.Directory, "/tunes");

    Settings started_with_file;
    started_with_file.file_named_on_command_line = true;
    started_with_file.File = "given.cv";
    Composition c;
    Colours colours;
    read_configuration("File= /tunes/my tune.cv\r\n", {}, started_with_file, c, colours);
    EXPECT_EQ(started_with_file.File, "given.cv");
}

// Each text read changes the settings it names and nothing else; short lists keep the rest.
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
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.text));
        Settings expected;
        k.expect(expected);
        EXPECT_EQ(listing(read(k.text).settings), listing(expected));
    }
}

TEST(ConfigurationReading, NewMidiInTablesHoldTheirFixedValues) {
    const Settings s;
    EXPECT_EQ(s.play_along.iScalePosForMidiInNote[60], 0);
    EXPECT_EQ(s.play_along.iScalePosForMidiInNote[0], -60);
    EXPECT_EQ(s.play_along.iModeForMidiInNotes[64], 128);
    EXPECT_EQ(s.play_along.iVoiceChannelForMidiInNote[64], 0);
}

TEST(ConfigurationReading, TheCompositionKeysAmongTheSettingsSetTheirValues) {
    const Read r = read("Note_timing_shift 1/4 Top_note_volume 0.25");
    EXPECT_TRUE(r.composition.has_Note_timing_shift);
    EXPECT_EQ(r.composition.Note_timing_shift, 0.25);
    EXPECT_TRUE(r.composition.has_Top_note_volume);
    EXPECT_EQ(r.composition.Top_note_volume, 0.25);
    EXPECT_FALSE(r.composition.has_Top_note_length);
}

TEST(ConfigurationReading, TheExtraDialogSpaceChangeIsReported) {
    EXPECT_TRUE(read("need_extra_dialog_space=1").reading.extra_dialog_space_changed);
    EXPECT_FALSE(read("hex_dump=1").reading.extra_dialog_space_changed);
}

TEST(DefaultConfiguration, KeepsTheCommandLineFileAndClearsTheListsAndOptionalValues) {
    Settings s = every_setting_changed();
    Composition c;
    c.ListOfModesFile = "modes.lmd";
    c.Top_note_length = 3;
    s.file_named_on_command_line = false;
    set_default_configuration(s, c);
    Settings expected;  // the timer resolution stays the one chosen in this run
    expected.player.uTimerRes = 5;
    expected.uTimerRes_set_explicitly = true;
    EXPECT_EQ(listing(s), listing(expected));
    EXPECT_EQ(s.File, "");
    EXPECT_EQ(s.ListOfScalesFile, "");
    EXPECT_EQ(c.ListOfModesFile, "");
    EXPECT_EQ(c.Top_note_length, 0.0625);
    EXPECT_EQ(s.Directory, "/home/someone/tunes");  // the current folder stays

    s.File = "given.cv";
    s.file_named_on_command_line = true;
    set_default_configuration(s, c);
    EXPECT_EQ(s.File, "given.cv");
}

// ---- The reset file

// Also pins the written form of every default: number formats, flags, what is left out.
TEST(ResetFile, TheShippedFileIsTheBuiltInSettingsWithoutAComposition) {
    const auto shipped = read_whole_file(std::string(CORVANE_SOURCE_DIR) + "/data/CRV_reset.ini");
    ASSERT_TRUE(shipped.has_value());
    const Settings defaults;
    const Composition composition;
    SaveBuffer out;
    write_settings(out, defaults, composition);
    EXPECT_EQ(*shipped, out.text());
    EXPECT_EQ(shipped->find("Composition_and_Colours"), std::string::npos);
}

TEST(ResetFile, KeepsTheNamesOfTheFilesInUse) {
    Settings s = every_setting_changed();
    Composition c;
    c.ListOfModesFile = "modes.lmd";
    c.Levels = 4;
    Colours colours;
    const auto shipped = read_whole_file(std::string(CORVANE_SOURCE_DIR) + "/data/CRV_reset.ini");
    ASSERT_TRUE(shipped.has_value());
    read_configuration(*shipped, {.reset_file = true}, s, c, colours);
    Settings expected;
    expected.player.uTimerRes = s.player.uTimerRes;
    expected.uTimerRes_set_explicitly = s.uTimerRes_set_explicitly;
    expected.ListOfScalesFile = s.ListOfScalesFile;
    EXPECT_EQ(listing(s), listing(expected));
    EXPECT_EQ(s.File, "/home/someone/tunes/first tune.cv");
    EXPECT_EQ(c.ListOfModesFile, "modes.lmd");
    EXPECT_EQ(c.Levels, 4);
    EXPECT_TRUE(s.Auto_save_to_Corvane_ini_on_exit);
}

}  // namespace
}  // namespace corvane::files
