#include "corvane/platform/injected_input.h"

namespace corvane::platform {

class InjectedInputSystem::Input final : public MidiInput {
public:
    explicit Input(InjectedInputSystem& system) : system_(system) {}
    ~Input() override { system_.detach(this); }
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

private:
    InjectedInputSystem& system_;
};

std::unique_ptr<MidiInput> InjectedInputSystem::open_input(int device, MidiInputReceiver& receiver, std::string& error) {
    if (device < 0 || device >= static_cast<int>(names_.size()) || device == failing_) {
        error = "MIDI input device " + std::to_string(device) + " cannot be opened.";
        return nullptr;
    }
    auto input = std::make_unique<Input>(*this);
    const std::lock_guard lock(mutex_);
    receiver_ = &receiver;
    open_ = input.get();
    return input;
}

bool InjectedInputSystem::inject(std::uint32_t message) {
    // The lock is held while the receiver runs, as a driver's thread would be inside its
    // callback: closing waits for a message being delivered.
    const std::lock_guard lock(mutex_);
    if (receiver_ == nullptr) return false;
    receiver_->on_short_message(message);
    return true;
}

bool InjectedInputSystem::is_open() const {
    const std::lock_guard lock(mutex_);
    return receiver_ != nullptr;
}

void InjectedInputSystem::detach(const Input* input) {
    const std::lock_guard lock(mutex_);
    if (open_ != input) return;
    open_ = nullptr;
    receiver_ = nullptr;
}

}  // namespace corvane::platform
