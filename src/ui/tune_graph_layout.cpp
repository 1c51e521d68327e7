#include "corvane/ui/tune_graph_layout.h"

#include <algorithm>
#include <cmath>

#include "corvane/tuning/number_text.h"
#include "corvane/tuning/pitch_format.h"
#include "corvane/tuning/pitch_mapping.h"

namespace corvane::ui {
namespace {

constexpr double kSemitonesPerOctave = 12;
constexpr double kMargin = 8;
constexpr double kTopMargin = 18;   // room above the top octave line for its name
constexpr double kLabelWidth = 44;  // room on the left of the graph for the octave names
constexpr double kShortestBar = 2;  // pixels, so that a very short note still shows
constexpr double kFewestPixelsBetweenSeedLines = 12;
constexpr double kLeastBrightnessContrast = 50;  // of a note's colour against the background

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

// The notes that sound at some time of the page: begun before its end, ended after its start.
std::vector<GraphNote> notes_sounding_on(std::span<const GraphNote> notes, const TimePage& page) {
    std::vector<GraphNote> shown;
    std::copy_if(notes.begin(), notes.end(), std::back_inserter(shown), [&](const GraphNote& n) {
        return n.time < page.start + page.span && n.time + n.length >= page.start;
    });
    return shown;
}

void add_scan_line(Drawing& d, const TuneView& view, const TimePage& page, std::optional<double> now,
                   files::Rgb colour) {
    if (!view.scan_line || !now || !page.holds(*now)) return;
    d.scan_x = page.x_of(*now);
    d.scan_colour = colour;
}

// `colour` taken `amount` (0..1) of the way towards `to`.
files::Rgb mixed(files::Rgb colour, files::Rgb to, double amount) {
    const auto mix = [&](std::uint8_t a, std::uint8_t b) {
        return static_cast<std::uint8_t>(std::lround(a + (b - a) * amount));
    };
    return {mix(colour.red, to.red), mix(colour.green, to.green), mix(colour.blue, to.blue)};
}

double brightness(files::Rgb c) { return 0.299 * c.red + 0.587 * c.green + 0.114 * c.blue; }

// Text that reads on the background: dark on a light one, light on a dark one.
files::Rgb text_colour(files::Rgb background) {
    return brightness(background) > 128 ? files::Rgb{48, 48, 48} : files::Rgb{224, 224, 224};
}

std::string count_text(std::size_t count) { return std::to_string(count); }

void add_capped_note(Drawing& d, const TuneScene& scene, files::Rgb background) {
    if (!scene.capped) return;
    const std::string text = "Only the first " + count_text(scene.tune.size()) + " notes of the tune are drawn";
    const files::Rgb colour = text_colour(background);
    d.labels.push_back(label({d.width - kMargin, kTopMargin - 5}, text, colour, Drawing::Align::right, 0.8));
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

Drawing::Label label(Point at, std::string text, files::Rgb colour, Drawing::Align align, double size) {
    return {at, std::move(text), colour, align, size};
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

void sort_by_time(std::vector<GraphNote>& notes) {
    std::stable_sort(notes.begin(), notes.end(),
                     [](const GraphNote& a, const GraphNote& b) { return a.time < b.time; });
}

std::vector<GraphNote> notes_of_tune(const engine::TuneNotes& tune) {
    std::vector<GraphNote> notes;
    notes.reserve(tune.notes.size());
    for (const engine::TuneNote& t : tune.notes) {
        const engine::RenderedNote& n = t.note;
        notes.push_back({n.time, n.pitch, n.voice, n.value, 0, t.length, n.level, n.key, n.bend});
    }
    sort_by_time(notes);
    return notes;
}

std::string note_info(const GraphNote& n) {
    const double cents = (n.pitch - std::round(n.pitch)) * 100;
    const std::string cents_text = (cents >= 0 ? "+" : "") + tuning::format_fixed(cents, 1) + " cents";
    std::string text = "value " + std::to_string(n.value) + ", level " + std::to_string(n.level) + ", channel " +
                       std::to_string(n.channel + 1);
    if (n.key >= 0) text += ", MIDI note " + std::to_string(n.key) + ", bend " + std::to_string(n.bend);
    return text + ", " + cents_text;
}

const Drawing::Bar* bar_at(const Drawing& d, Point at) {
    for (auto bar = d.bars.rbegin(); bar != d.bars.rend(); ++bar) {
        // A little slack round thin bars, so that they can be pointed at.
        const double slack_x = std::max(0.0, (4 - bar->width) / 2);
        const double slack_y = std::max(0.0, (4 - bar->height) / 2);
        if (at.x >= bar->top_left.x - slack_x && at.x <= bar->top_left.x + bar->width + slack_x &&
            at.y >= bar->top_left.y - slack_y && at.y <= bar->top_left.y + bar->height + slack_y) {
            return &*bar;
        }
    }
    return nullptr;
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
        const bool seen = std::abs(brightness(rgb) - brightness(background)) >= kLeastBrightnessContrast;
        if (seen && rgb != line) usable.push_back(rgb);
    }
    return usable[static_cast<std::size_t>(channel - 1) % usable.size()];
}

TuneView tune_view(const engine::Composition& c, const files::Settings& s) {
    TuneView v;
    v.lowest_pitch = tuning::frequency_to_midi_pitch(c.Frequency_of_lowest_note);
    v.seed_length = std::max(1, c.seed_length());
    v.seed_secs = v.seed_length * c.Note_length;
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

TimeSpan first_page(const TuneView& view) { return {0, std::max(view.seeds * view.seed_secs, 1e-3)}; }

TimeSpan whole_tune(double end_secs) { return {0, std::max(end_secs, 1e-3)}; }

TimeSpan zoomed(TimeSpan shown, double anchor, double factor) {
    const double span = std::clamp(shown.span * factor, 1e-3, 1e7);
    const double kept = span / shown.span;  // the factor after the clamp
    return {anchor - (anchor - shown.start) * kept, span};
}

TimeSpan scrolled(TimeSpan shown, double seconds) { return {shown.start + seconds, shown.span}; }

TimeSpan following(TimeSpan shown, double now) {
    if (now >= shown.start && now < shown.start + shown.span) return shown;
    return {now, shown.span};
}

TimePage time_page(TimeSpan shown, double left, double right) {
    TimePage page;
    page.start = shown.start;
    page.span = std::max(shown.span, 1e-3);
    page.left = left;
    page.right = std::max(right, left + 1);
    return page;
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

namespace {

std::vector<GraphNote> notes_in_view(const TuneScene& scene, const TimePage& page) {
    std::vector<GraphNote> shown = notes_sounding_on(scene.tune, page);
    const std::vector<GraphNote> live = notes_on_page(scene.live, page);
    shown.insert(shown.end(), live.begin(), live.end());
    return shown;
}

// Seed lines every seed, or every seed of a higher level where they would crowd together.
double seed_line_spacing(const TuneView& view, const TimePage& page, int seed_length) {
    double spacing = std::max(view.seed_secs, 1e-6);
    const double pixels_per_second = (page.right - page.left) / page.span;
    while (spacing * pixels_per_second < kFewestPixelsBetweenSeedLines) spacing *= std::max(seed_length, 2);
    return spacing;
}

// The colours of levels (or channels) 0 up, worked out once for a picture's many notes.
class NoteColours {
public:
    explicit NoteColours(const files::Colours::FractalGraph& colours) {
        for (std::size_t i = 0; i < colours_.size(); ++i) {
            colours_[i] = channel_colour(static_cast<int>(i), colours.Line, colours.Background);
        }
    }
    files::Rgb operator[](int i) const {
        return colours_[static_cast<std::size_t>(std::clamp(i, 0, engine::kMaxLevels))];
    }

private:
    std::array<files::Rgb, engine::kLevelCount> colours_{};
};

// Each level's notes joined in time order: a level's note starts at every note of that
// level or higher, so the line traces the seed's contour at that level's time scale.
void add_level_contours(Drawing& d, const GraphLayout& g, std::span<const GraphNote> notes,
                        const NoteColours& palette, files::Rgb background) {
    int top = 0;
    for (const GraphNote& n : notes) top = std::max(top, n.level);
    for (int level = 1; level <= top; ++level) {
        const files::Rgb colour = mixed(palette[level], background, 0.5);
        std::optional<Point> previous;
        for (const GraphNote& n : notes) {
            if (n.level < level || n.time < g.page.start) continue;
            const Point here{g.page.x_of(n.time), g.y_of(n.pitch)};
            if (previous) d.contours.push_back({*previous, here, colour, 1});
            previous = here;
        }
    }
}

void add_note_bars(Drawing& d, const TuneView& view, const GraphLayout& g, std::span<const GraphNote> notes,
                   std::optional<double> now, const NoteColours& palette, files::Rgb background) {
    const double semitone = (g.plot_bottom - g.plot_top) / (g.top_pitch - g.bottom_pitch);
    const double height = std::clamp(semitone * 0.8, 2.0, 8.0);
    for (const GraphNote& n : notes) {
        const double left = std::max(g.page.x_of(n.time), g.page.left);
        const double right = std::min(g.page.x_of(n.time + n.length), g.page.right);
        files::Rgb colour = palette[view.colour_by_level ? n.level : n.channel];
        // While playing, the notes still to come are pale.
        if (now && n.time > *now) colour = mixed(colour, background, 0.6);
        const Point top_left{left, g.y_of(n.pitch) - height / 2};
        d.bars.push_back({top_left, std::max(right - left, kShortestBar), height, colour, n});
    }
}

// The live notes, each channel's joined in the order they sounded: a step across to where
// the next one starts, then up or down to it.
void add_live_notes(Drawing& d, const TuneView& view, const GraphLayout& g, std::span<const GraphNote> notes,
                    const files::Colours::FractalGraph& colours) {
    std::array<std::optional<Point>, engine::kMidiChannels> last{};
    for (const GraphNote& n : notes) {
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
}

}  // namespace

GraphLayout graph_layout(const TuneView& view, const TuneScene& scene, double width, double height) {
    GraphLayout g;
    g.page = time_page(scene.shown, kLabelWidth, width - kMargin);
    const std::vector<GraphNote> shown = notes_in_view(scene, g.page);
    // The plot starts at the octave line at or below the lowest note on the page.
    double lowest = view.lowest_pitch;
    for (const GraphNote& n : shown) lowest = std::min(lowest, n.pitch);
    g.bottom_pitch = view.lowest_pitch + std::floor((lowest - view.lowest_pitch) / kSemitonesPerOctave) * kSemitonesPerOctave;
    g.top_pitch = g.bottom_pitch + octaves_needed(view, g.bottom_pitch, shown) * kSemitonesPerOctave;
    g.plot_top = kTopMargin;
    g.plot_bottom = std::max(height - kMargin, kTopMargin + 1);
    return g;
}

Drawing draw_graph(const TuneView& view, const files::Colours::FractalGraph& colours, const TuneScene& scene,
                   double width, double height) {
    const GraphLayout g = graph_layout(view, scene, width, height);
    Drawing d = blank_drawing(width, height, colours.Background);
    d.time_axis = g.page;
    if (view.draw_octaves) {
        const files::Rgb names = text_colour(colours.Background);
        for (double p = g.bottom_pitch; p <= g.top_pitch + 1e-9; p += kSemitonesPerOctave) {
            const double y = g.y_of(p);
            d.lines.push_back({{g.page.left, y}, {g.page.right, y}, colours.Octaves, 1});
            d.labels.push_back(label({2, y - 3}, name_of(view, p), names, Drawing::Align::left, 0.8));
        }
    }
    const double spacing = seed_line_spacing(view, g.page, view.seed_length);
    for (double t = std::ceil(g.page.start / spacing - 1e-9) * spacing; t < g.page.start + g.page.span - 1e-9;
         t += spacing) {
        const double x = g.page.x_of(t);
        d.lines.push_back({{x, g.plot_top}, {x, g.plot_bottom}, colours.Seeds, 1});
    }
    const std::vector<GraphNote> tune = notes_sounding_on(scene.tune, g.page);
    const NoteColours palette(colours);
    add_level_contours(d, g, tune, palette, colours.Background);
    add_note_bars(d, view, g, tune, scene.now, palette, colours.Background);
    add_live_notes(d, view, g, notes_on_page(scene.live, g.page), colours);
    add_capped_note(d, scene, colours.Background);
    add_scan_line(d, view, g.page, scene.now, colours.Scan_Line);
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

constexpr double kClefSpaces = 4.6;  // staff spaces from the staff's start to the key signature
constexpr double kHeadsBetweenNotes = 4;  // note heads' widths from one note to the next

// About how wide a label is: its characters at a font of 7 pixels a character.
double text_width(std::string_view text, double size) { return static_cast<double>(text.size()) * 7 * size; }

Drawing::Symbol symbol_of(int alteration) {
    return alteration > 0 ? Drawing::Symbol::sharp : alteration < 0 ? Drawing::Symbol::flat : Drawing::Symbol::natural;
}

files::Rgb note_colour(const files::Colours::FractalScore& colours, int alteration) {
    return alteration > 0 ? colours.Sharps : alteration < 0 ? colours.Flats : colours.Naturals;
}

void draw_staves(Drawing& d, const StaffGeometry& s, double left, double right, files::Rgb colour) {
    for (const int p : kTrebleLines) d.lines.push_back({{left, s.y_of(p)}, {right, s.y_of(p)}, colour, 1});
    for (const int p : kBassLines) d.lines.push_back({{left, s.y_of(p)}, {right, s.y_of(p)}, colour, 1});
    d.lines.push_back({{left, s.y_of(45)}, {left, s.y_of(25)}, colour, 1});
}

// The G clef curls round G4 (39), the F clef's dots sit either side of F3 (31).
void draw_clefs(Drawing& d, const StaffGeometry& s, double left, files::Rgb colour) {
    const double space = 2 * s.half_space;
    d.shapes.push_back({Drawing::Symbol::g_clef, {left + 1.4 * space, s.y_of(39)}, space, colour});
    d.shapes.push_back({Drawing::Symbol::f_clef, {left + 1.2 * space, s.y_of(31)}, space, colour});
}

double draw_key_signature(Drawing& d, const StaffGeometry& s, const tuning::KeySignature& key, double x,
                          files::Rgb colour) {
    const auto letters = tuning::key_signature_letters(key);
    const Drawing::Symbol sign = symbol_of(key.kind == tuning::Accidentals::sharps ? 1 : -1);
    for (const int letter : letters) {
        const int treble = key_accidental_position(letter, key.kind);
        d.shapes.push_back({sign, {x, s.y_of(treble)}, 2 * s.half_space, colour});
        d.shapes.push_back({sign, {x, s.y_of(treble - 14)}, 2 * s.half_space, colour});
        x += s.half_space * 2.2;
    }
    return x;
}

// A note's stem goes up from a head below its staff's middle line, down from one on it or above.
bool stem_up(int staff_position) {
    constexpr int kTrebleMiddle = 41;  // B4
    constexpr int kBassMiddle = 29;    // D3
    return staff_position >= 35 ? staff_position < kTrebleMiddle : staff_position < kBassMiddle;
}

}  // namespace

std::string cents_label(double pitch) {
    const double cents = (pitch - std::round(pitch)) * 100;
    if (std::abs(cents) < 0.5) return {};
    const long whole = std::lround(cents);
    return (whole > 0 ? "+" : "") + std::to_string(whole);
}

Drawing draw_score(const TuneView& view, const files::Colours::FractalScore& colours, const TuneScene& scene,
                   double width, double height) {
    Drawing d = blank_drawing(width, height, colours.Background);
    const StaffGeometry s = staff_geometry(height);
    const double left = kMargin;
    draw_staves(d, s, left, width - kMargin, colours.Lines);
    draw_clefs(d, s, left, colours.Lines);
    const double clef_end = left + kClefSpaces * 2 * s.half_space;
    const double key_end = draw_key_signature(d, s, view.key, clef_end, colours.Lines);
    TimePage page = time_page(scene.shown, key_end + 3 * s.half_space, width - kMargin - s.half_space);
    const double names_y = s.y_of(19) + 2 * s.half_space;
    const double head = s.half_space * 0.9;
    const double stem = 7 * s.half_space;
    std::vector<GraphNote> shown = notes_on_page(scene.tune, page);
    const std::vector<GraphNote> live = notes_on_page(scene.live, page);
    shown.insert(shown.end(), live.begin(), live.end());
    sort_by_time(shown);
    // As many notes as fit, each with room for its accidental: a view that holds more shows
    // its first notes across the width and says how many more there are.
    const auto room = static_cast<std::size_t>(std::max(1.0, (page.right - page.left) / (kHeadsBetweenNotes * head)));
    if (shown.size() > room) {
        page.span = shown[room].time - page.start;
        const std::string more = "Zoom in to see the " + count_text(shown.size() - room) + " notes after these";
        d.labels.push_back(label({width - kMargin, height - 4}, more, colours.Lines, Drawing::Align::right, 0.8));
        shown.resize(room);
    }
    d.time_axis = page;
    double names_end = -1e9;  // where the last name written ends
    double cents_end = -1e9;
    for (const GraphNote& n : shown) {
        const tuning::NoteSpelling spelling = tuning::spell_note(nearest_note(n.pitch), view.key);
        const double x = page.x_of(n.time) + head;
        const double y = s.y_of(spelling.staff_position);
        const files::Rgb colour = note_colour(colours, spelling.alteration);
        for (const int p : ledger_lines(spelling.staff_position)) {
            d.lines.push_back({{x - 2 * head, s.y_of(p)}, {x + 2 * head, s.y_of(p)}, colours.Lines, 1});
        }
        if (!spelling.fits) {
            d.shapes.push_back({symbol_of(spelling.alteration), {x - 2.6 * head, y}, 2 * s.half_space, colour});
        }
        const bool up = stem_up(spelling.staff_position);
        const double stem_x = up ? x + 1.15 * head : x - 1.15 * head;
        d.lines.push_back({{stem_x, y}, {stem_x, up ? y - stem : y + stem}, colour, 1});
        d.notes.push_back({{x, y}, head, colour, n.channel});
        // Texts that would run into the one before are left out.
        const std::string cents = cents_label(n.pitch);
        if (!cents.empty() && x - text_width(cents, 0.7) / 2 > cents_end) {
            const double above = std::max(up ? y - stem - s.half_space : y - 2.5 * s.half_space, kTopMargin - 4);
            d.labels.push_back(label({x, above}, cents, colour, Drawing::Align::centre, 0.7));
            cents_end = x + text_width(cents, 0.7) / 2;
        }
        if (const std::string name = name_of(view, n.pitch); x - text_width(name, 0.8) / 2 > names_end) {
            d.labels.push_back(label({x, names_y}, name, colours.Lines, Drawing::Align::centre, 0.8));
            names_end = x + text_width(name, 0.8) / 2;
        }
    }
    if (view.underline_note && !shown.empty()) {
        const Point at = d.notes.back().centre;
        d.lines.push_back({{at.x - 2 * head, names_y + 3}, {at.x + 2 * head, names_y + 3}, colours.Note_Underline, 2});
    }
    add_scan_line(d, view, page, scene.now, colours.Scan_Line);
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

Drawing draw_intervals(const TuneView& view, const files::Colours::FractalScore& colours, const TuneScene& scene,
                       double width, double height) {
    Drawing d = blank_drawing(width, height, colours.Background);
    constexpr double kLineHeight = 18;
    const TimePage page = time_page(scene.shown, 0, width);
    d.time_axis = page;
    std::vector<GraphNote> notes = notes_on_page(scene.tune, page);
    const std::vector<GraphNote> live = notes_on_page(scene.live, page);
    notes.insert(notes.end(), live.begin(), live.end());
    sort_by_time(notes);
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
