#include "corvane/tuning/scala.h"

#include <cmath>
#include <filesystem>

#include <gtest/gtest.h>

#include "../temp_folder.h"

namespace corvane::tuning {
namespace {

constexpr std::string_view kSmall =
    "! small.scl\r\n!\r\ntest\r\n 3\r\n!\r\n 100.0\r\n 3/2\r\n 2/1\r\n";

TEST(ScalaText, ReadsCentsRatiosAndTheDescription) {
    const auto s = read_scala_text(kSmall);
    EXPECT_EQ(s.description, "test");
    EXPECT_EQ(s.expected_notes, 3);
    EXPECT_EQ(s.notes_read, 3);
    ASSERT_EQ(s.last_index(), 3);
    EXPECT_EQ(s.entries[0], 0.0);
    EXPECT_DOUBLE_EQ(s.entries[1], std::exp2(100.0 / 1200) - 1);
    EXPECT_DOUBLE_EQ(s.entries[2], 0.5);
    EXPECT_DOUBLE_EQ(s.entries[3], 1.0);
    EXPECT_EQ(s.title_note, "");
    EXPECT_EQ(s.scale_text, "1 100.0 cents 3/2 2/1 ");
}

TEST(ScalaText, NotesTheWrongCountAndANonOctavePeriod) {
    const auto miscounted = read_scala_text("test\n4\n100.0\n3/2\n2/1\n");
    EXPECT_EQ(miscounted.title_note, " (3 notes - expected 4) ");
    const auto tritave = read_scala_text("BP\n2\n9/7\n3/1\n");
    EXPECT_EQ(tritave.title_note, "~");
    EXPECT_FALSE(tritave.is_octave_scale());
    EXPECT_EQ(read_scala_text("x\n3\n3/1\n").title_note, "~ (1 notes - expected 3) ");
}

TEST(ScalaText, IgnoresTextAfterValuesAndAcceptsCentsWords) {
    const auto s = read_scala_text("desc\n 3\n 492.000 cents fourth\n 3/2 fifth ! comment\n 2 octave\n");
    ASSERT_EQ(s.notes_read, 3);
    EXPECT_DOUBLE_EQ(s.entries[1], std::exp2(492.0 / 1200) - 1);
    EXPECT_DOUBLE_EQ(s.entries[2], 0.5);
    EXPECT_DOUBLE_EQ(s.entries[3], 1.0);
    EXPECT_EQ(s.scale_text, "1 492.000 cents 3/2 2 ");
}

TEST(ScalaText, NegativeCentsHugeRatiosAndLoneCarriageReturns) {
    const auto s = read_scala_text("d\r2\r-5.5\r1709671705179880612640625/1208925819614629174706176\r");
    ASSERT_EQ(s.notes_read, 2);
    EXPECT_DOUBLE_EQ(s.entries[1], std::exp2(-5.5 / 1200) - 1);
    EXPECT_NEAR(s.entries[2], 1709671705179880612640625.0 / 1208925819614629174706176.0 - 1, 1e-15);
}

// A note count beyond any int is held at the limit; an empty description is kept, and steps
// accumulate when asked.
TEST(ScalaText, HugeCountsEmptyDescriptionsAndSteps) {
    const ScalaReading r = read_scala_text("huge\n-8882030549448\n3/2\n");
    EXPECT_EQ(r.expected_notes, -2147483647 - 1);
    EXPECT_EQ(r.entries.size(), 2u);
    const auto s = read_scala_text("\n2\n9/8\n9/8\n", ListNotation::steps);
    EXPECT_EQ(s.description, "");
    EXPECT_DOUBLE_EQ(s.entries[2], 81.0 / 64 - 1);
}

TEST(ScalaText, CycleRoundEntries) {
    EXPECT_EQ(cycle_round_entries_arpeggio(3), "0 1 2 3 0");
    EXPECT_EQ(cycle_round_entries_message(3), "Cycle round entries 0 to 3");
}

// Every scale of the public archive, written by many hands, reads with its stated count.
TEST(ScalaArchive, EveryFileReadsWithItsStatedNoteCount) {
    const std::filesystem::path folder = std::filesystem::path(CORVANE_SHARED_DATA) / "scl";
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no archive at " << folder;
    int files = 0;
    std::vector<std::string> mismatched;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".scl") continue;
        ++files;
        const auto s = read_scala_text(corvane::testing::slurp(entry.path()));
        for (double e : s.entries) ASSERT_TRUE(std::isfinite(e)) << entry.path();
        if (s.notes_read != s.expected_notes) mismatched.push_back(entry.path().filename().string());
    }
    EXPECT_GT(files, 5000);
    EXPECT_TRUE(mismatched.empty()) << mismatched.size() << " files, first " << mismatched.front();
}

}  // namespace
}  // namespace corvane::tuning
