#include "corvane/engine/degree_mapping.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace corvane::engine {
namespace {

constexpr std::array<std::string_view, kShiftModeCount> kShiftModeNames{
    "Octave shift", "Arpeggio shift", "Arp. degree shift", "Modulate by (degree)", "Modulate by (A. degree)",
};

constexpr double kSemitonesPerOctave = 12.0;

// The ratio of one whole arpeggio: up to the value of its last entry, or the scale's
// period when the arpeggio follows the scale.
double arpeggio_period_ratio(const Composition& c) {
    if (c.Use_ratios) return c.Intervals.empty() ? 1.0 : c.Intervals.back() + 1.0;
    const int last = c.Arpeggio.last_index();
    return tuning::degree_ratio(c.Intervals, tuning::to_degree(tuning::wrap_step(last, last, c.Arpeggio.entries)));
}

// The pitch moved by the ratio of a scale degree, kept to the MIDI range.
double modulated(double pitch, long degree, const Composition& c) {
    const double frequency = tuning::midi_pitch_to_frequency(pitch) * tuning::degree_ratio(c.Intervals, degree);
    return tuning::frequency_to_midi_pitch_clamped(frequency);
}

}  // namespace

std::span<const std::string_view> shift_mode_names() { return kShiftModeNames; }

long degree_of_value(long value, const Composition& c, tuning::ModeVoices& voices, int slot) {
    if (c.Use_ratios) return value;
    return tuning::to_degree(tuning::choose_mode_form(value, c.Arpeggio, voices, slot));
}

double degree_frequency(const Composition& c, long degree) {
    return c.Frequency_of_lowest_note * tuning::degree_ratio(c.Intervals, degree);
}

ValuePitch pitch_of_value(long value, const Composition& c, tuning::ModeVoices& voices, int slot) {
    ValuePitch p;
    p.degree = degree_of_value(value, c, voices, slot);
    p.frequency = degree_frequency(c, p.degree);
    p.midi_pitch = tuning::frequency_to_midi_pitch(p.frequency);
    p.note_and_bend = tuning::split_midi_pitch(p.midi_pitch);
    return p;
}

std::optional<ValuePitch> pitch_of_mapped_key(const tuning::KeyboardMapping& mapping, const Composition& c, int key) {
    const auto degree = tuning::mapped_degree(mapping, key);
    const auto frequency = tuning::mapped_frequency(mapping, c.Intervals, key);
    if (!degree || !frequency) return std::nullopt;
    ValuePitch p;
    p.degree = *degree;
    p.frequency = *frequency;
    p.midi_pitch = tuning::frequency_to_midi_pitch(p.frequency);
    p.note_and_bend = tuning::split_midi_pitch(p.midi_pitch);
    return p;
}

tuning::NoteAndBend channel_shift(tuning::NoteAndBend note, int channel, const Composition& c) {
    if (channel < 0 || channel >= kMidiChannels) return note;
    const int s = c.Octave_shifts_for_channels[static_cast<std::size_t>(channel)];
    if (s == 0) return note;
    double pitch = tuning::midi_pitch_of(note);
    switch (static_cast<ShiftMode>(c.shift_by_octave_or_arpeggio)) {
        case ShiftMode::arpeggio_degree:
            return {note.note + s, note.bend};
        case ShiftMode::octave:
            pitch += kSemitonesPerOctave * s;
            break;
        case ShiftMode::arpeggio:
            pitch += s * kSemitonesPerOctave * std::log2(std::max(arpeggio_period_ratio(c), 1e-50));
            break;
        case ShiftMode::modulate_by_degree:
            pitch = modulated(pitch, s, c);
            break;
        case ShiftMode::modulate_by_arpeggio_degree: {
            const int last = c.Arpeggio.last_index();
            pitch = modulated(pitch, tuning::to_degree(tuning::wrap_step(s, last, c.Arpeggio.entries)), c);
            break;
        }
        default:
            return note;
    }
    return tuning::split_midi_pitch(pitch);
}

}  // namespace corvane::engine
