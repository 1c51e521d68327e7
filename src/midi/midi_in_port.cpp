#include "corvane/midi/midi_in_port.h"

#include <algorithm>

namespace corvane::midi {

MidiInPort::MidiInPort(platform::MidiInputSystem& devices, platform::Reporter& reporter, MidiInHandler& handler)
    : devices_(devices), reporter_(reporter), handler_(handler) {}

MidiInPort::~MidiInPort() { close(); }

bool MidiInPort::enumerate_devices() {
    const std::vector<std::string> names = devices_.input_names();
    in_menu_.clear();
    device_count_ = 0;
    if (names.empty()) {
        reporter_.report(kNoInputDevicesMessage, "Corvane");
        return false;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        device_names_[static_cast<std::size_t>(device_count_)] = names[i].substr(0, 31);
        in_menu_.push_back({kFirstInDeviceCommand + static_cast<int>(i), names[i]});
        if (device_count_ < kDeviceSlots - 1) ++device_count_;
    }
    return true;
}

OpenResult MidiInPort::open() {
    const std::lock_guard guard(lock_);
    if (open_.load()) return OpenResult::already_open;
    handler_.on_input_opened();
    std::string error;
    input_ = devices_.open_input(device_, handler_, error);
    if (!input_) {
        reporter_.report(open_failure_message(), "Corvane");
        if (observer_ != nullptr) observer_->midi_in_open_changed(false);
        return OpenResult::failed;
    }
    open_.store(true);
    if (observer_ != nullptr) observer_->midi_in_open_changed(true);
    return OpenResult::opened;
}

std::string MidiInPort::open_failure_message() const {
    if (device_ < 0 || device_ >= device_count_) {
        return "Cannot open MIDI input device for sequencing.\n\nIf there are any others to try, they will be listed "
               "in the In menu.";
    }
    const auto slot = static_cast<std::size_t>(std::min(device_, kDeviceSlots - 1));
    return "Cannot open MIDI input device \"" + device_names_[slot] +
           "\" for sequencing. It may not be available, or in use by another application\n\n.If there are any "
           "others to try, they will be listed in the In menu.";
}

void MidiInPort::close() {
    std::unique_ptr<platform::MidiInput> input;
    {
        const std::lock_guard guard(lock_);
        if (!open_.load()) return;
        input = std::move(input_);
        open_.store(false);
    }
    input.reset();  // stops the driver's callbacks before the flags are seen closed elsewhere
    if (observer_ != nullptr) observer_->midi_in_open_changed(false);
}

}  // namespace corvane::midi
