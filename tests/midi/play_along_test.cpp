// Playing along: MIDI in re-pitched through the scale, the computer keyboard, and the
// recording of what is played, on a recording output device and real files.
#include "corvane/midi/play_along.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <filesystem>
#include <functional>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "corvane/midi/midi_in_presets.h"
#include "corvane/platform/injected_input.h"
#include "corvane/platform/manual_timer_service.h"
#include "corvane/platform/recording_output.h"
#include "corvane/tuning/keyboard_mapping.h"
#include "corvane/tuning/pitch_list.h"
#include "corvane/tuning/step_list.h"
#include "../expected_output.h"
#include "midi_test_support.h"
#include "smf_reader.h"

namespace corvane::midi {
namespace {

using namespace std::chrono_literals;
using testing::SmfEvent;

constexpr std::string_view kJustScale = "1 16/15 9/8 6/5 5/4 4/3 45/32 3/2 8/5 5/3 9/5 15/8 2";

void set_scale(engine::Composition& c, std::string_view ratios) {
    engine::set_intervals(c, tuning::read_pitch_list(ratios, tuning::PitchForm::ratio, tuning::ListNotation::absolute,
                                                     c.Frequency_of_lowest_note)
                                 .entries);
}

// `steps` equal steps to the octave, in ratio form.
std::string equal_steps(int steps) {
    std::string scale = "1";
    for (int step = 1; step < steps; ++step) scale += " n(" + std::to_string(step) + "/" + std::to_string(steps) + ")";
    return scale + " 2";
}

struct Sent {
    int kind = 0;
    int channel = 0;
    int data1 = 0;
    int data2 = 0;
    bool note_on() const { return kind == 0x90 && data2 > 0; }
    // Sent as such or as a note-on with velocity 0.
    bool note_off() const { return kind == 0x80 || (kind == 0x90 && data2 == 0); }
    bool operator==(const Sent&) const = default;
    friend void PrintTo(const Sent& s, std::ostream* os) {
        *os << std::hex << "{" << s.kind << " " << s.channel << " " << std::dec << s.data1 << " " << s.data2 << "}";
    }
};

// The messages of `sent` that `keep` picks (&Sent::note_off, say).
std::vector<Sent> only(const std::vector<Sent>& sent, const std::function<bool(const Sent&)>& keep) {
    std::vector<Sent> out;
    std::copy_if(sent.begin(), sent.end(), std::back_inserter(out), keep);
    return out;
}
std::vector<Sent> of_kind(const std::vector<Sent>& sent, int kind) {
    return only(sent, [kind](const Sent& s) { return s.kind == kind; });
}

// The machine of a running program: a recording output, an injected MIDI keyboard, the
// real clock (recordings are timed by it), files in a temporary folder.
struct PlayAlongRig {
    engine::Composition composition;
    engine::PlayerSettings player_settings;
    engine::VoiceSettings voice_settings;
    PlayAlongSettings settings;
    SmfSettings smf;
    platform::SteadyClock clock;
    platform::ManualClock timer_clock{0};
    platform::ManualTimerService timers{timer_clock};
    platform::RecordingOutputSystem devices{clock};
    platform::InjectedInputSystem keyboard;
    platform::NoKeysHeld keys;
    platform::RecordingReporter reporter;
    testing::TempFolder folder;
    Playback playback{composition, player_settings, voice_settings, PlaybackMachine{devices, timers, clock, keys, reporter}};
    PlayAlong play_along{playback, composition, settings, smf, PlayAlongMachine{keyboard, clock, reporter}, folder.path()};
    bool midi_in_opened = false;

    PlayAlongRig() {
        voice_settings.all_sound_off_before_pitch_bends = false;
        set_scale(composition, kJustScale);
        play_along.midi_in().enumerate_devices();
        midi_in_opened = play_along.midi_in().open() == OpenResult::opened;
    }

