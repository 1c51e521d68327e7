// Where the tune's notes sit in the graph, the score and the intervals list.

#include "corvane/ui/tune_graph_layout.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>

#include <gtest/gtest.h>

#include "corvane/tuning/pitch_list.h"
#include "expected_output.h"

namespace corvane::ui {
namespace {

using files::Rgb;

// A view 400 pixels of time wide (44 to 444) and 232 of pitch high (8 to 240): two seeds
// of 0.3 s to a page, two octaves up from middle C.
TuneView small_view() {
    TuneView v;
    v.lowest_pitch = 60;
    v.seed_secs = 0.3;
    v.seeds = 2;
    v.octaves = 2;
    return v;
}
constexpr double kWidth = 452;
constexpr double kHeight = 248;

const files::Colours kColours = files::default_colours();

std::string colour_text(Rgb c) {
    return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue);
}

// A drawing as text, one item a line in drawing order: boxes, lines, note heads, labels and
// the scan line, positions to a hundredth of a pixel and colours as red,green,blue.
std::string drawing_text(const Drawing& d) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(2);
    for (const auto& b : d.boxes) {
        out << "box " << b.top_left.x << " " << b.top_left.y << " size " << b.width << " " << b.height << " fill "
            << colour_text(b.fill) << " edge " << colour_text(b.edge) << "\n";
    }
    for (const auto& l : d.lines) {
        out << "line " << l.from.x << " " << l.from.y << " to " << l.to.x << " " << l.to.y << " width " << l.width
            << " " << colour_text(l.colour) << "\n";
    }
    for (const auto& n : d.notes) {
        out << "note " << n.centre.x << " " << n.centre.y << " radius " << n.radius << " channel " << n.channel << " "
            << colour_text(n.colour) << "\n";
    }
    for (const auto& l : d.labels) {
        out << "label \"" << l.text << "\" at " << l.at.x << " " << l.at.y << " align " << static_cast<int>(l.align)
            << " size " << l.size << " " << colour_text(l.colour) << "\n";
    }
    if (d.scan_x.has_value()) out << "scan " << *d.scan_x << " " << colour_text(d.scan_colour) << "\n";
    return out.str();
}

TEST(TuneGraphLayout, HistoryRingIsReadOldestFirstWithoutTheEntriesBeingOverwritten) {
    std::array<engine::PlayedNote, 4> ring{};
    for (int i = 0; i < 4; ++i) ring[static_cast<std::size_t>(i)].value = i;
    ring[0].value = 4;
    ring[1].value = 5;
    // Six notes were recorded when the copy started and seven when it ended: note 6 went
    // into slot 2 meanwhile, so notes 3, 4 and 5 are sure.
    const auto notes = notes_from_history(ring, 6, 7);
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[0].value, 3);
    EXPECT_EQ(notes[1].value, 4);
    EXPECT_EQ(notes[2].value, 5);
    EXPECT_TRUE(notes_from_history(ring, 0, 0).empty());
}

// graph.txt: notes at 0, 0.15 and 0.3 s on two channels in the small view, the scan line at
// 0.45 s: the octave lines at C4, C5 and C6 with their names, the seed lines at 0 and 0.3 s,
// channel 0's notes joined across and up, and channel 1's note in its own colour.
TEST(TuneGraphLayout, NotesSitAtTheirTimeAndPitchInTheirChannelsColour) {
    const std::vector<GraphNote> notes{{0.0, 60, 0, 0, 0}, {0.15, 64, 0, 1, 0}, {0.3, 67, 1, 2, 0}};
    const Drawing d = draw_graph(small_view(), kColours.fractal_graph, notes, 0.45, kWidth, kHeight);
    corvane::testing::expect_output_as_kept(drawing_text(d), "ui/expected/graph.txt");
}

TEST(TuneGraphLayout, PlotGrowsToHoldTheNotesAndThePageTurnsAtTheRightEdge) {
    const std::vector<GraphNote> notes{{0.0, 50, 0, 0, 0}, {0.1, 90, 0, 0, 0}};
    const GraphLayout g = graph_layout(small_view(), notes, 0.1, kWidth, kHeight);
    EXPECT_DOUBLE_EQ(g.bottom_pitch, 48);
    EXPECT_DOUBLE_EQ(g.top_pitch, 96);
    TuneView no_lines = small_view();
    no_lines.draw_octaves = false;
    no_lines.scan_line = false;
    // graph_without_lines.txt: the grown plot with neither octave lines nor scan line.
    const Drawing d = draw_graph(no_lines, kColours.fractal_graph, notes, 0.1, kWidth, kHeight);
    corvane::testing::expect_output_as_kept(drawing_text(d), "ui/expected/graph_without_lines.txt");

    // graph_turned.txt: past the right edge the page turns; the note at 0.7 s sits 0.1 s into
    // the page, the scan line 0.15 s into it.
    const std::vector<GraphNote> later{{0.5, 60, 0, 0, 0}, {0.7, 62, 0, 0, 0}};
    const Drawing turned = draw_graph(small_view(), kColours.fractal_graph, later, 0.75, kWidth, kHeight);
    corvane::testing::expect_output_as_kept(drawing_text(turned), "ui/expected/graph_turned.txt");
}

