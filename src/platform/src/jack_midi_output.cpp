#include "jack_midi_output.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>

#include "corvane/platform/short_message.h"
#include "corvane/platform/thread_handoff.h"
#include "quiet_libraries.h"
#include "short_message_queue.h"

namespace corvane::platform::detail {
namespace {

// About four seconds of a dense tune (4000 messages a second) while the server is held up.
constexpr std::size_t kQueueCapacity = 16384;
// How long closing waits for the queue to run dry when nobody has waited before.
constexpr std::chrono::milliseconds kCloseWait{1000};

class JackMidiOutput final : public MidiOutput {
public:
    JackMidiOutput() = default;
    ~JackMidiOutput() override {
        if (client_ == nullptr) return;
        finish_sending(kCloseWait);
        // After its server died, libjack complains about every call that closing makes.
        std::optional<QuietJack> quiet;
        if (lost()) quiet.emplace();
        // Closing stops the process callbacks before the queue goes.
        jack_client_close(client_);
    }
    JackMidiOutput(const JackMidiOutput&) = delete;
    JackMidiOutput& operator=(const JackMidiOutput&) = delete;

    // Opens the client, registers the port, starts the callbacks and connects; false with the
    // reason in `error`. The client is opened only now that the object is whole, since
    // libjack's threads, which call back into it, start with the client.
    bool open(const std::string& client_name, const std::string& port_name, const std::string& destination,
              std::string& error) {
        {
            const QuietJack quiet;
            jack_status_t status{};
            client_ = jack_client_open(client_name.c_str(), JackNoStartServer, &status);
        }
        if (client_ == nullptr) {
            error = "The JACK server does not answer, so the MIDI port \"" + port_name + "\" cannot be made.";
            return false;
        }
        port_ = jack_port_register(client_, port_name.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        if (port_ == nullptr) {
            error = "JACK would not make the MIDI port \"" + port_name + "\".";
            return false;
        }
        jack_set_process_callback(client_, &JackMidiOutput::process, this);
        jack_on_shutdown(client_, &JackMidiOutput::on_shutdown, this);
        if (jack_activate(client_) != 0) {
            error = "JACK would not start the MIDI port \"" + port_name + "\".";
            return false;
        }
        if (!destination.empty() && jack_connect(client_, jack_port_name(port_), destination.c_str()) != 0) {
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

    bool lost() const override { return gone_.load(std::memory_order_acquire); }

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
    static int process(jack_nframes_t frames, void* self) {
        auto& output = *static_cast<JackMidiOutput*>(self);
        void* buffer = jack_port_get_buffer(output.port_, frames);
        take_over(buffer);
        jack_midi_clear_buffer(buffer);
        output.fill(buffer);
        hand_over(buffer);
        output.cycles_.fetch_add(1, std::memory_order_release);
        return 0;
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

    static void on_shutdown(void* self) {
        static_cast<JackMidiOutput*>(self)->gone_.store(true, std::memory_order_release);
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    ShortMessageQueue<kQueueCapacity> queue_;
    std::atomic<bool> gone_{false};
    std::atomic<std::uint64_t> cycles_{0};  // process callbacks run
};

}  // namespace

std::unique_ptr<MidiOutput> open_jack_output(const std::string& client_name, const std::string& port_name,
                                             const std::string& destination, std::string& error) {
    auto output = std::make_unique<JackMidiOutput>();
    if (!output->open(client_name, port_name, destination, error)) return nullptr;
    return output;
}

}  // namespace corvane::platform::detail
