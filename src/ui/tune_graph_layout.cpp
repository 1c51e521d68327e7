#include "corvane/ui/tune_graph_layout.h"

#include <algorithm>
#include <cmath>

#include "corvane/tuning/pitch_format.h"
#include "corvane/tuning/pitch_mapping.h"

namespace corvane::ui {
namespace {

constexpr double kSemitonesPerOctave = 12;
constexpr double kMargin = 8;
constexpr double kLabelWidth = 44;  // room on the left of the graph for the octave names

int nearest_note(double pitch) { return std::clamp(static_cast<int>(std::floor(pitch + 0.5)), 0, 127); }

tuning::Accidentals naming_of(const tuning::KeySignature& key) { return key.kind; }

std::string name_of(const TuneView& view, double pitch) {
    return tuning::note_name(nearest_note(pitch), naming_of(view.key), view.names, false);
}

std::vector<GraphNote> notes_on_page(std::span<const GraphNote> notes, const TimePage& page) {
    std::vector<GraphNote> shown;
    std::copy_if(notes.begin(), notes.end(), std::back_inserter(shown), [&](const GraphNote& n) { return page.holds(n.time); });
    return shown;
}

void add_scan_line(Drawing& d, const TuneView& view, const TimePage& page, double now, files::Rgb colour) {
    if (!view.scan_line) return;
    d.scan_x = page.x_of(now);
    d.scan_colour = colour;
}

// The plot's height in octaves: the setting, or more when the notes need it.
double octaves_needed(const TuneView& view, double bottom, std::span<const GraphNote> notes) {
    double top = bottom + view.octaves * kSemitonesPerOctave;
    for (const GraphNote& n : notes) top = std::max(top, n.pitch + 1);
    return std::ceil((top - bottom) / kSemitonesPerOctave);
}

}  // namespace

Drawing blank_drawing(double width, double height, files::Rgb background) {
    Drawing d;
    d.width = width;
    d.height = height;
    d.background = background;
    return d;
}

Drawing::Label label(Point at, std::string text, files::Rgb colour, Drawing::Align align, double size,
                     std::string fallback) {
    return {at, std::move(text), colour, align, size, std::move(fallback)};
}

std::vector<GraphNote> notes_from_history(std::span<const engine::PlayedNote> ring, std::int64_t count_before,
                                          std::int64_t count_after) {
    const auto size = static_cast<std::int64_t>(ring.size());
    const std::int64_t first = std::max<std::int64_t>(0, count_after - size);
    std::vector<GraphNote> notes;
    for (std::int64_t i = first; i < count_before; ++i) {
        const engine::PlayedNote& p = ring[static_cast<std::size_t>(i % size)];
        notes.push_back({p.time, p.pitch, p.channel, p.value, p.sounded_ms});
    }
    return notes;
}

files::Rgb channel_colour(int channel, files::Rgb line, files::Rgb background) {
    if (channel <= 0) return line;
    // Strong colours first; the pale ones would vanish on a white background.
    // Red comes late: it is the scan line's colour at first.
    static constexpr std::string_view kOrder[] = {"Dark Green", "Magenta", "Dark Cyan", "Dark Yellow", "Dark Blue",
                                                  "Dark Magenta", "Dark Red", "Blue", "Red", "Green",
                                                  "Cyan", "Grey", "Black", "Yellow", "Light Grey"};
    std::vector<files::Rgb> usable;
    for (const auto name : kOrder) {
        const files::Rgb rgb = *files::palette_colour(name);
        if (rgb != background && rgb != line) usable.push_back(rgb);
    }
    return usable[static_cast<std::size_t>(channel - 1) % usable.size()];
}

TuneView tune_view(const engine::Composition& c, const files::Settings& s) {
    TuneView v;
    v.lowest_pitch = tuning::frequency_to_midi_pitch(c.Frequency_of_lowest_note);
    v.seed_secs = std::max(1, c.seed_length()) * c.Note_length;
    v.octaves = s.dFGoctaves > 0 ? s.dFGoctaves : 1;
    v.seeds = s.dFGseeds > 0 ? s.dFGseeds : 1;
    v.draw_octaves = s.draw_FGoctaves;
    v.scan_line = s.bFGScanLine;
    v.line_width = std::max(1, s.line_width_for_fractal_graph);
    v.intervals_per_line = std::max(1, s.iFGnIntervalsPerLine);
    v.channel_to_follow = s.iFGChannelToFollow;
    v.underline_note = s.bUnderlineNote;
    v.key = tuning::choose_key_signature({c.Intervals, &c.Arpeggio, c.Use_ratios, c.Frequency_of_lowest_note});
    v.names = s.iFormatForNoteNames == 2 ? tuning::OctaveStyle::apostrophes : tuning::OctaveStyle::number;
    v.format = s.format;
    return v;
}

TimePage time_page(const TuneView& view, double now, double left, double right) {
    TimePage page;
    page.span = std::max(view.seeds * view.seed_secs, 1e-3);
    page.start = std::floor(std::max(now, 0.0) / page.span) * page.span;
    page.left = left;
    page.right = std::max(right, left + 1);
    return page;
}

// ---- the graph -------------------------------------------------------------------------

double GraphLayout::y_of(double pitch) const {
    return plot_bottom - (pitch - bottom_pitch) / (top_pitch - bottom_pitch) * (plot_bottom - plot_top);
}

GraphLayout graph_layout(const TuneView& view, std::span<const GraphNote> notes, double now, double width,
                         double height) {
    GraphLayout g;
    g.page = time_page(view, now, kLabelWidth, width - kMargin);
    const std::vector<GraphNote> shown = notes_on_page(notes, g.page);
    // The plot starts at the octave line at or below the lowest note on the page.
    double lowest = view.lowest_pitch;
    for (const GraphNote& n : shown) lowest = std::min(lowest, n.pitch);
    g.bottom_pitch = view.lowest_pitch + std::floor((lowest - view.lowest_pitch) / kSemitonesPerOctave) * kSemitonesPerOctave;
    g.top_pitch = g.bottom_pitch + octaves_needed(view, g.bottom_pitch, shown) * kSemitonesPerOctave;
    g.plot_top = kMargin;
    g.plot_bottom = std::max(height - kMargin, kMargin + 1);
    return g;
}

Drawing draw_graph(const TuneView& view, const files::Colours::FractalGraph& colours, std::span<const GraphNote> notes,
                   double now, double width, double height) {
    const GraphLayout g = graph_layout(view, notes, now, width, height);
    Drawing d = blank_drawing(width, height, colours.Background);
    if (view.draw_octaves) {
        for (double p = g.bottom_pitch; p <= g.top_pitch + 1e-9; p += kSemitonesPerOctave) {
            const double y = g.y_of(p);
            d.lines.push_back({{g.page.left, y}, {g.page.right, y}, colours.Octaves, 1});
            d.labels.push_back(label({2, y - 2}, name_of(view, p), colours.Octaves, Drawing::Align::left, 0.8));
        }
    }
    for (double t = g.page.start; t < g.page.start + g.page.span - 1e-9; t += view.seed_secs) {
        const double x = g.page.x_of(t);
        d.lines.push_back({{x, g.plot_top}, {x, g.plot_bottom}, colours.Seeds, 1});
    }
    const std::vector<GraphNote> shown = notes_on_page(notes, g.page);
    // Each channel's notes are joined in the order they sounded: a step across to where
    // the next one starts, then up or down to it.
    std::array<std::optional<Point>, engine::kMidiChannels> last{};
    for (const GraphNote& n : shown) {
        const Point here{g.page.x_of(n.time), g.y_of(n.pitch)};
        const int channel = std::clamp(n.channel, 0, engine::kMidiChannels - 1);
        const files::Rgb colour = channel_colour(channel, colours.Line, colours.Background);
        auto& previous = last[static_cast<std::size_t>(channel)];
        if (previous) {
            const Point corner{here.x, previous->y};
            d.lines.push_back({*previous, corner, colour, view.line_width});
            d.lines.push_back({corner, here, colour, view.line_width});
        }
        d.notes.push_back({here, 1.0 + view.line_width, colour, channel});
        previous = here;
    }
    add_scan_line(d, view, g.page, now, colours.Scan_Line);
    return d;
}

// ---- the score -------------------------------------------------------------------------

int key_accidental_position(int letter, tuning::Accidentals kind) {
    // Treble positions by letter (C D E F G A B): sharps sit high (F5 C5 G5 D5 A4 E5 B4),
    // flats a little lower (B4 E5 A4 D5 G4 C5 F4).
    static constexpr int kSharpPositions[] = {42, 43, 44, 45, 46, 40, 41};
    static constexpr int kFlatPositions[] = {42, 43, 44, 38, 39, 40, 41};
    const auto i = static_cast<std::size_t>(std::clamp(letter, 0, 6));
    return kind == tuning::Accidentals::sharps ? kSharpPositions[i] : kFlatPositions[i];
}

std::vector<int> ledger_lines(int staff_position) {
    std::vector<int> lines;
    if (staff_position == 35) lines.push_back(35);
    for (int p = 47; p <= staff_position; p += 2) lines.push_back(p);
    for (int p = 23; p >= staff_position; p -= 2) lines.push_back(p);
    return lines;
}

StaffGeometry staff_geometry(double height) {
    // From two ledger lines above the treble staff to two below the bass, with room for
    // the names underneath.
    StaffGeometry s;
    s.half_space = std::clamp((height - 40) / 32, 2.0, 9.0);
    s.middle_c_y = kMargin + (49 - 35) * s.half_space;
    return s;
}

namespace {

constexpr std::string_view kSharpSign = "\u266F";
constexpr std::string_view kFlatSign = "\u266D";
constexpr std::string_view kNaturalSign = "\u266E";
constexpr double kClefWidth = 34;

std::string_view sign_of(int alteration) {
    return alteration > 0 ? kSharpSign : alteration < 0 ? kFlatSign : kNaturalSign;
}

files::Rgb note_colour(const files::Colours::FractalScore& colours, int alteration) {
    return alteration > 0 ? colours.Sharps : alteration < 0 ? colours.Flats : colours.Naturals;
}

void draw_staves(Drawing& d, const StaffGeometry& s, double left, double right, files::Rgb colour) {
    for (const int p : kTrebleLines) d.lines.push_back({{left, s.y_of(p)}, {right, s.y_of(p)}, colour, 1});
    for (const int p : kBassLines) d.lines.push_back({{left, s.y_of(p)}, {right, s.y_of(p)}, colour, 1});
    d.lines.push_back({{left, s.y_of(45)}, {left, s.y_of(25)}, colour, 1});
}

// The clefs as their music symbols, sized to the staff: the G clef curls round G4 (39),
// the F clef's dots sit either side of F3 (31).
void draw_clefs(Drawing& d, const StaffGeometry& s, double left, files::Rgb colour) {
    const double size = s.half_space / 5;
    d.labels.push_back(label({left + 2, s.y_of(35) - s.half_space}, "\U0001D11E", colour, Drawing::Align::left, size * 1.6, "G"));
    d.labels.push_back(label({left + 2, s.y_of(27)}, "\U0001D122", colour, Drawing::Align::left, size * 1.6, "F"));
}

double draw_key_signature(Drawing& d, const StaffGeometry& s, const tuning::KeySignature& key, double x,
                          files::Rgb colour) {
    const auto letters = tuning::key_signature_letters(key);
    for (const int letter : letters) {
        const int treble = key_accidental_position(letter, key.kind);
        const std::string sign(sign_of(key.kind == tuning::Accidentals::sharps ? 1 : -1));
        d.labels.push_back(label({x, s.y_of(treble) + s.half_space}, sign, colour, Drawing::Align::centre, s.half_space / 5));
        d.labels.push_back(label({x, s.y_of(treble - 14) + s.half_space}, sign, colour, Drawing::Align::centre, s.half_space / 5));
        x += s.half_space * 1.6;
    }
    return x;
}

}  // namespace

Drawing draw_score(const TuneView& view, const files::Colours::FractalScore& colours, std::span<const GraphNote> notes,
                   double now, double width, double height) {
    Drawing d = blank_drawing(width, height, colours.Background);
    const StaffGeometry s = staff_geometry(height);
    const double left = kMargin;
    draw_staves(d, s, left, width - kMargin, colours.Lines);
    draw_clefs(d, s, left, colours.Lines);
    const double key_end = draw_key_signature(d, s, view.key, left + kClefWidth, colours.Lines);
    const TimePage page = time_page(view, now, key_end + 3 * s.half_space, width - kMargin - s.half_space);
    const double names_y = s.y_of(19) + 2 * s.half_space;
    const double head = s.half_space * 0.9;
    const std::vector<GraphNote> shown = notes_on_page(notes, page);
    for (const GraphNote& n : shown) {
        const tuning::NoteSpelling spelling = tuning::spell_note(nearest_note(n.pitch), view.key);
        const double x = page.x_of(n.time) + head;
        const double y = s.y_of(spelling.staff_position);
        const files::Rgb colour = note_colour(colours, spelling.alteration);
        for (const int p : ledger_lines(spelling.staff_position)) {
            d.lines.push_back({{x - 2 * head, s.y_of(p)}, {x + 2 * head, s.y_of(p)}, colours.Lines, 1});
        }
        if (!spelling.fits) {
            d.labels.push_back(label({x - 2.2 * head, y + s.half_space}, std::string(sign_of(spelling.alteration)), colour,
                                Drawing::Align::centre, s.half_space / 5));
        }
        d.notes.push_back({{x, y}, head, colour, n.channel});
        d.labels.push_back(label({x, names_y}, name_of(view, n.pitch), colours.Lines, Drawing::Align::centre, 0.8));
    }
    if (view.underline_note && !shown.empty()) {
        const Point at = d.notes.back().centre;
        d.lines.push_back({{at.x - 2 * head, names_y + 3}, {at.x + 2 * head, names_y + 3}, colours.Note_Underline, 2});
    }
    add_scan_line(d, view, page, now, colours.Scan_Line);
    return d;
}

// ---- the intervals ---------------------------------------------------------------------

std::vector<std::string> interval_lines(const TuneView& view, std::span<const GraphNote> notes) {
    std::vector<GraphNote> followed;
    std::copy_if(notes.begin(), notes.end(), std::back_inserter(followed),
                 [&](const GraphNote& n) { return n.channel == view.channel_to_follow; });
    if (followed.empty()) followed.assign(notes.begin(), notes.end());
    std::vector<std::string> lines;
    std::string line;
    int on_line = 0;
    for (std::size_t i = 1; i < followed.size(); ++i) {
        const double from = followed[i - 1].pitch;
        const double to = followed[i].pitch;
        const double ratio = std::pow(2.0, (to - from) / kSemitonesPerOctave);
        const std::string text = name_of(view, from) + " to " + name_of(view, to) + ": " +
                                 tuning::format_pitch_value(ratio, tuning::PitchForm::ratio, view.format, {.cents_word = true});
        line += (on_line > 0 ? "    " : "") + text;
        if (++on_line == view.intervals_per_line) {
            lines.push_back(std::move(line));
            line.clear();
            on_line = 0;
        }
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

Drawing draw_intervals(const TuneView& view, const files::Colours::FractalScore& colours,
                       std::span<const GraphNote> notes, double width, double height) {
    Drawing d = blank_drawing(width, height, colours.Background);
    constexpr double kLineHeight = 18;
    const std::vector<std::string> lines = interval_lines(view, notes);
    // The latest intervals at the bottom, as many as the window holds.
    const auto room = static_cast<std::size_t>(std::max(1.0, (height - kMargin) / kLineHeight));
    const std::size_t first = lines.size() > room ? lines.size() - room : 0;
    double y = kMargin + kLineHeight * 0.8;
    for (std::size_t i = first; i < lines.size(); ++i, y += kLineHeight) {
        d.labels.push_back(label({kMargin, y}, lines[i], colours.Lines, Drawing::Align::left, 1));
    }
    return d;
}

}  // namespace corvane::ui
