#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/tuning/step_list.h"

namespace corvane::tuning {

enum class Accidentals { sharps, flats };

// Octave marks: none (the name is prefixed with the note number), the octave number
// (60 is C4), or apostrophes and letter case (60 is c, 72 c', 48 C, 36 C').
enum class OctaveStyle { none = 0, number = 1, apostrophes = 2 };

// The name of a MIDI note: "C4 Sharp", "D4 Flat", "61: C Sharp", "c'".
std::string note_name(int note, Accidentals accidentals, OctaveStyle style, bool with_number);
// The form the program uses: the number shown exactly when there is no octave mark.
inline std::string note_name(int note, Accidentals accidentals, OctaveStyle style) {
    return note_name(note, accidentals, style, style == OctaveStyle::none);
}

// The MIDI note named by a typed text, placed in the octave of `reference`:
// "F" near 60 is 65, "f sharp" 66, "B Flat" 70; "G#" and "Eb" read as sharp and flat too.
// The last sign after the letter counts. A text with no note letter keeps the reference's
// own pitch class. Clamped to 0..127.
int note_from_name(std::string_view text, int reference);

// "C major", "F sharp minor", ... for 0..7 accidentals; "out of range" otherwise.
std::string key_signature_name(int accidentals, Accidentals kind, bool major);

struct KeySignature {
    int accidentals = 0;  // 0..7
    Accidentals kind = Accidentals::sharps;
};

// What the automatic key signature needs to know of the composition.
struct KeySignatureInput {
    std::span<const double> scale;     // increment form, entries 0..n
    const StepList* arpeggio = nullptr;
    bool follow_scale = false;         // use the scale's degrees, not the arpeggio's
    double lowest_frequency = 261.6255653005986;
};

// The key signature that best fits the notes of the mode (see mode_notes).
//
// Candidates are the major key signatures with 0..7 accidentals, tried in the order
// 0 sharps, 0 flats, 1 sharp, 1 flat, ... 7 sharps, 7 flats. A note fits a candidate when
// its pitch class is one of the seven notes of that key. Each note is spelled as the score
// writes it: a note of the key by its key letter (E sharp in F sharp major, C flat in
// G flat major); any other white key by its own letter with a natural sign; any other black
// key with a sharp on the letter below (sharp keys) or a flat on the letter above (flat keys).
// Three clash flags are kept per candidate:
//   - a note needs a natural sign,
//   - a note needs a sharp or flat that the key signature lacks,
//   - two different notes share one staff position (same letter and octave).
// A candidate replaces the best so far when more notes fit, or, at equal fit, when its
// flags are a strict subset of the best one's (it lacks a flag the best has and has none the
// best lacks). So at equal fit and equal clashes fewer accidentals, and sharps before flats,
// win. Only the choice is returned; callers apply it to the naming settings.
KeySignature choose_key_signature(const KeySignatureInput& input);

// The MIDI notes (rounded to the nearest note, 0..127) of the mode: the arpeggio's entries
// (ascending and descending parts) or, with follow_scale, the scale's degrees 0..n, each
// taken as the nearest whole degree (to_degree) and pitched from lowest_frequency.
// A missing arpeggio counts as the single degree 0.
std::vector<int> mode_notes(const KeySignatureInput& input);

// How the score writes a MIDI note under a key signature, by the rule choose_key_signature
// fits keys with.
struct NoteSpelling {
    int letter = 0;          // 0..6 from C
    int alteration = 0;      // -1 flat, 0 natural, +1 sharp, from the natural letter
    bool fits = false;       // written without an accidental of its own
    int staff_position = 0;  // diatonic steps, seven to the octave: middle C (60) is 35
};
NoteSpelling spell_note(int note, const KeySignature& key);

// The letters (0..6 from C) that the key signature alters, in the order they are written.
std::vector<int> key_signature_letters(const KeySignature& key);

}  // namespace corvane::tuning
