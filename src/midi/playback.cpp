#include "corvane/midi/playback.h"

#include <algorithm>
#include <cmath>

#include "corvane/tuning/pitch_mapping.h"

namespace corvane::midi {

Playback::Playback(engine::Composition& composition, const engine::PlayerSettings& player_settings,
                   const engine::VoiceSettings& voice_settings, PlaybackMachine machine,
                   engine::PlayerListener* listener)
    : composition_(composition),
      voice_settings_(voice_settings),
      port_(machine.devices, machine.reporter),
      voices_(composition, voice_settings, port_, machine.clock),
      player_(composition, player_settings, voices_, machine.timers, machine.clock, machine.keys, listener) {
    port_.set_observer(this);
}

Playback::~Playback() {
    player_.stop();
    port_.set_observer(nullptr);
}

bool Playback::start() {
    if (port_.device_failed()) port_.close();
    if (!port_.is_open() && port_.open() == OpenResult::failed) return false;
    player_.start();
    return true;
}

std::optional<std::string> Playback::take_device_failure() {
    if (!port_.device_failed()) return std::nullopt;
    const std::string name = port_.device_name();
    port_.close();
    return "The MIDI output device" + (name.empty() ? std::string{} : " \"" + name + "\"") +
           " stopped working, so play has stopped.\n\nPress Play again when it is back, or choose another device "
           "from the Out menu.";
}

void Playback::stop() { player_.stop(); }

void Playback::shift_sounding_notes(double semitones, bool bend_only_if_possible) {
    using platform::kBendCentre;
    constexpr double kStepsPerSemitone = platform::kBendStepsPerSemitone;
    auto group = port_.hold_group();
    for (int c = 0; c < kMidiChannels; ++c) {
        const int note = voices_.sounding_note(c);
        if (c == engine::kPercussionChannel || note < 0 || note > 127) continue;
        const double bend = voices_.bend_of_channel(c) > 0 ? voices_.bend_of_channel(c) : kBendCentre;
        int new_note = note;
        double new_bend = semitones * kStepsPerSemitone + bend;
        const int voice = voices_.voice_of_channel(c);
        const double margin =
            voices_.channel_has_bend_vibrato(c) ? composition_.dVibrato_amp[static_cast<std::size_t>(voice & 15)] : 0.0;
        if (!bend_only_if_possible || new_bend < margin || new_bend >= platform::kBendHighest + 1 - margin) {
            // Beyond the bend's reach (or asked to): the nearest note, bent the rest of the way.
            // The bend is kept unrounded, so later shifts add up exactly.
            const double pitch = note + (bend - kBendCentre) / kStepsPerSemitone + semitones;
            new_note = tuning::split_midi_pitch(pitch).note;
            new_bend = (pitch - new_note) * kStepsPerSemitone + kBendCentre;
        }
        if (port_.is_open()) {
            if (new_note != note) {
                port_.send(platform::note_off(c, note, 127));
                if (voice_settings_.all_sound_off_before_pitch_bends) port_.send(platform::all_sound_off(c));
            }
            port_.send(platform::pitch_bend(c, platform::bend_to_send(new_bend)));
            if (new_note != note && new_note >= 0 && new_note <= 127) {
                port_.send(platform::note_on(c, new_note, voices_.sounding_velocity(c)));
            }
        }
        voices_.set_channel_bend(c, new_bend);
        if (new_note != note) {
            voices_.set_sounding_note(c, new_note);
            voices_.set_shifted_note(c, new_note);
            move_range_with_pitch(c, new_note - note);
        }
    }
}

// Channels whose range follows the pitch move it by the whole semitones of a shift.
void Playback::move_range_with_pitch(int channel, int semitone_change) {
    const auto v = static_cast<std::size_t>(voices_.voice_of_channel(channel) & 15);
    if (!composition_.Sync_to_pitch[v]) return;
    int& low = composition_.Min_notes_for_channels[v];
    int& high = composition_.Max_notes_for_channels[v];
    low = std::clamp(low + semitone_change, 0, 126);
    high = std::clamp(high + semitone_change, 1, 127);
    high = std::max(high, low + 1);
}

// The channel voices are shared with the player's timer thread and MIDI in: each of these
// holds the port's group while it changes them.
void Playback::on_port_opened(bool quietly) {
    auto group = port_.hold_group();
    voices_.start_voices();
    if (quietly) return;
    for (int c = 0; c < kMidiChannels; ++c) voices_.set_channel_bend(c, platform::kBendCentre);
}

void Playback::on_port_closed() {
    auto group = port_.hold_group();
    voices_.reset_voices();
}

void Playback::silence_all() {
    auto group = port_.hold_group();
    voices_.all_notes_off();
    voices_.start_voices();
}

void Playback::end_all_notes() {
    auto group = port_.hold_group();
    voices_.all_notes_off();
}

bool Playback::channel_has_bend_vibrato(int channel) const { return voices_.channel_has_bend_vibrato(channel); }

void Playback::vibrato_fill_step() { voices_.pitch_bend_vibrato_step(); }

}  // namespace corvane::midi
