// The composition file: the writer's items and formats, the tolerant reader, and the
// Colours section.
#include "corvane/files/composition_file.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "composition_test_support.h"
#include "corvane/tuning/pitch_list.h"
#include "corvane/tuning/step_list.h"

namespace corvane::files {
namespace {

using engine::Composition;
using testing::expect_same_composition;

// A New composition as the file formats write it: "%2Lg" gives 261.626, "%12Lg" a Sustain
// right-aligned in 12 characters, Note_length as a ratio, the scale in ratio form, and the
// one per-channel array whose New value (2) differs from the neutral one (0).
constexpr std::string_view kNewCompositionFile =
    "Frequency_of_lowest_note 261.626\r\n"
    "Sustain            1\r\n"
    "Channels_in_Play 1\r\n"
    "Channel 0\r\n"
    "Levels 10\r\n"
    "Note_length 1/8\r\n"
    "Note_heights 0 1 0 //\r\n"
    "Intervals_Title Equal_Temperament_(M)\r\n"
    "Intervals_1 1 n(1/12) //\r\n"
    "Arpeggio_Title Pentatonic\r\n"
    "Arpeggio 0 2 4 7 9 12 //\r\n"
    "Voices_for_channels 73 73 73 73 73 73 73 73 73 -1 73 73 73 73 73 73 \r\n"
    "\r\n"
    "Choose_channels_by 4\r\n"
    "iActionIfOutOfRange 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 //\r\n"
    "\r\n"
    "\r\n";

std::string written(const Composition& c) {
    SaveBuffer out;
    write_composition(out, c);
    return out.take();
}

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

TEST(CompositionFileWriting, ANewCompositionIsWrittenByteForByte) {
    EXPECT_EQ(written(Composition{}), kNewCompositionFile);
}

TEST(CompositionFileWriting, OptionalItemsAppearInTheirPlacesWithTheirFormats) {
    const std::string text = written(testing::composition_with_every_field_set());
    const std::vector<std::string_view> in_order{
        "Frequency_of_lowest_note 440\r\n",
        "Sustain          2.5\r\n",
        "Channels_in_Play 3\r\nChannel 2\r\nLevels 7\r\nNote_length 1/4\r\n",
        "Note_timing_shift 1/4\r\nTop_note_length 1/8\r\nTop_note_volume        0.375\r\n",
        "Note_heights 0 2 -1 3 times_by_melody_pos 1 0.5 2 1.25 volumes_by_melody_pos 1 0.75 0.5 1 //\r\n",
        "iRhythmFractalToLevel 3\r\nVolForSilentSimNote       0.25\r\n",
        "Intervals_Title Just_diatonic\r\nIntervals_1 1 9/8 5/4 4/3 3/2 5/3 15/8 2 //\r\n",
        "Arpeggio_Title Melodic_minor\r\nArpeggio 0 2 3 5 7 9 11 12 | 0 2 3 5 7 8 10 12 //\r\n",
        "Voices_for_channels 0 1 -1 40 128 73 73 73 73 -1 73 73 73 73 73 12 \r\n\r\n",
        "Choose_channels_by 2\r\nccbo_first_channel 1\r\nccbo_multiple_notes_in_same_channel=0\r\n"
        "ccbo_sym_chs=1\r\nsz_ccbo_formula N+2*H\r\nshift_by_octave_or_arpeggio 2\r\n",
        "Octave_shifts_for_channels 0 -1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 //\r\n",
        "Volumes_for_channels 100 127 ",
        "Sync_to_pitch 0 0 0 0 1 0 ",
        "iPitch_for_sync_to_pitch 0 0 0 0 0 1.5 ",
        "dVibrato_amp 10 10 10 10 10 10 10 10 20 10 ",
        "iPortamento_slide_time 64 64 64 64 64 64 64 64 64 64 64 32 ",
        "ListOfModesFile= my modes.lmd\r\n\r\n\r\n",
    };
    std::size_t from = 0;
    for (const auto piece : in_order) {
        const auto at = text.find(piece, from);
        ASSERT_NE(at, std::string::npos) << "missing or out of order: " << piece << "\nin:\n" << text;
        from = at + piece.size();
    }
    EXPECT_EQ(from, text.size());
}

// Each change is written in its form and reads back as `back` says (the same, unless it says otherwise).
TEST(CompositionFileWriting, ItemsAreWrittenInTheirFormsAndReadBack) {
    struct Case {
        std::function<void(Composition&)> change;
        std::vector<std::string> written;
        std::function<void(Composition&)> back = [](Composition&) {};
    };
    const std::vector<Case> cases{
        {[](Composition& c) { c.Use_ratios = true; }, {"Arpeggio Use_ratios //\r\n"}},
        {[](Composition& c) {
             c.Intervals_Title.clear();
             c.Arpeggio_Title.clear();
         },
         {"Intervals_Title _\r\n", "Arpeggio_Title _\r\n"},
         [](Composition& c) {  // an empty title is written as an underscore and read back as a blank
             c.Intervals_Title = " ";
             c.Arpeggio_Title = " ";
         }},
        // Titles are the whole line, underscores as written, up to their limit.
        {[](Composition& c) {
             c.Intervals_Title = "Just_intonation (5-limit) of a_b";
             c.Arpeggio_Title = std::string(300, 'x');
         },
         {"Intervals_Title Just\\_intonation_(5-limit)_of_a\\_b\r\n",
          "Arpeggio_Title " + std::string(300, 'x') + "\r\n"}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        Composition c;
        cases[i].change(c);
        const std::string text = written(c);
        for (const auto& piece : cases[i].written) EXPECT_NE(text.find(piece), std::string::npos) << piece;
        Composition expected = c;
        cases[i].back(expected);
        expect_same_composition(read_new(text), expected, 1e-5);
    }
}

TEST(CompositionFileWriting, ALargeCompositionIsWrittenWholeAndReadsBackWhole) {
    Composition c;
    c.Note_heights.assign(1000, -123456);
    c.times_by_melody_pos.assign(1000, 1.23457);
    c.has_times_by_melody_pos = true;
    std::vector<double> scale;
    for (int i = 0; i <= 999; ++i) scale.push_back(std::pow(2.0, i / 999.0) - 1);
    engine::set_intervals(c, scale);
    c.Arpeggio = tuning::read_step_list("0 3 5 | 0 2 5", tuning::ListNotation::absolute);
    c.Voices_for_channels[3] = 40;
    c.Choose_channels_by = 1;
    const std::string text = written(c);
    EXPECT_GT(text.size(), 30000u);  // far beyond the 10240 bytes of a fixed buffer
    const Composition back = read_new(text);
    EXPECT_EQ(back.Note_heights, c.Note_heights);
    EXPECT_EQ(back.times_by_melody_pos, c.times_by_melody_pos);
    ASSERT_EQ(back.Intervals.size(), 1000u);
    for (std::size_t i = 0; i < scale.size(); ++i) EXPECT_NEAR(back.Intervals[i], scale[i], 1e-12) << i;
    // The items after the scale are there too.
    EXPECT_EQ(back.Arpeggio.entries, c.Arpeggio.entries);
    EXPECT_EQ(back.Voices_for_channels[3], 40);
    EXPECT_EQ(back.Choose_channels_by, 1);
}

TEST(CompositionFileRoundTrip, ANewCompositionComesBackTheSame) {
    const Composition fresh;
    Composition loud;
    loud.Volumes_for_channels = engine::filled(100);
    Composition back = read_into(loud, kNewCompositionFile);
    // The file has no volumes (sixteen of 127 are not written), so they are left as they were.
    EXPECT_EQ(back.Volumes_for_channels, engine::filled(100));
    back.Volumes_for_channels = fresh.Volumes_for_channels;
    // The frequency is written with six significant figures ("%Lg").
    expect_same_composition(back, fresh, 1e-5);
    EXPECT_EQ(written(back), kNewCompositionFile);
}

TEST(CompositionFileRoundTrip, EveryFieldComesBackTheSame) {
    const Composition c = testing::composition_with_every_field_set();
    Composition different_start;
    different_start.Levels = 3;
    different_start.Volumes_for_channels = engine::filled(5);
    expect_same_composition(read_into(different_start, written(c)), c, 1e-13);
}

// The reader does not depend on lines or on letter case: the items reversed, with their
// keys in lower case, read the same.
TEST(CompositionFileRoundTrip, KeysInAnotherOrderOrCaseReadTheSame) {
    Composition c = testing::composition_with_every_field_set();
    c.Choose_channels_by = 3;  // rule 2 depends on the order of its own items
    std::vector<std::string> lines;
    std::istringstream in(written(c));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::reverse(lines.begin(), lines.end());
    std::string shuffled;
    for (auto line : lines) {
        const auto key_end = line.find(' ');
        std::transform(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(std::min(key_end, line.size())),
                       line.begin(), [](char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 32) : ch; });
        shuffled += line + "\n";
    }
    expect_same_composition(read_new(shuffled), read_new(written(c)));
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

// Each text read into a composition (New unless `start` changes it) changes what it names
// and nothing else, and reports what it read and nothing else.
TEST(CompositionFileReading, ItemsSetTheirFieldsAndNothingElse) {
    using Change = std::function<void(Composition&)>;
    const Change three_steps = [](Composition& c) { c.Intervals = {0, 0.5, 1}; };
    struct Case {
        std::string_view text;
        Change expect;
        std::function<void(CompositionReading&)> report = [](CompositionReading&) {};
        Change start = [](Composition&) {};
        double tolerance = 0.0;
    };
    const std::vector<Case> cases{
        {"Intervals_1 1.5 2 //", [](Composition& c) { c.Intervals = {0.5, 1.0}; }},  // ratios less one
        // Older scale keys hold the internal form.
        {"Wave_Scale 0 0.25 1 // Wave_Scale_Title Old_one",
         [](Composition& c) {
             c.Intervals = {0, 0.25, 1};
             c.Intervals_Title = "Old one";
         },
         [](CompositionReading& r) { r.scale_title_read = true; }},
        {"Scale_As_Intervals 0 0.5 // Scale_As_Intervals_Title Older",
         [](Composition& c) {
             c.Intervals = {0, 0.5};
             c.Intervals_Title = "Older";
         },
         [](CompositionReading& r) { r.scale_title_read = true; }},
        {"Intervals 0 n(7/12) //", [](Composition& c) { c.Intervals = {0, std::exp2(7.0 / 12) - 1}; },
         [](CompositionReading&) {}, [](Composition&) {}, 1e-15},
        // A title typed by hand in words: a later word ("scale", an old key) is part of it.
        {"Intervals_Title Just  intonation scale\r\nLevels 3\r\n",
         [](Composition& c) {
             c.Intervals_Title = "Just intonation scale";
             c.Levels = 3;
         },
         [](CompositionReading& r) { r.scale_title_read = true; }, three_steps},
        // A built-in scale's title names its modes, whatever its case and blanks.
        {"Intervals_Title equal__temperament_(m)",
         [](Composition& c) { c.Intervals_Title = "equal temperament (m)"; },
         [](CompositionReading& r) {
             r.scale_title_read = true;
             r.builtin_scale_modes = ":12";
         }},
        {"Arpeggio 0 2 3 12| 0 2 |12 //",
         [](Composition& c) {  // a bar glued to a number splits the arpeggio
             c.Arpeggio.entries = {0, 2, 3, 12, 0, 2, 12};
             c.Arpeggio.ascending_last = 3;
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
         three_steps},
        {"Scale FOLLOW_WAVE_SCALE // Scale_Title Any",
         [](Composition& c) {
             c.Use_ratios = true;
             c.Arpeggio_Title = "Any";
         },
         [](CompositionReading& r) { r.arpeggio_title_read = true; }, three_steps},
        {"Note_heights 0 2 1 3 //\r\nLevels 4\r\n",
         [](Composition& c) {  // the seed ends at the slashes
             c.Note_heights = {0, 2, 1, 3};
             c.Levels = 4;
         }},
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
        // The per-position lists follow the seed's length.
        {"Note_heights 0 1 2 times_by_melody_pos 2 0.5 volumes_by_melody_pos 0.5 //",
         [](Composition& c) {
             c.Note_heights = {0, 1, 2};
             c.times_by_melody_pos = {2, 0.5, 1};
             c.volumes_by_melody_pos = {0.5, 1, 1};
             c.has_times_by_melody_pos = true;
             c.has_volumes_by_melody_pos = true;
         }},
        // Optional values absent from a file are switched off; the timing shift keeps its state.
        {"Levels 3",
         [](Composition& c) {
             c.Levels = 3;
             c.has_Top_note_length = false;
             c.has_Top_note_volume = false;
             c.has_times_by_melody_pos = false;
             c.has_volumes_by_melody_pos = false;
             c.Use_ratios = false;
         },
         [](CompositionReading&) {}, [](Composition& c) { c = testing::composition_with_every_field_set(); }},
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
        // Channel rule 6 is rule 5, and so is rule 2 with the level formula.
        {"Choose_channels_by 6", [](Composition& c) { c.Choose_channels_by = 5; }},
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
        // Numbers are expressions and may use a decimal comma; whole numbers are cut.
        {"Sustain 1,5 Note_length 3/16 Frequency_of_lowest_note 440*3/2 Levels 7.9",
         [](Composition& c) {
             c.Sustain = 1.5;
             c.Note_length = 0.1875;
             c.Frequency_of_lowest_note = 660;
             c.Levels = 7;
         }},
        // Unknown tokens are skipped, and a value that does not read keeps the field.
        {"Something else Levels many Channels_in_Play 4 Note_length oops",
         [](Composition& c) { c.Channels_in_Play = 4; }},
        {"Levels2 8 LevelsX 9 levels 6", [](Composition& c) { c.Levels = 6; }},  // keys are whole words
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
        expect_same_composition(read_into(start, k.text, &reading), expected, k.tolerance);
        EXPECT_EQ(reading_text(reading), reading_text(expected_reading));
    }
}

TEST(CompositionFileReading, ResetChannelChoicePutsBackTheNewRule) {
    Composition c = testing::composition_with_every_field_set();
    reset_channel_choice(c);
    EXPECT_EQ(c.Choose_channels_by, 4);
    EXPECT_EQ(c.sz_ccbo_formula, "N+H+1");
    EXPECT_EQ(c.ccbo_first_channel, 0);
    EXPECT_TRUE(c.ccbo_multiple_notes_in_same_channel);
    EXPECT_FALSE(c.ccbo_sym_chs);
    EXPECT_EQ(c.Channels_in_Play, 3);
}

// ---- Colours

TEST(ColoursSection, IsWrittenWindowByWindowAndReadBack) {
    Colours colours = default_colours();
    colours.pitch_bar.Track_Melody = *palette_colour("Dark Magenta");
    colours.new_seed_arpeggio_scale.White_Keys = *palette_colour("light grey");
    SaveBuffer out;
    write_colours(out, colours);
    const std::string text = out.take();
    EXPECT_TRUE(text.starts_with("Colours\r\nVolume_Bar\r\n\tBackground White\r\n\tLine Blue\r\nPitch_Bar\r\n"));
    EXPECT_NE(text.find("\tTrack_Melody Dark_Magenta\r\n"), std::string::npos);
    EXPECT_NE(text.find("New_Seed_/_Arpeggio_/_Scale\r\n\tBackground White\r\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\tText Black\r\n\r\n\r\n"));

    Colours back;
    read_colours(text, std::string_view("Colours").size(), back);
    EXPECT_EQ(back, colours);
}

TEST(ColoursSection, AColourOutsideThePaletteIsWrittenAsUnknownAndKeepsTheColourInUse) {
    Colours colours = default_colours();
    colours.volume_bar.Line = Rgb{1, 2, 3};
    SaveBuffer out;
    write_colours(out, colours);
    EXPECT_NE(out.text().find("\tLine (?]\r\n"), std::string::npos);

    Colours in_use = default_colours();
    in_use.volume_bar.Line = Rgb{9, 9, 9};
    read_colours("Volume_Bar Background Black Line (?]", 0, in_use);
    EXPECT_EQ(in_use.volume_bar.Background, (Rgb{0, 0, 0}));
    EXPECT_EQ(in_use.volume_bar.Line, (Rgb{9, 9, 9}));
}

TEST(ColoursSection, TheCompositionReaderHandsOverAtTheWordColours) {
    Composition c;
    Colours colours = default_colours();
    const auto reading = read_composition("Levels 4 Colours Pitch_Bar Background Black Levels 9", c, colours);
    EXPECT_TRUE(reading.colours_read);
    EXPECT_EQ(c.Levels, 4);
    EXPECT_EQ(colours.pitch_bar.Background, (Rgb{0, 0, 0}));
}

}  // namespace
}  // namespace corvane::files