    std::size_t mark() const { return devices.recording()->size(); }
    std::vector<Sent> sent_since(std::size_t first) const {
        std::vector<Sent> out;
        const auto all = devices.recording()->messages();
        for (std::size_t i = first; i < all.size(); ++i) {
            const auto m = static_cast<int>(all[i].message);
            out.push_back({m & 0xF0, m & 0x0F, m >> 8 & 0x7F, m >> 16 & 0x7F});
        }
        return out;
    }
    std::vector<Sent> note_ons_since(std::size_t first) const { return only(sent_since(first), &Sent::note_on); }
    void play(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) { ASSERT_TRUE(keyboard.inject(status, data1, data2)); }
};

class PlayAlongTest : public ::testing::Test, protected PlayAlongRig {
protected:
    void SetUp() override { ASSERT_TRUE(midi_in_opened); }
};

// ---------------------------------------------------------------------------------------
// MIDI in

// What the keyboard plays in each case, on a program of its own; every message sent after
// the port opened is kept, in order. Only active sensing is told to the listener.
TEST(MidiInMessages, AreSentExactly) {
    struct Case {
        std::string what;
        std::vector<std::array<std::uint8_t, 3>> played;
        std::function<void(PlayAlongSettings&)> set_up = {};
    };
    const std::vector<Case> cases{
        {"positions 0..3 from middle C through the pentatonic arpeggio of a just scale: 1, 9/8, 5/4, 3/2, "
         "at velocity 64 x 127 x 127 / 16129 (MIDI-in volume, key, voice volume)",
         {{0x90, 60, 127}, {0x90, 61, 127}, {0x90, 62, 127}, {0x90, 63, 127}}},
        {"a note-off of velocity 127 goes in the short form, a note-on of velocity 0",
         {{0x90, 60, 100}, {0x80, 60, 0}}},
        {"a note-on of velocity 0 is a note-off with the MIDI-in volume", {{0x90, 60, 100}, {0x90, 60, 0}}},
        {"the pedal holds released notes only and lets them go together; 62 plays 64, bent",
         {{0xB0, 64, 127}, {0x90, 60, 100}, {0x90, 62, 100}, {0x80, 60, 0}, {0xB0, 64, 0}}},
        {"an output note shared by two keys: the second strikes it again, it ends with the last key",
         {{0x90, 60, 100}, {0x90, 72, 100}, {0x80, 60, 0}, {0x80, 72, 0}, {0x90, 72, 100}, {0x80, 72, 0}},
         [](PlayAlongSettings& s) {
             for (const int note : {60, 72}) s.iModeForMidiInNotes[static_cast<std::size_t>(note)] = 0;
             s.iScalePosForMidiInNote[72] = 0;  // both keys play position 0
         }},
        {"system messages pass through whole", {{0xF8, 0, 0}, {0xFE, 0, 0}, {0xF2, 5, 6}}},
        {"a channel left out is not played; pan, program and aftertouch pass on the play-along channel",
         {{0x93, 60, 100}, {0x90, 61, 100}, {0xB0, 10, 33}, {0xC0, 5, 0}, {0xA0, 61, 20}},
         [](PlayAlongSettings& s) { s.OkMidiInChannel[3] = 0; }},
    };
    std::string sent;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto rig = std::make_unique<PlayAlongRig>();
        ASSERT_TRUE(rig->midi_in_opened);
        struct Sensing : MidiInListener {
            int told = 0;
            void active_sensing() override { ++told; }
        } listener;
        rig->play_along.midi_in_play().set_listener(&listener);
        if (c.set_up) c.set_up(rig->settings);
        rig->playback.port().open();
        const std::size_t before = rig->mark();
        int sensing = 0;
        for (const auto& [status, data1, data2] : c.played) {
            rig->play(status, data1, data2);
            sensing += status == 0xFE ? 1 : 0;
        }
        EXPECT_EQ(listener.told, sensing);
        sent += "==== " + c.what + "\n";
        for (const Sent& s : rig->sent_since(before)) {
            std::array<char, 16> line{};
            std::snprintf(line.data(), line.size(), "%02x %3d %3d\n", s.kind | s.channel, s.data1, s.data2);
            sent += line.data();
        }
    }
    // Under each case, the messages it sent: status byte in hex, then the two data bytes.
    testing::expect_output_as_kept(sent, "midi/expected/midi_in_messages.txt");
}

// Controllers 7 and 1 set the play-along voice's volume and vibrato, and velocities scale by
// the MIDI-in volume and the voice's; the wheel retunes.
TEST_F(PlayAlongTest, ControllersSetTheVoiceAndTheWheelBendsSoundingNotesWithoutStrikingThemAgain) {
    play(0xB0, 7, 90);
    EXPECT_EQ(composition.Volumes_for_channels[0], 90);
    play(0xB0, 1, 127);
    EXPECT_DOUBLE_EQ(composition.dVibrato_amp[0], 100.0);
    EXPECT_EQ(composition.iVibrato[0], 1);
    play_along.midi_in_play().set_volume(100);
    play(0x90, 61, 1);  // never below 1
    play(0x80, 61, 0);
    EXPECT_TRUE(playback.port().has_open_reason(OpenReason::midi_in));  // the note opened the output
    play(0x90, 60, 100);  // 100 x 100 x 90 / 16129 = 55.8
    const auto velocities = note_ons_since(0);
    ASSERT_EQ(velocities.size(), 2u);
    EXPECT_EQ(velocities[0].data2, 1);
    EXPECT_EQ(velocities[1].data2, 55);
    const double lowest = composition.Frequency_of_lowest_note;
    const std::size_t before = mark();
    play(0xE0, 127, 127);  // 16383
    const double semitones = (16383.0 - 8192.0) / 8192.0;
    EXPECT_NEAR(composition.Frequency_of_lowest_note, lowest * std::exp2(semitones / 12.0), 1e-9);
    const auto sent = sent_since(before);
    EXPECT_TRUE(of_kind(sent, 0x90).empty());
    ASSERT_EQ(of_kind(sent, 0xE0).size(), 1u);
    const Sent bend = of_kind(sent, 0xE0)[0];
    EXPECT_EQ(bend.channel, velocities[1].channel);
    EXPECT_NEAR(bend.data2 << 7 | bend.data1, 8192 + semitones * 4096, 1.0);

    settings.ignore_pitch_bends = true;  // every wheel message reads as centred
    play(0xE0, 0, 0x40);
    play(0xE0, 0, 0);
    EXPECT_NEAR(composition.Frequency_of_lowest_note, lowest, 1e-9);
}

// A device that is not there, or will not open, is reported, by name where it has one.
// (The In menu, opening and closing, and a machine without inputs are checked in the UI tests.)
TEST_F(PlayAlongTest, MidiInDevicesThatDoNotOpenAreReported) {
    play_along.midi_in().close();
    play_along.midi_in().select(kFirstInDeviceCommand + 3);
    EXPECT_EQ(play_along.midi_in().open(), OpenResult::failed);
    EXPECT_EQ(reporter.entries().back().message,
              "Cannot open MIDI input device for sequencing.\n\nIf there are any others to try, they will be listed in "
              "the In menu.");
    keyboard.fail_device(0);
    play_along.midi_in().select(kFirstInDeviceCommand);
    EXPECT_EQ(play_along.midi_in().open(), OpenResult::failed);
    EXPECT_EQ(reporter.entries().back().message,
              "Cannot open MIDI input device \"Test keyboard\" for sequencing. It may not be available, or in use by "
              "another application\n\n.If there are any others to try, they will be listed in the In menu.");
}

// For a new seed: a note the editor captures is neither played nor taken as a control note;
// uncaptured, the control notes press buttons and are not played either.
TEST_F(PlayAlongTest, CapturedNotesGoToTheEditorAndControlNotesPressButtons) {
    struct Listener : MidiInListener {
        bool capturing = true;
        std::vector<int> captured;
        std::vector<int> played;
        std::vector<std::pair<SeedButton, bool>> pressed;
        bool capture_note(int note) override {
            if (capturing) captured.push_back(note);
            return capturing;
        }
        void note_played(const MidiInNote& note) override { played.push_back(note.input_note); }
        void seed_button(SeedButton b, bool down) override { pressed.emplace_back(b, down); }
    } listener;
    play_along.midi_in_play().set_listener(&listener);
    settings.iMidiInFor = kMidiInForNewSeed;
    const std::size_t before = mark();
    play(0x90, 64, 100);
    play(0x80, 64, 0);
    play(0x90, 82, 100);  // nPlaySeed, captured like any other note
    play(0x90, 65, 0);    // a note off is never offered
    EXPECT_EQ(listener.captured, (std::vector<int>{64, 82}));
    EXPECT_TRUE(listener.pressed.empty());

    listener.capturing = false;
    play(0x90, 82, 100);
    EXPECT_FALSE(settings.sas_mouse_activated);
    play(0x80, 82, 0);
    EXPECT_TRUE(settings.sas_mouse_activated);
    play(0x90, 81, 100);  // nApplySeed
    const std::vector<std::pair<SeedButton, bool>> expected{
        {SeedButton::play, true}, {SeedButton::play, false}, {SeedButton::apply, true}};
    EXPECT_EQ(listener.pressed, expected);
    EXPECT_TRUE(of_kind(sent_since(before), 0x90).empty());
    EXPECT_TRUE(listener.played.empty());
    play(0x90, 64, 100);
    EXPECT_EQ(listener.played, std::vector<int>{64});
    EXPECT_EQ(note_ons_since(before).size(), 1U);
}

// ---------------------------------------------------------------------------------------
// Keyboard presets

// Each preset sets its keys' voices, the first note, the keys played, the programs of voices
// 0..2 and the scale (what it leaves alone keeps its value: programs 73, the scale "mine"),
// resets the modes, and is recognised afterwards.
TEST(MidiInPresets, EachPresetSetsItsKeysProgramsAndScaleAndIsRecognisedAfterwards) {
    MidiInTable drums{};
    for (int note = 35; note <= 81; ++note) drums[static_cast<std::size_t>(note)] = note;
    ASSERT_EQ(midi_in_preset_names().size(), static_cast<std::size_t>(kMidiInPresetCount));
    std::ostringstream outcomes;
    for (int i = 0; i < kMidiInPresetCount; ++i) {
        SCOPED_TRACE(i);
        PlayAlongSettings settings;
        settings.iModeForMidiInNotes[5] = 3;
        engine::Composition composition;
        composition.Intervals_Title = "mine";
        ASSERT_TRUE(apply_midi_in_preset(i, settings, composition));
        EXPECT_EQ(settings.iMidiInPresets, i);
        EXPECT_EQ(settings.iModeForMidiInNotes, default_midi_in_table(MidiInTableKind::mode));
        EXPECT_EQ(matching_midi_in_preset(settings, composition), i);
        const auto& v = settings.iVoiceChannelForMidiInNote;
        const auto& programs = composition.Voices_for_channels;
        const auto& percussion = settings.iNonMelodicPercussionForMidiInNote;
        std::string keys;
        for (const bool played : settings.key_pattern) keys += played ? 'x' : '.';
        outcomes << midi_in_preset_names()[static_cast<std::size_t>(i)] << "\n  voices of keys 0 47 59 60 127: "
                 << v[0] << ' ' << v[47] << ' ' << v[59] << ' ' << v[60] << ' ' << v[127] << "\n  first note "
                 << settings.n1stMidiInNoteForVoiceChannel << ", keys of an octave " << keys
                 << "\n  programs of voices 0 1 2: " << programs[0] << ' ' << programs[1] << ' ' << programs[2]
                 << "\n  scale " << composition.Intervals_Title << "\n  percussion "
                 << (percussion == drums ? "keys 35-81, each its own drum" : percussion == MidiInTable{} ? "none" : "?")
                 << "\n";
    }
    // Each preset's name, then what it set.
    testing::expect_output_as_kept(outcomes.str(), "midi/expected/midi_in_presets.txt");
    PlayAlongSettings settings;
    engine::Composition composition;
    EXPECT_FALSE(apply_midi_in_preset(kMidiInPresetCount, settings, composition));
    EXPECT_FALSE(apply_midi_in_preset(-1, settings, composition));
    EXPECT_EQ(settings.iMidiInPresets, -1);
    apply_midi_in_preset(10, settings, composition);
    composition.Voices_for_channels[0] = 0;  // another instrument: no longer that preset
    EXPECT_NE(matching_midi_in_preset(settings, composition), 10);
    settings.iVoiceChannelForMidiInNote[5] = 7;
    EXPECT_EQ(matching_midi_in_preset(settings, composition), -1);
    apply_midi_in_preset(10, settings, composition);
    settings.iModeForMidiInNotes[5] = 3;  // a key of fixed assignment: no preset has one
    EXPECT_EQ(matching_midi_in_preset(settings, composition), -1);
}

// Where each key lands in the arpeggio: a pattern counts only its keys (a key outside it
// plays the one below); starting each octave of keys on the same note follows the arpeggio's
// length, five notes an octave for seven white keys, one step for twelve keys.
TEST_F(PlayAlongTest, KeysCountThroughThePatternAndTheArpeggio) {
    struct Case {
        KeyPattern pattern;
        bool same_note;
        std::string_view arpeggio;
        std::vector<std::pair<int, int>> positions;
    };
    const std::vector<Case> cases{
        {kWhiteKeys, false, "0 2 4 7 9 12", {{60, 0}, {62, 1}, {61, 0}, {72, 7}, {59, -1}}},
        {kWhiteKeys, true, "0 2 4 7 9 12", {{72, 5}, {71, 6}}},
        {kEveryKey, true, "0 12", {{60, 0}, {72, 1}, {73, 2}, {59, 10}}},
    };
    for (const Case& c : cases) {
        settings.key_pattern = c.pattern;
        settings.start_at_same_note_for_sa_repeat = c.same_note;
        composition.Arpeggio = tuning::read_step_list(c.arpeggio, tuning::ListNotation::absolute);
        for (const auto& [key, position] : c.positions) {
            EXPECT_EQ(play_along.midi_in_play().scale_position(key), position) << c.arpeggio << " key " << key;
        }
    }
}

// ---------------------------------------------------------------------------------------
// The computer keyboard

// What each scan code plays, in both layouts (the key left of "1" joins as degree -25 when
// "1" plays -24), then the help for each: A is degree 0, Q twelve below, 1 twenty-four below.
TEST(PcKeyNumbers, RowsFromScanCodes) {
    std::ostringstream keys;
    for (int scan = 0; scan < 60; ++scan) {
        keys << "scan " << scan;
        for (const bool key_1 : {false, true}) {
            const auto key = pc_key_number(scan, key_1);
            if (key) keys << ": key " << *key << " degree " << pc_key_degree(*key, key_1);
            if (!key) keys << ": none";
        }
        keys << "\n";
    }
    keys << pc_keys_help(false) << "\n====\n" << pc_keys_help(true) << "\n";
    // Each scan code's key and degree in both layouts, then each layout's help text.
    testing::expect_output_as_kept(keys.str(), "midi/expected/pc_keys.txt");
}

TEST_F(PlayAlongTest, TabSilencesEveryChannelOnPressAndReleaseAndRepeatsAreIgnored) {
    PcKeyboard& pc = play_along.keyboard();
    playback.port().open();
    std::size_t before = mark();
    pc.pc_key_event(true, kScanTab, false);
    pc.pc_key_event(false, kScanTab, false);
    const auto sent = sent_since(before);
    ASSERT_EQ(sent.size(), 32u);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(sent[static_cast<std::size_t>(i)], (Sent{0xB0, i % 16, 120, 0}));

    before = mark();
    pc.pc_key_event(true, 30, false);
    pc.pc_key_event(true, 30, true);
    EXPECT_EQ(of_kind(sent_since(before), 0x90).size(), 1u);
    pc.pc_key_event(false, 30, false);
    EXPECT_EQ(only(sent_since(before), &Sent::note_off).size(), 1u);
    EXPECT_EQ(pc.slot_of_degree(0).note, -1);
}

TEST_F(PlayAlongTest, SeventeenKeysTakeFreeChannelsThenStealTheOldestButNeverNine) {
    set_scale(composition, equal_steps(17));
    composition.Use_ratios = true;  // the keys play scale degrees: every key its own bend
    PcKeyboard& pc = play_along.keyboard();
    const std::size_t before = mark();
    // Q row (degrees -12..-1), then A S D F G (0..4).
    std::vector<int> scans;
    for (int scan = 16; scan <= 27; ++scan) scans.push_back(scan);
    for (int scan = 30; scan <= 34; ++scan) scans.push_back(scan);
    for (const int scan : scans) pc.pc_key_event(true, scan, false);

    std::vector<int> channels;
    for (const Sent& n : note_ons_since(before)) channels.push_back(n.channel);
    const std::vector<int> expected{1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 0, 1, 2};
    EXPECT_EQ(channels, expected);
    std::vector<int> stolen;
    for (const Sent& s : of_kind(sent_since(before), 0xB0)) {
        if (s.data1 == 120) stolen.push_back(s.channel);
    }
    EXPECT_EQ(stolen, (std::vector<int>{1, 2}));
    for (const int scan : scans) pc.pc_key_event(false, scan, false);
    EXPECT_FALSE(playback.port().is_open());  // opened for the keys, closed after the last
}

TEST_F(PlayAlongTest, RowsChooseVoicesAndVolumesAndKeysOnlySilenceWhenKeySoundsAreOff) {
    settings.voices_by_keyboard_row = true;
    settings.volumes_by_keyboard_row = true;
    settings.voices_for_pc_keyboard_rows = {0, 1, 2, 3};
    composition.Voices_for_channels[2] = 40;
    composition.Volumes_for_channels[2] = 100;
    PcKeyboard& pc = play_along.keyboard();
    const std::size_t before = mark();
    pc.pc_key_event(true, 30, false);  // A: row 2, voice 2; 63 x (100 x 64 / 127) / 127 = 24.99
    ASSERT_EQ(note_ons_since(before).size(), 1u);
    EXPECT_EQ(note_ons_since(before)[0].data2, 24);
    EXPECT_EQ(pc.slot_of_degree(0).voice, 2);
    EXPECT_TRUE(playback.port().held_only_for(OpenReason::live_notes));

    settings.enable_sel_sound = false;  // any key now silences everything and frees the port
    pc.pc_key_event(true, 31, false);
    const auto sent = sent_since(before);
    EXPECT_EQ(only(sent, &Sent::note_off).size(), 1u);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), Sent{0xB0, 5, 120, 0}), 1);
    EXPECT_EQ(pc.slot_of_degree(0).note, -1);
    EXPECT_FALSE(playback.port().is_open());
}

