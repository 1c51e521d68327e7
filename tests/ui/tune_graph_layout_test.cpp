// Where the tune's notes sit in the graph, the score and the intervals list.

#include "corvane/ui/tune_graph_layout.h"

#include <algorithm>
#include <atomic>
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

// A drawing as text, one item a line: boxes, bars, shapes, lines, contours, note heads,
// labels and the scan line, positions to a hundredth of a pixel and colours as red,green,blue.
std::string drawing_text(const Drawing& d) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(2);
    for (const auto& b : d.boxes) {
        out << "box " << b.top_left.x << " " << b.top_left.y << " size " << b.width << " " << b.height << " fill "
            << colour_text(b.fill) << " edge " << colour_text(b.edge) << "\n";
    }
    for (const auto& b : d.bars) {
        out << "bar " << b.top_left.x << " " << b.top_left.y << " size " << b.width << " " << b.height << " level "
            << b.note.level << " " << colour_text(b.colour) << "\n";
    }
    for (const auto& s : d.shapes) {
        out << "shape " << static_cast<int>(s.symbol) << " at " << s.at.x << " " << s.at.y << " space " << s.staff_space
            << " " << colour_text(s.colour) << "\n";
    }
    for (const auto& l : d.lines) {
        out << "line " << l.from.x << " " << l.from.y << " to " << l.to.x << " " << l.to.y << " width " << l.width
            << " " << colour_text(l.colour) << "\n";
    }
    for (const auto& l : d.contours) {
        out << "contour " << l.from.x << " " << l.from.y << " to " << l.to.x << " " << l.to.y << " "
            << colour_text(l.colour) << "\n";
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
    // Notes 0 to 5 in a ring of four: 4, 5, 2, 3.
    std::array<engine::PlayedNote, 4> ring{};
    for (std::size_t slot = 0; slot < ring.size(); ++slot) ring[slot].value = std::array{4, 5, 2, 3}[slot];
    // Six notes were recorded when the copy started and seven when it ended: note 6 went
    // into slot 2 meanwhile, so notes 3, 4 and 5 are sure.
    std::vector<int> sure;
    for (const auto& note : notes_from_history(ring, 6, 7)) sure.push_back(note.value);
    EXPECT_EQ(sure, (std::vector<int>{3, 4, 5}));
    EXPECT_TRUE(notes_from_history(ring, 0, 0).empty());
}

TuneScene scene_of(std::span<const GraphNote> tune, TimeSpan shown, std::optional<double> now = {},
                   std::span<const GraphNote> live = {}) {
    return {tune, live, shown, now, false};
}

// graph.txt: a tune of three notes, levels 1, 0 and 0, in the small view (two seeds from 0),
// while playing at 0.2 s: the octave lines at C4, C5 and C6 with their names, the seed lines
// at 0 and 0.3 s, level 1's contour, a bar per note (the one still to come pale), a live
// note in its channel's colour, and the scan line.
TEST(TuneGraphLayout, NotesAreBarsAtTheirTimeAndPitchColouredByLevel) {
    const std::vector<GraphNote> tune{{0.0, 60, 0, 0, 0, 0.15, 1}, {0.15, 64, 0, 2, 0, 0.15, 0},
                                      {0.3, 67.5, 0, 3, 0, 0.3, 1}};
    const std::vector<GraphNote> live{{0.1, 72, 1, 0, 0}};
    const Drawing d = draw_graph(small_view(), kColours.fractal_graph, scene_of(tune, {0, 0.6}, 0.2, live), kWidth,
                                 kHeight);
    corvane::testing::expect_output_as_kept(drawing_text(d), "ui/expected/graph.txt");
}

// The tune of seed "0 1 2 1" to level 2 (its notes are checked in the engine's tests): a
// bar per note, its middle at its pitch's height. The note under the mouse and what it says:
// TuneGraphWindowTest.TheTuneIsDrawnBeforePlayAndTheScanLineMovesOverIt.
TEST(TuneGraphLayout, EveryNoteOfTheTuneIsABarBeforeAnyPlay) {
    engine::Composition c;
    c.Note_heights = {0, 1, 2, 1};
    c.Levels = 2;
    const std::atomic<bool> never{false};
    const engine::TuneNotes computed = engine::compute_tune_notes(c, {}, {}, 1000, 3600, never);
    const std::vector<GraphNote> tune = notes_of_tune(computed);
    ASSERT_EQ(tune.size(), 64u);
    EXPECT_EQ(tune[4].level, 1);

    const files::Settings settings;  // named: GCC 12 at -O3 warns of a temporary's string as maybe uninitialised
    const TuneView view = tune_view(c, settings);
    const TuneScene scene = scene_of(tune, whole_tune(computed.end_secs));
    const Drawing d = draw_graph(view, kColours.fractal_graph, scene, 800, 400);
    ASSERT_EQ(d.bars.size(), 64u);
    const GraphLayout g = graph_layout(view, scene, 800, 400);
    for (std::size_t i = 0; i < tune.size(); ++i) {
        const Drawing::Bar& bar = d.bars[i];
        EXPECT_DOUBLE_EQ(bar.top_left.y + bar.height / 2, g.y_of(tune[i].pitch)) << "note " << i;
        EXPECT_NEAR(bar.top_left.x, g.page.x_of(tune[i].time), 1e-9) << "note " << i;
    }
    EXPECT_EQ(d.labels.size(), g.top_pitch / 12 - g.bottom_pitch / 12 + 1);  // octave names only: not capped

    const engine::TuneNotes first = engine::compute_tune_notes(c, {}, {}, 10, 3600, never);
    const std::vector<GraphNote> few = notes_of_tune(first);
    const Drawing capped = draw_graph(view, kColours.fractal_graph, {few, {}, whole_tune(1), {}, true}, 800, 400);
    EXPECT_EQ(capped.labels.back().text, "Only the first 10 notes of the tune are drawn");
}

