#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "corvane/files/composition_edits.h"
#include "corvane/tuning/pitch_mapping.h"
#include "files_test_support.h"

namespace corvane::files {
namespace {

using platform::RecordingReporter;
using testing::TempFolder;
using testing::write_text;

std::size_t entry_titled(const ScaleList& list, std::string_view description) {
    const auto it = std::find_if(list.entries.begin(), list.entries.end(),
                                 [&](const ListEntry& e) { return e.description == description; });
    return static_cast<std::size_t>(it - list.entries.begin());
}

// A New workspace and a reporter that records what it is told.
struct OnNewWorkspace : ::testing::Test {
    Workspace ws;
    RecordingReporter reporter;
};
using FieldEdits = OnNewWorkspace;
using ModeList = OnNewWorkspace;

TEST_F(FieldEdits, NumbersGoThroughTheExpressionReader) {
    EXPECT_TRUE(edit_note_length(ws, "3/16"));
    EXPECT_DOUBLE_EQ(ws.composition.Note_length, 0.1875);
    EXPECT_TRUE(ws.settings.needs_save);
    ws.settings.needs_save = false;
    EXPECT_FALSE(edit_note_length(ws, "0.1875"));  // unchanged: still saved
    EXPECT_FALSE(ws.settings.needs_save);
    EXPECT_FALSE(edit_note_length(ws, "abc"));
    EXPECT_TRUE(edit_lowest_frequency(ws, "440*3/2"));
    EXPECT_DOUBLE_EQ(ws.composition.Frequency_of_lowest_note, 660.0);
    EXPECT_TRUE(edit_seed(ws, "0 2 -1 1"));
    EXPECT_EQ(ws.composition.Note_heights, (std::vector<int>{0, 2, -1, 1}));
    EXPECT_EQ(seed_text(ws.composition), "0 2 -1 1");
    EXPECT_EQ(number_text(0.125), "0.125");
    EXPECT_EQ(number_text(261.6255653005986), "261.6255653");
}

TEST_F(FieldEdits, ClampsReportTheUpperLimitsOnly) {
    EXPECT_TRUE(edit_levels(ws, "35", reporter));
    EXPECT_EQ(ws.composition.Levels, 29);
    ASSERT_EQ(reporter.entries().size(), 1u);
    EXPECT_EQ(reporter.entries()[0].message, "Maximum of 30 levels");
    EXPECT_EQ(reporter.entries()[0].caption, "Levels");
    reporter.clear();
    EXPECT_TRUE(edit_levels(ws, "-2", reporter));
    EXPECT_EQ(ws.composition.Levels, 0);
    EXPECT_TRUE(edit_sustain(ws, "301", reporter));
    EXPECT_EQ(ws.composition.Sustain, 300.0);
    EXPECT_TRUE(edit_channels_in_play(ws, "2*10", reporter));
    EXPECT_EQ(ws.composition.Channels_in_Play, 16);
    ASSERT_EQ(reporter.entries().size(), 2u);
    EXPECT_EQ(reporter.entries()[0].caption, "Notes in chord");
    EXPECT_EQ(reporter.entries()[1].message, "Maximum of 16 MIDI channels.");
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
}

TEST(SpinArrows, NoteLengthBySquareRootOfTwoChannelsWithinOneToSixteen) {
    Workspace ws;
    RecordingReporter reporter;
    step_note_length(ws, true);
    EXPECT_NEAR(ws.composition.Note_length, 0.1767766953, 1e-10);
    step_note_length(ws, false);
    step_note_length(ws, false);
    EXPECT_NEAR(ws.composition.Note_length, 0.0883883476, 1e-10);
    step_channels_in_play(ws, false, reporter);
    EXPECT_EQ(ws.composition.Channels_in_Play, 1);
    for (int i = 0; i < 20; ++i) step_channels_in_play(ws, true, reporter);
    EXPECT_EQ(ws.composition.Channels_in_Play, 16);
    EXPECT_TRUE(reporter.entries().empty());  // the arrows stop at the limits without a message
}

TEST(ScaleAndArpeggio, TextsReadAndShownBack) {
    Workspace ws;
    EXPECT_EQ(arpeggio_text(ws.composition), "0 2 4 7 9 12");
    EXPECT_TRUE(edit_scale(ws, "9/8 5/4 3/2 2"));
    EXPECT_EQ(ws.composition.Intervals.size(), 4u);
    EXPECT_DOUBLE_EQ(ws.composition.Intervals.back(), 1.0);
    EXPECT_TRUE(edit_arpeggio(ws, "0 2 3 | 0 1 3"));
    EXPECT_TRUE(ws.composition.Arpeggio.has_descending_part());
    EXPECT_EQ(arpeggio_text(ws.composition), "0 2 3 | 0 1 3");
    EXPECT_TRUE(edit_arpeggio(ws, "Use ratios"));
    EXPECT_TRUE(ws.composition.Use_ratios);
    EXPECT_EQ(arpeggio_text(ws.composition), "Use ratios");
}

// A scale whose modes are the built-in twelve-tone menu sets the scale and its title and
// puts that menu back.
TEST(ScaleList, ChoosingAnEntrySetsTheScaleAndItsTitleAndBringsItsModes) {
    Workspace ws;
    ws.modes = ScaleList{};
    ws.settings.needs_save = false;
    const std::size_t row = entry_titled(ws.scales, "7 limit twelve tone (M)");
    ASSERT_LT(row, ws.scales.entries.size());
    ASSERT_EQ(ws.scales.entries[row].modes_file, ":12");
    ASSERT_NE(ws.composition.Intervals_Title, "7 limit twelve tone (M)");
    RecordingReporter reporter;
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
// arpeggio stay as they were; a scale entry's scale is taken all the same.
TEST(ScaleList, AnEntryWhoseListIsMissingIsReportedAndTheListsKept) {
    struct Case {
        bool scale_entry;
        std::string_view entry;
        std::string_view message_start;
        std::string_view caption;
        bool scale_taken = false;
    };
    const Case cases[] = {
        {true, "19-tone equal temperament (M)", "Couldn't read the list of modes \"_19_tone_modes.lmd\"",
         "List of modes", true},
        {true, "More scales...", "Couldn't read the list of scales \"index.lsc\"", "List of scales"},
        {false, "6 note modes...", "Couldn't read the list of modes \"12_tone_-_6_notes.lmd\"", "List of modes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.entry));
        TempFolder folder;  // a data folder without the lists
        Workspace ws;
        ws.program_folder = folder.path();
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
        ASSERT_EQ(reporter.entries().size(), 1u);
        const std::string stays = c.caption == "List of modes" ? "the arpeggio list" : "the scale list";
        EXPECT_EQ(reporter.entries()[0].message, std::string(c.message_start) + " in the folder \"" +
                                                     folder.path().string() + "\", so " + stays + " stays as it was.");
        EXPECT_EQ(reporter.entries()[0].caption, c.caption);
    }
}

TEST_F(ModeList, AnEntryNamingAListOfModesOpensItAndLeavesTheArpeggio) {
    TempFolder folder;
    ws.program_folder = folder.path();
    write_text(folder / "12_tone_-_5_notes.lmd", " !Twelve tone modes of five notes\r\n+0 2 4 7 9 12 Pentatonic\r\n");
    const std::string arpeggio_before = arpeggio_text(ws.composition);
    EXPECT_TRUE(choose_mode_entry(ws, entry_titled(ws.modes, "5 note modes..."), reporter));
    EXPECT_EQ(arpeggio_text(ws.composition), arpeggio_before);
    ASSERT_EQ(ws.modes.entries.size(), 2u);
    EXPECT_EQ(ws.modes.entries[1].definition, "0 2 4 7 9 12");
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