// A key's voice out of play gives way to the nearest voice in play above it, else below it:
// voice 9 (percussion) to 10; voice 15, with 14 and 15 out of play too, to 13.
TEST_F(PlayAlongTest, AKeyOfAVoiceOutOfPlayTakesTheNearestVoiceInPlayAboveElseBelow) {
    composition.Voices_for_channels[14] = -1;
    composition.Voices_for_channels[15] = -1;
    PcKeyboard& pc = play_along.keyboard();
    for (const auto& [chosen, played] : {std::pair{9, 10}, std::pair{15, 13}}) {
        settings.iChannelForVoiceForPcKeyboard = chosen;
        pc.pc_key_event(true, 30, false);
        EXPECT_EQ(pc.slot_of_degree(0).voice, played) << "voice " << chosen;
        pc.pc_key_event(false, 30, false);
    }
}

// ---------------------------------------------------------------------------------------
// A keyboard mapping

// Nineteen equal steps on twelve keys a period: keys 50..90 retuned, degree 0 on middle C,
// D# left out, A (69) the reference at 440 Hz.
constexpr std::string_view kNineteenOnTwelveKeys = "! nineteen on twelve keys\n"
                                                   "12\n50\n90\n60\n69\n440.0\n19\n"
                                                   "0\n1\n3\nx\n6\n8\n9\n11\n12\n14\n16\n17\n";

