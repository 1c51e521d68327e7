#include "corvane/midi/midi_in_presets.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "corvane/tuning/builtin_tables.h"
#include "corvane/tuning/pitch_list.h"

namespace corvane::midi {
namespace {

// General MIDI programs, counted from 0.
constexpr int kPiano = 0, kVibraphone = 11, kMarimba = 12, kChurchOrgan = 19, kViolin = 40, kViola = 41,
              kCello = 42, kOboe = 68, kWhistle = 78, kSitar = 104, kKalimba = 108, kShanai = 111;
constexpr int kNone = -1;

constexpr KeyPattern kBlackKeys{false, true, false, true, false, false, true, false, true, false, true, false};

enum class Ranges { one_voice, left_right, every_two_octaves, every_octave, string_trio };

// Scales of the built-in list, by title.
constexpr std::string_view kEqual = "Equal Temperament (M)";
constexpr std::string_view kJust = "Just temperament twelve tone (M)";
constexpr std::string_view kArabic = "Arabic 17-tone Pythagorean (M)";
constexpr std::string_view kMeanTone = "Quarter comma Mean-tone (M)";
constexpr std::string_view kPygmie = "Pygmie scale";
constexpr std::string_view kShruti = "Indian Shruti scale (M)";
constexpr std::string_view kWellTempered = "Well temperament, later 18th century (M)";

struct Preset {
    std::string_view name;
    Ranges ranges;
    int first_note;
    KeyPattern keys;
    std::array<int, 3> programs;  // of voices 0, 1, 2 (the upper voices repeat voice 0's); kNone keeps them
    std::string_view scale;  // empty: the scale is left as it is
    bool percussion;
};

constexpr std::array<Preset, kMidiInPresetCount> kPresets{{
    {"Two channels, left and right", Ranges::left_right, 60, kEveryKey, {kNone, kNone, kNone}, {}, false},
    {"New channel every two octaves", Ranges::every_two_octaves, 60, kEveryKey, {kNone, kNone, kNone}, {}, false},
    {"New channel for each octave", Ranges::every_octave, 60, kEveryKey, {kNone, kNone, kNone}, {}, false},
    {"Channel 1, middle C as first note", Ranges::one_voice, 60, kEveryKey, {kNone, kNone, kNone}, {}, false},
    {"Channel 1", Ranges::one_voice, 0, kEveryKey, {kNone, kNone, kNone}, {}, false},
    {"All non melodic percussion + vibraphone", Ranges::one_voice, 60, kEveryKey, {kVibraphone, kNone, kNone}, kEqual, true},
    {"Marimba, Just intonation, Modulation array", Ranges::every_octave, 60, kEveryKey, {kMarimba, kMarimba, kMarimba}, kJust, false},
    {"Shanai and Oboe, Arabic 17 tone pythagorean", Ranges::left_right, 60, kEveryKey, {kShanai, kOboe, kNone}, kArabic, false},
    {"Church organ, quarter comma mean tone", Ranges::one_voice, 60, kEveryKey, {kChurchOrgan, kNone, kNone}, kMeanTone, false},
    {"Kalimba and whistle, Pygmie scale", Ranges::left_right, 61, kBlackKeys, {kWhistle, kKalimba, kNone}, kPygmie, false},
    {"Sitar, Indian Shruti scale", Ranges::one_voice, 60, kEveryKey, {kSitar, kNone, kNone}, kShruti, false},
    {"Acoustic Grand Piano, equal temperament", Ranges::one_voice, 48, kEveryKey, {kPiano, kNone, kNone}, kEqual, false},
    {"String trio, well temperament of the later 18th century", Ranges::string_trio, 60, kEveryKey, {kViolin, kViola, kCello}, kWellTempered, false},
}};

constexpr int kFirstPercussionNote = 35;
constexpr int kLastPercussionNote = 81;

int voice_of_note(Ranges ranges, int note) {
    switch (ranges) {
        case Ranges::one_voice: return 0;
        case Ranges::left_right: return note < 60 ? 1 : 0;
        case Ranges::every_two_octaves: return note / 24;
        case Ranges::every_octave: return note / 12;
        case Ranges::string_trio: return note < 48 ? 2 : (note < 60 ? 1 : 0);
    }
    return 0;
}

MidiInTable voice_table(const Preset& p) {
    MidiInTable table{};
    for (int note = 0; note < kMidiInNotes; ++note) table[static_cast<std::size_t>(note)] = voice_of_note(p.ranges, note);
    return table;
}

MidiInTable percussion_table(const Preset& p) {
    MidiInTable table{};
    if (!p.percussion) return table;
    for (int note = kFirstPercussionNote; note <= kLastPercussionNote; ++note) table[static_cast<std::size_t>(note)] = note;
    return table;
}

std::vector<double> scale_entries(std::string_view title, double lowest_frequency) {
    const tuning::ScaleWithModesRow* row = tuning::find_scale_with_modes(title);
    if (row == nullptr) return {};
    return tuning::read_pitch_list(row->definition, tuning::PitchForm::ratio, tuning::ListNotation::absolute,
                                   lowest_frequency)
        .entries;
}

// The program a voice of the preset plays: its own, or voice 0's for the voices above 2.
int program_of(const Preset& p, int voice) {
    if (voice < 3 && p.programs[static_cast<std::size_t>(voice)] != kNone) return p.programs[static_cast<std::size_t>(voice)];
    return p.programs[0];
}

bool same_scale(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::fabs(a[i] - b[i]) > 1e-9 * std::max(1.0, std::fabs(a[i]))) return false;
    }
    return true;
}

