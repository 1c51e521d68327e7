#include <gtest/gtest.h>

#include "corvane/tools/search_sort.h"
#include "tools_test_support.h"

namespace corvane::tools {
namespace {

using namespace corvane::tools::testing;
using files::ListEntry;
using files::ListKind;
using files::ScaleList;
using platform::RecordingReporter;

const ListEntry kPentatonic{"Pentatonic scale", "1 9/8 5/4 3/2 5/3 2", "", ""};
const ListEntry kMajor{"Major diatonic scale", "1 9/8 5/4 4/3 3/2 5/3 15/8 2", "", ""};
const ListEntry kMeantone{"Meantone-ish major", "1 193 cents 386 cents 503 cents 697 cents 890 cents 1083 cents 2", "",
                          ""};
const ListEntry kLink{"More lists", "other.lsc", "", "other.lsc"};

// Which entries the words match; then the report says what was looked for and found, with
// nothing found the list stays, and of what was found duplicates are removed.
TEST(SearchTool, WhichEntriesMatchThenTheMatchesOrTheWholeListAreKeptAndDuplicatesRemoved) {
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

    DirectRun direct;
    RecordingReporter reporter;
    ScaleList list = list_of(ListKind::scales, {kPentatonic, kMajor, kMeantone, kLink});
    const SearchJob job{"!scale", false, ListPart::descriptions, "main window"};
    EXPECT_EQ(search_list(list, job, direct.run, reporter).matches, 2);
    std::string lists = list_text(list);

    ScaleList doubled = list_of(ListKind::scales, {kPentatonic, kMajor, kPentatonic});
    // Nothing found: the list stays, as the duplicate found by the next search shows.
    search_list(doubled, {"slendro", false, ListPart::descriptions, "main window"}, direct.run, reporter);
    search_list(doubled, {"scale", false, ListPart::descriptions, "main window"}, direct.run, reporter);
    lists += list_text(doubled);
    search_list(doubled, {" \t", false, ListPart::definitions, "main window"}, direct.run, reporter);
    // The two lists found, then the four reports: two found, none found, one duplicate gone, no words.
    expect_output_as_kept(lists + messages_text(reporter), "tools/expected/search_results.txt");
}

// Fixed-width fields in template order; descending letters invert so that a plain compare
// runs backwards. Counts and links are checked by the order a sort gives, below.
TEST(SortTool, KeysInTemplateOrderThenSortsByTheTemplateAndLeavesTheListWhenHaltedOrRefused) {
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
        // Steps 9/8 10/9 6/5 10/9 6/5, from the largest; the inner order (the counts) descending.
        {kPentatonic, 1, "~-i", ListKind::scales, definitions, "i_1:1.20000_-?:7_1:1.12500_-?:8_1:1.11111_-?:7__1:1"},
        {kPentatonic, 1, "r (a comment)", ListKind::scales, definitions, "r_1:8__1:1"},
        {kPentatonic, 1, "r", ListKind::scales, ListPart::descriptions, "r_(ignored_for_scale_descriptions)_1:1"},
        {{"Major", "0 2 4 5 7 9 11 12", "", ""}, 2, "ti", ListKind::modes, definitions,
         "t_(ignored_for_modes)i_1:2.00_1:5_1:1.00_1:2__1:2"},
        // Descending, sizes and counts negated: "-", the whole digits' count and the digits
        // turned round ("-?:7.99" is -2, before -1's "-?:8.99").
        {{"Major", "0 2 4 5 7 9 11 12", "", ""}, 2, "-i", ListKind::modes, definitions,
         "i_-?:7.99_-?:4_-?:8.99_-?:7__1:2"},
        {{"az09", "1 2", "", ""}, 1, "-a", ListKind::scales, ListPart::descriptions, "a_za90_1:1"},
        // Superparticular intervals up to the top note: 5/4 3/2 2/1 from the base, 6/5 8/5 from
        // 5/4, 4/3 from 3/2; all but 8/5. Round the period ("o"), each note to the others:
        // 5/4 3/2 | 6/5 8/5 | 4/3 5/3; the octave is not among them.
        {triad, 1, "t", ListKind::scales, definitions, "t_1:5__1:1"},
        {triad, 1, "kt", ListKind::scales, definitions, "t_1:5__1:1"},
        {triad, 1, "ot", ListKind::scales, definitions, "t_1:4__1:1"},
        {triad, 1, "s", ListKind::scales, definitions,
         "s_1:5.0_1:1_1:4.0_1:1_1:3.0_1:1_1:2.0_1:1_1:1.0_1:1__1:1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sort_key(c.entry, c.position, c.sort_template, c.kind, c.part), c.key) << c.sort_template;
    }

    // Least notes first (or most, with "-"), links last, the fixed entries kept first;
    // duplicates go only when asked, and are reported; a halt or an unknown letter leaves the
    // list as it was.
    // Of two duplicates the one with a list of modes stays (":" names none).
    const ListEntry major_without{kMajor.description, kMajor.definition, ":", ""};
    const ListEntry major_with_modes{kMajor.description, kMajor.definition, "major.lmd", ""};
    // Twelve notes sort after seven as a number, not as text.
    const ListEntry chromatic{"Chromatic", "1 16/15 9/8 6/5 5/4 4/3 45/32 3/2 8/5 5/3 9/5 15/8 2", "", ""};
    ScaleList list =
        list_of(ListKind::scales, {chromatic, major_without, kPentatonic, kLink, kMeantone, major_with_modes});
    DirectRun direct;
    RecordingReporter reporter;
    EXPECT_EQ(sort_list(list, "n", ListPart::definitions, false, direct.run, reporter).entries, 6U);
    EXPECT_EQ(list.entries[0].description, "Clear");
    std::string lists = list_text(list);
    EXPECT_EQ(sort_list(list, "-n", ListPart::definitions, true, direct.run, reporter).duplicates.count, 1);
    // Sorted by notes, then by most notes with the duplicate gone, then the report of it.
    expect_output_as_kept(lists + list_text(list) + messages_text(reporter), "tools/expected/sorted_lists.txt");

    const ScaleList sorted = list;
    DirectRun halting(2);
    EXPECT_TRUE(sort_list(list, "n", ListPart::definitions, true, halting.run, reporter).halted);
    EXPECT_EQ(list, sorted);
    reporter.clear();
    EXPECT_TRUE(sort_list(list, "nx (a comment with x)", ListPart::definitions, false, direct.run, reporter).refused);
    EXPECT_EQ(list, sorted);
    ASSERT_EQ(reporter.entries().size(), 1u);
    EXPECT_EQ(reporter.entries()[0].message, unknown_sort_letter_message('x'));
    EXPECT_FALSE(unknown_sort_letter("n+~-i <o k (x is a comment)").has_value());
}

// Numbers sort by value at any size or sign: a repeated degree (a step of 0), a falling step,
// a superparticular 1001/1000 beside 1000/999, an entry's place in a long list.
TEST(SortTool, NumbersSortByValueWhateverTheirSizeOrSign) {
    struct Case {
        ListKind kind;
        std::string_view sort_template;
        std::vector<ListEntry> entries;  // each named for its place after the sort
    };
    const Case cases[] = {
        {ListKind::modes, "-i", {{"3", "0 0", "", ""}, {"2", "0 1", "", ""}, {"1", "0 2", "", ""}}},
        {ListKind::modes, "i", {{"2", "0 0", "", ""}, {"1", "0 -1", "", ""}}},
        {ListKind::scales, "s", {{"2", "1 1001/1000 2", "", ""}, {"1", "1 1000/999 2", "", ""}}},
    };
    DirectRun direct;
    RecordingReporter reporter;
    for (const Case& c : cases) {
        ScaleList list = list_of(c.kind, c.entries);
        sort_list(list, c.sort_template, ListPart::definitions, false, direct.run, reporter);
        std::string order;
        for (std::size_t i = list.entries.size() - c.entries.size(); i < list.entries.size(); ++i) {
            order += list.entries[i].description;
        }
        EXPECT_EQ(order, std::string("123").substr(0, c.entries.size())) << c.sort_template;
    }
    // Equal keys keep their order past the 9999th entry.
    std::vector<ListEntry> same(10001, ListEntry{"", "1 2", "", ""});
    for (std::size_t i = 0; i < same.size(); ++i) same[i].description = std::to_string(i);
    ScaleList list = list_of(ListKind::scales, same);
    sort_list(list, "n", ListPart::definitions, false, direct.run, reporter);
    EXPECT_EQ(list.entries[list.entries.size() - 2].description, "9999");
}

}  // namespace
}  // namespace corvane::tools
