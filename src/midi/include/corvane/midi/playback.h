#pragma once

#include <optional>
#include <string>

#include "corvane/engine/channel_voices.h"
#include "corvane/engine/composition.h"
#include "corvane/engine/player.h"
#include "corvane/midi/midi_out_port.h"
#include "corvane/platform/clock.h"
#include "corvane/platform/key_state.h"
#include "corvane/platform/midi_output.h"
#include "corvane/platform/reporter.h"
#include "corvane/platform/timer_service.h"

namespace corvane::midi {

// What real-time playback needs from the machine.
struct PlaybackMachine {
    platform::MidiOutputSystem& devices;
    platform::TimerService& timers;
    const platform::Clock& clock;
    const platform::KeyState& keys;
    platform::Reporter& reporter;
};

// The MIDI out port, the channel voices and the player, wired together: the voices send
// through the port, the port resets the voices when it opens or closes.
class Playback final : public PortObserver {
public:
    Playback(engine::Composition& composition, const engine::PlayerSettings& player_settings,
             const engine::VoiceSettings& voice_settings, PlaybackMachine machine,
             engine::PlayerListener* listener = nullptr);
    ~Playback() override;
    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;

    // Opens the port if it is closed (reporting a failure) and starts the player. A port
    // whose device failed is closed and opened again first, so play resumes once it is back.
    bool start();
    void stop();

    // After play stopped, on the thread that owns this: when the output device had failed,
    // closes the port and returns what to tell the user; nothing otherwise.
    std::optional<std::string> take_device_failure();

    // Moves every sounding note by `semitones` (the pitch bar, the MIDI-in pitch wheel): by
    // the bend alone when it reaches and `bend_only_if_possible`, else by a new note with its
    // bend. The group goes out under the port lock so no other message falls between.
    void shift_sounding_notes(double semitones, bool bend_only_if_possible);

    MidiOutPort& port() { return port_; }
    engine::ChannelVoices& voices() { return voices_; }
    engine::Player& player() { return player_; }

    void on_port_opened(bool quietly) override;
    void on_port_closed() override;
    void silence_all() override;
    void end_all_notes() override;
    bool channel_has_bend_vibrato(int channel) const override;
    void vibrato_fill_step() override;

private:
    void move_range_with_pitch(int channel, int semitone_change);

    engine::Composition& composition_;
    const engine::VoiceSettings& voice_settings_;
    MidiOutPort port_;
    engine::ChannelVoices voices_;
    engine::Player player_;
};

}  // namespace corvane::midi