TEST(TuneGraphScore, StaffPositionsLedgerLinesAndKeyAccidentals) {
    const StaffGeometry s = staff_geometry(360);
    EXPECT_DOUBLE_EQ(s.y_of(37) - s.y_of(39), 2 * s.half_space);
    EXPECT_EQ(ledger_lines(35), std::vector<int>{35});
    EXPECT_TRUE(ledger_lines(36).empty());
    EXPECT_EQ(ledger_lines(49), (std::vector<int>{47, 49}));
    EXPECT_EQ(ledger_lines(22), std::vector<int>{23});
    // Sharps F C G D A E B on the treble staff, flats B E A D G C F.
    std::vector<int> sharps, flats;
    for (const int letter : tuning::key_signature_letters({7, tuning::Accidentals::sharps})) {
        sharps.push_back(key_accidental_position(letter, tuning::Accidentals::sharps));
    }
    for (const int letter : tuning::key_signature_letters({7, tuning::Accidentals::flats})) {
        flats.push_back(key_accidental_position(letter, tuning::Accidentals::flats));
    }
    EXPECT_EQ(sharps, (std::vector<int>{45, 42, 46, 43, 40, 44, 41}));
    EXPECT_EQ(flats, (std::vector<int>{41, 44, 40, 43, 39, 42, 38}));
}

TEST(TuneGraphScore, NotesAreSpelledInTheAutomaticKeyWithTheirNamesUnderneath) {
    // The new composition's pentatonic mode on C fits C major: no key accidentals, and
    // C sharp carries its own sharp.
    const engine::Composition c;
    const files::Settings settings;
    TuneView view = tune_view(c, settings);
    view.names = tuning::OctaveStyle::number;
    EXPECT_EQ(view.key.accidentals, 0);
    const std::vector<GraphNote> notes{{0.0, 64, 0, 0, 0}, {0.1, 61, 0, 0, 0}, {0.2, 60.2, 0, 0, 0}};
    // score.txt: E4 on the bottom line, C sharp with its own sharp in the sharps' colour, and
    // the names underneath.
    const Drawing d = draw_score(view, kColours.fractal_score, notes, 0.2, 600, 360);
    corvane::testing::expect_output_as_kept(drawing_text(d), "ui/expected/score.txt");

    // A major mode on D takes two sharps on both staves.
    engine::Composition on_d;
    on_d.Frequency_of_lowest_note = 293.6647679174076;  // D4
    on_d.Arpeggio = tuning::read_step_list("0 2 4 5 7 9 11 12", tuning::ListNotation::absolute);
    const TuneView d_view = tune_view(on_d, settings);
    EXPECT_EQ(d_view.key.accidentals, 2);
    EXPECT_EQ(d_view.key.kind, tuning::Accidentals::sharps);
    // score_in_d.txt: the empty score in D, its two sharps on F and C of both staves.
    const Drawing signs = draw_score(d_view, kColours.fractal_score, {}, 0, 600, 360);
    corvane::testing::expect_output_as_kept(drawing_text(signs), "ui/expected/score_in_d.txt");
}

TEST(TuneGraphIntervals, IntervalsOfTheFollowedChannelAsRatiosByLine) {
    TuneView view = small_view();
    view.intervals_per_line = 2;
    const double major_third = 60 + 12 * std::log2(5.0 / 4.0);
    const double fifth = 60 + 12 * std::log2(3.0 / 2.0);
    const std::vector<GraphNote> notes{
        {0.0, 60, 0, 0, 0}, {0.05, 72, 3, 0, 0}, {0.1, major_third, 0, 0, 0}, {0.2, fifth, 0, 0, 0},
        {0.3, 60, 0, 0, 0}};
    const auto lines = interval_lines(view, notes);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "C4 to E4: 5/4    E4 to G4: 6/5");
    EXPECT_EQ(lines[1], "G4 to C4: 2/3");
    view.channel_to_follow = 7;  // a channel with no notes: every note counts
    EXPECT_EQ(interval_lines(view, notes).front().substr(0, 18), "C4 to C5: 2    C5 ");
}

}  // namespace
}  // namespace corvane::ui
