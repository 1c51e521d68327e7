#include "corvane/tuning/note_names.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <utility>

#include "corvane/tuning/pitch_mapping.h"
#include "text_tokens.h"

namespace corvane::tuning {
namespace {

constexpr int kOctave = 12;
constexpr int kLetters = 7;
constexpr int kHighestNote = 127;
constexpr int kMaxApostrophes = 29;
constexpr int kMaxKeyAccidentals = 7;

int floor_div(int a, int b) {
    int q = a / b;
    if (a % b != 0 && (a < 0) != (b < 0)) --q;
    return q;
}

int pitch_class(int note) { return note - floor_div(note, kOctave) * kOctave; }

struct NamePattern {
    std::string_view letter;
    std::string_view suffix;  // after the octave mark
};

constexpr std::array<NamePattern, kOctave> kSharpNames{{
    {"C", ""}, {"C", " Sharp"}, {"D", ""}, {"D", " Sharp"}, {"E", ""}, {"F", ""},
    {"F", " Sharp"}, {"G", ""}, {"G", " Sharp"}, {"A", ""}, {"A", " Sharp"}, {"B", ""},
}};

constexpr std::array<NamePattern, kOctave> kFlatNames{{
    {"C", ""}, {"D", " Flat"}, {"D", ""}, {"E", " Flat"}, {"E", ""}, {"F", ""},
    {"G", " Flat"}, {"G", ""}, {"A", " Flat"}, {"A", ""}, {"B", " Flat"}, {"B", ""},
}};

using ascii::ascii_lower;

std::string ascii_lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), ascii_lower);
    return text;
}

// Octaves below note 60 count apostrophes down from 48 (C, C', C''), those above count
// up from 60 in lower case (c, c', c'').
int apostrophe_count(int octave) {
    const int count = octave < 5 ? 4 - octave : octave - 5;
    return std::min(count, kMaxApostrophes);
}

std::string octave_mark(int octave, OctaveStyle style) {
    switch (style) {
        case OctaveStyle::number:
            return std::to_string(octave - 1);
        case OctaveStyle::apostrophes:
            return std::string(static_cast<std::size_t>(apostrophe_count(octave)), '\'');
        case OctaveStyle::none:
            break;
    }
    return {};
}

// Pitch classes of the note letters A..G.
constexpr std::array<int, kLetters> kLetterClassFromA{9, 11, 0, 2, 4, 5, 7};

int letter_class(char c) {
    const char upper = ascii_upper(c);
    if (upper < 'A' || upper > 'G') return -1;
    return kLetterClassFromA[static_cast<std::size_t>(upper - 'A')];
}

// +1 for a sharp sign ("S" or "#"), -1 for a flat sign ("F" or a small "b"), 0 otherwise.
int accidental_sign(char c) {
    if (c == 'S' || c == 's' || c == '#') return 1;
    if (c == 'F' || c == 'f' || c == 'b') return -1;
    return 0;
}

struct KeyNames {
    std::string_view sharps_major, sharps_minor, flats_major, flats_minor;
};

constexpr std::array<KeyNames, kMaxKeyAccidentals + 1> kKeyNames{{
    {"C major", "A minor", "C major", "A minor"},
    {"G major", "E minor", "F major", "D minor"},
    {"D major", "B minor", "B flat major", "G minor"},
    {"A major", "F sharp minor", "E flat major", "C minor"},
    {"E major", "C sharp minor", "A flat major", "F minor"},
    {"B major", "G sharp minor", "D flat major", "B flat minor"},
    {"F sharp major", "D sharp minor", "G flat major", "E flat minor"},
    {"C sharp major", "A sharp minor", "C flat major", "A flat minor"},
}};

// --- Spelling notes in a key signature -------------------------------------------------

// Staff letters from C: C D E F G A B.
constexpr std::array<int, kLetters> kNaturalClass{0, 2, 4, 5, 7, 9, 11};
// The order in which key signatures add sharps (F C G D A E B) and flats (B E A D G C F),
// as letter indexes from C.
constexpr std::array<int, kLetters> kSharpOrder{3, 0, 4, 1, 5, 2, 6};
constexpr std::array<int, kLetters> kFlatOrder{6, 2, 5, 1, 4, 0, 3};

