#pragma once

#include <algorithm>
#include <cstdint>

namespace corvane::midi {

// The settings the MIDI file writer reads. Member names are the configuration keys; the
// initial values are the configuration file's defaults.
struct SmfSettings {
    int midi_ticks_per_quarter_note = 250;      // division written in the header
    std::int64_t mf_time_duration_of_beat = 500000;  // tempo: microseconds per quarter note
    int midi_time_sig_numerator = 9;            // time signature nn
    int midi_time_sig_denominator = 3;          // time signature dd, written as stored (a power of 2)
    int midi_clocks_per_metronome = 24;         // time signature cc
    int midi_32nd_notes_per_quarter_note = 8;   // time signature bb
    bool mf_add_time_signature = false;         // time signature in the format 1 tempo track
    bool mf_add_key_signature = true;           // key signature first in every music track
    int mf_n_sharps_or_flats = 3;               // key signature count
    bool mf_use_minor_key = false;              // key signature mode
    bool mf_sharps_or_flats = false;            // the key is one of flats: the count is negated
    double max_midi_file_size_for_playalong = 200;  // kB of 1024 bytes; 1e-10 or less: no limit
    double max_midi_file_size_for_gallery = 200;    // kB of 1024 bytes; 1e-10 or less: no limit
    bool mf_single_pass_recording = false;      // formats 1 and 2: render once into per-track buffers
};

// The tempo a file is written with: microseconds per quarter note, as a tempo event holds it.
inline constexpr std::int64_t kDefaultTempo = 500000;  // what a file without a tempo event plays at
inline std::uint32_t file_tempo(const SmfSettings& s) {
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(s.mf_time_duration_of_beat, 1, 0xFFFFFF));
}

// Ticks per second of music at that tempo, so that tick stamps and the tempo event agree.
inline double ticks_per_second(const SmfSettings& s) {
    return std::max(s.midi_ticks_per_quarter_note, 1) * 1e6 / file_tempo(s);
}

// A key signature as written in the file: sf sharps (positive) or flats (negative), mi minor.
struct KeySignature {
    int sharps_or_flats = 0;
    bool minor = false;
};

// The key signature the settings ask for.
inline KeySignature configured_key_signature(const SmfSettings& s) {
    return {s.mf_sharps_or_flats ? -s.mf_n_sharps_or_flats : s.mf_n_sharps_or_flats, s.mf_use_minor_key};
}

}  // namespace corvane::midi
