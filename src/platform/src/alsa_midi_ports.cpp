#include "alsa_midi_ports.h"

#include "corvane/platform/midi_message.h"
#include "corvane/platform/short_message.h"

namespace corvane::platform::detail {
namespace {

class AlsaMidiOutput final : public MidiOutput {
public:
    AlsaMidiOutput() = default;
    ~AlsaMidiOutput() override {
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
        return true;
    }

    // The timer's thread: encodes into an event on the stack and writes it straight out.
    int send_short(std::uint32_t message) noexcept override {
        const auto bytes = short_message_bytes(message);
        if (!bytes) return kSendInvalidMessage;
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        snd_midi_event_reset_encode(encoder_);
        if (snd_midi_event_encode(encoder_, bytes->bytes.data(), static_cast<long>(bytes->size), &event) < 0 ||
            event.type == SND_SEQ_EVENT_NONE) {
            return kSendInvalidMessage;
        }
        return output_direct(event);
    }

    // A variable-length event that points at the caller's bytes: the sequencer copies them
    // before this returns.
    int send_sysex(std::span<const std::uint8_t> message) noexcept override {
        if (!is_sysex_message(message)) return kSendInvalidMessage;
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        auto* bytes = const_cast<std::uint8_t*>(message.data());
        snd_seq_ev_set_sysex(&event, static_cast<unsigned int>(message.size()), bytes);
        return output_direct(event);
    }

private:
    // To the port's subscribers, without waiting (the sequencer was opened non-blocking).
    int output_direct(snd_seq_event_t& event) {
        event.source.port = static_cast<unsigned char>(port_->port());
        snd_seq_ev_set_subs(&event);
        snd_seq_ev_set_direct(&event);
        return snd_seq_event_output_direct(port_->sequencer(), &event) < 0 ? kSendDeviceError : kSendOk;
    }

    std::unique_ptr<AlsaPort> port_;
    snd_midi_event_t* encoder_ = nullptr;
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
