#include "corvane/tuning/temperament.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::tuning {
namespace {

constexpr int kMaxEqualSteps = 999;
constexpr int kTwelve = 12;
constexpr int kFifthSteps = 7;
constexpr double kSyntonicComma = 81.0 / 80.0;
constexpr double kExponentLimit = 308.0;
// Allowance for rounding when a chain of fifths is folded back into the octave.
constexpr double kBelowUnison = 0.99999;
constexpr double kAboveOctave = 2.00001;
constexpr double kBeatTolerance = 0.00001;

double octave_fraction(int step, int steps) {
    const double exponent = std::log(2.0) * step / steps;
    return std::exp(std::clamp(exponent, -kExponentLimit, kExponentLimit));
}

enum class ChainDirection { up, down };

// Writes the scale along the chain of fifths from C, each step a `fifth` up (or down) folded
// back into the octave, until the note `last` has been written.
void fill_chain_of_fifths(std::vector<double>& entries, double fifth, ChainDirection direction, int last) {
    const int step = direction == ChainDirection::up ? kFifthSteps : kTwelve - kFifthSteps;
    double ratio = 1.0;
    int position = 0;
    for (;;) {
        entries[static_cast<std::size_t>(position)] = ratio - 1.0;
        if (position == last) return;
        if (direction == ChainDirection::up) {
            ratio *= fifth;
            if (ratio >= kAboveOctave) ratio /= 2.0;
        } else {
            ratio /= fifth;
            if (ratio < kBelowUnison) ratio *= 2.0;
        }
        position = (position + step) % kTwelve;
    }
}

struct BeatMatch {
    int upper_harmonic = 0;
    double rate = 0.0;
};

// The harmonic of the upper note nearest to `harmonic_frequency` within `max_beats`
// beats per second; of equal rates the lower harmonic.
std::optional<BeatMatch> nearest_beat(double harmonic_frequency, double upper_frequency, int max_beats) {
    const double quotient = std::clamp(harmonic_frequency / upper_frequency - kBeatTolerance, -1e9, 1e9);
    const long nearest = static_cast<long>(quotient);
    std::optional<BeatMatch> best;
    for (long m = std::max(1L, nearest - 1); m <= nearest + 1; ++m) {
        double rate = std::fabs(harmonic_frequency - static_cast<double>(m) * upper_frequency);
        if (rate < kBeatTolerance) rate = 0.0;
        if (rate > max_beats + kBeatTolerance) continue;
        if (!best || rate < best->rate) best = BeatMatch{static_cast<int>(m), rate};
    }
    return best;
}

// The three header lines of the beats text, without their line ends.
struct BeatsHeader {
    std::string frequencies;
    std::string difference_tone;
    std::string limits;
};

BeatsHeader beats_header_lines(double f1, double f2, const BeatsSettings& settings, const PitchFormat& format,
                               FormatRequest request) {
    const int figures = settings.beats_sig_figs;
    const double difference = std::fabs(f2 - f1);
    const double lower = std::min(f1, f2);
    const double difference_ratio = lower > 0.0 ? difference / lower : 0.0;
    return {"Frequencies " + format_general(f1, figures) + " Hz, " + format_general(f2, figures) + " Hz.",
            "Difference tone " + format_general(difference, figures) + " Hz, ratio from lowest note " +
                format_pitch_value(difference_ratio, PitchForm::ratio, format, request),
            "Beats for all harmonics up to " + std::to_string(settings.beats_max_harmonic) + " and up to " +
                std::to_string(settings.beats_max_beats) + " beats per sec."};
}

std::string beats_header(double f1, double f2, const BeatsSettings& settings, const PitchFormat& format) {
    const BeatsHeader lines = beats_header_lines(f1, f2, settings, format, {});
    return lines.frequencies + "\r\n" + lines.difference_tone + "\r\n" + lines.limits + "\r\n";
}

std::string beat_line(int harmonic, double harmonic_frequency, const BeatMatch& match, double upper_frequency,
                      int figures) {
    return format_general(match.rate, figures) + "\t" + ordinal(harmonic) + "\t(" + ordinal(match.upper_harmonic) +
           ")\t" + format_general(harmonic_frequency, figures + 2) + " Hz\t" +
           format_general(match.upper_harmonic * upper_frequency, figures + 2) + " Hz\r\n";
}

constexpr std::string_view kBeatsKey =
    "Key:\r\nbeats  harmonic  (harmonic of upper note)  freq of harmonic  freq of upper note harmonic.\r\n";

}  // namespace

