#include "corvane/engine/seed.h"

#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace corvane::engine {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<int> seed_of(std::string_view text, SeedStrictness strictness = SeedStrictness::lenient) {
    const auto reading = read_seed(text, strictness);
    return reading ? reading->values : std::vector<int>{-999};
}

// Values are expressions truncated toward zero; the annotations of a composition file end the
// seed; a test word is skipped and remembered; strict reading refuses what is not a number.
TEST(ReadSeed, ReadsValuesUpToTheAnnotationsOfACompositionFile) {
    EXPECT_THAT(seed_of("3 -1 2.7 -2.7 7/2 \t 1e1"), ElementsAre(3, -1, 2, -2, 3, 10));
    EXPECT_THAT(seed_of(""), IsEmpty());
    EXPECT_THAT(seed_of("   "), IsEmpty());
    EXPECT_THAT(seed_of("0 1 2 1 v 1 2 3 4"), ElementsAre(0, 1, 2, 1));
    EXPECT_THAT(seed_of("0 1 VELOCITY 5"), ElementsAre(0, 1));
    EXPECT_THAT(seed_of("0 1 ;comment 5"), ElementsAre(0, 1));
    EXPECT_THAT(seed_of("0 1 durations 1 1"), ElementsAre(0, 1));
    EXPECT_THAT(seed_of("0 #r 1"), ElementsAre(0));
    EXPECT_THAT(seed_of("0 #S 1"), ElementsAre(0));
    EXPECT_THAT(seed_of("0 #x 1"), ElementsAre(0, 0, 1));  // not a stop word: read as a (non-)number
    EXPECT_THAT(seed_of("0 x 1"), ElementsAre(0, 0, 1));
    EXPECT_FALSE(read_seed("0 x 1", SeedStrictness::strict));
    const auto reading = read_seed("0 TEST 1 test2 2", SeedStrictness::strict);
    ASSERT_TRUE(reading);
    EXPECT_THAT(reading->values, ElementsAre(0, 1, 2));
    EXPECT_TRUE(reading->contains_test);
    EXPECT_FALSE(read_seed("0 1 2", SeedStrictness::strict)->contains_test);
}

TEST(ReadSeed, KeepsAtMostAThousandValues) {
    std::string text;
    for (int i = 0; i < 1200; ++i) text += std::to_string(i % 7) + " ";
    EXPECT_EQ(seed_of(text).size(), 1000u);
}

TEST(BuiltinSeeds, AreTheTenOfferedSeedsInOrderAndAllRead) {
    const auto seeds = builtin_seeds();
    ASSERT_EQ(seeds.size(), 10u);
    EXPECT_EQ(seeds.front(), "0 1");
    EXPECT_EQ(seeds[5], "2 -1 1 0 3");
    EXPECT_EQ(seeds.back(), "0 1 2 1 -1 2 3 1");
    for (const auto seed : seeds) EXPECT_TRUE(read_seed(seed, SeedStrictness::strict)) << seed;
}

TEST(SeedsDropList, IsOneSeedALine) {
    EXPECT_THAT(seeds_drop_list_lines("0 1\r\n0 2 1\r\n\r\n0 3"), ElementsAre("0 1", "0 2 1", "", "0 3"));
    EXPECT_EQ(no_text_editor_message("C:\\Corvane"),
              "Couldn't find the application associated with text files.\n\nTo edit the seeds drop list, use a text "
              "editor such as Notepad to open the file \"musical seeds drop list.txt\" in the folder \"C:\\Corvane\"");
    EXPECT_EQ(text_editor_failed_message("Access denied", "D:\\"),
              "Unable to spawn process for the application associated with text files.\n\nDetails:\nAccess denied\n"
              "To edit the seeds drop list, use a text editor such as Notepad to open the file \"musical seeds drop "
              "list.txt\" in the folder \"D:\\\"");
}

}  // namespace
}  // namespace corvane::engine
