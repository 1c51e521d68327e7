#include "corvane/platform/rtmidi_input.h"

#include <atomic>
#include <thread>

#include "corvane/platform/short_message.h"
#include "rtmidi_support.h"
#include "short_message_queue.h"

namespace corvane::platform {
namespace {

// The short message a complete message from RtMidi packs into; none for system exclusive
// and anything malformed.
std::optional<std::uint32_t> packed(const std::vector<unsigned char>& bytes) {
    if (bytes.empty() || bytes.size() > 3) return std::nullopt;
    const auto data_bytes = data_byte_count(bytes[0]);
    if (!data_bytes || *data_bytes + 1 != bytes.size()) return std::nullopt;
    std::uint32_t message = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) message |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    return message;
}

// RtMidi calls back on the MIDI system's own thread, which for JACK is the real-time
// process thread: a message is only queued there. A thread of ours hands the queue to the
// receiver, so a receiver that waits (for the port lock, a file write) never makes the MIDI
// system miss a cycle and lose what arrived in it.
class RtMidiInput final : public MidiInput {
public:
    RtMidiInput(RtMidi::Api api, const std::string& client_name, MidiInputReceiver& receiver)
        : receiver_(receiver),
          in_(std::make_unique<RtMidiIn>(api, client_name)),
          delivery_([this] { deliver(); }) {
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
        quit_.store(true);
        sequence_.fetch_add(1);
        sequence_.notify_one();
        delivery_.join();
    }
    RtMidiInput(const RtMidiInput&) = delete;
    RtMidiInput& operator=(const RtMidiInput&) = delete;

    unsigned int port_count() { return in_->getPortCount(); }

    // Opens our virtual port (device 0) or the machine's port device - 1; false with the
    // reason in `error` when it did not open.
    bool open(int device, const RtMidiOptions& options, std::string& error) {
        // A virtual port does not count as open to RtMidi: only an error tells it failed.
        const bool is_virtual = device == kVirtualPortDevice;
        if (is_virtual) {
            in_->openVirtualPort(options.virtual_port_name);
        } else {
            in_->openPort(static_cast<unsigned int>(device - 1), options.client_name);
        }
        if ((is_virtual || in_->isPortOpen()) && last_error_.empty()) return true;
        error = last_error_.empty() ? "Could not connect to the MIDI input." : last_error_;
        return false;
    }

private:
    static constexpr std::size_t kQueueSize = 4096;  // a power of two

    // The MIDI system's thread: queue and wake, nothing else. A full queue drops the message.
    static void arrived(double, std::vector<unsigned char>* message, void* self) {
        if (message == nullptr) return;
        const auto m = packed(*message);
        if (!m) return;
        auto& input = *static_cast<RtMidiInput*>(self);
        if (!input.queue_.push(*m)) return;
        input.sequence_.fetch_add(1, std::memory_order_release);
        input.sequence_.notify_one();
    }

    void deliver() {
        for (;;) {
            const std::uint32_t seen = sequence_.load(std::memory_order_acquire);
            while (const auto message = queue_.front()) {
                receiver_.on_short_message(*message);
                queue_.pop();
            }
            if (quit_.load()) return;
            sequence_.wait(seen, std::memory_order_acquire);
        }
    }

    MidiInputReceiver& receiver_;
    std::string last_error_;
    detail::ShortMessageQueue<kQueueSize> queue_;
    std::atomic<std::uint32_t> sequence_{0};
    std::atomic<bool> quit_{false};
    // Made after what its thread uses (the MIDI system's thread starts with it), and before
    // the delivery thread, which must not be left running should it throw.
    std::unique_ptr<RtMidiIn> in_;
    std::thread delivery_;
};

std::string device_error(int device, unsigned int count, MidiApi api) {
    return "MIDI input device " + std::to_string(device) + " does not exist; there are " + std::to_string(count + 1) +
           " " + std::string(midi_api_display_name(api)) + " inputs, numbered 0 to " + std::to_string(count) + ".";
}

}  // namespace

RtMidiInputSystem::RtMidiInputSystem(RtMidiOptions options) : options_(std::move(options)) {
    api_ = detail::choose_midi_api(options_.api, unavailable_reason_);
}

std::vector<std::string> RtMidiInputSystem::input_names() {
    if (!api_) return {};
    std::vector<std::string> names{options_.virtual_port_name + " (virtual port)"};
    try {
        RtMidiIn in(detail::rtmidi_api(*api_), options_.client_name);
        const unsigned int count = in.getPortCount();
        for (unsigned int port = 0; port < count; ++port) names.push_back(in.getPortName(port));
    } catch (const RtMidiError&) {
        // The ports went away between the probe and the listing: only our own port is left.
    }
    return names;
}

std::unique_ptr<MidiInput> RtMidiInputSystem::open_input(int device, MidiInputReceiver& receiver, std::string& error) {
    if (!api_) {
        error = unavailable_reason_;
        return nullptr;
    }
    try {
        auto input = std::make_unique<RtMidiInput>(detail::rtmidi_api(*api_), options_.client_name, receiver);
        const unsigned int count = input->port_count();
        if (device < 0 || device > static_cast<int>(count)) {
            error = device_error(device, count, *api_);
            return nullptr;
        }
        if (input->open(device, options_, error)) return input;
    } catch (const RtMidiError& e) {
        error = "Could not open the MIDI input: " + e.getMessage();
    }
    return nullptr;
}

}  // namespace corvane::platform
