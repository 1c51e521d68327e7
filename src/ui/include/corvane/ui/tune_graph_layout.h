#pragma once

// Where everything of the fractal tune's window goes, without a toolkit: the graph of the
// notes against time, the same notes as a score in treble and bass clefs, and the list of
// intervals. Each view becomes a Drawing of lines, note heads and labels in pixels, which
// any painter can put on screen; the tests read the geometry straight from it.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "corvane/engine/composition.h"
#include "corvane/engine/player.h"
#include "corvane/files/colours.h"
#include "corvane/files/settings.h"
#include "corvane/tuning/note_names.h"

namespace corvane::ui {

// One note of the player's history as the views draw it.
struct GraphNote {
    double time = 0;   // seconds of tune time
    double pitch = 0;  // unrounded MIDI pitch, 60 is middle C
    int channel = 0;
    int value = 0;
    std::int64_t sounded_ms = 0;  // on the program's clock
};

// The notes of a copy of the history ring, oldest first. `count_before` and `count_after`
// are the player's history count read before and after the copy was taken: the entries the
// player may have overwritten meanwhile are left out.
std::vector<GraphNote> notes_from_history(std::span<const engine::PlayedNote> ring, std::int64_t count_before,
                                          std::int64_t count_after);

struct Point {
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
};

// What a painter draws, in pixels from the top left.
struct Drawing {
    struct Line {
        Point from, to;
        files::Rgb colour;
        int width = 1;
    };
    struct NoteHead {
        Point centre;
        double radius = 0;
        files::Rgb colour;
        int channel = 0;
    };
    struct Box {
        Point top_left;
        double width = 0;
        double height = 0;
        files::Rgb fill;
        files::Rgb edge;
    };
    enum class Align { left, centre, right };
    struct Label {
        Point at;  // the baseline's start (left), middle (centre) or end (right)
        std::string text;
        files::Rgb colour;
        Align align = Align::left;
        double size = 1;  // relative to the labels font
        std::string fallback;  // drawn instead when no font has the text's symbols
    };

    double width = 0;
    double height = 0;
    files::Rgb background;
    std::vector<Box> boxes;  // drawn first
    std::vector<Line> lines;
    std::vector<NoteHead> notes;
    std::vector<Label> labels;
    std::optional<double> scan_x;  // drawn last, over the notes
    files::Rgb scan_colour;
};

Drawing blank_drawing(double width, double height, files::Rgb background);
Drawing::Label label(Point at, std::string text, files::Rgb colour, Drawing::Align align = Drawing::Align::left,
                     double size = 1, std::string fallback = {});

// The colour of a channel's notes: channel 0 takes the window's line colour, the others
// run through the palette, never the background's colour.
files::Rgb channel_colour(int channel, files::Rgb line, files::Rgb background);

// What every view needs to know of the tune and its settings.
struct TuneView {
    double lowest_pitch = 60;  // MIDI pitch of Frequency_of_lowest_note
    double seed_secs = 0.375;  // one seed's length of notes at the top speed
    double octaves = 5;        // dFGoctaves
    double seeds = 5;          // dFGseeds: the width of one page
    bool draw_octaves = true;  // draw_FGoctaves
    bool scan_line = true;     // bFGScanLine
    int line_width = 2;        // line_width_for_fractal_graph
    int intervals_per_line = 2;  // iFGnIntervalsPerLine
    int channel_to_follow = 0;   // iFGChannelToFollow, for the intervals
    bool underline_note = false; // bUnderlineNote
    tuning::KeySignature key;
    tuning::OctaveStyle names = tuning::OctaveStyle::number;
    tuning::PitchFormat format;
};
TuneView tune_view(const engine::Composition& c, const files::Settings& s);

// The time on the page the views show: pages of `seeds` seed lengths, turned when the
// player's time runs past the right edge.
struct TimePage {
    double start = 0;
    double span = 1;
    double left = 0;   // pixels
    double right = 1;  // pixels

    double x_of(double time) const { return left + (time - start) / span * (right - left); }
    bool holds(double time) const { return time >= start && time < start + span; }
};
TimePage time_page(const TuneView& view, double now, double left, double right);

// The graph: time across, pitch up, octave lines from the lowest note, a seed line at the
// start of every seed, each channel's notes joined by a line in its colour.
struct GraphLayout {
    double bottom_pitch = 0;  // at the bottom of the plot
    double top_pitch = 0;
    double plot_top = 0;
    double plot_bottom = 0;
    TimePage page;

    double y_of(double pitch) const;
};
GraphLayout graph_layout(const TuneView& view, std::span<const GraphNote> notes, double now, double width,
                         double height);
Drawing draw_graph(const TuneView& view, const files::Colours::FractalGraph& colours, std::span<const GraphNote> notes,
                   double now, double width, double height);

// The score: a grand staff (treble over bass, middle C on the ledger line between them),
// the automatic key signature on both staves, each note spelled in that key with its own
// accidental where it needs one, and its name written under the staves.
struct StaffGeometry {
    double middle_c_y = 0;  // y of staff position 35 (middle C)
    double half_space = 5;  // from a line to the next space

    double y_of(int staff_position) const { return middle_c_y - (staff_position - 35) * half_space; }
};
inline constexpr int kTrebleLines[] = {37, 39, 41, 43, 45};  // E4 G4 B4 D5 F5
inline constexpr int kBassLines[] = {25, 27, 29, 31, 33};    // G2 B2 D3 F3 A3
// Where the key signature's accidentals sit on the treble staff, in writing order; the
// bass staff has them two octaves (14 positions) lower.
int key_accidental_position(int letter, tuning::Accidentals kind);
// The ledger lines a note at `staff_position` needs, nearest the staff first.
std::vector<int> ledger_lines(int staff_position);

StaffGeometry staff_geometry(double height);
Drawing draw_score(const TuneView& view, const files::Colours::FractalScore& colours, std::span<const GraphNote> notes,
                   double now, double width, double height);

// The intervals between the followed channel's notes (every note when that channel has
// none), most recent last: "C4 to E4: 5/4".
std::vector<std::string> interval_lines(const TuneView& view, std::span<const GraphNote> notes);
Drawing draw_intervals(const TuneView& view, const files::Colours::FractalScore& colours,
                       std::span<const GraphNote> notes, double width, double height);

}  // namespace corvane::ui
