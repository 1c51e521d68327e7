#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "corvane/platform/midi_input.h"

namespace corvane::platform {

// Inputs whose messages the caller injects: tests play a keyboard through it. A device
// listed as failing cannot be opened.
class InjectedInputSystem final : public MidiInputSystem {
public:
    explicit InjectedInputSystem(std::vector<std::string> names = {"Test keyboard"}) : names_(std::move(names)) {}

    std::vector<std::string> input_names() override { return names_; }
    std::unique_ptr<MidiInput> open_input(int device, MidiInputReceiver& receiver, std::string& error) override;

    void fail_device(int device) { failing_ = device; }
    // Delivers the message to the open input's receiver, on this thread; false when none is open.
    bool inject(std::uint32_t message);
    bool inject(std::uint8_t status, std::uint8_t data1, std::uint8_t data2 = 0) {
        return inject(static_cast<std::uint32_t>(status) | static_cast<std::uint32_t>(data1) << 8 |
                      static_cast<std::uint32_t>(data2) << 16);
    }
    bool is_open() const;

private:
    class Input;
    void detach(const Input* input);

    std::vector<std::string> names_;
    int failing_ = -1;
    mutable std::mutex mutex_;
    MidiInputReceiver* receiver_ = nullptr;
    const Input* open_ = nullptr;
};

}  // namespace corvane::platform
