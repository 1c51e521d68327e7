#include "corvane/platform/rtmidi_input.h"

#include <RtMidi.h>

#include "corvane/platform/short_message.h"
#include "corvane/platform/rtmidi_output.h"
#include "jack_midi_input.h"
#include "rtmidi_support.h"
#include "short_message_delivery.h"

namespace corvane::platform {
namespace {

// An input on the ALSA sequencer. (JACK inputs are our own: see jack_midi_input.h.)
class RtMidiInput final : public MidiInput {
public:
    RtMidiInput(const std::string& client_name, MidiInputReceiver& receiver)
        : delivery_(receiver), in_(std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, client_name)) {
        in_->setErrorCallback(detail::keep_error_text, &last_error_);
        in_->setCallback(&RtMidiInput::arrived, this);
        // MIDI clock, time code and active sensing pass through to the output like any other
        // system message; system exclusive, of any length, is no short message.
        in_->ignoreTypes(true, false, false);
    }
    ~RtMidiInput() override {
        try {
            in_->cancelCallback();
            in_->closePort();
        } catch (const RtMidiError&) {
            // Closing is best effort: the port goes with the object anyway.
        }
    }
    RtMidiInput(const RtMidiInput&) = delete;
    RtMidiInput& operator=(const RtMidiInput&) = delete;

    unsigned int port_count() { return in_->getPortCount(); }

    // Opens our virtual port (device 0) or the machine's port device - 1; false with the
    // reason in `error` when it did not open.
    bool open(int device, const MidiClientOptions& options, std::string& error) {
        // A virtual port does not count as open to RtMidi: only an error tells it failed.
        const bool is_virtual = device == kVirtualPortDevice;
        if (is_virtual) {
            in_->openVirtualPort(options.input_port_name);
        } else {
            in_->openPort(static_cast<unsigned int>(device - 1), options.input_port_name);
        }
        if ((is_virtual || in_->isPortOpen()) && last_error_.empty()) return true;
        error = last_error_.empty() ? "Could not connect to the MIDI input." : last_error_;
        return false;
    }

private:
    // The MIDI system's thread.
    static void arrived(double, std::vector<unsigned char>* message, void* self) {
        if (message == nullptr) return;
        if (const auto m = packed_short_message(*message)) static_cast<RtMidiInput*>(self)->delivery_.push(*m);
    }

    std::string last_error_;
    detail::ShortMessageDelivery delivery_;
    // Made after what its thread uses (the MIDI system's thread starts with it).
    std::unique_ptr<RtMidiIn> in_;
};

std::string device_error(int device, std::size_t count, MidiApi api) {
    return "MIDI input device " + std::to_string(device) + " does not exist; there are " + std::to_string(count + 1) +
           " " + std::string(midi_api_display_name(api)) + " inputs, numbered 0 to " + std::to_string(count) + ".";
}

}  // namespace

RtMidiInputSystem::RtMidiInputSystem(MidiClient& client) : client_(client) {}

// The ports of other programs that give MIDI; ours are left out.
std::vector<std::string> RtMidiInputSystem::port_names() {
    if (client_.api() == MidiApi::jack) return client_.jack().other_ports(JackPortIsOutput);
    std::vector<std::string> names;
    try {
        RtMidiIn in(RtMidi::LINUX_ALSA, client_.options().client_name);
        const unsigned int count = in.getPortCount();
        for (unsigned int port = 0; port < count; ++port) names.push_back(in.getPortName(port));
    } catch (const RtMidiError&) {
        // The ports went away between the probe and the listing.
    }
    return names;
}

std::vector<std::string> RtMidiInputSystem::input_names() {
    if (!client_.api()) return {};
    std::vector<std::string> names{client_.input_listing()};
    for (auto& name : port_names()) names.push_back(std::move(name));
    return names;
}

std::unique_ptr<MidiInput> RtMidiInputSystem::open_input(int device, MidiInputReceiver& receiver, std::string& error) {
    const auto api = client_.api();
    if (!api) {
        error = client_.unavailable_reason();
        return nullptr;
    }
    const auto& options = client_.options();
    if (api == MidiApi::jack) {
        const auto names = port_names();
        if (device < 0 || device > static_cast<int>(names.size())) {
            error = device_error(device, names.size(), MidiApi::jack);
            return nullptr;
        }
        const std::string source = device == kVirtualPortDevice ? "" : names[static_cast<std::size_t>(device - 1)];
        return detail::open_jack_input(client_.jack(), options.input_port_name, source, receiver, error);
    }
    try {
        auto input = std::make_unique<RtMidiInput>(options.client_name, receiver);
        const unsigned int count = input->port_count();
        if (device < 0 || device > static_cast<int>(count)) {
            error = device_error(device, count, MidiApi::alsa);
            return nullptr;
        }
        if (input->open(device, options, error)) return input;
    } catch (const RtMidiError& e) {
        error = "Could not open the MIDI input: " + e.getMessage();
    }
    return nullptr;
}

}  // namespace corvane::platform