void use_mapping(PlayAlong& play_along, std::string_view text) {
    const auto read = tuning::read_keyboard_mapping(text);
    ASSERT_TRUE(std::holds_alternative<tuning::KeyboardMapping>(read));
    play_along.set_keyboard_mapping(std::get<tuning::KeyboardMapping>(read));
}

// Each note-on as {key, the bend last sent on its channel} (8192 before any).
std::vector<std::pair<int, int>> notes_with_bends(const std::vector<Sent>& sent) {
    std::array<int, 16> bends{};
    bends.fill(8192);
    std::vector<std::pair<int, int>> notes;
    for (const Sent& s : sent) {
        if (s.kind == 0xE0) bends[static_cast<std::size_t>(s.channel)] = s.data2 << 7 | s.data1;
        if (s.note_on()) notes.emplace_back(s.data1, bends[static_cast<std::size_t>(s.channel)]);
    }
    return notes;
}

// The reference key sounds at 440 Hz; middle C at degree 0, 14 steps of 19 below it, is
// 60.158 (note 60, bend 8192 + 0.158 x 4096); the octave above and the last key retuned
// (degree 47) follow; the left-out key and keys outside 50..90 sound nothing. The computer
// keyboard's A plays the middle key.
TEST_F(PlayAlongTest, KeysThroughAKeyboardMappingSoundItsDegreesAroundTheReferenceFrequency) {
    set_scale(composition, equal_steps(19));
    use_mapping(play_along, kNineteenOnTwelveKeys);
    playback.port().open();
    for (const int key : {69, 60, 72, 50, 90, 63, 49, 91}) {
        play(0x90, static_cast<std::uint8_t>(key), 100);
        play(0x80, static_cast<std::uint8_t>(key), 0);
    }
    play_along.keyboard().pc_key_event(true, 30, false);
    const std::vector<std::pair<int, int>> expected{{69, 8192}, {60, 8838}, {72, 8838}, {50, 8407}, {90, 7545},
                                                    {60, 8838}};
    EXPECT_EQ(notes_with_bends(sent_since(0)), expected);

    play_along.set_keyboard_mapping(std::nullopt);  // back to the scale positions: 63 plays again
    const std::size_t before = mark();
    play(0x90, 63, 100);
    EXPECT_EQ(note_ons_since(before).size(), 1u);
}

