#include "jack_midi_output.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>

#include "corvane/platform/midi_message.h"
#include "corvane/platform/short_message.h"
#include "corvane/platform/thread_handoff.h"
#include "message_byte_queue.h"

namespace corvane::platform::detail {
namespace {

// Over six seconds of a dense tune (4000 short messages a second, five bytes each in the
// queue) while the server is held up; system exclusive messages share the room.
constexpr std::size_t kQueueBytes = std::size_t{1} << 17;
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
        const auto bytes = short_message_bytes(message);
        if (!bytes) return kSendInvalidMessage;
        return queue(bytes->view());
    }

    // Queued with the short messages, in the order sent; one longer than the queue can ever
    // hold is refused whole.
    int send_sysex(std::span<const std::uint8_t> message) noexcept override {
        if (!is_sysex_message(message) || message.size() > Queue::kLongestMessage) return kSendInvalidMessage;
        return queue(message);
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
    using Queue = MessageByteQueue<kQueueBytes>;

    // A full queue means the server has taken nothing for seconds: the device is not working.
    int queue(std::span<const std::uint8_t> message) {
        if (lost() || !queue_.push(message)) return kSendDeviceError;
        return kSendOk;
    }

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
    // A message too long for even an empty buffer would hold up all the others for ever: it
    // is dropped.
    void fill(void* buffer) {
        while (const std::size_t size = queue_.front_size()) {
            jack_midi_data_t* data =
                jack_midi_max_event_size(buffer) < size ? nullptr : jack_midi_event_reserve(buffer, 0, size);
            if (data == nullptr && jack_midi_get_event_count(buffer) > 0) return;  // the next cycle takes it
            if (data != nullptr) queue_.copy_front(std::span(data, size));
            queue_.pop();
        }
    }

    Queue queue_;
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
