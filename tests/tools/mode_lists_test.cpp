#include <gtest/gtest.h>

#include "../hostile_files.h"
#include "corvane/tools/mode_lists.h"
#include "tools_test_support.h"

namespace corvane::tools {
namespace {

using platform::Answer;
using platform::RecordingReporter;
using testing::DirectRun;
using testing::mode_lists_from;
using testing::slurp;
using testing::TempFolder;
using testing::write_text;

// OUR OWN FIXTURE, written from the reading rules: sections with and without a scale, a heading
// the built-in table knows, an equal temperament, rows on one line and over several, HTML as real
// files write it (tags in any case, attributes, entities, an inline tag inside a word), a
// definition followed by words, and two modes of one name.
constexpr std::string_view kOurModeNames = R"(<HEAD><TITLE>Mode names &amp; scales</TITLE></HEAD>
<BODY>
<SCALA_MODENAMES_FORMAT> = 1
<P>Number of names: 7</P>
<h4 class="section">7 tone modes of Pelog</h4>
<table border=1>
<tr><td>1 2 4 1 1 2 1</td><td>Pelog &amp; Selisir</td></tr>
<TR><TD ALIGN=left>2 4 1 1 2 1 1</TD><TD>Tem<LINK REL=x>bung</TD></TR>
</table>
<H4>Gamelan scale: slendro</H4>
<SCALA_SCALE_DESCR> = Slendro, Bali &#38; Java
<SCALA_SCALE_DEF> = 231.0 474.0 (approx.) 717.0 955.0 2/1 (period)
<SCALA_SCALE_DESCR> = Slendro, Surakarta
<SCALA_SCALE_DEF> = 9/8 21/16 3/2 7/4 2/1 7-limit
<TABLE>
<TR>
<TD>0 2 3 5</TD>
<TD>Four notes</TD>
</TR>
<TR><TD>Just a comment row</TD></TR>
</TABLE>
<H4>15 tone equal modes</H4>
<TR><TD>3 3 3 3 3</TD><TD>Pentatonic</TD></TR>
<TR><TD>2 2 2 2 2 2 3</TD><TD>Heptatonic</TD></TR>
<H4>Modes without a scale</H4>
<TR><TD>3 4</TD><TD>Three</TD></TR>
<TR><TD>2 2 2</TD><TD>Three</TD></TR>
</BODY>
)";

// OUR OWN FIXTURE: a file of a later format.
constexpr std::string_view kOurFormatTwo = "<HEAD></HEAD>\n<SCALA_MODENAMES_FORMAT> = 2\n<H4>7 tone modes</H4>\n";

// OUR OWN FIXTURE: plain text, headings ending with ":", and steps so large that their sum once
// overflowed (found by fuzzing): a number no step could be begins the name instead.
constexpr std::string_view kOurPlainNames = "Modes I wrote myself\n12 tone modes:\n2 2 1 2 2 2 1 Major\n"
                                            "2 1 2 2 1 2 2 Minor\n0 6666666066666666666 6666666066666666666 Big\n"
                                            "2 1000000000 1 Largest\n";


// Names from the fixture's headings are checked with their files below.
TEST(ModeNamesReader, FileNamesAndWhatLooksLikeAModesFile) {
    EXPECT_EQ(lmd_file_name("What? <Modes>: \"A|B\""), "What___Modes_,__A_B_.lmd");
    EXPECT_TRUE(looks_like_mode_names("\n  <head lang=en>"));
    EXPECT_TRUE(looks_like_mode_names("<!DOCTYPE html><html>"));
    EXPECT_TRUE(looks_like_mode_names("! modes"));
}

TEST(ModeListsTool, WritesOneListOfModesPerSectionAndTheListOfScales) {
    TempFolder folder;
    RecordingReporter reporter;
    ASSERT_FALSE(mode_lists_from(folder, kOurModeNames, reporter).failed);
    EXPECT_EQ(slurp(folder / "__7_tone_modes_of_Pelog.lmd"),
              "1 122 cents 271 cents 571 cents 677 cents 785 cents 947 cents 2 ! Typical 7 note Pelog scale (M)\r\n"
              "+0 1 3 7 8 9 11 12 Pelog & Selisir\r\n0 2 6 7 8 10 11 12 Tembung\r\n");
    EXPECT_EQ(slurp(folder / "Gamelan_scale,_slendro.lmd"),
              "1 231.0 cents 474.0 cents 717.0 cents 955.0 cents 2/1 ! Slendro, Bali & Java\r\n"
              "+0 2 3 5 Four notes\r\n0 (comment) Just a comment row\r\n");
    EXPECT_EQ(slurp(folder / "_15_tone_equal_modes.lmd"),
              "1 n(1/15) ! 15-tone equal temperament\r\n"
              "+0 3 6 9 12 15 Pentatonic\r\n0 2 4 6 8 10 12 15 Heptatonic\r\n");
    EXPECT_EQ(slurp(folder / "Modes_without_a_scale.lmd"),
              " !Modes without a scale\r\n+0 3 7 Three\r\n0 2 4 6 Three\r\n");
    EXPECT_EQ(slurp(folder / "SCALA Modes.lsc"),
              "@index.lsc@ Index of lists of scales\r\n"
              "+1 122 cents 271 cents 571 cents 677 cents 785 cents 947 cents 2 *__7_tone_modes_of_Pelog.lmd* "
              "Typical 7 note Pelog scale (M)\r\n"
              "1 231.0 cents 474.0 cents 717.0 cents 955.0 cents 2/1 *Gamelan_scale,_slendro.lmd* "
              "Slendro, Bali & Java (M)\r\n"
              "1 9/8 21/16 3/2 7/4 2/1 *Gamelan_scale,_slendro.lmd* Slendro, Surakarta (same M)\r\n"
              "1 n(1/15) *_15_tone_equal_modes.lmd* 15-tone equal temperament (M)\r\n"
              "Modes without a scale\r\n");
    EXPECT_EQ(reporter.entries().back().message,
              "4 LMD files constructed from \"modename.htm\" in folder \"" + folder.path().string() +
                  "\" and saved in program's location folder \"" + folder.path().string() +
                  "\"\n\n7 names read, as expected.");
}

TEST(ModeListsTool, AsksBeforeReplacingAndCancelsOnNo) {
    TempFolder folder;
    write_text(folder / "_15_tone_equal_modes.lmd", "mine");
    RecordingReporter says_no(Answer::no);
    mode_lists_from(folder, kOurModeNames, says_no);
    EXPECT_EQ(says_no.entries().back().message,
              "File \"_15_tone_equal_modes.lmd\" already exists in folder \"" + folder.path().string() +
                  "\"\n\nReplace existing LMD files, and the LSC file \"SCALA Modes.lsc\" with scales for the "
                  "modes?\n\nYes to replace ALL the LMD files with the same names as the new ones, No to cancel.");
    EXPECT_EQ(slurp(folder / "_15_tone_equal_modes.lmd"), "mine");
    EXPECT_FALSE(std::filesystem::exists(folder / "SCALA Modes.lsc"));

    write_text(folder / "SCALA Modes.lsc", "mine");
    says_no.clear();
    mode_lists_from(folder, kOurModeNames, says_no);
    EXPECT_TRUE(says_no.entries().back().message.starts_with(
        "File SCALA Modes.lsc already exists in folder " + folder.path().string() +
        "\n\nThis is the index of scales for the modes, which is synchronised with the modes lists."));
    EXPECT_EQ(slurp(folder / "SCALA Modes.lsc"), "mine");
}

TEST(ModeListsTool, ALaterFormatStopsAndPlainTextNeedsAYes) {
    TempFolder folder;
    RecordingReporter reporter;
    EXPECT_TRUE(mode_lists_from(folder, kOurFormatTwo, reporter).failed);
    EXPECT_EQ(reporter.entries().back().message,
              "\"" + (folder / "modename.htm").string() +
                  "\" is in format 2\n\nVersion 1.082 of CRV recognises format 1\n\nNew releases of CRV understand "
                  "the most recent SCALA mode names format.");

    RecordingReporter says_no(Answer::no);
    mode_lists_from(folder, kOurPlainNames, says_no);
    EXPECT_TRUE(says_no.entries().back().message.starts_with("Expected: file beginning with \"<HEAD>\" or \"!\""));
    EXPECT_FALSE(std::filesystem::exists(folder / "_12_tone_modes.lmd"));
    RecordingReporter says_yes(Answer::yes);
    mode_lists_from(folder, kOurPlainNames, says_yes);
    EXPECT_EQ(slurp(folder / "_12_tone_modes.lmd"), " !12 tone modes\r\n+0 2 4 5 7 9 11 12 Major\r\n"
                                                    "0 2 3 5 7 8 10 12 Minor\r\n"
                                                    "0 #6666666066666666666 6666666066666666666 Big\r\n"
                                                    "0 2 1000000002 1000000003 Largest\r\n");

    // A file too large to take in is refused with the reason.
    make_hostile(corvane::testing::Hostile::huge_sparse, folder / "modename.htm");
    DirectRun direct;
    EXPECT_TRUE(make_mode_lists_from_scala(testing::mode_lists_job(folder), direct.run, reporter).failed);
    EXPECT_EQ(reporter.entries().back().message, "Couldn't read file into memory\n\nInsufficient memory available");
}

// Rows are sorted with their names: two modes of one name stay two.
TEST(ModeListsTool, AMissingHtmIsLookedForAsHtmlAfterAskingAndAutoSortOrdersEachList) {
    TempFolder folder;
    write_text(folder / "modename.html", kOurModeNames);
    ModeListsJob job = testing::mode_lists_job(folder);
    job.settings.scala_auto_sort_lmds = true;
    job.settings.szLMDSortTokenTemplate = "-n";
    DirectRun direct;
    RecordingReporter says_yes(Answer::yes);
    EXPECT_EQ(make_mode_lists_from_scala(job, direct.run, says_yes).files_written, 4);
    EXPECT_EQ(says_yes.entries().front().message, "Can't read from \"" + (folder / "modename.htm").string() +
                                                      "\"\n\nRead from \"" + (folder / "modename.html").string() +
                                                      "\" instead?\n\n(.html instead of .htm)");
    EXPECT_EQ(slurp(folder / "_15_tone_equal_modes.lmd"),
              "1 n(1/15) ! 15-tone equal temperament\r\n"
              "+0 2 4 6 8 10 12 15 Heptatonic\r\n0 3 6 9 12 15 Pentatonic\r\n");
    EXPECT_EQ(slurp(folder / "Modes_without_a_scale.lmd"),
              " !Modes without a scale\r\n+0 2 4 6 Three\r\n0 3 7 Three\r\n");

    files::Settings s;
    s.ScalaLocation = "c:\\scala\\scala.exe";
    EXPECT_EQ(scala_modes_file_path(s), std::filesystem::path("c:/scala/modename.htm"));
    s.ScalaModesListFile = "d:\\modes.htm";
    EXPECT_EQ(scala_modes_file_path(s), std::filesystem::path("d:\\modes.htm"));
}

TEST(ModeListsTool, HaltingKeepsTheSectionsWrittenAndTheirListOfScales) {
    TempFolder folder;
    write_text(folder / "modename.htm", kOurModeNames);
    testing::DirectRun halting(2);  // the halt is seen before the second section
    RecordingReporter reporter;
    const ModeListsResult result = make_mode_lists_from_scala(testing::mode_lists_job(folder), halting.run, reporter);
    EXPECT_TRUE(result.halted);
    EXPECT_EQ(result.lmd_files, std::vector<std::filesystem::path>{folder / "__7_tone_modes_of_Pelog.lmd"});
    EXPECT_EQ(slurp(folder / "SCALA Modes.lsc"),
              "@index.lsc@ Index of lists of scales\r\n+1 122 cents 271 cents 571 cents 677 cents 785 cents 947 cents "
              "2 *__7_tone_modes_of_Pelog.lmd* Typical 7 note Pelog scale (M)\r\n");
    EXPECT_EQ(reporter.entries().back().caption, "Halting construction of LMD files");
    EXPECT_TRUE(reporter.entries().back().message.ends_with("2 names read, 7 names expected."));
}

// A heading's start decides its scale before the name after " of " does; a heading met again
// gets a file of its own; one too long for a file name is shortened, and the run goes on.
TEST(ModeListsTool, HeadingsOfEveryKindGetAFileEach) {
    TempFolder folder;
    const std::string long_heading = "Modes of " + std::string(300, 'x') + " \xC3\xA9t\xC3\xA9";  // and UTF-8
    RecordingReporter reporter;
    const auto result = mode_lists_from(folder,
                                        "<HEAD></HEAD>\n<H4>13 tone modes of Bohlen-Pierce scale, octave is 3/1</H4>\n"
                                        "<TR><TD>2 1 2 1 2 2 1 2</TD><TD>Lambda</TD></TR>\n"
                                        "<H4>Modes</H4>\n<TR><TD>2 2 3</TD><TD>First</TD></TR>\n"
                                        "<H4>Modes</H4>\n<TR><TD>3 2 2</TD><TD>Second</TD></TR>\n"
                                        "<H4>" + long_heading + "</H4>\n<TR><TD>2 2 3</TD><TD>One</TD></TR>\n",
                                        reporter);
    ASSERT_EQ(result.lmd_files.size(), 4u);
    EXPECT_EQ(slurp(folder / "_13_tone_modes_of_Bohlen-Pierce_scale,_octave_is_3o1.lmd"),
              "1 27/25 25/21 9/7 7/5 75/49 5/3 9/5 49/25 15/7 7/3 63/25 25/9 3/1 ! 13 tone modes of "
              "Bohlen-Pierce scale, octave is 3/1\r\n+0 2 3 5 6 8 10 11 13 Lambda\r\n");
    EXPECT_EQ(slurp(folder / "Modes.lmd"), " !Modes\r\n+0 2 4 7 First\r\n");
    EXPECT_EQ(slurp(folder / "Modes_(2).lmd"), " !Modes\r\n+0 3 5 7 Second\r\n");
    EXPECT_LE(result.lmd_files[3].filename().string().size(), 255u);
    EXPECT_EQ(slurp(result.lmd_files[3]), " !" + long_heading + "\r\n+0 2 4 7 One\r\n");
    EXPECT_TRUE(reporter.entries().back().message.starts_with("4 LMD files constructed"));
}

}  // namespace
}  // namespace corvane::tools
