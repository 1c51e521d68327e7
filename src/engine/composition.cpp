#include "corvane/engine/composition.h"

#include <algorithm>
#include <cmath>

#include "corvane/tuning/pitch_list.h"

namespace corvane::engine {
namespace {

template <class T>
std::vector<T> capped(std::span<const T> values, int capacity) {
    const auto kept = std::min(values.size(), static_cast<std::size_t>(capacity));
    return {values.begin(), values.begin() + static_cast<std::ptrdiff_t>(kept)};
}

std::string maximum_message(std::string_view before, long long limit, std::string_view after) {
    return std::string(before) + std::to_string(limit) + std::string(after);
}

}  // namespace

std::vector<double> new_scale() {
    return tuning::read_pitch_list(kNewScaleText, tuning::PitchForm::ratio, tuning::ListNotation::absolute,
                                   tuning::kMiddleCFrequency)
        .entries;
}

tuning::StepList new_arpeggio() { return tuning::read_step_list(kNewArpeggioText, tuning::ListNotation::absolute); }

PerChannel<int> new_voices() {
    PerChannel<int> voices = filled(73);
    voices[kPercussionChannel] = -1;
    return voices;
}

int Composition::SustainSlots() const {
    const double slots = std::trunc(Sustain + 1.0 - 0.00001);
    return std::max(1, static_cast<int>(std::clamp(slots, 1.0, kMaxSustain + 1.0)));
}

double Composition::SustainFraction() const { return std::clamp(Sustain - (SustainSlots() - 1), 0.0, 1.0); }

ChannelsInPlay Composition::channels_in_play() const {
    ChannelsInPlay in_play;
    for (int channel = 0; channel < kMidiChannels && in_play.count < Channels_in_Play; ++channel) {
        if (Voices_for_channels[static_cast<std::size_t>(channel)] >= 0) {
            in_play.channels[static_cast<std::size_t>(in_play.count++)] = channel;
        }
    }
    return in_play;
}

Composition new_composition() { return Composition{}; }

std::string levels_limit_message() { return maximum_message("Maximum of ", kLevelCount, " levels"); }

std::string sustain_limit_message() {
    return maximum_message("Maximum of ", static_cast<long long>(kMaxSustain),
                           " notes to be played simultaneously.\n\nSustain can't exceed this value.");
}

std::string channels_limit_message() { return maximum_message("Maximum of ", kMidiChannels, " MIDI channels."); }

int set_levels(Composition& c, long long levels, platform::Reporter& reporter) {
    if (levels > kMaxLevels) reporter.report(levels_limit_message(), kLevelsCaption);
    c.Levels = static_cast<int>(std::clamp<long long>(levels, 0, kMaxLevels));
    return c.Levels;
}

double set_sustain(Composition& c, double sustain, platform::Reporter& reporter) {
    if (sustain > kMaxSustain) reporter.report(sustain_limit_message(), kSustainCaption);
    c.Sustain = std::isnan(sustain) ? 0.0 : std::clamp(sustain, 0.0, kMaxSustain);
    return c.Sustain;
}

int set_channels_in_play(Composition& c, long long channels, platform::Reporter& reporter) {
    if (channels > kMidiChannels) reporter.report(channels_limit_message(), kChannelsCaption);
    c.Channels_in_Play = static_cast<int>(std::clamp<long long>(channels, 1, kMidiChannels));
    return c.Channels_in_Play;
}

void set_seed(Composition& c, std::span<const int> values) { c.Note_heights = capped(values, kMaxSeedValues); }

void set_intervals(Composition& c, std::span<const double> entries) {
    c.Intervals = capped(entries, kMaxListValues);
    if (c.Intervals.empty()) c.Intervals.push_back(0.0);
}

void set_times_by_melody_pos(Composition& c, std::span<const double> values) {
    c.times_by_melody_pos = capped(values, kMaxSeedValues);
}

void set_volumes_by_melody_pos(Composition& c, std::span<const double> values) {
    c.volumes_by_melody_pos = capped(values, kMaxSeedValues);
}

void set_formula(Composition& c, std::string_view formula) {
    c.sz_ccbo_formula = std::string(formula.substr(0, kMaxFormulaLength));
}

void clear_flags_before_reading(Composition& c) {
    c.has_Top_note_length = false;
    c.has_Top_note_volume = false;
    c.has_times_by_melody_pos = false;
    c.has_volumes_by_melody_pos = false;
    c.Use_ratios = false;
}

int choose_channels_by_from_file(int value) { return value == 6 ? 5 : value; }

void reset_optional_scalars(Composition& c) {
    const Composition fresh;
    if (!c.has_Top_note_length) c.Top_note_length = fresh.Top_note_length;
    if (!c.has_Note_timing_shift) c.Note_timing_shift = fresh.Note_timing_shift;
    if (!c.has_Top_note_volume) c.Top_note_volume = fresh.Top_note_volume;
}

}  // namespace corvane::engine
