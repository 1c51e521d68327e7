#include "corvane/tuning/note_names.h"

#include <cmath>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "../expected_output.h"
#include "corvane/tuning/temperament.h"

namespace corvane::tuning {
namespace {

double cents(double increment) { return 1200.0 * std::log2(increment + 1.0); }

// Equal temperaments of 1 to 999 steps.
TEST(GeneratedScales, EqualTemperamentAndMeanTone) {
    const GeneratedScale twelve = make_equal_temperament(12);
    ASSERT_EQ(twelve.entries.size(), 13u);
    EXPECT_NEAR(twelve.entries[7], std::exp2(7.0 / 12.0) - 1.0, 1e-15);
    EXPECT_NEAR(twelve.entries[12], 1.0, 1e-15);
    EXPECT_EQ(twelve.title, "12-tone equal temperament");
    EXPECT_EQ(make_equal_temperament(5000).entries.size(), 1000u);
    EXPECT_EQ(make_equal_temperament(5000).title, "999-tone equal temperament");
    EXPECT_EQ(make_equal_temperament(0).entries, (std::vector<double>{0, 1}));
    EXPECT_EQ(make_equal_temperament(0).title, "1-tone equal temperament");

    // Mean-tone: comma 0 gives Pythagorean fifths, the wolf on G sharp; a quarter comma makes the
    // major third pure. The wolf note is taken into the octave.
    const GeneratedScale pythagorean = make_mean_tone(0.0, 8, {});
    ASSERT_EQ(pythagorean.entries.size(), 13u);
    // G 3/2, D 9/8, F 4/3 down the chain, E flat and G sharp at the ends of the wolf; the octave exact.
    const std::pair<int, double> notes[] = {
        {7, 0.5}, {2, 1.0 / 8}, {5, 1.0 / 3}, {3, 32.0 / 27 - 1}, {8, 6561.0 / 4096 - 1}};
    for (const auto& [note, increment] : notes) EXPECT_DOUBLE_EQ(pythagorean.entries[note], increment) << note;
    EXPECT_EQ(pythagorean.entries[12], 1.0);
    EXPECT_EQ(pythagorean.title, "0 comma Mean-tone");
    const GeneratedScale scale = make_mean_tone(0.25, 8, {});
    EXPECT_NEAR(scale.entries[4], 0.25, 1e-12);
    EXPECT_NEAR(scale.entries[8], 25.0 / 16 - 1, 1e-12);
    EXPECT_NEAR(cents(scale.entries[1]), 76.049, 0.001);
    EXPECT_NEAR(cents(scale.entries[11]), 1082.89, 0.01);
    EXPECT_EQ(scale.title, "1/4 comma Mean-tone");
    EXPECT_EQ(make_mean_tone(0.25, 8 + 12, {}).entries, scale.entries);
    EXPECT_EQ(make_mean_tone(0.25, 8 - 12, {}).entries, scale.entries);
}

// beats.txt, each text under a line "== <what> ==": the fifth at 440 Hz to three harmonics, where
// 880 lies 220 from both 660 and 1320 and the lower is kept; 440 and 441 Hz, beating n times a
// second at the nth harmonics, to three figures; no harmonics within the limits, in the window
// and with the difference ratio in cents (named "cents" only in the window); and the windows of a
// just fifth, beating nowhere, and of an equal-tempered one, in columns without the difference tone;
// a fifth whose harmonics lie below one hertz, still 702 and 498 cents apart.
// The settings are the highest harmonic, the most beats a second and the significant figures.
TEST(Beats, ReportsAndWindowsAreWrittenAsKept) {
    const PitchFormat in_cents{.show_cents = true, .show_cents_or_small_ratios = false};
    const BeatsReport fifth = show_beats(1.0, 1.5, 440.0, BeatsSettings{3, 300}, {});
    EXPECT_EQ(fifth.first_rate, 220.0);
    const BeatsReport unison = show_beats(1.0, 441.0 / 440.0, 440.0, BeatsSettings{3, 2, 3}, {});
    EXPECT_NEAR(*unison.first_rate, 1.0, 1e-9);
    EXPECT_FALSE(show_beats(1.0, 1.5, 440.0, BeatsSettings{0, 10}, {}).first_rate.has_value());
    const std::pair<std::string_view, std::string> texts[] = {
        {"fifth", fifth.text},
        {"unison", unison.text},
        {"no harmonics, window", beats_window_text(1.0, 1.5, 440.0, BeatsSettings{0, 10}, {}, true)},
        {"in cents, window", beats_window_text(1.0, 1.5, 440.0, BeatsSettings{0, 10}, in_cents, true)},
        {"in cents", show_beats(1.0, 1.5, 440.0, BeatsSettings{0, 10}, in_cents).text},
        {"just fifth, window", beats_window_text(1.0, 1.5, 261.6, BeatsSettings{6, 20}, {}, true)},
        {"equal-tempered fifth, window",
         beats_window_text(1.0, std::exp2(7.0 / 12), 261.6, BeatsSettings{6, 20}, {}, false)},
        {"fifth below one hertz, window", beats_window_text(1.0, 1.5, 0.4, BeatsSettings{2, 1, 3}, {}, false)},
    };
    std::string kept;
    for (const auto& [what, text] : texts) kept += "== " + std::string(what) + " ==\n" + text;
    corvane::testing::expect_output_as_kept(kept, "tuning/expected/beats.txt");
}

TEST(Ordinal, EnglishSuffixes) {
    std::string written;
    for (const int n : {1, 2, 3, 4, 11, 12, 13, 21, 22, 23, 101, 111, 112, 113}) written += ordinal(n) + " ";
    EXPECT_EQ(written, "1st 2nd 3rd 4th 11th 12th 13th 21st 22nd 23rd 101st 111th 112th 113th ");
}

constexpr Accidentals sharps = Accidentals::sharps;
constexpr Accidentals flats = Accidentals::flats;

// Key signatures are named by their accidentals, up to seven.
TEST(NoteName, OctaveStylesAccidentalsAndTheNumberAndKeySignatureNames) {
    struct Case {
        int note;
        Accidentals kind;
        OctaveStyle style;
        bool with_number;
        std::string_view name;
    };
    constexpr auto number = OctaveStyle::number;
    constexpr auto none = OctaveStyle::none;
    constexpr auto apostrophes = OctaveStyle::apostrophes;
    const Case cases[] = {
        {61, sharps, number, false, "C4 Sharp"}, {61, flats, number, false, "D4 Flat"},
        {60, flats, number, false, "C4"}, {0, sharps, number, false, "C-1"}, {127, sharps, number, false, "G9"},
        {-1, sharps, number, false, "B-2"},  // negative notes stay in their octave
        // No octave mark shows the note's number unless asked not to.
        {61, sharps, none, true, "61: C Sharp"}, {70, flats, none, true, "70: B Flat"},
        {61, sharps, none, false, "C Sharp"}, {61, sharps, number, true, "61: C4 Sharp"},
        // Apostrophes count octaves away from the middle; above note 59 all is lower case, and
        // the mark sits between the letter and the accidental.
        {60, sharps, apostrophes, false, "c"}, {72, sharps, apostrophes, false, "c'"},
        {48, sharps, apostrophes, false, "C"}, {36, sharps, apostrophes, false, "C'"},
        {24, sharps, apostrophes, false, "C''"}, {37, sharps, apostrophes, false, "C' Sharp"},
        {73, flats, apostrophes, false, "d' flat"}, {85, flats, apostrophes, false, "d'' flat"},
    };
    for (const Case& c : cases) EXPECT_EQ(note_name(c.note, c.kind, c.style, c.with_number), c.name) << c.note;
    // The program's form shows the number exactly when there is no octave mark.
    EXPECT_EQ(note_name(61, sharps, none), "61: C Sharp");
    EXPECT_EQ(note_name(61, sharps, number), "C4 Sharp");
    // Accidentals, their kind and major or minor.
    const std::tuple<int, Accidentals, bool, std::string_view> keys[] = {
        {3, sharps, false, "F sharp minor"}, {0, flats, true, "C major"},      {2, flats, true, "B flat major"},
        {7, flats, false, "A flat minor"},   {8, sharps, true, "out of range"}, {-1, flats, false, "out of range"}};
    for (const auto& [count, kind, major, name] : keys) EXPECT_EQ(key_signature_name(count, kind, major), name);
}

TEST(NoteFromName, LetterAndLastAccidentalInTheReferenceOctaveClamped) {
    struct Case {
        std::string_view name;
        int reference;
        int note;
    };
    const Case cases[] = {
        {"F", 60, 65}, {"f sharp", 60, 66}, {"B Flat", 60, 70}, {"E", 0, 4}, {"  g", 67, 67},
        // The last accidental letter counts; "#" and a small "b" are signs too.
        {"F Sharp", 0, 6}, {"G flat sharp", 0, 8}, {"D sharp flat", 0, 1}, {"G#", 0, 8}, {"Eb", 0, 3},
        {"Bb", 60, 70},
        // No letter keeps the reference; the result stays within the MIDI notes.
        {"", 61, 61}, {"123", 70, 70}, {"C flat", 0, 0}, {"B", 125, 127},
    };
    for (const Case& c : cases) EXPECT_EQ(note_from_name(c.name, c.reference), c.note) << c.name;
    // Every note name reads back.
    for (int note = 0; note < 128; ++note) {
        for (const Accidentals kind : {sharps, flats}) {
            const std::string name = note_name(note, kind, OctaveStyle::none, false);
            EXPECT_EQ(note_from_name(name, note), note) << name;
        }
    }
}

constexpr double kMiddleC = 261.6255653005986;

StepList mode_of(std::vector<double> degrees, int ascending_last = -1) {
    StepList list;
    list.entries = std::move(degrees);
    list.ascending_last = ascending_last < 0 ? list.last_index() : ascending_last;
    return list;
}

// The mode over twelve-tone equal temperament.
struct ModeInput {
    GeneratedScale twelve_tone = make_equal_temperament(12);
    StepList mode;
    KeySignatureInput input;

