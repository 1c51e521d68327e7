#include "device_choice.h"

#include <span>

#include "cli_support.h"
#include "composition_options.h"
#include "corvane/platform/midi_output.h"

namespace corvane::cli {
namespace {

bool is_whole_number(const std::string& text) {
    return !text.empty() && text.find_first_not_of("-+0123456789 ") == std::string::npos;
}

int chosen_device(std::span<const midi::OutMenuItem> menu, int first_command, const std::string& text,
                  std::string_view option) {
    if (is_whole_number(text)) return static_cast<int>(whole_number_argument(text, option));
    for (const auto& item : menu) {
        if (item.name.find(text) != std::string::npos) return item.command - first_command;
    }
    throw UsageError(std::string(option) + ": no device is called \"" + text + "\" (see corvane-cli devices)");
}

}  // namespace

int chosen_output_device(const midi::MidiOutPort& port, const std::string& text, std::string_view option) {
    if (text.empty()) return platform::kBuiltInSynthDevice;
    return chosen_device(port.out_menu(), midi::kFirstDeviceCommand, text, option);
}

int chosen_input_device(const midi::MidiInPort& port, const std::string& text, std::string_view option) {
    if (text.empty()) return 0;
    return chosen_device(port.in_menu(), midi::kFirstInDeviceCommand, text, option);
}

}  // namespace corvane::cli
