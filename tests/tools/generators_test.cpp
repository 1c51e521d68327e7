#include <gtest/gtest.h>

#include "corvane/tools/rearrangements.h"
#include "corvane/tools/superparticular.h"
#include "tools_test_support.h"

namespace corvane::tools {
namespace {

using namespace corvane::tools::testing;
using files::ListKind;
using platform::Answer;
using platform::RecordingReporter;

// Each set of steps once, the largest steps first. The reports give the bounds searched, and say
// when none was found, when the limit stopped the search and when it was halted.
TEST(Superparticular, EachSetOfStepsOnceLargestFirstAndTheReports) {
    DirectRun direct;
    // Steps within 81/80 to 5/4, the default.
    const SuperparticularSearch three_or_four{.sps_nnotes = 4, .sps_min_nnotes = 3, .dsps_topnote = 2};
    EXPECT_EQ(find_superparticular_scales(three_or_four, kFormat, direct.run).scales.at(0).description,
              "5/4 5/4 6/5 16/15 ");

    const SuperparticularSearch nothing{.sps_nnotes = 2, .sps_min_nnotes = 2, .dsps_topnote = 1};
    const SuperparticularResult none = find_superparticular_scales(nothing, kFormat, direct.run);

    const SuperparticularSearch limited{.sps_nnotes = 7, .sps_min_nnotes = 7, .sps_maxscales = 1, .dsps_topnote = 2};
    const SuperparticularResult at_limit = find_superparticular_scales(limited, kFormat, direct.run);

    const SuperparticularSearch long_search{
        .sps_nnotes = 9, .sps_min_nnotes = 9, .dsps_topnote = 2, .smallest_step = 1};
    DirectRun halting(1);  // the halt button, pressed at the search's first checkpoint
    const SuperparticularResult halted = find_superparticular_scales(long_search, kFormat, halting.run);

    // The three reports in turn (none found, one at the limit, halted), each followed by "----".
    expect_output_as_kept(superparticular_report(nothing, none, kFormat, 0) + "\n----\n" +
                              superparticular_report(limited, at_limit, kFormat, 0) + "\n----\n" +
                              superparticular_report(long_search, halted, kFormat, 1) + "\n----\n",
                          "tools/expected/superparticular_reports.txt");

    // A cache of 1 kB holds 113 logarithms of 9 bytes, for n up to 112: the step just past it,
    // 114/113, is still found, and the cache is said to be used up to n = 112 and no further.
    const SuperparticularSearch past_cache{.sps_nnotes = 1, .sps_min_nnotes = 1, .dsps_topnote = 114.0 / 113.0,
                                           .dsps_max_memory = 1, .smallest_step = 1};
    const SuperparticularResult beyond = find_superparticular_scales(past_cache, kFormat, direct.run);
    ASSERT_EQ(beyond.scales.size(), 1u);
    EXPECT_EQ(beyond.scales[0].description, "114/113 ");
    EXPECT_EQ(beyond.cache_entries, 113u);
    EXPECT_EQ(beyond.largest_n_cached, 112);

    // A search whose tolerance once let through near misses by the dozen: every scale found
    // ends on the top note itself.
    const SuperparticularSearch search{.sps_nnotes = 5, .sps_min_nnotes = 5, .sps_maxscales = 6,
                                       .dsps_topnote = 1.25, .smallest_step = 1, .largest_step = 1.125};
    const auto result = find_superparticular_scales(search, kFormat, direct.run);
    ASSERT_EQ(result.scales.size(), 6u);
    for (const auto& scale : result.scales) {
        const std::string& d = scale.definition;
        EXPECT_EQ(d.substr(d.rfind(' ', d.size() - 2) + 1), "5/4 ") << d;
    }
}

// Distinct orders of all scales, skipping those made before; a list of modes is refused. More
// orderings than the limit: the tool asks first and makes no more; a halt keeps what was made.
TEST(Rearrangements, DistinctOrdersOfAllScalesAndTheLimitAsksFirstAndTheLimitOrAHaltEndsTheList) {
    files::ScaleList list = list_of(ListKind::scales, {{"A", "1 9/8 81/64 45/32", "", ""},
                                                       {"B", "1 10/9 5/4 45/32", "", ""},  // the same steps again
                                                       {"Link", "x.lsc", "", "x.lsc"}});
    DirectRun direct;
    RecordingReporter reporter;
    rearrangements_tool(list, std::nullopt, kFormat, direct.run, reporter);
    const std::string made = list_text(list);
    // Equal steps give only the distinct orders, also when a list has rounded them: three steps
    // of 400 cents, each pitch rounded to 1e-5 cents, have one order, and it keeps the octave.
    const auto augmented =
        find_rearrangements({{"augmented", "1 400.00001 cents 799.99999 cents 2", "", ""}}, kFormat, direct.run);
    ASSERT_EQ(augmented.scales.size(), 1u);
    EXPECT_EQ(augmented.scales[0].definition, "1 1.2599210353397 1.587401042799 2 ");

    files::ScaleList modes = list_of(ListKind::modes, {{"Major", "0 2 4 5 7 9 11 12", "", ""}});
    const auto before = modes.entries;
    EXPECT_TRUE(rearrangements_tool(modes, std::nullopt, kFormat, direct.run, reporter).scales.empty());
    EXPECT_EQ(modes.entries, before);

    // Sixteen different steps: 16! orderings.
    std::string definition = "1";
    double cents = 0;
    for (int i = 1; i <= 16; ++i) definition += " " + std::to_string(static_cast<int>(cents += 60 + i)) + " cents";
    files::ScaleList sixteen = list_of(ListKind::scales, {{"sixteen", definition, "", ""}});
    RecordingReporter no(Answer::no);
    EXPECT_TRUE(rearrangements_tool(sixteen, 2, kFormat, direct.run, no, 500).scales.empty());
    EXPECT_EQ(no.entries()[0].message, too_many_rearrangements_question(2.0922789888e13, 500));
    RecordingReporter yes(Answer::yes);
    EXPECT_EQ(rearrangements_tool(sixteen, 2, kFormat, direct.run, yes, 500).scales.size(), 500u);

    RearrangementsResult one_duplicate;
    one_duplicate.duplicates = 1;  // a single duplicate is reported too
    EXPECT_NE(rearrangements_report(one_duplicate, false).find("Duplicate scales found and skipped: 1"),
              std::string::npos);

    DirectRun halting(3);
    const auto halted = find_rearrangements({{"four", "1 9/8 5/4 4/3 2", "", ""}}, kFormat, halting.run);
    // The three orders made of all, the report of them, the refusal of the list of modes, the
    // question and report for the sixteen steps (stopped at the limit), then the report of the
    // halted run with the two orders made before the halt.
    expect_output_as_kept(made + messages_text(reporter) + messages_text(yes) + rearrangements_report(halted, false),
                          "tools/expected/rearrangements.txt");
}

}  // namespace
}  // namespace corvane::tools