// With a tuning output that tunes each note the tuning output sounds it: no bend goes out,
// and every note ends on the channel and key it started on.
TEST_F(PlayAlongTest, NotesTunedOneByOneSendNoBendAndEndWhatTheyStarted) {
    voice_settings.tuning_output = engine::TuningOutput::mts;
    set_scale(composition, equal_steps(19));
    playback.port().open();
    PcKeyboard& pc = play_along.keyboard();
    for (const bool mapped : {false, true}) {
        if (mapped) use_mapping(play_along, kNineteenOnTwelveKeys);
        const std::size_t before = mark();
        play(0x90, 60, 100);
        play(0x90, 72, 100);
        pc.pc_key_event(true, 31, false);
        play(0x80, 60, 0);
        play(0x80, 72, 0);
        pc.pc_key_event(false, 31, false);
        const auto sent = sent_since(before);
        SCOPED_TRACE(mapped ? "through the mapping" : "through the scale positions");
        EXPECT_TRUE(of_kind(sent, 0xE0).empty());
        std::vector<std::pair<int, int>> started;
        std::vector<std::pair<int, int>> ended;
        for (const Sent& s : note_ons_since(before)) started.emplace_back(s.channel, s.data1);
        for (const Sent& s : only(sent, &Sent::note_off)) ended.emplace_back(s.channel, s.data1);
        EXPECT_EQ(started.size(), 3u);
        std::sort(started.begin(), started.end());
        std::sort(ended.begin(), ended.end());
        EXPECT_EQ(ended, started);
    }
    // The pedal going up ends only what it held, not a tuned note whose key is still down.
    const std::size_t before = mark();
    play(0x90, 60, 100);
    play(0xB0, 64, 127);
    play(0xB0, 64, 0);
    EXPECT_TRUE(only(sent_since(before), &Sent::note_off).empty());
}