bool is_white_key(int pc) {
    return std::find(kNaturalClass.begin(), kNaturalClass.end(), pc) != kNaturalClass.end();
}

int letter_of_white_key(int pc) {
    return static_cast<int>(std::find(kNaturalClass.begin(), kNaturalClass.end(), pc) - kNaturalClass.begin());
}

// The alteration (-1, 0, +1) the key signature gives each letter.
using LetterAlterations = std::array<int, kLetters>;

LetterAlterations key_alterations(const KeySignature& key) {
    LetterAlterations alterations{};
    const bool sharps = key.kind == Accidentals::sharps;
    const auto& order = sharps ? kSharpOrder : kFlatOrder;
    for (int i = 0; i < key.accidentals; ++i) {
        alterations[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])] = sharps ? 1 : -1;
    }
    return alterations;
}

// How the score writes one note under a key signature.
struct Spelling {
    int letter = 0;      // 0..6 from C
    int alteration = 0;  // -1, 0, +1 from the natural letter
    bool fits = false;   // no accidental of its own
};

// A note in the key takes its key letter (so E sharp in F sharp major). Any other white
// key is its own letter with a natural sign; any other black key is the letter below with
// a sharp in a sharp key, the letter above with a flat in a flat key.
Spelling spell(int note, const KeySignature& key, const LetterAlterations& alterations) {
    const int pc = pitch_class(note);
    for (int letter = 0; letter < kLetters; ++letter) {
        const int alteration = alterations[static_cast<std::size_t>(letter)];
        if (pitch_class(kNaturalClass[static_cast<std::size_t>(letter)] + alteration) == pc) {
            return {letter, alteration, true};
        }
    }
    if (is_white_key(pc)) return {letter_of_white_key(pc), 0, false};
    const int alteration = key.kind == Accidentals::sharps ? 1 : -1;
    return {letter_of_white_key(pitch_class(pc - alteration)), alteration, false};
}

// Diatonic position on the staff: seven steps to the octave, counted from the letter's own
// octave (so B sharp sits below the C it sounds as).
int staff_position(int note, const Spelling& spelling) {
    return floor_div(note - spelling.alteration, kOctave) * kLetters + spelling.letter;
}

struct KeyFit {
    int fitting_notes = 0;
    bool needs_natural = false;      // a note of the key's letters written natural
    bool needs_accidental = false;   // a sharp or flat the key signature lacks
    bool shares_position = false;    // two different notes on one staff position
};

bool has_shared_position(std::vector<std::pair<int, int>> positions_and_notes) {
    std::sort(positions_and_notes.begin(), positions_and_notes.end());
    for (std::size_t i = 1; i < positions_and_notes.size(); ++i) {
        const auto& [position, note] = positions_and_notes[i];
        const auto& [previous_position, previous_note] = positions_and_notes[i - 1];
        if (position == previous_position && note != previous_note) return true;
    }
    return false;
}

KeyFit fit_key(std::span<const int> notes, const KeySignature& key) {
    const LetterAlterations alterations = key_alterations(key);
    KeyFit fit;
    std::vector<std::pair<int, int>> positions_and_notes;
    positions_and_notes.reserve(notes.size());
    for (const int note : notes) {
        const Spelling spelling = spell(note, key, alterations);
        if (spelling.fits) {
            ++fit.fitting_notes;
        } else if (spelling.alteration == 0) {
            fit.needs_natural = true;
        } else {
            fit.needs_accidental = true;
        }
        positions_and_notes.emplace_back(staff_position(note, spelling), note);
    }
    fit.shares_position = has_shared_position(std::move(positions_and_notes));
    return fit;
}

// At equal fit a candidate wins only when its clashes are a strict subset of the best
// one's: it lacks a clash the best has and has none the best lacks. Comparing this way
// keeps the choice a ranking, so fewer accidentals and sharps first decide the rest.
bool avoids_a_clash_of(const KeyFit& candidate, const KeyFit& best) {
    const auto no_more = [](bool c, bool b) { return !c || b; };
    const bool lacks_one = (best.needs_natural && !candidate.needs_natural) ||
                           (best.needs_accidental && !candidate.needs_accidental) ||
                           (best.shares_position && !candidate.shares_position);
    return lacks_one && no_more(candidate.needs_natural, best.needs_natural) &&
           no_more(candidate.needs_accidental, best.needs_accidental) &&
           no_more(candidate.shares_position, best.shares_position);
}

