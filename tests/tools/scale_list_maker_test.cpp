#include <gtest/gtest.h>

#include "corvane/tools/scale_list_maker.h"
#include "tools_test_support.h"

namespace corvane::tools {
namespace {

using namespace corvane::tools::testing;
using platform::Answer;
using platform::RecordingReporter;

constexpr std::string_view kMajorTriad = "! triad.scl\n!\nJust major triad\n 3\n!\n 5/4\n 3/2\n 2/1\n";
constexpr std::string_view kNumberedScale = "! 12.scl\n12 out of 19-tET\n 2\n 315.789 cents\n 3/1\n";

// Scala files in the folder listed into it, the program's folder too.
ScaleListJob job_in(const TempFolder& folder, std::string name = "made.lsc") {
    return {folder.path(), std::move(name), folder.path(), {}};
}

// An empty folder is reported; then every Scala file is listed in name order, and replacing
// the list or taking the default name asks first.
TEST(ScaleListMaker, ListsEveryScalaFileInNameOrderAndAsksBeforeReplacingOrTakingTheDefaultName) {
    TempFolder folder;
    DirectRun direct;
    RecordingReporter says_no(Answer::no);
    EXPECT_FALSE(make_scale_list_from_folder(job_in(folder), direct.run, says_no).written);

    write_bytes(folder / "b.SCL", kNumberedScale);
    write_bytes(folder / "A.scl", kMajorTriad);
    write_bytes(folder / "notes.txt", "not a scale");
    std::filesystem::create_directory(folder / "folder.scl");  // cannot be read: left out
    write_bytes(folder / "long.scl", "! long.scl\n" + std::string(30000, 'x') + "\n 1\n 3/2\n");
    RecordingReporter reporter;
    ASSERT_TRUE(make_scale_list_from_folder(job_in(folder), direct.run, reporter).written);
    // A title that begins like a number gets "#"; cents keep their word; an endless title is
    // cut at the length an entry keeps.
    const std::string made = slurp(folder / "made.lsc");
    EXPECT_EQ(made, "1 5/4 3/2 2/1 Just major triad\r\n1 315.789 cents 3/1  #12 out of 19-tET\r\n"
                    "1 3/2 " + std::string(20480, 'x') + "\r\n");
    ASSERT_EQ(reporter.entries().size(), 1U);
    EXPECT_TRUE(reporter.entries()[0].message.starts_with("List of 3 scales completed\nfile name " +
                                                           (folder / "made.lsc").string() + "\n\nTime taken "));

    EXPECT_FALSE(make_scale_list_from_folder(job_in(folder), direct.run, says_no).written);
    EXPECT_EQ(slurp(folder / "made.lsc"), made);

    EXPECT_FALSE(make_scale_list_from_folder(job_in(folder, "  "), direct.run, says_no).written);
    EXPECT_FALSE(std::filesystem::exists(folder / "SCALA Scales.lsc"));
    // No scales in the empty folder, then the questions for replacing the list and for a blank name.
    expect_output_as_kept(messages_text(says_no, folder.path()), "tools/expected/scale_list_refusals.txt");

    // The settings reach each line: here the original file name.
    std::filesystem::remove(folder / "long.scl");
    ScaleListJob job = job_in(folder, "");
    job.settings.scala_show_original_filename = true;
    RecordingReporter says_yes(Answer::yes);
    EXPECT_TRUE(make_scale_list_from_folder(job, direct.run, says_yes).written);
    EXPECT_EQ(slurp(folder / "SCALA Scales.lsc"),
              "1 5/4 3/2 2/1 A.scl | Just major triad\r\n1 315.789 cents 3/1 b.SCL | 12 out of 19-tET\r\n");
}

}  // namespace
}  // namespace corvane::tools
