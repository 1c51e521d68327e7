#include "rtmidi_support.h"

namespace corvane::platform::detail {

void keep_error_text(RtMidiError::Type, const std::string& text, void* user_data) {
    *static_cast<std::string*>(user_data) = text;
}

std::optional<MidiApi> choose_midi_api(MidiApi wanted, std::string& reason) {
    if (wanted == MidiApi::jack) {
        if (jack_server_running()) return MidiApi::jack;
        reason = "No JACK server is running, so there are no JACK MIDI ports.";
        return std::nullopt;
    }
    if (wanted == MidiApi::automatic && jack_server_running()) return MidiApi::jack;
    if (alsa_sequencer_available()) return MidiApi::alsa;
    reason = wanted == MidiApi::alsa
                 ? "The ALSA sequencer cannot be opened (/dev/snd/seq is missing or not accessible)."
                 : "Neither the ALSA sequencer (/dev/snd/seq) nor a JACK server is available.";
    return std::nullopt;
}

}  // namespace corvane::platform::detail
