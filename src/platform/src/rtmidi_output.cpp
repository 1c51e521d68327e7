#include "corvane/platform/rtmidi_output.h"

#include <RtMidi.h>
#include <alsa/asoundlib.h>
#include <jack/jack.h>

#include "corvane/platform/short_message.h"
#include "jack_midi_output.h"
#include "quiet_libraries.h"
#include "rtmidi_support.h"

namespace corvane::platform {
namespace {

// An output on the ALSA sequencer. (JACK outputs are our own: see jack_midi_output.h.)
class RtMidiOutput final : public MidiOutput {
public:
    explicit RtMidiOutput(std::unique_ptr<RtMidiOut> out) : out_(std::move(out)) {
        out_->setErrorCallback(detail::keep_error_text, &last_error_);
    }
    ~RtMidiOutput() override {
        try {
            out_->closePort();
        } catch (const RtMidiError&) {
            // Closing is best effort: the port goes with the object anyway.
        }
    }
    RtMidiOutput(const RtMidiOutput&) = delete;
    RtMidiOutput& operator=(const RtMidiOutput&) = delete;

    int send_short(std::uint32_t message) noexcept override {
        const auto bytes = short_message_bytes(message);
        if (!bytes) return kSendInvalidMessage;
        last_error_.clear();
        try {
            out_->sendMessage(bytes->bytes.data(), bytes->size);
        } catch (const RtMidiError&) {
            return kSendDeviceError;
        }
        return last_error_.empty() ? kSendOk : kSendDeviceError;
    }

private:
    std::unique_ptr<RtMidiOut> out_;
    std::string last_error_;
};

std::string virtual_port_listing(const RtMidiOptions& options) { return options.virtual_port_name + " (virtual port)"; }

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

bool jack_server_running() {
    const detail::QuietJack quiet;
    jack_status_t status{};
    jack_client_t* client = jack_client_open("Corvane probe", JackNoStartServer, &status);
    if (client == nullptr) return false;
    jack_client_close(client);
    return true;
}

RtMidiOutputSystem::RtMidiOutputSystem(RtMidiOptions options) : options_(std::move(options)) {
    api_ = detail::choose_midi_api(options_.api, unavailable_reason_);
}

std::vector<std::string> RtMidiOutputSystem::output_names() {
    if (!api_) return {};
    std::vector<std::string> names{virtual_port_listing(options_)};
    try {
        RtMidiOut out(detail::rtmidi_api(*api_), options_.client_name);
        const unsigned int count = out.getPortCount();
        for (unsigned int port = 0; port < count; ++port) names.push_back(out.getPortName(port));
    } catch (const RtMidiError&) {
        // The ports went away between the probe and the listing: only our own port is left.
    }
    return names;
}

std::unique_ptr<MidiOutput> RtMidiOutputSystem::open_output(int device, std::string& error) {
    if (!api_) {
        error = unavailable_reason_;
        return nullptr;
    }
    if (device < 0) {
        error = "MIDI output device " + std::to_string(device) + " does not exist; the " +
                std::string(midi_api_display_name(*api_)) + " outputs are numbered from 0.";
        return nullptr;
    }
    if (device == kVirtualPortDevice) return open_virtual_port(error);
    return open_port(static_cast<unsigned int>(device - 1), error);
}

std::unique_ptr<MidiOutput> RtMidiOutputSystem::open_virtual_port(std::string& error) {
    if (api_ == MidiApi::jack) {
        return detail::open_jack_output(options_.client_name, options_.virtual_port_name, "", error);
    }
    try {
        auto out = std::make_unique<RtMidiOut>(detail::rtmidi_api(*api_), options_.client_name);
        out->openVirtualPort(options_.virtual_port_name);
        return std::make_unique<RtMidiOutput>(std::move(out));
    } catch (const RtMidiError& e) {
        error = "Could not make the virtual MIDI output port \"" + options_.virtual_port_name + "\": " + e.getMessage();
    }
    return nullptr;
}

std::unique_ptr<MidiOutput> RtMidiOutputSystem::open_port(unsigned int port, std::string& error) {
    try {
        auto out = std::make_unique<RtMidiOut>(detail::rtmidi_api(*api_), options_.client_name);
        const unsigned int count = out->getPortCount();
        if (port >= count) {
            error = "MIDI output device " + std::to_string(port + 1) + " does not exist; there are " +
                    std::to_string(count + 1) + " " + std::string(midi_api_display_name(*api_)) +
                    " outputs, numbered 0 to " + std::to_string(count) + ".";
            return nullptr;
        }
        const std::string name = out->getPortName(port);
        if (api_ == MidiApi::jack) {
            out.reset();  // only the listing was wanted from it
            return detail::open_jack_output(options_.client_name, options_.client_name, name, error);
        }
        out->openPort(port, options_.client_name);
        if (!out->isPortOpen()) {
            error = "Could not connect to the MIDI output \"" + name + "\".";
            return nullptr;
        }
        return std::make_unique<RtMidiOutput>(std::move(out));
    } catch (const RtMidiError& e) {
        error = "Could not open the MIDI output: " + e.getMessage();
    }
    return nullptr;
}

}  // namespace corvane::platform
