#include "corvane/tuning/builtin_tables.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "text_tokens.h"

namespace corvane::tuning {
namespace {

// The Bohlen-Pierce row has its own increment-form text (every entry of the ratio-form
// scale minus 1), so that all rows of this menu load the same way and its period is 3/1.
constexpr std::array kNewScaleRows{
    NewScaleRow{"Clear", "0"},
    NewScaleRow{"Equal temperament 12 tone", "e12"},
    NewScaleRow{"Equal temperament diatonic", "0 n(1/6) n(1/3) n(5/12) n(7/12) n(3/4) n(11/12) 1"},
    NewScaleRow{"Just temperament diatonic", "0 1/8 1/4 1/3 1/2 2/3 7/8 1"},
    NewScaleRow{"Just temperament twelve tone", "0 1/15 1/8 1/5 1/4 1/3 13/32 1/2 3/5 2/3 4/5 7/8 1"},
    NewScaleRow{"Mean-tone...", "mean-tone"},
    NewScaleRow{"Pythagorean diatonic", "0 1/8 17/64 1/3 1/2 11/16 115/128 1"},
    NewScaleRow{"Pythagorean twelve tone", "0 13/243 1/8 5/27 17/64 1/3 217/512 1/2 47/81 11/16 7/9 115/128 1"},
    NewScaleRow{"7 limit twelve tone", "0 1/27 1/8 1/6 1/4 1/3 13/32 1/2 5/9 2/3 3/4 7/8 1"},
    NewScaleRow{"19-tone equal temperament", "e19"},
    NewScaleRow{"31-tone equal temperament", "e31"},
    NewScaleRow{"Arabic 17-tone Pythagorean",
                "0 13/243 6487/59049 1/8 5/27 1631/6561 17/64 1/3 295/729 84997/177147 1/2 47/81 13085/19683 "
                "11/16 7/9 1909/2187 517135/531441 1"},
    NewScaleRow{"Indian Shruti scale",
                "0 13/243 1/15 1/9 1/8 5/27 1/5 1/4 17/64 1/3 7/20 13/32 217/512 1/2 47/81 3/5 2/3 11/16 7/9 "
                "4/5 7/8 115/128 1"},
    NewScaleRow{"Bohlen-Pierce scale - \"octave\" is 3/1",
                "0 2/25 4/21 2/7 2/5 26/49 2/3 4/5 24/25 8/7 4/3 38/25 16/9 2"},
};

constexpr std::array kScalesWithModesRows{
    ScaleWithModesRow{"Clear", "1", ""},
    ScaleWithModesRow{"Equal Temperament (M)", "1 n(1/12)", ":12"},
    ScaleWithModesRow{"Gamelan from South Bali (Slendro)",
                      "1 235.419 cents 453.56 cents 704.786 cents 927.453 cents 2", ":"},
    ScaleWithModesRow{"Gamelan from South Bali (Pelog) (M)",
                      "1 153 cents 315 cents 552 cents 706 cents 848 cents 1058 cents 2",
                      "__7_tone_modes_of_pelog.lmd"},
    ScaleWithModesRow{"Modern Pelog (M)", "1 11/10 6/5 7/5 3/2 8/5 9/5 2", "__7_tone_modes_of_pelog.lmd"},
    ScaleWithModesRow{"Thai equal 7 tone (M)", "1 n(1/7)", "__7_tone_modes.lmd"},
    ScaleWithModesRow{"15-tone equal temperament (M)", "1 n(1/15)", "_15_tone_equal_modes.lmd"},
    ScaleWithModesRow{"17-tone equal temperament (M)", "1 n(1/17)", "_17_tone_equal_modes.lmd"},
    ScaleWithModesRow{"19-tone equal temperament (M)", "1 n(1/19)", "_19_tone_modes.lmd"},
    ScaleWithModesRow{"22-tone equal temperament (M)", "1 n(1/22)", "_22_tone_equal_modes.lmd"},
    ScaleWithModesRow{"31-tone equal temperament (M)", "1 n(1/31)", "_31_tone_equal_modes.lmd"},
    ScaleWithModesRow{"Harmonic series", "2", ":"},
    ScaleWithModesRow{"\"In tune\" harmonics for trumpet", "1 2 3 4 5 6 8 9 10 12 15 16 18 20 24 27 30 32 1", ":"},
    ScaleWithModesRow{"Major chord", "1 5/4 3/2 2", ":"},
    ScaleWithModesRow{"Bluesy minor chord", "1 7/6 3/2 2", ":"},
    ScaleWithModesRow{"Pygmie scale", "1 8/7 21/16 3/2 7/4 2", ":"},
    ScaleWithModesRow{"Folk scale from Rajasthan India", "1 9/8 5/4 4/3 3/2 15/8 2", ":"},
    ScaleWithModesRow{"Japanese Koto scale", "1 9/8 6/5 3/2 8/5 2", ":"},
    ScaleWithModesRow{"Xylophone from West Africa",
                      "1 152 cents 287 cents 533 cents 724 cents 890 cents 1039 cents 2", ":"},
    ScaleWithModesRow{"Just temperament twelve tone (M)", "1 16/15 9/8 6/5 5/4 4/3 45/32 3/2 8/5 5/3 9/5 15/8 2",
                      ":12"},
    ScaleWithModesRow{"Pythagorean twelve tone (M)",
                      "1 256/243 9/8 32/27 81/64 4/3 729/512 3/2 128/81 27/16 16/9 243/128 2", ":12"},
    ScaleWithModesRow{"7 limit twelve tone (M)", "1 28/27 9/8 7/6 5/4 4/3 45/32 3/2 14/9 5/3 7/4 15/8 2", ":12"},
    ScaleWithModesRow{"Quarter comma Mean-tone (M)",
                      "1 76.049 cents 193.157 cents 310.265 cents 5/4 503.422 cents 579.471 cents 696.578 cents "
                      "25/16 889.735 cents 1006.84 cents 1082.89 cents 2",
                      ":12"},
    ScaleWithModesRow{"Well temperament, 18th century (M)",
                      "1 256/243 192.18 cents 32/27 390.225 cents 4/3 1024/729 696.09 cents 128/81 888.27 cents "
                      "16/9 1092.18 cents 2",
                      ":12"},
    ScaleWithModesRow{"Well temperament, later 18th century (M)",
                      "1 94.135 cents 196.09 cents 298.045 cents 392.18 cents 501.955 cents 592.18 cents "
                      "698.045 cents 796.09 cents 894.135 cents 1000 cents 1090.22 cents 2",
                      ":12"},
    ScaleWithModesRow{"Arabic 17-tone Pythagorean (M)",
                      "1 256/243 65536/59049 9/8 32/27 8192/6561 81/64 4/3 1024/729 262144/177147 3/2 128/81 "
                      "32768/19683 27/16 16/9 4096/2187 1048576/531441 2",
                      "_17_tone_modes_of_Arabic_Pythagorean_scale.lmd"},
    ScaleWithModesRow{"Indian Shruti scale (M)",
                      "1 256/243 16/15 10/9 9/8 32/27 6/5 5/4 81/64 4/3 27/20 45/32 729/512 3/2 128/81 8/5 5/3 "
                      "27/16 16/9 9/5 15/8 243/128 2",
                      "_22_tone_modes_of_Indian_shruti_scale.lmd"},
    ScaleWithModesRow{"Bohlen-Pierce scale - \"octave\" is 3/1 (M)",
                      "1 27/25 25/21 9/7 7/5 75/49 5/3 9/5 49/25 15/7 7/3 63/25 25/9 3",
                      "_13_tone_modes_of_Bohlen-Pierce_scale,_octave_is_3o1.lmd"},
    ScaleWithModesRow{kMoreScalesTitle, "", ""},
};

constexpr std::array kTwelveToneModeRows{
    ModeRow{"Clear", "0"},
    ModeRow{"Follow scale", kFollowScaleDefinition},
    ModeRow{"Tritone", "0 4"},
    ModeRow{"Diminished seventh", "0 3"},
    ModeRow{"Whole tone", "0 2"},
    ModeRow{"Major chord", "0 4 7 12"},
    ModeRow{"Minor chord", "0 3 7 12"},
    ModeRow{"Pentatonic", "0 2 4 7 9 12"},
    ModeRow{"Diatonic", "0 2 4 5 7 9 11 12"},
    ModeRow{"Harmonic minor", "0 2 3 5 7 8 11 12"},
    ModeRow{"Melodic minor", "0 2 3 5 7 9 11 12 | 0 2 3 5 7 8 10 12"},
    ModeRow{"2 to 4 note modes...", "12_tone_-_2_to_4_notes.lmd"},
    ModeRow{"5 note modes...", "12_tone_-_5_notes.lmd"},
    ModeRow{"6 note modes...", "12_tone_-_6_notes.lmd"},
    ModeRow{"7 note modes...", "12_tone_-_7_notes.lmd"},
    ModeRow{"8 or more note modes...", "12_tone_-_8_or_more_notes.lmd"},
    ModeRow{"All modes...", "12_tone.lmd"},
};

constexpr std::array kOtherScaleModeRows{
    ModeRow{"Clear", "0"},
    ModeRow{"Follow scale", kFollowScaleDefinition},
    ModeRow{"0 -1 2", "0 -1 2"},
    ModeRow{"0 2 1", "0 2 1"},
    ModeRow{"0 1 -2", "0 1 -2"},
    ModeRow{"0 -2 1", "0 -2 1"},
    ModeRow{"0 1 -1", "0 1 -1"},
    ModeRow{"0 -1 1", "0 -1 1"},
    ModeRow{"Modes for default scales", "Modes_for_default_scales.lmd"},
};

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && starts_with_any_case(a, b);
}

}  // namespace

