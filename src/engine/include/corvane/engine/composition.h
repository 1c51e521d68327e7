#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/platform/midi_message.h"
#include "corvane/platform/reporter.h"
#include "corvane/tuning/pitch_mapping.h"
#include "corvane/tuning/step_list.h"

namespace corvane::engine {

using platform::kMidiChannels;
inline constexpr int kMaxSeedValues = 1000;       // seeds and per-position lists
inline constexpr int kMaxListValues = 1000;       // scales and arpeggios
inline constexpr int kMaxLevels = 29;             // the highest level index
inline constexpr int kLevelCount = kMaxLevels + 1;
inline constexpr double kMaxSustain = 300.0;
inline constexpr std::size_t kMaxTitleLength = 300;
inline constexpr std::size_t kMaxFormulaLength = 100;
inline constexpr int kPercussionChannel = 9;

template <class T>
using PerChannel = std::array<T, kMidiChannels>;

// The scale and arpeggio a new composition starts with, as the user would type them.
inline constexpr std::string_view kNewScaleText = "1 n(1/12)";
inline constexpr std::string_view kNewScaleTitle = "Equal Temperament (M)";
inline constexpr std::string_view kNewArpeggioText = "0 2 4 7 9 12";
inline constexpr std::string_view kNewArpeggioTitle = "Pentatonic";
inline constexpr std::string_view kNewFormula = "N+H+1";

std::vector<double> new_scale();
tuning::StepList new_arpeggio();
PerChannel<int> new_voices();

template <class T>
constexpr PerChannel<T> filled(T value) {
    PerChannel<T> a{};
    a.fill(value);
    return a;
}

// The channels whose voice is not negative, in channel order, cut after the first
// Channels_in_Play of them. Fixed size, so it can be worked out on the real-time path.
struct ChannelsInPlay {
    PerChannel<int> channels{};
    int count = 0;

    std::span<const int> list() const& { return std::span<const int>(channels).first(static_cast<std::size_t>(count)); }
    // A list of a temporary would outlive it: keep the ChannelsInPlay in a variable first.
    std::span<const int> list() const&& = delete;
};

// Choose_channels_by: how each note picks its channel among the channels in play.
enum class ChannelRule {
    by_note_height = 0,
    by_time = 1,
    formula = 2,
    by_cumulative_note_height = 3,
    by_level = 4,
    by_level_simultaneous = 5,
};

// The composition: everything a user shapes and saves. Field names are the keys of the
// composition file. A default-constructed record is the New composition.
struct Composition {
    // Tune shape.
    std::vector<int> Note_heights{0, 1, 0};  // the seed
    int Levels = 10;                         // highest level index, 0..29
    std::vector<double> times_by_melody_pos{1.0, 1.0, 1.0};
    bool has_times_by_melody_pos = false;
    std::vector<double> volumes_by_melody_pos{1.0, 1.0, 1.0};
    bool has_volumes_by_melody_pos = false;
    int iRhythmFractalToLevel = 0;

    // Timing and volume; the values of the optional ones are kept while switched off.
    double Note_length = 0.125;
    double Top_note_length = 0.0625;
    bool has_Top_note_length = false;
    double Note_timing_shift = 0.5;
    bool has_Note_timing_shift = false;
    double Sustain = 1.0;
    double Top_note_volume = 0.5;
    bool has_Top_note_volume = false;
    double VolForSilentSimNote = 0.5;

    // Pitch.
    double Frequency_of_lowest_note = tuning::kMiddleCFrequency;
    std::vector<double> Intervals = new_scale();  // increment form; the last entry is the period
    std::string Intervals_Title{kNewScaleTitle};
    tuning::StepList Arpeggio = new_arpeggio();
    std::string Arpeggio_Title{kNewArpeggioTitle};
    bool Use_ratios = false;
    int shift_by_octave_or_arpeggio = 0;
    // The seed text held the word TEST: notes play the pitch-bend range test, not the tune's
    // pitches. Not saved; it comes from the seed text.
    bool seed_has_test = false;

    // Channels and channel choice.
    int Channels_in_Play = 1;
    int Channel = 0;
    PerChannel<int> Voices_for_channels = new_voices();
    int Choose_channels_by = 4;
    int ccbo_first_channel = 0;
    bool ccbo_multiple_notes_in_same_channel = true;
    bool ccbo_sym_chs = false;
    std::string sz_ccbo_formula{kNewFormula};
    std::string ListOfModesFile;

    // Per-channel voices, ranges and effects.
    PerChannel<int> Octave_shifts_for_channels{};
    PerChannel<int> Volumes_for_channels = filled(127);
    PerChannel<int> Min_notes_for_channels{};
    PerChannel<int> Max_notes_for_channels = filled(127);
    PerChannel<bool> Sync_to_pitch{};
    PerChannel<int> iActionIfOutOfRange = filled(2);
    PerChannel<double> iPitch_for_sync_to_pitch{};
    PerChannel<int> iVibrato{};
    PerChannel<double> dVibrato_freq{};
    PerChannel<double> dVibrato_amp = filled(10.0);
    PerChannel<double> dVibrato_vol_amp{};
    PerChannel<int> iPortamento{};
    PerChannel<int> iPortamento_slide_time = filled(64);

    // How many notes may sound at once: Sustain 1 gives 1, 1.5 gives 2, 2 gives 2.
    int SustainSlots() const;
    // The part of the next note's time for which the last sustained note still sounds.
    double SustainFraction() const;
    ChannelsInPlay channels_in_play() const;
    int seed_length() const { return static_cast<int>(Note_heights.size()); }
    ChannelRule channel_rule() const { return static_cast<ChannelRule>(Choose_channels_by); }
    // The formula rule with "sustain all notes to next note for same voice channel": a
    // channel holds one note at a time, the next note on it ending the last.
    bool formula_with_one_note_per_channel() const { return channel_rule() == ChannelRule::formula && ccbo_sym_chs; }
    bool operator==(const Composition&) const = default;
};

Composition new_composition();

// Edits with the limits the main window enforces. Each returns the value stored; the three
// upper limits are reported with their messages, the lower ones silently.
int set_levels(Composition& c, long long levels, platform::Reporter& reporter);
double set_sustain(Composition& c, double sustain, platform::Reporter& reporter);
int set_channels_in_play(Composition& c, long long channels, platform::Reporter& reporter);

// Lists longer than their capacity are cut when they are read.
void set_seed(Composition& c, std::span<const int> values);
void set_intervals(Composition& c, std::span<const double> entries);
void set_times_by_melody_pos(Composition& c, std::span<const double> values);
void set_volumes_by_melody_pos(Composition& c, std::span<const double> values);
void set_formula(Composition& c, std::string_view formula);

// Before a composition is read from a file: the optional fields it does not name stay off.
// Note_timing_shift keeps its state.
void clear_flags_before_reading(Composition& c);
// A file's Choose_channels_by of 6 is stored as 5.
int choose_channels_by_from_file(int value);
// A settings reset: the optional scalars that are off go back to the values they take
// when first switched on.
void reset_optional_scalars(Composition& c);

// The messages of the three limits, as shown to the user.
std::string levels_limit_message();
std::string sustain_limit_message();
std::string channels_limit_message();
inline constexpr std::string_view kLevelsCaption = "Levels";
inline constexpr std::string_view kSustainCaption = "Notes in chord";
inline constexpr std::string_view kChannelsCaption = "Number of MIDI channels to use";

}  // namespace corvane::engine
