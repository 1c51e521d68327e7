#include <gtest/gtest.h>

#include "corvane/tools/search_sort.h"
#include "tools_test_support.h"

namespace corvane::tools {
namespace {

using files::ListEntry;
using files::ListKind;
using files::ScaleList;
using platform::RecordingReporter;
using testing::descriptions;
using testing::DirectRun;
using testing::list_of;

ScaleList scales_list(const std::vector<ListEntry>& entries) { return list_of(ListKind::scales, entries); }

const ListEntry kPentatonic{"Pentatonic scale", "1 9/8 5/4 3/2 5/3 2", "", ""};
const ListEntry kMajor{"Major diatonic scale", "1 9/8 5/4 4/3 3/2 5/3 15/8 2", "", ""};
const ListEntry kMeantone{"Meantone-ish major", "1 193 cents 386 cents 503 cents 697 cents 890 cents 1083 cents 2", "",
                          ""};
const ListEntry kLink{"More lists", "other.lsc", "", "other.lsc"};

TEST(SearchWords, WhichEntriesMatch) {
    struct Case {
        std::string_view words;
        bool exact;
        std::string_view entry;
        bool matches;
    };
    const Case cases[] = {
        // Exact match decides for unmarked words; "*" marks a word's beginning, "~" any part,
        // "#" a whole word.
        {"penta", false, "Pentatonic scale", true}, {"penta", true, "Pentatonic scale", false},
        {"*penta", true, "Pentatonic scale", true}, {"~TONIC", true, "Heptatonic", true},
        {"#penta", false, "Pentatonic scale", false}, {"#penta", false, "PENTA scale", true},
        {"penta", true, "(penta)", true},  // separators part the entry's words
        // The first matching pair decides; with no pair matched, only words that are all
        // exclusions keep the entry.
        {"major !scale", false, "Major diatonic scale", true}, {"major !scale", false, "Pentatonic scale", false},
        {"major !scale", false, "Slendro", false}, {"!scale", false, "Slendro", true},
        // Ratios and note names are words: the parts must be next to each other.
        {"3/2", false, "Pure fifths of 3/2 stacked", true}, {"3/2", false, "A third of 5/4 and a fourth 4/3", false},
        {"3/2", false, "3 notes in 2 octaves", false}, {"#C#", false, "Mode on C# minor", true},
    };
    for (const Case& c : cases) {
        const bool matches = entry_matches(c.entry, read_search_words(c.words, c.exact));
        EXPECT_EQ(matches, c.matches) << c.words << " in " << c.entry;
    }
}

TEST(SearchTool, AnExclusionKeepsEveryEntryWithoutTheWord) {
    ScaleList list = scales_list({kPentatonic, kMajor, kMeantone, kLink});
    DirectRun direct;
    RecordingReporter reporter;
    const SearchJob job{"!scale", false, ListPart::descriptions, "main window"};
    const SearchResult result = search_list(list, job, direct.run, reporter);
    EXPECT_EQ(result.matches, 2);
    EXPECT_EQ(descriptions(list), (std::vector<std::string>{"Meantone-ish major", "More lists"}));
    EXPECT_EQ(reporter.entries().back().message,
              "Searched scale descriptions in main window for any of these:\n!scale\n\nMatching entries found: 2"
              "\n\nOriginal list: 3 entries (+ 1 list)");
    EXPECT_EQ(reporter.entries().back().caption, "Search now");
}

TEST(SearchTool, NothingMatchingKeepsTheListAndDuplicatesAreRemoved) {
    ScaleList list = scales_list({kPentatonic, kMajor});
    const ScaleList before = list;
    DirectRun direct;
    RecordingReporter reporter;
    search_list(list, {"slendro", false, ListPart::descriptions, "main window"}, direct.run, reporter);
    EXPECT_EQ(list, before);
    EXPECT_TRUE(reporter.entries().back().message.ends_with(
        "Original list: 2 entries\n\nNo matching entries found, so keeping original"));

    ScaleList doubled = scales_list({kPentatonic, kMajor, kPentatonic});
    const SearchResult result =
        search_list(doubled, {"scale", false, ListPart::descriptions, "main window"}, direct.run, reporter);
    EXPECT_EQ(result.duplicates.count, 1);
    EXPECT_EQ(descriptions(doubled), (std::vector<std::string>{"Pentatonic scale", "Major diatonic scale"}));
    EXPECT_TRUE(reporter.entries().back().message.ends_with(
        "\n\n1 duplicate entries found and removed, last one was:\nPentatonic scale\n1 9/8 5/4 3/2 5/3 2"));

    search_list(doubled, {" \t", false, ListPart::definitions, "main window"}, direct.run, reporter);
    EXPECT_EQ(reporter.entries().back().message,
              "No words to look for\n\nYou need to type something in the Words to find box");
}

TEST(SearchTool, OfTwoDuplicatesTheEntryWithAListOfModesIsKept) {
    std::vector<ListEntry> entries{{"Pelog", "1 11/10 6/5 7/5 3/2 8/5 9/5 2", ":", ""},
                                   {"Pelog", "1 11/10 6/5 7/5 3/2 8/5 9/5 2", "__7_tone_modes_of_pelog.lmd", ""},
                                   {"Other", "1 n(1/5)", "", ""}};
    const auto removed = remove_duplicate_entries(entries);
    EXPECT_EQ(removed.count, 1);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].modes_file, "__7_tone_modes_of_pelog.lmd");
    EXPECT_EQ(entries[1].description, "Other");
}

