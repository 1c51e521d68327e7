#pragma once

// The items of the settings part of "Corvane.ini", in file order. One list serves the
// writer, the reader and anything else that walks every setting (tests, dialogs).

#include <span>
#include <string_view>

#include "corvane/files/settings.h"

namespace corvane::files {

// Item forms.
enum class RealForm { general, width10, width12 };  // "%g" ("%Lg"), "%10g", "%12Lg"
enum class Written { always, unless_default };
enum class TextForm { token, line };  // one token with "_" for blanks, or the rest of the line

// Calls the visitor once per item, in file order. `S` is Settings or const Settings;
// `d` holds the built-in defaults. The visitor provides:
//   text(key, std::string&, const std::string& default, TextForm)
//   flag(key, bool&, bool default)                     "key=1" / "key=0"
//   flag_written_when_off(key, bool&)                  always written, "=0" or "=1"
//   whole(key, T&, T default, Written, older key)      an integer of type T
//   real(key, double&, double default, RealForm, Written)
//   list_of_modes_file(), list_of_scales_file(std::string&)
//   timer_resolution(std::uint32_t&, bool& set_explicitly)
//   labels_font(LabelsFont&)
//   composition_optionals()                            Note_timing_shift, Top_note_length, Top_note_volume
//   priority(int& level, bool& save_for_next_session)
//   number_list(key, std::span<int>, std::span<const int> defaults)           "key v v ... //"
//   gallery_minutes(std::array<double, 16>&)
//   keyboard_rows(key, KeyboardRows&, const KeyboardRows& default, int missing)
//   replace_or_append(int&)
//   tuning_output(engine::TuningOutput&, engine::TuningOutput default)   "tuning_output mts", unless default
template <class S, class V>
void for_each_setting(S& s, const Settings& d, V& v) {
    using W = Written;
    v.text("ScalaModesLSC", s.ScalaModesLSC, d.ScalaModesLSC, TextForm::line);
    v.flag("scala_auto_sort_lmds", s.scala_auto_sort_lmds, d.scala_auto_sort_lmds);
    v.flag("sort_defs_for_scala_auto_sort_lmds", s.sort_defs_for_scala_auto_sort_lmds, d.sort_defs_for_scala_auto_sort_lmds);
    v.list_of_modes_file();
    v.list_of_scales_file(s.ListOfScalesFile);
    v.flag("play_on_start_up", s.play_on_start_up, d.play_on_start_up);
    v.flag_written_when_off("play_on_start_up_with_file", s.play_on_start_up_with_file);
    v.flag("from_previous_note", s.from_previous_note, d.from_previous_note);
    v.flag("arpeggio_from_previous_note", s.arpeggio_from_previous_note, d.arpeggio_from_previous_note);
    v.flag("replace_old_warning", s.replace_old_warning, d.replace_old_warning);
    v.flag("enable_sel_sound", s.play_along.enable_sel_sound, d.play_along.enable_sel_sound);
    v.flag("cShowMidiInInScore", s.cShowMidiInInScore, d.cShowMidiInInScore);
    v.flag("cShowSAPlaybackInScore", s.cShowSAPlaybackInScore, d.cShowSAPlaybackInScore);
    v.flag("cShowVibratoInScore", s.cShowVibratoInScore, d.cShowVibratoInScore);
    v.flag("cShowKbdInScore", s.play_along.cShowKbdInScore, d.play_along.cShowKbdInScore);
    v.flag("cShowMouseInScore", s.cShowMouseInScore, d.cShowMouseInScore);
    v.timer_resolution(s.player.uTimerRes, s.uTimerRes_set_explicitly);
    v.flag("ignore_pitch_bends", s.play_along.ignore_pitch_bends, d.play_along.ignore_pitch_bends);
    v.flag("ns_show_nbeats", s.ns_show_nbeats, d.ns_show_nbeats);
    v.flag("ns_show_chord_intervals", s.ns_show_chord_intervals, d.ns_show_chord_intervals);
    v.whole("ns_show_note_names", s.ns_show_note_names, d.ns_show_note_names, W::always, {});
    v.flag("ns_show_intervals", s.ns_show_intervals, d.ns_show_intervals);
    v.flag("ns_show_dots", s.ns_show_dots, d.ns_show_dots);
    v.flag("ns_include_volumes", s.ns_include_volumes, d.ns_include_volumes);
    v.flag("ns_include_timings", s.ns_include_timings, d.ns_include_timings);
    v.flag("ns_include_rests", s.ns_include_rests, d.ns_include_rests);
    v.flag("needs_save", s.needs_save, d.needs_save);
    v.whole("beats_max_harmonic", s.beats_max_harmonic, d.beats_max_harmonic, W::always, {});
    v.whole("beats_sig_figs", s.beats_sig_figs, d.beats_sig_figs, W::always, {});
    v.whole("beats_max_beats", s.beats_max_beats, d.beats_max_beats, W::always, {});
    v.flag("show_herz", s.show_herz, d.show_herz);
    v.flag("add_scala_button_to_new_arpeggio_window", s.add_scala_button_to_new_arpeggio_window,
           d.add_scala_button_to_new_arpeggio_window);
    v.flag("add_lsc_files_to_index_lsc_on_save_or_open", s.add_lsc_files_to_index_lsc_on_save_or_open,
           d.add_lsc_files_to_index_lsc_on_save_or_open);
    v.real("fine_tune_step", s.fine_tune_step, d.fine_tune_step, RealForm::width12, W::always);
    v.flag("change_channels_for_pitch_bends", s.voices.change_channels_for_pitch_bends,
           d.voices.change_channels_for_pitch_bends);
    v.flag("exact_match", s.exact_match, d.exact_match);
    v.whole("iFormatForNoteNames", s.iFormatForNoteNames, d.iFormatForNoteNames, W::always, {});
    v.flag("show_cents", s.format.show_cents, d.format.show_cents);
    v.flag("show_cents_or_small_ratios", s.format.show_cents_or_small_ratios, d.format.show_cents_or_small_ratios);
    v.flag("cycle_melody", s.player.cycle_melody, d.player.cycle_melody);
    v.flag("use_concert_pitch", s.use_concert_pitch, d.use_concert_pitch);
    v.flag("draw_FGoctaves", s.draw_FGoctaves, d.draw_FGoctaves);
    v.flag("draw_FGseconds", s.draw_FGseconds, d.draw_FGseconds);
    v.flag("FGhalve_max_char_width", s.FGhalve_max_char_width, d.FGhalve_max_char_width);
    v.flag("FGsustain_as_ties", s.FGsustain_as_ties, d.FGsustain_as_ties);
    v.whole("iFGShowAsScore", s.iFGShowAsScore, d.iFGShowAsScore, W::always, "bFGShowAsScore");
    v.flag("auto_select_sharps_or_flats", s.auto_select_sharps_or_flats, d.auto_select_sharps_or_flats);
    v.flag("fg_show_time_span", s.fg_show_time_span, d.fg_show_time_span);
    v.flag("fg_position_by_time", s.fg_position_by_time, d.fg_position_by_time);
    v.flag("fg_nudge_to_pitch", s.fg_nudge_to_pitch, d.fg_nudge_to_pitch);
    v.flag("fg_show_desired_times", s.fg_show_desired_times, d.fg_show_desired_times);
    v.whole("iLabelIntervalsAs", s.iLabelIntervalsAs, d.iLabelIntervalsAs, W::always, {});
    v.whole("iMaxQuotientForIntervals", s.format.iMaxQuotientForIntervals, d.format.iMaxQuotientForIntervals,
            W::always, {});
    v.whole("iMaxDivisorForRatiosQuotient", s.format.iMaxDivisorForRatiosQuotient,
            d.format.iMaxDivisorForRatiosQuotient, W::always, {});
    v.whole("iMaxQuotientForNRatios", s.format.iMaxQuotientForNRatios, d.format.iMaxQuotientForNRatios, W::always,
            {});
    v.flag("bFGScanLine", s.bFGScanLine, d.bFGScanLine);
    v.flag("add_ledger_lines", s.add_ledger_lines, d.add_ledger_lines);
    v.flag("bFactoriseRatios", s.format.bFactoriseRatios, d.format.bFactoriseRatios);
    v.flag("bUnderlineNote", s.bUnderlineNote, d.bUnderlineNote);
    v.flag("ratios_as_1o1_2o1_etc", s.format.ratios_as_1o1_2o1_etc, d.format.ratios_as_1o1_2o1_etc);
    v.real("dMaxFileForKbReport", s.dMaxFileForKbReport, d.dMaxFileForKbReport, RealForm::width10, W::always);
    v.real("dFGoctaves", s.dFGoctaves, d.dFGoctaves, RealForm::width10, W::always);
    v.real("dFGseeds", s.dFGseeds, d.dFGseeds, RealForm::width10, W::always);
    v.whole("sharps_or_flats", s.sharps_or_flats, d.sharps_or_flats, W::always, {});
    v.whole("iFGnIntervalsPerLine", s.iFGnIntervalsPerLine, d.iFGnIntervalsPerLine, W::always, {});
    v.whole("iFGChannelToFollow", s.iFGChannelToFollow, d.iFGChannelToFollow, W::always, {});
    v.whole("iFGNotesAs", s.iFGNotesAs, d.iFGNotesAs, W::always, {});
    v.whole("iFGChannelToFollowNotesAs", s.iFGChannelToFollowNotesAs, d.iFGChannelToFollowNotesAs, W::always, {});
    v.whole("line_width_for_fractal_graph", s.line_width_for_fractal_graph, d.line_width_for_fractal_graph,
            W::always, {});
    v.whole("iFGGraphYAxis", s.iFGGraphYAxis, d.iFGGraphYAxis, W::always, {});
    v.whole("iCentsSigFigs", s.format.iCentsSigFigs, d.format.iCentsSigFigs, W::always, {});
    v.whole("iLookAhead", s.player.iLookAhead, d.player.iLookAhead, W::always, {});
    v.flag("hide_extra_options", s.hide_extra_options, d.hide_extra_options);
    v.flag("ok_to_skip_fast_notes", s.player.ok_to_skip_fast_notes, d.player.ok_to_skip_fast_notes);
    v.labels_font(s.labels_font);
    v.composition_optionals();
    v.whole("wWhichToSort", s.wWhichToSort, d.wWhichToSort, W::always, {});
    v.text("szLMDSortTokenTemplate", s.szLMDSortTokenTemplate, d.szLMDSortTokenTemplate, TextForm::token);
    v.text("szSortTokenTemplate", s.szSortTokenTemplate, d.szSortTokenTemplate, TextForm::token);
    v.whole("wWhereToSort", s.wWhereToSort, d.wWhereToSort, W::always, {});
    v.whole("wWhatToSearch", s.wWhatToSearch, d.wWhatToSearch, W::always, {});
    v.text("szWordsToFind", s.szWordsToFind, d.szWordsToFind, TextForm::token);
    v.flag("synchronise_modes", s.synchronise_modes, d.synchronise_modes);
    v.flag("scala_show_original_filename", s.scala_show_original_filename, d.scala_show_original_filename);
    v.flag("scala_show_if_last_note_is_other_than_octave", s.scala_show_if_last_note_is_other_than_octave,
           d.scala_show_if_last_note_is_other_than_octave);
    v.flag("add_reduce_button_to_new_scale_window", s.add_reduce_button_to_new_scale_window,
           d.add_reduce_button_to_new_scale_window);
    v.flag("need_extra_dialog_space", s.need_extra_dialog_space, d.need_extra_dialog_space);
    v.flag("alphabetical_percussion_menu", s.alphabetical_percussion_menu, d.alphabetical_percussion_menu);
    v.flag("new_sas_windows_on_top", s.new_sas_windows_on_top, d.new_sas_windows_on_top);
    v.flag("add_scala_button_to_new_scale_window", s.add_scala_button_to_new_scale_window,
           d.add_scala_button_to_new_scale_window);
    v.real("dsps_max_memory", s.dsps_max_memory, d.dsps_max_memory, RealForm::general, W::always);
    v.flag("sps_show_as_steps_in_description", s.sps_show_as_steps_in_description,
           d.sps_show_as_steps_in_description);
    v.whole("sps_nnotes", s.sps_nnotes, d.sps_nnotes, W::always, {});
    v.whole("sps_min_nnotes", s.sps_min_nnotes, d.sps_min_nnotes, W::always, {});
    v.whole("sps_maxscales", s.sps_maxscales, d.sps_maxscales, W::always, {});
    v.real("dsps_topnote", s.dsps_topnote, d.dsps_topnote, RealForm::general, W::always);
    v.real("smallest_max_time_for_calc", s.player.smallest_max_time_for_calc, d.player.smallest_max_time_for_calc,
           RealForm::general, W::always);
    v.real("largest_max_time_for_calc", s.player.largest_max_time_for_calc, d.player.largest_max_time_for_calc,
           RealForm::general, W::always);
    v.real("delay_for_calc_smallest_max_time", s.player.delay_for_calc_smallest_max_time,
           d.player.delay_for_calc_smallest_max_time, RealForm::general, W::always);
    v.real("delay_for_calc_largest_max_time", s.player.delay_for_calc_largest_max_time,
           d.player.delay_for_calc_largest_max_time, RealForm::general, W::always);
    v.whole("min_calcs_for_min_time", s.player.min_calcs_for_min_time, d.player.min_calcs_for_min_time, W::always,
            {});
    v.priority(s.player.set_high_priority_for_crv, s.save_priority_for_next_session);
    v.whole("midi_time_sig_numerator", s.smf.midi_time_sig_numerator, d.smf.midi_time_sig_numerator, W::always, {});
    v.whole("midi_time_sig_denominator", s.smf.midi_time_sig_denominator, d.smf.midi_time_sig_denominator,
            W::always, {});
    v.whole("mf_time_duration_of_beat", s.smf.mf_time_duration_of_beat, d.smf.mf_time_duration_of_beat, W::always,
            {});
    v.whole("midi_ticks_per_quarter_note", s.smf.midi_ticks_per_quarter_note, d.smf.midi_ticks_per_quarter_note,
            W::always, {});
    v.whole("midi_32nd_notes_per_quarter_note", s.smf.midi_32nd_notes_per_quarter_note,
            d.smf.midi_32nd_notes_per_quarter_note, W::always, {});
    v.whole("midi_clocks_per_metronome", s.smf.midi_clocks_per_metronome, d.smf.midi_clocks_per_metronome,
            W::always, {});
    v.real("midi_fade_secs", s.voices.midi_fade_secs, d.voices.midi_fade_secs, RealForm::width10, W::always);
    v.real("midi_save_time_resolution", s.player.midi_save_time_resolution, d.player.midi_save_time_resolution,
           RealForm::width10, W::always);
    v.real("midi_file_play_secs", s.midi_file_play_secs, d.midi_file_play_secs, RealForm::width10, W::always);
    v.real("midi_file_play_mins", s.midi_file_play_mins, d.midi_file_play_mins, RealForm::width10, W::always);
    v.whole("mf_n_sharps_or_flats", s.smf.mf_n_sharps_or_flats, d.smf.mf_n_sharps_or_flats, W::always, {});
    v.flag("mf_use_minor_key", s.smf.mf_use_minor_key, d.smf.mf_use_minor_key);
    v.flag("mf_add_to_gallery", s.mf_add_to_gallery, d.mf_add_to_gallery);
    v.flag("mf_skip_times_in_first_name", s.mf_skip_times_in_first_name, d.mf_skip_times_in_first_name);
    v.flag("ns_show_degrees", s.ns_show_degrees, d.ns_show_degrees);
    v.text("szLSC", s.szLSC, d.szLSC, TextForm::line);
    v.text("SisCmdFile", s.SisCmdFile, d.SisCmdFile, TextForm::line);
    v.text("ScalaModesListFile", s.ScalaModesListFile, d.ScalaModesListFile, TextForm::line);
    v.text("ScalaLocation", s.ScalaLocation, d.ScalaLocation, TextForm::line);
    v.text("SisSclFile", s.SisSclFile, d.SisSclFile, TextForm::line);
    v.flag("show_new_arpeggio_scale", s.show_new_arpeggio_scale, d.show_new_arpeggio_scale);
    v.flag("sync_midi_in_with_mouse", s.play_along.sync_midi_in_with_mouse, d.play_along.sync_midi_in_with_mouse);
    v.flag("open_midi_in_at_start_of_session", s.play_along.open_midi_in_at_start_of_session,
           d.play_along.open_midi_in_at_start_of_session);
    v.flag("open_midi_out_on_midi_in_event", s.play_along.open_midi_out_on_midi_in_event, d.play_along.open_midi_out_on_midi_in_event);
    v.number_list("OkMidiInChannel", std::span(s.play_along.OkMidiInChannel), std::span(d.play_along.OkMidiInChannel));
    v.whole("n1stMidiInNoteForVoiceChannel", s.play_along.n1stMidiInNoteForVoiceChannel, d.play_along.n1stMidiInNoteForVoiceChannel,
            W::always, {});
    v.text("szCRV_Gallery", s.szCRV_Gallery, d.szCRV_Gallery, TextForm::line);
    v.text("sz_gallery_images", s.sz_gallery_images, d.sz_gallery_images, TextForm::line);
    v.real("max_midi_file_size_for_playalong", s.smf.max_midi_file_size_for_playalong,
           d.smf.max_midi_file_size_for_playalong, RealForm::width10, W::unless_default);
    v.real("max_midi_file_size_for_gallery", s.smf.max_midi_file_size_for_gallery,
           d.smf.max_midi_file_size_for_gallery, RealForm::width10, W::unless_default);
    v.flag("hex_dump", s.hex_dump, d.hex_dump);
    v.gallery_minutes(s.CRV_Gallery_mins);
    v.flag("mf_sharps_or_flats", s.smf.mf_sharps_or_flats, d.smf.mf_sharps_or_flats);
    v.whole("midi_file_format", s.midi_file_format, d.midi_file_format, W::always, {});
    v.flag("mf_auto_generate_key_signatures", s.mf_auto_generate_key_signatures, d.mf_auto_generate_key_signatures);
    v.flag("mf_add_key_signature", s.smf.mf_add_key_signature, d.smf.mf_add_key_signature);
    v.flag("mf_add_time_signature", s.smf.mf_add_time_signature, d.smf.mf_add_time_signature);
    v.whole("dw_mf_max_file_size", s.dw_mf_max_file_size, d.dw_mf_max_file_size, W::always, {});
    v.flag("mf_single_pass_recording", s.smf.mf_single_pass_recording, d.smf.mf_single_pass_recording);
    v.replace_or_append(s.play_along.wReplaceOrAppendPlayAlong);
    v.text("szPlayAlong", s.play_along.szPlayAlong, d.play_along.szPlayAlong, TextForm::line);
    v.flag("warn_replace_old_play_along_file", s.play_along.warn_replace_old_play_along_file,
           d.play_along.warn_replace_old_play_along_file);
    v.flag("enable_play_along_recording", s.play_along.enable_play_along_recording, d.play_along.enable_play_along_recording);
    v.flag("sas_mouse_activated", s.play_along.sas_mouse_activated, d.play_along.sas_mouse_activated);
    v.flag("voices_by_keyboard_row", s.play_along.voices_by_keyboard_row, d.play_along.voices_by_keyboard_row);
    v.flag("pc_key_1_for_degree_1", s.play_along.pc_key_1_for_degree_1, d.play_along.pc_key_1_for_degree_1);
    v.keyboard_rows("voices_for_pc_keyboard_rows", s.play_along.voices_for_pc_keyboard_rows, d.play_along.voices_for_pc_keyboard_rows, 0);
    v.flag("volumes_by_keyboard_row", s.play_along.volumes_by_keyboard_row, d.play_along.volumes_by_keyboard_row);
    v.keyboard_rows("vols_for_pc_keyboard_rows", s.play_along.vols_for_pc_keyboard_rows, d.play_along.vols_for_pc_keyboard_rows, 127);
    v.whole("iSAPlaybackMethod", s.iSAPlaybackMethod, d.iSAPlaybackMethod, W::unless_default, {});
    v.flag("sa_playback_play_all_in_order_visited", s.sa_playback_play_all_in_order_visited,
           d.sa_playback_play_all_in_order_visited);
    v.flag("sa_playback_slide_old_to_new", s.sa_playback_slide_old_to_new, d.sa_playback_slide_old_to_new);
    v.whole("iSAPlaybackAscDesc", s.iSAPlaybackAscDesc, d.iSAPlaybackAscDesc, W::always, {});
    v.whole("iSAPlaybackFiguration", s.iSAPlaybackFiguration, d.iSAPlaybackFiguration, W::always, {});
    v.real("dSAPlaybackSustain", s.dSAPlaybackSustain, d.dSAPlaybackSustain, RealForm::general, W::always);
    v.number_list("iPlaybackFiguration", std::span(s.iPlaybackFiguration), std::span(d.iPlaybackFiguration));
    v.number_list("iModeForMidiInNotes", std::span(s.play_along.iModeForMidiInNotes), std::span(d.play_along.iModeForMidiInNotes));
    v.number_list("iNonMelodicPercussionForMidiInNote", std::span(s.play_along.iNonMelodicPercussionForMidiInNote),
                  std::span(d.play_along.iNonMelodicPercussionForMidiInNote));
    v.number_list("iScalePosForMidiInNote", std::span(s.play_along.iScalePosForMidiInNote), std::span(d.play_along.iScalePosForMidiInNote));
    v.number_list("iVoiceChannelForMidiInNote", std::span(s.play_along.iVoiceChannelForMidiInNote),
                  std::span(d.play_along.iVoiceChannelForMidiInNote));
    v.number_list("iSelNAForMidiInNote", std::span(s.play_along.iSelNAForMidiInNote), std::span(d.play_along.iSelNAForMidiInNote));
    v.number_list("iNASolo", std::span(s.play_along.iNASolo), std::span(d.play_along.iNASolo));
    v.whole("iMidiInPresets", s.play_along.iMidiInPresets, d.play_along.iMidiInPresets, W::always, {});
    v.whole("iPlayNotesFrom", s.iPlayNotesFrom, d.iPlayNotesFrom, W::always, {});
    v.flag("start_at_same_note_for_sa_repeat", s.play_along.start_at_same_note_for_sa_repeat,
           d.play_along.start_at_same_note_for_sa_repeat);
    v.whole("iPitchesForPCKeyboardRows", s.play_along.iPitchesForPCKeyboardRows, d.play_along.iPitchesForPCKeyboardRows, W::always, {});
    v.whole("iMidiInFor", s.play_along.iMidiInFor, d.play_along.iMidiInFor, W::always, {});
    v.whole("iMidiInVoices", s.play_along.iMidiInVoices, d.play_along.iMidiInVoices, W::always, {});
    v.whole("nEndSeed", s.play_along.nEndSeed, d.play_along.nEndSeed, W::always, {});
    v.whole("nClearSeed", s.play_along.nClearSeed, d.play_along.nClearSeed, W::always, {});
    v.whole("nApplySeed", s.play_along.nApplySeed, d.play_along.nApplySeed, W::always, {});
    v.whole("nPlaySeed", s.play_along.nPlaySeed, d.play_along.nPlaySeed, W::always, {});
    v.whole("nStartRecordingToMidi", s.play_along.nStartRecordingToMidi, d.play_along.nStartRecordingToMidi, W::always, {});
    v.flag("remove_duplicates_for_sort", s.remove_duplicates_for_sort, d.remove_duplicates_for_sort);
    v.flag("all_sound_off_before_pitch_bends", s.voices.all_sound_off_before_pitch_bends,
           d.voices.all_sound_off_before_pitch_bends);
    v.whole("iRangesChannel", s.iRangesChannel, d.iRangesChannel, W::always, {});
    v.whole("iEffectsChannel", s.iEffectsChannel, d.iEffectsChannel, W::always, {});
    v.flag("auto_pan", s.auto_pan, d.auto_pan);
    v.whole("tremulo_amount", s.tremulo_amount, d.tremulo_amount, W::always, {});
    v.flag("vibrato", s.vibrato, d.vibrato);
    v.real("vibrato_vol_amp", s.vibrato_vol_amp, d.vibrato_vol_amp, RealForm::general, W::always);
    v.real("vibrato_amp", s.vibrato_amp, d.vibrato_amp, RealForm::general, W::always);
    v.real("vibrato_freq", s.vibrato_freq, d.vibrato_freq, RealForm::general, W::always);
    v.real("dtime_step_for_pitch_bend_vibrato", s.voices.dtime_step_for_pitch_bend_vibrato,
           d.voices.dtime_step_for_pitch_bend_vibrato, RealForm::general, W::unless_default);
    v.flag("legato", s.voices.legato, d.voices.legato);
    v.flag("portamento", s.portamento, d.portamento);
    v.whole("portamento_slide_time", s.portamento_slide_time, d.portamento_slide_time, W::always, {});
    v.whole("midi_range_max", s.midi_range_max, d.midi_range_max, W::always, {});
    v.whole("midi_range_min", s.midi_range_min, d.midi_range_min, W::always, {});
    v.whole("action_if_out_of_range", s.action_if_out_of_range, d.action_if_out_of_range, W::always, {});
    v.whole("iChannelForVoiceForPcKeyboard", s.play_along.iChannelForVoiceForPcKeyboard, d.play_along.iChannelForVoiceForPcKeyboard,
            W::always, {});
    v.tuning_output(s.voices.tuning_output, d.voices.tuning_output);
    v.whole("mpe_member_channels", s.voices.mpe_member_channels, d.voices.mpe_member_channels, W::unless_default, {});
    v.whole("output_latency_periods", s.output_latency_periods, d.output_latency_periods, W::unless_default, {});
    v.text("midi_in_keyboard_mapping", s.play_along.midi_in_keyboard_mapping, d.play_along.midi_in_keyboard_mapping,
           TextForm::line);
}

}  // namespace corvane::files