// ---------------------------------------------------------------------------------------
// Recording

class RecordingTest : public PlayAlongTest {
protected:
    PlayAlongRecorder& recorder = play_along.recorder();
    std::filesystem::path file() const { return folder / "Play along.mid"; }

    void SetUp() override {
        PlayAlongTest::SetUp();
        settings.enable_play_along_recording = true;
        playback.port().open();
    }
    void record(const std::function<void()>& playing) {
        ASSERT_TRUE(recorder.start("test"));
        ASSERT_TRUE(testing::eventually([&] { return recorder.recording_now(); }));
        playing();
        std::this_thread::sleep_for(520ms);
        recorder.stop();
        recorder.wait();
    }
    static std::vector<SmfEvent> notes(const testing::SmfTrack& track) {
        std::vector<SmfEvent> out;
        for (const auto& e : track.events) {
            if ((e.bytes[0] & 0xE0) == 0x80) out.push_back(e);
        }
        return out;
    }
};

TEST_F(RecordingTest, WhatIsPlayedGoesIntoOneFormatZeroTrackWithoutTheControlNoteOrHeldNoteOffs) {
    settings.nStartRecordingToMidi = 100;
    play(0x90, 100, 100);  // the control note starts the recording
    ASSERT_TRUE(testing::eventually([&] { return recorder.recording_now(); }));
    play(0x80, 100, 0);
    play(0x90, 60, 100);
    play(0x90, 61, 100);
    play(0x80, 61, 0);
    play(0xB0, 64, 127);  // the pedal holds 62 (output 64) past the stop
    play(0x90, 62, 100);
    play(0x80, 62, 0);
    play(0xF8, 0, 0);  // a clock passes through to the output but is not recorded
    std::this_thread::sleep_for(520ms);
    const std::string status = recorder.status_text();
    EXPECT_EQ(status.rfind("Saved: ", 0), 0u);
    EXPECT_EQ(status.find(','), std::string::npos) << status;  // "1.2 kB" under any locale, never "1,2"
    ASSERT_TRUE(recorder.recording_now()) << "the clock ended the recording";
    play(0x90, 100, 100);  // and stops it
    recorder.wait();

    const testing::SmfFile smf_file = testing::read_smf(file());  // whole: one end of track, closing it
    EXPECT_EQ(smf_file.format, 0);
    ASSERT_EQ(smf_file.tracks.size(), 1u);
    const auto& track = smf_file.tracks[0];
    // The reset of every channel comes first: expression 127 on channel 0.
    const auto first_channel_event = std::find_if(track.events.begin(), track.events.end(),
                                                  [](const SmfEvent& e) { return e.bytes[0] < 0xF0; });
    ASSERT_NE(first_channel_event, track.events.end());
    EXPECT_EQ(first_channel_event->bytes, (std::vector<std::uint8_t>{0xB0, 11, 127}));
    const std::vector<std::vector<std::uint8_t>> expected{{0x90, 60, 50}, {0x91, 62, 50}, {0x91, 62, 0}, {0x92, 64, 50}};
    std::vector<std::vector<std::uint8_t>> got;
    for (const auto& e : notes(track)) got.push_back(e.bytes);
    EXPECT_EQ(got, expected);  // no note 100, no note-off for the held 60 and 64
    for (const auto& e : track.events) EXPECT_NE(e.bytes[0] == 0xFF ? e.bytes[1] : 0, 0x59) << "a recording names no key";
    for (const auto& e : track.events) EXPECT_NE(e.bytes[0], 0xF8);
}

