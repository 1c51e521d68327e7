#include "corvane/tuning/note_names.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "corvane/tuning/temperament.h"

namespace corvane::tuning {
namespace {

TEST(NoteName, OctaveNumberAndAccidentals) {
    EXPECT_EQ(note_name(61, Accidentals::sharps, OctaveStyle::number), "C4 Sharp");
    EXPECT_EQ(note_name(61, Accidentals::flats, OctaveStyle::number), "D4 Flat");
    EXPECT_EQ(note_name(60, Accidentals::flats, OctaveStyle::number), "C4");
    EXPECT_EQ(note_name(0, Accidentals::sharps, OctaveStyle::number), "C-1");
    EXPECT_EQ(note_name(127, Accidentals::sharps, OctaveStyle::number), "G9");
}

TEST(NoteName, NoOctaveMarkShowsTheNumber) {
    EXPECT_EQ(note_name(61, Accidentals::sharps, OctaveStyle::none), "61: C Sharp");
    EXPECT_EQ(note_name(70, Accidentals::flats, OctaveStyle::none), "70: B Flat");
    EXPECT_EQ(note_name(61, Accidentals::sharps, OctaveStyle::none, false), "C Sharp");
    EXPECT_EQ(note_name(61, Accidentals::sharps, OctaveStyle::number, true), "61: C4 Sharp");
}

TEST(NoteName, ApostrophesAndLetterCase) {
    EXPECT_EQ(note_name(60, Accidentals::sharps, OctaveStyle::apostrophes), "c");
    EXPECT_EQ(note_name(72, Accidentals::sharps, OctaveStyle::apostrophes), "c'");
    EXPECT_EQ(note_name(48, Accidentals::sharps, OctaveStyle::apostrophes), "C");
    EXPECT_EQ(note_name(36, Accidentals::sharps, OctaveStyle::apostrophes), "C'");
    EXPECT_EQ(note_name(24, Accidentals::sharps, OctaveStyle::apostrophes), "C''");
    // The mark sits between the letter and the accidental; above note 59 all is lower case.
    EXPECT_EQ(note_name(37, Accidentals::sharps, OctaveStyle::apostrophes), "C' Sharp");
    EXPECT_EQ(note_name(73, Accidentals::flats, OctaveStyle::apostrophes), "d' flat");
    EXPECT_EQ(note_name(85, Accidentals::flats, OctaveStyle::apostrophes), "d'' flat");
}

TEST(NoteName, NegativeNotesStayInTheirOctave) {
    EXPECT_EQ(note_name(-1, Accidentals::sharps, OctaveStyle::number), "B-2");
}

TEST(NoteFromName, LetterAndAccidentalInTheReferenceOctave) {
    EXPECT_EQ(note_from_name("F", 60), 65);
    EXPECT_EQ(note_from_name("f sharp", 60), 66);
    EXPECT_EQ(note_from_name("B Flat", 60), 70);
    EXPECT_EQ(note_from_name("E", 0), 4);
    EXPECT_EQ(note_from_name("  g", 67), 67);
}

TEST(NoteFromName, LastAccidentalLetterCounts) {
    EXPECT_EQ(note_from_name("F Sharp", 0), 6);
    EXPECT_EQ(note_from_name("G flat sharp", 0), 8);
    EXPECT_EQ(note_from_name("D sharp flat", 0), 1);
    EXPECT_EQ(note_from_name("G#", 0), 8);
    EXPECT_EQ(note_from_name("Eb", 0), 3);
    EXPECT_EQ(note_from_name("Bb", 60), 70);
}

TEST(NoteFromName, MissingLetterAndClamping) {
    EXPECT_EQ(note_from_name("", 61), 61);
    EXPECT_EQ(note_from_name("123", 70), 70);
    EXPECT_EQ(note_from_name("C flat", 0), 0);
    EXPECT_EQ(note_from_name("B", 125), 127);
}

TEST(NoteFromName, ReadsBackEveryNoteName) {
    for (int note = 0; note < 128; ++note) {
        for (const Accidentals kind : {Accidentals::sharps, Accidentals::flats}) {
            const std::string name = note_name(note, kind, OctaveStyle::none, false);
            EXPECT_EQ(note_from_name(name, note), note) << name;
        }
    }
}

TEST(KeySignatureName, TableAndOutOfRange) {
    EXPECT_EQ(key_signature_name(3, Accidentals::sharps, false), "F sharp minor");
    EXPECT_EQ(key_signature_name(0, Accidentals::flats, true), "C major");
    EXPECT_EQ(key_signature_name(2, Accidentals::flats, true), "B flat major");
    EXPECT_EQ(key_signature_name(7, Accidentals::flats, false), "A flat minor");
    EXPECT_EQ(key_signature_name(8, Accidentals::sharps, true), "out of range");
    EXPECT_EQ(key_signature_name(-1, Accidentals::flats, false), "out of range");
}

// --- Automatic key signature --------------------------------------------------------------

StepList mode_of(std::vector<double> degrees) {
    StepList list;
    list.entries = std::move(degrees);
    list.ascending_last = list.last_index();
    return list;
}

KeySignature key_for_mode(const StepList& mode, double lowest_frequency = 261.6255653005986) {
    const GeneratedScale twelve_tone = make_equal_temperament(12);
    KeySignatureInput input;
    input.scale = twelve_tone.entries;
    input.arpeggio = &mode;
    input.lowest_frequency = lowest_frequency;
    return choose_key_signature(input);
}

void expect_key(const KeySignature& key, int accidentals, Accidentals kind) {
    EXPECT_EQ(key.accidentals, accidentals);
    EXPECT_EQ(key.kind, kind);
}

TEST(ModeNotes, ArpeggioDegreesOverTheScale) {
    const GeneratedScale twelve_tone = make_equal_temperament(12);
    const StepList mode = mode_of({0, 4, 7, 12, 1.9999999999, 24 + 7});
    KeySignatureInput input;
    input.scale = twelve_tone.entries;
    input.arpeggio = &mode;
    EXPECT_EQ(mode_notes(input), (std::vector<int>{60, 64, 67, 72, 62, 91}));

    input.follow_scale = true;
    EXPECT_EQ(mode_notes(input).size(), 13u);
    EXPECT_EQ(mode_notes(input).back(), 72);
}

TEST(ModeNotes, ClampedToTheMidiRange) {
    const GeneratedScale twelve_tone = make_equal_temperament(12);
    const StepList mode = mode_of({0, 100});
    KeySignatureInput input;
    input.scale = twelve_tone.entries;
    input.arpeggio = &mode;
    EXPECT_EQ(mode_notes(input), (std::vector<int>{60, 127}));
    input.lowest_frequency = 1.0;
    EXPECT_EQ(mode_notes(input).front(), 0);
}

TEST(ChooseKeySignature, DiatonicModesFindTheirKeys) {
    expect_key(key_for_mode(mode_of({0, 2, 4, 7, 9, 12})), 0, Accidentals::sharps);  // pentatonic on C
    expect_key(key_for_mode(mode_of({2, 4, 6, 7, 9, 11, 13, 14})), 2, Accidentals::sharps);  // D major
    expect_key(key_for_mode(mode_of({5, 7, 9, 10, 12, 14, 16, 17})), 1, Accidentals::flats);  // F major
    expect_key(key_for_mode(mode_of({3, 5, 7, 8, 10, 12, 14, 15})), 3, Accidentals::flats);  // E flat major
}

TEST(ChooseKeySignature, TheLowestNoteMovesTheKey) {
    // The C major mode played from D (a whole tone up) is D major.
    const double d_frequency = 261.6255653005986 * std::exp2(2.0 / 12.0);
    expect_key(key_for_mode(mode_of({0, 2, 4, 5, 7, 9, 11, 12}), d_frequency), 2, Accidentals::sharps);
}

TEST(ChooseKeySignature, EnharmonicKeysPreferTheFirstTried) {
    // B major and C flat major hold the same notes: five sharps come before seven flats.
    expect_key(key_for_mode(mode_of({11, 13, 15, 16, 18, 20, 22, 23})), 5, Accidentals::sharps);
}

TEST(ChooseKeySignature, CountsTheDescendingFormToo) {
    // A melodic minor: the ascending form alone fits seven notes of both G major and
    // A major; their clashes (a sharp for G against a natural for C) are not one a subset
    // of the other, so the first tried, G major, stays. The descending F and G make C
    // major fit as many notes with fewer clashes.
    StepList melodic_minor = mode_of({9, 11, 12, 14, 16, 18, 20, 21, 9, 11, 12, 14, 16, 17, 19, 21});
    melodic_minor.ascending_last = 7;
    expect_key(key_for_mode(melodic_minor), 0, Accidentals::sharps);
    expect_key(key_for_mode(mode_of({9, 11, 12, 14, 16, 18, 20, 21})), 1, Accidentals::sharps);
    // C harmonic minor: E flat major, its B with a natural sign.
    expect_key(key_for_mode(mode_of({0, 2, 3, 5, 7, 8, 11, 12})), 3, Accidentals::flats);
}

TEST(ChooseKeySignature, AtEqualFitOnlyFewerClashesReplaceTheBest) {
    // C E G sharp fits two notes at most. C major needs a sharp for G; A major, fitting as
    // many, needs a natural for C instead: a different clash, not fewer, so C major stays.
    expect_key(key_for_mode(mode_of({0, 4, 8})), 0, Accidentals::sharps);
    // C C sharp D: C major writes C and C sharp on one staff position; D major, fitting
    // C sharp and D, needs a natural for C: again different, not fewer.
    expect_key(key_for_mode(mode_of({0, 1, 2})), 0, Accidentals::sharps);
    // E G sharp B fits A major (and E major) completely; the first tried wins.
    expect_key(key_for_mode(mode_of({4, 8, 11})), 3, Accidentals::sharps);
}

TEST(ChooseKeySignature, FollowsTheScaleWhenAsked) {
    const std::vector<double> major_on_c{0, 1.0 / 8, 1.0 / 4, 1.0 / 3, 1.0 / 2, 2.0 / 3, 7.0 / 8, 1};
    const double g_frequency = 261.6255653005986 * std::exp2(7.0 / 12.0);
    KeySignatureInput input;
    input.scale = major_on_c;
    input.follow_scale = true;
    input.lowest_frequency = g_frequency;
    expect_key(choose_key_signature(input), 1, Accidentals::sharps);
}

}  // namespace
}  // namespace corvane::tuning
