// Whole-file reading and writing: the bounded save buffer, the messages of failed saves,
// and the old file surviving a save that cannot be completed.
#include "corvane/files/whole_file.h"

#include <system_error>

#include <gtest/gtest.h>

#include "../hostile_files.h"
#include "corvane/files/save_buffer.h"
#include "files_test_support.h"

namespace corvane::files {
namespace {

namespace fs = std::filesystem;
using testing::slurp;
using testing::TempFolder;
using testing::write_text;

TEST(SaveBuffer, TakesAnItemOnlyWhileItLeavesRoomForTheEnd) {
    SaveBuffer out(10);
    EXPECT_EQ(out.append("12345"), 5U);
    EXPECT_EQ(out.append("6789X"), 0U);  // 5 + 5 would fill the buffer
    EXPECT_EQ(out.append("6789"), 4U);   // 9 < 10
    EXPECT_EQ(out.append("X"), 0U);
    EXPECT_EQ(out.text(), "123456789");
}

TEST(SaveBuffer, AFormattedItemGoesInWholeOrNotAtAll) {
    SaveBuffer out(12);
    EXPECT_EQ(append_formatted(out, {"Levels ", "10", "\r\n"}), 11U);
    EXPECT_EQ(append_formatted(out, {"Channel ", "0", "\r\n"}), 0U);
    EXPECT_EQ(out.text(), "Levels 10\r\n");
    EXPECT_EQ(out.capacity(), 12U);
}

TEST(ReadWholeFile, ReadsEverythingOrAtMostTheCallersBufferLessTwo) {
    TempFolder folder;
    write_text(folder / "a.txt", "0123456789");
    EXPECT_EQ(read_whole_file(folder / "a.txt"), "0123456789");
    EXPECT_EQ(read_whole_file(folder / "a.txt", 6), "0123");
    EXPECT_FALSE(read_whole_file(folder / "missing.txt").has_value());
    EXPECT_FALSE(read_whole_file(folder.path()).has_value());
}

TEST(WriteWholeFile, ReplacesTheOldFileAndLeavesNothingElseBehind) {
    TempFolder folder;
    const fs::path path = folder / "tune.cv";
    write_text(path, "old text that is longer than the new one");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    platform::RecordingReporter reporter;
    ASSERT_TRUE(write_whole_file(path, "new\r\n", reporter));
    EXPECT_EQ(slurp(path), "new\r\n");
    EXPECT_TRUE(reporter.entries().empty());
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

TEST(WriteWholeFile, WritesThroughALinkAndKeepsTheLink) {
    TempFolder folder;
    write_text(folder / "real.ini", "old");
    fs::create_symlink(folder / "real.ini", folder / "link.ini");
    platform::RecordingReporter reporter;
    ASSERT_TRUE(write_whole_file(folder / "link.ini", "new", reporter));
    EXPECT_TRUE(fs::is_symlink(folder / "link.ini"));
    EXPECT_EQ(slurp(folder / "real.ini"), "new");
}

TEST(WriteWholeFile, AFullDeviceGivesTheNotEnoughSpaceMessage) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    platform::RecordingReporter reporter;
    EXPECT_FALSE(write_whole_file("/dev/full", "some text", reporter));
    ASSERT_EQ(reporter.entries().size(), 1U);
    EXPECT_EQ(reporter.entries()[0].message,
              "Couldn't complete save to /dev/full\n\nLikely cause, not enough space available on device");
    EXPECT_EQ(reporter.entries()[0].caption, "Error writing to this file");
    EXPECT_TRUE(fs::exists("/dev/full"));
    EXPECT_FALSE(fs::is_regular_file("/dev/full"));
}

TEST(WriteWholeFile, AMissingFolderGivesTheSystemsTextUnderTheSaveCaption) {
    TempFolder folder;
    const fs::path path = folder / "no such folder" / "tune.cv";
    platform::RecordingReporter reporter;
    EXPECT_FALSE(write_whole_file(path, "text", reporter));
    ASSERT_EQ(reporter.entries().size(), 1U);
    EXPECT_EQ(reporter.entries()[0].message, std::generic_category().message(ENOENT));
    EXPECT_EQ(reporter.entries()[0].caption, "Error saving to " + path.string());
}

TEST(WriteWholeFile, TheCaptionIsCutAt260Characters) {
    const std::string long_path = "/" + std::string(400, 'x') + "/tune.cv";
    EXPECT_EQ(error_saving_caption(long_path).size(), 260U);
    EXPECT_EQ(error_saving_caption("/a.cv"), "Error saving to /a.cv");
}

TEST(WriteWholeFile, AnEarlierFileSurvivesASaveThatCannotBeCompleted) {
    TempFolder folder;
    const fs::path path = folder / "Corvane.ini";
    write_text(path, "the earlier file");
    platform::RecordingReporter reporter;
    bool written = true;
    {
        corvane::testing::FileSizeLimit limit(1000);
        written = write_whole_file(path, std::string(5000, 'x'), reporter);
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(slurp(path), "the earlier file");
    ASSERT_EQ(reporter.entries().size(), 1U);
    EXPECT_EQ(reporter.entries()[0].caption, "Error saving to " + path.string());
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace corvane::files
