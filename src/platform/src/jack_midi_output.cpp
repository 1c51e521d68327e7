#include "jack_midi_output.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>

#include "corvane/platform/short_message.h"
#include "corvane/platform/thread_handoff.h"
#include "short_message_queue.h"

namespace corvane::platform::detail {
namespace {

// About four seconds of a dense tune (4000 messages a second) while the server is held up.
constexpr std::size_t kQueueCapacity = 16384;
// How long closing waits for the queue to run dry when nobody has waited before.
constexpr std::chrono::milliseconds kCloseWait{1000};

class JackMidiOutput final : public MidiOutput, JackPortWork {
public:
    JackMidiOutput() = default;
    ~JackMidiOutput() override {
        if (port_ == nullptr) return;
        finish_sending(kCloseWait);
        port_.reset();  // no process cycle runs our work after this
    }
    JackMidiOutput(const JackMidiOutput&) = delete;
    JackMidiOutput& operator=(const JackMidiOutput&) = delete;

    // Registers the port on the shared client and connects it; false with the reason in `error`.
    bool open(JackClient& client, const std::string& port_name, const std::string& destination,
              std::string& error) {
        port_ = client.open_port(port_name, JackPortIsOutput, *this, error);
        if (port_ == nullptr) return false;
        if (!destination.empty() && !port_->connect(port_->full_name(), destination)) {
            error = "Could not connect to the MIDI output \"" + destination + "\".";
            return false;
        }
        return true;
    }

    int send_short(std::uint32_t message) noexcept override {
        if (!short_message_bytes(message)) return kSendInvalidMessage;
        // A full queue means the server has taken nothing for seconds: the device is not working.
        if (lost() || !queue_.push(message)) return kSendDeviceError;
        return kSendOk;
    }

    bool lost() const override { return port_->lost(); }

    // The queue is dry once a cycle has taken its last message; the cycle after that one has
    // begun only when every client has had that cycle's buffers, ours included.
    bool finish_sending(std::chrono::milliseconds timeout) override {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::optional<std::uint64_t> dry_at;
        while (!lost()) {
            if (!dry_at && queue_.empty()) dry_at = cycles_.load(std::memory_order_acquire);
            if (dry_at && cycles_.load(std::memory_order_acquire) >= *dry_at + 2) return true;
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;  // a server that has gone takes nothing more: there is nothing to wait for
    }

private:
    // JACK's real-time thread, once a cycle.
    void process(jack_port_t* port, jack_nframes_t frames) noexcept override {
        void* buffer = jack_port_get_buffer(port, frames);
        take_over(buffer);
        jack_midi_clear_buffer(buffer);
        fill(buffer);
        hand_over(buffer);
        cycles_.fetch_add(1, std::memory_order_release);
    }

    // Moves queued messages into this cycle's buffer, all at its first frame, until it is full.
    void fill(void* buffer) {
        while (const auto message = queue_.front()) {
            const auto bytes = short_message_bytes(*message);  // checked when it was queued
            if (jack_midi_max_event_size(buffer) < bytes->size) return;
            jack_midi_data_t* data = jack_midi_event_reserve(buffer, 0, bytes->size);
            if (data == nullptr) return;
            std::copy_n(bytes->bytes.data(), bytes->size, data);
            queue_.pop();
        }
    }

    ShortMessageQueue<kQueueCapacity> queue_;
    std::atomic<std::uint64_t> cycles_{0};  // process cycles that ran our work
    std::unique_ptr<JackPort> port_;        // last: its work uses the rest
};

}  // namespace

std::unique_ptr<MidiOutput> open_jack_output(JackClient& client, const std::string& port_name,
                                             const std::string& destination, std::string& error) {
    auto output = std::make_unique<JackMidiOutput>();
    if (!output->open(client, port_name, destination, error)) return nullptr;
    return output;
}

}  // namespace corvane::platform::detail
