// Lists of scales and modes, the index of lists, the seeds drop list, and the list files
// shipped in the data folder.
#include "corvane/files/scale_list.h"

#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "../expected_output.h"
#include "../temp_folder.h"
#include "corvane/files/builtin_lists.h"
#include "corvane/files/seeds_drop_list.h"
#include "corvane/files/whole_file.h"
#include "corvane/tuning/builtin_tables.h"

namespace corvane::files {
namespace {

using corvane::testing::TempFolder;
using corvane::testing::write_bytes;

ScaleList scales(std::string_view text) { return read_scale_list(text, ListKind::scales).list; }
ScaleList modes(std::string_view text) { return read_scale_list(text, ListKind::modes).list; }

std::string written(const ScaleList& list, std::string_view header = "Header", bool index_link = false) {
    SaveBuffer out = unbounded_buffer();
    write_scale_list(out, list, header, index_link);
    return out.take();
}

// ---- Reading

// Each text read gives the fixed first entries, then these, with the selection and header.
TEST(ListReading, EntriesTakeTheirPartsAfterTheDirectivesBeforeThem) {
    struct Case {
        ListKind kind;
        std::string text;
        std::vector<ListEntry> entries;
        std::size_t selected = 0;
        std::string header = "";
    };
    const std::vector<Case> cases{
        {ListKind::scales, "! My scales\r\n1 n(1/12) Equal\r\n+ 9/8 5/4 4/3 3/2 5/3 15/8 2/1 Just major scale\r\n",
         {{"Equal", "1 n(1/12)", "", ""}, {"Just major scale", "9/8 5/4 4/3 3/2 5/3 15/8 2/1", "", ""}},
         3,
         "My scales"},
        // A comment after the first entry is no header.
        {ListKind::scales, "1 n(1/19) #19 tone equal temperament\r\n! Later comment\r\n",
         {{"19 tone equal temperament", "1 n(1/19)", "", ""}}},
        {ListKind::modes, "*NEEDS_1\r\n3 5 Triad\r\n", {{"Triad", "1 3 5", "", ""}}},
        {ListKind::scales, "*NEEDS_OCTAVE*\r\n9/8 5/4 Third\r\n", {{"Third", "9/8 5/4 2", "", ""}}},
        {ListKind::scales, "*STEPS\r\n9/8 10/9 16/15 Tetrachord\r\n", {{"Tetrachord", "9/8 5/4 4/3", "", ""}}},
        {ListKind::modes, "*STEPS* the rest is ignored\r\n0 2 2 1 2 Five\r\n", {{"Five", "0 2 4 5 7", "", ""}}},
        {ListKind::modes, "0 2 3 5 7 9 11 12 | 0 2 3 5 7 8 10 12 Melodic minor\r\n",
         {{"Melodic minor", "0 2 3 5 7 9 11 12 | 0 2 3 5 7 8 10 12", "", ""}}},
        {ListKind::modes, "0 CENTS 700 Fifth\r\n", {{"Fifth", "0 CENTS 700", "", ""}}},
        // Modes files, links and names between tildes go to their own parts.
        {ListKind::scales,
         "1 n(1/12) *12_tone.lmd* Equal (M)\r\n@more scales.lsc@ More lists\r\n"
         "~Pelog~ 1 153 cents 315 cents 2 Pelog\r\n",
         {{"Equal (M)", "1 n(1/12)", "12_tone.lmd", ""},
          {"More lists", "more scales.lsc", "", "more scales.lsc"},
          {"Pelog", "1 153 cents 315 cents 2", "~Pelog", ""}}},
        // "~ALL" gives every following entry its modes file, unless the entry names its own.
        {ListKind::modes, "0 2 4 First\r\n~ALL *shared.lmd*\r\n0 3 Second\r\n0 4 *own.lmd* Third\r\n",
         {{"First", "0 2 4", "", ""}, {"Second", "0 3", "shared.lmd", ""}, {"Third", "0 4", "own.lmd", ""}}},
        // Over-long texts are cut.
        {ListKind::scales, "1 2 *" + std::string(300, 'n') + "* " + std::string(11000, 'd') + "\r\n",
         {{std::string(kMaxEntryText, 'd'), "1 2", std::string(kMaxEntryName, 'n'), ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 80));
        ScaleList expected{c.kind, fixed_first_entries(c.kind), c.selected, c.header};
        expected.entries.insert(expected.entries.end(), c.entries.begin(), c.entries.end());
        EXPECT_EQ(read_scale_list(c.text, c.kind).list, expected);
    }
}

TEST(ListReading, LoadedListsStartWithTheirFixedEntries) {
    EXPECT_EQ(scales("").entries,
              (std::vector<ListEntry>{{"Clear", "0", "", ""}, {"Follow scale", "Use ratios", "", ""}}));
    EXPECT_EQ(modes("").entries, (std::vector<ListEntry>{{"Clear", "1", ":", ""}}));
}

// ---- Writing

// every_feature.lsc: the list written whole, with its header, the selection's "+", a hash
// before a description that could be misread, the modes file, the built-in modes, the name
// between tildes, the link and the entry without a description. Every part reads back.
TEST(ListWriting, EveryFeatureReadsBackTheSame) {
    ScaleList list = scales("");
    list.entries.push_back({"12 tone", "1 n(1/12)", "", ""});
    list.entries.push_back({"#1 hit", "1 2", "", ""});
    list.entries.push_back({"plain words", "1 3", "", ""});
    list.entries.push_back({"Equal (M)", "1 n(1/12)", "12_tone.lmd", ""});
    list.entries.push_back({"Slendro", "1 235.419 cents 453.56 cents 2", ":", ""});
    list.entries.push_back({"Pelog", "1 153 cents 2", "~Pelog modes", ""});
    list.entries.push_back({"More", "more.lsc", "", "more.lsc"});
    list.entries.push_back({"", "1 5/4 3/2", "", ""});
    list.selected = 2;
    const std::string text = written(list);
    corvane::testing::expect_output_as_kept(text, "files/expected/every_feature.lsc");
    const ScaleList back = scales(text);
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

TEST(ListPaths, AHeldPathIsFoundFromTheProgramFolderOrByItsName) {
    TempFolder folder;
    write_bytes(folder / "modes.lmd", "");
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
    // Single line ends and a last line without one lose no character.
    const SeedsDropList bare = read_drop_list("0 1\nfile:x_y.cv\r2 3\n\n4 5");
    EXPECT_EQ(bare.seeds, (std::vector<std::string>{"0 1", "x y", "2 3", "4 5"}));
    EXPECT_EQ(bare.files, (std::vector<std::string>{"", "x_y.cv", "", ""}));
}

// ---- The shipped lists

std::string shipped(std::string_view name) {
    const auto text = read_whole_file(std::string(CORVANE_SOURCE_DIR) + "/data/" + std::string(name));
    return text.value_or("(missing)");
}

TEST(ShippedLists, HoldEveryListOfModesTheBuiltInTablesName) {
    std::set<std::string> named;
    for (const auto& row : tuning::scales_with_modes_rows()) named.insert(std::string(row.modes));
    for (const auto& row : tuning::twelve_tone_mode_rows()) named.insert(std::string(row.definition));
    for (const auto& row : tuning::other_scale_mode_rows()) named.insert(std::string(row.definition));
    for (const char* list : {"CRV_reset.lmd", "Modes_for_default_scales.lmd"}) {
        for (const auto& entry : modes(shipped(list)).entries) named.insert(entry.modes_file);
    }
    std::erase_if(named, [](const std::string& name) { return !tuning::is_mode_list_file(name); });
    EXPECT_EQ(named.size(), 17U);  // six of twelve tones, ten of other scales, and the list of them
    for (const auto& name : named) EXPECT_NE(shipped(name), "(missing)") << name;
}

}  // namespace
}  // namespace corvane::files
