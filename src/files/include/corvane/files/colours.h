#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "corvane/files/save_buffer.h"

namespace corvane::files {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    bool operator==(const Rgb&) const = default;
};

// The 16 named colours of the drawing palette.
struct PaletteColour {
    std::string_view name;
    Rgb rgb;
};
std::span<const PaletteColour> palette();
// The palette name of a colour, or nothing for a colour outside the palette.
std::optional<std::string_view> palette_name(Rgb colour);
// The palette colour of a name (any case; "_" or blank between words), or nothing.
std::optional<Rgb> palette_colour(std::string_view name);

// A colour outside the palette is written as this name.
inline constexpr std::string_view kUnknownColourName = "(?]";

// The colours of the five display windows, element by element, in the order of the file.
struct Colours {
    struct VolumeBar {
        Rgb Background, Line;
        bool operator==(const VolumeBar&) const = default;
    } volume_bar;
    struct PitchBar {
        Rgb Background, Octaves, Line, Track_Melody;
        bool operator==(const PitchBar&) const = default;
    } pitch_bar;
    struct FractalGraph {
        Rgb Background, Octaves, Seeds, Scan_Line, Line;
        bool operator==(const FractalGraph&) const = default;
    } fractal_graph;
    struct FractalScore {
        Rgb Background, Lines, Naturals, Sharps, Flats, Scan_Line, Note_Underline;
        bool operator==(const FractalScore&) const = default;
    } fractal_score;
    struct NewSeedArpeggioScale {
        Rgb Background, Lines, Dots, Triangles, White_Keys, Text;
        bool operator==(const NewSeedArpeggioScale&) const = default;
    } new_seed_arpeggio_scale;

    bool operator==(const Colours&) const = default;
};

// The drawing colours a new installation starts with.
Colours default_colours();

// "Colours", then each window's name and its elements with their colour names.
void write_colours(SaveBuffer& out, const Colours& colours);

// Reads the Colours section from `position` (just after the word "Colours") to the end of
// the text. A colour name that is not one of the 16 palette names leaves that element's
// colour as it was, so a file written with a colour outside the palette ("(?]") keeps the
// colour in use rather than turning it into some palette colour.
void read_colours(std::string_view text, std::size_t position, Colours& colours);

}  // namespace corvane::files