bool is_better(const KeyFit& candidate, const KeyFit& best) {
    if (candidate.fitting_notes != best.fitting_notes) return candidate.fitting_notes > best.fitting_notes;
    return avoids_a_clash_of(candidate, best);
}

int note_of_degree(long degree, const KeySignatureInput& input) {
    const double frequency = degree_ratio(input.scale, degree) * input.lowest_frequency;
    return static_cast<int>(frequency_to_midi_pitch_clamped(frequency, true));
}

long entry_degree(double value) { return to_degree(value); }

}  // namespace

std::string note_name(int note, Accidentals accidentals, OctaveStyle style, bool with_number) {
    const int octave = floor_div(note, kOctave);
    const auto& names = accidentals == Accidentals::sharps ? kSharpNames : kFlatNames;
    const NamePattern& pattern = names[static_cast<std::size_t>(pitch_class(note))];
    std::string name = std::string(pattern.letter) + octave_mark(octave, style) + std::string(pattern.suffix);
    if (style == OctaveStyle::apostrophes && octave > 4) name = ascii_lowered(std::move(name));
    if (!with_number) return name;
    return std::to_string(note) + ": " + name;
}

int note_from_name(std::string_view text, int reference) {
    int pc = pitch_class(reference);
    std::size_t i = 0;
    while (i < text.size() && letter_class(text[i]) < 0) ++i;
    if (i < text.size()) {
        int sign = 0;
        for (std::size_t j = i + 1; j < text.size(); ++j) {
            if (const int s = accidental_sign(text[j]); s != 0) sign = s;
        }
        pc = letter_class(text[i]) + sign;
    }
    const int note = pc + floor_div(reference, kOctave) * kOctave;
    return std::clamp(note, 0, kHighestNote);
}

std::string key_signature_name(int accidentals, Accidentals kind, bool major) {
    if (accidentals < 0 || accidentals > kMaxKeyAccidentals) return "out of range";
    const KeyNames& names = kKeyNames[static_cast<std::size_t>(accidentals)];
    const bool sharps = kind == Accidentals::sharps;
    if (major) return std::string(sharps ? names.sharps_major : names.flats_major);
    return std::string(sharps ? names.sharps_minor : names.flats_minor);
}

std::vector<int> mode_notes(const KeySignatureInput& input) {
    std::vector<int> notes;
    if (input.follow_scale) {
        const long last = std::max(static_cast<long>(input.scale.size()) - 1, 0L);
        for (long degree = 0; degree <= last; ++degree) notes.push_back(note_of_degree(degree, input));
        return notes;
    }
    const StepList single_degree;
    const StepList& arpeggio = input.arpeggio != nullptr ? *input.arpeggio : single_degree;
    for (const double value : arpeggio.entries) notes.push_back(note_of_degree(entry_degree(value), input));
    return notes;
}

NoteSpelling spell_note(int note, const KeySignature& key) {
    const Spelling s = spell(note, key, key_alterations(key));
    return {s.letter, s.alteration, s.fits, staff_position(note, s)};
}

std::vector<int> key_signature_letters(const KeySignature& key) {
    const auto& order = key.kind == Accidentals::sharps ? kSharpOrder : kFlatOrder;
    const auto count = static_cast<std::size_t>(std::clamp(key.accidentals, 0, kMaxKeyAccidentals));
    return {order.begin(), order.begin() + static_cast<std::ptrdiff_t>(count)};
}

KeySignature choose_key_signature(const KeySignatureInput& input) {
    const std::vector<int> notes = mode_notes(input);
    KeySignature best_key;
    KeyFit best_fit = fit_key(notes, best_key);
    for (int accidentals = 0; accidentals <= kMaxKeyAccidentals; ++accidentals) {
        for (const Accidentals kind : {Accidentals::sharps, Accidentals::flats}) {
            const KeySignature key{accidentals, kind};
            const KeyFit fit = fit_key(notes, key);
            if (is_better(fit, best_fit)) {
                best_key = key;
                best_fit = fit;
            }
        }
    }
    return best_key;
}

}  // namespace corvane::tuning
