#include "corvane/files/colours.h"

#include <algorithm>
#include <string>

#include "text_scan.h"

namespace corvane::files {
namespace {

constexpr std::array<PaletteColour, 16> kPalette{{
    {"Red", {255, 0, 0}},
    {"Blue", {0, 0, 255}},
    {"Yellow", {255, 255, 0}},
    {"Green", {0, 255, 0}},
    {"Cyan", {0, 255, 255}},
    {"Magenta", {255, 0, 255}},
    {"Dark Red", {190, 0, 0}},
    {"Dark Blue", {0, 0, 190}},
    {"Dark Yellow", {130, 130, 0}},
    {"Dark Green", {0, 190, 0}},
    {"Dark Cyan", {0, 130, 130}},
    {"Dark Magenta", {130, 0, 130}},
    {"White", {255, 255, 255}},
    {"Grey", {128, 128, 128}},
    {"Light Grey", {192, 192, 192}},
    {"Black", {0, 0, 0}},
}};

constexpr std::size_t kMostElements = 7;

struct ElementRef {
    std::string_view name;
    Rgb* colour = nullptr;
};

struct WindowRef {
    std::string_view name;
    std::array<ElementRef, kMostElements> elements{};
    std::size_t count = 0;

    std::span<const ElementRef> list() const { return std::span<const ElementRef>(elements).first(count); }
};

WindowRef window(std::string_view name, std::initializer_list<ElementRef> elements) {
    WindowRef w{name};
    for (const auto& e : elements) w.elements[w.count++] = e;
    return w;
}

// The five windows with their elements, in the order of the file.
std::array<WindowRef, 5> windows_of(Colours& c) {
    auto& v = c.volume_bar;
    auto& p = c.pitch_bar;
    auto& g = c.fractal_graph;
    auto& s = c.fractal_score;
    auto& n = c.new_seed_arpeggio_scale;
    return {
        window("Volume Bar", {{"Background", &v.Background}, {"Line", &v.Line}}),
        window("Pitch Bar",
               {{"Background", &p.Background}, {"Octaves", &p.Octaves}, {"Line", &p.Line},
                {"Track Melody", &p.Track_Melody}}),
        window("Fractal Tune as Graph",
               {{"Background", &g.Background}, {"Octaves", &g.Octaves}, {"Seeds", &g.Seeds},
                {"Scan Line", &g.Scan_Line}, {"Line", &g.Line}}),
        window("Fractal Tune As Score",
               {{"Background", &s.Background}, {"Lines", &s.Lines}, {"Naturals", &s.Naturals},
                {"Sharps", &s.Sharps}, {"Flats", &s.Flats}, {"Scan Line", &s.Scan_Line},
                {"Note Underline", &s.Note_Underline}}),
        window("New Seed / Arpeggio / Scale",
               {{"Background", &n.Background}, {"Lines", &n.Lines}, {"Dots", &n.Dots},
                {"Triangles", &n.Triangles}, {"White Keys", &n.White_Keys}, {"Text", &n.Text}}),
    };
}

// Names are compared with blanks and "_" alike and without regard to case.
bool same_name(std::string_view token, std::string_view name) {
    if (token.size() != name.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char a = token[i] == '_' ? ' ' : detail::ascii_upper(token[i]);
        const char b = name[i] == '_' ? ' ' : detail::ascii_upper(name[i]);
        if (a != b) return false;
    }
    return true;
}

// Reads the elements of one window after its name: each element name that follows in order
// is followed by its colour name; an element that is not there keeps its colour.
void read_window_elements(detail::TokenReader& tokens, const WindowRef& w) {
    for (const auto& element : w.list()) {
        const auto name = tokens.peek();
        if (!name || !same_name(*name, element.name)) continue;
        tokens.next();
        const auto colour_name = tokens.next();
        if (!colour_name) return;
        if (const auto rgb = palette_colour(detail::text_of_token(*colour_name))) *element.colour = *rgb;
    }
}

}  // namespace

std::span<const PaletteColour> palette() { return kPalette; }

std::optional<std::string_view> palette_name(Rgb colour) {
    const auto it = std::find_if(kPalette.begin(), kPalette.end(), [&](const auto& p) { return p.rgb == colour; });
    if (it == kPalette.end()) return std::nullopt;
    return it->name;
}

std::optional<Rgb> palette_colour(std::string_view name) {
    const auto it = std::find_if(kPalette.begin(), kPalette.end(), [&](const auto& p) { return same_name(name, p.name); });
    if (it == kPalette.end()) return std::nullopt;
    return it->rgb;
}

Colours default_colours() {
    constexpr Rgb white{255, 255, 255}, black{0, 0, 0}, grey{128, 128, 128}, light_grey{192, 192, 192};
    constexpr Rgb red{255, 0, 0}, blue{0, 0, 255}, dark_blue{0, 0, 190}, dark_green{0, 190, 0}, dark_red{190, 0, 0};
    Colours c;
    c.volume_bar = {white, blue};
    c.pitch_bar = {white, light_grey, blue, red};
    c.fractal_graph = {white, light_grey, grey, red, blue};
    c.fractal_score = {white, black, black, dark_red, dark_blue, red, dark_green};
    c.new_seed_arpeggio_scale = {white, grey, blue, red, white, black};
    return c;
}

void write_colours(SaveBuffer& out, const Colours& colours) {
    Colours copy = colours;
    out.append("Colours\r\n");
    for (const auto& w : windows_of(copy)) {
        append_formatted(out, {detail::token_text(w.name), "\r\n"});
        for (const auto& element : w.list()) {
            const auto name = palette_name(*element.colour).value_or(kUnknownColourName);
            append_formatted(out, {"\t", detail::token_text(element.name), " ", detail::token_text(name), "\r\n"});
        }
    }
    out.append("\r\n\r\n");
}

void read_colours(std::string_view text, std::size_t position, Colours& colours) {
    const auto windows = windows_of(colours);
    detail::TokenReader tokens(text, position);
    while (const auto token = tokens.next()) {
        const auto w = std::find_if(windows.begin(), windows.end(),
                                    [&](const WindowRef& candidate) { return same_name(*token, candidate.name); });
        if (w != windows.end()) read_window_elements(tokens, *w);
    }
}

}  // namespace corvane::files