// Space pressed and released starts a recording that keeps running (a stop inside half a
// second is ignored) until Space comes again; the next one, appended, continues its track.
TEST_F(RecordingTest, SpaceStartsARecordingThatKeepsRunningAndTheNextIsAppendedToItsTrack) {
    settings.wReplaceOrAppendPlayAlong = 1;
    PcKeyboard& pc = play_along.keyboard();
    pc.pc_key_event(true, kScanSpace, false);
    ASSERT_TRUE(testing::eventually([&] { return recorder.recording_now(); }));
    pc.pc_key_event(false, kScanSpace, false);
    recorder.stop();  // too soon: ignored
    EXPECT_TRUE(recorder.requested());
    play(0x90, 60, 100);
    std::this_thread::sleep_for(520ms);
    pc.pc_key_event(true, kScanSpace, false);
    recorder.wait();
    EXPECT_FALSE(recorder.requested());
    record([&] {
        EXPECT_EQ(recorder.title("New Seed"), "New Seed - continuing to record from end of \"Play along.mid\"");
        play(0x90, 62, 100);
    });
    const testing::SmfFile smf_file = testing::read_smf(file());
    ASSERT_EQ(smf_file.tracks.size(), 1u);
    const auto recorded = notes(smf_file.tracks[0]);
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_EQ(recorded[0].bytes[1], 60);
    EXPECT_EQ(recorded[1].bytes[1], 64);
}