bool matches(const Preset& p, const PlayAlongSettings& s, const engine::Composition& c) {
    if (s.iVoiceChannelForMidiInNote != voice_table(p) || s.n1stMidiInNoteForVoiceChannel != p.first_note ||
        s.key_pattern != p.keys || s.iNonMelodicPercussionForMidiInNote != percussion_table(p)) {
        return false;
    }
    if (std::any_of(s.iModeForMidiInNotes.begin(), s.iModeForMidiInNotes.end(),
                    [](int mode) { return mode != kNoFixedAssignment; })) {
        return false;
    }
    if (p.programs[0] != kNone) {
        for (const int voice : s.iVoiceChannelForMidiInNote) {
            if (c.Voices_for_channels[static_cast<std::size_t>(voice)] != program_of(p, voice)) return false;
        }
    }
    return p.scale.empty() || same_scale(c.Intervals, scale_entries(p.scale, c.Frequency_of_lowest_note));
}

}  // namespace

std::span<const std::string_view> midi_in_preset_names() {
    static constexpr auto names = [] {
        std::array<std::string_view, kMidiInPresetCount> n{};
        for (std::size_t i = 0; i < n.size(); ++i) n[i] = kPresets[i].name;
        return n;
    }();
    return names;
}

bool apply_midi_in_preset(int preset, PlayAlongSettings& settings, engine::Composition& composition) {
    if (preset < 0 || preset >= kMidiInPresetCount) return false;
    const Preset& p = kPresets[static_cast<std::size_t>(preset)];
    settings.iVoiceChannelForMidiInNote = voice_table(p);
    settings.iNonMelodicPercussionForMidiInNote = percussion_table(p);
    settings.iModeForMidiInNotes = default_midi_in_table(MidiInTableKind::mode);
    settings.n1stMidiInNoteForVoiceChannel = p.first_note;
    settings.key_pattern = p.keys;
    if (p.programs[0] != kNone) {
        for (const int voice : settings.iVoiceChannelForMidiInNote) {
            composition.Voices_for_channels[static_cast<std::size_t>(voice)] = program_of(p, voice);
        }
    }
    if (!p.scale.empty()) {
        engine::set_intervals(composition, scale_entries(p.scale, composition.Frequency_of_lowest_note));
        composition.Intervals_Title = std::string(p.scale);
    }
    settings.iMidiInPresets = preset;
    return true;
}

int matching_midi_in_preset(const PlayAlongSettings& settings, const engine::Composition& composition) {
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < kMidiInPresetCount; ++i) {
            const Preset& p = kPresets[static_cast<std::size_t>(i)];
            const bool specific = p.programs[0] != kNone;
            if (specific == (pass == 0) && matches(p, settings, composition)) return i;
        }
    }
    return -1;
}

}  // namespace corvane::midi
