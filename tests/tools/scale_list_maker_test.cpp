#include <gtest/gtest.h>

#include "corvane/files/scale_list.h"
#include "corvane/tools/scale_list_maker.h"
#include "tools_test_support.h"

namespace corvane::tools {
namespace {

using platform::Answer;
using platform::RecordingReporter;
using testing::DirectRun;
using testing::slurp;
using testing::TempFolder;
using testing::write_text;

constexpr std::string_view kMajorTriad = "! triad.scl\n!\nJust major triad\n 3\n!\n 5/4\n 3/2\n 2/1\n";
constexpr std::string_view kNumberedScale = "! 12.scl\n12 out of 19-tET\n 2\n 315.789 cents\n 3/1\n";

ScaleListJob job_in(const TempFolder& folder, std::string name = "made.lsc") {
    ScaleListJob job;
    job.folder = folder.path();
    job.list_name = std::move(name);
    job.program_folder = folder.path();
    return job;
}

TEST(ScaleListLine, DefinitionAsWrittenThenTheTitle) {
    // The default lines are checked in the list made below; here the file name and the "~".
    files::Settings s;
    s.scala_show_original_filename = true;
    s.scala_show_if_last_note_is_other_than_octave = true;
    EXPECT_EQ(scale_list_line(kNumberedScale, "12.scl", s), "1 315.789 cents 3/1  #~12.scl | 12 out of 19-tET\r\n");
}

TEST(ScaleListMaker, ListsEveryScalaFileInNameOrderAndReportsTheCount) {
    TempFolder folder;
    write_text(folder / "b.SCL", kNumberedScale);
    write_text(folder / "A.scl", kMajorTriad);
    write_text(folder / "notes.txt", "not a scale");
    DirectRun direct;
    RecordingReporter reporter;
    const ScaleListResult result = make_scale_list_from_folder(job_in(folder), direct.run, reporter);
    ASSERT_TRUE(result.written);
    EXPECT_EQ(result.scales_written, 2);
    // A title that begins like a number gets "#"; cents keep their word.
    EXPECT_EQ(slurp(folder / "made.lsc"),
              "1 5/4 3/2 2/1 Just major triad\r\n1 315.789 cents 3/1  #12 out of 19-tET\r\n");
    ASSERT_EQ(reporter.entries().size(), 1U);
    EXPECT_TRUE(reporter.entries()[0].message.starts_with("List of 2 scales completed\nfile name " +
                                                           (folder / "made.lsc").string() + "\n\nTime taken "));
    EXPECT_EQ(reporter.entries()[0].caption, "List of Scales");

    const auto back = files::read_scale_list(slurp(folder / "made.lsc"), files::ListKind::scales).list;
    ASSERT_EQ(back.entries.size(), 4U);  // after "Clear" and "Follow scale"
    EXPECT_EQ(back.entries[3].description, "12 out of 19-tET");
    EXPECT_EQ(back.entries[3].definition, "1 315.789 cents 3/1");
}

TEST(ScaleListMaker, AsksBeforeReplacingAndBeforeTakingTheDefaultName) {
    TempFolder folder;
    write_text(folder / "a.scl", kMajorTriad);
    write_text(folder / "made.lsc", "old");
    DirectRun direct;
    RecordingReporter says_no(Answer::no);
    EXPECT_FALSE(make_scale_list_from_folder(job_in(folder), direct.run, says_no).written);
    EXPECT_EQ(says_no.entries().back().message, "File made.lsc already exists in folder " + folder.path().string() +
                                                    "\n\nReplace existing list of scales?");
    EXPECT_EQ(slurp(folder / "made.lsc"), "old");

    says_no.clear();
    EXPECT_FALSE(make_scale_list_from_folder(job_in(folder, "  "), direct.run, says_no).written);
    EXPECT_EQ(says_no.entries().back().message, "Blank name for list of scales. Use default \"SCALA Scales.lsc\"?");
    EXPECT_FALSE(std::filesystem::exists(folder / "SCALA Scales.lsc"));

    RecordingReporter says_yes(Answer::yes);
    EXPECT_TRUE(make_scale_list_from_folder(job_in(folder, ""), direct.run, says_yes).written);
    EXPECT_TRUE(std::filesystem::exists(folder / "SCALA Scales.lsc"));
}

TEST(ScaleListMaker, AnEmptyFolderSaysWhereScalesCanBeFound) {
    TempFolder folder;
    DirectRun direct;
    RecordingReporter reporter;
    EXPECT_FALSE(make_scale_list_from_folder(job_in(folder), direct.run, reporter).written);
    ASSERT_EQ(reporter.entries().size(), 1U);
    EXPECT_TRUE(reporter.entries()[0].message.starts_with("No SCALA scales found in folder " +
                                                           folder.path().string() + "\n\nClick Browse..."));
}

TEST(ScaleListMaker, HaltingHalfWayWritesAValidListOfTheFilesReached) {
    TempFolder folder;
    for (int i = 0; i < 30; ++i) write_text(folder / ("s" + std::to_string(100 + i) + ".scl"), kMajorTriad);
    testing::HaltingRun halting(12);  // the halt is seen before the 12th file
    RecordingReporter reporter;
    const ScaleListResult result = make_scale_list_from_folder(job_in(folder), halting.run, reporter);
    EXPECT_TRUE(result.halted);
    EXPECT_EQ(result.scales_written, 11);
    EXPECT_EQ(result.last_file, "s110.scl");
    const auto back = files::read_scale_list(slurp(folder / "made.lsc"), files::ListKind::scales).list;
    EXPECT_EQ(back.entries.size(), 2U + 11U);
    EXPECT_TRUE(reporter.entries().back().message.starts_with("List of 11 scales completed"));
}

}  // namespace
}  // namespace corvane::tools
