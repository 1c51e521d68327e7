#pragma once

#include <optional>
#include <string>
#include <vector>

#include "corvane/tuning/pitch_format.h"

namespace corvane::tuning {

// A generated scale: entries in increment form and its title.
struct GeneratedScale {
    std::vector<double> entries;
    std::string title;
};

// N equal steps to the octave (N taken into 1..999): entries 0..N, "%d-tone equal temperament".
GeneratedScale make_equal_temperament(int steps);

// Twelve-note mean-tone: fifths narrowed by `comma_fraction` of the syntonic comma 81/80,
// the chain of fifths unbroken except for the wolf between `wolf_note` (pitch class 0..11)
// and the note a fifth above it. Title "%s comma Mean-tone", the fraction formatted as a pitch.
GeneratedScale make_mean_tone(double comma_fraction, int wolf_note, const PitchFormat& format);

struct BeatsSettings {
    int beats_max_harmonic = 32;
    int beats_max_beats = 20;
    int beats_sig_figs = 5;
};

// Where one harmonic of the first note beats against the nearest harmonic of the second.
struct BeatLine {
    double rate = 0;                  // beats per second
    int harmonic = 0;                 // of the first note
    int upper_harmonic = 0;           // of the second note
    double harmonic_frequency = 0;    // Hz
    double upper_frequency = 0;       // Hz, of the second note's harmonic
};

struct BeatsReport {
    std::string text;               // the beats text, CR LF line ends
    std::optional<double> first_rate;  // the first beat rate listed, drawn beside the notes
    std::vector<BeatLine> lines;    // the harmonics that beat, in the order of the text
};

// Where the harmonics of two notes (ratios to the lowest note) come close enough to beat:
// the beats window's text, always with its header lines and closing key. Each harmonic of
// the first note up to beats_max_harmonic is matched against the nearest harmonics of the
// second; it gets a line when the smallest beat rate is at most beats_max_beats (of equal
// rates the lower harmonic of the second note). The scale window draws first_rate with
// format_general(rate, 3).
BeatsReport show_beats(double ratio1, double ratio2, double lowest_frequency, const BeatsSettings& settings,
                       const PitchFormat& format);

// The Beats window's text, for reading on screen: the header lines of show_beats (without the
// difference tone unless `show_difference_tone`), then its lines as a table in columns padded
// for a fixed-pitch font, each number with its unit: the beat rate, the two harmonics, their
// frequencies and how far apart they lie in cents. A difference ratio written in cents says
// "cents". LF line ends.
std::string beats_window_text(double ratio1, double ratio2, double lowest_frequency, const BeatsSettings& settings,
                              const PitchFormat& format, bool show_difference_tone);

// "1st", "2nd", "3rd", "4th", "11th", "21st", ...
std::string ordinal(int n);

}  // namespace corvane::tuning
