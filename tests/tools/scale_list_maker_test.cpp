#include <gtest/gtest.h>

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

TEST(ScaleListMaker, ListsEveryScalaFileInNameOrderAndReportsTheCount) {
    TempFolder folder;
    write_text(folder / "b.SCL", kNumberedScale);
    write_text(folder / "A.scl", kMajorTriad);
    write_text(folder / "notes.txt", "not a scale");
    std::filesystem::create_directory(folder / "folder.scl");  // cannot be read: left out
    write_text(folder / "long.scl", "! long.scl\n" + std::string(30000, 'x') + "\n 1\n 3/2\n");
    DirectRun direct;
    RecordingReporter reporter;
    const ScaleListResult result = make_scale_list_from_folder(job_in(folder), direct.run, reporter);
    ASSERT_TRUE(result.written);
    EXPECT_EQ(result.scales_written, 3);
    // A title that begins like a number gets "#"; cents keep their word; an endless title is
    // cut at the length an entry keeps.
    EXPECT_EQ(slurp(folder / "made.lsc"), "1 5/4 3/2 2/1 Just major triad\r\n1 315.789 cents 3/1  #12 out of 19-tET\r\n"
                                          "1 3/2 " + std::string(20480, 'x') + "\r\n");
    ASSERT_EQ(reporter.entries().size(), 1U);
    EXPECT_TRUE(reporter.entries()[0].message.starts_with("List of 3 scales completed\nfile name " +
                                                           (folder / "made.lsc").string() + "\n\nTime taken "));
    EXPECT_EQ(reporter.entries()[0].caption, "List of Scales");
}

TEST(ScaleListMaker, AnEmptyFolderIsReportedAndReplacingOrTakingTheDefaultNameAsksFirst) {
    TempFolder folder;
    DirectRun direct;
    RecordingReporter says_no(Answer::no);
    EXPECT_FALSE(make_scale_list_from_folder(job_in(folder), direct.run, says_no).written);
    ASSERT_EQ(says_no.entries().size(), 1U);
    EXPECT_TRUE(says_no.entries()[0].message.starts_with("No SCALA scales found in folder " +
                                                          folder.path().string() + "\n\nClick Browse..."));

    write_text(folder / "a.scl", kMajorTriad);
    write_text(folder / "made.lsc", "old");
    EXPECT_FALSE(make_scale_list_from_folder(job_in(folder), direct.run, says_no).written);
    EXPECT_EQ(says_no.entries().back().message, "File made.lsc already exists in folder " + folder.path().string() +
                                                    "\n\nReplace existing list of scales?");
    EXPECT_EQ(slurp(folder / "made.lsc"), "old");

    EXPECT_FALSE(make_scale_list_from_folder(job_in(folder, "  "), direct.run, says_no).written);
    EXPECT_EQ(says_no.entries().back().message, "Blank name for list of scales. Use default \"SCALA Scales.lsc\"?");
    EXPECT_FALSE(std::filesystem::exists(folder / "SCALA Scales.lsc"));

    // The settings reach each line: here the original file name.
    ScaleListJob job = job_in(folder, "");
    job.settings.scala_show_original_filename = true;
    RecordingReporter says_yes(Answer::yes);
    EXPECT_TRUE(make_scale_list_from_folder(job, direct.run, says_yes).written);
    EXPECT_EQ(slurp(folder / "SCALA Scales.lsc"), "1 5/4 3/2 2/1 a.scl | Just major triad\r\n");
}

}  // namespace
}  // namespace corvane::tools
