#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

#include "corvane/engine/composition.h"
#include "corvane/engine/degree_mapping.h"
#include "corvane/midi/midi_in_port.h"
#include "corvane/midi/play_along_recorder.h"
#include "corvane/midi/play_along_settings.h"
#include "corvane/midi/playback.h"
#include "corvane/platform/clock.h"
#include "corvane/tuning/keyboard_mapping.h"
#include "corvane/tuning/step_list.h"

namespace corvane::midi {

// The New Seed window's buttons that control notes press.
enum class SeedButton { end_seed, clear, apply, play };

// A note played from MIDI in, for the status line and the score.
struct MidiInNote {
    int input_note = 0;
    int voice = 0;
    int channel = 0;
    int note = 0;      // MIDI note sent
    int bend = platform::kBendCentre;  // pitch bend sent before it
    double midi_pitch = 0;  // unrounded
    int velocity = 0;
};

// What MIDI in tells the rest of the program. Called on the driver's thread: a user
// interface posts to its own thread, and nothing here may block for long.
class MidiInListener {
public:
    virtual ~MidiInListener() = default;
    virtual void note_played(const MidiInNote&) {}
    // The pitch wheel retuned the composition (Frequency_of_lowest_note): it needs saving
    // and concert pitch is no longer in use.
    virtual void tuning_changed() {}
    virtual void seed_button(SeedButton, bool /*pressed*/) {}
    virtual void record_button(bool /*pressed*/) {}
    virtual void active_sensing() {}
    // Asked before a note on is played: true when an editor took the note for itself
    // (the note assignments editor capturing), and then it is not played.
    virtual bool capture_note(int /*note*/) { return false; }
};

// Plays what arrives from MIDI in: notes re-pitched through the scale and arpeggio on the
// composition's voices, the pedal, modulation and volume of the play-along voice, the pitch
// wheel retuning the composition, control notes, and everything else passed through. All
// sounds go through the MIDI out port, whose lock is held for each message's work.
class MidiInPlay final : public MidiInHandler {
public:
    MidiInPlay(Playback& playback, engine::Composition& composition, PlayAlongSettings& settings,
               PlayAlongRecorder& recorder, const platform::Clock& clock);

    void set_listener(MidiInListener* listener) { listener_ = listener; }
    // The MIDI in volume bar, 0..127.
    void set_volume(int volume) { volume_.store(volume); }
    // set_high_priority_for_crv: at 3 and 5 the driver's thread runs at time-critical priority.
    void set_priority_level(int level) { priority_level_.store(level); }
    // Keys then play through the mapping instead of the note assignments; none: the
    // assignments again. The mapping comes read: no file is touched on the driver's thread.
    void set_keyboard_mapping(std::optional<tuning::KeyboardMapping> mapping);

    void on_short_message(std::uint32_t message) override;  // midi_in_callback
    void on_input_opened() override;

    // The channel that controllers and pass-through go to, and the voice that the
    // modulation and volume controllers change.
    int play_along_channel() const { return play_along_channel_; }
    int play_along_voice() const { return play_along_voice_; }
    std::int64_t last_event_ms() const { return last_event_ms_.load(); }
    bool pedal_down() const { return sustain_pedal_down_; }

    // The scale position an input note plays when it has no fixed assignment.
    int scale_position(int note) const;

private:
    struct Sounding {
        bool on = false;
        int voice = 0;
        int channel = 0;
        int note = 0;
        int velocity = 0;
        bool held_by_pedal = false;
        engine::SoundingNote tuned{};  // set when the tuning output tuned the note itself
    };

    // The options a message is handled by, read once under the port lock: the MIDI In
    // options window changes them under it.
    struct Options {
        bool channel_on = true;
        bool ignore_pitch_bends = false;
        bool open_out_on_event = true;
        int use = 0;
        bool recording_enabled = false;
        int record_note = -1;
        int end_seed = -1;
        int clear_seed = -1;
        int apply_seed = -1;
        int play_seed = -1;
    };

    Options options_for(std::uint8_t status) const;
    void follow_priority_level();
    void handle(std::uint8_t status, std::uint8_t data1, std::uint8_t data2, const Options& options);
    void open_output_for_note(const Options& options);
    bool control_note(int note, bool pressed, const Options& options);
    void note_on(int note, int velocity);
    [[nodiscard]] bool sound_pitch(int note, int voice, int velocity, const engine::ValuePitch& pitch,
                                   MidiInNote& played);
    void note_off(int note, int off_velocity);
    void release(int note, int off_velocity);
    bool output_note_shared(int note) const;
    void control_change(int controller, int value);
    void release_pedal();
    void pitch_wheel(int value);
    void pass_through(std::uint8_t kind, std::uint8_t data1, std::uint8_t data2, std::uint8_t length);
    int velocity_for(int voice, int input_velocity) const;

    Playback& playback_;
    engine::Composition& composition_;
    PlayAlongSettings& settings_;
    PlayAlongRecorder& recorder_;
    const platform::Clock& clock_;
    MidiInListener* listener_ = nullptr;

    std::atomic<int> volume_{64};
    std::atomic<int> priority_level_{1};
    std::optional<bool> thread_time_critical_;  // as last set on the driver's thread
    std::atomic<std::int64_t> last_event_ms_{0};
    platform::DueTime arrival_{};  // of the message being handled: what it sends is meant for then
    bool sustain_pedal_down_ = false;
    int last_pitch_wheel_ = platform::kBendCentre;
    int play_along_voice_ = 0;
    int play_along_channel_ = 0;
    bool saved_sas_mouse_activated_ = true;
    tuning::ModeVoices mode_voices_{};
    std::optional<tuning::KeyboardMapping> keyboard_mapping_;  // changed under the port lock
    std::array<Sounding, kMidiInNotes> sounding_{};
};

}  // namespace corvane::midi
