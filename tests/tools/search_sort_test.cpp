#include <gtest/gtest.h>

#include "corvane/tools/search_sort.h"
#include "tools_test_support.h"

namespace corvane::tools {
namespace {

using files::ListEntry;
using files::ListKind;
using files::ScaleList;
using platform::RecordingReporter;
using testing::DirectRun;

ScaleList scales_list(std::vector<ListEntry> entries) {
    ScaleList list;
    list.entries = files::fixed_first_entries(ListKind::scales);
    list.entries.insert(list.entries.end(), entries.begin(), entries.end());
    return list;
}

std::vector<std::string> descriptions_after_fixed(const ScaleList& list) {
    std::vector<std::string> out;
    for (const auto& e : list.entries) {
        if (!files::is_fixed_entry(e)) out.push_back(e.description);
    }
    return out;
}

const ListEntry kPentatonic{"Pentatonic scale", "1 9/8 5/4 3/2 5/3 2", "", ""};
const ListEntry kMajor{"Major diatonic scale", "1 9/8 5/4 4/3 3/2 5/3 15/8 2", "", ""};
const ListEntry kMeantone{"Meantone-ish major", "1 193 cents 386 cents 503 cents 697 cents 890 cents 1083 cents 2", "",
                          ""};
const ListEntry kLink{"More lists", "other.lsc", "", "other.lsc"};

TEST(SearchWords, ExactMatchDecidesForUnmarkedWords) {
    const auto begins = read_search_words("penta", false);
    const auto whole = read_search_words("penta", true);
    const auto marked = read_search_words("*penta", true);
    EXPECT_TRUE(entry_matches("Pentatonic scale", begins));
    EXPECT_FALSE(entry_matches("Pentatonic scale", whole));
    EXPECT_TRUE(entry_matches("Pentatonic scale", marked));
    EXPECT_TRUE(entry_matches("(penta)", whole));  // separators part the entry's words
    EXPECT_TRUE(entry_matches("Heptatonic", read_search_words("~TONIC", true)));
    EXPECT_FALSE(entry_matches("Pentatonic scale", read_search_words("#penta", false)));  // "#": whole words
    EXPECT_TRUE(entry_matches("PENTA scale", read_search_words("#penta", false)));
}

TEST(SearchWords, TheFirstMatchingPairDecides) {
    const auto words = read_search_words("major !scale", false);
    EXPECT_TRUE(entry_matches("Major diatonic scale", words));  // "Major" comes first
    EXPECT_FALSE(entry_matches("Pentatonic scale", words));
    EXPECT_FALSE(entry_matches("Slendro", words));  // no pair matched, and not all are exclusions
    EXPECT_TRUE(entry_matches("Slendro", read_search_words("!scale", false)));
}

TEST(SearchTool, AnExclusionKeepsEveryEntryWithoutTheWord) {
    ScaleList list = scales_list({kPentatonic, kMajor, kMeantone, kLink});
    DirectRun direct;
    RecordingReporter reporter;
    const SearchJob job{"!scale", false, ListPart::descriptions, "main window"};
    const SearchResult result = search_list(list, job, direct.run, reporter);
    EXPECT_EQ(result.matches, 2);
    EXPECT_EQ(descriptions_after_fixed(list), (std::vector<std::string>{"Meantone-ish major", "More lists"}));
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
    EXPECT_EQ(descriptions_after_fixed(doubled), (std::vector<std::string>{"Pentatonic scale", "Major diatonic scale"}));
    EXPECT_TRUE(reporter.entries().back().message.ends_with(
        "\n\n1 duplicate entries found and removed, last one was:\nPentatonic scale\n1 9/8 5/4 3/2 5/3 2"));

    search_list(doubled, {" \t", false, ListPart::definitions, "main window"}, direct.run, reporter);
    EXPECT_EQ(reporter.entries().back().message,
              "No words to look for\n\nYou need to type something in the Words to find box");
}

TEST(SortKeys, FixedWidthFieldsInTemplateOrder) {
    EXPECT_EQ(sort_key(kPentatonic, 3, "n", ListKind::scales, ListPart::definitions), "n____5_____3");
    EXPECT_EQ(sort_key(kPentatonic, 3, "-n", ListKind::scales, ListPart::definitions), "n__995_____3");
    // Steps 9/8 10/9 6/5 10/9 6/5, from the largest; the inner order (the counts) descending.
    EXPECT_EQ(sort_key(kPentatonic, 1, "~-i", ListKind::scales, ListPart::definitions),
              "i___1.20000__998___1.12500__999___1.11111__998_____1");
    EXPECT_EQ(sort_key(kPentatonic, 1, "r (a comment)", ListKind::scales, ListPart::definitions), "r_______8____1");
    EXPECT_EQ(sort_key(kPentatonic, 1, "r", ListKind::scales, ListPart::descriptions),
              "r_(ignored_for_scale_descriptions)____1");
    EXPECT_EQ(sort_key({"Major", "0 2 4 5 7 9 11 12", "", ""}, 2, "ti", ListKind::modes, ListPart::definitions),
              "t_(ignored_for_modes)i___2.00____5___1.00____2_____2");
    EXPECT_EQ(sort_key(kLink, 7, "n", ListKind::scales, ListPart::definitions), "zzzzz_-_link_to_another_list____7");
    // Descending letters invert so that a plain compare runs backwards.
    EXPECT_EQ(sort_key({"az09", "1 2", "", ""}, 1, "-a", ListKind::scales, ListPart::descriptions), "a_za90____1");
}

TEST(SortKeys, SuperparticularIntervalsUpToTheTopOrRoundThePeriod) {
    const ListEntry triad{"Triad", "1 5/4 3/2 2", "", ""};
    // Up to the top note: 5/4 3/2 2/1 from the base, 6/5 8/5 from 5/4, 4/3 from 3/2; all but 8/5.
    EXPECT_EQ(sort_key(triad, 1, "t", ListKind::scales, ListPart::definitions), "t____5_____1");
    EXPECT_EQ(sort_key(triad, 1, "kt", ListKind::scales, ListPart::definitions), "t____5_____1");
    // Round the period, each note to the others: 5/4 3/2 | 6/5 8/5 | 4/3 5/3; the octave is not among them.
    EXPECT_EQ(sort_key(triad, 1, "ot", ListKind::scales, ListPart::definitions), "t____4_____1");
    EXPECT_EQ(sort_key(triad, 1, "s", ListKind::scales, ListPart::definitions),
              "s___5.0____1___4.0____1___3.0____1___2.0____1___1.0____1_____1");
}

TEST(SortTool, LeastNotesFirstOrMostWithMinus) {
    ScaleList list = scales_list({kMajor, kPentatonic, kLink, kMeantone});
    DirectRun direct;
    RecordingReporter reporter;
    const SortResult result = sort_list(list, "n", ListPart::definitions, true, direct.run, reporter);
    EXPECT_EQ(result.entries, 4U);
    EXPECT_EQ(descriptions_after_fixed(list), (std::vector<std::string>{"Pentatonic scale", "Major diatonic scale",
                                                                        "Meantone-ish major", "More lists"}));
    sort_list(list, "-n", ListPart::definitions, true, direct.run, reporter);
    EXPECT_EQ(descriptions_after_fixed(list), (std::vector<std::string>{"Major diatonic scale", "Meantone-ish major",
                                                                        "Pentatonic scale", "More lists"}));
    EXPECT_EQ(list.entries[0].description, "Clear");  // the fixed entries stay first
    EXPECT_TRUE(reporter.entries().empty());
}

TEST(SortTool, DuplicatesAreRemovedUnlessKeptAndAHaltLeavesTheList) {
    ScaleList list = scales_list({kMajor, kPentatonic, kMajor});
    DirectRun direct;
    RecordingReporter reporter;
    ScaleList kept = list;
    sort_list(kept, "a", ListPart::descriptions, false, direct.run, reporter);
    EXPECT_EQ(descriptions_after_fixed(kept).size(), 3U);
    const SortResult result = sort_list(list, "a", ListPart::descriptions, true, direct.run, reporter);
    EXPECT_EQ(result.duplicates.count, 1);
    EXPECT_EQ(reporter.entries().back().message,
              "1 duplicate entries found and removed, last one was:\nMajor diatonic scale\n1 9/8 5/4 4/3 3/2 5/3 15/8 2");
    EXPECT_EQ(reporter.entries().back().caption, "Sort Now");

    ScaleList untouched = scales_list({kMajor, kPentatonic});
    const ScaleList before = untouched;
    testing::HaltingRun halting(2);
    EXPECT_TRUE(sort_list(untouched, "n", ListPart::definitions, true, halting.run, reporter).halted);
    EXPECT_EQ(untouched, before);
}

}  // namespace
}  // namespace corvane::tools
