#include "corvane/midi/playback.h"

namespace corvane::midi {

Playback::Playback(engine::Composition& composition, const engine::PlayerSettings& player_settings,
                   const engine::VoiceSettings& voice_settings, PlaybackMachine machine,
                   engine::PlayerListener* listener)
    : port_(machine.devices, machine.reporter),
      voices_(composition, voice_settings, port_, machine.clock),
      player_(composition, player_settings, voices_, machine.timers, machine.clock, machine.keys, listener) {
    port_.set_observer(this);
}

Playback::~Playback() {
    player_.stop();
    port_.set_observer(nullptr);
}

bool Playback::start() {
    if (!port_.is_open() && port_.open() == OpenResult::failed) return false;
    player_.start();
    return true;
}

void Playback::stop() { player_.stop(); }

void Playback::on_port_opened(bool quietly) {
    voices_.start_voices();
    if (quietly) return;
    for (int c = 0; c < kMidiChannels; ++c) voices_.set_channel_bend(c, 8192.0);
}

void Playback::on_port_closed() { voices_.reset_voices(); }

void Playback::silence_all() {
    voices_.all_notes_off();
    voices_.start_voices();
}

bool Playback::channel_has_bend_vibrato(int channel) const { return voices_.channel_has_bend_vibrato(channel); }

void Playback::vibrato_fill_step(double elapsed) { voices_.pitch_bend_vibrato_step(elapsed); }

}  // namespace corvane::midi
