#include "jack_midi_output.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>
#include <thread>

#include "corvane/platform/clock.h"
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
// In the queue, a message to go at the start of the next cycle rather than at a time.
constexpr std::uint64_t kNextCycle = 0;

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
        client_ = port_->client();
        const double rate = std::max(jack_get_sample_rate(client_), 1U);
        period_us_.store(static_cast<std::int64_t>(std::llround(1e6 * jack_get_buffer_size(client_) / rate)),
                         std::memory_order_relaxed);
        if (!destination.empty() && !port_->connect(port_->full_name(), destination)) {
            error = "Could not connect to the MIDI output \"" + destination + "\".";
            return false;
        }
        return true;
    }

    void set_latency_periods(int periods) override { latency_periods_.store(periods, std::memory_order_relaxed); }
    std::int64_t latency_us() const override {
        return latency_periods_.load(std::memory_order_relaxed) * period_us_.load(std::memory_order_relaxed);
    }
    std::uint64_t late_messages() const override { return late_.load(std::memory_order_relaxed); }
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

    int deliver_short(std::uint32_t message, DueTime due) noexcept override {
        const auto bytes = short_message_bytes(message);
        if (!bytes) return kSendInvalidMessage;
        return queue(bytes->view(), jack_time_for(due));
    }

    // Queued with the short messages, in the order sent; one longer than the queue can ever
    // hold is refused whole.
    int deliver_sysex(std::span<const std::uint8_t> message, DueTime due) noexcept override {
        if (!is_sysex_message(message) || message.size() > Queue::kLongestMessage) return kSendInvalidMessage;
        return queue(message, jack_time_for(due));
    }

    // A full queue means the server has taken nothing for seconds: the device is not working.
    int queue(std::span<const std::uint8_t> message, std::uint64_t jack_time) {
        if (lost() || !queue_.push(message, jack_time)) return kSendDeviceError;
        return kSendOk;
    }

    // When a message due at `due` on the steady clock is to sound on JACK's clock: its due
    // time (now when it has none) plus the latency. Without a latency, at the next cycle.
    std::uint64_t jack_time_for(DueTime due) const {
        const int periods = latency_periods_.load(std::memory_order_relaxed);
        if (periods <= 0) return kNextCycle;
        const std::int64_t now_us = SteadyClock::steady_now_us();
        const auto jack_now = static_cast<std::int64_t>(jack_get_time());
        const std::int64_t at = jack_now + sound_time_us(due, now_us, latency_us()) - now_us;
        return static_cast<std::uint64_t>(std::max<std::int64_t>(at, 1));
    }

    // JACK's real-time thread, once a cycle.
    void process(jack_port_t* port, jack_nframes_t frames) noexcept override {
        void* buffer = jack_port_get_buffer(port, frames);
        take_over(buffer);
        jack_midi_clear_buffer(buffer);
        fill(buffer, frames);
        hand_over(buffer);
        cycles_.fetch_add(1, std::memory_order_release);
    }

    // Where this cycle's frames lie on JACK's clock.
    struct CycleTimes {
        jack_nframes_t frames = 0;
        double start_us = 0;
        double frames_per_us = 0;  // 0 when the server could not say: everything goes at once
    };

    // Where the server's clock puts this cycle (jack_get_cycle_times: its estimate, smoothed
    // over many cycles, of when the cycle's first frame and the next cycle's begin).
    CycleTimes cycle_times(jack_nframes_t frames) {
        jack_nframes_t first_frame = 0;
        jack_time_t start = 0;
        jack_time_t next = 0;
        float period = 0;
        CycleTimes cycle{frames};
        if (jack_get_cycle_times(client_, &first_frame, &start, &next, &period) != 0 || next <= start) return cycle;
        cycle.start_us = static_cast<double>(start);
        cycle.frames_per_us = static_cast<double>(frames) / static_cast<double>(next - start);
        return cycle;
    }

    // The frame of this cycle a message queued with `jack_time` goes at; `frames` or more
    // when it belongs to a later cycle. One whose frame has passed goes at the first, counted.
    std::int64_t frame_for(std::uint64_t jack_time, const CycleTimes& cycle) {
        if (jack_time == kNextCycle || cycle.frames_per_us == 0) return 0;
        const double frame = std::round((static_cast<double>(jack_time) - cycle.start_us) * cycle.frames_per_us);
        if (frame >= 0) return static_cast<std::int64_t>(std::min(frame, static_cast<double>(cycle.frames)));
        late_.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }

    // Moves the messages due in this cycle into its buffer, each at its frame (never before
    // one sent earlier), until the buffer is full. A message too long for even an empty buffer
    // would hold up all the others for ever: it is dropped.
    void fill(void* buffer, jack_nframes_t frames) {
        const CycleTimes cycle = cycle_times(frames);
        std::int64_t earliest = 0;
        while (const std::size_t size = queue_.front_size()) {
            const std::int64_t frame = std::max(frame_for(queue_.front_time(), cycle), earliest);
            if (frame >= static_cast<std::int64_t>(frames)) return;  // a later cycle's
            jack_midi_data_t* data =
                jack_midi_max_event_size(buffer) < size
                    ? nullptr
                    : jack_midi_event_reserve(buffer, static_cast<jack_nframes_t>(frame), size);
            if (data == nullptr && jack_midi_get_event_count(buffer) > 0) return;  // the next cycle takes it
            if (data != nullptr) queue_.copy_front(std::span(data, size));
            queue_.pop();
            earliest = frame;
        }
    }

    Queue queue_;
    std::atomic<std::uint64_t> cycles_{0};  // process cycles that ran our work
    std::atomic<int> latency_periods_{0};
    std::atomic<std::int64_t> period_us_{0};  // of a cycle: its frames at the nominal sample rate
    std::atomic<std::uint64_t> late_{0};
    jack_client_t* client_ = nullptr;
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