    explicit ModeInput(StepList arpeggio, double lowest_frequency = kMiddleC) : mode(std::move(arpeggio)) {
        input.scale = twelve_tone.entries;
        input.arpeggio = &mode;
        input.lowest_frequency = lowest_frequency;
    }
};

TEST(ModeNotes, ArpeggioDegreesOverTheScaleClampedToTheMidiRangeOrTheScaleItself) {
    ModeInput triad(mode_of({0, 4, 7, 12, 1.9999999999, 24 + 7}));
    EXPECT_EQ(mode_notes(triad.input), (std::vector<int>{60, 64, 67, 72, 62, 91}));
    triad.input.follow_scale = true;
    EXPECT_EQ(mode_notes(triad.input).size(), 13u);
    EXPECT_EQ(mode_notes(triad.input).back(), 72);

    ModeInput wide(mode_of({0, 100}));
    EXPECT_EQ(mode_notes(wide.input), (std::vector<int>{60, 127}));
    wide.input.lowest_frequency = 1.0;
    EXPECT_EQ(mode_notes(wide.input).front(), 0);

    // Following a just major scale from G, the key is G major.
    const std::vector<double> major_on_c{0, 1.0 / 8, 1.0 / 4, 1.0 / 3, 1.0 / 2, 2.0 / 3, 7.0 / 8, 1};
    KeySignatureInput input;
    input.scale = major_on_c;
    input.follow_scale = true;
    input.lowest_frequency = kMiddleC * std::exp2(7.0 / 12.0);
    const KeySignature key = choose_key_signature(input);
    EXPECT_EQ(key.accidentals, 1);
    EXPECT_EQ(key.kind, sharps);
}

TEST(ChooseKeySignature, ModesFindTheirKeys) {
    struct Case {
        StepList mode;
        double lowest_frequency;
        int accidentals;
        Accidentals kind;
    };
    const Case cases[] = {
        {mode_of({0, 2, 4, 7, 9, 12}), kMiddleC, 0, sharps},  // pentatonic on C
        {mode_of({2, 4, 6, 7, 9, 11, 13, 14}), kMiddleC, 2, sharps},  // D major
        {mode_of({5, 7, 9, 10, 12, 14, 16, 17}), kMiddleC, 1, flats},  // F major
        {mode_of({3, 5, 7, 8, 10, 12, 14, 15}), kMiddleC, 3, flats},  // E flat major
        // The lowest note moves the key: the C major mode played from D is D major.
        {mode_of({0, 2, 4, 5, 7, 9, 11, 12}), kMiddleC * std::exp2(2.0 / 12.0), 2, sharps},
        // B major and C flat major hold the same notes: five sharps come before seven flats.
        {mode_of({11, 13, 15, 16, 18, 20, 22, 23}), kMiddleC, 5, sharps},
        // A melodic minor, ascending: G major and A major fit seven notes with different clashes
        // (a sharp for G, a natural for C), so the first tried stays. The descending F and G make
        // C major fit as many with fewer clashes.
        {mode_of({9, 11, 12, 14, 16, 18, 20, 21, 9, 11, 12, 14, 16, 17, 19, 21}, 7), kMiddleC, 0, sharps},
        {mode_of({9, 11, 12, 14, 16, 18, 20, 21}), kMiddleC, 1, sharps},
        // C harmonic minor: E flat major, its B with a natural sign.
        {mode_of({0, 2, 3, 5, 7, 8, 11, 12}), kMiddleC, 3, flats},
        // At equal fit only fewer clashes replace the best: C E G sharp (A major needs a natural
        // for C, C major a sharp for G) and C C sharp D (D major needs a natural for C) stay C major.
        {mode_of({0, 4, 8}), kMiddleC, 0, sharps},
        {mode_of({0, 1, 2}), kMiddleC, 0, sharps},
        // E G sharp B fits A major (and E major) completely; the first tried wins.
        {mode_of({4, 8, 11}), kMiddleC, 3, sharps},
    };
    for (const Case& c : cases) {
        const KeySignature key = choose_key_signature(ModeInput(c.mode, c.lowest_frequency).input);
        EXPECT_EQ(key.accidentals, c.accidentals) << ::testing::PrintToString(c.mode.entries);
        EXPECT_EQ(key.kind, c.kind) << ::testing::PrintToString(c.mode.entries);
    }
}

}  // namespace
}  // namespace corvane::tuning
