#include "device_commands.h"

#include <filesystem>
#include <iostream>
#include <memory>

#include "cli_support.h"
#include "composition_options.h"
#include "corvane/midi/output_latency.h"
#include "corvane/platform/combined_output.h"
#include "corvane/platform/midi_port_input.h"

namespace corvane::cli {
namespace {

using nlohmann::json;
using platform::kBuiltInSynthDevice;
using platform::kVirtualPortDevice;

struct ListedDevice {
    int number = 0;
    std::string name;
    std::string kind;
};

std::string kind_of(int device) {
    if (device == kBuiltInSynthDevice) return "built-in synthesizer";
    if (device == kVirtualPortDevice) return "virtual port";
    return "MIDI output";
}

struct DevicesCommand {
    std::string api_name = "auto";
    std::string soundfont = std::string(platform::kDefaultSoundfont);
    bool as_json = false;
    std::vector<std::string> inputs_;  // names of the input devices, from 0
    int latency_periods_ = 0;
    std::optional<platform::JackCycle> jack_cycle_;

    void run() {
        platform::SynthOptions synth;
        synth.soundfont = soundfont;
        platform::MidiClient midi_client(platform::MidiClientOptions{.api = *platform::midi_api_from_name(api_name)});
        platform::CombinedOutputSystem devices(midi_client, synth);
        platform::MidiPortInputSystem inputs(midi_client);
        inputs_ = inputs.input_names();
        CompositionOptions configured;
        configured.configuration = ConfigurationUse::start_up;
        latency_periods_ = configured.start(terminal_reporter()).settings.output_latency_periods;
        jack_cycle_ = platform::jack_cycle();

        std::vector<ListedDevice> listed{{kBuiltInSynthDevice, devices.built_in_name(), kind_of(kBuiltInSynthDevice)}};
        const auto names = devices.output_names();
        for (std::size_t i = 0; i < names.size(); ++i) {
            const int number = static_cast<int>(i);
            listed.push_back({number, names[i], kind_of(number)});
        }
        const bool soundfont_found = std::filesystem::exists(soundfont);
        if (as_json) {
            print_as_json(listed, devices, soundfont_found);
        } else {
            print_as_text(listed, devices, soundfont_found);
        }
    }

    void print_as_text(const std::vector<ListedDevice>& listed, const platform::CombinedOutputSystem& devices,
                       bool soundfont_found) const {
        std::cout << "Output devices, numbered as in the Out menu:\n";
        for (const auto& device : listed) {
            std::cout << (device.number < 0 ? "  " : "   ") << device.number << "  " << device.name;
            if (device.number == kBuiltInSynthDevice) {
                std::cout << ", soundfont " << soundfont << (soundfont_found ? "" : " (not found)");
            }
            std::cout << '\n';
        }
        if (const auto api = devices.midi().api()) {
            std::cout << "MIDI system: " << platform::midi_api_display_name(*api) << '\n';
        } else {
            std::cout << "No MIDI output devices found. " << devices.midi().unavailable_reason() << '\n';
        }
        std::cout << "Output latency: " << midi::output_latency_text(latency_periods_, jack_cycle_)
                  << "; set by output_latency_periods in Corvane.ini, or --latency on play\n";
        if (inputs_.empty()) {
            std::cout << "No MIDI input devices found.\n";
            return;
        }
        std::cout << "Input devices, numbered as in the In menu:\n";
        for (std::size_t i = 0; i < inputs_.size(); ++i) std::cout << "   " << i << "  " << inputs_[i] << '\n';
    }

    void print_as_json(const std::vector<ListedDevice>& listed, const platform::CombinedOutputSystem& devices,
                       bool soundfont_found) const {
        json rows = json::array();
        for (const auto& device : listed) {
            json row{{"device", device.number}, {"name", device.name}, {"kind", device.kind}};
            if (device.number == kBuiltInSynthDevice) {
                row["soundfont"] = soundfont;
                row["soundfont_found"] = soundfont_found;
            }
            rows.push_back(row);
        }
        json inputs = json::array();
        for (std::size_t i = 0; i < inputs_.size(); ++i) {
            inputs.push_back(json{{"device", static_cast<int>(i)}, {"name", inputs_[i]},
                                  {"kind", i == 0 ? "virtual port" : "MIDI input"}});
        }
        json out{{"devices", rows}, {"inputs", inputs}, {"output_latency_periods", latency_periods_}};
        if (jack_cycle_) out["output_latency_us"] = latency_periods_ * jack_cycle_->period_us();
        if (const auto api = devices.midi().api()) {
            out["midi_system"] = std::string(platform::midi_api_display_name(*api));
        } else {
            out["midi_system"] = nullptr;
            out["note"] = "No MIDI output devices found. " + devices.midi().unavailable_reason();
        }
        print_json(out);
    }
};

}  // namespace

void add_device_commands(CLI::App& app) {
    auto command = std::make_shared<DevicesCommand>();
    auto* sub = app.add_subcommand(
        "devices",
        "List the MIDI output devices with their numbers: -1 the built-in synthesizer, 0 Corvane's own virtual port "
        "that other programs connect to, then the ports of the ALSA sequencer or JACK; then the input devices, 0 "
        "being Corvane's own virtual input port");
    sub->add_option("--api", command->api_name, "MIDI system: auto (JACK when its server runs, else ALSA), alsa or jack")
        ->check(CLI::IsMember({"auto", "alsa", "jack"}));
    sub->add_option("--soundfont", command->soundfont, "soundfont of the built-in synthesizer");
    sub->add_flag("--json", command->as_json, "print JSON");
    sub->callback([command] { command->run(); });
}

}  // namespace corvane::cli