std::span<const NewScaleRow> new_scale_rows() { return kNewScaleRows; }
std::span<const ScaleWithModesRow> scales_with_modes_rows() { return kScalesWithModesRows; }
std::span<const ModeRow> twelve_tone_mode_rows() { return kTwelveToneModeRows; }
std::span<const ModeRow> other_scale_mode_rows() { return kOtherScaleModeRows; }

std::optional<int> equal_temperament_code(std::string_view definition) {
    if (definition.size() < 2 || (definition[0] != 'e' && definition[0] != 'E')) return std::nullopt;
    int n = 0;
    const auto [end, ec] = std::from_chars(definition.data() + 1, definition.data() + definition.size(), n);
    if (ec != std::errc() || end != definition.data() + definition.size() || n < 1) return std::nullopt;
    return n;
}

bool is_mode_list_file(std::string_view definition) {
    return definition.size() > 4 && equal_ignoring_case(definition.substr(definition.size() - 4), ".lmd");
}

const ScaleWithModesRow* find_scale_with_modes(std::string_view title) {
    const auto rows = scales_with_modes_rows();
    const auto it = std::find_if(rows.begin(), rows.end(),
                                 [title](const ScaleWithModesRow& row) { return equal_ignoring_case(row.title, title); });
    return it == rows.end() ? nullptr : &*it;
}

}  // namespace corvane::tuning
