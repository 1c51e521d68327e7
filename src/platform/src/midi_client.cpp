#include "corvane/platform/midi_client.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>

#include "alsa_client.h"
#include "jack_client.h"
#include "quiet_libraries.h"

namespace corvane::platform {
namespace {

// The MIDI system to use for `wanted`, or none with the reason in `reason`.
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

}  // namespace

std::optional<MidiApi> midi_api_from_name(std::string_view name) {
    if (name == "auto") return MidiApi::automatic;
    if (name == "alsa") return MidiApi::alsa;
    if (name == "jack") return MidiApi::jack;
    return std::nullopt;
}

std::string_view midi_api_display_name(MidiApi api) {
    switch (api) {
        case MidiApi::alsa: return "ALSA sequencer";
        case MidiApi::jack: return "JACK";
        case MidiApi::automatic: break;
    }
    return "automatic";
}

bool alsa_sequencer_available() {
    const detail::QuietAlsa quiet;
    snd_seq_t* sequencer = nullptr;
    if (snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) return false;
    snd_seq_close(sequencer);
    return true;
}

bool jack_server_running() { return jack_cycle().has_value(); }

std::optional<JackCycle> jack_cycle() {
    const detail::QuietJack quiet;
    jack_status_t status{};
    jack_client_t* client = jack_client_open("Corvane probe", JackNoStartServer, &status);
    if (client == nullptr) return std::nullopt;
    const JackCycle cycle{jack_get_sample_rate(client), jack_get_buffer_size(client)};
    jack_client_close(client);
    return cycle;
}

MidiClient::MidiClient(MidiClientOptions options)
    : options_(std::move(options)),
      jack_(std::make_unique<detail::JackClient>(options_.client_name)),
      alsa_(std::make_unique<detail::AlsaClient>(options_.client_name)) {
    api_ = choose_midi_api(options_.api, unavailable_reason_);
}

MidiClient::~MidiClient() = default;

std::string MidiClient::output_listing() const {
    return options_.client_name + ":" + options_.output_port_name + " (virtual port)";
}

std::string MidiClient::input_listing() const {
    return options_.client_name + ":" + options_.input_port_name + " (virtual port)";
}

}  // namespace corvane::platform
