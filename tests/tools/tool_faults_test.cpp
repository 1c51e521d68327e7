// The scale tools where they once wrote wrong pitches, sorted numbers as text, lost a list
// of modes or stopped without saying so: each case as it was found.

#include <cmath>

#include <gtest/gtest.h>

#include "corvane/tools/mode_lists.h"
#include "corvane/tools/rearrangements.h"
#include "corvane/tools/search_sort.h"
#include "corvane/tools/superparticular.h"
#include "corvane/tuning/pitch_list.h"
#include "tools_test_support.h"

namespace corvane::tools {
namespace {

using files::ListEntry;
using files::ListKind;
using files::ScaleList;
using platform::Answer;
using platform::RecordingReporter;
using testing::DirectRun;
using testing::slurp;
using testing::TempFolder;
using testing::write_text;

const tuning::PitchFormat kFormat = tuning::PitchFormat::configuration_defaults();

ScaleList list_of(ListKind kind, std::vector<ListEntry> entries) {
    ScaleList list;
    list.kind = kind;
    list.entries = files::fixed_first_entries(kind);
    list.entries.insert(list.entries.end(), entries.begin(), entries.end());
    return list;
}

std::vector<double> pitches_of(const std::string& definition) {
    return tuning::read_pitch_list(definition, tuning::PitchForm::ratio, tuning::ListNotation::absolute, 261.63).entries;
}

std::vector<std::string> descriptions(const ScaleList& list) {
    std::vector<std::string> out;
    for (const auto& e : list.entries) {
        if (!files::is_fixed_entry(e)) out.push_back(e.description);
    }
    return out;
}

// ---- re-arrangements ----------------------------------------------------------------------

TEST(RearrangementFaults, ScalesInCentsComeBackAsTheSamePitches) {
    DirectRun direct;
    const auto result = find_rearrangements({{"semitones", "1 n(1/12) n(2/12) 2", "", ""}}, kFormat, direct.run);
    ASSERT_EQ(result.scales.size(), 3u);  // 100 100 1000, 100 1000 100, 1000 100 100
    for (const auto& scale : result.scales) {
        const auto pitches = pitches_of(scale.definition);  // increment form: ratio - 1
        ASSERT_EQ(pitches.size(), 4u) << scale.definition;
        EXPECT_NEAR(pitches.back(), 1.0, 1e-12) << scale.definition;  // the octave, not 100 or 200
        for (const double p : pitches) EXPECT_LT(p, 1.0 + 1e-12) << scale.definition;
    }
}

TEST(RearrangementFaults, StepsEqualToFiveDecimalsOfACentAreOneSize) {
    DirectRun direct;
    // Three steps of 400 cents, written as a list keeps them: each pitch rounded to 1e-5 cents.
    const auto result = find_rearrangements({{"augmented", "1 400.00001 cents 799.99999 cents 2", "", ""}}, kFormat,
                                            direct.run);
    EXPECT_EQ(result.scales.size(), 1u);
}

TEST(RearrangementFaults, AListOfModesIsRefused) {
    ScaleList modes = list_of(ListKind::modes, {{"Major", "0 2 4 5 7 9 11 12", "", ""}});
    const auto before = modes.entries;
    DirectRun direct;
    RecordingReporter reporter;
    const auto result = rearrangements_tool(modes, std::nullopt, kFormat, direct.run, reporter);
    EXPECT_TRUE(result.scales.empty());
    EXPECT_EQ(modes.entries.size(), before.size());
    ASSERT_EQ(reporter.entries().size(), 1u);
    EXPECT_EQ(reporter.entries()[0].message, kModesNotRearrangedMessage);
}

TEST(RearrangementFaults, MoreThanTheLimitAsksFirstAndMakesNoMore) {
    // Sixteen different steps: 16! orderings.
    std::string definition = "1";
    double cents = 0;
    for (int i = 1; i <= 16; ++i) definition += " " + std::to_string(static_cast<int>(cents += 60 + i)) + " cents";
    ScaleList list = list_of(ListKind::scales, {{"sixteen", definition, "", ""}});
    DirectRun direct;
    RecordingReporter no(Answer::no);
    EXPECT_TRUE(rearrangements_tool(list, list.entries.size() - 1, kFormat, direct.run, no, 500).scales.empty());
    EXPECT_EQ(no.entries()[0].message, too_many_rearrangements_question(2.0922789888e13, 500));
    RecordingReporter yes(Answer::yes);
    const auto made = rearrangements_tool(list, list.entries.size() - 1, kFormat, direct.run, yes, 500);
    EXPECT_EQ(made.scales.size(), 500u);
    EXPECT_TRUE(made.reached_limit);
    EXPECT_EQ(yes.entries().back().message, "List of 500 re-arrangements of selected scale's intervals stopped at the "
                                            "limit");
}

TEST(RearrangementFaults, AHaltIsSaidToBeOne) {
    testing::HaltingRun halting(3);
    const auto result = find_rearrangements({{"four", "1 9/8 5/4 4/3 2", "", ""}}, kFormat, halting.run);
    EXPECT_TRUE(result.halted);
    EXPECT_EQ(result.scales.size(), 2u);  // the orderings made before the halt are kept
    EXPECT_EQ(rearrangements_report(result, false).rfind("List of 2 re-arrangements of selected scale's intervals "
                                                         "halted", 0),
              0u);
}

// ---- superparticular scales ----------------------------------------------------------------

TEST(SuperparticularFaults, EveryScaleReachesTheTopExactly) {
    SuperparticularSearch search;
    search.sps_nnotes = 5;
    search.sps_min_nnotes = 5;
    search.dsps_topnote = 1.25;
    search.smallest_step = 1;
    search.largest_step = 1.125;
    search.sps_maxscales = 6;  // a search whose tolerance once let through near misses by the dozen
    DirectRun direct;
    const auto result = find_superparticular_scales(search, kFormat, direct.run);
    ASSERT_EQ(result.scales.size(), 6u);
    for (const auto& scale : result.scales) {
        const std::string& d = scale.definition;
        EXPECT_EQ(d.substr(d.rfind(' ', d.size() - 2) + 1), "5/4 ") << d;
    }
}

TEST(SuperparticularFaults, AHaltIsSaidToBeOneAndProgressIsShown) {
    SuperparticularSearch search;
    search.sps_nnotes = 9;  // a long search
    search.sps_min_nnotes = 9;
    search.dsps_topnote = 2;
    search.smallest_step = 1;
    search.largest_step = 1.25;
    std::vector<ToolProgress> shown;
    std::atomic<bool> halt{false};
    std::atomic<bool> exit{false};
    PriorityChecks checks;
    ToolRun run(halt, exit, checks, [&](const ToolProgress& p) {
        shown.push_back(p);
        halt = true;  // the halt button, pressed when the first progress shows
    });
    const auto result = find_superparticular_scales(search, kFormat, run);
    EXPECT_TRUE(result.halted);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown[0].item.rfind("largest step ", 0), 0u) << shown[0].item;
    EXPECT_EQ(superparticular_report(search, result, kFormat, 1).rfind("Search for superparticular scales halted", 0),
              0u);
}

// ---- search and sort -----------------------------------------------------------------------

std::string equal_steps(int n) {
    std::string text = "1";
    for (int i = 1; i <= n; ++i) text += " n(" + std::to_string(i) + "/" + std::to_string(n) + ")";
    return text;
}

TEST(SortFaults, NumbersSortByValueAndEqualKeysKeepTheirOrder) {
    ScaleList mix = list_of(ListKind::scales, {{"twelve", equal_steps(12), "", ""},
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
    ScaleList alike = list_of(ListKind::scales, twelve_alike);
    sort_list(alike, "n", ListPart::definitions, false, direct.run, reporter);
    EXPECT_EQ(descriptions(alike),
              (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}));
}

TEST(SortFaults, AnUnknownLetterIsRefusedWithTheListUnchanged) {
    ScaleList list = list_of(ListKind::scales, {{"b", "1 n(1/12)", "", ""}, {"a", "1 5/4 3/2 2", "", ""}});
    const auto before = descriptions(list);
    DirectRun direct;
    RecordingReporter reporter;
    const auto result = sort_list(list, "nx (a comment with x)", ListPart::definitions, false, direct.run, reporter);
    EXPECT_TRUE(result.refused);
    EXPECT_EQ(descriptions(list), before);
    ASSERT_EQ(reporter.entries().size(), 1u);
    EXPECT_EQ(reporter.entries()[0].message, unknown_sort_letter_message('x'));
    EXPECT_FALSE(unknown_sort_letter("n+~-i <o k (x is a comment)").has_value());
}

TEST(SearchFaults, RatiosAndNoteNamesAreFound) {
    const auto fifth = read_search_words("3/2", false);
    EXPECT_TRUE(entry_matches("Pure fifths of 3/2 stacked", fifth));
    EXPECT_FALSE(entry_matches("A third of 5/4 and a fourth 4/3", fifth));
    EXPECT_FALSE(entry_matches("3 notes in 2 octaves", fifth));  // the parts must be next to each other... as words
    const auto sharp = read_search_words("#C#", false);
    EXPECT_TRUE(entry_matches("Mode on C# minor", sharp));
}

TEST(DuplicateFaults, TheEntryWithAListOfModesIsTheOneKept) {
    std::vector<ListEntry> entries{{"Pelog", "1 11/10 6/5 7/5 3/2 8/5 9/5 2", ":", ""},
                                   {"Pelog", "1 11/10 6/5 7/5 3/2 8/5 9/5 2", "__7_tone_modes_of_pelog.lmd", ""},
                                   {"Other", "1 n(1/5)", "", ""}};
    const auto removed = remove_duplicate_entries(entries);
    EXPECT_EQ(removed.count, 1);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].modes_file, "__7_tone_modes_of_pelog.lmd");
    EXPECT_EQ(entries[1].description, "Other");
}

