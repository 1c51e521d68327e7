#include "jack_midi_input.h"

#include <jack/midiport.h>

#include <span>

#include "corvane/platform/short_message.h"
#include "corvane/platform/thread_handoff.h"
#include "short_message_delivery.h"

namespace corvane::platform::detail {
namespace {

class JackMidiInput final : public MidiInput, JackPortWork {
public:
    explicit JackMidiInput(MidiInputReceiver& receiver) : delivery_(receiver) {}
    ~JackMidiInput() override { port_.reset(); }  // no cycle queues anything after this
    JackMidiInput(const JackMidiInput&) = delete;
    JackMidiInput& operator=(const JackMidiInput&) = delete;

    // Registers the port on the shared client and connects it; false with the reason in `error`.
    bool open(JackClient& client, const std::string& port_name, const std::string& source, std::string& error) {
        port_ = client.open_port(port_name, JackPortIsInput, *this, error);
        if (port_ == nullptr) return false;
        if (!source.empty() && !port_->connect(source, port_->full_name())) {
            error = "Could not connect to the MIDI input \"" + source + "\".";
            return false;
        }
        return true;
    }

private:
    // JACK's real-time thread, once a cycle: this cycle's messages, queued in order.
    void process(jack_port_t* port, jack_nframes_t frames) noexcept override {
        void* buffer = jack_port_get_buffer(port, frames);
        take_over(buffer);
        const std::uint32_t count = jack_midi_get_event_count(buffer);
        for (std::uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) != 0) continue;
            if (const auto message = packed_short_message(std::span(event.buffer, event.size))) {
                delivery_.push(*message);
            }
        }
        hand_over(buffer);
    }

    ShortMessageDelivery delivery_;
    std::unique_ptr<JackPort> port_;  // last: its work uses the rest
};

}  // namespace

std::unique_ptr<MidiInput> open_jack_input(JackClient& client, const std::string& port_name,
                                           const std::string& source, MidiInputReceiver& receiver,
                                           std::string& error) {
    auto input = std::make_unique<JackMidiInput>(receiver);
    if (!input->open(client, port_name, source, error)) return nullptr;
    return input;
}

}  // namespace corvane::platform::detail
