// The File menu flows: open and save by extension, the replace question, the title, and
// the configuration file's start-up, "Read from Corvane.ini now", exit, auto-save and reset;
// then the edits of the composition's fields and the choices from the lists.
#include "corvane/files/workspace.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

#include <gtest/gtest.h>

#include "../expected_output.h"
#include "../temp_folder.h"
#include "composition_test_support.h"
#include "corvane/files/composition_edits.h"
#include "corvane/files/whole_file.h"
#include "corvane/platform/file_save.h"
#include "corvane/tuning/ascii_text.h"
#include "corvane/tuning/pitch_mapping.h"

namespace corvane::files {
namespace {

namespace fs = std::filesystem;
using platform::Answer;
using platform::RecordingReporter;
using corvane::testing::slurp;
using corvane::testing::TempFolder;
using corvane::testing::write_bytes;

Workspace workspace_in(const TempFolder& folder) {
    Workspace ws;
    ws.program_folder = folder.path();
    return ws;
}

void copy_shipped(const TempFolder& folder, std::string_view name) {
    fs::copy_file(fs::path(CORVANE_SOURCE_DIR) / "data" / name, folder / name);
}

// A test's own data folder, a workspace on it, and a reporter that records what it is told.
struct InFolder : ::testing::Test {
    TempFolder folder;
    Workspace ws = workspace_in(folder);
    RecordingReporter reporter;
};
using OpenFile = InFolder;
using SaveFile = InFolder;
using ConfigurationFlows = InFolder;
using FieldEdits = InFolder;
using ModeList = InFolder;

// What the reporter was told, a question marked as one, with the data folder and the system's
// reason for a missing file named in general, so that the kept text reads the same anywhere.
std::string told(const RecordingReporter& reporter, const TempFolder& folder) {
    std::string text;
    for (const auto& entry : reporter.entries()) {
        text += (entry.was_question ? "[asks] " : "") + entry.caption + ": " + entry.message + "\n";
    }
    text = corvane::testing::with_stand_in(text, folder.path().string(), "<data folder>");
    // The system's words are in the language of the locale.
    return corvane::testing::with_stand_in(text, platform::system_error_text(ENOENT), "<no such file>");
}

std::size_t entry_titled(const ScaleList& list, std::string_view description) {
    const auto it = std::find_if(list.entries.begin(), list.entries.end(),
                                 [&](const ListEntry& e) { return e.description == description; });
    return static_cast<std::size_t>(it - list.entries.begin());
}

// ---- Open

// opened_over_every_field.cv: the composition after the open, whole. The channel choice is
// back to its New rule, the rest of the channel settings stay, and the optional values the
// file does not hold are switched off (the timing shift keeps its state).
TEST_F(OpenFile, ACompositionFileResetsTheChannelChoiceAndBecomesTheFile) {
    write_bytes(folder / "tune.CV", "Levels 4\r\nNote_heights 0 3 //\r\n");
    ws.composition = testing::composition_with_every_field_set();  // a channel rule of its own
    ws.settings.needs_save = true;
    const auto result = open_file(ws, folder / "tune.CV", reporter);
    EXPECT_TRUE(result.read);
    EXPECT_EQ(result.kind, OpenedKind::composition);
    EXPECT_TRUE(result.may_start_playing());
    corvane::testing::expect_output_as_kept(testing::composition_file_text(ws.composition),
                                            "files/expected/opened_over_every_field.cv");
    EXPECT_EQ(ws.composition.sz_ccbo_formula, "N+H+1");  // the New rule's items, which its file leaves out
    EXPECT_EQ(ws.composition.ccbo_first_channel, 0);
    EXPECT_TRUE(ws.composition.ccbo_multiple_notes_in_same_channel);
    EXPECT_FALSE(ws.composition.ccbo_sym_chs);
    EXPECT_EQ(ws.settings.File, (folder / "tune.CV").string());
    EXPECT_FALSE(ws.settings.needs_save);
    EXPECT_EQ(window_title(ws.settings), "tune - Corvane");
}

// With modes following the scale, a composition's twelve-tone scale brings the built-in
// twelve-tone modes; one that names no scale leaves the list of modes as it was.
TEST_F(OpenFile, ACompositionsScaleBringsItsModesAndNoScaleLeavesThem) {
    ws.settings.synchronise_modes = true;
    ws.modes = ScaleList{};
    ws.modes.kind = ListKind::modes;
    write_bytes(folder / "plain.cv", "Levels 4\r\n");
    open_file(ws, folder / "plain.cv", reporter);
    EXPECT_TRUE(ws.modes.entries.empty());
    write_bytes(folder / "tet.cv", "Intervals_Title Equal_Temperament_(M)\r\n");
    open_file(ws, folder / "tet.cv", reporter);
    EXPECT_EQ(ws.modes, builtin_mode_list(tuning::kTwelveToneModesCode));
    EXPECT_TRUE(reporter.entries().empty());
}

TEST_F(OpenFile, AFileWithoutExtensionIsReadAsACompositionButIsNotTheFile) {
    write_bytes(folder / "plain", "Levels 5");
    EXPECT_EQ(open_file(ws, folder / "plain", reporter).kind, OpenedKind::composition);
    EXPECT_EQ(ws.composition.Levels, 5);
    EXPECT_EQ(ws.settings.File, "");
}

TEST_F(OpenFile, AScalaFileSetsTheScaleAndItsTitle) {
    write_bytes(folder / "just.scl", "! just.scl\r\n!\r\nJust triad\r\n 3\r\n!\r\n 5/4\r\n 3/2\r\n 2/1\r\n");
    ws.settings.scala_show_original_filename = true;
    EXPECT_EQ(open_file(ws, folder / "just.scl", reporter).kind, OpenedKind::scale);  // the scale: converted_triad.cv
    EXPECT_EQ(ws.composition.Intervals_Title, "just.scl | Just triad");
    EXPECT_TRUE(ws.settings.needs_save);
}

TEST_F(OpenFile, AListOfModesBecomesTheListAndNamesItsScale) {
    write_bytes(folder / "triads.lmd", " !Just triad 1 5/4 3/2 2\r\n0 1 2 3 Triad\r\n");
    EXPECT_EQ(open_file(ws, folder / "triads.lmd", reporter).kind, OpenedKind::list_of_modes);
    EXPECT_EQ(ws.modes.entries.size(), 2U);
    EXPECT_EQ(ws.composition.ListOfModesFile, "triads.lmd");
    EXPECT_EQ(ws.composition.Intervals_Title, "Just triad");
    EXPECT_EQ(ws.composition.Intervals, (std::vector<double>{0, 0.25, 0.5, 1}));
}

TEST_F(OpenFile, AListOfScalesIsAddedToTheIndexWhenAsked) {
    copy_shipped(folder, "index.lsc");
    write_bytes(folder / "mine.lsc", " !My scales\r\n1 9/8 Tone\r\n");
    ws.settings.add_lsc_files_to_index_lsc_on_save_or_open = true;
    EXPECT_EQ(open_file(ws, folder / "mine.lsc", reporter).kind, OpenedKind::list_of_scales);
    EXPECT_EQ(ws.settings.ListOfScalesFile, "mine.lsc");
    EXPECT_EQ(ws.scales.entries.size(), 3U);
    open_file(ws, folder / "mine.lsc", reporter);
    const std::string index = slurp(folder / "index.lsc");  // added once, by its path from the data folder
    EXPECT_NE(index.find(" @mine.lsc@ My scales\r\n"), std::string::npos);
    EXPECT_EQ(index.find("mine.lsc"), index.rfind("mine.lsc"));
}

TEST_F(OpenFile, ATextFileIsTheSeedsDropList) {
    write_bytes(folder / "seeds.txt", "0 1\r\nFILE:x.cv\r\n");
    EXPECT_EQ(open_file(ws, folder / "seeds.txt", reporter).kind, OpenedKind::seeds);
    EXPECT_EQ(ws.seeds.seeds, (std::vector<std::string>{"0 1", "x"}));
}

// ---- Save

TEST_F(SaveFile, ACompositionSaveBecomesTheFileAndClearsNeedsSave) {
    ws.settings.needs_save = true;
    EXPECT_EQ(window_title(ws.settings), "Corvane - first tune (new file)*");
    EXPECT_FALSE(save_file(ws, folder / "gone" / "first tune.cmp", SaveCommand::save_as, reporter));
    EXPECT_EQ(ws.settings.File, "");  // a failed save does not become the file
    ASSERT_TRUE(save_file(ws, folder / "first tune.cmp", SaveCommand::save_as, reporter));
    EXPECT_EQ(ws.settings.File, (folder / "first tune.cmp").string());
    EXPECT_FALSE(ws.settings.needs_save);
    EXPECT_EQ(window_title(ws.settings), "first tune - Corvane");
    ws.settings.needs_save = true;
    EXPECT_EQ(window_title(ws.settings), "first tune* - Corvane");
    EXPECT_EQ(composition_name(ws.settings), "first tune");

    Workspace other = workspace_in(folder);
    open_file(other, folder / "first tune.cmp", reporter);
    testing::expect_same_composition(other.composition, ws.composition, 1e-5);
}

// Each file is written by its extension, whatever its case, and none becomes the file. The
// kept files saved_as_<name> hold each whole: the configuration with its composition and
// colours, the scale, the lists, the composition as text, the colours alone and both.
TEST_F(SaveFile, EveryKindOfFileIsWrittenByItsExtension) {
    for (const std::string name : {"c.ini", "s.scl", "l.lsc", "m.lmd", "other.txt", "look.clr", "all.BTH"}) {
        ASSERT_TRUE(save_file(ws, folder / name, SaveCommand::save_as, reporter)) << name;
        corvane::testing::expect_output_as_kept(slurp(folder / name), "files/expected/saved_as_" + name);
    }
    EXPECT_EQ(ws.settings.File, "");
    EXPECT_TRUE(reporter.entries().empty());
    // Colours alone, and both: opening them reads nothing.
    ws.composition.Levels = 2;
    EXPECT_EQ(open_file(ws, folder / "all.BTH", reporter).kind, OpenedKind::nothing);
    EXPECT_EQ(open_file(ws, folder / "look.clr", reporter).kind, OpenedKind::nothing);
    EXPECT_EQ(ws.composition.Levels, 2);
}

// The open and save dialogs start on the filter of the file's own kind.
TEST(FileDialogs, StartOnTheFilterOfTheFilesKind) {
    const auto expect_kind = [](std::span<const std::string_view> filters, int (*filter_for)(std::string_view),
                                std::initializer_list<std::string_view> names) {
        for (const std::string_view name : names) {
            const auto filter = filters[static_cast<std::size_t>(filter_for(name) - 1)];
            EXPECT_NE(filter.find("*." + ascii::upper_copy(name.substr(2))), std::string_view::npos) << name;
        }
    };
    expect_kind(open_dialog_filters(), open_dialog_filter_for, {"a.lmd", "a.LSC", "a.scl", "a.txt", "a.ini"});
    expect_kind(save_dialog_filters(), save_dialog_filter_for, {"a.mid", "a.lmd", "a.lsc", "a.SCL", "a.ini"});
    EXPECT_EQ(open_dialog_filter_for("a.cv"), 1);
    EXPECT_EQ(save_dialog_filter_for("a"), 1);
}

TEST_F(SaveFile, SavingOntoAnExistingFileAsksFirst) {
    write_bytes(folder / "old.cv", "old");
    RecordingReporter says_no(Answer::no);
    EXPECT_FALSE(save_file(ws, folder / "old.cv", SaveCommand::save, says_no));
    EXPECT_EQ(slurp(folder / "old.cv"), "old");
    corvane::testing::expect_output_as_kept(told(says_no, folder), "files/expected/replace_question.txt");

    RecordingReporter says_yes(Answer::yes);
    EXPECT_TRUE(save_file(ws, folder / "old.cv", SaveCommand::save, says_yes));
    EXPECT_NE(slurp(folder / "old.cv"), "old");

    RecordingReporter quiet(Answer::no);
    EXPECT_TRUE(save_file(ws, folder / "old.cv", SaveCommand::save_as, quiet));
    ws.settings.replace_old_warning = false;
    EXPECT_TRUE(save_file(ws, folder / "old.cv", SaveCommand::save, quiet));
    EXPECT_TRUE(quiet.entries().empty());
}

TEST_F(SaveFile, AMidiFileGoesToTheMidiSave) {
    write_bytes(folder / "tune.mid", "old");
    ws.settings.mf_add_to_gallery = true;
    fs::path saved;
    const MidiFileSave save_midi = [&](const fs::path& path) {
        saved = path;
        return true;
    };
    RecordingReporter says_no(Answer::no);
    EXPECT_TRUE(save_file(ws, folder / "tune.mid", SaveCommand::save, says_no, save_midi));
    EXPECT_EQ(saved, folder / "tune.mid");
    EXPECT_TRUE(says_no.entries().empty());  // no question for a gallery MIDI file
    EXPECT_FALSE(save_file(ws, folder / "tune.mid", SaveCommand::save, says_no));
    EXPECT_EQ(says_no.entries().back().message, kNoMidiFileSaveMessage);
}

// ---- Dialogs

TEST(FileDialogs, PreselectTheFilterOfTheCurrentFile) {
    EXPECT_EQ(open_dialog_filters().size(), 8U);
    EXPECT_EQ(open_dialog_filters()[6], "All types recognised (*.CV;*.CMP;*.INI;*.LMD;*.LSC;*.SCL;*.TXT)");
    EXPECT_EQ(open_dialog_filter_for("a.CMP"), 1);
    EXPECT_EQ(open_dialog_filter_for("a.lmd"), 2);
    EXPECT_EQ(open_dialog_filter_for("a.txt"), 5);
    EXPECT_EQ(open_dialog_filter_for("a.mid"), 1);
    EXPECT_EQ(name_offered_to_open("dir/tune.MID"), "dir/tune.cv");
    EXPECT_EQ(save_dialog_filters()[1], "MIDI files(*.MID)");
    EXPECT_EQ(save_dialog_filter_for("x.mid"), 2);
    EXPECT_EQ(save_dialog_filter_for("x.ini"), 6);
    EXPECT_EQ(save_dialog_filter_for("x.cmp"), 1);
    EXPECT_EQ(name_for_save_filter("dir.v2/tune.cv", 2), "dir.v2/tune.mid");
    EXPECT_EQ(name_for_save_filter("dir.v2/tune", 5), "dir.v2/tune.scl");
    Settings s;
    EXPECT_TRUE(save_dialog_asks_before_overwriting("a.mid", s));
    s.mf_add_to_gallery = true;
    EXPECT_FALSE(save_dialog_asks_before_overwriting("a.mid", s));
    EXPECT_TRUE(save_dialog_asks_before_overwriting("a.cv", s));
}

// ---- The configuration file

// Without a file, start-up keeps the defaults and auto-save, and "Read now" reports it; exit
// saves, and the next start comes back where this one was. Auto-save off is written at once, and keeps the file from
// being applied at start-up; it is applied when asked for.
TEST_F(ConfigurationFlows, ExitSavesTheNextStartComesBackAndAutoSaveOffStopsThat) {
    ws.composition.Levels = 3;
    EXPECT_FALSE(start_up(ws));
    EXPECT_TRUE(ws.settings.Auto_save_to_Corvane_ini_on_exit);
    EXPECT_EQ(ws.composition.Levels, 10);
    EXPECT_FALSE(read_configuration_now(ws, reporter));
    corvane::testing::expect_output_as_kept(told(reporter, folder), "files/expected/read_now_without_file.txt");
    reporter.clear();
    ws.composition.Note_heights = {0, 4, 2};
    ws.settings.beats_sig_figs = 8;
    ws.settings.File = "/tunes/a.cv";
    ASSERT_TRUE(save_configuration_at_exit(ws, reporter));

    Workspace next = workspace_in(folder);
    EXPECT_TRUE(start_up(next));
    EXPECT_EQ(next.composition.Note_heights, ws.composition.Note_heights);
    EXPECT_EQ(next.settings.beats_sig_figs, 8);
    EXPECT_EQ(next.settings.File, "/tunes/a.cv");
    ASSERT_TRUE(toggle_auto_save(next, reporter));
    EXPECT_TRUE(slurp(folder / "Corvane.ini").starts_with("Auto_save_to_Corvane.ini_on_exit=0\r\n"));
    EXPECT_TRUE(save_configuration_at_exit(next, reporter));  // nothing to write

    Workspace third = workspace_in(folder);
    EXPECT_TRUE(start_up(third));
    EXPECT_EQ(third.settings.beats_sig_figs, 5);
    EXPECT_EQ(third.composition.Note_heights, engine::Composition{}.Note_heights);
    EXPECT_FALSE(third.settings.Auto_save_to_Corvane_ini_on_exit);
    EXPECT_TRUE(read_configuration_now(third, reporter));
    EXPECT_EQ(third.settings.beats_sig_figs, 8);
    EXPECT_EQ(third.composition.Note_heights, ws.composition.Note_heights);
    EXPECT_FALSE(third.settings.Auto_save_to_Corvane_ini_on_exit);
    EXPECT_TRUE(reporter.entries().empty());
}

// A save at exit into a folder that is gone is reported, then asks whether to exit anyway.
TEST_F(ConfigurationFlows, AFailedSaveAtExitAsksWhetherToExitAnyway) {
    const fs::path gone = folder / "gone";
    ws.program_folder = gone;
    RecordingReporter stays(Answer::no);
    EXPECT_FALSE(save_configuration_at_exit(ws, stays));
    corvane::testing::expect_output_as_kept(told(stays, folder), "files/expected/failed_save_at_exit.txt");
    RecordingReporter leaves(Answer::yes);
    EXPECT_TRUE(save_configuration_at_exit(ws, leaves));
}

// Two copies on one data folder: the later exit asks before writing over the earlier one's.
TEST_F(ConfigurationFlows, AnExitAsksBeforeWritingOverAnotherCopysSave) {
    Workspace first = workspace_in(folder);
    Workspace second = workspace_in(folder);
    RecordingReporter quiet;
    Workspace earlier = workspace_in(folder);
    ASSERT_TRUE(save_configuration_file(earlier, quiet));
    ASSERT_TRUE(start_up(first));
    ASSERT_TRUE(start_up(second));
    first.composition.Levels = 3;
    ASSERT_TRUE(save_configuration_at_exit(first, quiet));
    EXPECT_TRUE(quiet.entries().empty());
    const std::string firsts = slurp(folder / "Corvane.ini");
    ASSERT_NE(firsts.find("Levels 3"), std::string::npos);

    second.composition.Levels = 7;
    EXPECT_TRUE(configuration_changed_elsewhere(second));
    RecordingReporter keeps(Answer::no);
    EXPECT_TRUE(save_configuration_at_exit(second, keeps));
    corvane::testing::expect_output_as_kept(told(keeps, folder), "files/expected/exit_over_another_copy.txt");
    EXPECT_EQ(slurp(folder / "Corvane.ini"), firsts);

    RecordingReporter replaces(Answer::yes);
    EXPECT_TRUE(save_configuration_at_exit(second, replaces));
    EXPECT_NE(slurp(folder / "Corvane.ini").find("Levels 7"), std::string::npos);
    EXPECT_FALSE(configuration_changed_elsewhere(second));  // what it wrote is what it saw
    EXPECT_TRUE(configuration_changed_elsewhere(first));
}

TEST_F(ConfigurationFlows, ResetUsesTheResetFilesOrTheBuiltInOnes) {
    ws.settings.beats_sig_figs = 8;
    ws.settings.File = "/tunes/a.cv";
    ws.scales = ScaleList{};
    ws.modes = ScaleList{};
    reset_settings(ws);
    EXPECT_EQ(ws.settings.beats_sig_figs, 5);
    EXPECT_EQ(ws.scales, builtin_scale_list());
    EXPECT_EQ(ws.modes, builtin_mode_list(":12"));

    for (const auto* name : {"CRV_reset.ini", "CRV_reset.lsc", "CRV_reset.lmd"}) copy_shipped(folder, name);
    ws.settings.beats_sig_figs = 8;
    ws.composition.Levels = 4;
    reset_settings(ws);
    EXPECT_EQ(ws.settings.beats_sig_figs, 5);
    EXPECT_EQ(ws.settings.File, "/tunes/a.cv");
    EXPECT_EQ(ws.composition.Levels, 4);
    EXPECT_EQ(ws.scales.entries, builtin_scale_list().entries);
    EXPECT_EQ(ws.modes.entries.size(), 16U);
}

TEST_F(ConfigurationFlows, TheListsNamedByTheConfigurationAreLoaded) {
    write_bytes(folder / "mine.lsc", "1 9/8 Tone\r\n");
    write_bytes(folder / "mine.lmd", "0 2 Steps\r\n");
    write_bytes(folder / "Corvane.ini", "Auto_save_to_Corvane.ini_on_exit=1\r\nListOfScalesFile= mine.lsc\r\n"
                                       "synchronise_modes=0\r\nComposition_and_Colours\r\n\r\n"
                                       "ListOfModesFile= mine.lmd\r\n");
    EXPECT_TRUE(start_up(ws));
    // The fixed entries and the file's one (how an entry reads, ListReading pins).
    EXPECT_EQ(ws.scales.entries.size(), 3U);
    EXPECT_EQ(ws.modes.entries.size(), 2U);
}

// ---- Edits of the fields, and choices from the lists

// The limits and their words are the engine's (Limits.LevelsSustainChannelsAndListsAreHeldWithinTheirRanges
// pins them): a field's text is read as an expression, held within them, and each hold reported.
TEST_F(FieldEdits, LimitedFieldsReadExpressionsAndReportTheirHolds) {
    EXPECT_TRUE(edit_levels(ws, "7*5", reporter));
    EXPECT_EQ(ws.composition.Levels, 29);
    EXPECT_TRUE(edit_sustain(ws, "301", reporter));
    EXPECT_EQ(ws.composition.Sustain, 300.0);
    EXPECT_TRUE(edit_channels_in_play(ws, "2*10", reporter));
    EXPECT_EQ(ws.composition.Channels_in_Play, 16);
    EXPECT_EQ(reporter.entries().size(), 3u);
}

// A typo never replaces what was there: the field's text is refused whole, saying what could
// not be read, and the composition stays as it was.
TEST_F(FieldEdits, TextThatDoesNotReadIsRefusedWholeAndNamed) {
    ASSERT_FALSE(edit_scale(ws, "1 9/8 5/4 4/3 3/2 5/3 15/8 2").refused.size());
    const auto scale = ws.composition.Intervals;
    ws.settings.needs_save = false;
    const auto expect_refused = [&](const EditResult& r, const std::string& why) {
        EXPECT_FALSE(r.changed);
        EXPECT_EQ(r.refused, why);
        EXPECT_EQ(ws.composition.Intervals, scale);
        EXPECT_FALSE(ws.settings.needs_save);
    };
    expect_refused(edit_scale(ws, "abc"), "\"abc\" is not a pitch, so the scale is left as it was.");
    expect_refused(edit_scale(ws, ""), "The scale is empty, so it is left as it was.");
    expect_refused(edit_scale(ws, "1 9/8 5/4 4/e 3/2 2"), "\"4/e\" is not a pitch, so the scale is left as it was.");
    expect_refused(edit_arpeggio(ws, "abc"), "\"abc\" is not a scale degree, so the arpeggio is left as it was.");
    expect_refused(edit_arpeggio(ws, "0 2 x4"), "\"x4\" is not a scale degree, so the arpeggio is left as it was.");
    expect_refused(edit_seed(ws, "0 1 q 2"), "\"q\" is not a number, so the seed is left as it was.");
    expect_refused(edit_levels(ws, "many", reporter), "\"many\" is not a number, so Levels is left as it was.");
    expect_refused(edit_note_length(ws, "0"), "\"0\" is no time for one note: it must be above 0 and at most 3600 "
                                              "seconds, so it is left as it was.");
    expect_refused(edit_note_length(ws, "2x"), "\"2x\" is not a number, so the time for one note is left as it was.");
    for (const char* hertz : {"0", "-440", "1e300"}) {
        expect_refused(edit_lowest_frequency(ws, hertz),
                       "\"" + std::string(hertz) + "\" Hz is no frequency of the lowest note: it must be from 0.001 "
                       "to 100000 Hz, so it is left as it was.");
    }
    // What reads whole is taken: cents with their word, the bend test, an expression.
    EXPECT_TRUE(edit_scale(ws, "1 63.1579 cents n(2/19) 2"));
    EXPECT_TRUE(edit_seed(ws, "0 1 TEST"));
    EXPECT_TRUE(edit_lowest_frequency(ws, "440*3/4"));
    ws.settings.needs_save = false;
    EXPECT_FALSE(edit_lowest_frequency(ws, "330"));  // unchanged: still saved
    EXPECT_FALSE(ws.settings.needs_save);
}

// A scale whose modes are the built-in twelve-tone menu sets the scale and its title and
// puts that menu back.
TEST_F(ModeList, ChoosingAScaleEntrySetsTheScaleAndItsTitleAndBringsItsModes) {
    ws.modes = ScaleList{};
    ws.settings.needs_save = false;
    const std::size_t row = entry_titled(ws.scales, "7 limit twelve tone (M)");
    ASSERT_LT(row, ws.scales.entries.size());
    ASSERT_EQ(ws.scales.entries[row].modes_file, ":12");
    ASSERT_NE(ws.composition.Intervals_Title, "7 limit twelve tone (M)");
    EXPECT_TRUE(choose_scale_entry(ws, row, reporter));
    EXPECT_EQ(ws.composition.Intervals_Title, "7 limit twelve tone (M)");
    EXPECT_EQ(ws.scales.selected, row);
    EXPECT_TRUE(ws.settings.needs_save);
    EXPECT_EQ(ws.modes, builtin_mode_list(":12"));
    EXPECT_TRUE(reporter.entries().empty());
}

// The arpeggio is found in the list of modes only when every degree matches, not just its length.
TEST_F(ModeList, TheEntryMatchingTheArpeggioHoldsTheSameDegrees) {
    ws.modes = builtin_mode_list(":12");
    const std::size_t pentatonic = entry_titled(ws.modes, "Pentatonic");
    ASSERT_LT(pentatonic, ws.modes.entries.size());
    ASSERT_EQ(ws.modes.entries[pentatonic].definition, "0 2 4 7 9 12");
    ASSERT_EQ(arpeggio_text(ws.composition), "0 2 4 7 9 12");
    EXPECT_EQ(entry_matching_arpeggio(ws), pentatonic);
    ASSERT_TRUE(edit_arpeggio(ws, "0 1 2 3 4 12").changed);  // six degrees, as the pentatonic has
    EXPECT_EQ(entry_matching_arpeggio(ws), std::nullopt);
}

// An entry whose list cannot be read in the data folder is reported, and the lists and the
// arpeggio stay as they were; a scale entry's scale is taken all the same. missing_lists.txt
// holds the three reports in turn.
TEST(ScaleList, AnEntryWhoseListIsMissingIsReportedAndTheListsKept) {
    struct Case {
        bool scale_entry;
        std::string_view entry;
        bool scale_taken = false;
    };
    const Case cases[] = {
        {true, "19-tone equal temperament (M)", true},
        {true, "More scales..."},
        {false, "6 note modes..."},
    };
    std::string reports;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.entry));
        TempFolder folder;  // a data folder without the lists
        Workspace ws = workspace_in(folder);
        ws.modes = builtin_mode_list(tuning::kTwelveToneModesCode);
        const Workspace before = ws;
        RecordingReporter reporter;
        const ScaleList& list = c.scale_entry ? ws.scales : ws.modes;
        const std::size_t row = entry_titled(list, c.entry);
        ASSERT_LT(row, list.entries.size());
        EXPECT_FALSE(c.scale_entry ? choose_scale_entry(ws, row, reporter) : choose_mode_entry(ws, row, reporter));
        EXPECT_EQ(ws.composition.Intervals_Title, c.scale_taken ? c.entry : before.composition.Intervals_Title);
        ScaleList scales_after = before.scales;
        if (c.scale_taken) scales_after.selected = row;
        EXPECT_EQ(ws.scales, scales_after);
        EXPECT_EQ(ws.modes, before.modes);
        EXPECT_EQ(arpeggio_text(ws.composition), arpeggio_text(before.composition));
        reports += told(reporter, folder);
    }
    corvane::testing::expect_output_as_kept(reports, "files/expected/missing_lists.txt");
}