// Fixed-width fields in template order; descending letters invert so that a plain compare
// runs backwards.
TEST(SortKeys, FieldsInTemplateOrder) {
    const ListEntry triad{"Triad", "1 5/4 3/2 2", "", ""};
    constexpr auto definitions = ListPart::definitions;
    struct Case {
        ListEntry entry;
        std::size_t position;
        std::string_view sort_template;
        ListKind kind;
        ListPart part;
        std::string_view key;
    };
    const Case cases[] = {
        {kPentatonic, 3, "n", ListKind::scales, definitions, "n____5_____3"},
        {kPentatonic, 3, "-n", ListKind::scales, definitions, "n__995_____3"},
        // Steps 9/8 10/9 6/5 10/9 6/5, from the largest; the inner order (the counts) descending.
        {kPentatonic, 1, "~-i", ListKind::scales, definitions, "i___1.20000__998___1.12500__999___1.11111__998_____1"},
        {kPentatonic, 1, "r (a comment)", ListKind::scales, definitions, "r_______8____1"},
        {kPentatonic, 1, "r", ListKind::scales, ListPart::descriptions, "r_(ignored_for_scale_descriptions)____1"},
        {{"Major", "0 2 4 5 7 9 11 12", "", ""}, 2, "ti", ListKind::modes, definitions,
         "t_(ignored_for_modes)i___2.00____5___1.00____2_____2"},
        {kLink, 7, "n", ListKind::scales, definitions, "zzzzz_-_link_to_another_list____7"},
        {{"az09", "1 2", "", ""}, 1, "-a", ListKind::scales, ListPart::descriptions, "a_za90____1"},
        // Superparticular intervals up to the top note: 5/4 3/2 2/1 from the base, 6/5 8/5 from
        // 5/4, 4/3 from 3/2; all but 8/5. Round the period ("o"), each note to the others:
        // 5/4 3/2 | 6/5 8/5 | 4/3 5/3; the octave is not among them.
        {triad, 1, "t", ListKind::scales, definitions, "t____5_____1"},
        {triad, 1, "kt", ListKind::scales, definitions, "t____5_____1"},
        {triad, 1, "ot", ListKind::scales, definitions, "t____4_____1"},
        {triad, 1, "s", ListKind::scales, definitions,
         "s___5.0____1___4.0____1___3.0____1___2.0____1___1.0____1_____1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sort_key(c.entry, c.position, c.sort_template, c.kind, c.part), c.key) << c.sort_template;
    }
}

TEST(SortTool, LeastNotesFirstOrMostWithMinus) {
    ScaleList list = scales_list({kMajor, kPentatonic, kLink, kMeantone});
    DirectRun direct;
    RecordingReporter reporter;
    const SortResult result = sort_list(list, "n", ListPart::definitions, true, direct.run, reporter);
    EXPECT_EQ(result.entries, 4U);
    EXPECT_EQ(descriptions(list), (std::vector<std::string>{"Pentatonic scale", "Major diatonic scale",
                                                            "Meantone-ish major", "More lists"}));
    sort_list(list, "-n", ListPart::definitions, true, direct.run, reporter);
    EXPECT_EQ(descriptions(list), (std::vector<std::string>{"Major diatonic scale", "Meantone-ish major",
                                                            "Pentatonic scale", "More lists"}));
    EXPECT_EQ(list.entries[0].description, "Clear");  // the fixed entries stay first
    EXPECT_TRUE(reporter.entries().empty());
}

std::string equal_steps(int n) {
    std::string text = "1";
    for (int i = 1; i <= n; ++i) text += " n(" + std::to_string(i) + "/" + std::to_string(n) + ")";
    return text;
}

// Counts sort as numbers, not as text, and entries of equal keys keep their order.
TEST(SortTool, NumbersSortByValueAndEqualKeysKeepTheirOrder) {
    ScaleList mix = scales_list({{"twelve", equal_steps(12), "", ""},
                                 {"twenty-two", equal_steps(22), "", ""},
                                 {"three", "1 5/4 3/2 2", "", ""},
                                 {"five", "1 9/8 5/4 3/2 5/3 2", "", ""},
                                 {"seven", "1 9/8 5/4 4/3 3/2 5/3 15/8 2", "", ""}});
    DirectRun direct;
    RecordingReporter reporter;
    sort_list(mix, "n~-i", ListPart::definitions, false, direct.run, reporter);
    EXPECT_EQ(descriptions(mix), (std::vector<std::string>{"three", "five", "seven", "twelve", "twenty-two"}));

    std::vector<ListEntry> twelve_alike;
    for (int i = 1; i <= 12; ++i) twelve_alike.push_back({std::to_string(i), "1 9/8 2", "", ""});
    ScaleList alike = scales_list(twelve_alike);
    sort_list(alike, "n", ListPart::definitions, false, direct.run, reporter);
    EXPECT_EQ(descriptions(alike),
              (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}));
}