// ---- lists of modes ------------------------------------------------------------------------


TEST(ModeListFaults, TheHeadingsStartDecidesItsScale) {
    TempFolder folder;
    RecordingReporter reporter;
    const auto result = testing::mode_lists_from(
        folder, "<HEAD></HEAD>\n<H4>13 tone modes of Bohlen-Pierce scale, octave is 3/1</H4>\n"
        "<TR><TD>2 1 2 1 2 2 1 2</TD><TD>Lambda</TD></TR>\n", reporter);
    ASSERT_EQ(result.lmd_files.size(), 1u) << (reporter.entries().empty() ? "" : reporter.entries().back().message);
    const std::string lmd = slurp(result.lmd_files[0]);
    EXPECT_EQ(lmd.rfind("1 27/25 25/21 9/7 7/5 75/49 5/3 9/5 49/25 15/7 7/3 63/25 25/9 3/1 ! 13 tone modes of "
                        "Bohlen-Pierce scale, octave is 3/1\r\n",
                        0),
              0u)
        << lmd;
}

TEST(ModeListFaults, TwoSectionsOfOneHeadingAreBothKept) {
    TempFolder folder;
    RecordingReporter reporter;
    const auto result = testing::mode_lists_from(
        folder, "<HEAD></HEAD>\n<H4>Modes</H4>\n<TR><TD>2 2 3</TD><TD>First</TD></TR>\n"
        "<H4>Modes</H4>\n<TR><TD>3 2 2</TD><TD>Second</TD></TR>\n", reporter);
    EXPECT_EQ(result.files_written, 2);
    EXPECT_NE(slurp(folder / "Modes.lmd").find("First"), std::string::npos);
    EXPECT_NE(slurp(folder / "Modes_(2).lmd").find("Second"), std::string::npos);
}

TEST(ModeListFaults, AHeadingTooLongForAFileNameIsShortenedAndTheRunGoesOn) {
    TempFolder folder;
    const std::string long_heading = "Modes of " + std::string(300, 'x') + " \xC3\xA9t\xC3\xA9";  // and UTF-8
    RecordingReporter reporter;
    const auto result = testing::mode_lists_from(
        folder, "<HEAD></HEAD>\n<H4>" + long_heading + "</H4>\n<TR><TD>2 2 3</TD><TD>One</TD></TR>\n"
        "<H4>Short</H4>\n<TR><TD>3 2 2</TD><TD>Two</TD></TR>\n", reporter);
    EXPECT_EQ(result.files_written, 2);
    EXPECT_EQ(result.files_failed, 0);
    ASSERT_EQ(result.lmd_files.size(), 2u);
    EXPECT_LE(result.lmd_files[0].filename().string().size(), 255u);
    EXPECT_NE(slurp(result.lmd_files[0]).find("One"), std::string::npos);
    EXPECT_EQ(reporter.entries().back().message.rfind("2 LMD files constructed", 0), 0u);
}

}  // namespace
}  // namespace corvane::tools