TEST_F(RecordingTest, AnsweringNoToTheOverwriteQuestionLeavesTheOldFileAlone) {
    const std::string old = "not to be lost";
    std::ofstream(file(), std::ios::binary) << old;
    platform::RecordingReporter no(platform::Answer::no);
    PlayAlongRecorder refusing({playback.port(), playback.voices(), clock, no}, settings, smf, folder.path());
    ASSERT_TRUE(refusing.start("test"));
    refusing.wait();
    EXPECT_FALSE(refusing.requested());
    ASSERT_EQ(no.entries().size(), 1u);
    EXPECT_EQ(no.entries()[0].caption, "Record as you play along");
    EXPECT_EQ(no.entries()[0].message, "Overwrite previous version of " + file().string() +
                                           "?\n\nUntick: \"Warn about replacing old version of file\"\n\nfrom \"Record "
                                           "play along\" if you don't want to see this message again.");
    EXPECT_EQ(testing::file_bytes(file()), std::vector<std::uint8_t>(old.begin(), old.end()));
}

TEST_F(RecordingTest, RefusedWhileAFileIsRenderedAndStoppedAtItsSizeLimit) {
    playback.port().begin_render({});
    EXPECT_FALSE(recorder.start("Space bar to start record play along"));
    playback.port().end_render();
    EXPECT_EQ(reporter.entries().back().message, kRecordingSaveRunningMessage);
    EXPECT_EQ(reporter.entries().back().caption, "Space bar to start record play along");

    struct Limit : RecordingListener {
        std::string message;
        void recording_changed() override {}
        void recording_limit_reached(const std::string& m) override { message = m; }
    } listener;
    recorder.set_listener(&listener);
    smf.max_midi_file_size_for_playalong = 0.5;  // 512 bytes: the channel resets and a few notes
    ASSERT_TRUE(recorder.start("test"));
    ASSERT_TRUE(testing::eventually([&] { return recorder.recording_now(); }));
    for (std::uint8_t n = 30; n < 100; ++n) play(0x90, n, 100);
    recorder.wait();  // ends by itself
    EXPECT_EQ(listener.message.rfind("File size for:\n" + file().string() + "\n\n", 0), 0u);
    EXPECT_NE(listener.message.find(" kB\n\nExceeds max set of 0.5 kB.\n\nStopping recording."), std::string::npos);
    EXPECT_EQ(testing::read_smf(file()).tracks.size(), 1u);  // whole, one end of track closing it
}

}  // namespace
}  // namespace corvane::midi
