// Where the tune's notes sit in the graph, the score and the intervals list.

#include "corvane/ui/tune_graph_layout.h"

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "corvane/tuning/pitch_list.h"

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

std::vector<const Drawing::Line*> lines_of(const Drawing& d, Rgb colour) {
    std::vector<const Drawing::Line*> found;
    for (const auto& l : d.lines) {
        if (l.colour == colour) found.push_back(&l);
    }
    return found;
}

bool has_label(const Drawing& d, const std::string& text) {
    return std::any_of(d.labels.begin(), d.labels.end(), [&](const Drawing::Label& l) { return l.text == text; });
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

TEST(TuneGraphLayout, NotesSitAtTheirTimeAndPitchInTheirChannelsColour) {
    const std::vector<GraphNote> notes{{0.0, 60, 0, 0, 0}, {0.15, 64, 0, 1, 0}, {0.3, 67, 1, 2, 0}};
    const Drawing d = draw_graph(small_view(), kColours.fractal_graph, notes, 0.45, kWidth, kHeight);
    ASSERT_EQ(d.notes.size(), 3u);
    EXPECT_DOUBLE_EQ(d.notes[0].centre.x, 44);
    EXPECT_DOUBLE_EQ(d.notes[0].centre.y, 240);
    EXPECT_DOUBLE_EQ(d.notes[1].centre.x, 144);
    EXPECT_DOUBLE_EQ(d.notes[1].centre.y, 240 - 4.0 / 24 * 232);
    EXPECT_DOUBLE_EQ(d.notes[2].centre.x, 244);
    EXPECT_EQ(d.notes[0].colour, kColours.fractal_graph.Line);
    EXPECT_EQ(d.notes[2].colour, (Rgb{0, 190, 0}));
    // Octave lines at C4, C5 and C6 with their names; seed lines at 0 and 0.3 s.
    const auto octaves = lines_of(d, kColours.fractal_graph.Octaves);
    ASSERT_EQ(octaves.size(), 3u);
    EXPECT_DOUBLE_EQ(octaves[1]->from.y, 124);
    EXPECT_TRUE(has_label(d, "C5"));
    const auto seeds = lines_of(d, kColours.fractal_graph.Seeds);
    ASSERT_EQ(seeds.size(), 2u);
    EXPECT_DOUBLE_EQ(seeds[1]->from.x, 244);
    // Channel 0's two notes are joined across and up; the scan line is at 0.45 s.
    const auto joins = lines_of(d, kColours.fractal_graph.Line);
    ASSERT_EQ(joins.size(), 2u);
    EXPECT_EQ(joins[0]->to, (Point{144, 240}));
    EXPECT_EQ(joins[1]->to, d.notes[1].centre);
    ASSERT_TRUE(d.scan_x.has_value());
    EXPECT_DOUBLE_EQ(*d.scan_x, 344);
}

TEST(TuneGraphLayout, PlotGrowsToHoldTheNotesAndThePageTurnsAtTheRightEdge) {
    const std::vector<GraphNote> notes{{0.0, 50, 0, 0, 0}, {0.1, 90, 0, 0, 0}};
    const GraphLayout g = graph_layout(small_view(), notes, 0.1, kWidth, kHeight);
    EXPECT_DOUBLE_EQ(g.bottom_pitch, 48);
    EXPECT_DOUBLE_EQ(g.top_pitch, 96);
    TuneView no_lines = small_view();
    no_lines.draw_octaves = false;
    no_lines.scan_line = false;
    const Drawing d = draw_graph(no_lines, kColours.fractal_graph, notes, 0.1, kWidth, kHeight);
    EXPECT_TRUE(lines_of(d, kColours.fractal_graph.Octaves).empty());
    EXPECT_FALSE(d.scan_x.has_value());

    // The page turns when the player runs past the right edge.
    const std::vector<GraphNote> later{{0.5, 60, 0, 0, 0}, {0.7, 62, 0, 0, 0}};
    const Drawing turned = draw_graph(small_view(), kColours.fractal_graph, later, 0.75, kWidth, kHeight);
    ASSERT_EQ(turned.notes.size(), 1u);
    EXPECT_NEAR(turned.notes[0].centre.x, 44 + 0.1 / 0.6 * 400, 1e-9);
    EXPECT_NEAR(*turned.scan_x, 44 + 0.15 / 0.6 * 400, 1e-9);
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
    const Drawing d = draw_score(view, kColours.fractal_score, notes, 0.2, 600, 360);
    const StaffGeometry s = staff_geometry(360);
    ASSERT_EQ(d.notes.size(), 3u);
    EXPECT_DOUBLE_EQ(d.notes[0].centre.y, s.y_of(kTrebleLines[0]));
    EXPECT_DOUBLE_EQ(d.notes[1].centre.y, s.y_of(35));
    EXPECT_EQ(d.notes[1].colour, kColours.fractal_score.Sharps);
    EXPECT_EQ(d.notes[0].colour, kColours.fractal_score.Naturals);
    EXPECT_LT(d.notes[0].centre.x, d.notes[1].centre.x);
    EXPECT_TRUE(has_label(d, "\u266F"));
    EXPECT_TRUE(has_label(d, "E4"));
    EXPECT_TRUE(has_label(d, "C4 Sharp"));
    EXPECT_TRUE(has_label(d, "C4"));

    // A major mode on D takes two sharps on both staves.
    engine::Composition on_d;
    on_d.Frequency_of_lowest_note = 293.6647679174076;  // D4
    on_d.Arpeggio = tuning::read_step_list("0 2 4 5 7 9 11 12", tuning::ListNotation::absolute);
    const TuneView d_view = tune_view(on_d, settings);
    EXPECT_EQ(d_view.key.accidentals, 2);
    EXPECT_EQ(d_view.key.kind, tuning::Accidentals::sharps);
    const Drawing signs = draw_score(d_view, kColours.fractal_score, {}, 0, 600, 360);
    std::vector<double> sign_rows;
    for (const auto& l : signs.labels) {
        if (l.text == "\u266F") sign_rows.push_back(l.at.y - s.half_space);
    }
    EXPECT_EQ(sign_rows, (std::vector<double>{s.y_of(45), s.y_of(31), s.y_of(42), s.y_of(28)}));
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