// From a scale without modes to a mode of 19 tones, through the shipped lists.
TEST_F(ModeList, TheModesForDefaultScalesOpenEachScalesListWithItsScale) {
    ws.program_folder = std::string(CORVANE_SOURCE_DIR) + "/data";
    choose_scale_entry(ws, entry_titled(ws.scales, "Gamelan from South Bali (Slendro)"), reporter);
    EXPECT_TRUE(choose_mode_entry(ws, entry_titled(ws.modes, "Modes for default scales"), reporter));
    EXPECT_TRUE(choose_mode_entry(ws, entry_titled(ws.modes, "Modes of 19-tone equal temperament..."), reporter));
    EXPECT_TRUE(reporter.entries().empty());
    EXPECT_EQ(ws.composition.Intervals_Title, "Nineteen-tone equal temperament (M)");
    EXPECT_NEAR(tuning::degree_ratio(ws.composition.Intervals, 19), 2.0, 1e-12);
    EXPECT_NEAR(tuning::degree_ratio(ws.composition.Intervals, 11), std::pow(2.0, 11.0 / 19), 1e-12);

    const std::size_t pentatonic = entry_titled(ws.modes, "5 notes, generator 8 or 11 of 19  (3 3 5 3 5)");
    ASSERT_LT(pentatonic, ws.modes.entries.size());
    choose_mode_entry(ws, pentatonic, reporter);
    EXPECT_EQ(arpeggio_text(ws.composition), "0 3 6 11 14 19");
}

TEST(WolfNote, SemitoneStepsAndNaturalStepsWrapWithinTheOctave) {
    EXPECT_EQ(step_wolf_note(8, true, false), 9);
    EXPECT_EQ(step_wolf_note(11, true, false), 0);
    EXPECT_EQ(step_wolf_note(0, false, false), 11);
    EXPECT_EQ(step_wolf_note(0, true, true), 2);   // C up to D
    EXPECT_EQ(step_wolf_note(4, true, true), 5);   // E up to F
    EXPECT_EQ(step_wolf_note(11, true, true), 0);  // B up to C
    EXPECT_EQ(step_wolf_note(2, false, true), 0);  // D down to C
    EXPECT_EQ(step_wolf_note(5, false, true), 4);  // F down to E
    EXPECT_EQ(step_wolf_note(0, false, true), 11); // C down to B
    EXPECT_EQ(step_wolf_note(8, false, true), 7);  // G sharp down to G
}

}  // namespace
}  // namespace corvane::files
