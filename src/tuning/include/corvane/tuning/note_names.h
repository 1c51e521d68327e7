#pragma once

#include <span>
#include <string>
#include <string_view>

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
// "F" near 60 is 65, "f sharp" 66, "B Flat" 70. A text with no note letter keeps the
// reference's own pitch class. Clamped to 0..127.
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

// The key signature in which the most notes of the mode need no accidental of their own;
// at equal fit the one with fewer clashes, then fewer accidentals, sharps before flats.
KeySignature choose_key_signature(const KeySignatureInput& input);

// The MIDI notes (0..127) of the mode, as choose_key_signature fits them.
std::vector<int> mode_notes(const KeySignatureInput& input);

}  // namespace corvane::tuning
