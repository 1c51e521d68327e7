#include "corvane/platform/midi_port_output.h"

#include "alsa_midi_ports.h"
#include "jack_midi_output.h"

namespace corvane::platform {
namespace {

std::string device_error(std::size_t port, std::size_t count, MidiApi api) {
    return "MIDI output device " + std::to_string(port + 1) + " does not exist; there are " +
           std::to_string(count + 1) + " " + std::string(midi_api_display_name(api)) + " outputs, numbered 0 to " +
           std::to_string(count) + ".";
}

}  // namespace

MidiPortOutputSystem::MidiPortOutputSystem(MidiClient& client) : client_(client) {}

// The ports of other programs that take MIDI; ours are left out.
std::vector<std::string> MidiPortOutputSystem::port_names() {
    if (client_.api() == MidiApi::jack) return client_.jack().other_ports(JackPortIsInput);
    std::vector<std::string> names;
    for (auto& port : client_.alsa().other_ports(detail::kAlsaDestination)) names.push_back(std::move(port.name));
    return names;
}

std::vector<std::string> MidiPortOutputSystem::output_names() {
    if (!client_.api()) return {};
    std::vector<std::string> names{client_.output_listing()};
    for (auto& name : port_names()) names.push_back(std::move(name));
    return names;
}

std::unique_ptr<MidiOutput> MidiPortOutputSystem::open_output(int device, std::string& error) {
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
    return open_port(static_cast<std::size_t>(device - 1), error);
}

std::unique_ptr<MidiOutput> MidiPortOutputSystem::open_virtual_port(std::string& error) {
    const std::string& name = client_.options().output_port_name;
    if (client_.api() == MidiApi::jack) return detail::open_jack_output(client_.jack(), name, "", error);
    return detail::open_alsa_output(client_.alsa(), name, std::nullopt, error);
}

std::unique_ptr<MidiOutput> MidiPortOutputSystem::open_port(std::size_t port, std::string& error) {
    const std::string& name = client_.options().output_port_name;
    if (client_.api() == MidiApi::jack) {
        const auto destinations = client_.jack().other_ports(JackPortIsInput);
        if (port >= destinations.size()) {
            error = device_error(port, destinations.size(), MidiApi::jack);
            return nullptr;
        }
        return detail::open_jack_output(client_.jack(), name, destinations[port], error);
    }
    const auto destinations = client_.alsa().other_ports(detail::kAlsaDestination);
    if (port >= destinations.size()) {
        error = device_error(port, destinations.size(), MidiApi::alsa);
        return nullptr;
    }
    return detail::open_alsa_output(client_.alsa(), name, destinations[port], error);
}

}  // namespace corvane::platform
