#include <gtest/gtest.h>

#include "corvane/tools/rearrangements.h"
#include "corvane/tools/superparticular.h"
#include "tools_test_support.h"

namespace corvane::tools {
namespace {

using files::ListEntry;
using platform::RecordingReporter;
using testing::DirectRun;

const tuning::PitchFormat kFormat = tuning::PitchFormat::configuration_defaults();

SuperparticularSearch search_for(int notes, double top) {
    SuperparticularSearch s;
    s.sps_nnotes = notes;
    s.sps_min_nnotes = notes;
    s.dsps_topnote = top;
    return s;
}

TEST(Superparticular, TwoNotesToTheOctaveIsFifthAndFourthOnce) {
    SuperparticularSearch s = search_for(2, 2);
    s.largest_step = 1;  // not above the smallest: no upper bound
    DirectRun direct;
    const SuperparticularResult result = find_superparticular_scales(s, kFormat, direct.run);
    ASSERT_EQ(result.scales.size(), 1U);
    EXPECT_EQ(result.scales[0].description, "3/2 4/3 ");
    EXPECT_EQ(result.scales[0].definition, "1 3/2 2 ");
    EXPECT_EQ(result.scales[0].modes_file, ":");
    EXPECT_EQ(result.smallest_step_n, 3);
    const std::string report = superparticular_report(s, result, kFormat, 0.5);
    EXPECT_EQ(report, "List of 1 superparticular scales completed\n\n2 notes, top note 2, min interval for search "
                      "81/80, min interval found 4/3\n\nPlaced in scales drop down list\n\nExtra memory allocated to "
                      "speed search: 100.0 Kb, actually used 0.0 Kb\nTime taken: 0.50 secs");
}

TEST(Superparticular, TheLargestStepsComeFirst) {
    SuperparticularSearch s = search_for(4, 2);
    s.sps_min_nnotes = 3;
    DirectRun direct;
    const SuperparticularResult result = find_superparticular_scales(s, kFormat, direct.run);
    ASSERT_FALSE(result.scales.empty());
    // Within the default range of 81/80 to 5/4, the largest steps come first.
    EXPECT_EQ(result.scales.front().description, "5/4 5/4 6/5 16/15 ");
}

TEST(Superparticular, TheLimitStopsTheSearchAndIsReported) {
    SuperparticularSearch s = search_for(7, 2);
    s.sps_maxscales = 1;
    DirectRun direct;
    const SuperparticularResult result = find_superparticular_scales(s, kFormat, direct.run);
    EXPECT_EQ(result.scales.size(), 1U);
    EXPECT_TRUE(result.reached_limit);
    EXPECT_NE(superparticular_report(s, result, kFormat, 0).find(
                  "\nStopped search at this point - reached max number of scales to find\n"),
              std::string::npos);

    const SuperparticularResult none = find_superparticular_scales(search_for(2, 1), kFormat, direct.run);
    EXPECT_TRUE(none.scales.empty());
    EXPECT_TRUE(superparticular_report(search_for(2, 1), none, kFormat, 0)
                    .starts_with("No superparticular scales found for these values:\n\n2 notes, top note 1, range "
                                 "of intervals for search 81/80 - 5/4\nExtra memory"));
}

TEST(Superparticular, TheToolFillsTheListAndHaltsWithWhatItFound) {
    files::ScaleList list;
    list.entries = files::fixed_first_entries(list.kind);
    list.entries.push_back({"Old", "1 2", "", ""});
    testing::HaltingRun halting(1);
    halting.halt = true;
    RecordingReporter reporter;
    const auto halted = superparticular_tool(list, search_for(7, 2), kFormat, halting.run, reporter);
    EXPECT_TRUE(halted.halted);
    EXPECT_EQ(list.entries.size(), 3U);  // nothing found: the list stays
    DirectRun direct;
    superparticular_tool(list, search_for(5, 2), kFormat, direct.run, reporter);
    EXPECT_GT(list.entries.size(), 3U);
    EXPECT_EQ(list.entries[2].modes_file, ":");
    EXPECT_EQ(reporter.entries().back().caption, "Find all superparticular scales");
}

TEST(Rearrangements, EqualStepsGiveOnlyTheDistinctOrders) {
    const ListEntry scale{"Steps", "1 9/8 81/64 45/32", "", ""};  // 9/8 9/8 10/9
    DirectRun direct;
    const RearrangementsResult result = find_rearrangements({scale}, kFormat, direct.run);
    ASSERT_EQ(result.scales.size(), 3U);
    EXPECT_EQ(result.scales[0].description, "10/9 9/8 9/8 ");
    EXPECT_EQ(result.scales[0].definition, "1 10/9 5/4 45/32 ");
    EXPECT_EQ(result.scales[1].description, "9/8 10/9 9/8 ");
    EXPECT_EQ(result.scales[2].definition, "1 9/8 81/64 45/32 ");
    EXPECT_EQ(result.duplicates, 0);
    EXPECT_EQ(rearrangements_report(result, false), "List of 3 re-arrangements of selected scale's intervals completed");
}

TEST(Rearrangements, AllScalesSkipScalesMadeBefore) {
    files::ScaleList list;
    list.entries = files::fixed_first_entries(list.kind);
    list.entries.push_back({"A", "1 9/8 81/64 45/32", "", ""});
    list.entries.push_back({"B", "1 10/9 5/4 45/32", "", ""});  // the same steps again
    list.entries.push_back({"Link", "x.lsc", "", "x.lsc"});
    DirectRun direct;
    RecordingReporter reporter;
    const RearrangementsResult result = rearrangements_tool(list, std::nullopt, kFormat, direct.run, reporter);
    EXPECT_EQ(result.original_scales, 2);
    EXPECT_EQ(result.duplicates, 3);
    EXPECT_EQ(list.entries.size(), 2U + 3U);
    EXPECT_EQ(reporter.entries().back().message,
              "List of 3 re-arrangements of ALL scale's intervals completed.\n\n2 scales in original list, max of 3 "
              "new scales for a single entry in original list\n\nDuplicate scales found and skipped: 3\n\nMax "
              "duplicates of prev. scales skipped for single scale 3");
    EXPECT_EQ(reporter.entries().back().caption, "Find all re-arrangements");
}

}  // namespace
}  // namespace corvane::tools
