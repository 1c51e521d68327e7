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
#include "corvane/engine/tune_notes.h"
#include "corvane/files/colours.h"
#include "corvane/files/settings.h"
#include "corvane/platform/midi_message.h"
#include "corvane/tuning/note_names.h"

namespace corvane::ui {

// One note as the views draw it: of the tune as computed, of the player's history, or
// played live from MIDI in or the computer keys.
struct GraphNote {
    double time = 0;   // seconds of tune time
    double pitch = 0;  // unrounded MIDI pitch including the bend, 60 is middle C
    int channel = 0;
    int value = 0;
    std::int64_t sounded_ms = 0;  // on the program's clock
    double length = 0;            // seconds it sounds
    int level = 0;                // see engine::RenderedNote
    int key = -1;                 // the MIDI note it goes out on, -1 when not known
    int bend = platform::kBendCentre;
};

// Earliest first; notes at the same time keep their order.
void sort_by_time(std::vector<GraphNote>& notes);
// The computed tune's notes, in the order they sound.
std::vector<GraphNote> notes_of_tune(const engine::TuneNotes& tune);
// "value 3, level 1, channel 1, MIDI note 62, bend 8192, +0.0 cents"
std::string note_info(const GraphNote& note);

// The notes of a copy of the history ring, oldest first. `count_before` and `count_after`
// are the player's history count read before and after the copy was taken: the entries the
// player may have overwritten meanwhile are left out.
std::vector<GraphNote> notes_from_history(std::span<const engine::PlayedNote> ring, std::int64_t count_before,
                                          std::int64_t count_after);

// The stretch of tune time a view shows.
struct TimeSpan {
    double start = 0;
    double span = 1;
    bool operator==(const TimeSpan&) const = default;
};
// A stretch of tune time laid across a view, from `left` to `right` in pixels.
struct TimePage {
    double start = 0;
    double span = 1;
    double left = 0;   // pixels
    double right = 1;  // pixels

    double x_of(double time) const { return left + (time - start) / span * (right - left); }
    double time_of(double x) const { return start + (x - left) / (right - left) * span; }
    bool holds(double time) const { return time >= start && time < start + span; }
};

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
    // A note of the tune as a bar from its start to its end at its pitch.
    struct Bar {
        Point top_left;
        double width = 0;
        double height = 0;
        files::Rgb colour;
        GraphNote note;
    };
    // The score's symbols, drawn as shapes scaled to the staff space (the distance between
    // two staff lines); `at` is where the symbol sits on the staff: the G clef's curl on
    // G4's line, the F clef's dots round F3's line, an accidental's middle on its note.
    enum class Symbol { g_clef, f_clef, sharp, flat, natural };
    struct Shape {
        Symbol symbol = Symbol::sharp;
        Point at;
        double staff_space = 10;
        files::Rgb colour;
    };
    enum class Align { left, centre, right };
    struct Label {
        Point at;  // the baseline's start (left), middle (centre) or end (right)
        std::string text;
        files::Rgb colour;
        Align align = Align::left;
        double size = 1;  // relative to the labels font
    };

    double width = 0;
    double height = 0;
    files::Rgb background;
    std::vector<Box> boxes;  // drawn first
    std::vector<Line> lines;
    std::vector<Bar> bars;
    std::vector<Line> contours;  // over the bars
    std::vector<Shape> shapes;
    std::vector<NoteHead> notes;
    std::vector<Label> labels;
    std::optional<double> scan_x;  // drawn last, over the notes
    TimePage time_axis;            // where the times of the view sit across
    files::Rgb scan_colour;
};

Drawing blank_drawing(double width, double height, files::Rgb background);
Drawing::Label label(Point at, std::string text, files::Rgb colour, Drawing::Align align = Drawing::Align::left,
                     double size = 1);

// The bar under a point, the topmost (last drawn) first.
const Drawing::Bar* bar_at(const Drawing& drawing, Point at);

