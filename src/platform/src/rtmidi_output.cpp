#include "corvane/platform/rtmidi_output.h"

#include <RtMidi.h>
#include <jack/jack.h>

#include "corvane/platform/short_message.h"
#include "jack_midi_output.h"
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

std::string device_error(unsigned int port, std::size_t count, MidiApi api) {
    return "MIDI output device " + std::to_string(port + 1) + " does not exist; there are " +
           std::to_string(count + 1) + " " + std::string(midi_api_display_name(api)) + " outputs, numbered 0 to " +
           std::to_string(count) + ".";
}

}  // namespace

RtMidiOutputSystem::RtMidiOutputSystem(MidiClient& client) : client_(client) {}

// The ports of other programs that take MIDI; ours are left out.
std::vector<std::string> RtMidiOutputSystem::port_names() {
    if (client_.api() == MidiApi::jack) return client_.jack().other_ports(JackPortIsInput);
    std::vector<std::string> names;
    try {
        RtMidiOut out(RtMidi::LINUX_ALSA, client_.options().client_name);
        const unsigned int count = out.getPortCount();
        for (unsigned int port = 0; port < count; ++port) names.push_back(out.getPortName(port));
    } catch (const RtMidiError&) {
        // The ports went away between the probe and the listing.
    }
    return names;
}

std::vector<std::string> RtMidiOutputSystem::output_names() {
    if (!client_.api()) return {};
    std::vector<std::string> names{client_.output_listing()};
    for (auto& name : port_names()) names.push_back(std::move(name));
    return names;
}

std::unique_ptr<MidiOutput> RtMidiOutputSystem::open_output(int device, std::string& error) {
    const auto api = client_.api();
    if (!api) {
        error = client_.unavailable_reason();
        return nullptr;
    }
    if (device < 0) {
        error = "MIDI output device " + std::to_string(device) + " does not exist; the " +
                std::string(midi_api_display_name(*api)) + " outputs are numbered from 0.";
        return nullptr;
    }
    if (device == kVirtualPortDevice) return open_virtual_port(error);
    return open_port(static_cast<unsigned int>(device - 1), error);
}

std::unique_ptr<MidiOutput> RtMidiOutputSystem::open_virtual_port(std::string& error) {
    const auto& options = client_.options();
    if (client_.api() == MidiApi::jack) {
        return detail::open_jack_output(client_.jack(), options.output_port_name, "", error);
    }
    try {
        auto out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, options.client_name);
        out->openVirtualPort(options.output_port_name);
        return std::make_unique<RtMidiOutput>(std::move(out));
    } catch (const RtMidiError& e) {
        error = "Could not make the virtual MIDI output port \"" + options.output_port_name + "\": " + e.getMessage();
    }
    return nullptr;
}

std::unique_ptr<MidiOutput> RtMidiOutputSystem::open_port(unsigned int port, std::string& error) {
    const auto& options = client_.options();
    if (client_.api() == MidiApi::jack) {
        const auto names = port_names();
        if (port >= names.size()) {
            error = device_error(port, names.size(), MidiApi::jack);
            return nullptr;
        }
        return detail::open_jack_output(client_.jack(), options.output_port_name, names[port], error);
    }
    try {
        auto out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, options.client_name);
        const unsigned int count = out->getPortCount();
        if (port >= count) {
            error = device_error(port, count, MidiApi::alsa);
            return nullptr;
        }
        const std::string name = out->getPortName(port);
        out->openPort(port, options.output_port_name);
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
