#include "alsa_midi_ports.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "corvane/platform/clock.h"
#include "corvane/platform/midi_message.h"
#include "corvane/platform/short_message.h"

namespace corvane::platform::detail {
namespace {

// The sequencer has no cycle of its own: a period of its latency is this long.
constexpr std::int64_t kAlsaPeriodUs = 5'000;

std::int64_t microseconds_of(const snd_seq_real_time_t& time) {
    return std::int64_t{time.tv_sec} * 1'000'000 + time.tv_nsec / 1'000;
}

snd_seq_real_time_t real_time_of(std::int64_t us) {
    return {static_cast<unsigned int>(us / 1'000'000), static_cast<unsigned int>(us % 1'000'000 * 1'000)};
}

class AlsaMidiOutput final : public MidiOutput {
public:
    AlsaMidiOutput() = default;
    ~AlsaMidiOutput() override {
        if (queue_ >= 0) snd_seq_free_queue(port_->sequencer(), queue_);
        port_.reset();
        if (encoder_ != nullptr) snd_midi_event_free(encoder_);
    }
    AlsaMidiOutput(const AlsaMidiOutput&) = delete;
    AlsaMidiOutput& operator=(const AlsaMidiOutput&) = delete;

    bool open(AlsaClient& client, const std::string& port_name, const std::optional<AlsaPortAddress>& destination,
              std::string& error) {
        port_ = client.open_output_port(port_name, error);
        if (port_ == nullptr) return false;
        if (snd_midi_event_new(16, &encoder_) < 0) {
            encoder_ = nullptr;
            error = "Could not open the MIDI output: out of memory.";
            return false;
        }
        if (destination && !port_->connect_to(*destination)) {
            error = "Could not connect to the MIDI output \"" + destination->name + "\".";
            return false;
        }
        open_queue();
        return true;
    }

    // Timed messages go through a queue of ours at their real time plus the latency; without
    // a queue (the sequencer has none to spare) everything goes at once.
    void set_latency_periods(int periods) override { latency_periods_.store(periods, std::memory_order_relaxed); }
    std::int64_t latency_us() const override {
        return queue_ < 0 ? 0 : latency_periods_.load(std::memory_order_relaxed) * kAlsaPeriodUs;
    }
    std::uint64_t late_messages() const override { return late_.load(std::memory_order_relaxed); }

    // Scheduled messages leave the queue at their time: closing waits for the last of them.
    bool finish_sending(std::chrono::milliseconds timeout) override {
        const std::int64_t until = last_due_us_.load(std::memory_order_relaxed);
        const std::int64_t wait_us = until - SteadyClock::steady_now_us();
        if (wait_us <= 0) return true;
        if (wait_us > std::chrono::duration_cast<std::chrono::microseconds>(timeout).count()) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(wait_us));
        return true;
    }

private:
    // The timer's thread: encodes into an event on the stack and writes it straight out.
    int deliver_short(std::uint32_t message, DueTime due) noexcept override {
        const auto bytes = short_message_bytes(message);
        if (!bytes) return kSendInvalidMessage;
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        snd_midi_event_reset_encode(encoder_);
        if (snd_midi_event_encode(encoder_, bytes->bytes.data(), static_cast<long>(bytes->size), &event) < 0 ||
            event.type == SND_SEQ_EVENT_NONE) {
            return kSendInvalidMessage;
        }
        return output(event, due);
    }

    // A variable-length event that points at the caller's bytes: the sequencer copies them
    // before this returns.
    int deliver_sysex(std::span<const std::uint8_t> message, DueTime due) noexcept override {
        if (!is_sysex_message(message)) return kSendInvalidMessage;
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        auto* bytes = const_cast<std::uint8_t*>(message.data());
        snd_seq_ev_set_sysex(&event, static_cast<unsigned int>(message.size()), bytes);
        return output(event, due);
    }

    void open_queue() {
        queue_ = snd_seq_alloc_named_queue(port_->sequencer(), "Corvane out");
        if (queue_ < 0) return;
        snd_seq_start_queue(port_->sequencer(), queue_, nullptr);
        snd_seq_drain_output(port_->sequencer());
    }

    // At once, or at its due time plus the latency on our queue's real-time clock; a time
    // already past goes at once and is counted.
    int output(snd_seq_event_t& event, DueTime due) {
        const int periods = latency_periods_.load(std::memory_order_relaxed);
        if (queue_ < 0 || periods <= 0) return output_direct(event);
        snd_seq_queue_status_t* status = nullptr;
        snd_seq_queue_status_alloca(&status);
        if (snd_seq_get_queue_status(port_->sequencer(), queue_, status) < 0) return output_direct(event);
        const std::int64_t queue_now = microseconds_of(*snd_seq_queue_status_get_real_time(status));
        const std::int64_t now_us = SteadyClock::steady_now_us();
        std::int64_t from_now = sound_time_us(due, now_us, periods * kAlsaPeriodUs) - now_us;
        if (from_now < 0) {
            late_.fetch_add(1, std::memory_order_relaxed);
            from_now = 0;
        }
        last_due_us_.store(std::max(last_due_us_.load(std::memory_order_relaxed), now_us + from_now),
                           std::memory_order_relaxed);
        snd_seq_real_time_t at = real_time_of(queue_now + from_now);
        event.source.port = static_cast<unsigned char>(port_->port());
        snd_seq_ev_set_subs(&event);
        snd_seq_ev_schedule_real(&event, static_cast<unsigned char>(queue_), 0, &at);
        return snd_seq_event_output_direct(port_->sequencer(), &event) < 0 ? kSendDeviceError : kSendOk;
    }

    // To the port's subscribers, without waiting (the sequencer was opened non-blocking).
    int output_direct(snd_seq_event_t& event) {
        event.source.port = static_cast<unsigned char>(port_->port());
        snd_seq_ev_set_subs(&event);
        snd_seq_ev_set_direct(&event);
        return snd_seq_event_output_direct(port_->sequencer(), &event) < 0 ? kSendDeviceError : kSendOk;
    }

    std::unique_ptr<AlsaPort> port_;
    snd_midi_event_t* encoder_ = nullptr;
    int queue_ = -1;
    std::atomic<int> latency_periods_{0};
    std::atomic<std::uint64_t> late_{0};
    std::atomic<std::int64_t> last_due_us_{0};  // on the steady clock: when the last scheduled message leaves
};

class AlsaMidiInput final : public MidiInput {
public:
    explicit AlsaMidiInput(MidiInputReceiver& receiver) : delivery_(receiver) {}
    ~AlsaMidiInput() override { port_.reset(); }  // nothing is queued after this
    AlsaMidiInput(const AlsaMidiInput&) = delete;
    AlsaMidiInput& operator=(const AlsaMidiInput&) = delete;

    bool open(AlsaClient& client, const std::string& port_name, const std::optional<AlsaPortAddress>& source,
              std::string& error) {
        port_ = client.open_input_port(port_name, delivery_, error);
        if (port_ == nullptr) return false;
        if (source && !port_->connect_from(*source)) {
            error = "Could not connect to the MIDI input.";
            return false;
        }
        return true;
    }

private:
    ShortMessageDelivery delivery_;
    std::unique_ptr<AlsaPort> port_;  // last: the client's reading thread queues into the rest
};

}  // namespace

std::unique_ptr<MidiOutput> open_alsa_output(AlsaClient& client, const std::string& port_name,
                                             const std::optional<AlsaPortAddress>& destination, std::string& error) {
    auto output = std::make_unique<AlsaMidiOutput>();
    if (!output->open(client, port_name, destination, error)) return nullptr;
    return output;
}

std::unique_ptr<MidiInput> open_alsa_input(AlsaClient& client, const std::string& port_name,
                                           const std::optional<AlsaPortAddress>& source, MidiInputReceiver& receiver,
                                           std::string& error) {
    auto input = std::make_unique<AlsaMidiInput>(receiver);
    if (!input->open(client, port_name, source, error)) return nullptr;
    return input;
}

}  // namespace corvane::platform::detail
