#include "corvane/tuning/note_names.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "corvane/tuning/temperament.h"

namespace corvane::tuning {
namespace {

constexpr Accidentals sharps = Accidentals::sharps;
constexpr Accidentals flats = Accidentals::flats;

TEST(NoteName, OctaveStylesAccidentalsAndTheNumber) {
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
}

TEST(NoteFromName, ReadsBackEveryNoteName) {
    for (int note = 0; note < 128; ++note) {
        for (const Accidentals kind : {sharps, flats}) {
            const std::string name = note_name(note, kind, OctaveStyle::none, false);
            EXPECT_EQ(note_from_name(name, note), note) << name;
        }
    }
}

TEST(KeySignatureName, TableAndOutOfRange) {
    EXPECT_EQ(key_signature_name(3, sharps, false), "F sharp minor");
    EXPECT_EQ(key_signature_name(0, flats, true), "C major");
    EXPECT_EQ(key_signature_name(2, flats, true), "B flat major");
    EXPECT_EQ(key_signature_name(7, flats, false), "A flat minor");
    EXPECT_EQ(key_signature_name(8, sharps, true), "out of range");
    EXPECT_EQ(key_signature_name(-1, flats, false), "out of range");
}

// --- Automatic key signature --------------------------------------------------------------

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

TEST(ModeNotes, ArpeggioDegreesOverTheScaleClampedToTheMidiRange) {
    ModeInput triad(mode_of({0, 4, 7, 12, 1.9999999999, 24 + 7}));
    EXPECT_EQ(mode_notes(triad.input), (std::vector<int>{60, 64, 67, 72, 62, 91}));
    triad.input.follow_scale = true;
    EXPECT_EQ(mode_notes(triad.input).size(), 13u);
    EXPECT_EQ(mode_notes(triad.input).back(), 72);

    ModeInput wide(mode_of({0, 100}));
    EXPECT_EQ(mode_notes(wide.input), (std::vector<int>{60, 127}));
    wide.input.lowest_frequency = 1.0;
    EXPECT_EQ(mode_notes(wide.input).front(), 0);
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
        // A melodic minor: the ascending form alone fits seven notes of both G major and A
        // major; their clashes (a sharp for G against a natural for C) are not one a subset of
        // the other, so the first tried, G major, stays. The descending F and G make C major
        // fit as many notes with fewer clashes.
        {mode_of({9, 11, 12, 14, 16, 18, 20, 21, 9, 11, 12, 14, 16, 17, 19, 21}, 7), kMiddleC, 0, sharps},
        {mode_of({9, 11, 12, 14, 16, 18, 20, 21}), kMiddleC, 1, sharps},
        // C harmonic minor: E flat major, its B with a natural sign.
        {mode_of({0, 2, 3, 5, 7, 8, 11, 12}), kMiddleC, 3, flats},
        // At equal fit only fewer clashes replace the best. C E G sharp fits two notes at most:
        // C major needs a sharp for G; A major, fitting as many, needs a natural for C
        // instead: a different clash, not fewer, so C major stays.
        {mode_of({0, 4, 8}), kMiddleC, 0, sharps},
        // C C sharp D: C major writes C and C sharp on one staff position; D major, fitting
        // C sharp and D, needs a natural for C: again different, not fewer.
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

TEST(ChooseKeySignature, FollowsTheScaleWhenAsked) {
    const std::vector<double> major_on_c{0, 1.0 / 8, 1.0 / 4, 1.0 / 3, 1.0 / 2, 2.0 / 3, 7.0 / 8, 1};
    KeySignatureInput input;
    input.scale = major_on_c;
    input.follow_scale = true;
    input.lowest_frequency = kMiddleC * std::exp2(7.0 / 12.0);  // G
    const KeySignature key = choose_key_signature(input);
    EXPECT_EQ(key.accidentals, 1);
    EXPECT_EQ(key.kind, sharps);
}

}  // namespace
}  // namespace corvane::tuning
