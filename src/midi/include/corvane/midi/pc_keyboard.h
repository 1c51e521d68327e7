#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "corvane/engine/composition.h"
#include "corvane/engine/degree_mapping.h"
#include "corvane/midi/play_along_recorder.h"
#include "corvane/midi/play_along_settings.h"
#include "corvane/midi/playback.h"
#include "corvane/tuning/keyboard_mapping.h"
#include "corvane/tuning/step_list.h"

namespace corvane::midi {

// Scan codes of the PC set (the standard 101/102-key layout) that the keyboard treats
// specially.
inline constexpr int kScanBackspace = 14;
inline constexpr int kScanTab = 15;
inline constexpr int kScanEnter = 28;
inline constexpr int kScanCtrl = 29;
inline constexpr int kScanLeftOfOne = 41;
inline constexpr int kScanLeftShift = 42;
inline constexpr int kScanSpace = 57;
inline constexpr int kLastNoteScan = 53;

inline constexpr int kKeySlots = 50;
// What the keys play, as the key numbers and degrees below have it.
inline constexpr std::string_view kPcKeysHelp =
    "To play along, use the p.c. keys: A, S, D,... play degree 0 of the arpeggio (the note the tune starts from) "
    "and upwards, going on with Z, X, C,...; Q, W, E,... play the 12 degrees below 0 and 1, 2, 3,... the 12 "
    "below those. Tab silences every note.";
inline constexpr std::string_view kPcKeysHelpWithLeftKey =
    "To play along, use the p.c. keys: A, S, D,... play degree 0 of the arpeggio (the note the tune starts from) "
    "and upwards, going on with Z, X, C,...; Q, W, E,... play the 12 degrees below 0, 1, 2, 3,... the 12 below "
    "those and the key to the left of 1 one lower still. Tab silences every note.";

// The key number of a scan code: the digit row gives 0..11, Q.. 12..23, A.. 24..34, the row
// below 35..45. None for the keys that play no note. With `key_1_for_degree_1` the key to the
// left of "1" is key 0 and every other key moves up by one.
std::optional<int> pc_key_number(int scan_code, bool key_1_for_degree_1);

// The degree a key number plays: the A row starts at degree 0.
int pc_key_degree(int key_number, bool key_1_for_degree_1);

std::string_view pc_keys_help(bool key_1_for_degree_1);

// A note played from the keyboard, for the score window.
struct KeyNote {
    double midi_pitch = 0;
    int degree = 0;
    int voice = 0;
};

class KeyNoteListener {
public:
    virtual ~KeyNoteListener() = default;
    virtual void key_note(const KeyNote& note) = 0;
};

// Plays the computer keyboard: each key a degree of the arpeggio in the current scale, on a
// free MIDI channel (never 9) so that keys needing different bends do not disturb each other.
// Tab silences everything, Space starts and stops a play-along recording. Key events come on
// the user interface's thread.
class PcKeyboard {
public:
    PcKeyboard(Playback& playback, engine::Composition& composition, const PlayAlongSettings& settings,
               PlayAlongRecorder& recorder, const platform::Clock& clock);

    void set_listener(KeyNoteListener* listener) { listener_ = listener; }
    // The main window's volume bar, 0..127.
    void set_main_volume(int volume) { main_volume_ = volume; }
    // Keys then play through the mapping: the A key its middle key, the others as far from it
    // as their degrees. None: the degrees of the arpeggio again.
    void set_keyboard_mapping(std::optional<tuning::KeyboardMapping> mapping) {
        keyboard_mapping_ = std::move(mapping);
    }

    // pc_key_event: a key went down or up.
    void pc_key_event(bool down, int scan_code, bool auto_repeat);

    struct Slot {
        int channel = -1;
        int voice = -1;
        int note = -1;
        double hold = 0.0;
        engine::SoundingNote tuned{};  // set when the tuning output tuned the note itself
    };
    const Slot& slot_of_degree(int degree) const { return slots_[slot_index(degree)]; }

private:
    static std::size_t slot_index(int degree);
    void silence();
    void press(int degree, int row);
    std::optional<engine::ValuePitch> pitch_of_key(int degree);
    void release(int degree);
    int voice_for_row(int row) const;
    int velocity_for(int voice, int row) const;
    int voice_in_play_from(int voice) const;
    int choose_channel(int voice, int bend);
    std::optional<int> free_channel_in(int from, int to, int voice, int bend) const;
    int steal_channel();
    bool same_effects(int channel, int voice) const;
    void end_live_hold_if_idle();

    Playback& playback_;
    engine::Composition& composition_;
    const PlayAlongSettings& settings_;
    PlayAlongRecorder& recorder_;
    const platform::Clock& clock_;
    KeyNoteListener* listener_ = nullptr;
    int main_volume_ = 64;

    std::array<Slot, kKeySlots> slots_{};
    std::array<int, kMidiChannels> stamps_{};
    int stamp_counter_ = 0;
    tuning::ModeVoices mode_voices_{};
    std::optional<tuning::KeyboardMapping> keyboard_mapping_;
};

}  // namespace corvane::midi
