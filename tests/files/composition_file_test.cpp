// The composition file: the writer's items and formats, the tolerant reader, and the
// Colours section.
#include "corvane/files/composition_file.h"

#include <cmath>
#include <functional>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "../expected_output.h"
#include "composition_test_support.h"

namespace corvane::files {
namespace {

using engine::Composition;
using testing::expect_same_composition;
constexpr auto written = testing::composition_file_text;

Composition read_into(Composition c, std::string_view text, CompositionReading* reading = nullptr) {
    Colours colours = default_colours();
    const auto r = read_composition(text, c, colours);
    if (reading != nullptr) *reading = r;
    return c;
}

Composition read_new(std::string_view text, CompositionReading* reading = nullptr) {
    return read_into(Composition{}, text, reading);
}

// ---- Writing

// Whole files kept beside the tests: new.cv holds a New composition ("%2Lg" gives 261.626,
// "%12Lg" a Sustain right-aligned in 12 characters, Note_length as a ratio, the scale in ratio
// form, and the one per-channel array whose New value differs from the neutral one);
// untitled_ratios.cv one at 440 Hz with empty titles (an underscore) and "Use ratios" for the
// arpeggio; every_field.cv every optional item in its place and its format. Each of these but
// New, and one far beyond the 10240 bytes of a fixed buffer, comes back from its file whatever
// it is read over.
TEST(CompositionFileWriting, CompositionsAreWrittenWholeAndComeBack) {
    corvane::testing::expect_output_as_kept(written(Composition{}), "files/expected/new.cv");
    Composition untitled;
    untitled.Intervals_Title.clear();
    untitled.Arpeggio_Title.clear();
    untitled.Use_ratios = true;
    untitled.Frequency_of_lowest_note = 440;  // 261.6255653 is written with six figures
    corvane::testing::expect_output_as_kept(written(untitled), "files/expected/untitled_ratios.cv");
    const Composition every_field = testing::composition_with_every_field_set();
    corvane::testing::expect_output_as_kept(written(every_field), "files/expected/every_field.cv");
    Composition large;
    large.Frequency_of_lowest_note = 440;
    large.Note_heights.assign(1000, -123456);
    large.times_by_melody_pos.assign(1000, 1.23457);
    large.has_times_by_melody_pos = true;
    std::vector<double> scale;
    for (int i = 0; i <= 999; ++i) scale.push_back(std::pow(2.0, i / 999.0) - 1);
    engine::set_intervals(large, scale);
    large.Voices_for_channels[3] = 40;  // an item after the scale
    EXPECT_GT(written(large).size(), 30000u);
    for (const Composition& c : {every_field, untitled, large}) {
        const std::string text = written(c);
        Composition expected = c;
        if (expected.Intervals_Title.empty()) {  // empty titles come back as blanks
            expected.Intervals_Title = " ";
            expected.Arpeggio_Title = " ";
        }
        Composition different_start;
        different_start.Levels = 3;
        different_start.Sustain = 9;
        expect_same_composition(read_into(different_start, text), expected, 1e-12);
    }
}

// ---- The reader's rules

// What a read reports besides the record, one flag after another, for comparing two readings.
std::string reading_text(const CompositionReading& r) {
    std::ostringstream out;
    out << "colours " << r.colours_read << ", voices " << r.voices_read << ", scale title " << r.scale_title_read
        << ", arpeggio title " << r.arpeggio_title_read << ", twelve tone " << r.scale_set_to_twelve_tone
        << ", built-in modes '" << r.builtin_scale_modes << "', modes named " << r.list_of_modes_named
        << ", modes folder '" << r.list_of_modes_directory << "', ended early " << r.ended_early;
    return out.str();
}

// Older and looser forms read as the writer's own form would: the same record, the same report.
TEST(CompositionFileReading, OlderAndLooserFormsReadAsTheWrittenOnes) {
    const std::pair<std::string_view, std::string_view> same[] = {
        // Older scale keys hold the internal form.
        {"Wave_Scale 0 0.25 1 // Wave_Scale_Title Old_one", "Intervals_1 1 1.25 2 // Intervals_Title Old_one"},
        {"Intervals 0 n(7/12) //", "Intervals_1 1 n(7/12) //"},
        {"Scale FOLLOW_WAVE_SCALE // Scale_Title Any", "Arpeggio Use_ratios // Arpeggio_Title Any"},
        // A title typed by hand in words: a later word ("scale", an old key) is part of it.
        {"Intervals_Title Just  intonation scale\r\nLevels 3\r\n", "Intervals_Title Just_intonation_scale\r\nLevels 3"},
        {"Arpeggio 0 2 3 12| 0 2 |12 //", "Arpeggio 0 2 3 12 | 0 2 12 //"},  // a bar glued to a number splits
        // The per-position lists follow the seed's length.
        {"Note_heights 0 1 2 times_by_melody_pos 2 0.5 volumes_by_melody_pos 0.5 //",
         "Note_heights 0 1 2 times_by_melody_pos 2 0.5 1 volumes_by_melody_pos 0.5 1 1 //"},
        {"Choose_channels_by 6", "Choose_channels_by 5"},  // rule 6 is rule 5
        // Numbers are expressions and may use a decimal comma; whole numbers are cut.
        {"Sustain 1,5 Note_length 3/16 Frequency_of_lowest_note 440*3/2 Levels 7.9",
         "Sustain 1.5 Note_length 0.1875 Frequency_of_lowest_note 660 Levels 7"},
        // Unknown tokens are skipped, a value that does not read keeps the field, keys are whole words.
        {"Something else Levels many Channels_in_Play 4 Note_length oops", "Channels_in_Play 4"},
        {"Levels2 8 LevelsX 9 levels 6", "Levels 6"},
        {"Levels 4 Colours Pitch_Bar Background Black Levels 9", "Levels 4 Colours"},  // the colours end it
    };
    for (const auto& [text, written_form] : same) {
        SCOPED_TRACE(std::string(text));
        CompositionReading reading;
        CompositionReading expected_reading;
        expect_same_composition(read_new(text, &reading), read_new(written_form, &expected_reading), 1e-15);
        EXPECT_EQ(reading_text(reading), reading_text(expected_reading));
    }
}

// Each text read into a composition (New unless `start` changes it) changes what it names
// and nothing else, and reports what it read and nothing else.
TEST(CompositionFileReading, ItemsSetTheirFieldsAndNothingElse) {
    using Change = std::function<void(Composition&)>;
    struct Case {
        std::string_view text;
        Change expect;
        std::function<void(CompositionReading&)> report = [](CompositionReading&) {};
        Change start = [](Composition&) {};
    };
    const std::vector<Case> cases{
        // A built-in scale's title names its modes, whatever its case and blanks.
        {"Intervals_Title equal__temperament_(m)",
         [](Composition& c) { c.Intervals_Title = "equal temperament (m)"; },
         [](CompositionReading& r) {
             r.scale_title_read = true;
             r.builtin_scale_modes = ":12";
         }},
        // An older arpeggio key brings twelve-tone equal temperament with it.
        {"Voice_Scale 0 4 7 12 // Voice_Scale_Title Major",
         [](Composition& c) {
             c.Arpeggio.entries = {0, 4, 7, 12};
             c.Arpeggio.ascending_last = 3;
             c.Arpeggio_Title = "Major";
             c.Intervals = Composition{}.Intervals;
         },
         [](CompositionReading& r) {
             r.arpeggio_title_read = true;
             r.scale_set_to_twelve_tone = true;
         },
         [](Composition& c) { c.Intervals = {0, 0.5, 1}; }},
        // "Test" in the seed line is marked and not counted; a seed without it clears the mark.
        {"Note_heights 0 TEST 1 test2 0 //",
         [](Composition& c) {
             c.Note_heights = {0, 1, 0};
             c.seed_has_test = true;
         }},
        {"Note_heights 0 1 //",
         [](Composition& c) {
             c.Note_heights = {0, 1};
             c.seed_has_test = false;
         },
         [](CompositionReading&) {},
         [](Composition& c) { c.seed_has_test = true; }},
        // A channel array is read from its own line only, the channels it does not name set to 0.
        {"Volumes_for_channels 100 90\r\n5 5\r\nMax_notes_for_channels 80 //\r\n",
         [](Composition& c) {
             c.Volumes_for_channels = engine::filled(0);
             c.Volumes_for_channels[0] = 100;
             c.Volumes_for_channels[1] = 90;
             c.Max_notes_for_channels = engine::filled(0);
             c.Max_notes_for_channels[0] = 80;
         }},
        // A vibrato amplitude line without a number ends the reading, the array cleared as any read one is.
        {"Levels 3\r\ndVibrato_amp\r\nLevels 5\r\n",
         [](Composition& c) {
             c.Levels = 3;
             c.dVibrato_amp = engine::filled(0.0);
         },
         [](CompositionReading& r) { r.ended_early = true; }},
        // The list of modes is the rest of its line.
        {"ListOfModesFile= some folder/my modes.lmd \r\nListOfModesDirectory= /x/y\r\nLevels 2",
         [](Composition& c) {
             c.ListOfModesFile = "some folder/my modes.lmd";
             c.Levels = 2;
         },
         [](CompositionReading& r) {
             r.list_of_modes_named = true;
             r.list_of_modes_directory = "/x/y";
         }},
        // Rule 2 with the level formula is rule 5.
        {"Choose_channels_by 2\r\nccbo_multiple_notes_in_same_channel=1\r\nccbo_sym_chs=1\r\nsz_ccbo_formula L\r\n",
         [](Composition& c) {
             c.Choose_channels_by = 5;
             c.ccbo_sym_chs = true;
             c.sz_ccbo_formula = "L";
         }},
        {"Choose_channels_by 2\r\nccbo_sym_chs=1\r\nsz_ccbo_formula L\r\n",
         [](Composition& c) {
             c.Choose_channels_by = 2;
             c.ccbo_multiple_notes_in_same_channel = false;  // rule 2 with no item of its own
             c.ccbo_sym_chs = true;
             c.sz_ccbo_formula = "L";
         }},
        // Rule 0 is read like any other rule.
        {"Choose_channels_by 0", [](Composition& c) { c.Choose_channels_by = 0; }, [](CompositionReading&) {},
         [](Composition& c) { c.Choose_channels_by = 3; }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.text));
        Composition start;
        k.start(start);
        Composition expected = start;
        k.expect(expected);
        CompositionReading expected_reading;
        k.report(expected_reading);
        CompositionReading reading;
        expect_same_composition(read_into(start, k.text, &reading), expected);
        EXPECT_EQ(reading_text(reading), reading_text(expected_reading));
    }
}

// ---- Colours

// A colour outside the palette is written as unknown, and reading it keeps the colour in use.
TEST(ColoursSection, IsWrittenWindowByWindowAndReadBack) {
    Colours colours = default_colours();
    colours.pitch_bar.Track_Melody = *palette_colour("Dark Magenta");
    colours.new_seed_arpeggio_scale.White_Keys = *palette_colour("light grey");
    colours.volume_bar.Line = Rgb{1, 2, 3};
    colours.fractal_graph.Seeds = Rgb{0, 130, 130};            // written as Dark_Cyan
    colours.fractal_score.Note_Underline = Rgb{130, 130, 0};   // written as Dark_Yellow
    SaveBuffer out;
    write_colours(out, colours);
    const std::string text = out.take();
    // colours.txt: the section whole, the unknown colour as "(?]".
    corvane::testing::expect_output_as_kept(text, "files/expected/colours.txt");

    Colours back = default_colours();
    back.volume_bar.Line = Rgb{9, 9, 9};
    read_colours(text, std::string_view("Colours").size(), back);
    colours.volume_bar.Line = Rgb{9, 9, 9};
    EXPECT_EQ(back, colours);
}

}  // namespace
}  // namespace corvane::files
