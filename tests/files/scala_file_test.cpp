// Scala files: writing a scale, the title a read scale takes, and every Scala file of the
// shared archive written back and read again.
#include "corvane/files/scala_file.h"

#include <cmath>
#include <filesystem>

#include <gtest/gtest.h>

#include "corvane/files/whole_file.h"

namespace corvane::files {
namespace {

std::string written(std::string_view title, const std::vector<double>& scale) {
    SaveBuffer out;
    write_scl(out, "test.scl", title, scale);
    return out.take();
}

// A scale from unison is written from its second pitch; a first pitch within 1e-12 of unison
// still counts as the unison, a little more does not.
TEST(ScalaWriting, AScaleFromUnisonIsWrittenFromItsSecondPitch) {
    const std::vector<double> scale{0, 0.125, 0.25, std::exp2(700.0 / 1200) - 1, 1};
    EXPECT_EQ(written("Mixed", scale), "! test.scl\r\n!\r\nMixed\r\n 4\r\n!\r\n 9/8\r\n 5/4\r\n 700.0\r\n 2/1\r\n");
    EXPECT_EQ(written("Near", {5e-13, 0.5, 1}), "! test.scl\r\n!\r\nNear\r\n 2\r\n!\r\n 3/2\r\n 2/1\r\n");
    EXPECT_TRUE(written("Off", {2e-12, 0.5, 1}).starts_with("! test.scl\r\n!\r\nOff\r\n 100\r\n"));
    // A pitch of ratio 0 or below has no cents: it is written as those of the lowest ratio, 1e-50, which reads.
    EXPECT_EQ(written("Floor", {0, -1, -2}), "! test.scl\r\n!\r\nFloor\r\n 2\r\n!\r\n -199315.6856932417\r\n"
                                            " -199315.6856932417\r\n");
}

TEST(ScalaWriting, AScaleNotFromUnisonIsACycleOfHundredSteps) {
    const std::string text = written("Harmonics", {1});  // the harmonic series: each step adds the lowest note
    EXPECT_TRUE(text.starts_with("! test.scl\r\n!\r\nHarmonics\r\n 100\r\n!\r\n 2/1\r\n 3/1\r\n 4/1\r\n"));
    EXPECT_TRUE(text.ends_with(" 101/1\r\n"));

    const auto reading = tuning::read_scala_text(written("Two steps", {0.5, 0.25}));
    ASSERT_EQ(reading.notes_read, 100);
    EXPECT_DOUBLE_EQ(reading.entries[1], 0.5);
    EXPECT_DOUBLE_EQ(reading.entries[2], 0.75);
    EXPECT_DOUBLE_EQ(reading.entries[3], 1.25);
}

TEST(ScalaTitle, TakesItsNoteAndOptionallyTheFileName) {
    const auto reading = tuning::read_scala_text("! x\r\n Tritave scale \r\n 3\r\n 9/7\r\n 7/3\r\n 3/1\r\n");
    Settings s;
    EXPECT_EQ(scala_scale_title(reading, "bp.scl", s), "Tritave scale");
    s.scala_show_if_last_note_is_other_than_octave = true;
    EXPECT_EQ(scala_scale_title(reading, "bp.scl", s), "~Tritave scale");
    s.scala_show_original_filename = true;
    EXPECT_EQ(scala_scale_title(reading, "bp.scl", s), "~bp.scl | Tritave scale");

    const auto short_one = tuning::read_scala_text("Short\r\n 4\r\n 3/2\r\n 2/1\r\n");
    const Settings defaults;
    EXPECT_EQ(scala_scale_title(short_one, "s.scl", defaults), " (2 notes - expected 4) Short");
}

// Every file of the archive, written by many hands, reads with its stated count of notes, all
// finite; written back and read again, it gives the same pitches.
TEST(ScalaArchive, EveryFileReadsWithItsStatedCountAndWrittenBackReadsTheSame) {
    const std::filesystem::path folder = std::string(CORVANE_SHARED_DATA) + "/scl";
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no Scala archive at " << folder;
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".scl") continue;
        const auto text = read_whole_file(entry.path());
        ASSERT_TRUE(text.has_value()) << entry.path();
        const auto first = tuning::read_scala_text(*text);
        EXPECT_EQ(first.notes_read, first.expected_notes) << entry.path();
        for (const double e : first.entries) ASSERT_TRUE(std::isfinite(e)) << entry.path();
        SaveBuffer out;
        write_scl(out, entry.path().filename().string(), first.description, first.entries);
        const auto second = tuning::read_scala_text(out.text());
        ASSERT_EQ(second.entries.size(), first.entries.size()) << entry.path();
        for (std::size_t i = 0; i < first.entries.size(); ++i) {
            const double a = first.entries[i] + 1;
            const double b = second.entries[i] + 1;
            ASSERT_NEAR(a, b, 1e-9 * std::max(1.0, std::fabs(a))) << entry.path() << " pitch " << i;
        }
        EXPECT_EQ(second.description, first.description) << entry.path();
        ++compared;
    }
    EXPECT_GT(compared, 5000);
}

}  // namespace
}  // namespace corvane::files
