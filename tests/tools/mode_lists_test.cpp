#include <gtest/gtest.h>

#include "../hostile_files.h"
#include "corvane/tools/mode_lists.h"
#include "tools_test_support.h"

namespace corvane::tools {
namespace {

using namespace corvane::tools::testing;
using platform::Answer;
using platform::RecordingReporter;

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

// OUR OWN FIXTURE: plain text, headings ending with ":", and steps so large that their sum once
// overflowed (found by fuzzing): a number no step could be begins the name instead.
constexpr std::string_view kOurPlainNames = "Modes I wrote myself\n12 tone modes:\n2 2 1 2 2 2 1 Major\n"
                                            "2 1 2 2 1 2 2 Minor\n0 6666666066666666666 6666666066666666666 Big\n"
                                            "2 1000000000 1 Largest\n";

// Replacing a list of modes, or the list of scales for them, asks first and No cancels; Yes
// writes one list of modes per section and the list of scales.
TEST(ModeListsTool, AsksBeforeReplacingThenWritesOneListOfModesPerSectionAndTheListOfScales) {
    TempFolder folder;
    write_bytes(folder / "_15_tone_equal_modes.lmd", "mine");
    RecordingReporter says_no(Answer::no);
    mode_lists_from(folder, kOurModeNames, says_no);
    EXPECT_EQ(slurp(folder / "_15_tone_equal_modes.lmd"), "mine");
    EXPECT_FALSE(std::filesystem::exists(folder / "SCALA Modes.lsc"));
    write_bytes(folder / "SCALA Modes.lsc", "mine");
    mode_lists_from(folder, kOurModeNames, says_no);
    EXPECT_EQ(slurp(folder / "SCALA Modes.lsc"), "mine");
    // The question for a list of modes, then the one for the list of scales.
    expect_output_as_kept(messages_text(says_no, folder.path()), "tools/expected/mode_lists_replace_questions.txt");

    RecordingReporter says_yes(Answer::yes);
    ASSERT_FALSE(mode_lists_from(folder, kOurModeNames, says_yes).failed);
    // The four lists of modes and the list of scales for them, each file whole, then the messages.
    expect_output_as_kept(files_written(folder) + messages_text(says_yes, folder.path()),
                          "tools/expected/mode_lists.txt");
}

// A halt keeps the sections written and their list of scales. A missing ".htm" is looked for
// as ".html" after asking, and auto-sort orders each list: rows are sorted with their names, so
// two modes of one name stay two.
TEST(ModeListsTool, HaltingKeepsWhatWasWrittenAndAMissingHtmIsLookedForAsHtmlAndAutoSortOrdersEachList) {
    TempFolder folder;
    write_bytes(folder / "modename.htm", kOurModeNames);
    DirectRun halting(2);  // the halt is seen before the second section
    RecordingReporter reporter;
    EXPECT_TRUE(make_mode_lists_from_scala(mode_lists_job(folder), halting.run, reporter).halted);
    // The first list of modes and the list of scales for it, then the messages.
    expect_output_as_kept(files_written(folder) + messages_text(reporter, folder.path()),
                          "tools/expected/mode_lists_halted.txt");

    std::filesystem::rename(folder / "modename.htm", folder / "modename.html");
    ModeListsJob job = mode_lists_job(folder);
    job.settings.scala_auto_sort_lmds = true;
    job.settings.szLMDSortTokenTemplate = "-n";
    DirectRun direct;
    RecordingReporter says_yes(Answer::yes);
    EXPECT_EQ(make_mode_lists_from_scala(job, direct.run, says_yes).files_written, 4);
    std::filesystem::remove(folder / "modename.html");
    // The same files, each list of modes sorted by its number of notes, then the messages (the
    // questions for ".html" and for replacing what the halted run wrote first).
    expect_output_as_kept(files_written(folder) + messages_text(says_yes, folder.path()),
                          "tools/expected/mode_lists_sorted.txt");

    files::Settings s;
    s.ScalaLocation = "c:\\scala\\scala.exe";
    EXPECT_EQ(scala_modes_file_path(s), std::filesystem::path("c:/scala/modename.htm"));
    s.ScalaModesListFile = "d:\\modes.htm";
    EXPECT_EQ(scala_modes_file_path(s), std::filesystem::path("d:\\modes.htm"));
}

// A heading's start decides its scale before the name after " of " does; a heading met again
// gets a file of its own; one too long for a file name is shortened, and the run goes on. Other
// names are made safe for a file, and what looks like a file of mode names is taken as one.
TEST(ModeListsTool, HeadingsOfEveryKindGetAFileEachALaterFormatStopsAndPlainTextNeedsAYes) {
    EXPECT_EQ(lmd_file_name("What? <Modes>: \"A|B\""), "What___Modes_,__A_B_.lmd");
    EXPECT_TRUE(looks_like_mode_names("\n  <head lang=en>"));
    EXPECT_TRUE(looks_like_mode_names("<!DOCTYPE html><html>"));
    EXPECT_TRUE(looks_like_mode_names("! modes"));
    EXPECT_FALSE(looks_like_mode_names("<Heads"));  // a word that only begins like the tag
    // "N ... equal" headings from one division up.
    EXPECT_EQ(scales_for_section({"1 equal division of the octave", {}, {}}).equal_divisions, 1);
    EXPECT_FALSE(scales_for_section({"0 equal divisions", {}, {}}).equal_divisions.has_value());
    TempFolder folder;
    const std::string long_heading = "Modes of " + std::string(300, 'x') + " \xC3\xA9t\xC3\xA9";  // and UTF-8
    RecordingReporter reporter;
    mode_lists_from(folder,
                    "<HEAD></HEAD>\n<H4>13 tone modes of Bohlen-Pierce scale, octave is 3/1</H4>\n"
                    "<TR><TD>2 1 2 1 2 2 1 2</TD><TD>Lambda</TD></TR>\n"
                    "<H4>Modes</H4>\n<TR><TD>2 2 3</TD><TD>First</TD></TR>\n"
                    "<H4>Modes</H4>\n<TR><TD>3 2 2</TD><TD>Second</TD></TR>\n"
                    "<H4>" + long_heading + "</H4>\n<TR><TD>2 2 3</TD><TD>One</TD></TR>\n",
                    reporter);
    // Four lists of modes, the long heading's under its shortened name, the list of scales, then
    // the messages.
    expect_output_as_kept(files_written(folder) + messages_text(reporter, folder.path()),
                          "tools/expected/mode_lists_headings.txt");

    TempFolder plain;
    RecordingReporter refusals;
    // OUR OWN FIXTURE: a file of a later format.
    const std::string_view format_two = "<HEAD></HEAD>\n<SCALA_MODENAMES_FORMAT> = 2\n<H4>7 tone modes</H4>\n";
    EXPECT_TRUE(mode_lists_from(plain, format_two, refusals).failed);
    RecordingReporter says_no(Answer::no);
    mode_lists_from(plain, kOurPlainNames, says_no);
    EXPECT_FALSE(std::filesystem::exists(plain / "_12_tone_modes.lmd"));
    RecordingReporter says_yes(Answer::yes);
    mode_lists_from(plain, kOurPlainNames, says_yes);
    // The plain text's one list of modes, the huge steps kept as a name, and its list of scales.
    expect_output_as_kept(files_written(plain), "tools/expected/mode_lists_plain.txt");

    // A file too large to take in is refused with the reason.
    make_hostile(corvane::testing::Hostile::huge_sparse, plain / "modename.htm");
    DirectRun direct;
    EXPECT_TRUE(make_mode_lists_from_scala(mode_lists_job(plain), direct.run, refusals).failed);
    // The later format refused, the file too large refused, then the question for plain text.
    expect_output_as_kept(messages_text(refusals, plain.path()) + messages_text(says_no, plain.path()),
                          "tools/expected/mode_lists_refusals.txt");
}

// A line break inside a cell parts words; a tag that merely ends in "tr" ends no cell; a step of 9
// is a step; a definition that opens with an octave fraction of an expression is kept whole.
TEST(ModeListsTool, CellsAndDefinitionsReadAsWritten) {
    const ModeNames names = read_mode_names("<HEAD></HEAD>\n<H4>22 tone modes</H4>\n"
                                            "<SCALA_SCALE_DEF> = n(l3/l2/13) (tritave)\n"
                                            "<TR><TD>9 13</TD><TD>Wide<BR>step <str>two</TD></TR>\n",
                                            false);
    ASSERT_EQ(names.sections.size(), 1u);
    const ModeSection& section = names.sections[0];
    ASSERT_EQ(section.scales.size(), 1u);
    EXPECT_EQ(section.scales[0].definition, "n(l3/l2/13)");
    ASSERT_EQ(section.rows.size(), 1u);
    EXPECT_EQ(section.rows[0].degrees, "0 9 22");
    EXPECT_EQ(section.rows[0].name, "Wide step two");
}

}  // namespace
}  // namespace corvane::tools
