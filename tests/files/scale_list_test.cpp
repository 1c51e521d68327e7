// Lists of scales and modes, the index of lists, the seeds drop list, and the list files
// shipped in the data folder.
#include "corvane/files/scale_list.h"

#include <algorithm>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "corvane/files/builtin_lists.h"
#include "corvane/files/seeds_drop_list.h"
#include "corvane/files/whole_file.h"
#include "files_test_support.h"

namespace corvane::files {
namespace {

using testing::slurp;
using testing::TempFolder;
using testing::write_text;

ScaleList scales(std::string_view text) { return read_scale_list(text, ListKind::scales).list; }
ScaleList modes(std::string_view text) { return read_scale_list(text, ListKind::modes).list; }

std::string written(const ScaleList& list, std::string_view header = "Header", bool index_link = false) {
    SaveBuffer out = unbounded_buffer();
    write_scale_list(out, list, header, index_link);
    return out.take();
}

// ---- Reading

TEST(ListReading, AnEntryMarkedPlusIsSelectedWithItsRatiosAndName) {
    const ScaleList list = scales("! My scales\r\n1 n(1/12) Equal\r\n+ 9/8 5/4 4/3 3/2 5/3 15/8 2/1 Just major scale\r\n");
    ASSERT_EQ(list.entries.size(), 4U);
    EXPECT_EQ(list.selected, 3U);
    EXPECT_EQ(list.entries[3].definition, "9/8 5/4 4/3 3/2 5/3 15/8 2/1");
    EXPECT_EQ(list.entries[3].description, "Just major scale");
    EXPECT_EQ(list.header, "My scales");
}

TEST(ListReading, LoadedListsStartWithTheirFixedEntries) {
    const ScaleList s = scales("");
    ASSERT_EQ(s.entries.size(), 2U);
    EXPECT_EQ(s.entries[0], (ListEntry{"Clear", "0", "", ""}));
    EXPECT_EQ(s.entries[1], (ListEntry{"Follow scale", "Use ratios", "", ""}));
    const ScaleList m = modes("");
    ASSERT_EQ(m.entries.size(), 1U);
    EXPECT_EQ(m.entries[0], (ListEntry{"Clear", "1", ":", ""}));
}

TEST(ListReading, AHashInFrontOfTheDescriptionIsDropped) {
    const ScaleList list = scales("1 n(1/19) #19 tone equal temperament\r\n");
    EXPECT_EQ(list.entries[2].definition, "1 n(1/19)");
    EXPECT_EQ(list.entries[2].description, "19 tone equal temperament");
}

TEST(ListReading, ModesFilesLinksAndTildeNamesGoToTheirLists) {
    const ScaleList list = scales("1 n(1/12) *12_tone.lmd* Equal (M)\r\n"
                                  "@more scales.lsc@ More lists\r\n"
                                  "~Pelog~ 1 153 cents 315 cents 2 Pelog\r\n");
    EXPECT_EQ(list.entries[2], (ListEntry{"Equal (M)", "1 n(1/12)", "12_tone.lmd", ""}));
    EXPECT_EQ(list.entries[3], (ListEntry{"More lists", "more scales.lsc", "", "more scales.lsc"}));
    EXPECT_EQ(list.entries[4], (ListEntry{"Pelog", "1 153 cents 315 cents 2", "~Pelog", ""}));
}

TEST(ListReading, AllGivesEveryFollowingEntryItsModesFileUnlessItNamesItsOwn) {
    const ScaleList list = modes("0 2 4 First\r\n~ALL *shared.lmd*\r\n0 3 Second\r\n0 4 *own.lmd* Third\r\n");
    EXPECT_EQ(list.entries[1].modes_file, "");
    EXPECT_EQ(list.entries[2].modes_file, "shared.lmd");
    EXPECT_EQ(list.entries[3].modes_file, "own.lmd");
}

TEST(ListReading, NeedsOneAndNeedsOctaveShapeTheDefinitions) {
    const ScaleList m = modes("*NEEDS_1\r\n3 5 Triad\r\n");
    EXPECT_EQ(m.entries[1].definition, "1 3 5");
    const ScaleList s = scales("*NEEDS_OCTAVE*\r\n9/8 5/4 Third\r\n");
    EXPECT_EQ(s.entries[2].definition, "9/8 5/4 2");
}

TEST(ListReading, StepsBecomeCumulativeValues) {
    const ScaleList s = scales("*STEPS\r\n9/8 10/9 16/15 Tetrachord\r\n");
    EXPECT_EQ(s.entries[2].definition, "9/8 5/4 4/3");
    const ScaleList m = modes("*STEPS* the rest is ignored\r\n0 2 2 1 2 Five\r\n");
    EXPECT_EQ(m.entries[1].definition, "0 2 4 5 7");
}

TEST(ListReading, TheFirstCommentOfAListOfModesNamesItsScale) {
    auto reading = read_scale_list(" !Equal Temperament (M) 1 n(1/12)\r\n! another comment\r\n0 4 7 12 Major\r\n",
                                   ListKind::modes);
    ASSERT_TRUE(reading.header_scale.has_value());
    EXPECT_EQ(reading.header_scale->title, "Equal Temperament (M)");
    EXPECT_EQ(reading.header_scale->definition, "1 n(1/12)");
    EXPECT_EQ(reading.list.entries.size(), 2U);

    reading = read_scale_list("*NO_SCALE_SPECIFIED\r\n!Equal 1 n(1/12)\r\n0 4 Two\r\n", ListKind::modes);
    EXPECT_FALSE(reading.header_scale.has_value());
    reading = read_scale_list("!Equal 1 n(1/12)\r\n", ListKind::scales);
    EXPECT_FALSE(reading.header_scale.has_value());
}

TEST(ListReading, ModeTextsKeepTheirDescendingPartAndCents) {
    const ScaleList m = modes("0 2 3 5 7 9 11 12 | 0 2 3 5 7 8 10 12 Melodic minor\r\n0 CENTS 700 Fifth\r\n");
    EXPECT_EQ(m.entries[1].definition, "0 2 3 5 7 9 11 12 | 0 2 3 5 7 8 10 12");
    EXPECT_EQ(m.entries[2].definition, "0 CENTS 700");
}

TEST(ListReading, OverLongTextsAreCut) {
    const std::string long_name(300, 'n');
    const std::string long_description(11000, 'd');
    const ScaleList s = scales("1 2 *" + long_name + "* " + long_description + "\r\n");
    EXPECT_EQ(s.entries[2].modes_file.size(), kMaxEntryName);
    EXPECT_EQ(s.entries[2].description.size(), kMaxEntryText);
}

// ---- Writing

TEST(ListWriting, SkipsTheFixedEntriesAndMarksTheFirstPlainEntry) {
    ScaleList list = modes("0 0 Nothing\r\n@other.lsc@ Elsewhere\r\n0 4 7 12 Major\r\n0 3 7 12 Minor\r\n");
    list.selected = 4;
    EXPECT_EQ(written(list), " !Header\r\n"
                             "0 0 Nothing\r\n"
                             " @other.lsc@ Elsewhere\r\n"
                             "+0 4 7 12 Major\r\n"
                             "0 3 7 12 Minor\r\n");
}

TEST(ListWriting, ADescriptionThatCouldBeMisreadGetsAHash) {
    ScaleList list = scales("");
    list.entries.push_back({"12 tone", "1 n(1/12)", "", ""});
    list.entries.push_back({"#1 hit", "1 2", "", ""});
    list.entries.push_back({"plain words", "1 3", "", ""});
    const std::string text = written(list);
    EXPECT_NE(text.find("+1 n(1/12) #12 tone\r\n"), std::string::npos);
    EXPECT_NE(text.find("1 2 ##1 hit\r\n"), std::string::npos);
    EXPECT_NE(text.find("1 3 plain words\r\n"), std::string::npos);
    const ScaleList back = scales(text);
    EXPECT_EQ(back.entries, list.entries);
}

TEST(ListWriting, EveryFeatureReadsBackTheSame) {
    ScaleList list = scales("");
    list.entries.push_back({"Equal (M)", "1 n(1/12)", "12_tone.lmd", ""});
    list.entries.push_back({"Slendro", "1 235.419 cents 453.56 cents 2", ":", ""});
    list.entries.push_back({"Pelog", "1 153 cents 2", "~Pelog modes", ""});
    list.entries.push_back({"More", "more.lsc", "", "more.lsc"});
    list.entries.push_back({"", "1 5/4 3/2", "", ""});
    list.selected = 2;
    const ScaleList back = scales(written(list));
    EXPECT_EQ(back.entries, list.entries);
    EXPECT_EQ(back.selected, 2U);
    EXPECT_EQ(back.header, "Header");
}

TEST(ListWriting, AListForTheIndexGetsItsLinkOnce) {
    ScaleList list = scales("1 2 Octave\r\n");
    std::string text = written(list, "Mine", true);
    EXPECT_TRUE(text.starts_with(" !Mine\r\n@index.lsc@ Index to lists of scales\r\n"));
    list = scales(text);
    text = written(list, "Mine", true);
    EXPECT_EQ(text.find("index.lsc"), text.rfind("index.lsc"));
    EXPECT_EQ(written(modes("0 4 Two\r\n"), "Modes", true).find("index.lsc"), std::string::npos);
}

// ---- The index of lists of scales

TEST(IndexOfLists, AListIsAddedOnceWithAPathRelativeToTheProgramFolder) {
    TempFolder folder;
    write_text(folder / "index.lsc", " !Index of lists of scales\r\n @CRV_reset.lsc@ Scales with modes\r\n");
    platform::RecordingReporter reporter;
    ASSERT_TRUE(add_to_index(folder.path(), folder / "my scales.lsc", "My scales", reporter));
    ASSERT_TRUE(add_to_index(folder.path(), folder / "my scales.lsc", "My scales", reporter));
    ASSERT_TRUE(add_to_index(folder.path(), folder / "index.lsc", "The index", reporter));
    ASSERT_TRUE(add_to_index(folder.path(), "/elsewhere/other.lsc", "Other", reporter));
    EXPECT_TRUE(reporter.entries().empty());
    EXPECT_EQ(slurp(folder / "index.lsc"), " !Index of lists of scales\r\n"
                                           " @CRV_reset.lsc@ Scales with modes\r\n"
                                           " @my scales.lsc@ My scales\r\n"
                                           " @/elsewhere/other.lsc@ Other\r\n");
}

TEST(IndexOfLists, AMissingIndexIsReported) {
    TempFolder folder;
    platform::RecordingReporter reporter;
    EXPECT_FALSE(add_to_index(folder.path(), folder / "a.lsc", "A", reporter));
    ASSERT_EQ(reporter.entries().size(), 1U);
    EXPECT_EQ(reporter.entries()[0].message,
              "Couldn't read from index of scales \"" + (folder / "index.lsc").string() + "\" to append new entry \"a.lsc\"");
    EXPECT_EQ(reporter.entries()[0].caption, "Add list of scales to index on save");
}

TEST(ListPaths, AHeldPathIsFoundFromTheProgramFolderOrByItsName) {
    TempFolder folder;
    write_text(folder / "modes.lmd", "");
    EXPECT_EQ(path_for_lists(folder.path(), folder / "modes.lmd"), "modes.lmd");
    EXPECT_EQ(path_for_lists(folder.path(), "/somewhere/else/modes.lmd"), "/somewhere/else/modes.lmd");
    EXPECT_EQ(resolve_list_path(folder.path(), "modes.lmd"), folder / "modes.lmd");
    EXPECT_EQ(resolve_list_path(folder.path(), "C:\\old\\place\\modes.lmd"), folder / "modes.lmd");
    EXPECT_EQ(resolve_list_path(folder.path(), "x.lmd", "/other"), std::filesystem::path("/other/x.lmd"));
}

// ---- The seeds drop list

TEST(SeedsDropList, HoldsSeedsAndFileEntries) {
    const SeedsDropList list = read_drop_list("0 1 2 1\r\n\r\n  0 2 -1  \r\nFILE:tunes/my_first_tune.cv\r\n"
                                              "0 3\r\nALL_FILES:a_b.cv\r\nc.cv\r\nFILE:d.cv\r\n");
    EXPECT_EQ(list.seeds, (std::vector<std::string>{"0 1 2 1", "0 2 -1", "my first tune", "0 3", "a b", "c", "d"}));
    EXPECT_EQ(list.files, (std::vector<std::string>{"", "", "tunes/my_first_tune.cv", "", "a_b.cv", "c.cv", "d.cv"}));
}

// ---- The shipped lists

std::string shipped(std::string_view name) {
    const auto text = read_whole_file(std::string(CORVANE_SOURCE_DIR) + "/data/" + std::string(name));
    return text.value_or("(missing)");
}

TEST(ShippedLists, AreWhatTheProgramsOwnCodeMakes) {
    for (const auto& file : twelve_tone_mode_files()) EXPECT_EQ(shipped(file.file_name), written(file.list, file.header)) << file.file_name;
    for (const auto& file : shipped_list_files()) EXPECT_EQ(shipped(file.file_name), written(file.list, file.header)) << file.file_name;
}

TEST(ShippedLists, HoldEveryTwelveToneModeOnceGroupedByNotes) {
    std::map<std::string, std::size_t> counts;
    std::set<std::string> all;
    for (const auto& file : twelve_tone_mode_files()) {
        const ScaleList list = modes(shipped(file.file_name));
        counts[file.file_name] = list.entries.size() - 1;
        if (file.file_name != "12_tone.lmd") continue;
        for (std::size_t i = 1; i < list.entries.size(); ++i) {
            const auto& d = list.entries[i].definition;
            EXPECT_TRUE(d.starts_with("0 ") && d.ends_with(" 12")) << d;
            all.insert(d);
        }
    }
    EXPECT_EQ(all.size(), 2048U);
    EXPECT_EQ(counts["12_tone_-_2_to_4_notes.lmd"], 231U);
    EXPECT_EQ(counts["12_tone_-_5_notes.lmd"], 330U);
    EXPECT_EQ(counts["12_tone_-_6_notes.lmd"], 462U);
    EXPECT_EQ(counts["12_tone_-_7_notes.lmd"], 462U);
    EXPECT_EQ(counts["12_tone_-_8_or_more_notes.lmd"], 562U);
    EXPECT_TRUE(all.contains("0 2 4 7 9 12"));
}

TEST(ShippedLists, TheResetListsHoldTheBuiltInMenus) {
    const ScaleList reset_scales = scales(shipped("CRV_reset.lsc"));
    const ScaleList builtin = builtin_scale_list();
    EXPECT_EQ(reset_scales.entries, builtin.entries);
    const auto reset_modes = read_scale_list(shipped("CRV_reset.lmd"), ListKind::modes);
    ASSERT_TRUE(reset_modes.header_scale.has_value());
    EXPECT_EQ(reset_modes.header_scale->definition, "1 n(1/12)");
    const auto pentatonic = std::find_if(reset_modes.list.entries.begin(), reset_modes.list.entries.end(),
                                         [](const ListEntry& e) { return e.description == "Pentatonic"; });
    ASSERT_NE(pentatonic, reset_modes.list.entries.end());
    EXPECT_EQ(pentatonic->definition, "0 2 4 7 9 12");
}

}  // namespace
}  // namespace corvane::files
