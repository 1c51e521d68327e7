#include "corvane/midi/midi_in_presets.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "corvane/tuning/pitch_list.h"

namespace corvane::midi {
namespace {

// General MIDI programs, counted from 0.
constexpr int kPiano = 0, kVibraphone = 11, kMarimba = 12, kChurchOrgan = 19, kViolin = 40, kViola = 41,
              kCello = 42, kOboe = 68, kWhistle = 78, kSitar = 104, kKalimba = 108, kShanai = 111;
constexpr int kNone = -1;

constexpr KeyPattern kBlackKeys{false, true, false, true, false, false, true, false, true, false, true, false};

enum class Ranges { one_voice, left_right, every_two_octaves, every_octave, string_trio };

struct Scale {
    std::string_view title;
    std::string_view ratios;
};

constexpr Scale kEqual{"Equal Temperament (M)", "1 n(1/12) n(2/12) n(3/12) n(4/12) n(5/12) n(6/12) n(7/12) n(8/12) n(9/12) n(10/12) n(11/12) 2"};
constexpr Scale kJust{"Just intonation", "1 16/15 9/8 6/5 5/4 4/3 45/32 3/2 8/5 5/3 9/5 15/8 2"};
constexpr Scale kArabic{"Arabic 17 tone pythagorean",
                        "1 256/243 65536/59049 9/8 32/27 8192/6561 81/64 4/3 1024/729 262144/177147 3/2 128/81 "
                        "32768/19683 27/16 16/9 4096/2187 1048576/531441 2"};
constexpr Scale kMeanTone{"Quarter comma mean tone",
                          "1 5^(7/4)/16 5^(1/2)/2 4/5^(3/4) 5/4 2/5^(1/4) 5^(3/2)/8 5^(1/4) 25/16 5^(3/4)/2 "
                          "4/5^(1/2) 5^(5/4)/4 2"};
constexpr Scale kPygmie{"Pygmie scale", "1 8/7 21/16 3/2 7/4 2"};
constexpr Scale kShruti{"Indian Shruti scale",
                        "1 256/243 16/15 10/9 9/8 32/27 6/5 5/4 81/64 4/3 27/20 45/32 729/512 3/2 128/81 8/5 5/3 "
                        "27/16 16/9 9/5 15/8 243/128 2"};
constexpr Scale kVallotti{"Vallotti well temperament",
                          "1 `94.135 `196.09 `298.045 `392.18 `501.955 `592.18 `698.045 `796.09 `894.135 `1000 "
                          "`1090.225 2"};

struct Preset {
    std::string_view name;
    Ranges ranges;
    int first_note;
    KeyPattern keys;
    std::array<int, 3> programs;  // of voices 0, 1, 2 (the upper voices repeat voice 0's); kNone keeps them
    std::optional<Scale> scale;
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
    {"String trio, Vallotti well temperament", Ranges::string_trio, 60, kEveryKey, {kViolin, kViola, kCello}, kVallotti, false},
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

std::vector<double> scale_entries(const Scale& scale, double lowest_frequency) {
    return tuning::read_pitch_list(scale.ratios, tuning::PitchForm::ratio, tuning::ListNotation::absolute,
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
    return !p.scale || same_scale(c.Intervals, scale_entries(*p.scale, c.Frequency_of_lowest_note));
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
    if (p.scale) {
        engine::set_intervals(composition, scale_entries(*p.scale, composition.Frequency_of_lowest_note));
        composition.Intervals_Title = std::string(p.scale->title);
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
