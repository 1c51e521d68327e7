#include "corvane/platform/midi_port_input.h"

#include "alsa_midi_ports.h"
#include "corvane/platform/midi_port_output.h"
#include "jack_midi_input.h"

namespace corvane::platform {
namespace {

std::string device_error(int device, std::size_t count, MidiApi api) {
    return "MIDI input device " + std::to_string(device) + " does not exist; there are " + std::to_string(count + 1) +
           " " + std::string(midi_api_display_name(api)) + " inputs, numbered 0 to " + std::to_string(count) + ".";
}

}  // namespace

MidiPortInputSystem::MidiPortInputSystem(MidiClient& client) : client_(client) {}

// The ports of other programs that give MIDI; ours are left out.
std::vector<std::string> MidiPortInputSystem::port_names() {
    if (client_.api() == MidiApi::jack) return client_.jack().other_ports(JackPortIsOutput);
    std::vector<std::string> names;
    for (auto& port : client_.alsa().other_ports(detail::kAlsaSource)) names.push_back(std::move(port.name));
    return names;
}

std::vector<std::string> MidiPortInputSystem::input_names() {
    if (!client_.api()) return {};
    std::vector<std::string> names{client_.input_listing()};
    for (auto& name : port_names()) names.push_back(std::move(name));
    return names;
}

std::unique_ptr<MidiInput> MidiPortInputSystem::open_input(int device, MidiInputReceiver& receiver, std::string& error) {
    const auto api = client_.api();
    if (!api) {
        error = client_.unavailable_reason();
        return nullptr;
    }
    const std::string& name = client_.options().input_port_name;
    const bool is_virtual = device == kVirtualPortDevice;
    const auto source = static_cast<std::size_t>(is_virtual ? 0 : device - 1);
    if (api == MidiApi::jack) {
        const auto sources = client_.jack().other_ports(JackPortIsOutput);
        if (device < 0 || device > static_cast<int>(sources.size())) {
            error = device_error(device, sources.size(), MidiApi::jack);
            return nullptr;
        }
        return detail::open_jack_input(client_.jack(), name, is_virtual ? "" : sources[source], receiver, error);
    }
    const auto sources = client_.alsa().other_ports(detail::kAlsaSource);
    if (device < 0 || device > static_cast<int>(sources.size())) {
        error = device_error(device, sources.size(), MidiApi::alsa);
        return nullptr;
    }
    return detail::open_alsa_input(client_.alsa(), name,
                                   is_virtual ? std::nullopt : std::optional<detail::AlsaPortAddress>(sources[source]),
                                   receiver, error);
}

}  // namespace corvane::platform