TEST(SortTool, DuplicatesAreRemovedUnlessKeptAndAHaltLeavesTheList) {
    ScaleList list = scales_list({kMajor, kPentatonic, kMajor});
    DirectRun direct;
    RecordingReporter reporter;
    ScaleList kept = list;
    sort_list(kept, "a", ListPart::descriptions, false, direct.run, reporter);
    EXPECT_EQ(descriptions(kept).size(), 3U);
    const SortResult result = sort_list(list, "a", ListPart::descriptions, true, direct.run, reporter);
    EXPECT_EQ(result.duplicates.count, 1);
    EXPECT_EQ(reporter.entries().back().message,
              "1 duplicate entries found and removed, last one was:\nMajor diatonic scale\n"
              "1 9/8 5/4 4/3 3/2 5/3 15/8 2");
    EXPECT_EQ(reporter.entries().back().caption, "Sort Now");

    ScaleList untouched = scales_list({kMajor, kPentatonic});
    const ScaleList before = untouched;
    testing::HaltingRun halting(2);
    EXPECT_TRUE(sort_list(untouched, "n", ListPart::definitions, true, halting.run, reporter).halted);
    EXPECT_EQ(untouched, before);
}

TEST(SortTool, AnUnknownLetterIsRefusedWithTheListUnchanged) {
    ScaleList list = scales_list({{"b", "1 n(1/12)", "", ""}, {"a", "1 5/4 3/2 2", "", ""}});
    const ScaleList before = list;
    DirectRun direct;
    RecordingReporter reporter;
    const auto result = sort_list(list, "nx (a comment with x)", ListPart::definitions, false, direct.run, reporter);
    EXPECT_TRUE(result.refused);
    EXPECT_EQ(list, before);
    ASSERT_EQ(reporter.entries().size(), 1u);
    EXPECT_EQ(reporter.entries()[0].message, unknown_sort_letter_message('x'));
    EXPECT_FALSE(unknown_sort_letter("n+~-i <o k (x is a comment)").has_value());
}

}  // namespace
}  // namespace corvane::tools