// The colour of a channel's notes: channel 0 takes the window's line colour, the others
// run through the palette, never one too close to the background's brightness to be seen.
files::Rgb channel_colour(int channel, files::Rgb line, files::Rgb background);

// What every view needs to know of the tune and its settings.
struct TuneView {
    double lowest_pitch = 60;  // MIDI pitch of Frequency_of_lowest_note
    double seed_secs = 0.375;  // one seed's length of notes at the top speed
    int seed_length = 3;       // notes in the seed
    double octaves = 5;        // dFGoctaves
    double seeds = 5;          // dFGseeds: the width of one page
    bool draw_octaves = true;  // draw_FGoctaves
    bool scan_line = true;     // bFGScanLine
    int line_width = 2;        // line_width_for_fractal_graph
    int intervals_per_line = 2;  // iFGnIntervalsPerLine
    int channel_to_follow = 0;   // iFGChannelToFollow, for the intervals
    bool underline_note = false; // bUnderlineNote
    bool colour_by_level = true; // else by channel
    tuning::KeySignature key;
    tuning::OctaveStyle names = tuning::OctaveStyle::number;
    tuning::PitchFormat format;
};
TuneView tune_view(const engine::Composition& c, const files::Settings& s);

// A page of `seeds` seed lengths from the start.
TimeSpan first_page(const TuneView& view);
// All of a tune that lasts `end_secs`.
TimeSpan whole_tune(double end_secs);
// Time `factor` times as long, the time `anchor` staying where it is on screen.
TimeSpan zoomed(TimeSpan shown, double anchor, double factor);
TimeSpan scrolled(TimeSpan shown, double seconds);
// Keeps `now` in view: when it runs off either edge, the next page (of the same length)
// starts where it is.
TimeSpan following(TimeSpan shown, double now);

// The page of `seeds` seed lengths that holds `now`.
TimePage time_page(const TuneView& view, double now, double left, double right);
TimePage time_page(TimeSpan shown, double left, double right);

// What a view draws: the computed tune, the notes played live, the time shown and, while
// playing, the player's time.
struct TuneScene {
    std::span<const GraphNote> tune;  // in time order
    std::span<const GraphNote> live;  // in time order
    TimeSpan shown;
    std::optional<double> now;
    bool capped = false;  // the tune goes on past its last computed note
};

// The graph: time across, pitch up (an unrounded MIDI pitch, so any tuning draws true),
// octave lines from the lowest note, a seed line at the start of every seed, each note of
// the tune a bar coloured by its level or channel, the notes of each level joined so that
// the seed's contour shows at every time scale, and the live notes joined per channel.
struct GraphLayout {
    double bottom_pitch = 0;  // at the bottom of the plot
    double top_pitch = 0;
    double plot_top = 0;
    double plot_bottom = 0;
    TimePage page;

    double y_of(double pitch) const;
};
GraphLayout graph_layout(const TuneView& view, const TuneScene& scene, double width, double height);
Drawing draw_graph(const TuneView& view, const files::Colours::FractalGraph& colours, const TuneScene& scene,
                   double width, double height);

// The score: a grand staff (treble over bass, middle C on the ledger line between them)
// with its clefs, the automatic key signature on both staves, each note spelled in that key
// with its stem, ledger lines and its own accidental where it needs one, its deviation from
// the written note in cents above it and its name under the staves.
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
// "+14", "-31"; empty within half a cent of the written note.
std::string cents_label(double pitch);
Drawing draw_score(const TuneView& view, const files::Colours::FractalScore& colours, const TuneScene& scene,
                   double width, double height);

// The intervals between the followed channel's notes (every note when that channel has
// none), most recent last: "C4 to E4: 5/4".
std::vector<std::string> interval_lines(const TuneView& view, std::span<const GraphNote> notes);
Drawing draw_intervals(const TuneView& view, const files::Colours::FractalScore& colours, const TuneScene& scene,
                       double width, double height);

}  // namespace corvane::ui