GeneratedScale make_equal_temperament(int steps) {
    const int n = std::clamp(steps, 1, kMaxEqualSteps);
    GeneratedScale scale;
    scale.entries.reserve(static_cast<std::size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) scale.entries.push_back(octave_fraction(i, n) - 1.0);
    scale.title = std::to_string(n) + "-tone equal temperament";
    return scale;
}

GeneratedScale make_mean_tone(double comma_fraction, int wolf_note, const PitchFormat& format) {
    const double fifth = 1.5 / std::pow(kSyntonicComma, comma_fraction);
    const int wolf = ((wolf_note % kTwelve) + kTwelve) % kTwelve;
    GeneratedScale scale;
    scale.entries.assign(kTwelve + 1, 0.0);
    fill_chain_of_fifths(scale.entries, fifth, ChainDirection::down, (wolf + kFifthSteps) % kTwelve);
    fill_chain_of_fifths(scale.entries, fifth, ChainDirection::up, wolf);
    scale.entries[kTwelve] = 1.0;
    scale.title = format_pitch_value(comma_fraction, PitchForm::ratio, format) + " comma Mean-tone";
    return scale;
}

BeatsReport show_beats(double ratio1, double ratio2, double lowest_frequency, const BeatsSettings& settings,
                       const PitchFormat& format) {
    const double f1 = lowest_frequency * ratio1;
    const double f2 = lowest_frequency * ratio2;
    BeatsReport report;
    report.text = beats_header(f1, f2, settings, format);
    if (f2 > 0.0) {
        for (int h = 1; h <= settings.beats_max_harmonic; ++h) {
            const double harmonic_frequency = h * f1;
            const auto match = nearest_beat(harmonic_frequency, f2, settings.beats_max_beats);
            if (!match) continue;
            if (!report.first_rate) report.first_rate = match->rate;
            report.text += beat_line(h, harmonic_frequency, *match, f2, settings.beats_sig_figs);
            report.lines.push_back({match->rate, h, match->upper_harmonic, harmonic_frequency,
                                    match->upper_harmonic * f2});
        }
    }
    report.text += kBeatsKey;
    return report;
}

namespace {

using TableRow = std::vector<std::string>;

// The rows in columns, each padded on the left to its widest cell and two blanks apart.
std::string padded_columns(const std::vector<TableRow>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    }
    std::string text;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i > 0) line += "  ";
            line += std::string(widths[i] - row[i].size(), ' ') + row[i];
        }
        text += line + "\n";
    }
    return text;
}

double cents_apart(double frequency, double other) {
    return frequency > 0 && other > 0 ? std::fabs(1200.0 * std::log2(frequency / other)) : 0.0;
}

TableRow beat_row(const BeatLine& line, int figures) {
    double apart = cents_apart(line.harmonic_frequency, line.upper_frequency);
    if (line.rate == 0.0) apart = 0.0;  // a rate taken as none is in tune
    return {format_general(line.rate, figures) + " beats/s",
            ordinal(line.harmonic),
            "(" + ordinal(line.upper_harmonic) + ")",
            format_general(line.harmonic_frequency, figures + 2) + " Hz",
            format_general(line.upper_frequency, figures + 2) + " Hz",
            format_general(apart, figures) + " cents"};
}

}  // namespace

std::string beats_window_text(double ratio1, double ratio2, double lowest_frequency, const BeatsSettings& settings,
                              const PitchFormat& format, bool show_difference_tone) {
    const int figures = settings.beats_sig_figs;
    const BeatsHeader header = beats_header_lines(lowest_frequency * ratio1, lowest_frequency * ratio2, settings,
                                                  format, {.cents_word = true});  // cents say so
    std::string text = header.frequencies + "\n";
    if (show_difference_tone) text += header.difference_tone + "\n";
    text += header.limits + "\n";
    const BeatsReport report = show_beats(ratio1, ratio2, lowest_frequency, settings, format);
    if (report.lines.empty()) return text + "\nNo harmonics beat within these limits.\n";
    std::vector<TableRow> rows{{"Beats", "Harmonic", "(upper's)", "Harmonic at", "Upper's at", "Apart"}};
    for (const BeatLine& line : report.lines) rows.push_back(beat_row(line, figures));
    return text + "\n" + padded_columns(rows);
}

std::string ordinal(int n) {
    const int last_two = std::abs(n % 100);
    const int last = last_two % 10;
    const char* suffix = "th";
    if (last_two < 11 || last_two > 13) {
        if (last == 1) suffix = "st";
        if (last == 2) suffix = "nd";
        if (last == 3) suffix = "rd";
    }
    return std::to_string(n) + suffix;
}

}  // namespace corvane::tuning
