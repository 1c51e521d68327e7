#include <gtest/gtest.h>

#include "corvane/tools/rearrangements.h"
#include "corvane/tools/superparticular.h"
#include "tools_test_support.h"

namespace corvane::tools {
namespace {

using files::ListKind;
using platform::Answer;
using platform::RecordingReporter;
using testing::DirectRun;
using testing::kFormat;
using testing::list_of;
using testing::superparticular_search;

// Each set of steps once, the largest steps first, and the report gives the bounds searched.
TEST(Superparticular, EachSetOfStepsOnceLargestFirst) {
    SuperparticularSearch s = superparticular_search(2, 2);
    s.largest_step = 1;  // not above the smallest: no upper bound
    DirectRun direct;
    const SuperparticularResult result = find_superparticular_scales(s, kFormat, direct.run);
    ASSERT_EQ(result.scales.size(), 1U);  // 3/2 4/3, as the scale commands' table shows
    EXPECT_EQ(superparticular_report(s, result, kFormat, 0.5),
              "List of 1 superparticular scales completed\n\n2 notes, top note 2, min interval for search "
              "81/80, min interval found 4/3\n\nPlaced in scales drop down list\n\nExtra memory allocated to "
              "speed search: 100.0 Kb, actually used 0.0 Kb\nTime taken: 0.50 secs");

    SuperparticularSearch three_or_four = superparticular_search(4, 2);
    three_or_four.sps_min_nnotes = 3;
    // Within the default range of 81/80 to 5/4.
    EXPECT_EQ(find_superparticular_scales(three_or_four, kFormat, direct.run).scales.at(0).description,
              "5/4 5/4 6/5 16/15 ");

    const SuperparticularResult none = find_superparticular_scales(superparticular_search(2, 1), kFormat, direct.run);
    EXPECT_TRUE(none.scales.empty());
    EXPECT_TRUE(superparticular_report(superparticular_search(2, 1), none, kFormat, 0)
                    .starts_with("No superparticular scales found for these values:\n\n2 notes, top note 1, range "
                                 "of intervals for search 81/80 - 5/4\nExtra memory"));
}

// A search whose tolerance once let through near misses by the dozen: every scale found ends
// on the top note itself.
TEST(Superparticular, EveryScaleReachesTheTopExactly) {
    SuperparticularSearch search = superparticular_search(5, 1.25);
    search.smallest_step = 1;
    search.largest_step = 1.125;
    search.sps_maxscales = 6;
    DirectRun direct;
    const auto result = find_superparticular_scales(search, kFormat, direct.run);
    ASSERT_EQ(result.scales.size(), 6u);
    for (const auto& scale : result.scales) {
        const std::string& d = scale.definition;
        EXPECT_EQ(d.substr(d.rfind(' ', d.size() - 2) + 1), "5/4 ") << d;
    }
}

TEST(Superparticular, TheLimitOrAHaltStopsTheSearchAndIsReported) {
    SuperparticularSearch s = superparticular_search(7, 2);
    s.sps_maxscales = 1;
    DirectRun direct;
    const SuperparticularResult result = find_superparticular_scales(s, kFormat, direct.run);
    EXPECT_EQ(result.scales.size(), 1U);
    EXPECT_NE(superparticular_report(s, result, kFormat, 0).find(
                  "\nStopped search at this point - reached max number of scales to find\n"),
              std::string::npos);

    SuperparticularSearch search = superparticular_search(9, 2);  // a long search
    search.smallest_step = 1;
    std::vector<ToolProgress> shown;
    DirectRun halting(0, [&](const ToolProgress& p) {
        shown.push_back(p);
        halting.halt = true;  // the halt button, pressed when the first progress shows
    });
    const auto halted = find_superparticular_scales(search, kFormat, halting.run);
    EXPECT_TRUE(halted.halted);
    ASSERT_FALSE(shown.empty());
    EXPECT_TRUE(shown[0].item.starts_with("largest step ")) << shown[0].item;
    EXPECT_TRUE(
        superparticular_report(search, halted, kFormat, 1).starts_with("Search for superparticular scales halted"));
}

TEST(Rearrangements, DistinctOrdersOfAllScalesSkipScalesMadeBeforeAndAListOfModesIsRefused) {
    files::ScaleList list = list_of(ListKind::scales, {{"A", "1 9/8 81/64 45/32", "", ""},
                                                       {"B", "1 10/9 5/4 45/32", "", ""},  // the same steps again
                                                       {"Link", "x.lsc", "", "x.lsc"}});
    DirectRun direct;
    RecordingReporter reporter;
    rearrangements_tool(list, std::nullopt, kFormat, direct.run, reporter);
    EXPECT_EQ(list.entries.size(), 2U + 3U);
    EXPECT_EQ(reporter.entries().back().message,
              "List of 3 re-arrangements of ALL scale's intervals completed.\n\n2 scales in original list, max of 3 "
              "new scales for a single entry in original list\n\nDuplicate scales found and skipped: 3\n\nMax "
              "duplicates of prev. scales skipped for single scale 3");
    EXPECT_EQ(reporter.entries().back().caption, "Find all re-arrangements");
    // Equal steps give only the distinct orders, also when a list has rounded them: three steps
    // of 400 cents, each pitch rounded to 1e-5 cents, have one order.
    const auto augmented =
        find_rearrangements({{"augmented", "1 400.00001 cents 799.99999 cents 2", "", ""}}, kFormat, direct.run);
    EXPECT_EQ(augmented.scales.size(), 1u);

    files::ScaleList modes = list_of(ListKind::modes, {{"Major", "0 2 4 5 7 9 11 12", "", ""}});
    const auto before = modes.entries;
    reporter.clear();
    EXPECT_TRUE(rearrangements_tool(modes, std::nullopt, kFormat, direct.run, reporter).scales.empty());
    EXPECT_EQ(modes.entries, before);
    ASSERT_EQ(reporter.entries().size(), 1u);
    EXPECT_EQ(reporter.entries()[0].message, kModesNotRearrangedMessage);
}

// More orderings than the limit: the tool asks first and makes no more; a halt keeps what was made.
TEST(Rearrangements, TheLimitAsksFirstAndTheLimitOrAHaltEndsTheList) {
    // Sixteen different steps: 16! orderings.
    std::string definition = "1";
    double cents = 0;
    for (int i = 1; i <= 16; ++i) definition += " " + std::to_string(static_cast<int>(cents += 60 + i)) + " cents";
    files::ScaleList list = list_of(ListKind::scales, {{"sixteen", definition, "", ""}});
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

    DirectRun halting(3);
    const auto halted = find_rearrangements({{"four", "1 9/8 5/4 4/3 2", "", ""}}, kFormat, halting.run);
    EXPECT_TRUE(halted.halted);
    EXPECT_EQ(halted.scales.size(), 2u);  // the orderings made before the halt are kept
    EXPECT_TRUE(rearrangements_report(halted, false)
                    .starts_with("List of 2 re-arrangements of selected scale's intervals halted"));
}

}  // namespace
}  // namespace corvane::tools