TEST(TuneGraphLayout, ZoomAndScrollKeepTheTimeUnderTheMouse) {
    const TimeSpan shown{2, 4};
    const TimePage before = time_page(shown, 44, 444);
    const double mouse_x = 144;
    const double under_mouse = before.time_of(mouse_x);
    EXPECT_DOUBLE_EQ(under_mouse, 3);
    for (const double factor : {0.8, 1.25, 0.1}) {
        const TimeSpan after = zoomed(shown, under_mouse, factor);
        EXPECT_DOUBLE_EQ(after.span, 4 * factor);
        EXPECT_NEAR(time_page(after, 44, 444).time_of(mouse_x), under_mouse, 1e-12) << factor;
    }
    EXPECT_EQ(scrolled(shown, -1), (TimeSpan{1, 4}));
    // Following the player: the page stays while it is in view, and turns at the edge.
    EXPECT_EQ(following(shown, 5.9), shown);
    EXPECT_EQ(following(shown, 6), (TimeSpan{6, 4}));
    EXPECT_EQ(whole_tune(8), (TimeSpan{0, 8}));
}

TEST(TuneGraphLayout, PlotGrowsToHoldTheNotes) {
    const std::vector<GraphNote> notes{{0.0, 50, 0, 0, 0, 0.1}, {0.1, 90, 0, 0, 0, 0.1}};
    const GraphLayout g = graph_layout(small_view(), scene_of(notes, {0, 0.6}), kWidth, kHeight);
    EXPECT_DOUBLE_EQ(g.bottom_pitch, 48);
    EXPECT_DOUBLE_EQ(g.top_pitch, 96);
    TuneView no_lines = small_view();
    no_lines.draw_octaves = false;
    no_lines.scan_line = false;
    // graph_without_lines.txt: the grown plot with neither octave lines nor scan line.
    const Drawing d = draw_graph(no_lines, kColours.fractal_graph, scene_of(notes, {0, 0.6}, 0.1), kWidth, kHeight);
    corvane::testing::expect_output_as_kept(drawing_text(d), "ui/expected/graph_without_lines.txt");
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
    // Deviations from the written note, nothing within half a cent.
    EXPECT_EQ(cents_label(60.14), "+14");
    EXPECT_EQ(cents_label(61.69), "-31");
    EXPECT_EQ(cents_label(60.004), "");
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
    // score.txt: the G and F clefs, E4 on the bottom line, C sharp with its own sharp in the
    // sharps' colour, C4 on its ledger line 20 cents high, stems up, the names underneath.
    const Drawing d = draw_score(view, kColours.fractal_score, scene_of(notes, {0, 0.375}, 0.2), 600, 360);
    corvane::testing::expect_output_as_kept(drawing_text(d), "ui/expected/score.txt");

    // A major mode on D takes two sharps on both staves.
    engine::Composition on_d;
    on_d.Frequency_of_lowest_note = 293.6647679174076;  // D4
    on_d.Arpeggio = tuning::read_step_list("0 2 4 5 7 9 11 12", tuning::ListNotation::absolute);
    const TuneView d_view = tune_view(on_d, settings);
    EXPECT_EQ(d_view.key.accidentals, 2);
    EXPECT_EQ(d_view.key.kind, tuning::Accidentals::sharps);
    // score_in_d.txt: a D major arpeggio in D, two sharps on F and C of both staves: D4 under
    // the treble staff, F sharp in its bottom space with no sharp of its own, A4 with its stem
    // up, D5 with its stem down, and A3 on the bass staff's top line.
    const std::vector<GraphNote> arpeggio{{0.0, 62, 0, 0, 0}, {0.1, 66, 0, 0, 0}, {0.2, 69, 0, 0, 0},
                                          {0.3, 74, 0, 0, 0}, {0.4, 57, 0, 0, 0}};
    const Drawing signs = draw_score(d_view, kColours.fractal_score, scene_of(arpeggio, {0, 0.5}), 600, 360);
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
